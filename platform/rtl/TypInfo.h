#pragma once
// Run-time type information of published properties: the kinds and types of property values,
// the properties each class publishes (registered by the unit that defines the class), and the
// functions that list them and read and write them by name on any object.

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Variants.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum TTypeKind {
    tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod, tkWChar, tkLString,
    tkWString, tkVariant
};
using TTypeKinds = TSet<TTypeKind>;
inline constexpr TTypeKinds tkAny{tkUnknown, tkInteger, tkChar,  tkEnumeration, tkFloat,   tkString, tkSet,
                                  tkClass,   tkMethod,  tkWChar, tkLString,     tkWString, tkVariant};
inline constexpr TTypeKinds tkOrdinal{tkInteger, tkChar, tkEnumeration, tkSet, tkWChar};
inline constexpr TTypeKinds tkStrings{tkString, tkLString, tkWString};
inline constexpr TTypeKinds tkProperties = tkAny - TTypeKinds{tkUnknown, tkMethod};

enum TFloatType { ftSingle, ftDouble, ftExtended, ftComp, ftCurr };

struct TTypeInfo {
    TTypeKind Kind = tkUnknown;
    std::string Name;
    // tkEnumeration: the value names from 0 on.
    std::vector<std::string> EnumNames;
    // tkSet: the type of the elements; the set's ordinal value has bit n for element n.
    const TTypeInfo* CompType = nullptr;
    // tkFloat.
    TFloatType FloatType = ftDouble;
    // tkClass: the name of the class the property holds.
    std::string ClassName;
};
using PTypeInfo = const TTypeInfo*;

// The types every unit shares: "Integer", "Boolean" (the enumeration "False", "True"), "Char",
// "string" (tkLString), "Double" and "Variant".
PTypeInfo TypeInfoInteger();
PTypeInfo TypeInfoBoolean();
PTypeInfo TypeInfoChar();
PTypeInfo TypeInfoString();
PTypeInfo TypeInfoDouble();
PTypeInfo TypeInfoVariant();
// A unit's own types, made on the first call and kept for the process; a second call with the
// same name returns the first type.
PTypeInfo IntegerTypeInfo(const std::string& name);
PTypeInfo EnumTypeInfo(const std::string& name, const std::vector<std::string>& names);
PTypeInfo SetTypeInfo(const std::string& name, PTypeInfo elementType);
PTypeInfo FloatTypeInfo(const std::string& name, TFloatType floatType);
PTypeInfo ClassTypeInfo(const std::string& className);

// One published property: its name, its type and the accessors its kind uses (ordinals, floats,
// strings, variants or objects). A property without a setter is read-only.
struct TPropInfo {
    std::string Name;
    PTypeInfo PropType = nullptr;
    std::function<std::int64_t(TObject*)> GetOrd;
    std::function<void(TObject*, std::int64_t)> SetOrd;
    std::function<double(TObject*)> GetFloat;
    std::function<void(TObject*, double)> SetFloat;
    std::function<std::string(TObject*)> GetStr;
    std::function<void(TObject*, const std::string&)> SetStr;
    std::function<Variant(TObject*)> GetVariant;
    std::function<void(TObject*, const Variant&)> SetVariant;
    std::function<TObject*(TObject*)> GetObject;
    std::function<void(TObject*, TObject*)> SetObject;
};
using PPropInfo = const TPropInfo*;
using TPropList = std::vector<PPropInfo>;

// Registers the properties className publishes beyond those of parentClassName, the nearest
// ancestor that registered its own ("" for none). A class registered again keeps its first list.
void RegisterPropInfos(const std::string& className, const std::string& parentClassName,
                       std::vector<TPropInfo> list);
// True when className is ancestorClassName or one of its registered ancestors is (case ignored).
bool RegisteredClassInheritsFrom(const std::string& className, const std::string& ancestorClassName);

// The properties of the most derived registered class the object inherits from, the ancestors'
// first and each class's in the order it registered them; only those of the given kinds.
TPropList GetPropList(const TObject* object, TTypeKinds kinds = tkAny);
// nullptr when the object has no such property (case ignored) or is nullptr.
PPropInfo GetPropInfo(const TObject* object, const std::string& propName);

// Reading and writing. A property that does not exist, one of another kind and writing a read-only
// one raise EPropertyError "Invalid property value". Ordinals are integers, characters,
// enumerations and sets (bit n for element n).
std::int64_t GetOrdProp(TObject* object, PPropInfo propInfo);
std::int64_t GetOrdProp(TObject* object, const std::string& propName);
void SetOrdProp(TObject* object, PPropInfo propInfo, std::int64_t value);
void SetOrdProp(TObject* object, const std::string& propName, std::int64_t value);
double GetFloatProp(TObject* object, PPropInfo propInfo);
double GetFloatProp(TObject* object, const std::string& propName);
void SetFloatProp(TObject* object, PPropInfo propInfo, double value);
void SetFloatProp(TObject* object, const std::string& propName, double value);
std::string GetStrProp(TObject* object, PPropInfo propInfo);
std::string GetStrProp(TObject* object, const std::string& propName);
void SetStrProp(TObject* object, PPropInfo propInfo, const std::string& value);
void SetStrProp(TObject* object, const std::string& propName, const std::string& value);
Variant GetVariantProp(TObject* object, PPropInfo propInfo);
Variant GetVariantProp(TObject* object, const std::string& propName);
void SetVariantProp(TObject* object, PPropInfo propInfo, const Variant& value);
void SetVariantProp(TObject* object, const std::string& propName, const Variant& value);
TObject* GetObjectProp(TObject* object, PPropInfo propInfo);
TObject* GetObjectProp(TObject* object, const std::string& propName);
void SetObjectProp(TObject* object, PPropInfo propInfo, TObject* value);
void SetObjectProp(TObject* object, const std::string& propName, TObject* value);

// The name of an enumeration's value ("" outside its range); the decimal text for an integer type.
std::string GetEnumName(PTypeInfo typeInfo, int value);
// The value of a name (case ignored), -1 when the enumeration has no such name.
int GetEnumValue(PTypeInfo typeInfo, const std::string& name);

// --- Building property lists ------------------------------------------------------------------
// Accessors for a property of class C from functions on C; the object is checked to be a C.

namespace TypInfoDetail {
[[noreturn]] void RaiseInvalidProperty();
template <class C>
C& As(TObject* object)
{
    C* typed = dynamic_cast<C*>(object);
    if (!typed)
        RaiseInvalidProperty();
    return *typed;
}
} // namespace TypInfoDetail

template <class C>
TPropInfo OrdProp(std::string name, PTypeInfo type, std::function<std::int64_t(C&)> get,
                  std::function<void(C&, std::int64_t)> set = {})
{
    TPropInfo info;
    info.Name = std::move(name);
    info.PropType = type;
    info.GetOrd = [get](TObject* o) { return get(TypInfoDetail::As<C>(o)); };
    if (set)
        info.SetOrd = [set](TObject* o, std::int64_t v) { set(TypInfoDetail::As<C>(o), v); };
    return info;
}

template <class C>
TPropInfo FloatProp(std::string name, PTypeInfo type, std::function<double(C&)> get,
                    std::function<void(C&, double)> set = {})
{
    TPropInfo info;
    info.Name = std::move(name);
    info.PropType = type;
    info.GetFloat = [get](TObject* o) { return get(TypInfoDetail::As<C>(o)); };
    if (set)
        info.SetFloat = [set](TObject* o, double v) { set(TypInfoDetail::As<C>(o), v); };
    return info;
}

template <class C>
TPropInfo StrProp(std::string name, std::function<std::string(C&)> get,
                  std::function<void(C&, const std::string&)> set = {})
{
    TPropInfo info;
    info.Name = std::move(name);
    info.PropType = TypeInfoString();
    info.GetStr = [get](TObject* o) { return get(TypInfoDetail::As<C>(o)); };
    if (set)
        info.SetStr = [set](TObject* o, const std::string& v) { set(TypInfoDetail::As<C>(o), v); };
    return info;
}

template <class C>
TPropInfo VariantProp(std::string name, std::function<Variant(C&)> get,
                      std::function<void(C&, const Variant&)> set = {})
{
    TPropInfo info;
    info.Name = std::move(name);
    info.PropType = TypeInfoVariant();
    info.GetVariant = [get](TObject* o) { return get(TypInfoDetail::As<C>(o)); };
    if (set)
        info.SetVariant = [set](TObject* o, const Variant& v) { set(TypInfoDetail::As<C>(o), v); };
    return info;
}

template <class C>
TPropInfo ObjectProp(std::string name, const std::string& className, std::function<TObject*(C&)> get,
                     std::function<void(C&, TObject*)> set = {})
{
    TPropInfo info;
    info.Name = std::move(name);
    info.PropType = ClassTypeInfo(className);
    info.GetObject = [get](TObject* o) { return get(TypInfoDetail::As<C>(o)); };
    if (set)
        info.SetObject = [set](TObject* o, TObject* v) { set(TypInfoDetail::As<C>(o), v); };
    return info;
}
