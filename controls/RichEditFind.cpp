// Find and replace in the extended rich edit.

#include "controls/RichEditFind.h"

#include "platform/gui/Screen.h"
#include "platform/gui/WindowFunctions.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

constexpr int DialogGap = 20;

} // namespace

int TExCustomRichEdit::FindText(const std::string& SearchStr, int StartPos, int Length, ExRichEd::TRichSearchTypes Options)
{
    if (!WindowReady())
        return -1;
    const long long span = std::llabs(static_cast<long long>(Length));
    const bool backward = Options.Contains(ExRichEd::stBackward) && RichEditVersion >= 2;
    FINDTEXTEXA find;
    find.lpstrText = SearchStr.c_str();
    if (backward) {
        // From StartPos back over the span: the last match that ends at or before StartPos.
        find.chrg.cpMin = StartPos;
        find.chrg.cpMax = static_cast<LONG>(std::max<long long>(0, StartPos - span + 1));
    } else {
        find.chrg.cpMin = StartPos;
        find.chrg.cpMax = static_cast<LONG>(std::min<long long>(StartPos + span, INT_MAX));
    }
    WPARAM flags = backward ? 0 : FR_DOWN;
    if (Options.Contains(ExRichEd::stWholeWord))
        flags |= FR_WHOLEWORD;
    if (Options.Contains(ExRichEd::stMatchCase))
        flags |= FR_MATCHCASE;
    const auto found = static_cast<int>(Perform(EM_FINDTEXTEX, flags, reinterpret_cast<LPARAM>(&find)));
    if (found >= 0 && Options.Contains(ExRichEd::stSetSelection))
        SetSelection(find.chrgText.cpMin, find.chrgText.cpMax, true);
    return found;
}

void TExCustomRichEdit::SetupFindDialog(TFindDialog* Dialog, const std::string& SearchStr,
                                        const std::string& ReplaceStr)
{
    if (!SearchStr.empty())
        Dialog->SetFindText(SearchStr);
    if (RichEditVersion == 1) {
        // The old control searches forwards only.
        Dialog->Options.Include(frDown);
        Dialog->Options.Include(frHideUpDown);
    }
    Dialog->OnFind = [this](TObject* Sender) { FindDialogFind(Sender); };
    Dialog->OnClose = [this](TObject* Sender) { FindDialogClose(Sender); };
    if (auto* replace = dynamic_cast<TReplaceDialog*>(Dialog)) {
        if (!ReplaceStr.empty())
            replace->SetReplaceText(ReplaceStr);
        replace->OnReplace = [this](TObject* Sender) { ReplaceDialogReplace(Sender); };
    }
}

TFindDialog* TExCustomRichEdit::FindDialog(const std::string& SelectedText)
{
    if (!FFindDialog) {
        FFindDialog = new TFindDialog(this);
        if (FReplaceDialog)
            FFindDialog->SetFindText(FReplaceDialog->FindText());
    }
    SetupFindDialog(FFindDialog, SelectedText, "");
    FFindDialog->Execute();
    return FFindDialog;
}

TReplaceDialog* TExCustomRichEdit::ReplaceDialog(const std::string& SelectedText, const std::string& ReplaceText)
{
    if (!FReplaceDialog) {
        FReplaceDialog = new TReplaceDialog(this);
        if (FFindDialog)
            FReplaceDialog->SetFindText(FFindDialog->FindText());
    }
    SetupFindDialog(FReplaceDialog, SelectedText, ReplaceText);
    FReplaceDialog->Execute();
    return FReplaceDialog;
}

bool TExCustomRichEdit::FindEditText(TFindDialog* Dialog, bool AdjustPos, bool Events)
{
    if (Dialog == nullptr)
        return false;
    const CHARRANGE selection = Selection();
    int start, length;
    ExRichEd::TRichSearchTypes options{ExRichEd::stSetSelection};
    if (Dialog->Options.Contains(frDown)) {
        start = selection.cpMax;
        length = TextLength() - start + 1;
    } else {
        // Everything before the selection, searched backwards from its earlier end.
        start = selection.cpMin;
        length = start + 1;
        options.Include(ExRichEd::stBackward);
    }
    if (Dialog->Options.Contains(frMatchCase))
        options.Include(ExRichEd::stMatchCase);
    if (Dialog->Options.Contains(frWholeWord))
        options.Include(ExRichEd::stWholeWord);
    const std::string text = Dialog->FindText();
    const bool found = FindText(text, start, length, options) >= 0;
    if (!text.empty())
        FLastFind = Dialog;
    if (!found && Events)
        TextNotFound(Dialog);
    if (found && AdjustPos)
        AdjustFindDialogPosition(Dialog);
    return found;
}

void TExCustomRichEdit::FindDialogFind(TObject* Sender)
{
    FindEditText(dynamic_cast<TFindDialog*>(Sender), true, true);
}

void TExCustomRichEdit::FindDialogClose(TObject* Sender) { CloseFindDialog(dynamic_cast<TFindDialog*>(Sender)); }

void TExCustomRichEdit::ReplaceAll(TFindDialog* Dialog)
{
    auto* replace = dynamic_cast<TReplaceDialog*>(Dialog);
    const std::string replacement = replace ? replace->ReplaceText() : std::string();
    int count = 0;
    // One change, one selection change and one size request for the whole run, not one each
    // per replacement.
    SetEventMask(ENM_CHANGE | ENM_REQUESTRESIZE, 0);
    TNotifyEvent selectionChange = std::move(OnSelectionChange);
    OnSelectionChange = nullptr;
    try {
        while (FindEditText(Dialog, false, false)) {
            SetSelText(replacement);
            ++count;
        }
    } catch (...) {
        SetEventMask(0, ENM_CHANGE | ENM_REQUESTRESIZE);
        OnSelectionChange = std::move(selectionChange);
        throw;
    }
    SetEventMask(0, ENM_CHANGE | ENM_REQUESTRESIZE);
    OnSelectionChange = std::move(selectionChange);
    if (count > 0) {
        Perform(EM_REQUESTRESIZE, 0, 0);
        Change();
        SelectionChange();
        AdjustFindDialogPosition(Dialog);
    } else {
        TextNotFound(Dialog);
    }
}

void TExCustomRichEdit::ReplaceDialogReplace(TObject* Sender)
{
    auto* dialog = dynamic_cast<TReplaceDialog*>(Sender);
    if (dialog == nullptr)
        return;
    if (dialog->Options.Contains(frReplaceAll)) {
        ReplaceAll(dialog);
    } else if (dialog->Options.Contains(frReplace)) {
        // The next occurrence from the selection is the one replaced, even when the selection
        // already holds a match.
        if (FindEditText(dialog, true, true))
            SetSelText(dialog->ReplaceText());
    }
}

bool TExCustomRichEdit::FindNext() { return FindEditText(FLastFind, false, true); }

bool TExCustomRichEdit::CanFindNext() const
{
    return HandleAllocated() && FLastFind != nullptr && !FLastFind->FindText().empty();
}

void TExCustomRichEdit::AdjustFindDialogPosition(TFindDialog* Dialog)
{
    if (Dialog == nullptr || Dialog->Handle() == nullptr)
        return;
    const CHARRANGE selection = Selection();
    const TPoint top = ClientToScreen(GetCharPos(selection.cpMin));
    TPoint bottom = ClientToScreen(GetCharPos(selection.cpMax));
    bottom.Y += DialogGap;
    TRect window;
    GetWindowRect(Dialog->Handle(), window);
    if (!PtInRect(window, top) && !PtInRect(window, bottom))
        return;
    const int height = window.Bottom - window.Top;
    int newTop = window.Top;
    if (height + DialogGap < top.Y)
        newTop = top.Y - height - DialogGap;
    else if (top.Y + height < Screen->Height())
        newTop = top.Y + 2 * DialogGap;
    Dialog->SetPosition({window.Left, newTop});
}
