// The extended rich edit control.

#include "controls/ExRichEdit.h"

#include "controls/ExRichEditAttributes.h"
#include "controls/RichEditOle.h"
#include "controls/RichEditStrings.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PublishedProperties.h"
#include "platform/gui/Screen.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/TypInfo.h"

#include <algorithm>
#include <mutex>

TRichEditVersion RichEditVersion = 3;

const ExRichEd::TRichClipboardFormats& ExRichEd::RichClipboardFormats()
{
    static const ExRichEd::TRichClipboardFormats formats = [] {
        ExRichEd::TRichClipboardFormats made;
        made.EmbeddedObject = RegisterClipboardFormatA("Embedded Object");
        made.LinkSource = RegisterClipboardFormatA("Link Source");
        made.RichText = RegisterClipboardFormatA("Rich Text Format");
        made.RichTextWithoutObjects = RegisterClipboardFormatA("Rich Text Format Without Objects");
        return made;
    }();
    return formats;
}

namespace {

constexpr int MaxRichTextLength = 0xFFFFFF;
constexpr DWORD BaseEventMask = ENM_CHANGE | ENM_SELCHANGE | ENM_REQUESTRESIZE | ENM_PROTECTED;

void RegisterExRichEditProperties();

} // namespace

// --- Construction --------------------------------------------------------------------------------

TExCustomRichEdit::TExCustomRichEdit(TComponent* AOwner)
    : TCustomMemo(AOwner), FSelAttributes(std::make_unique<TExTextAttributes>(this, ExRichEd::atSelected)),
      FDefAttributes(std::make_unique<TExTextAttributes>(this, ExRichEd::atDefaultText)),
      FWordAttributes(std::make_unique<TExTextAttributes>(this, ExRichEd::atWord)),
      FParagraph(std::make_unique<TExParaAttributes>(this))
{
    RegisterExRichEditProperties();
    ExRichEd::RichClipboardFormats();
    auto lines = std::make_unique<TRichEditStrings>(this);
    FRichLines = lines.get();
    SetLinesList(std::move(lines));
    SetBounds(Left(), Top(), 185, 89);
    SetAutoSize(false);
    SetTabStop(true);
    SetScrollBars(ssBoth);
    ControlStyle.Exclude(csSetCaption);
    FScreenLogPixels = Screen ? Screen->PixelsPerInch() : 96;
    DefaultConverter = [] { return std::make_unique<TConversion>(); };
    FCallback = std::make_unique<TRichEditOleCallback>(this);
}

TExCustomRichEdit::~TExCustomRichEdit()
{
    // The dialogs may still be open: closing them must not call back into a control that is going.
    for (TFindDialog* dialog : {FFindDialog, static_cast<TFindDialog*>(FReplaceDialog)}) {
        if (!dialog)
            continue;
        dialog->OnClose = nullptr;
        dialog->OnFind = nullptr;
        dialog->OnReplace = nullptr;
        TComponent::Free(dialog);
    }
}

TExRichEdit::TExRichEdit(TComponent* AOwner) : TExCustomRichEdit(AOwner) {}

// --- Window -------------------------------------------------------------------------------------

LRESULT TExCustomRichEdit::Send(UINT message, WPARAM wParam, LPARAM lParam) const
{
    if (!WindowReady())
        return 0;
    return SendMessageA(FHandle, message, wParam, lParam);
}

bool TExCustomRichEdit::WindowReady() const
{
    if (!HandleAllocated() && Parent())
        const_cast<TExCustomRichEdit*>(this)->HandleNeeded();
    return HandleAllocated();
}

void TExCustomRichEdit::CreateParams(TCreateParams& Params)
{
    TCustomMemo::CreateParams(Params);
    Params.WinClassName = RichEditVersion == 1 ? "RICHEDIT" : "RichEdit20A";
    Params.Style &= ~(WS_VSCROLL | WS_HSCROLL);
    Params.Style |= ES_SAVESEL | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (ScrollBars() == ssVertical || ScrollBars() == ssBoth)
        Params.Style |= WS_VSCROLL;
    if ((ScrollBars() == ssHorizontal || ScrollBars() == ssBoth) && !WordWrap())
        Params.Style |= WS_HSCROLL;
    if (!FHideScrollBars)
        Params.Style |= ES_DISABLENOSCROLL;
    if (FSelectionBar)
        Params.Style |= ES_SELECTIONBAR;
    if (!FHideSelection)
        Params.Style |= ES_NOHIDESEL;
}

IHostWidget* TExCustomRichEdit::CreateHost(const TCreateParams&, void* parentWidget)
{
    // The bounds are kept: the window is made at the control's place and size.
    return CreateRichEditHost(this, parentWidget, FHideScrollBars);
}

void TExCustomRichEdit::CreateWnd()
{
    TCustomMemo::CreateWnd();
    DWORD mask = BaseEventMask;
    if (RichEditVersion >= 2)
        mask |= ENM_LINK;
    Perform(EM_SETEVENTMASK, 0, static_cast<LPARAM>(mask));
    Perform(EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
    Perform(EM_EXLIMITTEXT, 0, MaxLength() > 0 ? MaxLength() : MaxRichTextLength);
    Perform(EM_SETOPTIONS, FWordSelection ? ECOOP_OR : ECOOP_AND,
            static_cast<LPARAM>(FWordSelection ? ECO_AUTOWORDSELECTION : ~ECO_AUTOWORDSELECTION));
    if (RichEditVersion >= 2) {
        Perform(EM_AUTOURLDETECT, FAutoURLDetect ? 1 : 0, 0);
        FUndoLimit = static_cast<int>(Perform(EM_SETUNDOLIMIT, static_cast<WPARAM>(FUndoLimit), 0));
        ApplyTextMode();
        Perform(EM_SETLANGOPTIONS, 0, static_cast<LPARAM>(FLangOptions.Bits()));
    }
    if (FAllowObjects) {
        // The layer's window refuses the callback and has no object interface: nothing follows.
        Perform(EM_SETOLECALLBACK, 0, reinterpret_cast<LPARAM>(FCallback.get()));
        void* ole = nullptr;
        Perform(EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&ole));
    }
    if (FSavedText) {
        std::unique_ptr<TMemoryStream> saved = std::move(FSavedText);
        saved->SetPosition(0);
        char designing = 0;
        saved->Read(&designing, 1);
        const ExRichEd::TRichStreamFormat format = designing ? ExRichEd::sfPlainText : FRichLines->FFormat;
        FRichLines->WithFormat(format, {}, [&] { FRichLines->LoadFromStream(*saved); });
    } else {
        FDefAttributes->Assign(Font());
    }
    if (RichEditVersion == 1)
        Perform(WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), 0);
    Perform(EM_SETMODIFY, FSavedModified ? 1 : 0, 0);
}

void TExCustomRichEdit::DestroyWnd()
{
    if (HandleAllocated()) {
        FSavedModified = Perform(EM_GETMODIFY, 0, 0) != 0;
        auto saved = std::make_unique<TMemoryStream>();
        const char designing = 0;
        saved->Write(&designing, 1);
        try {
            FRichLines->WithFormat(FRichLines->FFormat, {}, [&] { FRichLines->SaveToStream(*saved); });
            saved->SetPosition(0);
            FSavedText = std::move(saved);
        } catch (const Exception&) {
            FSavedText.reset();
        }
    }
    TCustomMemo::DestroyWnd();
}

void TExCustomRichEdit::ApplyTextMode()
{
    UINT mode = FUndoLimit > 1 ? TM_MULTILEVELUNDO : TM_SINGLELEVELUNDO;
    mode |= FPlainText ? TM_PLAINTEXT : TM_RICHTEXT;
    Perform(EM_SETTEXTMODE, mode, 0);
}

void TExCustomRichEdit::SetEventMask(DWORD clear, DWORD add)
{
    const auto mask = static_cast<DWORD>(Perform(EM_GETEVENTMASK, 0, 0));
    Perform(EM_SETEVENTMASK, 0, static_cast<LPARAM>((mask & ~clear) | add));
}

// --- Properties ---------------------------------------------------------------------------------

void TExCustomRichEdit::SetSelAttributes(TExTextAttributes* value) { FSelAttributes->Assign(value); }
void TExCustomRichEdit::SetDefAttributes(TExTextAttributes* value) { FDefAttributes->Assign(value); }
void TExCustomRichEdit::SetWordAttributes(TExTextAttributes* value) { FWordAttributes->Assign(value); }
void TExCustomRichEdit::SetLines(TStrings* value) { FRichLines->Assign(value); }

void TExCustomRichEdit::SetAllowObjects(bool value)
{
    if (FAllowObjects == value)
        return;
    FAllowObjects = value;
    RecreateWnd();
}

bool TExCustomRichEdit::AutoURLDetect() const
{
    if (HandleAllocated() && RichEditVersion >= 2)
        return SendMessageA(FHandle, EM_GETAUTOURLDETECT, 0, 0) != 0;
    return FAutoURLDetect;
}

void TExCustomRichEdit::SetAutoURLDetect(bool value)
{
    if (value == AutoURLDetect())
        return;
    FAutoURLDetect = value;
    if (HandleAllocated() && RichEditVersion >= 2)
        Perform(EM_AUTOURLDETECT, value ? 1 : 0, 0);
}

void TExCustomRichEdit::SetHideScrollBars(bool value)
{
    if (FHideScrollBars == value)
        return;
    FHideScrollBars = value;
    RecreateWnd();
}

void TExCustomRichEdit::SetSelectionBar(bool value)
{
    if (FSelectionBar == value)
        return;
    FSelectionBar = value;
    RecreateWnd();
}

void TExCustomRichEdit::SetHideSelection(bool value)
{
    if (FHideSelection == value)
        return;
    FHideSelection = value;
    TCustomEdit::HideSelection = value;
    if (HandleAllocated())
        Perform(EM_HIDESELECTION, value ? 1 : 0, 1);
}

ExRichEd::TRichLangOptions TExCustomRichEdit::LangOptions() const
{
    if (HandleAllocated() && RichEditVersion >= 2)
        return ExRichEd::TRichLangOptions::FromBits(static_cast<DWORD>(SendMessageA(FHandle, EM_GETLANGOPTIONS, 0, 0)) & 0xF);
    return FLangOptions;
}

void TExCustomRichEdit::SetLangOptions(ExRichEd::TRichLangOptions value)
{
    FLangOptions = value;
    if (HandleAllocated() && RichEditVersion >= 2)
        Perform(EM_SETLANGOPTIONS, 0, static_cast<LPARAM>(value.Bits()));
}

ExRichEd::TRichStreamFormat TExCustomRichEdit::StreamFormat() const { return FRichLines->FFormat; }
void TExCustomRichEdit::SetStreamFormat(ExRichEd::TRichStreamFormat value) { FRichLines->FFormat = value; }
ExRichEd::TRichStreamModes TExCustomRichEdit::StreamMode() const { return FRichLines->FMode; }
void TExCustomRichEdit::SetStreamMode(ExRichEd::TRichStreamModes value) { FRichLines->FMode = value; }

void TExCustomRichEdit::SetTitle(const std::string& value)
{
    // The document name goes to object servers; without objects there is none to tell.
    FTitle = value;
}

void TExCustomRichEdit::SetUndoLimit(int value)
{
    if (value == FUndoLimit)
        return;
    FUndoLimit = value;
    if (RichEditVersion >= 2 && HandleAllocated())
        FUndoLimit = static_cast<int>(Perform(EM_SETUNDOLIMIT, static_cast<WPARAM>(std::max(value, 0)), 0));
}

bool TExCustomRichEdit::WordSelection() const
{
    if (HandleAllocated())
        return (SendMessageA(FHandle, EM_GETOPTIONS, 0, 0) & ECO_AUTOWORDSELECTION) != 0;
    return FWordSelection;
}

void TExCustomRichEdit::SetWordSelection(bool value)
{
    FWordSelection = value;
    if (HandleAllocated())
        Perform(EM_SETOPTIONS, value ? ECOOP_OR : ECOOP_AND,
                static_cast<LPARAM>(value ? ECO_AUTOWORDSELECTION : ~ECO_AUTOWORDSELECTION));
}

bool TExCustomRichEdit::Modified() const
{
    return HandleAllocated() ? SendMessageA(FHandle, EM_GETMODIFY, 0, 0) != 0 : TCustomEdit::Modified();
}

void TExCustomRichEdit::SetModified(bool value)
{
    TCustomEdit::SetModified(value);
    if (HandleAllocated())
        Perform(EM_SETMODIFY, value ? 1 : 0, 0);
}

void TExCustomRichEdit::SetMaxLength(int value)
{
    TCustomEdit::SetMaxLength(value);
    if (HandleAllocated())
        Perform(EM_EXLIMITTEXT, 0, MaxLength() > 0 ? MaxLength() : MaxRichTextLength);
}

ExRichEd::TRichSelectionTypes TExCustomRichEdit::SelectionType() const
{
    ExRichEd::TRichSelectionTypes result;
    if (!HandleAllocated())
        return result;
    const auto type = static_cast<WORD>(SendMessageA(FHandle, EM_SELECTIONTYPE, 0, 0));
    const std::pair<WORD, ExRichEd::TRichSelectionType> bits[] = {
        {SEL_TEXT, ExRichEd::stText}, {SEL_OBJECT, ExRichEd::stObject}, {SEL_MULTICHAR, ExRichEd::stMultiChar}, {SEL_MULTIOBJECT, ExRichEd::stMultiObject}};
    for (const auto& [bit, member] : bits)
        if (type & bit)
            result.Include(member);
    return result;
}

bool TExCustomRichEdit::CanRedo() const { return RichEditVersion >= 2 && Send(EM_CANREDO, 0, 0) != 0; }

bool TExCustomRichEdit::CanPaste() const { return Send(EM_CANPASTE, 0, 0) != 0; }

namespace {

ExRichEd::TUndoName UndoNameOf(LRESULT id) { return id >= UID_UNKNOWN && id <= UID_PASTE ? static_cast<ExRichEd::TUndoName>(id) : ExRichEd::unUnknown; }

} // namespace

ExRichEd::TUndoName TExCustomRichEdit::UndoName() const
{
    return RichEditVersion >= 2 ? UndoNameOf(Send(EM_GETUNDONAME, 0, 0)) : ExRichEd::unUnknown;
}

ExRichEd::TUndoName TExCustomRichEdit::RedoName() const
{
    return RichEditVersion >= 2 ? UndoNameOf(Send(EM_GETREDONAME, 0, 0)) : ExRichEd::unUnknown;
}

// --- Text and selection -------------------------------------------------------------------------

CHARRANGE TExCustomRichEdit::Selection() const
{
    CHARRANGE range;
    Send(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    return range;
}

void TExCustomRichEdit::SetSelection(int start, int end, bool scroll)
{
    CHARRANGE range{start, end};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    if (scroll)
        Send(EM_SCROLLCARET, 0, 0);
}

int TExCustomRichEdit::TextLength() const { return static_cast<int>(Send(WM_GETTEXTLENGTH, 0, 0)); }

std::string TExCustomRichEdit::GetText() const
{
    if (!HandleAllocated())
        return {};
    return GetTextRange(0, -1);
}

int TExCustomRichEdit::SelStart() const { return Selection().cpMin; }

void TExCustomRichEdit::SetSelStart(int value) { SetSelection(value, value, false); }

int TExCustomRichEdit::SelLength() const
{
    const CHARRANGE range = Selection();
    return range.cpMax - range.cpMin;
}

void TExCustomRichEdit::SetSelLength(int value)
{
    const int start = SelStart();
    SetSelection(start, start + value, true);
}

std::string TExCustomRichEdit::SelText() const
{
    const CHARRANGE range = Selection();
    return GetTextRange(range.cpMin, range.cpMax);
}

void TExCustomRichEdit::SetSelText(const std::string& value) { ReplaceSelection(value, false); }

int TExCustomRichEdit::GetSelTextBuf(char* Buffer, int BufSize) const
{
    if (Buffer == nullptr || BufSize <= 0)
        return 0;
    const std::string text = SelText();
    const int count = std::min(BufSize - 1, static_cast<int>(text.size()));
    std::copy_n(text.data(), count, Buffer);
    Buffer[count] = 0;
    return count;
}

void TExCustomRichEdit::SelectAll() { SetSelection(0, -1, false); }

std::string TExCustomRichEdit::GetTextRange(int StartPos, int EndPos) const
{
    if (!WindowReady())
        return {};
    const int length = TextLength();
    if (EndPos < 0 || EndPos > length)
        EndPos = length;
    StartPos = std::clamp(StartPos, 0, length);
    if (StartPos > EndPos)
        std::swap(StartPos, EndPos);
    if (StartPos == EndPos)
        return {};
    std::string buffer(static_cast<std::size_t>(EndPos - StartPos) + 1, '\0');
    TEXTRANGEA range;
    range.chrg = {StartPos, EndPos};
    range.lpstrText = buffer.data();
    const auto count = static_cast<std::size_t>(Send(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range)));
    buffer.resize(std::min(count, buffer.size() - 1));
    return buffer;
}

std::string TExCustomRichEdit::WordAtCursor() const
{
    if (!HandleAllocated())
        return {};
    const int start = SelStart();
    int wordStart = 0;
    if (start > 0) {
        const bool delimiter = SendMessageA(FHandle, EM_FINDWORDBREAK, WB_ISDELIMITER, start) != 0;
        wordStart = static_cast<int>(
            SendMessageA(FHandle, EM_FINDWORDBREAK, delimiter ? WB_MOVEWORDLEFT : WB_LEFT, start));
    }
    const int length = TextLength();
    while (wordStart < length && SendMessageA(FHandle, EM_FINDWORDBREAK, WB_ISDELIMITER, wordStart) != 0)
        ++wordStart;
    const int wordEnd = static_cast<int>(SendMessageA(FHandle, EM_FINDWORDBREAK, WB_RIGHTBREAK, start));
    return Trim(GetTextRange(wordStart, std::max(wordEnd, wordStart)));
}

int TExCustomRichEdit::LineFromChar(int CharIndex) const
{
    return static_cast<int>(Send(EM_EXLINEFROMCHAR, 0, CharIndex));
}

int TExCustomRichEdit::GetLineIndex(int LineNo) const
{
    return static_cast<int>(Send(EM_LINEINDEX, static_cast<WPARAM>(LineNo), 0));
}

int TExCustomRichEdit::GetLineLength(int CharIndex) const
{
    return static_cast<int>(Send(EM_LINELENGTH, static_cast<WPARAM>(CharIndex), 0));
}

TPoint TExCustomRichEdit::GetCharPos(int CharIndex) const
{
    if (!HandleAllocated())
        return {0, 0};
    if (RichEditVersion == 2) {
        const auto packed = static_cast<DWORD>(SendMessageA(FHandle, EM_POSFROMCHAR, static_cast<WPARAM>(CharIndex), 0));
        return {static_cast<SHORT>(LOWORD(packed)), static_cast<SHORT>(HIWORD(packed))};
    }
    POINTL point;
    SendMessageA(FHandle, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), CharIndex);
    return {static_cast<int>(point.x), static_cast<int>(point.y)};
}

TPoint TExCustomRichEdit::CaretPos() const
{
    const CHARRANGE range = Selection();
    const int line = LineFromChar(range.cpMax);
    return {range.cpMax - GetLineIndex(line), line};
}

void TExCustomRichEdit::Undo() { Send(EM_UNDO, 0, 0); }

bool TExCustomRichEdit::CanUndo() const { return HandleAllocated() && SendMessageA(FHandle, EM_CANUNDO, 0, 0) != 0; }

void TExCustomRichEdit::ClearUndo() { Send(EM_EMPTYUNDOBUFFER, 0, 0); }

void TExCustomRichEdit::Redo()
{
    if (RichEditVersion >= 2)
        Send(EM_REDO, 0, 0);
}

void TExCustomRichEdit::StopGroupTyping()
{
    if (RichEditVersion >= 2)
        Send(EM_STOPGROUPTYPING, 0, 0);
}

void TExCustomRichEdit::PasteFromClipboard() { Send(WM_PASTE, 0, 0); }

void TExCustomRichEdit::Clear()
{
    CloseObjects();
    if (!WindowReady())
        return;
    Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    Perform(EM_SETMODIFY, 0, 0);
}

void TExCustomRichEdit::ReplaceSelection(const std::string& text, bool limit)
{
    if (WindowReady())
        Perform(EM_REPLACESEL, limit ? 1 : 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TExCustomRichEdit::SetEditorText(const std::string& text)
{
    if (WindowReady())
        Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TExCustomRichEdit::SetPlainText(bool Value)
{
    if (FPlainText == Value)
        return;
    if (!HandleAllocated() || RichEditVersion < 2) {
        FPlainText = Value;
        return;
    }
    // The window takes a new text mode only while it is empty: the text goes across in the
    // format of the new mode, so switching to plain text drops the formatting.
    TMemoryStream saved;
    FRichLines->WithFormat(Value ? ExRichEd::sfPlainText : ExRichEd::sfRichText, {}, [&] { FRichLines->SaveToStream(saved); });
    SetEventMask(ENM_CHANGE, 0);
    Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    FPlainText = Value;
    ApplyTextMode();
    SetEventMask(0, ENM_CHANGE);
    saved.SetPosition(0);
    FRichLines->WithFormat(Value ? ExRichEd::sfPlainText : ExRichEd::sfRichText, {}, [&] { FRichLines->LoadFromStream(saved); });
}

// --- Printing -----------------------------------------------------------------------------------

void TExCustomRichEdit::Print(const std::string& Caption)
{
    if (!WindowReady())
        return;
    TPrinter* printer = Printer();
    printer->Title = Caption;
    printer->BeginDoc();
    // The page's drawing context; each new page may bring a new one.
    HDC dc = printer->Canvas()->Handle();
    const int dpiX = std::max(GetDeviceCaps(dc, LOGPIXELSX), 1);
    const int dpiY = std::max(GetDeviceCaps(dc, LOGPIXELSY), 1);
    auto twips = [&](const TRect& pixels) {
        return RECT{MulDiv(pixels.Left, 1440, dpiX), MulDiv(pixels.Top, 1440, dpiY), MulDiv(pixels.Right, 1440, dpiX),
                    MulDiv(pixels.Bottom, 1440, dpiY)};
    };
    const RECT sheet = twips(Rect(0, 0, printer->PageWidth(), printer->PageHeight()));
    const bool whole = PageRect.Right <= PageRect.Left || PageRect.Bottom <= PageRect.Top;
    const RECT page = whole ? sheet : twips(PageRect);
    int length;
    if (RichEditVersion == 1) {
        length = TextLength();
    } else {
        GETTEXTLENGTHEX how;
        length = static_cast<int>(Perform(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0));
    }
    const int oldMode = SetMapMode(dc, MM_TEXT);
    Perform(EM_FORMATRANGE, 0, 0);
    try {
        int last = 0;
        for (;;) {
            FORMATRANGE range;
            range.hdc = range.hdcTarget = printer->Canvas()->Handle();
            range.rc = page;
            range.rcPage = sheet;
            range.chrg = {last, -1};
            const auto next = static_cast<int>(Perform(EM_FORMATRANGE, 1, reinterpret_cast<LPARAM>(&range)));
            if (next >= length || next < 0 || next <= last)
                break;
            last = next;
            printer->NewPage();
        }
        printer->EndDoc();
    } catch (...) {
        Perform(EM_FORMATRANGE, 0, 0);
        SetMapMode(dc, oldMode);
        if (printer->Printing())
            printer->Abort();
        throw;
    }
    Perform(EM_FORMATRANGE, 0, 0);
    SetMapMode(dc, oldMode);
}

// --- Messages and notifications -----------------------------------------------------------------

void TExCustomRichEdit::TextNotFound(TFindDialog* Dialog)
{
    if (OnTextNotFound)
        OnTextNotFound(this, Dialog ? Dialog->FindText() : std::string());
}

void TExCustomRichEdit::RequestSize(const TRect& Rect)
{
    if (OnResizeRequest)
        OnResizeRequest(this, Rect);
}

void TExCustomRichEdit::CloseFindDialog(TFindDialog* Dialog)
{
    if (OnCloseFindDialog)
        OnCloseFindDialog(this, Dialog);
}

void TExCustomRichEdit::SelectionChange()
{
    if (OnSelectionChange)
        OnSelectionChange(this);
}

bool TExCustomRichEdit::ProtectChange(const TMessage& Message, int StartPos, int EndPos)
{
    bool allow = false;
    if (OnProtectChangeEx)
        OnProtectChangeEx(this, Message, StartPos, EndPos, allow);
    else if (OnProtectChange)
        OnProtectChange(this, StartPos, EndPos, allow);
    return allow;
}

bool TExCustomRichEdit::SaveClipboard(int NumObjects, int NumChars)
{
    bool save = true;
    if (OnSaveClipboard)
        OnSaveClipboard(this, NumObjects, NumChars, save);
    return save;
}

void TExCustomRichEdit::URLClick(const std::string& URLText, TMouseButton Button)
{
    if (OnURLClick)
        OnURLClick(this, URLText, Button);
}

void TExCustomRichEdit::HandleLink(const ENLINK& link)
{
    const bool sameRange = link.chrg.cpMin == FClickRange.cpMin && link.chrg.cpMax == FClickRange.cpMax;
    switch (link.msg) {
    case WM_LBUTTONDOWN:
        FClickRange = link.chrg;
        FClickButton = mbLeft;
        break;
    case WM_RBUTTONDOWN:
        FClickRange = link.chrg;
        FClickButton = mbRight;
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
        const TMouseButton button = link.msg == WM_LBUTTONUP ? mbLeft : mbRight;
        const bool click = sameRange && FClickButton == button;
        FClickRange = {-1, -1};
        if (click)
            URLClick(GetTextRange(link.chrg.cpMin, link.chrg.cpMax), button);
        break;
    }
    default:
        break;
    }
}

void TExCustomRichEdit::HandleNotify(TMessage& Message)
{
    const auto* header = reinterpret_cast<const NMHDR*>(Message.LParam);
    Message.Result = 0;
    if (header == nullptr)
        return;
    switch (header->code) {
    case EN_REQUESTRESIZE: {
        const RECT& rc = reinterpret_cast<const REQRESIZE*>(header)->rc;
        RequestSize(Rect(rc.Left, rc.Top, rc.Right, rc.Bottom));
        break;
    }
    case EN_SELCHANGE:
        SelectionChange();
        break;
    case EN_PROTECTED: {
        const auto* change = reinterpret_cast<const ENPROTECTED*>(header);
        TMessage original{};
        original.Msg = change->msg;
        original.WParam = change->wParam;
        original.LParam = change->lParam;
        if (!ProtectChange(original, change->chrg.cpMin, change->chrg.cpMax))
            Message.Result = 1;
        break;
    }
    case EN_SAVECLIPBOARD: {
        const auto* save = reinterpret_cast<const ENSAVECLIPBOARD*>(header);
        if (!SaveClipboard(save->cObjectCount, save->cch))
            Message.Result = 1;
        break;
    }
    case EN_LINK:
        HandleLink(*reinterpret_cast<const ENLINK*>(header));
        break;
    default:
        break;
    }
}

void TExCustomRichEdit::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CN_NOTIFY:
        HandleNotify(Message);
        return;
    case EM_REPLACESEL: {
        const int start = Selection().cpMin;
        if (FUndoLimit > 1 && RichEditVersion >= 2 && !FLinesUpdating)
            Message.WParam = 1;
        TCustomMemo::Dispatch(Message);
        if (!FLinesUpdating) {
            // The window leaves the caret after the new text: select what came in.
            const int end = Selection().cpMax;
            SetSelection(start, end, true);
        }
        return;
    }
    case WM_SETFONT:
        if (RichEditVersion == 1 && HandleAllocated()) {
            FDefAttributes->Assign(Font());
            Message.Result = 0;
            return;
        }
        break;
    case CM_FONTCHANGED:
        if (HandleAllocated())
            FDefAttributes->Assign(Font());
        break;
    case CM_COLORCHANGED:
        if (HandleAllocated())
            Perform(EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
        break;
    default:
        break;
    }
    TCustomMemo::Dispatch(Message);
}

// --- Published properties -----------------------------------------------------------------------

namespace {

void RegisterExRichEditProperties()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        RegisterPublishedProperties();
        using E = TExCustomRichEdit;
        const auto flag = [](const char* name, bool (E::*get)() const, void (E::*set)(bool)) {
            return OrdProp<E>(
                name, TypeInfoBoolean(), [get](E& e) -> std::int64_t { return (e.*get)(); },
                [set](E& e, std::int64_t v) { (e.*set)(v != 0); });
        };
        const auto field = [](const char* name, bool E::*member) {
            return OrdProp<E>(
                name, TypeInfoBoolean(), [member](E& e) -> std::int64_t { return e.*member; },
                [member](E& e, std::int64_t v) { e.*member = v != 0; });
        };
        RegisterPropInfos(
            "TExCustomRichEdit", "TCustomMemo",
            {flag("AllowObjects", &E::AllowObjects, &E::SetAllowObjects), field("AllowInPlace", &E::AllowInPlace),
             field("AutoVerbMenu", &E::AutoVerbMenu), flag("AutoURLDetect", &E::AutoURLDetect, &E::SetAutoURLDetect),
             flag("HideScrollBars", &E::HideScrollBars, &E::SetHideScrollBars),
             flag("HideSelection", &E::HideSelection, &E::SetHideSelection),
             OrdProp<E>(
                 "LangOptions",
                 SetTypeInfo("TRichLangOptions",
                             EnumTypeInfo("TRichLangOption", {"rlAutoKeyboard", "rlAutoFont", "rlImeCancelComplete",
                                                              "rlImeAlwaysSendNotify"})),
                 [](E& e) -> std::int64_t { return static_cast<std::int64_t>(e.LangOptions().Bits()); },
                 [](E& e, std::int64_t v) { e.SetLangOptions(ExRichEd::TRichLangOptions::FromBits(static_cast<std::uint64_t>(v))); }),
             flag("PlainText", &E::PlainText, &E::SetPlainText),
             flag("SelectionBar", &E::SelectionBar, &E::SetSelectionBar),
             OrdProp<E>(
                 "StreamFormat", EnumTypeInfo("TRichStreamFormat", {"sfDefault", "sfRichText", "sfPlainText"}),
                 [](E& e) -> std::int64_t { return e.StreamFormat(); },
                 [](E& e, std::int64_t v) { e.SetStreamFormat(static_cast<ExRichEd::TRichStreamFormat>(v)); }),
             OrdProp<E>(
                 "StreamMode",
                 SetTypeInfo("TRichStreamModes", EnumTypeInfo("TRichStreamMode", {"smSelection", "smPlainRtf",
                                                                                  "smNoObjects", "smUnicode"})),
                 [](E& e) -> std::int64_t { return static_cast<std::int64_t>(e.StreamMode().Bits()); },
                 [](E& e, std::int64_t v) { e.SetStreamMode(ExRichEd::TRichStreamModes::FromBits(static_cast<std::uint64_t>(v))); }),
             StrProp<E>(
                 "Title", [](E& e) { return e.Title(); },
                 [](E& e, const std::string& v) { e.SetTitle(v); }),
             OrdProp<E>(
                 "UndoLimit", TypeInfoInteger(), [](E& e) -> std::int64_t { return e.UndoLimit(); },
                 [](E& e, std::int64_t v) { e.SetUndoLimit(static_cast<int>(v)); }),
             flag("WordSelection", &E::WordSelection, &E::SetWordSelection)});
        RegisterPropInfos("TExRichEdit", "TExCustomRichEdit", {});
    });
}

} // namespace
