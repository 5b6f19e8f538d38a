#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/os/Shell.h"
#include "widgets/URLLabel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

LPARAM LabelAt(int x, int y) { return static_cast<LPARAM>((y << 16) | (x & 0xFFFF)); }

// An about box with one link, and a desktop opener that records what it was asked to open.
struct TLinkFixture {
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TURLLabel* Link = nullptr;
    std::vector<std::string> Opened;
    TDesktopOpener Previous;
    std::vector<std::string> Events;

    TLinkFixture()
    {
        Previous = SetDesktopOpener([this](const std::string& target) {
            Opened.push_back(target);
            return DWORD(0);
        });
        Form->SetBounds(60, 60, 300, 120);
        Link = new TURLLabel(Form.get());
        Link->SetParent(Form.get());
        Link->SetBounds(10, 10, 120, 16);
        Link->SetCaption("Sito del programma");
        Link->URL = "https://tessellarium.example.org/dona";
        Link->ColorMoveOver = clGreen;
        Link->OnClick = [this](TObject*) { Events.push_back("click"); };
        Link->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { Events.push_back("down"); };
        Link->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { Events.push_back("up"); };
    }
    ~TLinkFixture() { SetDesktopOpener(Previous); }

    void Press(int x, int y) { Link->Perform(WM_LBUTTONDOWN, MK_LBUTTON, LabelAt(x, y)); }
    void Release(int x, int y) { Link->Perform(WM_LBUTTONUP, 0, LabelAt(x, y)); }
};

TEST(URLLabel, LooksLikeALinkWhenMade)
{
    TURLLabel link(nullptr);
    EXPECT_EQ(link.Caption(), "Click me!");
    EXPECT_EQ(link.URL, "https://www.example.com/");
    EXPECT_EQ(link.Font()->Color(), clBlue);
    EXPECT_TRUE(link.Font()->Style() == TFontStyles{fsUnderline});
    EXPECT_EQ(link.ColorClick, clRed);
}

TEST(URLLabel, AClickOpensTheURLOrElseTheCaption)
{
    TLinkFixture f;
    f.Press(5, 5);
    EXPECT_EQ(f.Link->Font()->Color(), clRed);
    f.Release(5, 5);
    EXPECT_EQ(f.Opened, std::vector<std::string>{"https://tessellarium.example.org/dona"});
    EXPECT_EQ(f.Link->Font()->Color(), clGreen);
    EXPECT_EQ(f.Events, std::vector<std::string>{"click"});

    f.Link->URL = "";
    f.Link->SetCaption("mailto:assistenza@example.org");
    f.Press(5, 5);
    f.Release(f.Link->Width(), f.Link->Height());
    ASSERT_EQ(f.Opened.size(), 2u);
    EXPECT_EQ(f.Opened[1], "mailto:assistenza@example.org");
}

TEST(URLLabel, ReleasingOutsideOpensNothing)
{
    TLinkFixture f;
    f.Press(5, 5);
    f.Release(f.Link->Width() + 1, 0);
    EXPECT_TRUE(f.Opened.empty());
    EXPECT_EQ(f.Link->Font()->Color(), clBlue);
    for (const TPoint outside : {TPoint{-1, 5}, TPoint{5, -1}, TPoint{5, f.Link->Height() + 1}}) {
        f.Press(5, 5);
        f.Release(outside.X, outside.Y);
    }
    EXPECT_TRUE(f.Opened.empty());
    // A release over the label without a press on it opens nothing either.
    f.Release(5, 5);
    EXPECT_TRUE(f.Opened.empty());
}

TEST(URLLabel, EnteringAndLeavingChangeTheColour)
{
    TLinkFixture f;
    f.Link->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(f.Link->Font()->Color(), clGreen);
    f.Press(5, 5);
    f.Link->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(f.Link->Font()->Color(), clBlue);
    // Dragged back on before the release: the click colour again, and the release opens.
    f.Link->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(f.Link->Font()->Color(), clRed);
    f.Release(5, 5);
    EXPECT_EQ(f.Opened.size(), 1u);
}

// The default opener starts the desktop's xdg-open with the address.
TEST(URLLabel, TheDesktopOpenerStartsXdgOpen)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("tess-urllabel-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path record = dir / "argomenti.txt";
    {
        std::ofstream script(dir / "xdg-open");
        script << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" << record.string() << ".tmp\"\nmv \""
               << record.string() << ".tmp\" \"" << record.string() << "\"\n";
    }
    std::filesystem::permissions(dir / "xdg-open", std::filesystem::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (dir.string() + ":" + oldPath).c_str(), 1);

    TURLLabel link(nullptr);
    link.SetBounds(0, 0, 80, 16);
    link.Perform(WM_LBUTTONDOWN, MK_LBUTTON, LabelAt(3, 3));
    link.Perform(WM_LBUTTONUP, 0, LabelAt(3, 3));
    const bool started = PumpWhile([&] { return !std::filesystem::exists(record); }, 5000);
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_TRUE(started);
    std::ifstream in(record);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "https://www.example.com/\n");
    std::filesystem::remove_all(dir);
}

} // namespace
