#include "controls/EXProps.h"

#include "platform/gui/Screen.h"
#include "platform/rtl/FormatSettings.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/Variants.h"

#include <algorithm>

std::string sPropNameDelimiter = "_";

namespace {

// A default no store returns for a key it holds: it tells a missing key from a stored value.
const std::string EXPropsMissing("\x01\x02(missing)\x03\n", 14);

bool EXPropsIsStringKind(TTypeKind Kind) { return Kind == tkString || Kind == tkLString || Kind == tkWChar; }

int EXPropsFloatDigits(TFloatType FloatType)
{
    switch (FloatType) {
    case ftSingle:
        return 7;
    case ftDouble:
        return 15;
    case ftExtended:
    case ftComp:
        return 18;
    case ftCurr:
        return 19;
    }
    return 15;
}

std::string EXPropsReplaceChar(std::string Text, char From, char To)
{
    std::replace(Text.begin(), Text.end(), From, To);
    return Text;
}

TComponent* EXPropsFindOwner(const std::string& Name)
{
    if (Screen)
        if (TCustomForm* form = Screen->FindForm(Name))
            return form;
    if (Screen)
        if (TDataModule* module = Screen->FindDataModule(Name))
            return module;
    return nullptr;
}

} // namespace

// --- TPropInfoList ---

TPropInfoList::TPropInfoList(TObject* AObject, TTypeKinds Filter)
{
    if (AObject)
        FList = GetPropList(AObject, Filter);
}

PPropInfo TPropInfoList::Find(const std::string& AName) const
{
    for (PPropInfo info : FList)
        if (SameText(info->Name, AName))
            return info;
    return nullptr;
}

void TPropInfoList::Delete(int Index)
{
    if (Index >= 0 && Index < Count())
        FList.erase(FList.begin() + Index);
}

bool TPropInfoList::Contains(PPropInfo P) const
{
    for (PPropInfo info : FList)
        if (info->PropType == P->PropType && SameText(info->Name, P->Name))
            return true;
    return false;
}

void TPropInfoList::Intersect(const TPropInfoList& List)
{
    for (int i = Count() - 1; i >= 0; --i)
        if (!List.Contains(FList[static_cast<std::size_t>(i)]))
            Delete(i);
}

// --- Stored lists ---

std::string CreateStoredItem(const std::string& CompName, const std::string& PropName)
{
    if (CompName.empty() || PropName.empty())
        return "";
    return CompName + "." + PropName;
}

bool ParseStoredItem(const std::string& Item, std::string& CompName, std::string& PropName)
{
    const auto point = Item.find('.');
    if (point == std::string::npos)
        return false;
    CompName = Trim(Item.substr(0, point));
    PropName = Trim(Item.substr(point + 1));
    return !CompName.empty() && !PropName.empty();
}

void UpdateStoredList(TComponent* AForm, TStrings* AStoredList, bool FromForm)
{
    if (!AForm || !AStoredList)
        return;
    for (int i = AStoredList->Count() - 1; i >= 0; --i) {
        std::string compName, propName;
        if (!ParseStoredItem(AStoredList->Strings(i), compName, propName)) {
            AStoredList->Delete(i);
            continue;
        }
        if (FromForm) {
            TComponent* component = AForm->FindComponent(compName);
            if (component)
                AStoredList->SetObjects(i, component);
            else
                AStoredList->Delete(i);
        } else if (auto* component = dynamic_cast<TComponent*>(AStoredList->Objects(i))) {
            AStoredList->SetStrings(i, CreateStoredItem(component->Name(), propName));
        } else {
            AStoredList->Delete(i);
        }
    }
}

TStringList* CreateInfoList(TComponent* AComponent, TStrings* StoredList)
{
    UpdateStoredList(AComponent, StoredList, false);
    auto* result = new TStringList;
    try {
        result->SetSorted(true);
        for (int i = 0; StoredList && i < StoredList->Count(); ++i) {
            auto* component = dynamic_cast<TComponent*>(StoredList->Objects(i));
            if (!component || result->IndexOf(component->Name()) >= 0)
                continue;
            TPropInfoList* props = nullptr;
            try {
                props = new TPropInfoList(component, tkProperties);
            } catch (...) {
                props = nullptr;
            }
            result->AddObject(component->Name(), props);
        }
    } catch (...) {
        FreeInfoLists(result);
        throw;
    }
    return result;
}

void FreeInfoLists(TStrings* Info)
{
    if (!Info)
        return;
    for (int i = 0; i < Info->Count(); ++i)
        delete dynamic_cast<TPropInfoList*>(Info->Objects(i));
    delete Info;
}

// --- TPropsStorage: the entry points ---

void TPropsStorage::StoreObjectsProps(TComponent* AComponent, TStrings* Items)
{
    ForEachStoredProperty(AComponent, Items, [this](PPropInfo PropInfo) { StoreAnyProperty(PropInfo); });
}

void TPropsStorage::LoadObjectsProps(TComponent* AComponent, TStrings* Items)
{
    ForEachStoredProperty(AComponent, Items, [this](PPropInfo PropInfo) { LoadAnyProperty(PropInfo); });
}

void TPropsStorage::ForEachStoredProperty(TComponent* AComponent, TStrings* Items,
                                          const std::function<void(PPropInfo PropInfo)>& Handle)
{
    std::unique_ptr<TStringList, void (*)(TStrings*)> info(nullptr, &FreeInfoLists);
    try {
        info.reset(CreateInfoList(AComponent, Items));
    } catch (...) {
        return;
    }
    FOwner = AComponent;
    struct TOwnerReset {
        TComponent*& Owner;
        ~TOwnerReset() { Owner = nullptr; }
    } ownerReset{FOwner};
    for (int i = 0; Items && i < Items->Count(); ++i) {
        std::string compName, propName;
        if (!ParseStoredItem(Items->Strings(i), compName, propName))
            continue;
        auto* component = dynamic_cast<TComponent*>(Items->Objects(i));
        if (!component)
            continue;
        AObject = component;
        Prefix = component->Name();
        const int index = info->IndexOf(Prefix);
        if (index < 0)
            continue;
        Prefix += sPropNameDelimiter;
        if (auto* props = dynamic_cast<TPropInfoList*>(info->Objects(index)))
            Handle(props->Find(propName));
    }
}

void TPropsStorage::StoreProperties(TStrings* PropList)
{
    TPropInfoList props(AObject, tkProperties);
    for (int i = 0; PropList && i < PropList->Count(); ++i)
        StoreAnyProperty(props.Find(PropList->Strings(i)));
}

void TPropsStorage::LoadProperties(TStrings* PropList)
{
    TPropInfoList props(AObject, tkProperties);
    for (int i = 0; PropList && i < PropList->Count(); ++i)
        LoadAnyProperty(props.Find(PropList->Strings(i)));
}

void TPropsStorage::StoreAnyProperty(PPropInfo PropInfo)
{
    if (!PropInfo || !PropInfo->PropType)
        return;
    std::string text;
    if (!ValueText(PropInfo, text))
        return;
    if (text.empty() && !EXPropsIsStringKind(PropInfo->PropType->Kind))
        return;
    WriteString(Section, GetItemName(PropInfo->Name), Trim(text));
}

void TPropsStorage::LoadAnyProperty(PPropInfo PropInfo)
{
    if (!PropInfo || !PropInfo->PropType)
        return;
    try {
        const TTypeKind kind = PropInfo->PropType->Kind;
        std::string defaultText;
        if (kind != tkClass && !ValueText(PropInfo, defaultText))
            return;
        std::string text;
        if (!defaultText.empty() || EXPropsIsStringKind(kind) || kind == tkClass) {
            text = Trim(ReadString(Section, GetItemName(PropInfo->Name), defaultText));
        } else if (kind == tkVariant) {
            // An empty variant is never written, but a stored one comes back into an empty one
            // (a new item of a collection has nothing else).
            text = ReadString(Section, GetItemName(PropInfo->Name), EXPropsMissing);
            if (text == EXPropsMissing)
                return;
            text = Trim(text);
        }
        LoadValue(text, PropInfo);
    } catch (...) {
        // A value that cannot be read leaves the property as it was.
    }
}

bool TPropsStorage::ValueText(PPropInfo PropInfo, std::string& Text)
{
    switch (PropInfo->PropType->Kind) {
    case tkInteger:
        Text = StoreIntegerProperty(PropInfo);
        return true;
    case tkChar:
        Text = StoreCharProperty(PropInfo);
        return true;
    case tkWChar:
        Text = StoreWCharProperty(PropInfo);
        return true;
    case tkEnumeration:
        Text = StoreEnumProperty(PropInfo);
        return true;
    case tkFloat:
        Text = StoreFloatProperty(PropInfo);
        return true;
    case tkString:
        Text = StoreStringProperty(PropInfo);
        return true;
    case tkLString:
        Text = StoreLStringProperty(PropInfo);
        return true;
    case tkVariant:
        Text = StoreVariantProperty(PropInfo);
        return true;
    case tkSet:
        Text = StoreSetProperty(PropInfo);
        return true;
    case tkClass:
        Text = StoreClassProperty(PropInfo);
        return true;
    default:
        return false;
    }
}

void TPropsStorage::LoadValue(const std::string& S, PPropInfo PropInfo)
{
    switch (PropInfo->PropType->Kind) {
    case tkInteger:
        LoadIntegerProperty(S, PropInfo);
        break;
    case tkChar:
        LoadCharProperty(S, PropInfo);
        break;
    case tkWChar:
        LoadWCharProperty(S, PropInfo);
        break;
    case tkEnumeration:
        LoadEnumProperty(S, PropInfo);
        break;
    case tkFloat:
        LoadFloatProperty(S, PropInfo);
        break;
    case tkString:
        LoadStringProperty(S, PropInfo);
        break;
    case tkLString:
        LoadLStringProperty(S, PropInfo);
        break;
    case tkVariant:
        LoadVariantProperty(S, PropInfo);
        break;
    case tkSet:
        LoadSetProperty(S, PropInfo);
        break;
    case tkClass:
        LoadClassProperty(S, PropInfo);
        break;
    default:
        break;
    }
}

// --- The handlers ---

std::string TPropsStorage::ReadString(const std::string& ASection, const std::string& Item, const std::string& Default)
{
    if (!OnReadString)
        return "";
    return OnReadString(ASection, Item, Default);
}

void TPropsStorage::WriteString(const std::string& ASection, const std::string& Item, const std::string& Value)
{
    if (OnWriteString)
        OnWriteString(ASection, Item, Value);
}

void TPropsStorage::EraseSection(const std::string& ASection)
{
    if (OnEraseSection)
        OnEraseSection(ASection);
}

std::string TPropsStorage::GetItemName(const std::string& APropName) { return Prefix + APropName; }

std::unique_ptr<TPropsStorage> TPropsStorage::CreateStorage() { return std::make_unique<TPropsStorage>(); }

// --- Values to texts ---

std::string TPropsStorage::StoreIntegerProperty(PPropInfo PropInfo) { return IntToStr(GetOrdProp(AObject, PropInfo)); }

std::string TPropsStorage::StoreCharProperty(PPropInfo PropInfo)
{
    return std::string(1, static_cast<char>(GetOrdProp(AObject, PropInfo)));
}

std::string TPropsStorage::StoreEnumProperty(PPropInfo PropInfo)
{
    return GetEnumName(PropInfo->PropType, static_cast<int>(GetOrdProp(AObject, PropInfo)));
}

std::string TPropsStorage::StoreFloatProperty(PPropInfo PropInfo)
{
    const int digits = EXPropsFloatDigits(PropInfo->PropType->FloatType);
    const std::string text = FloatToStrF(GetFloatProp(AObject, PropInfo), ffGeneral, digits, 0);
    return EXPropsReplaceChar(text, FormatSettings().DecimalSeparator, '.');
}

std::string TPropsStorage::StoreStringProperty(PPropInfo PropInfo) { return GetStrProp(AObject, PropInfo); }

std::string TPropsStorage::StoreLStringProperty(PPropInfo PropInfo) { return GetStrProp(AObject, PropInfo); }

std::string TPropsStorage::StoreWCharProperty(PPropInfo PropInfo) { return StoreCharProperty(PropInfo); }

std::string TPropsStorage::StoreVariantProperty(PPropInfo PropInfo)
{
    return VarToStr(GetVariantProp(AObject, PropInfo));
}

std::string TPropsStorage::StoreSetProperty(PPropInfo PropInfo)
{
    const std::uint64_t bits = static_cast<std::uint64_t>(GetOrdProp(AObject, PropInfo));
    std::string names;
    for (int element = 0; element < 32; ++element) {
        if (!(bits & (std::uint64_t(1) << element)))
            continue;
        if (!names.empty())
            names += ",";
        names += GetEnumName(PropInfo->PropType->CompType, element);
    }
    return "[" + names + "]";
}

std::string TPropsStorage::StoreClassProperty(PPropInfo PropInfo)
{
    TObject* object = GetObjectProp(AObject, PropInfo);
    if (!object)
        return "";
    if (dynamic_cast<TStrings*>(object))
        StoreStringsProperty(PropInfo);
    else if (auto* collection = dynamic_cast<TCollection*>(object))
        StoreCollection(collection, PropInfo->Name);
    else if (dynamic_cast<TComponent*>(object))
        return StoreComponentProperty(PropInfo);
    StoreNested(object, Prefix + PropInfo->Name, Section);
    return "";
}

std::string TPropsStorage::StoreStringsProperty(PPropInfo PropInfo)
{
    const std::string section = Format("%s.%s", {Section, GetItemName(PropInfo->Name)});
    EraseSection(section);
    auto* lines = dynamic_cast<TStrings*>(GetObjectProp(AObject, PropInfo));
    if (lines && lines->Count() > 0) {
        WriteString(section, "Count", IntToStr(lines->Count()));
        for (int i = 0; i < lines->Count(); ++i)
            WriteString(section, Format("Item%d", {i}), lines->Strings(i));
    }
    return "";
}

std::string TPropsStorage::StoreComponentProperty(PPropInfo PropInfo)
{
    auto* component = dynamic_cast<TComponent*>(GetObjectProp(AObject, PropInfo));
    if (!component)
        return "(null)";
    TComponent* owner = component->Owner();
    if (!owner || owner == FOwner)
        return component->Name();
    std::string ownerName = owner->Name();
    if (ownerName.empty()) {
        ownerName = owner->ClassName();
        if (!ownerName.empty() && (ownerName[0] == 'T' || ownerName[0] == 't'))
            ownerName.erase(0, 1);
    }
    return Format("%s.%s", {ownerName, component->Name()});
}

void TPropsStorage::StoreCollection(TCollection* Collection, const std::string& PropName)
{
    const std::string itemsSection = Format("%s.%s", {Section, Prefix + PropName});
    EraseSection(itemsSection);
    WriteString(Section, Format("%s.%s", {Prefix + PropName, "Count"}), IntToStr(Collection->Count()));
    for (int i = 0; i < Collection->Count(); ++i)
        StoreNested(Collection->Items(i), Format("Item%d", {i}) + sPropNameDelimiter, itemsSection);
}

std::unique_ptr<TPropsStorage> TPropsStorage::NestedStorage(TObject* Object, const std::string& NestedPrefix,
                                                           const std::string& NestedSection)
{
    std::unique_ptr<TPropsStorage> storage = CreateStorage();
    storage->AObject = Object;
    storage->Prefix = NestedPrefix;
    storage->Section = NestedSection;
    storage->OnReadString = OnReadString;
    storage->OnWriteString = OnWriteString;
    storage->OnEraseSection = OnEraseSection;
    storage->FOwner = FOwner;
    return storage;
}

void TPropsStorage::StoreNested(TObject* Object, const std::string& NestedPrefix, const std::string& NestedSection)
{
    std::unique_ptr<TPropsStorage> storage = NestedStorage(Object, NestedPrefix, NestedSection);
    TPropInfoList props(Object, tkProperties);
    for (int i = 0; i < props.Count(); ++i)
        storage->StoreAnyProperty(props.Get(i));
}

// --- Texts to values ---

void TPropsStorage::LoadIntegerProperty(const std::string& S, PPropInfo PropInfo)
{
    // A text that is no number leaves the value (a hand-edited "wide" must not make a width 0).
    std::int64_t value = 0;
    if (TryStrToInt64(S, value))
        SetOrdProp(AObject, PropInfo, value);
}

void TPropsStorage::LoadCharProperty(const std::string& S, PPropInfo PropInfo)
{
    if (!S.empty())
        SetOrdProp(AObject, PropInfo, static_cast<unsigned char>(S[0]));
}

void TPropsStorage::LoadEnumProperty(const std::string& S, PPropInfo PropInfo)
{
    const int value = GetEnumValue(PropInfo->PropType, S);
    if (value >= 0)
        SetOrdProp(AObject, PropInfo, value);
}

void TPropsStorage::LoadFloatProperty(const std::string& S, PPropInfo PropInfo)
{
    double value = 0;
    if (TryStrToFloat(EXPropsReplaceChar(S, '.', FormatSettings().DecimalSeparator), value))
        SetFloatProp(AObject, PropInfo, value);
}

void TPropsStorage::LoadStringProperty(const std::string& S, PPropInfo PropInfo) { SetStrProp(AObject, PropInfo, S); }

void TPropsStorage::LoadLStringProperty(const std::string& S, PPropInfo PropInfo) { SetStrProp(AObject, PropInfo, S); }

void TPropsStorage::LoadWCharProperty(const std::string& S, PPropInfo PropInfo) { LoadCharProperty(S, PropInfo); }

void TPropsStorage::LoadVariantProperty(const std::string& S, PPropInfo PropInfo)
{
    SetVariantProp(AObject, PropInfo, Variant(S));
}

void TPropsStorage::LoadSetProperty(const std::string& S, PPropInfo PropInfo)
{
    std::uint64_t bits = 0;
    bool anyWord = false;
    bool anyElement = false;
    std::string word;
    const auto takeWord = [&] {
        if (word.empty())
            return;
        anyWord = true;
        const int element = GetEnumValue(PropInfo->PropType->CompType, word);
        if (element >= 0 && element < 32) {
            bits |= std::uint64_t(1) << element;
            anyElement = true;
        }
        word.clear();
    };
    for (char c : S) {
        if (c == ' ' || c == ',' || c == '[' || c == ']')
            takeWord();
        else
            word += c;
    }
    takeWord();
    // Words that name no element are skipped; a text that names none at all is no set.
    if (anyWord && !anyElement)
        return;
    SetOrdProp(AObject, PropInfo, static_cast<std::int64_t>(bits));
}

void TPropsStorage::LoadClassProperty(const std::string& S, PPropInfo PropInfo)
{
    TObject* object = GetObjectProp(AObject, PropInfo);
    if (!object)
        return;
    if (dynamic_cast<TStrings*>(object))
        LoadStringsProperty(S, PropInfo);
    else if (auto* collection = dynamic_cast<TCollection*>(object))
        LoadCollection(collection, PropInfo->Name);
    else if (dynamic_cast<TComponent*>(object)) {
        LoadComponentProperty(S, PropInfo);
        return;
    }
    // The property's setter may have put another object in place.
    if (TObject* current = GetObjectProp(AObject, PropInfo))
        LoadNested(current, Prefix + PropInfo->Name, Section);
}

void TPropsStorage::LoadStringsProperty(const std::string& /*S*/, PPropInfo PropInfo)
{
    const std::string section = Format("%s.%s", {Section, GetItemName(PropInfo->Name)});
    const int count = StrToIntDef(Trim(ReadString(section, "Count", "0")), 0);
    if (count <= 0)
        return;
    TStringList lines;
    for (int i = 0; i < count; ++i) {
        // A count edited beyond the stored lines ends with them.
        const std::string line = ReadString(section, Format("Item%d", {i}), EXPropsMissing);
        if (line == EXPropsMissing)
            break;
        lines.Add(line);
    }
    SetObjectProp(AObject, PropInfo, &lines);
}

void TPropsStorage::LoadComponentProperty(const std::string& S, PPropInfo PropInfo)
{
    if (S.empty())
        return;
    if (SameText(S, "(null)")) {
        SetObjectProp(AObject, PropInfo, nullptr);
        return;
    }
    TComponent* owner = FOwner;
    std::string name = S;
    const auto point = S.find('.');
    if (point != std::string::npos) {
        owner = EXPropsFindOwner(S.substr(0, point));
        name = S.substr(point + 1);
    }
    if (owner)
        SetObjectProp(AObject, PropInfo, owner->FindComponent(name));
}

void TPropsStorage::LoadCollection(TCollection* Collection, const std::string& PropName)
{
    const std::string itemsSection = Format("%s.%s", {Section, Prefix + PropName});
    const int current = Collection->Count();
    const int count = StrToIntDef(
        Trim(ReadString(Section, Format("%s.%s", {Prefix + PropName, "Count"}), IntToStr(current))), current);
    Collection->BeginUpdate();
    try {
        if (count != current) {
            Collection->Clear();
            // New items are added while the store holds something for them: a count edited
            // beyond the stored items ends with them.
            for (int i = 0; i < count; ++i) {
                TCollectionItem* item = Collection->Add();
                if (!LoadNestedFound(item, Format("Item%d", {i}) + sPropNameDelimiter, itemsSection)) {
                    Collection->Delete(item->Index());
                    break;
                }
            }
        } else {
            for (int i = 0; i < count; ++i)
                LoadNested(Collection->Items(i), Format("Item%d", {i}) + sPropNameDelimiter, itemsSection);
        }
    } catch (...) {
        Collection->EndUpdate();
        throw;
    }
    Collection->EndUpdate();
}

void TPropsStorage::LoadNested(TObject* Object, const std::string& NestedPrefix, const std::string& NestedSection)
{
    LoadNestedFound(Object, NestedPrefix, NestedSection);
}

bool TPropsStorage::LoadNestedFound(TObject* Object, const std::string& NestedPrefix, const std::string& NestedSection)
{
    bool found = false;
    std::unique_ptr<TPropsStorage> storage = NestedStorage(Object, NestedPrefix, NestedSection);
    storage->OnReadString = [this, &found](const std::string& ASection, const std::string& Item,
                                           const std::string& Default) {
        const std::string value = ReadString(ASection, Item, EXPropsMissing);
        if (value == EXPropsMissing)
            return Default;
        found = true;
        return value;
    };
    TPropInfoList props(Object, tkProperties);
    for (int i = 0; i < props.Count(); ++i)
        storage->LoadAnyProperty(props.Get(i));
    return found;
}
