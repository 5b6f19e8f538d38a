#include "platform/rtl/TypInfo.h"

#include "platform/rtl/TextUtils.h"

#include <map>
#include <memory>
#include <mutex>

namespace {

struct TTypInfoClassEntry {
    std::string Name;      // as registered: InheritsFrom compares names exactly
    std::string ParentKey; // "" for none
    std::vector<std::unique_ptr<TPropInfo>> Properties;
};

// Types and property lists live until the process ends, so that the pointers handed out stay
// valid; both tables are keyed by the upper-cased name.
struct TTypInfoRegistry {
    std::mutex Lock;
    std::map<std::string, std::unique_ptr<TTypeInfo>> Types;
    std::map<std::string, TTypInfoClassEntry> Classes;
};

TTypInfoRegistry& TypInfoRegistry()
{
    static TTypInfoRegistry registry;
    return registry;
}

std::string TypInfoKey(const std::string& name) { return UpperCase(name); }

// The registered type of that name, made by make when there is none yet.
PTypeInfo TypInfoShared(const std::string& name, const std::function<void(TTypeInfo&)>& make)
{
    auto& registry = TypInfoRegistry();
    std::lock_guard lock(registry.Lock);
    auto& slot = registry.Types[TypInfoKey(name)];
    if (!slot) {
        slot = std::make_unique<TTypeInfo>();
        slot->Name = name;
        make(*slot);
    }
    return slot.get();
}

PTypeInfo TypInfoSimple(const std::string& name, TTypeKind kind)
{
    return TypInfoShared(name, [kind](TTypeInfo& type) { type.Kind = kind; });
}

// The registered classes from the root down to key; the caller holds the lock.
std::vector<const TTypInfoClassEntry*> TypInfoChain(TTypInfoRegistry& registry, const std::string& key)
{
    std::vector<const TTypInfoClassEntry*> chain;
    for (auto found = registry.Classes.find(key); found != registry.Classes.end();
         found = registry.Classes.find(found->second.ParentKey)) {
        if (chain.size() > registry.Classes.size())
            break; // a cycle of registrations ends the chain
        chain.insert(chain.begin(), &found->second);
        if (found->second.ParentKey.empty())
            break;
    }
    return chain;
}

// The chain of the most derived registered class the object inherits from (empty when none).
std::vector<const TTypInfoClassEntry*> TypInfoChainOf(TTypInfoRegistry& registry, const TObject* object)
{
    std::vector<const TTypInfoClassEntry*> best;
    if (!object)
        return best;
    for (const auto& [key, entry] : registry.Classes) {
        if (!object->InheritsFrom(entry.Name))
            continue;
        auto chain = TypInfoChain(registry, key);
        if (chain.size() > best.size())
            best = std::move(chain);
    }
    return best;
}

PPropInfo TypInfoRequire(const TObject* object, const std::string& propName)
{
    PPropInfo info = GetPropInfo(object, propName);
    if (!info)
        TypInfoDetail::RaiseInvalidProperty();
    return info;
}

bool TypInfoIsKind(PPropInfo info, TTypeKinds kinds) { return info && info->PropType && kinds.Contains(info->PropType->Kind); }

} // namespace

namespace TypInfoDetail {
void RaiseInvalidProperty() { RAISE(EPropertyError("Invalid property value")); }
} // namespace TypInfoDetail

// --- Types -------------------------------------------------------------------------------------

PTypeInfo TypeInfoInteger() { return TypInfoSimple("Integer", tkInteger); }
PTypeInfo TypeInfoBoolean() { return EnumTypeInfo("Boolean", {"False", "True"}); }
PTypeInfo TypeInfoChar() { return TypInfoSimple("Char", tkChar); }
PTypeInfo TypeInfoString() { return TypInfoSimple("string", tkLString); }
PTypeInfo TypeInfoDouble() { return FloatTypeInfo("Double", ftDouble); }
PTypeInfo TypeInfoVariant() { return TypInfoSimple("Variant", tkVariant); }

PTypeInfo IntegerTypeInfo(const std::string& name) { return TypInfoSimple(name, tkInteger); }

PTypeInfo EnumTypeInfo(const std::string& name, const std::vector<std::string>& names)
{
    return TypInfoShared(name, [&names](TTypeInfo& type) {
        type.Kind = tkEnumeration;
        type.EnumNames = names;
    });
}

PTypeInfo SetTypeInfo(const std::string& name, PTypeInfo elementType)
{
    return TypInfoShared(name, [elementType](TTypeInfo& type) {
        type.Kind = tkSet;
        type.CompType = elementType;
    });
}

PTypeInfo FloatTypeInfo(const std::string& name, TFloatType floatType)
{
    return TypInfoShared(name, [floatType](TTypeInfo& type) {
        type.Kind = tkFloat;
        type.FloatType = floatType;
    });
}

PTypeInfo ClassTypeInfo(const std::string& className)
{
    return TypInfoShared(className, [&className](TTypeInfo& type) {
        type.Kind = tkClass;
        type.ClassName = className;
    });
}

// --- The registry ------------------------------------------------------------------------------

void RegisterPropInfos(const std::string& className, const std::string& parentClassName,
                       std::vector<TPropInfo> list)
{
    auto& registry = TypInfoRegistry();
    std::lock_guard lock(registry.Lock);
    const std::string key = TypInfoKey(className);
    if (registry.Classes.count(key))
        return;
    TTypInfoClassEntry& entry = registry.Classes[key];
    entry.Name = className;
    entry.ParentKey = TypInfoKey(parentClassName);
    for (TPropInfo& info : list)
        entry.Properties.push_back(std::make_unique<TPropInfo>(std::move(info)));
}

bool RegisteredClassInheritsFrom(const std::string& className, const std::string& ancestorClassName)
{
    const std::string ancestor = TypInfoKey(ancestorClassName);
    if (TypInfoKey(className) == ancestor)
        return true;
    auto& registry = TypInfoRegistry();
    std::lock_guard lock(registry.Lock);
    for (const TTypInfoClassEntry* entry : TypInfoChain(registry, TypInfoKey(className)))
        if (TypInfoKey(entry->Name) == ancestor)
            return true;
    return false;
}

TPropList GetPropList(const TObject* object, TTypeKinds kinds)
{
    TPropList list;
    auto& registry = TypInfoRegistry();
    std::lock_guard lock(registry.Lock);
    for (const TTypInfoClassEntry* entry : TypInfoChainOf(registry, object))
        for (const auto& info : entry->Properties)
            if (TypInfoIsKind(info.get(), kinds))
                list.push_back(info.get());
    return list;
}

PPropInfo GetPropInfo(const TObject* object, const std::string& propName)
{
    auto& registry = TypInfoRegistry();
    std::lock_guard lock(registry.Lock);
    const auto chain = TypInfoChainOf(registry, object);
    // A derived class's property hides an ancestor's of the same name.
    for (auto entry = chain.rbegin(); entry != chain.rend(); ++entry)
        for (const auto& info : (*entry)->Properties)
            if (SameText(info->Name, propName))
                return info.get();
    return nullptr;
}

// --- Reading and writing -----------------------------------------------------------------------

std::int64_t GetOrdProp(TObject* object, PPropInfo propInfo)
{
    if (!object || !TypInfoIsKind(propInfo, tkOrdinal) || !propInfo->GetOrd)
        TypInfoDetail::RaiseInvalidProperty();
    return propInfo->GetOrd(object);
}

void SetOrdProp(TObject* object, PPropInfo propInfo, std::int64_t value)
{
    if (!object || !TypInfoIsKind(propInfo, tkOrdinal) || !propInfo->SetOrd)
        TypInfoDetail::RaiseInvalidProperty();
    propInfo->SetOrd(object, value);
}

double GetFloatProp(TObject* object, PPropInfo propInfo)
{
    if (!object || !TypInfoIsKind(propInfo, {tkFloat}) || !propInfo->GetFloat)
        TypInfoDetail::RaiseInvalidProperty();
    return propInfo->GetFloat(object);
}

void SetFloatProp(TObject* object, PPropInfo propInfo, double value)
{
    if (!object || !TypInfoIsKind(propInfo, {tkFloat}) || !propInfo->SetFloat)
        TypInfoDetail::RaiseInvalidProperty();
    propInfo->SetFloat(object, value);
}

std::string GetStrProp(TObject* object, PPropInfo propInfo)
{
    if (!object || !TypInfoIsKind(propInfo, tkStrings) || !propInfo->GetStr)
        TypInfoDetail::RaiseInvalidProperty();
    return propInfo->GetStr(object);
}

void SetStrProp(TObject* object, PPropInfo propInfo, const std::string& value)
{
    if (!object || !TypInfoIsKind(propInfo, tkStrings) || !propInfo->SetStr)
        TypInfoDetail::RaiseInvalidProperty();
    propInfo->SetStr(object, value);
}

Variant GetVariantProp(TObject* object, PPropInfo propInfo)
{
    if (!object || !TypInfoIsKind(propInfo, {tkVariant}) || !propInfo->GetVariant)
        TypInfoDetail::RaiseInvalidProperty();
    return propInfo->GetVariant(object);
}

void SetVariantProp(TObject* object, PPropInfo propInfo, const Variant& value)
{
    if (!object || !TypInfoIsKind(propInfo, {tkVariant}) || !propInfo->SetVariant)
        TypInfoDetail::RaiseInvalidProperty();
    propInfo->SetVariant(object, value);
}

TObject* GetObjectProp(TObject* object, PPropInfo propInfo)
{
    if (!object || !TypInfoIsKind(propInfo, {tkClass}) || !propInfo->GetObject)
        TypInfoDetail::RaiseInvalidProperty();
    return propInfo->GetObject(object);
}

void SetObjectProp(TObject* object, PPropInfo propInfo, TObject* value)
{
    if (!object || !TypInfoIsKind(propInfo, {tkClass}) || !propInfo->SetObject)
        TypInfoDetail::RaiseInvalidProperty();
    propInfo->SetObject(object, value);
}

std::int64_t GetOrdProp(TObject* object, const std::string& propName)
{
    return GetOrdProp(object, TypInfoRequire(object, propName));
}
void SetOrdProp(TObject* object, const std::string& propName, std::int64_t value)
{
    SetOrdProp(object, TypInfoRequire(object, propName), value);
}
double GetFloatProp(TObject* object, const std::string& propName)
{
    return GetFloatProp(object, TypInfoRequire(object, propName));
}
void SetFloatProp(TObject* object, const std::string& propName, double value)
{
    SetFloatProp(object, TypInfoRequire(object, propName), value);
}
std::string GetStrProp(TObject* object, const std::string& propName)
{
    return GetStrProp(object, TypInfoRequire(object, propName));
}
void SetStrProp(TObject* object, const std::string& propName, const std::string& value)
{
    SetStrProp(object, TypInfoRequire(object, propName), value);
}
Variant GetVariantProp(TObject* object, const std::string& propName)
{
    return GetVariantProp(object, TypInfoRequire(object, propName));
}
void SetVariantProp(TObject* object, const std::string& propName, const Variant& value)
{
    SetVariantProp(object, TypInfoRequire(object, propName), value);
}
TObject* GetObjectProp(TObject* object, const std::string& propName)
{
    return GetObjectProp(object, TypInfoRequire(object, propName));
}
void SetObjectProp(TObject* object, const std::string& propName, TObject* value)
{
    SetObjectProp(object, TypInfoRequire(object, propName), value);
}

// --- Enumerations ------------------------------------------------------------------------------

std::string GetEnumName(PTypeInfo typeInfo, int value)
{
    if (!typeInfo)
        return {};
    if (typeInfo->Kind == tkInteger)
        return std::to_string(value);
    if (typeInfo->Kind != tkEnumeration || value < 0 || value >= static_cast<int>(typeInfo->EnumNames.size()))
        return {};
    return typeInfo->EnumNames[static_cast<std::size_t>(value)];
}

int GetEnumValue(PTypeInfo typeInfo, const std::string& name)
{
    if (!typeInfo || typeInfo->Kind != tkEnumeration)
        return -1;
    for (std::size_t i = 0; i < typeInfo->EnumNames.size(); ++i)
        if (SameText(typeInfo->EnumNames[i], name))
            return static_cast<int>(i);
    return -1;
}
