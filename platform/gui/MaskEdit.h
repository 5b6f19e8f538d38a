#pragma once
// Masked edits: the class library's mask engine over the single-line edit.

#include "platform/gui/Edit.h"
#include "platform/gui/EditMask.h"
#include "platform/rtl/Exceptions.h"

TESS_EXCEPTION(EDBEditError, Exception)

class TCustomMaskEdit : public TCustomEdit {
    TESS_CLASS(TCustomMaskEdit, TCustomEdit)
public:
    explicit TCustomMaskEdit(TComponent* AOwner);

    const std::string& EditMask() const { return FEditMask; }
    // An empty mask makes the control a plain edit; the text is kept through the change.
    void SetEditMask(const std::string& value);
    bool IsMasked() const { return FEngine.IsMasked(); }
    // What the control shows: literals and blanks included.
    std::string EditText() const;
    void SetEditText(const std::string& value);
    // Text as the program reads it (see TEditMaskEngine::EditTextToText).
    std::string GetText() const override;
    // Raises EDBEditError when a required position is blank (only after changes).
    virtual void ValidateEdit();
    // Restores the text the control had when it was entered.
    virtual void Reset();
    // Asked before every typed, pasted, cut or deleted change of the text: false refuses it.
    virtual bool EditCanModify() { return true; }
    void Dispatch(TMessage& Message) override;

protected:
    virtual void ValidateError();
    void DoEnter() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    // A typed character that would change the text is dropped when EditCanModify refuses it.
    void KeyPress(char& Key) override;

private:
    void TypeChar(char c);
    void DeleteKey(bool backspace);
    void PasteMasked();
    // Shows edit as the new text with the caret at caret; OnChange fires when it changed.
    void ApplyEdit(const std::string& edit, int caret);
    // Blanks the selection; returns where it started.
    int BlankSelection(std::string& edit);

    std::string FEditMask;
    TEditMaskEngine FEngine;
    std::string FEntryText;
};

class TMaskEdit : public TCustomMaskEdit {
    TESS_CLASS(TMaskEdit, TCustomMaskEdit)
public:
    explicit TMaskEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {}
};
