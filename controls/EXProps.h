#pragma once
// Published properties of components written to and read from a settings store as text, one key a
// property, through the run-time type information alone. The engine never touches a file: it
// reads, writes and erases through three handlers its user binds to a store.

#include "platform/rtl/Classes.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/TypInfo.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

using TReadStrEvent =
    std::function<std::string(const std::string& ASection, const std::string& Item, const std::string& Default)>;
using TWriteStrEvent =
    std::function<void(const std::string& ASection, const std::string& Item, const std::string& Value)>;
using TEraseSectEvent = std::function<void(const std::string& ASection)>;

// Separates a component's name from its property names in keys; "_" at start.
extern std::string sPropNameDelimiter;

// The published properties of one object of the given kinds, in the order the type information
// lists them.
class TPropInfoList : public TObject {
    TESS_CLASS(TPropInfoList, TObject)
public:
    TPropInfoList(TObject* AObject, TTypeKinds Filter);

    int Count() const { return static_cast<int>(FList.size()); }
    PPropInfo Get(int Index) const { return FList.at(static_cast<std::size_t>(Index)); }
    // The first property of that name (case ignored), nullptr when none.
    PPropInfo Find(const std::string& AName) const;
    void Delete(int Index);
    // An entry with the same type and name (case ignored).
    bool Contains(PPropInfo P) const;
    // Deletes every entry the other list does not contain.
    void Intersect(const TPropInfoList& List);

private:
    TPropList FList;
};

class TPropsStorage : public TObject {
    TESS_CLASS(TPropsStorage, TObject)
public:
    TPropsStorage() = default;

    // The properties named by Items ("Component.Property" lines whose objects are the
    // components) of AComponent's components.
    void StoreObjectsProps(TComponent* AComponent, TStrings* Items);
    void LoadObjectsProps(TComponent* AComponent, TStrings* Items);
    // Properties of AObject by name; names it does not publish are skipped.
    void StoreProperties(TStrings* PropList);
    void LoadProperties(TStrings* PropList);
    void StoreAnyProperty(PPropInfo PropInfo);
    // Every failure is swallowed: the property then keeps its value.
    void LoadAnyProperty(PPropInfo PropInfo);

    TObject* AObject = nullptr;
    std::string Prefix;
    std::string Section;
    TReadStrEvent OnReadString;
    TWriteStrEvent OnWriteString;
    TEraseSectEvent OnEraseSection;

protected:
    virtual std::string ReadString(const std::string& ASection, const std::string& Item, const std::string& Default);
    virtual void WriteString(const std::string& ASection, const std::string& Item, const std::string& Value);
    virtual void EraseSection(const std::string& ASection);
    virtual std::string GetItemName(const std::string& APropName);
    virtual std::unique_ptr<TPropsStorage> CreateStorage();

    // The text of the current value, by kind.
    std::string StoreIntegerProperty(PPropInfo PropInfo);
    std::string StoreCharProperty(PPropInfo PropInfo);
    std::string StoreEnumProperty(PPropInfo PropInfo);
    std::string StoreFloatProperty(PPropInfo PropInfo);
    std::string StoreStringProperty(PPropInfo PropInfo);
    std::string StoreLStringProperty(PPropInfo PropInfo);
    std::string StoreWCharProperty(PPropInfo PropInfo);
    std::string StoreVariantProperty(PPropInfo PropInfo);
    std::string StoreSetProperty(PPropInfo PropInfo);
    std::string StoreClassProperty(PPropInfo PropInfo);
    std::string StoreStringsProperty(PPropInfo PropInfo);
    std::string StoreComponentProperty(PPropInfo PropInfo);
    // The value from a text, by kind.
    void LoadIntegerProperty(const std::string& S, PPropInfo PropInfo);
    void LoadCharProperty(const std::string& S, PPropInfo PropInfo);
    void LoadEnumProperty(const std::string& S, PPropInfo PropInfo);
    void LoadFloatProperty(const std::string& S, PPropInfo PropInfo);
    void LoadStringProperty(const std::string& S, PPropInfo PropInfo);
    void LoadLStringProperty(const std::string& S, PPropInfo PropInfo);
    void LoadWCharProperty(const std::string& S, PPropInfo PropInfo);
    void LoadVariantProperty(const std::string& S, PPropInfo PropInfo);
    void LoadSetProperty(const std::string& S, PPropInfo PropInfo);
    void LoadClassProperty(const std::string& S, PPropInfo PropInfo);
    void LoadStringsProperty(const std::string& S, PPropInfo PropInfo);
    void LoadComponentProperty(const std::string& S, PPropInfo PropInfo);

private:
    // Each parsed line of Items whose component publishes the named property, with AObject and
    // Prefix set for it and the form as the owner of references.
    void ForEachStoredProperty(TComponent* AComponent, TStrings* Items,
                               const std::function<void(PPropInfo PropInfo)>& Handle);
    // The text of the current value; false for kinds that are not stored.
    bool ValueText(PPropInfo PropInfo, std::string& Text);
    void LoadValue(const std::string& S, PPropInfo PropInfo);
    void StoreCollection(TCollection* Collection, const std::string& PropName);
    void LoadCollection(TCollection* Collection, const std::string& PropName);
    // A storage of the same kind for Object, with this storage's handlers and owner.
    std::unique_ptr<TPropsStorage> NestedStorage(TObject* Object, const std::string& NestedPrefix,
                                                 const std::string& NestedSection);
    // Every published property of Object through a nested storage with this prefix and section.
    void StoreNested(TObject* Object, const std::string& NestedPrefix, const std::string& NestedSection);
    void LoadNested(TObject* Object, const std::string& NestedPrefix, const std::string& NestedSection);
    // The same; true when the store held a key for any of the properties.
    bool LoadNestedFound(TObject* Object, const std::string& NestedPrefix, const std::string& NestedSection);

    // The form that owns the listed components, while StoreObjectsProps or LoadObjectsProps runs.
    TComponent* FOwner = nullptr;
};

// "Component.Property", or "" when either part is empty.
std::string CreateStoredItem(const std::string& CompName, const std::string& PropName);
// Splits at the first point; both parts trimmed and not empty.
bool ParseStoredItem(const std::string& Item, std::string& CompName, std::string& PropName);
// FromForm: each line's object becomes the form's component it names (lines naming none go);
// otherwise each line is renamed after its object's current name (lines without one go).
void UpdateStoredList(TComponent* AForm, TStrings* AStoredList, bool FromForm);
// The distinct component names of the list, sorted, each with its TPropInfoList (nullptr when it
// could not be made) as object. Free it with FreeInfoLists.
TStringList* CreateInfoList(TComponent* AComponent, TStrings* StoredList);
void FreeInfoLists(TStrings* Info);
