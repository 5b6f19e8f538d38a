#pragma once
// A component that keeps text lines, stored as "StrData" (each line XOR-ed with a key and written
// in hexadecimal), with macros: names written after a macro character whose values replace them
// when the text is expanded.

#include "platform/rtl/Classes.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Variants.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TReader;
class TWriter;

using TMacroTextEvent = std::function<void(TObject* Sender, const Variant& Data, std::string& Text)>;

class TMacros;

class TMacro : public TCollectionItem {
    TESS_CLASS(TMacro, TCollectionItem)
public:
    explicit TMacro(TCollection* Collection);

    void Assign(TPersistent* Source) override;
    std::string DisplayName() const override;
    // Raises EStringListError "String list does not allow duplicates" when another macro of the
    // collection already has the name.
    void SetDisplayName(const std::string& Value);

    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value) { SetDisplayName(Value); }
    const Variant& Value() const { return FData; }
    void SetValue(const Variant& Value) { FData = Value; }
    Variant AsVariant() const { return FData; }
    void SetAsVariant(const Variant& Value) { FData = Value; }
    void Clear() { FData = Variant(); }
    // The value as text, as OnGetText leaves it.
    std::string GetText();
    bool IsEqual(const TMacro* Value) const;
    TMacros* GetMacros() const;

    TMacroTextEvent OnGetText;

private:
    friend class TMacros;
    std::string FName;
    Variant FData;
};

class TMacros : public TCollection {
    TESS_CLASS(TMacros, TCollection)
public:
    TMacros();

    TMacro* Items(int Index) const;
    // Ignoring case; -1 when absent.
    int IndexOf(const std::string& Name) const;
    TMacro* FindMacro(const std::string& Name) const;
    // Raises EPropertyError "Invalid property value" when absent.
    TMacro* MacroByName(const std::string& Name) const;
    TMacro* CreateMacro(const std::string& Name);
    void AddMacro(TMacro* Value);
    void RemoveMacro(TMacro* Value);
    // Each macro of Value with a same-named macro here gives it its value and name.
    void AssignValues(TMacros* Value);
    bool IsEqual(const TMacros* Value) const;
    // The text with every macro reference replaced by "?"; with DoCreate the collection becomes
    // the macros found, in order, keeping the values of those that were already here.
    std::string ParseString(const std::string& Value, bool DoCreate, char SpecialChar);
    // Names separated by ";": a variant array of their values; one name: its value.
    Variant GetMacroValue(const std::string& MacroName) const;
    void SetMacroValue(const std::string& MacroName, const Variant& Value);

private:
    // The collection becomes one macro per name, in order.
    void Recreate(const std::vector<std::string>& Names);
};

class TStrHolder : public TComponent {
    TESS_CLASS(TStrHolder, TComponent)
public:
    explicit TStrHolder(TComponent* AOwner);
    ~TStrHolder() override;

    void Assign(TPersistent* Source) override;
    void AssignTo(TPersistent* Dest) override;

    TStringList* Strings() const { return FStrings.get(); }
    void SetStrings(TStrings* Value);
    std::string CommaText() const { return FStrings->CommaText(); }
    void SetCommaText(const std::string& Value) { FStrings->SetCommaText(Value); }
    void Clear() { FStrings->Clear(); }

    int Capacity() const { return FCapacity; }
    void SetCapacity(int Value) { FCapacity = Value; }
    TDuplicates Duplicates() const { return FStrings->Duplicates(); }
    void SetDuplicates(TDuplicates Value) { FStrings->SetDuplicates(Value); }
    bool Sorted() const { return FStrings->Sorted(); }
    void SetSorted(bool Value) { FStrings->SetSorted(Value); }
    const std::string& KeyString() const { return FKeyString; }
    void SetKeyString(const std::string& Value) { FKeyString = Value; }
    char MacroChar() const { return FMacroChar; }
    void SetMacroChar(char Value);
    TMacros* Macros() const { return FMacros.get(); }
    // Copies only the values of same-named macros.
    void SetMacros(TMacros* Value);
    int MacroCount() const { return FMacros->Count(); }
    TMacro* MacroByName(const std::string& MacroName) const { return FMacros->MacroByName(MacroName); }
    // The whole text with the macro references replaced by the macros' values.
    std::string ExpandMacros();

    // The version of the stored "StrData": 1 decodes lines with XorDecode, 0 (older data) with
    // XorString.
    int InternalVer() const { return FInternalVer; }
    void SetInternalVer(int Value) { FInternalVer = Value; }
    // "StrData": a list of the key string and then one encoded string per line.
    void ReadStrData(TReader& Reader);
    void WriteStrData(TWriter& Writer) const;
    // Whether "StrData" is written, compared with the holder it derives from (nullptr: none).
    bool StoresStrData(const TStrHolder* Ancestor) const;

    TNotifyEvent OnExpandMacros;
    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    virtual void Changed();
    virtual void Changing();
    virtual void BeforeExpandMacros();

private:
    void StringsChanged();
    void StringsChanging();
    void RecreateMacros();
    bool Reading() const { return ComponentState().Contains(csReading); }

    std::unique_ptr<TStringList> FStrings;
    std::string FKeyString;
    int FInternalVer = 1;
    std::unique_ptr<TMacros> FMacros;
    char FMacroChar = '%';
    int FCapacity = 0;
};
