#pragma once
// TField, the object through which a column of the current record is read and written, and
// TFields, the data set's list of them.

#include "platform/db/DBCommon.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Variants.h"

#include <functional>
#include <string>
#include <vector>

class TDataSet;
class TStrings;
class TFields;

using TFieldNotifyEvent = std::function<void(TField* Sender)>;
using TFieldGetTextEvent = std::function<void(TField* Sender, std::string& Text, bool DisplayText)>;
using TFieldSetTextEvent = std::function<void(TField* Sender, const std::string& Text)>;

// Values travel between a field and its data set in native buffers (GetData/SetData); the
// typed descendants convert them to and from the As... forms.
class TField : public TComponent {
    TESS_CLASS(TField, TComponent)
public:
    explicit TField(TComponent* AOwner);
    ~TField() override;

    TDataSet* DataSet() const { return FDataSet; }
    // Adds the field to the data set's fields (the data set must be closed).
    void SetDataSet(TDataSet* ADataSet);
    const std::string& FieldName() const { return FFieldName; }
    void SetFieldName(const std::string& value);
    TFieldType DataType() const { return FDataType; }
    int Size() const { return FSize; }
    void SetSize(int value);
    // Bytes of the native buffer.
    int DataSize() const { return GetDataSize(); }
    TFieldKind FieldKind() const { return FFieldKind; }
    void SetFieldKind(TFieldKind value);
    // The definition's number for a data field, -1 for a calculated or lookup field, 0 unbound.
    int FieldNo() const { return FFieldNo; }
    // The position in the data set's fields.
    int Index() const;
    void SetIndex(int value);
    // The place of a calculated or lookup field in the data set's calculated-field area.
    int Offset() const { return FOffset; }

    bool Required() const { return FRequired; }
    void SetRequired(bool value) { FRequired = value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    const std::string& DisplayLabel() const { return FDisplayLabel; }
    void SetDisplayLabel(const std::string& value);
    // DisplayLabel, or FieldName when it is empty.
    std::string DisplayName() const;
    int DisplayWidth() const;
    void SetDisplayWidth(int value);
    const std::string& EditMask() const { return FEditMask; }
    void SetEditMask(const std::string& value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    const std::string& DefaultExpression() const { return FDefaultExpression; }
    void SetDefaultExpression(const std::string& value) { FDefaultExpression = value; }

    // Lookup fields: KeyFields of this data set are looked up in LookupKeyFields of
    // LookupDataSet, whose LookupResultField gives the value.
    const std::string& KeyFields() const { return FKeyFields; }
    void SetKeyFields(const std::string& value);
    TDataSet* LookupDataSet() const { return FLookupDataSet; }
    void SetLookupDataSet(TDataSet* value);
    const std::string& LookupKeyFields() const { return FLookupKeyFields; }
    void SetLookupKeyFields(const std::string& value);
    const std::string& LookupResultField() const { return FLookupResultField; }
    void SetLookupResultField(const std::string& value);
    bool Lookup() const { return FFieldKind == fkLookup; }
    void SetLookup(bool value);
    bool Calculated() const { return FFieldKind == fkCalculated; }

    bool IsNull() const;
    void Clear();
    std::string AsString() const { return GetAsString(); }
    virtual void SetAsString(const std::string& value);
    int AsInteger() const { return GetAsInteger(); }
    virtual void SetAsInteger(int value);
    double AsFloat() const { return GetAsFloat(); }
    virtual void SetAsFloat(double value);
    double AsCurrency() const { return GetAsCurrency(); }
    virtual void SetAsCurrency(double value) { SetAsFloat(value); }
    bool AsBoolean() const { return GetAsBoolean(); }
    virtual void SetAsBoolean(bool value);
    double AsDateTime() const { return GetAsDateTime(); }
    virtual void SetAsDateTime(double value);
    // Null for a null field.
    Variant AsVariant() const { return GetAsVariant(); }
    void SetAsVariant(const Variant& value);
    Variant Value() const { return GetAsVariant(); }
    void SetValue(const Variant& value) { SetAsVariant(value); }
    // The value as the data set reads it in the old-value, new-value and current-value states;
    // null for calculated and lookup fields.
    Variant OldValue() const;
    Variant NewValue() const;
    Variant CurValue() const;

    // The text for editing (Text) and for showing (DisplayText), through OnGetText when set.
    std::string Text() const;
    void SetText(const std::string& value);
    std::string DisplayText() const;

    // Copies the native value into buffer (when given); false when the field is null.
    bool GetData(void* buffer) const;
    // Writes the native value (nullptr: null) through the data set.
    void SetData(const void* buffer);
    // Runs OnValidate with buffer as the field's value for the handler to read.
    void Validate(const void* buffer);
    // Raises OnChange.
    void Change();
    // Asks the data-aware control that shows this field to take the focus.
    void FocusControl();

    bool CanModify() const { return GetCanModify(); }
    virtual bool IsBlob() const { return false; }
    bool IsIndexField() const;
    // The value of another field (or null for nullptr).
    void Assign(TPersistent* Source) override;

    // Looks up the value of a lookup field; the data set calls it while calculating.
    void CalcLookupValue();

    TFieldNotifyEvent OnChange;
    TFieldNotifyEvent OnValidate;
    TFieldGetTextEvent OnGetText;
    TFieldSetTextEvent OnSetText;

protected:
    void SetDataType(TFieldType value) { FDataType = value; }
    virtual int GetDataSize() const { return 0; }
    virtual int GetDefaultWidth() const { return 10; }
    virtual bool GetCanModify() const;

    virtual std::string GetAsString() const;
    virtual int GetAsInteger() const;
    virtual double GetAsFloat() const;
    virtual double GetAsCurrency() const { return GetAsFloat(); }
    virtual bool GetAsBoolean() const;
    virtual double GetAsDateTime() const;
    virtual Variant GetAsVariant() const;
    // Sets a value that is neither null nor empty.
    virtual void SetVarValue(const Variant& value);
    virtual void GetText(std::string& text, bool displayText) const;
    virtual void SetTextValue(const std::string& text) { SetAsString(text); }

    // Called when the data set binds (true) and unbinds its fields.
    virtual void Bind(bool binding);
    // Tells the open data set that a property that shows changed.
    void PropertyChanged(bool layoutAffected);
    // "Cannot access field '%s' as type %s".
    [[noreturn]] void AccessError(const std::string& typeName) const;
    void CheckInactive() const;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TDataSet;
    friend class TFields;

    TDataSet* FDataSet = nullptr;
    std::string FFieldName;
    TFieldType FDataType = ftUnknown;
    int FSize = 0;
    TFieldKind FFieldKind = fkData;
    int FFieldNo = 0;
    int FOffset = 0;
    bool FRequired = false;
    bool FReadOnly = false;
    bool FVisible = true;
    std::string FDisplayLabel;
    int FDisplayWidth = 0;
    std::string FEditMask;
    TAlignment FAlignment = taLeftJustify;
    std::string FDefaultExpression;
    std::string FKeyFields;
    TDataSet* FLookupDataSet = nullptr;
    std::string FLookupKeyFields;
    std::string FLookupResultField;
    // While OnValidate runs, reads see the value being validated.
    bool FValidating = false;
    const void* FValueBuffer = nullptr;
};

// The data set's fields, in their order. The list does not own persistent fields' lifetime
// rules: the data set frees every field still in it when it is destroyed, as the class
// library does.
class TFields : public TObject {
    TESS_CLASS(TFields, TObject)
public:
    explicit TFields(TDataSet* DataSet) : FDataSet(DataSet) {}

    TDataSet* DataSet() const { return FDataSet; }
    int Count() const { return static_cast<int>(FList.size()); }
    TField* Fields(int index) const; // raises "Field index out of range"
    TField* operator[](int index) const { return Fields(index); }
    void Add(TField* field);
    void Remove(TField* field);
    // Frees every field in the list.
    void Clear();
    int IndexOf(TField* field) const;
    TField* FindField(const std::string& name) const;
    TField* FieldByName(const std::string& name) const; // raises "Field '%s' not found"
    TField* FieldByNumber(int fieldNo) const;
    void SetFieldIndex(TField* field, int value);

private:
    void Changed();

    TDataSet* FDataSet;
    std::vector<TField*> FList;
};
