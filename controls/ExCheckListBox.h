#pragma once
// A list box with a check box, radio button or check mark before every item, three states and an
// enabled flag per item; the states survive re-creation of the window and are kept in INI files,
// the registry or a form placement's store. The item list has a form-stream codec ("Strings").

#include "controls/ExListBox.h"
#include "platform/gui/CheckBox.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

class TBitmap;
class TFormPlacement;
class TIniFile;
class TIniLink;
class TReader;
class TRegIniFile;
class TWriter;

enum TCheckKind { ckCheckBoxes, ckRadioButtons, ckCheckMarks };

using TChangeStateEvent = std::function<void(TObject* Sender, int Index)>;

// The layout the "Strings" writer writes.
constexpr int CheckListBoxStreamVersion = 202;

// What an item of a check list box keeps beside its text, as the window's item data.
class TCheckListBoxItem : public TObject {
    TESS_CLASS(TCheckListBoxItem, TObject)
public:
    std::intptr_t Data = 0;
    TCheckBoxState State = cbUnchecked;
    bool Enabled = true;
    bool Checked() const { return State == cbChecked; }
};

// Exchanging and moving items carries their states and enabled flags along.
class TCheckListBoxStrings : public TExListBoxStrings {
    TESS_CLASS(TCheckListBoxStrings, TExListBoxStrings)
public:
    explicit TCheckListBoxStrings(TExCustomListBox* listBox) : TExListBoxStrings(listBox) {}
    void Exchange(int index1, int index2) override;
    void Move(int curIndex, int newIndex) override;
};

class TExCheckListBox : public TExCustomListBox {
    TESS_CLASS(TExCheckListBox, TExCustomListBox)
public:
    explicit TExCheckListBox(TComponent* AOwner);
    ~TExCheckListBox() override;

    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool Value);
    TCheckKind CheckKind() const { return FCheckKind; }
    void SetCheckKind(TCheckKind Value);
    // Radio buttons only: the first checked item, or -1.
    int CheckedIndex();
    void SetCheckedIndex(int Value);
    TFormPlacement* IniStorage() const;
    void SetIniStorage(TFormPlacement* Value);

    bool Checked(int Index);
    void SetChecked(int Index, bool Value);
    TCheckBoxState State(int Index);
    void SetState(int Index, TCheckBoxState Value);
    bool ItemEnabled(int Index);
    void SetItemEnabled(int Index, bool Value);
    // Check boxes and marks only: every item, or every enabled item, takes the state.
    void ApplyState(TCheckBoxState Value, bool EnabledOnly);
    void ToggleClickCheck(int Index);
    // The width of the check column.
    int CheckWidth() const { return FCheckWidth + 2; }

    void SaveStates(TIniFile* IniFile);
    void RestoreStates(TIniFile* IniFile);
    void SaveStatesReg(TRegIniFile* IniFile);
    void RestoreStatesReg(TRegIniFile* IniFile);

    // The item list in the form-stream layout: per item the text, the state ordinal and the
    // enabled flag. The reader also takes the older layouts of the given version; on a read error
    // the list is left empty.
    void WriteStrings(TWriter& Writer);
    void ReadStrings(TReader& Reader, int Version = CheckListBoxStreamVersion);

    void Loaded() override;

    TNotifyEvent OnClickCheck;
    TChangeStateEvent OnStateChange;

protected:
    virtual void ClickCheck();
    virtual void ChangeItemState(int Index);
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    int GetItemHeight() override;
    int GetItemWidth(int Index) override;
    void DrawItem(int Index, TRect Rect, TOwnerDrawState State) override;
    void DrawItemNotification(DRAWITEMSTRUCT& Draw) override;
    void FontChanged() override;
    std::intptr_t GetItemData(int Index) override;
    void SetItemData(int Index, std::intptr_t Data) override;
    void ResetContent() override;
    void DeleteString(int Index) override;
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TCheckListBoxStrings;
    // The item's check object as the window holds it; nullptr when the item has none yet.
    TCheckListBoxItem* FindCheckObject(int Index);
    TCheckListBoxItem* GetCheckObject(int Index);
    void FreeCheckObjects();
    void DrawCheck(TRect Rect, TCheckBoxState State, bool Enabled);
    void InvalidateCheck(int Index);
    void UpdateCheckStates();
    void ApplyItemHeight();
    void InternalSaveStates(TObject* IniFile, const std::string& Section);
    void InternalRestoreStates(TObject* IniFile, const std::string& Section);
    void IniSave(TObject* Sender);
    void IniLoad(TObject* Sender);

    bool FAllowGrayed = false;
    TCheckKind FCheckKind = ckCheckBoxes;
    // State << 16 | enabled of each item while the window is made again.
    std::deque<std::uint32_t> FSaveStates;
    std::unique_ptr<TBitmap> FDrawBitmap;
    int FCheckWidth = 16;
    int FCheckHeight = 13;
    bool FInUpdateStates = false;
    std::unique_ptr<TIniLink> FIniLink;
};

// The picture every check list box draws its checks from ("CHECK_IMAGES").
TBitmap* CheckBitmap();
// Registers the published properties of the check list box with the type information.
void RegisterCheckListBoxProperties();
