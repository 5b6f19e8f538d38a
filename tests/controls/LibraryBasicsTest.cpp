// The small helpers, the library's texts and cursors, and the window and system utilities on
// offscreen forms.

#include "ControlsTestSupport.h"

#include "controls/ExConst.h"
#include "controls/MaxMin.h"
#include "controls/StrUtils.h"
#include "controls/VCLUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Panel.h"
#include "platform/gui/Screen.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/os/Libraries.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/Threads.h"

#include <QCursor>
#include <QPixmap>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

TEST(MaxMin, ExtremesAndTheirErrors)
{
    EXPECT_EQ(Max(3, -4), 3);
    EXPECT_EQ(Min(3, -4), -4);
    int a = 1, b = 2;
    SwapInt(a, b);
    EXPECT_EQ(a * 10 + b, 21);
    const TDateTime d1 = EncodeDate(2005, 1, 31), d2 = EncodeDate(2026, 5, 14), d3 = EncodeDate(1999, 12, 31);
    EXPECT_EQ(MaxDateTime({d1, d2, d3}), d2);
    EXPECT_EQ(MinDateTime({d1, d2, d3}), d3);
    EXPECT_EQ(MaxInteger({42}), 42);
    EXPECT_EQ(MinFloat({2.5, -1.5, 7}), -1.5);
    EXPECT_EQ(int(MaxOf({Variant(3), Variant(9.5), Variant(-2)}) == Variant(9.5)), 1);
    EXPECT_EQ(VarToStr(MinOf({Variant("pera"), Variant("mela"), Variant("uva")})), "mela");
    EXPECT_THROW(MaxInteger({}), ERangeError);
    EXPECT_THROW(MinDateTime({}), ERangeError);
    EXPECT_THROW(MaxOf({}), ERangeError);
}

TEST(ExConst, TextsByNumber)
{
    EXPECT_EQ(ExLoadStr(SDateDlgTitle), "Select a Date");
    EXPECT_EQ(ExLoadStr(61157), "To add command buttons, drag and drop buttons onto the SpeedBar. To remove command "
                                "buttons, drag them off of the SpeedBar.");
    EXPECT_EQ(ExLoadStr(SPrevMonth), "Previous Month|");
    EXPECT_EQ(ExLoadStr(SDefaultFilter), "All files (*.*)|*.*");
    EXPECT_EQ(ExLoadStr(61150), ExLoadStr(61152));
    EXPECT_EQ(ExLoadStr(61156), "");
    EXPECT_EQ(ExLoadStr(0), "");
}

TEST(ExConst, HandCursorsAreInstalledOnce)
{
    InstallExCursors();
    HCURSOR hand = Screen->Cursors(crHandCursor);
    HCURSOR drag = Screen->Cursors(crDragCursor);
    ASSERT_NE(hand, Screen->Cursors(crDefault));
    ASSERT_NE(drag, Screen->Cursors(crDefault));
    const QCursor* handCursor = static_cast<QCursor*>(hand);
    EXPECT_EQ(handCursor->shape(), Qt::BitmapCursor);
    EXPECT_EQ(handCursor->hotSpot(), QPoint(6, 0));
    EXPECT_EQ(static_cast<QCursor*>(drag)->hotSpot(), QPoint(9, 4));
    EXPECT_NE(static_cast<QCursor*>(Screen->Cursors(crDefault))->shape(), Qt::BitmapCursor);
    // The registered resource is the same picture.
    HICON icon = nullptr;
    int hotX = -1, hotY = -1;
    ASSERT_TRUE(CursorImage(LoadCursor(MainInstance(), "EX_HANDCUR"), icon, hotX, hotY));
    EXPECT_EQ(hotX * 100 + hotY, 600);
    const QImage picture = handCursor->pixmap().toImage();
    EXPECT_EQ(qAlpha(picture.pixel(6, 0)), 255);  // the finger tip
    EXPECT_EQ(qAlpha(picture.pixel(30, 30)), 0); // beside the hand
    static_cast<QCursor*>(drag)->pixmap().save(QString::fromStdString(ControlsPictureDir() + "/drag.png"));
    handCursor->pixmap().save(QString::fromStdString(ControlsPictureDir() + "/hand.png"));
    InstallExCursors();
    EXPECT_EQ(Screen->Cursors(crHandCursor), hand);
    EXPECT_EQ(Screen->Cursors(crDragCursor), drag);
}

TEST(VCLUtils, CentringOnTheScreenAndInTheParent)
{
    const int screenWidth = Screen->Width();
    const int screenHeight = Screen->Height();
    TForm form(nullptr);
    form.SetBounds(3, 4, 300, 200);
    form.HandleNeeded();
    CenterWindow(form.Handle());
    EXPECT_EQ(form.Left(), (screenWidth - 300) / 2);
    EXPECT_EQ(form.Top(), (screenHeight - 200) / 2);
    EXPECT_EQ(form.Width(), 300);

    form.SetBounds(3, 4, screenWidth + 100, screenHeight + 50);
    CenterWindow(form.Handle());
    EXPECT_EQ(form.Left(), 0);
    EXPECT_EQ(form.Top(), 0);

    TForm other(nullptr);
    other.SetBounds(3, 4, 301, 201);
    CenterControl(&other);
    EXPECT_EQ(other.Left(), (screenWidth - 301) / 2);
    EXPECT_EQ(other.Top(), (screenHeight - 201) / 2);
    other.SetBounds(3, 4, screenWidth + 2, 100);
    CenterControl(&other);
    EXPECT_EQ(other.Left(), 0);

    auto* panel = new TPanel(&other);
    panel->SetParent(&other);
    panel->SetBounds(0, 0, 400, 300);
    auto* child = new TPanel(&other);
    child->SetParent(panel);
    child->SetBounds(1, 1, 100, 51);
    CenterControl(child);
    EXPECT_EQ(child->Left(), (panel->ClientWidth() - 100) / 2);
    EXPECT_EQ(child->Top(), (panel->ClientHeight() - 51) / 2);
    EXPECT_EQ(child->Width(), 100);

    EXPECT_EQ(ScreenWorkArea(), Screen->WorkAreaRect());
}

TEST(VCLUtils, MergeFormEmbedsTheFormBorderless)
{
    TForm host(nullptr);
    host.SetBounds(100, 100, 420, 320);
    host.SetCaption("Modulo ospite");
    auto* panel = new TPanel(&host);
    panel->SetParent(&host);
    panel->SetBounds(10, 10, 400, 200);
    TForm embedded(nullptr);
    embedded.SetBounds(5, 7, 200, 100);
    embedded.SetColor(clYellow);
    embedded.HandleNeeded();
    MergeForm(panel, &embedded, alNone, true);
    EXPECT_EQ(embedded.Parent(), panel);
    EXPECT_EQ(embedded.BorderStyle(), bsNone);
    EXPECT_TRUE(embedded.BorderIcons().Empty());
    EXPECT_EQ(embedded.Left(), 5 + panel->ClientRect().Left);
    EXPECT_TRUE(embedded.Visible());
    EXPECT_EQ(GetParent(embedded.Handle()), panel->Handle());
    EXPECT_TRUE(IsWindowVisible(embedded.Handle()));

    TForm filling(nullptr);
    filling.SetBounds(0, 0, 50, 50);
    MergeForm(panel, &filling, alClient, true);
    EXPECT_EQ(filling.Align(), alClient);
    EXPECT_EQ(filling.Width(), panel->ClientWidth() - 2); // inside the panel's raised bevel
    TForm hidden(nullptr);
    MergeForm(panel, &hidden, alNone, false);
    EXPECT_FALSE(hidden.Visible());
    host.Hide();
}

TEST(VCLUtils, WindowsFoundAndActivatedAmongThisProcessOnly)
{
    EXPECT_EQ(FindPrevInstance("", ""), nullptr);
    EXPECT_FALSE(ActivatePrevInstance("", "Nessuna finestra ha questo titolo"));
    TForm form(nullptr);
    form.SetCaption("Finestra di prova unica");
    form.SetBounds(10, 10, 200, 100);
    form.HandleNeeded();
    EXPECT_EQ(FindPrevInstance("", "Finestra di prova unica"), form.Handle());
    EXPECT_EQ(WindowClassName(form.Handle()), GetClassName(form.Handle()));
    EXPECT_TRUE(ActivatePrevInstance("", "Finestra di prova unica"));
    EXPECT_TRUE(IsWindowVisible(form.Handle()));

    ShowWinNoAnimate(form.Handle(), SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(form.Handle()));

    ShowMDIClientEdge(form.Handle(), true);
    EXPECT_TRUE(GetWindowLongPtr(form.Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    ShowMDIClientEdge(form.Handle(), false);
    EXPECT_FALSE(GetWindowLongPtr(form.Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

TEST(VCLUtils, MessagesRemovedAndDelayed)
{
    TForm form(nullptr);
    form.HandleNeeded();
    const int before = PostedMessageCount();
    PostMessage(form.Handle(), WM_USER + 7, 1, 0);
    PostMessage(form.Handle(), WM_USER + 7, 2, 0);
    KillMessage(form.Handle(), WM_USER + 7);
    EXPECT_EQ(PostedMessageCount(), before + 1);
    MSG message{};
    ASSERT_TRUE(PeekMessage(message, form.Handle(), WM_USER + 7, WM_USER + 7, PM_REMOVE));
    EXPECT_EQ(message.wParam, 2u);

    PostQuitMessage(7);
    KillMessage(nullptr, WM_QUIT);
    ASSERT_TRUE(PeekMessage(message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 7u);

    const std::uint32_t start = GetTickCount();
    Delay(60);
    EXPECT_GE(GetTickCount() - start, 60u);
}

TEST(VCLUtils, MessageBoxesGoThroughTheDialogService)
{
    auto* scripted = new TScriptedDialogs;
    auto previous = SetDialogService(std::unique_ptr<IDialogService>(scripted));
    scripted->Expect(TDialogKind::MessageBox, TDialogAnswer::Code(IDYES), "Titolo");
    scripted->Expect(TDialogKind::MessageDlg, TDialogAnswer::Code(mrOk), "Function not yet implemented");
    EXPECT_EQ(MsgBox("Titolo", "Testo", MB_YESNO), IDYES);
    EXPECT_THROW(NotImplemented(), EAbort);
    EXPECT_TRUE(scripted->Satisfied());
    const auto requests = scripted->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].DlgType, mtInformation);
    SetDialogService(std::move(previous));
}

TEST(VCLUtils, SystemHelpers)
{
    try {
        RaiseWin32Error(2);
        FAIL() << "no error";
    } catch (const EWin32Error& e) {
        EXPECT_EQ(e.ErrorCode, 2u);
        EXPECT_EQ(e.Message, "Win32 Error.  Code: 2.\n" + SysErrorMessage(2));
    }
    EXPECT_NO_THROW(RaiseWin32Error(0));
    SetLastError(5);
    EXPECT_THROW(CheckWin32(false), EWin32Error);
    EXPECT_NO_THROW(CheckWin32(true));

    try {
        LoadDLL("libreria_che_non_esiste.dll");
        FAIL() << "loaded";
    } catch (const EWin32Error& e) {
        EXPECT_EQ(e.ErrorCode, 126u);
    }
    static int registrations = 0;
    RegisterSystemModule("ServerDiProva", {{"DllRegisterServer", [] { ++registrations; }}});
    RegisterSystemModule("ModuloSenzaServer", {{"Altro", [] {}}});
    EXPECT_TRUE(RegisterServer("ServerDiProva.dll"));
    EXPECT_EQ(registrations, 1);
    EXPECT_FALSE(RegisterServer("ModuloSenzaServer"));

    EXPECT_TRUE(VarIsNull(MakeVariant({})));
    EXPECT_EQ(int(MakeVariant({Variant(4)})), 4);
    const Variant pair = MakeVariant({Variant(1), Variant("due")});
    ASSERT_TRUE(VarIsArray(pair));
    EXPECT_EQ(VarArrayHighBound(pair, 1) - VarArrayLowBound(pair, 1), 1);
    EXPECT_EQ(VarToStr(VarArrayGet(pair, VarArrayLowBound(pair, 1) + 1)), "due");

    // A value longer than any fixed buffer comes back whole.
    const std::string longValue(5000, 'p');
    setenv("TESS_CONTROLS_LONG", longValue.c_str(), 1);
    EXPECT_EQ(GetEnvVar("TESS_CONTROLS_LONG"), longValue);
    EXPECT_EQ(GetEnvVar("TESS_CONTROLS_UNSET_VARIABLE"), "");
    EXPECT_EQ(GetWindowsVersion().rfind("Linux ", 0), 0u) << GetWindowsVersion();

    EXPECT_EQ(DialogUnitsToPixelsX(4), LOWORD(GetDialogBaseUnits()));
    EXPECT_EQ(DialogUnitsToPixelsY(8), HIWORD(GetDialogBaseUnits()));
    EXPECT_EQ(PixelsToDialogUnitsX(DialogUnitsToPixelsX(40)), 40);
    EXPECT_EQ(PixelsToDialogUnitsY(DialogUnitsToPixelsY(80)), 80);

    std::string owned = "testo";
    EXPECT_STREQ(StrPAlloc(owned).get(), "testo");
    EXPECT_EQ(StringToPChar(owned), owned.data());
}

TEST(VCLUtils, MemoryBlocks)
{
    EXPECT_EQ(AllocMemo(0), nullptr);
    void* block = AllocMemo(16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GetMemoSize(block), 16);
    static const unsigned char zeros[64] = {};
    EXPECT_TRUE(CompareMem(block, zeros, 16));
    std::memset(block, 0xAB, 16);
    block = ReallocMemo(block, 64);
    EXPECT_EQ(GetMemoSize(block), 64);
    EXPECT_EQ(static_cast<unsigned char*>(block)[15], 0xAB);
    EXPECT_TRUE(CompareMem(HugeOffset(block, 16), zeros, 48));
    void* cursor = block;
    HugeInc(cursor, 10);
    HugeDec(cursor, 4);
    EXPECT_EQ(cursor, HugeOffset(block, 6));
    FreeMemo(block);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(GetMemoSize(nullptr), 0);
    FreeMemo(block);

    std::int32_t elements[5] = {1, 2, 3, 4, 5};
    HugeMove(elements, 1, 0, 3);
    EXPECT_EQ(elements[0] * 10000 + elements[1] * 1000 + elements[2] * 100 + elements[3] * 10 + elements[4], 11235);
}

TEST(StrUtilsBadInput, DefinedResultsForHostileArguments)
{
    const std::string stars(10000, '*');
    EXPECT_TRUE(IsWild("anything", stars, false));
    EXPECT_TRUE(IsWild("", stars, false));
    EXPECT_FALSE(IsWild("abc", stars + "d" + stars + "e", false));
    EXPECT_TRUE(IsWild("abcde", stars + "d" + stars + "e", false));
    EXPECT_FALSE(IsWild("", "?", false));
    EXPECT_FALSE(IsWild("a", "", false));
    EXPECT_TRUE(IsWild("", "", false));

    const std::string megabyte(1 << 20, 'a');
    EXPECT_EQ(ExtractDelimited(1, megabyte, TCharSet{','}).size(), megabyte.size());
    EXPECT_EQ(ExtractDelimited(2, megabyte, TCharSet{','}), "");
    EXPECT_EQ(ExtractWord(2, megabyte, TCharSet{' '}), "");
    EXPECT_EQ(WordCount(megabyte, TCharSet{' '}), 1);
    EXPECT_EQ(ReplaceStr(megabyte, "b", "c").size(), megabyte.size());

    EXPECT_EQ(XorEncode("a key longer than the text", "ab"), XorEncode("a ", "ab"));
    EXPECT_EQ(XorDecode("k", "6"), "");
    EXPECT_EQ(XorDecode("", "zz"), " ");
    EXPECT_EQ(XorString("", "abc"), "abc");
    EXPECT_EQ(XorString("k", std::string(300, 'x')).size(), 255u);

    EXPECT_EQ(RomanToInt(""), 0);
    EXPECT_EQ(RomanToInt("-"), 0);
    EXPECT_EQ(RomanToInt("mcmxciv"), 1994);
    EXPECT_EQ(RomanToInt("M-"), 0);
    EXPECT_EQ(IntToRoman(0), "");
    EXPECT_EQ(IntToRoman(-5), "");

    EXPECT_EQ(Dec2Numb(10, 4, 1), "");
    EXPECT_EQ(Dec2Numb(10, 4, 37), "");
    EXPECT_EQ(Dec2Numb(-1, 4, 16), "");
    EXPECT_EQ(Dec2Numb(0, 3, 2), "000");
    EXPECT_EQ(Dec2Numb(35, 0, 36), "Z");
    EXPECT_EQ(Numb2Dec("11", 1), 0);
    EXPECT_EQ(Numb2Dec("11", 37), 0);
    EXPECT_EQ(Numb2Dec("z", 36), 35);
    EXPECT_EQ(Numb2Dec("9", 2), 9); // no validation: a digit outside the base still counts
    EXPECT_EQ(Numb2Dec(std::string(100, 'Z'), 36), Numb2Dec(std::string(100, 'Z'), 36)); // wraps, no fault

    EXPECT_EQ(IntToBin(5, 40, 0), std::string(29, '0') + "101");
    EXPECT_EQ(IntToBin(-1, 4, 2), " 11 11");
    EXPECT_EQ(NPos("", "abc", 1), 0);
    EXPECT_EQ(NPos("a", "abc", 0), 0);
    EXPECT_EQ(MakeStr('x', -3), "");
    EXPECT_EQ(Tab2Space("a\tb", 2), "a  b");
    int position = 0;
    EXPECT_EQ(ExtractSubstr("ab;cd", position, TCharSet{';'}), "ab");
    EXPECT_EQ(position, 4);
    EXPECT_EQ(ExtractSubstr("ab;cd", position, TCharSet{';'}), "cd");
    EXPECT_EQ(position, 6);
    EXPECT_EQ(ExtractSubstr("ab;cd", position, TCharSet{';'}), "");
    EXPECT_EQ(ExtractQuotedString("'it''s' rest", '\''), "it's");
    EXPECT_EQ(ExtractQuotedString("plain", '\''), "plain");
    EXPECT_EQ(QuotedString("it's", '\''), "'it''s'");
    EXPECT_TRUE(IsEmptyStr("  /  /    ", TCharSet{' ', '/'}));
    EXPECT_FALSE(IsWordPresent("34", "12, 345,56", TCharSet{' ', ','}));
    EXPECT_TRUE(IsWordPresent("345", "12, 345,56", TCharSet{' ', ','}));
}
