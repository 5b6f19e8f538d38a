#pragma once
// Single-line edits over a Qt line edit, answering the "EDIT" window class's messages. The
// layer decides what reaches the Qt widget, so the class library's rules hold: MaxLength stops
// typing and pasting but not text set by code, CharCase converts every text, OnChange fires on
// every change of the text.

#include "platform/gui/Label.h"
#include "platform/gui/WinControl.h"

constexpr UINT EM_GETSEL = 0xB0, EM_SETSEL = 0xB1, EM_GETRECT = 0xB2, EM_SETRECT = 0xB3, EM_SETRECTNP = 0xB4,
               EM_SCROLL = 0xB5, EM_LINESCROLL = 0xB6, EM_SCROLLCARET = 0xB7, EM_GETMODIFY = 0xB8,
               EM_SETMODIFY = 0xB9, EM_GETLINECOUNT = 0xBA, EM_LINEINDEX = 0xBB, EM_LINELENGTH = 0xC1,
               EM_REPLACESEL = 0xC2, EM_GETLINE = 0xC4, EM_LIMITTEXT = 0xC5, EM_CANUNDO = 0xC6, EM_UNDO = 0xC7,
               EM_LINEFROMCHAR = 0xC9, EM_SETTABSTOPS = 0xCB, EM_SETPASSWORDCHAR = 0xCC,
               EM_EMPTYUNDOBUFFER = 0xCD, EM_GETFIRSTVISIBLELINE = 0xCE, EM_SETREADONLY = 0xCF,
               EM_GETPASSWORDCHAR = 0xD2, EM_SETMARGINS = 0xD3, EM_GETMARGINS = 0xD4, EM_GETLIMITTEXT = 0xD5,
               EM_POSFROMCHAR = 0xD6, EM_CHARFROMPOS = 0xD7;
constexpr DWORD ES_LEFT = 0, ES_CENTER = 1, ES_RIGHT = 2, ES_MULTILINE = 4, ES_UPPERCASE = 8, ES_LOWERCASE = 0x10,
                ES_PASSWORD = 0x20, ES_AUTOVSCROLL = 0x40, ES_AUTOHSCROLL = 0x80, ES_NOHIDESEL = 0x100,
                ES_OEMCONVERT = 0x400, ES_READONLY = 0x800, ES_WANTRETURN = 0x1000;
constexpr WORD EN_SETFOCUS = 0x100, EN_KILLFOCUS = 0x200, EN_CHANGE = 0x300, EN_UPDATE = 0x400, EN_MAXTEXT = 0x501;
constexpr WPARAM EC_LEFTMARGIN = 1, EC_RIGHTMARGIN = 2, EC_USEFONTINFO = 0xFFFF;

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class QLineEdit;

class TCustomEdit : public TWinControl {
    TESS_CLASS(TCustomEdit, TWinControl)
public:
    explicit TCustomEdit(TComponent* AOwner);
    ~TCustomEdit() override;

    std::string GetText() const override;
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    char PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char value);
    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase value);
    bool AutoSelect = true;
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    bool HideSelection = true;
    bool OEMConvert = false;
    bool Modified() const;
    void SetModified(bool value);
    virtual int SelStart() const;
    virtual void SetSelStart(int value);
    virtual int SelLength() const;
    virtual void SetSelLength(int value);
    std::string SelText() const;
    void SetSelText(const std::string& value);
    virtual void SelectAll();
    void ClearSelection();
    void CopyToClipboard();
    void CutToClipboard();
    virtual void PasteFromClipboard();
    virtual void Undo();
    virtual bool CanUndo() const;
    virtual void ClearUndo();
    void Clear();

    TNotifyEvent OnChange;
    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    IHostWidget* CreateHost(const TCreateParams& Params, void* parentWidget) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    virtual void Change();
    void DoEnter() override;
    // The Qt widget, nullptr until the handle exists.
    QLineEdit* Editor() const;
    // Text converted to the CharCase.
    std::string ConvertCase(const std::string& text) const;
    // Replaces the selection with text as the user would (MaxLength applies when limit is true).
    virtual void ReplaceSelection(const std::string& text, bool limit);
    // The text set on the Qt widget without counting it as a user edit.
    virtual void SetEditorText(const std::string& text);
    void AdjustHeight();
    virtual void ApplyEditorState();
    bool FModified = false;

private:
    void WMChar(TMessage& Message);
    bool EditKeyDown(TMessage& Message);
    std::string FText;
    int FMaxLength = 0;
    bool FReadOnly = false;
    char FPasswordChar = 0;
    TEditCharCase FCharCase = ecNormal;
    bool FAutoSize = true;
    TBorderStyle FBorderStyle = bsSingle;
    int FSelStart = 0;
    int FSelLength = 0;
    int FLeftMargin = 0;
    int FRightMargin = 0;
};

class TEdit : public TCustomEdit {
    TESS_CLASS(TEdit, TCustomEdit)
public:
    explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};
