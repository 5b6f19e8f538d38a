// Masked edits.

#include "platform/gui/MaskEdit.h"

#include "platform/gui/private/StdCtrlSupport.h"

#include <QLineEdit>

#include <algorithm>

TCustomMaskEdit::TCustomMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}

std::string TCustomMaskEdit::EditText() const { return TCustomEdit::GetText(); }

void TCustomMaskEdit::SetEditText(const std::string& value)
{
    if (!IsMasked()) {
        SetText(value);
        return;
    }
    std::string edit = FEngine.EmptyEditText();
    for (int i = 0; i < FEngine.Length() && i < static_cast<int>(value.size()); ++i) {
        char c = value[static_cast<std::size_t>(i)];
        if (!FEngine.IsLiteral(i) && FEngine.Accepts(i, c))
            edit[static_cast<std::size_t>(i)] = c;
    }
    ApplyEdit(edit, FEngine.NextInput(0));
}

std::string TCustomMaskEdit::GetText() const
{
    if (!IsMasked())
        return TCustomEdit::GetText();
    return FEngine.EditTextToText(EditText());
}

void TCustomMaskEdit::SetEditMask(const std::string& value)
{
    const std::string text = GetText();
    FEditMask = value;
    FEngine = TEditMaskEngine(value);
    SetMaxLength(IsMasked() ? FEngine.Length() : 0);
    const std::string edit = IsMasked() ? FEngine.TextToEditText(text) : text;
    SetEditorText(edit);
}

void TCustomMaskEdit::ApplyEdit(const std::string& edit, int caret)
{
    const bool changed = edit != EditText();
    SetEditorText(edit);
    if (caret < 0)
        caret = static_cast<int>(edit.size());
    if (QLineEdit* editor = Editor())
        editor->setCursorPosition(caret);
    else
        SetSelStart(caret);
    if (changed) {
        FModified = true;
        StdCtrl::NotifyParent(this, EN_CHANGE);
    }
}

int TCustomMaskEdit::BlankSelection(std::string& edit)
{
    const int start = SelStart();
    const int end = std::min(start + SelLength(), static_cast<int>(edit.size()));
    for (int i = start; i < end; ++i)
        if (!FEngine.IsLiteral(i))
            edit[static_cast<std::size_t>(i)] = FEngine.Blank();
    return start;
}

void TCustomMaskEdit::TypeChar(char c)
{
    if (ReadOnly())
        return;
    std::string edit = EditText();
    if (static_cast<int>(edit.size()) != FEngine.Length())
        edit = FEngine.TextToEditText(FEngine.EditTextToText(edit));
    int pos = SelLength() > 0 ? BlankSelection(edit) : SelStart();
    // A typed literal jumps to it.
    if (FEngine.IsLiteral(pos) && pos < FEngine.Length() && FEngine.LiteralAt(pos) == c) {
        ApplyEdit(edit, FEngine.NextInput(pos + 1) < 0 ? pos + 1 : FEngine.NextInput(pos + 1));
        return;
    }
    pos = FEngine.NextInput(pos);
    if (pos < 0 || !FEngine.Accepts(pos, c)) {
        StdCtrl::Beep();
        return;
    }
    edit[static_cast<std::size_t>(pos)] = c;
    int next = FEngine.NextInput(pos + 1);
    if (next < 0)
        next = pos + 1;
    ApplyEdit(edit, next);
}

void TCustomMaskEdit::DeleteKey(bool backspace)
{
    if (ReadOnly())
        return;
    std::string edit = EditText();
    if (SelLength() > 0) {
        const int start = BlankSelection(edit);
        ApplyEdit(edit, start);
        return;
    }
    const int caret = SelStart();
    if (backspace) {
        const int pos = FEngine.PreviousInput(caret);
        if (pos < 0)
            return;
        edit[static_cast<std::size_t>(pos)] = FEngine.Blank();
        ApplyEdit(edit, pos);
    } else {
        const int pos = FEngine.NextInput(caret);
        if (pos < 0)
            return;
        edit[static_cast<std::size_t>(pos)] = FEngine.Blank();
        ApplyEdit(edit, caret);
    }
}

void TCustomMaskEdit::PasteMasked()
{
    if (ReadOnly())
        return;
    for (char c : StdCtrl::ClipboardText()) {
        if (static_cast<unsigned char>(c) < 0x20)
            break;
        std::string edit = EditText();
        int pos = SelLength() > 0 ? BlankSelection(edit) : SelStart();
        if (SelLength() > 0)
            ApplyEdit(edit, pos);
        pos = FEngine.NextInput(pos);
        if (pos < 0)
            return;
        char typed = c;
        if (FEngine.Accepts(pos, typed))
            TypeChar(c);
    }
}

void TCustomMaskEdit::ValidateEdit()
{
    if (!IsMasked() || !Modified())
        return;
    const int missing = FEngine.FirstMissing(EditText());
    if (missing < 0)
        return;
    if (QLineEdit* editor = Editor())
        editor->setCursorPosition(missing);
    ValidateError();
}

void TCustomMaskEdit::ValidateError()
{
    StdCtrl::Beep();
    RAISE(EDBEditError("Valore non valido. Premere Esc per annullare le modifiche."));
}

void TCustomMaskEdit::Reset()
{
    if (!Modified())
        return;
    SetEditorText(FEntryText);
    StdCtrl::NotifyParent(this, EN_CHANGE);
    SetModified(false);
}

void TCustomMaskEdit::DoEnter()
{
    FEntryText = EditText();
    SetModified(false);
    TCustomEdit::DoEnter();
    if (IsMasked() && SelLength() == 0) {
        const int first = FEngine.NextInput(0);
        if (QLineEdit* editor = Editor(); editor && first >= 0)
            editor->setCursorPosition(first);
    }
}

void TCustomMaskEdit::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomEdit::KeyDown(Key, Shift);
    // Delete, Shift+Del (cut) and Shift+Ins (paste) change the text.
    const bool changing = Key == VK_DELETE || (Key == VK_INSERT && Shift.Contains(ssShift));
    if (changing && !EditCanModify()) {
        Key = 0;
        return;
    }
    if (!IsMasked() || Key == 0)
        return;
    if (Key == VK_ESCAPE && Modified() && Shift.Empty()) {
        Reset();
        Key = 0;
    } else if (Key == VK_DELETE && Shift.Empty()) {
        DeleteKey(false);
        Key = 0;
    }
}

void TCustomMaskEdit::KeyPress(char& Key)
{
    TCustomEdit::KeyPress(Key);
    const unsigned char ch = static_cast<unsigned char>(Key);
    // Backspace, Ctrl+V and Ctrl+X change the text as printable characters do; Ctrl+C does not.
    const bool changing = ch >= 0x20 || ch == VK_BACK || ch == 0x16 || ch == 0x18;
    if (changing && !EditCanModify())
        Key = 0;
}

void TCustomMaskEdit::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case EM_REPLACESEL:
        if (!EditCanModify())
            return;
        break;
    default:
        break;
    }
    if (!IsMasked()) {
        TCustomEdit::Dispatch(Message);
        return;
    }
    switch (Message.Msg) {
    case WM_SETTEXT: {
        const std::string value = Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "";
        const std::string edit = FEngine.TextToEditText(value);
        TMessage copy = Message;
        copy.LParam = reinterpret_cast<LPARAM>(edit.c_str());
        TCustomEdit::Dispatch(copy);
        Message.Result = copy.Result;
        return;
    }
    case WM_CHAR: {
        if (DoKeyPress(Message))
            return;
        const unsigned char ch = static_cast<unsigned char>(Message.WParam & 0xFF);
        if (ch == VK_BACK)
            DeleteKey(true);
        else if (ch == 0x16)
            PasteMasked();
        else if (ch == 0x18) {
            CopyToClipboard();
            DeleteKey(false);
        } else if (ch == 0x03)
            CopyToClipboard();
        else if (ch >= 0x20)
            TypeChar(static_cast<char>(ch));
        return;
    }
    case WM_PASTE:
        PasteMasked();
        return;
    case WM_CUT:
        CopyToClipboard();
        DeleteKey(false);
        return;
    case WM_CLEAR:
        DeleteKey(false);
        return;
    case EM_REPLACESEL: {
        const std::string value = Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "";
        for (char c : value)
            TypeChar(c);
        return;
    }
    case CM_EXIT:
        try {
            ValidateEdit();
        } catch (...) {
            if (CanFocus())
                SetFocus();
            throw;
        }
        TCustomEdit::Dispatch(Message);
        return;
    default:
        TCustomEdit::Dispatch(Message);
    }
}
