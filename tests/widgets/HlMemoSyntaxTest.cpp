// The tag highlighter: colour codes, DTD files, keyword colours, the drop list's entries, the
// colour swatch, a random editing run with it attached and a demonstration picture.

#include "HlMemoInputSupport.h"

#include "fuzz/HlMemoSyntaxFuzzCase.h"
#include "tests/TestScale.h"

#include "platform/gui/Grab.h"
#include "platform/gui/HintWindow.h"
#include "platform/gui/Screen.h"
#include "platform/rtl/TextUtils.h"
#include "widgets/HlMemoSyntax.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace {

struct TSyntaxFolder {
    std::string Path;
    TSyntaxFolder()
    {
        char name[] = "/tmp/hlsyntaxXXXXXX";
        Path = mkdtemp(name);
    }
    ~TSyntaxFolder() { std::filesystem::remove_all(Path); }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const std::string path = Path + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

const char* const SyntaxDtd = "commento iniziale\n"
                              "\t<prima>|prima del tag|prima \n"
                              "#TABLE\n"
                              "\tborder|attributo|border=\"\" \n"
                              "\tsenza barre\n"
                              "X\n"
                              "\n"
                              "#TD\n"
                              "\t<td>|HTML tag|td \n";

std::vector<std::string> SyntaxEntries(TStrings* list)
{
    std::vector<std::string> entries;
    for (int i = 0; i < list->Count(); ++i)
        entries.push_back(list->Strings(i));
    return entries;
}

std::vector<std::string> SyntaxTags(THlMemoSyntax& syntax)
{
    std::vector<std::string> tags;
    for (int i = 0; i < syntax.DropItems()->Count(); ++i)
        tags.push_back(syntax.DropItems()->Strings(i) + "=" +
                       static_cast<TDropItem*>(syntax.DropItems()->Objects(i))->Tag());
    return tags;
}

TEST(HlMemoSyntax, HtmlColourCodes)
{
    const struct {
        std::string Text;
        TColor Colour;
        bool Ok;
    } cases[] = {
        {"#FF8000", static_cast<TColor>(0x000080FF), true},
        {"#F80", static_cast<TColor>(0x000088FF), true},
        {"#00f", static_cast<TColor>(0x00FF0000), true},
        {"FF8000X", clNone, false},
        {"#GG0000", clNone, false},
        {"", clNone, false},
        {"#", clNone, false},
        {"#FF80", clNone, false},
        {"# 12345", clNone, false},
        {"#-10000", clNone, false},
        {"#+1", clNone, false},
        {std::string("#\0\0\0", 4), clNone, false},
        {"#\xFF\xFE\xFD", clNone, false},
        {std::string(5000, '#'), clNone, false},
    };
    for (const auto& c : cases) {
        bool ok = !c.Ok;
        EXPECT_EQ(HTMLColorToColor(c.Text, ok), c.Colour) << c.Text;
        EXPECT_EQ(ok, c.Ok) << c.Text;
    }
}

TEST(HlMemoSyntax, DtdFilesGiveTagsWithTheirEntries)
{
    TSyntaxFolder folder;
    THlMemoSyntax syntax(nullptr);
    syntax.GetDropItemsFromDTDFile(folder.Write("tags.dtd", SyntaxDtd));
    EXPECT_EQ(SyntaxTags(syntax), (std::vector<std::string>{"TABLE=TABLE", "TD=TD"}));
    auto* td = static_cast<TDropItem*>(syntax.DropItems()->Objects(1));
    EXPECT_EQ(SyntaxEntries(td->List()), std::vector<std::string>{"<td>|HTML tag|td "}) << "the last tag counts too";
    auto* table = static_cast<TDropItem*>(syntax.DropItems()->Objects(0));
    EXPECT_EQ(SyntaxEntries(table->List()), (std::vector<std::string>{"border|attributo|border=\"\" ", "senza barre"}));

    syntax.GetDropItemsFromDTDFile(folder.Path + "/assente.dtd");
    EXPECT_EQ(syntax.DropItems()->Count(), 2) << "a missing file changes nothing";
    syntax.DeleteDropItem(7);
    syntax.DeleteDropItem(-1);
    EXPECT_EQ(syntax.DropItems()->Count(), 2);
    syntax.DeleteDropItem(0);
    EXPECT_EQ(SyntaxTags(syntax), std::vector<std::string>{"TD=TD"});
    EXPECT_EQ(syntax.AddDropItem(nullptr), -1);

    // Odd files read without failure.
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 37) & 0xFF);
    const struct {
        const char* Name;
        std::string Bytes;
        int Tags;
    } odd[] = {
        {"empty", "", 0},
        {"binary", binary, -1},
        {"CR only", "#A\r\tx|y|z\r#B\r", 2},
        {"one long line", std::string(5 * 1024 * 1024, 'x'), 0},
        {"no bars and ten bars", "#P\n\tsolo testo\n\ta|b|c|d|e|f|g|h|i|j|k\n", 1},
    };
    for (const auto& o : odd) {
        syntax.GetDropItemsFromDTDFile(folder.Write("odd.dtd", o.Bytes));
        if (o.Tags >= 0) {
            EXPECT_EQ(syntax.DropItems()->Count(), o.Tags) << o.Name;
        }
    }
}

TEST(HlMemoSyntax, DtdReadingAndColourCodesSurviveTheFuzzSeedsAndMutations)
{
    std::vector<std::string> seeds = {SyntaxDtd, "#FF8000", "#F80", "#GG0000", "", "#\r\t|\n#\n\t\n", "#A\n\ta|b|c|d"};
    for (const std::string& seed : seeds)
        RunHlMemoSyntaxFuzzCase(reinterpret_cast<const std::uint8_t*>(seed.data()), seed.size());
    std::mt19937 random(20261211);
    const int rounds = 5000 * TestScale();
    for (int i = 0; i < rounds; ++i) {
        std::string input = seeds[random() % seeds.size()];
        const int steps = 1 + static_cast<int>(random() % 4);
        for (int s = 0; s < steps; ++s) {
            const std::size_t at = input.empty() ? 0 : random() % (input.size() + 1);
            switch (random() % 3) {
            case 0:
                if (!input.empty())
                    input[at % input.size()] = static_cast<char>(random() & 0xFF);
                break;
            case 1:
                input.insert(at, 1, "#\t|\r\n0Ff"[random() % 8]);
                break;
            default:
                input.erase(at, random() % 3);
                break;
            }
        }
        RunHlMemoSyntaxFuzzCase(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
}

// A memo with the highlighter linked and the tags of the DTD fixture.
struct TSyntaxFixture : TEditFixture {
    std::unique_ptr<THlMemoSyntax> Syntax;
    TSyntaxFolder Folder;
    explicit TSyntaxFixture(const std::vector<std::string>& lines = {}, int width = 400, int height = 300)
        : TEditFixture(lines, width, height)
    {
        Syntax = std::make_unique<THlMemoSyntax>(nullptr);
        Syntax->GetDropItemsFromDTDFile(Folder.Write("tags.dtd", SyntaxDtd));
        Syntax->SetGsMemo(Memo);
        Memo->EnvironmentOptions()->SetTextColor(clBlack);
        Memo->EnvironmentOptions()->SetTextBackground(clWhite);
        Settle();
    }
};

// Pixels of the cells of columns first..last of a row whose hue is near colour's (smoothed
// strokes included): each channel within 48 of colour's channel scaled to the pixel's strength.
int ColourInCells(TGrab& grab, THlCustomMemo* memo, int row, int first, int last, TColor colour)
{
    const unsigned wanted = static_cast<unsigned>(ColorToRGB(colour));
    auto channel = [](unsigned c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
    int count = 0;
    for (int x = first * memo->CharWidth(); x < (last + 1) * memo->CharWidth(); ++x)
        for (int y = row * memo->LineHeight(); y < (row + 1) * memo->LineHeight(); ++y) {
            const unsigned pixel = static_cast<unsigned>(grab.At(x, y));
            if (pixel == 0xFFFFFF)
                continue;
            bool near = true;
            for (int shift : {0, 8, 16})
                near = near && std::abs(channel(pixel, shift) - channel(wanted, shift)) <= 48;
            if (near)
                ++count;
        }
    return count;
}

TEST(HlMemoSyntax, KeywordsAreRecolouredAsWholeWords)
{
    TSyntaxFixture f({"TABLE x table", "tables"});
    TStringList keywords;
    keywords.Add("table");
    f.Syntax->SetKeywords(&keywords);
    f.Settle();
    TGrab grab(f.Memo);
    ASSERT_TRUE(grab.Valid());
    const TColor green = f.Syntax->SpecTagsForeColor();
    EXPECT_GT(ColourInCells(grab, f.Memo, 0, 0, 4, green), 0);
    EXPECT_GT(ColourInCells(grab, f.Memo, 0, 8, 12, green), 0) << "the word that ends the row too";
    EXPECT_EQ(ColourInCells(grab, f.Memo, 0, 5, 7, green), 0);
    EXPECT_EQ(ColourInCells(grab, f.Memo, 1, 0, 5, green), 0) << "not inside a longer word";
    EXPECT_GT(ColourInCells(grab, f.Memo, 1, 0, 5, clBlack), 0);

    f.Syntax->SetCodeHighlight(false);
    f.Settle();
    TGrab plain(f.Memo);
    EXPECT_EQ(ColourInCells(plain, f.Memo, 0, 0, 12, green), 0) << "the memo draws the rows itself again";
}

TEST(HlMemoSyntax, TheDropListOffersTagsAndTheirEntries)
{
    TSyntaxFixture f({""});
    TypeIntoMemo(f.Memo, "<");
    f.Syntax->DropListDown(f.Memo);
    EXPECT_EQ(SyntaxEntries(f.Memo->GetDropList()),
              (std::vector<std::string>{"<!--|HTML comment|!-- ", "<table>|HTML tag|table ", "<td>|HTML tag|td "}));

    const struct {
        const char* Name;
        std::vector<std::string> Lines;
        int Row, Col;
        std::vector<std::string> Entries;
    } cases[] = {
        {"inside a tag", {"<td   "}, 0, 4, {"<td>|HTML tag|td "}},
        {"before its >", {"<table x>"}, 0, 8, {"border|attributo|border=\"\" ", "senza barre"}},
        {"closing tag", {"</td  "}, 0, 5, {}},
        {"on the <", {"ab<td"}, 0, 2, {}},
        {"inside a word", {"<td abc"}, 0, 5, {}},
        {"below an open tag", {"<td", "x  "}, 1, 1, {"<td>|HTML tag|td "}},
        {"at the end of a row below an open tag", {"<td", "x"}, 1, 1, {"<td>|HTML tag|td "}},
        {"column 0 below an open tag", {"<td", "  "}, 1, 0, {}},
        {"below a closed tag", {"<td>", "x  "}, 1, 1, {}},
        {"past the text", {"<td"}, 3, 0, {}},
    };
    for (const auto& c : cases) {
        SetMemoLines(f.Memo, c.Lines);
        f.Memo->SetCaret(c.Row, c.Col);
        f.Syntax->DropListDown(f.Memo);
        EXPECT_EQ(SyntaxEntries(f.Memo->GetDropList()), c.Entries) << c.Name;
    }
}

TEST(HlMemoSyntax, CtrlOverAColourCodeShowsASwatch)
{
    TSyntaxFixture f({"colore #00F qui"});
    HoverMemo(f.Memo, CellPoint(f.Memo, 0, 8));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    QCoreApplication::sendEvent(WidgetOf(f.Memo), &press);
    THintWindow* swatch = f.Memo->HintWindow();
    ASSERT_NE(swatch, nullptr);
    EXPECT_EQ(swatch->Owner(), f.Memo) << "the memo owns its hint window";
    EXPECT_EQ(swatch->Color(), clBlue);
    EXPECT_EQ(swatch->Width(), 18);
    // The hint window is made 4 pixels taller than the rectangle it is given, 18 x 14.
    EXPECT_EQ(swatch->Height(), 14 + 4);
    EXPECT_TRUE(f.Memo->ColorHintShown());
    HoverMemo(f.Memo, CellPoint(f.Memo, 0, 9), Qt::ControlModifier);
    EXPECT_EQ(f.Memo->HintWindow(), swatch) << "a colour hint survives moves with Ctrl";
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
    QCoreApplication::sendEvent(WidgetOf(f.Memo), &release);
    EXPECT_EQ(f.Memo->HintWindow(), nullptr);

    HoverMemo(f.Memo, CellPoint(f.Memo, 0, 13));
    QCoreApplication::sendEvent(WidgetOf(f.Memo), &press);
    EXPECT_EQ(f.Memo->HintWindow(), nullptr);
    EXPECT_FALSE(f.Memo->ColorHintShown());
    QCoreApplication::sendEvent(WidgetOf(f.Memo), &release);
    Screen->SetCursor(crDefault);
}

TEST(HlMemoSyntax, LinkingTakesTheHandlersAndAFreedSideIsForgotten)
{
    TSyntaxFixture f({"abc"});
    EXPECT_TRUE(static_cast<bool>(f.Memo->OnDrawLine));
    EXPECT_TRUE(static_cast<bool>(f.Memo->OnMemoEvents));
    EXPECT_TRUE(static_cast<bool>(f.Memo->OnDropListDown));
    // A freed highlighter leaves no handler behind that would call it.
    f.Syntax.reset();
    EXPECT_FALSE(static_cast<bool>(f.Memo->OnDrawLine));
    f.Settle();
    SendMemoKey(f.Memo, {Qt::Key_A, Qt::NoModifier, "a"});
    // A freed memo is forgotten.
    THlMemoSyntax syntax(nullptr);
    auto* memo = new THlMemo(nullptr);
    syntax.SetGsMemo(memo);
    EXPECT_EQ(syntax.HlMemo(), memo);
    TComponent::Free(memo);
    EXPECT_EQ(syntax.HlMemo(), nullptr);
    syntax.SetCodeHighlight(false);
}

TEST(HlMemoSyntax, RandomEditingKeepsTheMemoSound)
{
    TSyntaxFixture f({"<table border=1>", "  <td>http://x.it/a.jpg #F80</td>", "mario@ditta.it table"}, 360, 200);
    TStringList keywords;
    keywords.Add("table");
    f.Syntax->SetKeywords(&keywords);
    f.Memo->SetShowHyperlinks(true);
    std::mt19937 random(20261211);
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const int navigation[] = {Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Right,
                              Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown};
    const TMemoKey editing[] = {{Qt::Key_Tab, Qt::NoModifier, "\t"},
                                {Qt::Key_Return, Qt::NoModifier, "\r"},
                                {Qt::Key_Backspace, Qt::NoModifier, "\b"},
                                {Qt::Key_Delete}};
    const char* const searches[] = {"a", "ab", "*", "<", "TABLE", "#", "\xE8"};
    auto anywhere = [&] { return QPoint(below(f.Memo->Width() + 60) - 30, below(f.Memo->Height() + 60) - 30); };
    auto modifiers = [&] {
        Qt::KeyboardModifiers m = Qt::NoModifier;
        if (below(3) == 0)
            m |= Qt::ShiftModifier;
        if (below(3) == 0)
            m |= Qt::ControlModifier;
        return m;
    };
    const int actions = 20000;
    for (int i = 0; i < actions; ++i) {
        const int kind = below(100);
        if (kind < 40) {
            const char c = static_cast<char>(32 + below(224));
            SendMemoKey(f.Memo, {QtKeyOfChar(c), Qt::NoModifier, std::string(1, c)});
        } else if (kind < 65) {
            SendMemoKey(f.Memo, {navigation[below(8)], modifiers()});
        } else if (kind < 77) {
            SendMemoKey(f.Memo, editing[below(4)]);
        } else if (kind < 88) {
            const Qt::KeyboardModifiers m = modifiers();
            PressMemo(f.Memo, anywhere(), m);
            if (below(2) == 0)
                DragMemo(f.Memo, anywhere(), m);
            if (below(4) == 0)
                f.Memo->ScrollOnTimer();
            ReleaseMemo(f.Memo, anywhere(), m);
        } else if (kind < 90) {
            DoubleClickMemo(f.Memo, anywhere());
        } else if (kind < 95) {
            const std::string text = searches[below(7)];
            THlFindOptions options;
            if (below(2) == 0)
                options.Include(HlMemo::foMatchCase);
            if (below(2) == 0)
                options.Include(HlMemo::foWholeWords);
            if (below(4) == 0)
                options.Include(HlMemo::foEntireScope);
            if (below(2) == 0)
                f.Memo->FindText(text, options, below(2) == 0);
            else
                f.Memo->ReplaceText(text, searches[below(7)], options, below(2) == 0);
        } else if (kind < 97) {
            HoverMemo(f.Memo, anywhere());
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
            QCoreApplication::sendEvent(WidgetOf(f.Memo), &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
            QCoreApplication::sendEvent(WidgetOf(f.Memo), &release);
        } else {
            f.Memo->BlinkCaret();
            if (f.Memo->DropList()->Visible())
                SendMemoKey(f.Memo->DropList(), below(2) == 0 ? TMemoKey{Qt::Key_Return, Qt::NoModifier, "\r"}
                                                              : TMemoKey{Qt::Key_Escape, Qt::NoModifier, "\x1b"});
        }
        ASSERT_LE(f.Memo->GetCaretVPos(), f.Memo->Lines()->Count() + 1) << "action " << i;
        ASSERT_GE(f.Memo->GetCaretVPos(), 0) << "action " << i;
    }
    f.Memo->StopBlinking();
    f.Settle();
    const std::string path = f.Folder.Path + "/random.txt";
    f.Memo->SaveToFile(path);
    TEditFixture other;
    other.Memo->LoadFromFile(path);
    std::vector<std::string> expected = MemoLines(f.Memo);
    for (std::string& line : expected)
        line = line.substr(0, line.find_last_not_of(' ') + 1);
    EXPECT_EQ(MemoLines(other.Memo), expected);
    Screen->SetCursor(crDefault);
}

TEST(HlMemoSyntax, DemonstrationPicture)
{
    TSyntaxFixture f({"<table border=1>", "  <tr><td bgcolor=#FF8000>Fattura</td>", "  <td>http://www.ditta.it/listino.html</td>",
                      "  <td>info@ditta.it</td>", "</table>", "<  "},
                     460, 220);
    TStringList keywords;
    keywords.Add("table");
    keywords.Add("td");
    f.Syntax->SetKeywords(&keywords);
    f.Memo->GutterOptions()->SetVisible(true);
    f.Memo->SetShowHyperlinks(true);
    f.Memo->SetCaret(5, 1);
    f.Memo->SetSelectionPresent(false);
    f.Syntax->DropListDown(f.Memo);
    f.Memo->GetDropList()->Add("senza barre");
    f.Memo->OnDropListDown = nullptr; // keep the entries just made
    f.Memo->ShowDropWindow();
    ASSERT_TRUE(f.Memo->DropList()->Visible());
    f.Settle();
    EXPECT_TRUE(GrabToPng(f.Form.get(), ScreenshotFolder() + "/memo-editing.png"));
}

} // namespace
