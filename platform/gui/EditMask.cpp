// The edit-mask engine.

#include "platform/gui/EditMask.h"

#include "platform/rtl/FormatSettings.h"
#include "platform/rtl/TextUtils.h"

#include <cctype>

namespace {

bool IsLetter(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (std::isalpha(u))
        return true;
    // The letters of Windows-1252 beyond ASCII.
    return (u >= 0xC0 && u != 0xD7 && u != 0xF7) || u == 0x8A || u == 0x8C || u == 0x8E || u == 0x9A || u == 0x9C ||
           u == 0x9E || u == 0x9F;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

void SplitEditMask(const std::string& editMask, std::string& mask, bool& saveLiterals, char& blank)
{
    saveLiterals = true;
    blank = '_';
    // The fields are split at the last two ";" that are not escaped.
    std::vector<std::size_t> separators;
    for (std::size_t i = 0; i < editMask.size(); ++i) {
        if (editMask[i] == '\\') {
            ++i;
            continue;
        }
        if (editMask[i] == ';')
            separators.push_back(i);
    }
    if (separators.empty()) {
        mask = editMask;
        return;
    }
    std::size_t first = separators.size() >= 2 ? separators[separators.size() - 2] : separators.back();
    mask = editMask.substr(0, first);
    std::string rest = editMask.substr(first + 1);
    std::string saveField = rest;
    std::string blankField;
    if (separators.size() >= 2) {
        const std::size_t second = separators.back() - first - 1;
        saveField = rest.substr(0, second);
        blankField = rest.substr(second + 1);
    }
    if (!saveField.empty())
        saveLiterals = saveField[0] != '0';
    if (!blankField.empty() && blankField[0] != ' ')
        blank = blankField[0];
    else if (!blankField.empty())
        blank = ' ';
}

TEditMaskEngine::TEditMaskEngine(const std::string& editMask)
{
    std::string mask;
    SplitEditMask(editMask, mask, FSaveLiterals, FBlank);
    const TFormatSettings& settings = FormatSettings();
    TCase currentCase = caseNone;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        const char c = mask[i];
        TPosition position;
        position.Case = currentCase;
        switch (c) {
        case '!':
            FLeadingBlanks = true;
            continue;
        case '>':
            currentCase = caseUpper;
            continue;
        case '<':
            if (i + 1 < mask.size() && mask[i + 1] == '>') {
                currentCase = caseNone;
                ++i;
            } else {
                currentCase = caseLower;
            }
            continue;
        case '\\':
            // An unclosed backslash is a literal itself.
            position.Literal = i + 1 < mask.size() ? mask[++i] : '\\';
            break;
        case 'L':
        case 'l':
            position.Kind = kLetter;
            position.Required = c == 'L';
            break;
        case 'A':
        case 'a':
            position.Kind = kAlnum;
            position.Required = c == 'A';
            break;
        case 'C':
        case 'c':
            position.Kind = kAny;
            position.Required = c == 'C';
            break;
        case '0':
        case '9':
            position.Kind = kDigit;
            position.Required = c == '0';
            break;
        case '#':
            position.Kind = kDigitSign;
            break;
        case ':':
            position.Literal = settings.TimeSeparator;
            break;
        case '/':
            position.Literal = settings.DateSeparator;
            break;
        case '_':
            position.Literal = ' ';
            break;
        default:
            position.Literal = c;
            break;
        }
        FPositions.push_back(position);
    }
}

bool TEditMaskEngine::IsLiteral(int pos) const
{
    return pos < 0 || pos >= Length() || FPositions[static_cast<std::size_t>(pos)].Kind == kLiteral;
}

bool TEditMaskEngine::IsRequired(int pos) const
{
    return !IsLiteral(pos) && FPositions[static_cast<std::size_t>(pos)].Required;
}

char TEditMaskEngine::LiteralAt(int pos) const
{
    return pos >= 0 && pos < Length() ? FPositions[static_cast<std::size_t>(pos)].Literal : ' ';
}

bool TEditMaskEngine::Accepts(int pos, char& c) const
{
    if (IsLiteral(pos))
        return false;
    const TPosition& position = FPositions[static_cast<std::size_t>(pos)];
    bool ok = false;
    switch (position.Kind) {
    case kLetter:
        ok = IsLetter(c);
        break;
    case kAlnum:
        ok = IsLetter(c) || IsDigit(c);
        break;
    case kAny:
        ok = static_cast<unsigned char>(c) >= 0x20;
        break;
    case kDigit:
        ok = IsDigit(c);
        break;
    case kDigitSign:
        ok = IsDigit(c) || c == '+' || c == '-';
        break;
    default:
        break;
    }
    if (!ok)
        return false;
    if (position.Case == caseUpper)
        c = AnsiUpperCase(std::string(1, c))[0];
    else if (position.Case == caseLower)
        c = AnsiLowerCase(std::string(1, c))[0];
    return true;
}

std::string TEditMaskEngine::EmptyEditText() const
{
    std::string text;
    for (int i = 0; i < Length(); ++i)
        text += IsLiteral(i) ? LiteralAt(i) : FBlank;
    return text;
}

bool TEditMaskEngine::IsBlankAt(const std::string& editText, int pos) const
{
    if (pos >= static_cast<int>(editText.size()))
        return true;
    const char c = editText[static_cast<std::size_t>(pos)];
    return c == FBlank || c == ' ';
}

std::string TEditMaskEngine::TextToEditText(const std::string& text) const
{
    std::string edit = EmptyEditText();
    if (!IsMasked())
        return text;
    const bool withLiterals = FSaveLiterals || static_cast<int>(text.size()) == Length();
    if (withLiterals && static_cast<int>(text.size()) == Length()) {
        for (int i = 0; i < Length(); ++i) {
            char c = text[static_cast<std::size_t>(i)];
            if (!IsLiteral(i) && c != ' ' && Accepts(i, c))
                edit[static_cast<std::size_t>(i)] = c;
        }
        return edit;
    }
    int pos = 0;
    for (char c : text) {
        while (pos < Length() && IsLiteral(pos) && LiteralAt(pos) != c)
            ++pos;
        if (pos >= Length())
            break;
        if (IsLiteral(pos)) {
            ++pos;
            continue;
        }
        if (c != ' ' && Accepts(pos, c))
            edit[static_cast<std::size_t>(pos)] = c;
        ++pos;
    }
    return edit;
}

std::string TEditMaskEngine::EditTextToText(const std::string& editText) const
{
    if (!IsMasked())
        return editText;
    std::string text;
    int pos = 0;
    while (pos < Length()) {
        if (IsLiteral(pos)) {
            if (FSaveLiterals)
                text += LiteralAt(pos);
            ++pos;
            continue;
        }
        // A group of input positions between literals: its blanks move to the front with "!"
        // and to the back without it.
        std::string typed;
        int count = 0;
        for (; pos < Length() && !IsLiteral(pos); ++pos, ++count)
            if (!IsBlankAt(editText, pos))
                typed += editText[static_cast<std::size_t>(pos)];
        const std::string blanks(static_cast<std::size_t>(count) - typed.size(), ' ');
        // Required positions keep their place; the shift only moves blanks of optional ones.
        text += FLeadingBlanks ? blanks + typed : typed + blanks;
    }
    return text;
}

int TEditMaskEngine::FirstMissing(const std::string& editText) const
{
    for (int i = 0; i < Length(); ++i)
        if (IsRequired(i) && IsBlankAt(editText, i))
            return i;
    return -1;
}

int TEditMaskEngine::NextInput(int pos) const
{
    for (int i = std::max(pos, 0); i < Length(); ++i)
        if (!IsLiteral(i))
            return i;
    return -1;
}

int TEditMaskEngine::PreviousInput(int pos) const
{
    for (int i = std::min(pos, Length()) - 1; i >= 0; --i)
        if (!IsLiteral(i))
            return i;
    return -1;
}
