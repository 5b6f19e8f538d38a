// The rich edit window driven through its messages, as the program's rich-text objects and the
// class library's TRichEdit drive it; its format range on screen, printer and metafile contexts.
#include "GuiTestSupport.h"
#include "RtfTestSupport.h"
#include "fuzz/RichEditStreamFuzzCase.h"

#include "platform/gui/Clipboard.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/PdfPrinter.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/gui/RichEdit.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/MetafileRecording.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <stdexcept>

namespace {

// A parent that records the notifications of its children and answers EN_PROTECTED as told.
class TNotifiedParent : public TCustomControl {
    TESS_CLASS(TNotifiedParent, TCustomControl)
public:
    explicit TNotifiedParent(TComponent* AOwner) : TCustomControl(AOwner) {}
    std::vector<UINT> Notices;
    std::vector<WORD> Commands;
    std::vector<ENLINK> Links;
    LRESULT ProtectedAnswer = 0;
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_COMMAND)
            Commands.push_back(HIWORD(Message.WParam));
        if (Message.Msg == WM_NOTIFY) {
            const auto* header = reinterpret_cast<const NMHDR*>(Message.LParam);
            Notices.push_back(header->code);
            if (header->code == EN_LINK)
                Links.push_back(*reinterpret_cast<const ENLINK*>(header));
            TCustomControl::WndProc(Message);
            if (header->code == EN_PROTECTED && Message.Result == 0)
                Message.Result = ProtectedAnswer;
            return;
        }
        TCustomControl::WndProc(Message);
    }
    int Count(UINT code) const { return static_cast<int>(std::count(Notices.begin(), Notices.end(), code)); }
};

// A plain control that only names a rich edit window class.
class TRichClassWindow : public TCustomControl {
    TESS_CLASS(TRichClassWindow, TCustomControl)
public:
    TRichClassWindow(TComponent* AOwner, std::string className)
        : TCustomControl(AOwner), FClassName(std::move(className))
    {
    }

protected:
    void CreateParams(TCreateParams& Params) override
    {
        TCustomControl::CreateParams(Params);
        Params.WinClassName = FClassName;
        Params.Style |= ES_MULTILINE;
    }

private:
    std::string FClassName;
};

// Hands its bytes in blocks of at most Block bytes.
struct TSource {
    std::string Bytes;
    std::size_t At = 0;
    std::size_t Block = 10;
};

DWORD ReadSource(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* transferred)
{
    auto* source = reinterpret_cast<TSource*>(cookie);
    const std::size_t count = std::min({source->Block, static_cast<std::size_t>(cb), source->Bytes.size() - source->At});
    std::memcpy(buffer, source->Bytes.data() + source->At, count);
    source->At += count;
    *transferred = static_cast<LONG>(count);
    return 0;
}

DWORD WriteSink(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* transferred)
{
    auto* sink = reinterpret_cast<std::string*>(cookie);
    const LONG count = std::min<LONG>(cb, 10);
    sink->append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(count));
    *transferred = count;
    return 0;
}

class RichEditMessages : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(100, 100, 640, 480);
        parent = new TNotifiedParent(form);
        parent->SetParent(form);
        parent->SetBounds(0, 0, 620, 460);
    }
    void TearDown() override { TComponent::Free(form); }

    HWND MakeWindow(const char* className)
    {
        auto* control = new TRichClassWindow(form, className);
        control->SetParent(parent);
        control->SetBounds(10, 10, 300, 200);
        return control->Handle();
    }
    TRichEdit* MakeRichEdit()
    {
        auto* edit = new TRichEdit(form);
        edit->SetParent(parent);
        edit->SetBounds(10, 10, 400, 300);
        edit->HandleNeeded();
        return edit;
    }
    static LRESULT Send(HWND window, UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(window, msg, w, l); }
    static void SetText(HWND window, const std::string& text)
    {
        Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    static std::string Text(HWND window)
    {
        std::string text(static_cast<std::size_t>(Send(window, WM_GETTEXTLENGTH)) + 1, '\0');
        text.resize(static_cast<std::size_t>(Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
        return text;
    }
    static void Select(HWND window, LONG from, LONG to)
    {
        CHARRANGE range{from, to};
        Send(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    }
    static std::string Range(HWND window, LONG from, LONG to)
    {
        std::vector<char> buffer(4096, '#');
        TEXTRANGEA range;
        range.chrg = {from, to};
        range.lpstrText = buffer.data();
        const auto count = Send(window, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
        EXPECT_EQ(buffer[static_cast<std::size_t>(count)], 0);
        return std::string(buffer.data(), static_cast<std::size_t>(count));
    }
    static std::string Line(HWND window, int line, WORD size = 1000)
    {
        std::vector<char> buffer(std::max<std::size_t>(size, 2) + 16, '#');
        std::memcpy(buffer.data(), &size, sizeof(size));
        const auto count = Send(window, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(buffer.data()));
        EXPECT_EQ(buffer[std::max<std::size_t>(size, 2)], '#') << "written past the buffer";
        return std::string(buffer.data(), static_cast<std::size_t>(count));
    }
    static DWORD StreamIn(HWND window, const std::string& bytes, WPARAM format, std::size_t block = 10)
    {
        TSource source{bytes, 0, block};
        EDITSTREAM stream;
        stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
        stream.pfnCallback = ReadSource;
        Send(window, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
        return stream.dwError;
    }
    static std::string StreamOut(HWND window, WPARAM format)
    {
        std::string sink;
        EDITSTREAM stream;
        stream.dwCookie = reinterpret_cast<DWORD_PTR>(&sink);
        stream.pfnCallback = WriteSink;
        Send(window, EM_STREAMOUT, format, reinterpret_cast<LPARAM>(&stream));
        EXPECT_EQ(stream.dwError, 0u);
        return sink;
    }
    static CHARFORMAT2A CharFormat(HWND window, WPARAM which = SCF_SELECTION)
    {
        CHARFORMAT2A format;
        Send(window, EM_GETCHARFORMAT, which, reinterpret_cast<LPARAM>(&format));
        return format;
    }
    static void SetBold(HWND window, bool bold)
    {
        CHARFORMAT2A format;
        format.dwMask = CFM_BOLD;
        format.dwEffects = bold ? CFE_BOLD : 0;
        Send(window, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    }

    TForm* form = nullptr;
    TNotifiedParent* parent = nullptr;
};

TEST_F(RichEditMessages, TheTwoClassesCountABreakAsCrLfAndAsCr)
{
    struct TCase {
        const char* ClassName;
        LRESULT Length;
        LRESULT SecondLine;
        const char* FirstLine;
        const char* Whole;
    };
    for (const TCase& c : {TCase{"RICHEDIT", 6, 4, "ab\r\n", "ab\r\ncd"}, TCase{"richedit20a", 5, 3, "ab\r", "ab\rcd"}}) {
        SCOPED_TRACE(c.ClassName);
        HWND window = MakeWindow(c.ClassName);
        SetText(window, "ab\r\ncd");
        EXPECT_EQ(Send(window, WM_GETTEXTLENGTH), c.Length);
        EXPECT_EQ(Send(window, EM_GETLINECOUNT), 2);
        EXPECT_EQ(Send(window, EM_LINEINDEX, 1), c.SecondLine);
        EXPECT_EQ(Send(window, EM_LINELENGTH, static_cast<WPARAM>(c.SecondLine)), 2);
        EXPECT_EQ(Send(window, EM_EXLINEFROMCHAR, 0, c.SecondLine), 1);
        EXPECT_EQ(Line(window, 0), c.FirstLine);
        EXPECT_EQ(Line(window, 1), "cd");
        EXPECT_EQ(Range(window, 0, -1), c.Whole);
        Select(window, static_cast<LONG>(c.SecondLine), static_cast<LONG>(c.SecondLine) + 1);
        char selected[16] = {};
        EXPECT_EQ(Send(window, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(selected)), 1);
        EXPECT_STREQ(selected, "c");
        EXPECT_EQ(Text(window), c.Whole);
    }
}

TEST_F(RichEditMessages, HostileArgumentsAreClampedOrRefused)
{
    HWND window = MakeWindow("RICHEDIT");
    SetText(window, "uno\r\ndue");
    EXPECT_EQ(Range(window, 5, 2), "");
    EXPECT_EQ(Range(window, 5, 500), "due");
    EXPECT_EQ(Range(window, -7, -1), "uno\r\ndue");
    Select(window, -5, 3);
    CHARRANGE range;
    Send(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.cpMin, 8);
    Select(window, 1, 0x7FFFFFFF);
    Send(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.cpMin, 1);
    EXPECT_EQ(range.cpMax, 8);
    // A buffer smaller than the line gets only what fits.
    EXPECT_EQ(Line(window, 0, 2), "un");
    EXPECT_EQ(Line(window, 7), "");
    EXPECT_EQ(Line(window, -1), "");

    for (UINT size : {0u, 1u, 59u, 1000u}) {
        CHARFORMAT2A format;
        format.cbSize = size;
        format.dwMask = CFM_BOLD;
        format.dwEffects = CFE_BOLD;
        EXPECT_EQ(Send(window, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format)), 0) << size;
        EXPECT_EQ(Send(window, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format)), 0) << size;
    }
    CHARFORMATA small;
    small.dwMask = CFM_ITALIC;
    small.dwEffects = CFE_ITALIC;
    Select(window, 0, 3);
    EXPECT_EQ(Send(window, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&small)), 1);
    EXPECT_TRUE(CharFormat(window).dwEffects & CFE_ITALIC);

    PARAFORMAT2 para;
    para.dwMask = PFM_TABSTOPS;
    para.cTabCount = 1000;
    for (int i = 0; i < MAX_TAB_STOPS; ++i)
        para.rgxTabs[i] = 720 * (i + 1);
    EXPECT_EQ(Send(window, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&para)), 1);
    PARAFORMAT2 read;
    Send(window, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&read));
    EXPECT_EQ(read.cTabCount, MAX_TAB_STOPS);

    // Format ranges: an inverted rectangle or a render without a context is refused.
    FORMATRANGE format;
    format.rc = {0, 0, -10, 100};
    format.chrg = {0, -1};
    EXPECT_EQ(Send(window, EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&format)), 0);
    format.rc = {0, 0, 1440, 1440};
    EXPECT_EQ(Send(window, EM_FORMATRANGE, 1, reinterpret_cast<LPARAM>(&format)), 0);
    format.chrg = {500, -1};
    EXPECT_EQ(Send(window, EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&format)), 8);
    EXPECT_EQ(Send(window, EM_SETOLECALLBACK, 0, 0), FALSE);
    void* ole = &format;
    EXPECT_EQ(Send(window, EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&ole)), 0);
    EXPECT_EQ(ole, nullptr);
}

TEST_F(RichEditMessages, ReplacingABoldWordKeepsBoldAndUndoesWhenAsked)
{
    HWND window = MakeWindow("RichEdit20A");
    Send(window, EM_SETEVENTMASK, 0, ENM_CHANGE);
    SetText(window, "uno due tre");
    Select(window, 4, 7);
    SetBold(window, true);
    parent->Commands.clear();
    Send(window, EM_REPLACESEL, 1, reinterpret_cast<LPARAM>("quattro"));
    EXPECT_EQ(std::count(parent->Commands.begin(), parent->Commands.end(), EN_CHANGE), 1);
    EXPECT_EQ(Text(window), "uno quattro tre");
    Select(window, 4, 11);
    EXPECT_TRUE(CharFormat(window).dwMask & CFM_BOLD);
    EXPECT_TRUE(CharFormat(window).dwEffects & CFE_BOLD);
    EXPECT_EQ(Send(window, EM_CANUNDO), 1);
    EXPECT_EQ(Send(window, EM_GETUNDONAME), UID_UNKNOWN);
    EXPECT_EQ(Send(window, EM_UNDO), 1);
    EXPECT_EQ(Text(window), "uno due tre");
    EXPECT_EQ(Send(window, EM_CANREDO), 1);

    Select(window, 0, 3);
    parent->Commands.clear();
    Send(window, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("zero"));
    EXPECT_EQ(std::count(parent->Commands.begin(), parent->Commands.end(), EN_CHANGE), 1);
    EXPECT_EQ(Text(window), "zero due tre");
    EXPECT_EQ(Send(window, EM_CANUNDO), 0);

    // Typing is a step of its own kind; a limit of 0 turns undo off.
    Send(window, WM_CHAR, 'x');
    EXPECT_EQ(Send(window, EM_GETUNDONAME), UID_TYPING);
    EXPECT_EQ(Send(window, EM_SETUNDOLIMIT, 0), 0);
    Send(window, WM_CHAR, 'y');
    EXPECT_EQ(Send(window, EM_CANUNDO), 0);
}

TEST_F(RichEditMessages, StreamsMoveRtfAndTextThroughSmallBlocks)
{
    HWND window = MakeWindow("RichEdit20A");
    for (const std::string& rtf : {std::string(WindowsDialectSample), std::string(ObjectSample),
                                   RtfSampleFile("libreoffice-formats.rtf")}) {
        EXPECT_EQ(StreamIn(window, rtf, SF_RTF), 0u);
        const auto expected = LoadRtfDocument(rtf);
        EXPECT_EQ(Text(window), expected->Text());
    }
    EXPECT_NE(StreamIn(window, "Solo testo, niente RTF", SF_RTF), 0u);
    EXPECT_EQ(StreamIn(window, "Solo testo\r\nsu due righe", SF_TEXT), 0u);
    EXPECT_EQ(Text(window), "Solo testo\rsu due righe");
    Select(window, 5, 10);
    EXPECT_EQ(StreamOut(window, SF_TEXT | SFF_SELECTION), "testo");
    const std::string rtf = StreamOut(window, SF_RTF | SFF_SELECTION);
    EXPECT_EQ(rtf.rfind("{\\rtf", 0), 0u);
    EXPECT_NE(rtf.find("testo"), std::string::npos);
    EXPECT_EQ(rtf.find("righe"), std::string::npos);
    // Streaming into the selection replaces only it.
    Select(window, 0, 4);
    EXPECT_EQ(StreamIn(window, "Tutto", SF_TEXT | SFF_SELECTION), 0u);
    EXPECT_EQ(Text(window), "Tutto testo\rsu due righe");
}

DWORD RaisingCallback(DWORD_PTR, BYTE*, LONG, LONG*) { throw std::runtime_error("rotto"); }

DWORD GreedyCallback(DWORD_PTR, BYTE*, LONG cb, LONG* transferred)
{
    *transferred = cb + 100;
    return 0;
}

DWORD EndlessCallback(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* transferred)
{
    const char fill = static_cast<char>(cookie);
    std::memset(buffer, fill, static_cast<std::size_t>(cb));
    *transferred = cb;
    return 0;
}

TEST_F(RichEditMessages, HostileStreamCallbacksStopTheTransfer)
{
    HWND window = MakeWindow("RichEdit20A");
    SetText(window, "resta");
    for (EDITSTREAMCALLBACK callback : {RaisingCallback, GreedyCallback}) {
        EDITSTREAM stream;
        stream.pfnCallback = callback;
        Send(window, EM_STREAMIN, SF_TEXT, reinterpret_cast<LPARAM>(&stream));
        EXPECT_NE(stream.dwError, 0u);
        EXPECT_EQ(Text(window), "resta");
    }
    Send(window, EM_EXLIMITTEXT, 0, 10000);
    EDITSTREAM endless;
    endless.dwCookie = 'a';
    endless.pfnCallback = EndlessCallback;
    Send(window, EM_STREAMIN, SF_TEXT, reinterpret_cast<LPARAM>(&endless));
    EXPECT_EQ(endless.dwError, 0u);
    EXPECT_EQ(Send(window, WM_GETTEXTLENGTH), 10000);
    endless.dwCookie = '{';
    Send(window, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&endless));
    EXPECT_NE(endless.dwError, 0u);
    EXPECT_EQ(Send(window, WM_GETTEXTLENGTH), 10000);
}

TEST_F(RichEditMessages, SearchAndWordBreaks)
{
    HWND window = MakeWindow("RICHEDIT");
    SetText(window, "Il Conto e il conto\r\nsconto del conto");
    struct TCase {
        WPARAM Flags;
        CHARRANGE Range;
        const char* Text;
        LONG Found;
    };
    const TCase cases[] = {
        {FR_DOWN, {0, -1}, "conto", 3},
        {FR_DOWN | FR_MATCHCASE, {0, -1}, "conto", 14},
        {FR_DOWN | FR_WHOLEWORD, {15, -1}, "conto", 32},
        {FR_DOWN, {15, -1}, "conto", 22},
        {0, {40, 0}, "conto", 32},
        {FR_MATCHCASE, {30, 0}, "Conto", 3},
        {FR_WHOLEWORD, {34, 0}, "conto", 14},
        {FR_DOWN, {0, 6}, "conto", -1},
        {FR_DOWN, {0, -1}, "fattura", -1},
    };
    for (const TCase& c : cases) {
        FINDTEXTEXA find;
        find.chrg = c.Range;
        find.lpstrText = c.Text;
        EXPECT_EQ(Send(window, EM_FINDTEXTEX, c.Flags, reinterpret_cast<LPARAM>(&find)), c.Found)
            << c.Text << " " << c.Flags << " from " << c.Range.cpMin;
        if (c.Found >= 0) {
            EXPECT_EQ(find.chrgText.cpMin, c.Found);
            EXPECT_EQ(find.chrgText.cpMax, c.Found + static_cast<LONG>(std::strlen(c.Text)));
        }
    }
    EXPECT_EQ(Send(window, EM_FINDWORDBREAK, WB_MOVEWORDLEFT, 17), 14);
    EXPECT_EQ(Send(window, EM_FINDWORDBREAK, WB_MOVEWORDLEFT, 14), 11);
    EXPECT_EQ(Send(window, EM_FINDWORDBREAK, WB_RIGHTBREAK, 4), 8);
    EXPECT_EQ(Send(window, EM_FINDWORDBREAK, WB_MOVEWORDRIGHT, 4), 9);
    EXPECT_EQ(Send(window, EM_FINDWORDBREAK, WB_ISDELIMITER, 8), 1);
    EXPECT_EQ(Send(window, EM_FINDWORDBREAK, WB_ISDELIMITER, 4), 0);
}

TEST_F(RichEditMessages, ProtectedTextAsksTheParentFirst)
{
    TRichEdit* edit = MakeRichEdit();
    HWND window = edit->Handle();
    SetText(window, "Totale: 100");
    Select(window, 0, 7);
    edit->SelAttributes()->SetProtected(true);
    Select(window, 3, 3);
    Send(window, WM_CHAR, 'x');
    EXPECT_EQ(Text(window), "Totale: 100") << "no handler: refused";
    Select(window, 9, 9);
    Send(window, WM_CHAR, 'x');
    EXPECT_EQ(Text(window), "Totale: 1x00");
    int asked = 0;
    edit->OnProtectChange = [&](TObject*, int start, int end, bool& allow) {
        ++asked;
        EXPECT_EQ(start, 3);
        EXPECT_EQ(end, 3);
        allow = true;
    };
    Select(window, 3, 3);
    Send(window, WM_CHAR, 'x');
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Text(window), "Totxale: 1x00");
    // Stream-in and WM_SETTEXT are not checked.
    edit->OnProtectChange = nullptr;
    SetText(window, "nuovo");
    EXPECT_EQ(Text(window), "nuovo");
}

TEST_F(RichEditMessages, SelectionLinkAndChangeNotifications)
{
    ShowAndActivate(form);
    TRichEdit* edit = MakeRichEdit();
    HWND window = edit->Handle();
    int selections = 0;
    edit->OnSelectionChange = [&](TObject*) { ++selections; };
    SetText(window, "Vedi https://example.org oggi");
    Send(window, EM_SETEVENTMASK, 0, Send(window, EM_GETEVENTMASK) | ENM_LINK);
    Send(window, EM_AUTOURLDETECT, 1);
    EXPECT_EQ(Send(window, EM_GETAUTOURLDETECT), 1);
    PumpUntil([&] { return Widget(edit)->isVisible(); });

    auto* editor = qobject_cast<QTextEdit*>(Widget(edit));
    ASSERT_NE(editor, nullptr);
    selections = 0;
    const QRect target = editor->cursorRect(editor->cursorForPosition(QPoint(60, 5)));
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, Qt::NoModifier, target.center());
    Pump(20);
    EXPECT_GE(selections, 1);

    POINTL point;
    Send(window, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), 10);
    const LPARAM at = MAKELPARAM(static_cast<WORD>(point.x + 2), static_cast<WORD>(point.y + 4));
    parent->Links.clear();
    Send(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    Send(window, WM_LBUTTONUP, 0, at);
    ASSERT_EQ(parent->Links.size(), 2u);
    EXPECT_EQ(parent->Links[0].msg, WM_LBUTTONDOWN);
    EXPECT_EQ(parent->Links[1].msg, WM_LBUTTONUP);
    EXPECT_EQ(parent->Links[0].chrg.cpMin, 5);
    EXPECT_EQ(parent->Links[0].chrg.cpMax, 24);
    // Over plain text nothing is sent.
    Send(window, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), 1);
    Send(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(static_cast<WORD>(point.x + 2), static_cast<WORD>(point.y + 4)));
    EXPECT_EQ(parent->Links.size(), 2u);

    // The index form of the newer class packs the same point.
    HWND newer = MakeWindow("RichEdit20A");
    SetText(newer, "abc");
    POINTL pointer;
    Send(newer, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&pointer), 2);
    const LRESULT packed = Send(newer, EM_POSFROMCHAR, 2, 0);
    EXPECT_EQ(static_cast<SHORT>(LOWORD(packed)), pointer.x);
    EXPECT_EQ(static_cast<SHORT>(HIWORD(packed)), pointer.y);
}

TEST_F(RichEditMessages, ClipboardCarriesRtfAndText)
{
    HWND from = MakeWindow("RichEdit20A");
    SetText(from, "grassetto e no");
    Select(from, 0, 9);
    SetBold(from, true);
    Send(from, WM_COPY);
    EXPECT_EQ(Clipboard()->AsText(), "grassetto");
    EXPECT_EQ(Send(from, EM_CANPASTE), 1);
    HWND to = MakeWindow("RICHEDIT");
    SetText(to, "[]");
    Select(to, 1, 1);
    Send(to, WM_PASTE);
    EXPECT_EQ(Text(to), "[grassetto]");
    Select(to, 1, 10);
    EXPECT_TRUE(CharFormat(to).dwEffects & CFE_BOLD);
    Send(to, EM_PASTESPECIAL, CF_TEXT);
    EXPECT_EQ(Text(to), "[grassetto]");
    Select(from, 9, 11);
    Send(from, WM_CUT);
    EXPECT_EQ(Text(from), "grassetto no");
    EXPECT_EQ(Send(from, EM_GETUNDONAME), UID_CUT);
}

// The fuzz target's function over a few hostile inputs: every page advances.
TEST(RichEditStreamFuzzReplay, HostileInputsMeasureToTheEnd)
{
    const std::string inputs[] = {
        "",
        "{\\rtf1 {\\b grassetto}\\par\\fs2000 enorme\\par}",
        std::string(3000, 'x'),
        "{\\rtf1\\pard\\li-99999\\ri99999\\fi-5000 rientri impossibili\\par\\sl-99999 interlinea\\par}",
        "{\\rtf1 " + std::string(200, '{') + "annidato" + std::string(200, '}') + "}",
        std::string("a\tb\tc\r\n\r\n\0\x95\xff", 12),
    };
    for (const std::string& input : inputs)
        RunRichEditStreamFuzzCase(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

} // namespace
