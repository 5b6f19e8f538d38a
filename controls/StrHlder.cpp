#include "controls/StrHlder.h"

#include "controls/StrUtils.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/TextUtils.h"
#include "tablestore/Filer.h"

#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

bool IsLiteral(char c) { return c == '\'' || c == '"'; }

bool NameDelimiter(char c)
{
    return c == '\n' || c == '\r' || c == ' ' || c == ')' || c == ',' || c == ';' || c == '.';
}

// One leading and one trailing quote of the kind are dropped.
void StripChar(std::string& name, char quote)
{
    if (!name.empty() && name.front() == quote)
        name.erase(0, 1);
    if (!name.empty() && name.back() == quote)
        name.pop_back();
}

std::string StripLiterals(std::string name)
{
    StripChar(name, '\'');
    StripChar(name, '"');
    return name;
}

// The names of a ";" separated list, each trimmed; a last empty part is no name.
std::vector<std::string> SplitNames(const std::string& names)
{
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos < names.size()) {
        std::size_t end = names.find(';', pos);
        if (end == std::string::npos)
            end = names.size();
        parts.push_back(Trim(names.substr(pos, end - pos)));
        pos = end + 1;
    }
    return parts;
}

} // namespace

// --- TMacro ---

TMacro::TMacro(TCollection* Collection) : TCollectionItem(Collection) {}

void TMacro::Assign(TPersistent* Source)
{
    if (auto* source = dynamic_cast<TMacro*>(Source)) {
        if (VarIsEmpty(source->FData))
            Clear();
        else
            FData = source->FData;
        SetDisplayName(source->FName);
        return;
    }
    TCollectionItem::Assign(Source);
}

std::string TMacro::DisplayName() const { return FName.empty() ? TCollectionItem::DisplayName() : FName; }

void TMacro::SetDisplayName(const std::string& Value)
{
    if (!Value.empty() && AnsiCompareText(Value, FName) != 0 && GetMacros() && GetMacros()->IndexOf(Value) >= 0)
        RAISE(EStringListError("String list does not allow duplicates"));
    FName = Value;
    Changed(false);
}

std::string TMacro::GetText()
{
    std::string text = VarToStr(FData);
    if (OnGetText)
        OnGetText(this, FData, text);
    return text;
}

bool TMacro::IsEqual(const TMacro* Value) const
{
    return VarType(FData) == VarType(Value->FData) && (VarIsEmpty(FData) || FData == Value->FData) &&
           FName == Value->FName;
}

TMacros* TMacro::GetMacros() const { return dynamic_cast<TMacros*>(Collection()); }

// --- TMacros ---

TMacros::TMacros() : TCollection([](TCollection* owner) { return new TMacro(owner); }) {}

TMacro* TMacros::Items(int Index) const { return static_cast<TMacro*>(TCollection::Items(Index)); }

int TMacros::IndexOf(const std::string& Name) const
{
    for (int i = 0; i < Count(); ++i)
        if (AnsiCompareText(Items(i)->Name(), Name) == 0)
            return i;
    return -1;
}

TMacro* TMacros::FindMacro(const std::string& Name) const
{
    const int index = IndexOf(Name);
    return index < 0 ? nullptr : Items(index);
}

TMacro* TMacros::MacroByName(const std::string& Name) const
{
    TMacro* macro = FindMacro(Name);
    if (!macro)
        RAISE(EPropertyError("Invalid property value"));
    return macro;
}

TMacro* TMacros::CreateMacro(const std::string& Name)
{
    auto* macro = static_cast<TMacro*>(Add());
    try {
        macro->SetName(Name);
    } catch (...) {
        Delete(macro->Index());
        throw;
    }
    return macro;
}

void TMacros::AddMacro(TMacro* Value) { Value->SetCollection(this); }

void TMacros::RemoveMacro(TMacro* Value)
{
    if (Value->Collection() == this)
        Value->SetCollection(nullptr);
}

void TMacros::AssignValues(TMacros* Value)
{
    BeginUpdate();
    try {
        for (int i = 0; i < Value->Count(); ++i) {
            TMacro* source = Value->Items(i);
            if (TMacro* macro = FindMacro(source->Name()))
                macro->Assign(source);
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

bool TMacros::IsEqual(const TMacros* Value) const
{
    if (Count() != Value->Count())
        return false;
    for (int i = 0; i < Count(); ++i)
        if (!Items(i)->IsEqual(Value->Items(i)))
            return false;
    return true;
}

std::string TMacros::ParseString(const std::string& Value, bool DoCreate, char SpecialChar)
{
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    std::string result;
    if (SpecialChar == '\0') {
        result = Value;
    } else {
        result.reserve(Value.size());
        const std::size_t size = Value.size();
        auto at = [&](std::size_t i) { return i < size ? Value[i] : '\0'; };
        bool literal = false;
        std::size_t pos = 0;
        while (pos < size) {
            const char c = Value[pos];
            if (c == SpecialChar && !literal && at(pos + 1) != SpecialChar) {
                // The name runs to the first delimiter outside quotes; a quote right after the
                // macro character makes it a quoted name.
                const std::size_t start = pos + 1;
                bool quotedName = false;
                std::size_t end = start;
                while (end < size && (literal || !NameDelimiter(Value[end]))) {
                    if (IsLiteral(Value[end])) {
                        literal = !literal;
                        quotedName = quotedName || end == start;
                    }
                    ++end;
                }
                std::string name = Value.substr(start, end - start);
                if (quotedName)
                    name = StripLiterals(name);
                if (DoCreate && seen.insert(AnsiUpperCase(name)).second)
                    names.push_back(std::move(name));
                result += '?';
                // The delimiter that ended the name is kept as it is, unscanned.
                if (end < size)
                    result += Value[end];
                pos = end + 1;
            } else if (c == SpecialChar && !literal) {
                // A doubled macro character stands for itself.
                result += c;
                pos += 2;
            } else {
                if (IsLiteral(c))
                    literal = !literal;
                result += c;
                ++pos;
            }
        }
    }
    if (DoCreate)
        Recreate(names);
    return result;
}

void TMacros::Recreate(const std::vector<std::string>& Names)
{
    // A macro that stays keeps its value and the spelling of its name.
    std::unordered_map<std::string, std::pair<std::string, Variant>> kept;
    for (int i = 0; i < Count(); ++i)
        kept.emplace(AnsiUpperCase(Items(i)->FName), std::make_pair(Items(i)->FName, Items(i)->FData));
    BeginUpdate();
    try {
        Clear();
        for (const std::string& name : Names) {
            auto* macro = static_cast<TMacro*>(Add());
            macro->FName = name;
            auto it = kept.find(AnsiUpperCase(name));
            if (it != kept.end()) {
                macro->FName = it->second.first;
                macro->FData = it->second.second;
            }
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

Variant TMacros::GetMacroValue(const std::string& MacroName) const
{
    if (MacroName.find(';') == std::string::npos)
        return MacroByName(MacroName)->Value();
    const std::vector<std::string> names = SplitNames(MacroName);
    std::vector<Variant> values;
    for (const std::string& name : names)
        values.push_back(MacroByName(name)->Value());
    return VarArrayOf(values);
}

void TMacros::SetMacroValue(const std::string& MacroName, const Variant& Value)
{
    if (MacroName.find(';') == std::string::npos) {
        MacroByName(MacroName)->SetValue(Value);
        return;
    }
    const std::vector<std::string> names = SplitNames(MacroName);
    for (std::size_t i = 0; i < names.size(); ++i)
        MacroByName(names[i])->SetValue(Value[static_cast<int>(i)]);
}

// --- TStrHolder ---

TStrHolder::TStrHolder(TComponent* AOwner)
    : TComponent(AOwner), FStrings(std::make_unique<TStringList>()), FMacros(std::make_unique<TMacros>())
{
    FStrings->OnChange = [this](TObject*) { StringsChanged(); };
    FStrings->OnChanging = [this](TObject*) { StringsChanging(); };
}

TStrHolder::~TStrHolder()
{
    FStrings->OnChange = nullptr;
    FStrings->OnChanging = nullptr;
}

void TStrHolder::Assign(TPersistent* Source)
{
    if (auto* strings = dynamic_cast<TStrings*>(Source)) {
        FStrings->Assign(strings);
        return;
    }
    if (auto* holder = dynamic_cast<TStrHolder*>(Source)) {
        FStrings->Assign(holder->Strings());
        return;
    }
    TComponent::Assign(Source);
}

void TStrHolder::AssignTo(TPersistent* Dest)
{
    if (auto* strings = dynamic_cast<TStrings*>(Dest)) {
        strings->Assign(FStrings.get());
        return;
    }
    TComponent::AssignTo(Dest);
}

void TStrHolder::SetStrings(TStrings* Value) { FStrings->Assign(Value); }

void TStrHolder::SetMacroChar(char Value)
{
    if (Value == FMacroChar)
        return;
    FMacroChar = Value;
    RecreateMacros();
}

void TStrHolder::SetMacros(TMacros* Value) { FMacros->AssignValues(Value); }

void TStrHolder::RecreateMacros()
{
    if (!Reading())
        FMacros->ParseString(FStrings->Text(), true, FMacroChar);
}

void TStrHolder::StringsChanged()
{
    RecreateMacros();
    if (!Reading())
        Changed();
}

void TStrHolder::StringsChanging()
{
    if (!Reading())
        Changing();
}

void TStrHolder::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TStrHolder::Changing()
{
    if (OnChanging)
        OnChanging(this);
}

void TStrHolder::BeforeExpandMacros()
{
    if (OnExpandMacros)
        OnExpandMacros(this);
}

std::string TStrHolder::ExpandMacros()
{
    BeforeExpandMacros();
    std::string result = FStrings->Text();
    for (int i = FMacros->Count() - 1; i >= 0; --i) {
        TMacro* macro = FMacros->Items(i);
        if (VarIsEmpty(macro->Value()))
            continue;
        const std::string reference = std::string(1, FMacroChar) + macro->Name();
        const std::string text = macro->GetText();
        // Each reference of the text is replaced once: the search goes on after the inserted
        // value, so a value that holds its own reference cannot make the expansion run forever.
        // A reference that does not count ends this macro's expansion.
        std::string expanded;
        std::size_t done = 0;    // result[0, done) has been moved to expanded
        std::size_t counted = 0; // quotes are counted in result[0, counted)
        int quotes = 0;
        for (;;) {
            const std::size_t found = result.find(reference, done);
            if (found == std::string::npos)
                break;
            const std::size_t after = found + reference.size();
            bool counts = after == result.size() || NameDelimiter(result[after]);
            if (counts) {
                const char* text = result.data();
                for (; counted < found; ++counted)
                    quotes += IsLiteral(text[counted]);
                counts = quotes % 2 == 0;
            }
            if (!counts)
                break;
            expanded.append(result, done, found - done);
            expanded += text;
            for (char c : text)
                quotes += IsLiteral(c);
            done = after;
            counted = after;
        }
        if (done > 0) {
            expanded.append(result, done, std::string::npos);
            result = std::move(expanded);
        }
    }
    return result;
}

void TStrHolder::ReadStrData(TReader& Reader)
{
    Reader.ReadListBegin();
    std::string key = Reader.ReadString();
    // The lines are read whole before any is replaced, so a damaged list leaves them as they were.
    std::vector<std::string> lines;
    std::string element;
    while (!Reader.EndOfList()) {
        Reader.ReadString(element);
        lines.push_back(FInternalVer >= 1 ? XorDecode(key, element) : XorString(key, element));
    }
    Reader.ReadListEnd();
    FKeyString = key;
    FStrings->BeginUpdate();
    try {
        FStrings->Clear();
        for (const std::string& line : lines)
            FStrings->Add(line);
    } catch (...) {
        FStrings->EndUpdate();
        throw;
    }
    FStrings->EndUpdate();
}

void TStrHolder::WriteStrData(TWriter& Writer) const
{
    Writer.WriteListBegin();
    Writer.WriteString(FKeyString);
    for (int i = 0; i < FStrings->Count(); ++i)
        Writer.WriteString(XorEncode(FKeyString, FStrings->Strings(i)));
    Writer.WriteListEnd();
}

bool TStrHolder::StoresStrData(const TStrHolder* Ancestor) const
{
    if (!Ancestor)
        return FStrings->Count() > 0 || !FKeyString.empty();
    if (FStrings->Count() != Ancestor->FStrings->Count() || FKeyString != Ancestor->FKeyString)
        return true;
    for (int i = 0; i < FStrings->Count(); ++i)
        if (AnsiCompareText(FStrings->Strings(i), Ancestor->FStrings->Strings(i)) != 0)
            return true;
    return FStrings->Count() == 0 && !FKeyString.empty();
}
