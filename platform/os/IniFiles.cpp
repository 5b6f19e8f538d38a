#include "platform/os/IniFiles.h"

#include "platform/os/private/OsSupport.h"

#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string TrimBlanks(const std::string& s)
{
    size_t first = 0;
    size_t last = s.size();
    while (first < last && IsBlank(s[first]))
        ++first;
    while (last > first && IsBlank(s[last - 1]))
        --last;
    return s.substr(first, last - first);
}

std::string Unquote(const std::string& value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool HasLineBreak(const std::string& s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}

// Decimal, "$" hexadecimal or "0x" hexadecimal; false for anything else.
bool ParseIniInteger(const std::string& text, int& result)
{
    const std::string s = TrimBlanks(text);
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size())
        return false;
    unsigned long long value = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFull)
            return false;
    }
    long long signedValue;
    if (base == 16)
        signedValue = static_cast<std::int32_t>(static_cast<std::uint32_t>(value)); // "$FFFFFFFF" is -1
    else if (value > static_cast<unsigned long long>(INT_MAX) + (negative ? 1 : 0))
        return false;
    else
        signedValue = static_cast<long long>(value);
    result = static_cast<int>(negative ? -signedValue : signedValue);
    return true;
}

} // namespace

TIniFile::TIniFile(const std::string& fileName) : fileName_(fileName)
{
    const bool hasFolder = fileName.find_first_of("\\/") != std::string::npos ||
                           (fileName.size() >= 2 && fileName[1] == ':');
    if (hasFolder)
        nativePath_ = NativePath(fileName);
    else
        nativePath_ = WindowsFolder() + "/" + NativePath(fileName);
}

void TIniFile::Refresh()
{
    const TFileIdentity current = FileIdentityOf(nativePath_);
    if (loaded_ && current == identity_)
        return;
    std::string bytes;
    const TReadResult result = ReadWholeFile(nativePath_, bytes);
    unreadable_ = result == TReadResult::Failed;
    if (result != TReadResult::Ok)
        bytes.clear();
    Parse(bytes);
    identity_ = current;
    loaded_ = true;
}

void TIniFile::Parse(const std::string& bytes)
{
    lines_.clear();
    size_t pos = 0;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    while (pos < bytes.size()) {
        const size_t end = bytes.find_first_of("\r\n", pos);
        TLine line;
        if (end == std::string::npos) {
            line.Text = bytes.substr(pos);
            pos = bytes.size();
        } else {
            line.Text = bytes.substr(pos, end - pos);
            pos = end + 1;
            if (bytes[end] == '\r' && pos < bytes.size() && bytes[pos] == '\n')
                ++pos;
        }
        const std::string trimmed = TrimBlanks(line.Text);
        if (!trimmed.empty() && trimmed[0] == '[') {
            const size_t close = trimmed.find(']');
            line.Kind = TLineKind::Section;
            line.Name = TrimBlanks(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        } else if (!trimmed.empty() && trimmed[0] != ';') {
            const size_t equals = trimmed.find('=');
            if (equals != std::string::npos) {
                line.Kind = TLineKind::Key;
                line.Name = TrimBlanks(trimmed.substr(0, equals));
                line.Value = Unquote(TrimBlanks(trimmed.substr(equals + 1)));
            }
        }
        lines_.push_back(std::move(line));
    }
    BuildIndex();
}

void TIniFile::BuildIndex()
{
    sections_.clear();
    sectionByName_.clear();
    TSectionIndex* current = nullptr;
    bool currentIsFirst = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const TLine& line = lines_[i];
        if (line.Kind == TLineKind::Section) {
            sections_.push_back(TSectionIndex{});
            current = &sections_.back();
            current->Header = current->LastLine = current->LastKey = i;
            currentIsFirst = sectionByName_.emplace(AnsiUpperCase(line.Name), sections_.size() - 1).second;
            continue;
        }
        if (current == nullptr)
            continue; // lines before the first section belong to no section
        current->LastLine = i;
        if (line.Kind == TLineKind::Key) {
            current->LastKey = i;
            if (currentIsFirst && current->Keys.emplace(AnsiUpperCase(line.Name), i).second)
                current->KeyOrder.push_back(line.Name);
        }
    }
}

const TIniFile::TSectionIndex* TIniFile::FindSection(const std::string& section) const
{
    const auto found = sectionByName_.find(AnsiUpperCase(TrimBlanks(section)));
    return found == sectionByName_.end() ? nullptr : &sections_[found->second];
}

const TIniFile::TLine* TIniFile::FindKey(const std::string& section, const std::string& ident) const
{
    const TSectionIndex* index = FindSection(section);
    if (index == nullptr)
        return nullptr;
    const auto found = index->Keys.find(AnsiUpperCase(TrimBlanks(ident)));
    return found == index->Keys.end() ? nullptr : &lines_[found->second];
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue)
{
    Refresh();
    const TLine* line = FindKey(section, ident);
    return line != nullptr ? line->Value : defaultValue;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& ident, int defaultValue)
{
    int value = 0;
    return ParseIniInteger(ReadString(section, ident, ""), value) ? value : defaultValue;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& ident, bool defaultValue)
{
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteInteger(const std::string& section, const std::string& ident, int value)
{
    WriteString(section, ident, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& ident, bool value)
{
    WriteString(section, ident, value ? "1" : "0");
}

void TIniFile::RaiseUnableToWrite() const
{
    RAISE(EIniFileException("Unable to write to " + fileName_));
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value)
{
    // Names and values that would read back differently are refused rather than stored wrongly.
    const std::string sectionName = TrimBlanks(section);
    const std::string key = TrimBlanks(ident);
    if (sectionName.find(']') != std::string::npos || HasLineBreak(section) || key.empty() ||
        key.find('=') != std::string::npos || key[0] == '[' || key[0] == ';' || HasLineBreak(ident) ||
        HasLineBreak(value))
        RaiseUnableToWrite();

    Refresh();
    TLine newLine;
    newLine.Text = key + "=" + value;
    newLine.Kind = TLineKind::Key;
    newLine.Name = key;
    newLine.Value = Unquote(TrimBlanks(value));

    TEdit edit;
    if (const TSectionIndex* index = FindSection(sectionName)) {
        const auto found = index->Keys.find(AnsiUpperCase(key));
        if (found != index->Keys.end()) {
            edit.First = found->second;
            edit.Count = 1;
        } else {
            edit.First = index->LastKey + 1;
        }
        edit.Insert.push_back(newLine);
    } else {
        edit.First = lines_.size();
        if (!lines_.empty() && !TrimBlanks(lines_.back().Text).empty())
            edit.Insert.push_back(TLine{});
        TLine header;
        header.Text = "[" + sectionName + "]";
        header.Kind = TLineKind::Section;
        header.Name = sectionName;
        edit.Insert.push_back(header);
        edit.Insert.push_back(newLine);
    }
    Save(edit);
}

void TIniFile::Save(const TEdit& edit)
{
    // A file that exists but could not be read must not be replaced by what little we know of it.
    if (unreadable_)
        RaiseUnableToWrite();
    std::string bytes;
    bytes.reserve(identity_.Size > 0 ? static_cast<size_t>(identity_.Size) + 256 : 256);
    auto append = [&bytes](const TLine& line) {
        bytes += line.Text;
        bytes += "\r\n";
    };
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (i == edit.First)
            for (const TLine& line : edit.Insert)
                append(line);
        if (i < edit.First || i >= edit.First + edit.Count)
            append(lines_[i]);
    }
    if (edit.First >= lines_.size())
        for (const TLine& line : edit.Insert)
            append(line);
    if (!ReplaceFileContents(nativePath_, bytes))
        RaiseUnableToWrite();
    identity_ = FileIdentityOf(nativePath_);

    // Replacing a key's line by one with the same spelling leaves the index as it is.
    const bool sameKey = edit.Count == 1 && edit.Insert.size() == 1 && lines_[edit.First].Kind == TLineKind::Key &&
                         lines_[edit.First].Name == edit.Insert[0].Name;
    const auto first = lines_.begin() + static_cast<std::ptrdiff_t>(std::min(edit.First, lines_.size()));
    const auto last = first + static_cast<std::ptrdiff_t>(std::min(edit.Count, lines_.size() - std::min(edit.First, lines_.size())));
    lines_.insert(lines_.erase(first, last), edit.Insert.begin(), edit.Insert.end());
    if (!sameKey)
        BuildIndex();
}

void TIniFile::EraseSection(const std::string& section)
{
    Refresh();
    const TSectionIndex* index = FindSection(section);
    if (index == nullptr)
        return;
    TEdit edit;
    edit.First = index->Header;
    edit.Count = index->LastLine + 1 - index->Header;
    Save(edit);
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident)
{
    Refresh();
    const TSectionIndex* index = FindSection(section);
    if (index == nullptr)
        return;
    const auto found = index->Keys.find(AnsiUpperCase(TrimBlanks(ident)));
    if (found == index->Keys.end())
        return;
    TEdit edit;
    edit.First = found->second;
    edit.Count = 1;
    Save(edit);
}

bool TIniFile::SectionExists(const std::string& section)
{
    Refresh();
    return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& ident)
{
    Refresh();
    return FindKey(section, ident) != nullptr;
}

std::vector<std::string> TIniFile::SectionIdents(const std::string& section)
{
    Refresh();
    const TSectionIndex* index = FindSection(section);
    return index != nullptr ? index->KeyOrder : std::vector<std::string>{};
}

std::vector<std::string> TIniFile::SectionNames()
{
    Refresh();
    std::vector<std::string> names;
    for (const TSectionIndex& index : sections_) {
        const std::string& name = lines_[index.Header].Name;
        if (&sections_[sectionByName_.at(AnsiUpperCase(name))] == &index)
            names.push_back(name);
    }
    return names;
}

std::vector<std::string> TIniFile::SectionValues(const std::string& section)
{
    Refresh();
    std::vector<std::string> values;
    const TSectionIndex* index = FindSection(section);
    if (index == nullptr)
        return values;
    for (const std::string& key : index->KeyOrder)
        values.push_back(key + "=" + lines_[index->Keys.at(AnsiUpperCase(key))].Value);
    return values;
}

#include "platform/rtl/Lists.h"

namespace {
} // namespace

void TIniFile::ReadSection(const std::string& section, TStrings& idents)
{
    OsSupport::FillStrings(idents, SectionIdents(section));
}

void TIniFile::ReadSections(TStrings& sections)
{
    OsSupport::FillStrings(sections, SectionNames());
}

void TIniFile::ReadSectionValues(const std::string& section, TStrings& values)
{
    OsSupport::FillStrings(values, SectionValues(section));
}
