#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "widgets/HeaderHelper.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

LPARAM HeaderAt(int x, int y) { return static_cast<LPARAM>((y << 16) | (x & 0xFFFF)); }

// A dialog with its help header docked at the top, as the program's windows place it.
struct THeaderFixture {
    std::unique_ptr<TForm> Form;
    THeaderHelper* Header = nullptr;
    std::vector<TObject*> Senders;

    THeaderFixture()
    {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(40, 40, 360, 260);
        Header = new THeaderHelper(Form.get());
        Header->SetParent(Form.get());
        Header->SetAlign(alTop);
        Header->SetBevelOuter(bvNone);
        Header->SetBodyHeight(120);
        Header->SetTitleHeight(20);
        Header->OnHelperResize = [this](TObject* Sender) { Senders.push_back(Sender); };
    }
    void ClickH()
    {
        TSpeedButton* button = Header->ButtonHelp();
        button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, HeaderAt(5, 5));
        button->Perform(WM_LBUTTONUP, 0, HeaderAt(5, 5));
    }
};

TEST(HeaderHelper, TheHButtonCollapsesAndExpandsTheHeader)
{
    THeaderFixture f;
    EXPECT_EQ(f.Header->Height(), 120);
    EXPECT_EQ(f.Header->ButtonHelp()->Caption(), "H");
    EXPECT_TRUE(f.Header->ButtonHelp()->Font()->Style().Contains(fsBold));
    f.ClickH();
    EXPECT_EQ(f.Header->Height(), 20);
    EXPECT_FALSE(f.Header->BodyPanel()->Visible());
    ASSERT_EQ(f.Senders.size(), 1u);
    EXPECT_EQ(f.Senders[0], f.Header->ButtonHelp());
    f.ClickH();
    EXPECT_EQ(f.Header->Height(), 120);
    EXPECT_TRUE(f.Header->BodyPanel()->Visible());
    ASSERT_EQ(f.Senders.size(), 2u);
    EXPECT_EQ(f.Senders[1], f.Header->ButtonHelp());
    // Toggling never shows a dialog that is not shown yet.
    EXPECT_FALSE(f.Form->Visible());
}

TEST(HeaderHelper, HeightsSetWhileCollapsedWaitForTheNextExpand)
{
    THeaderFixture f;
    f.Header->ResizeHeader(f.Form.get());
    ASSERT_EQ(f.Senders.size(), 1u);
    EXPECT_EQ(f.Senders[0], f.Form.get());
    f.Header->SetBodyHeight(140);
    EXPECT_EQ(f.Header->Height(), 20);
    EXPECT_EQ(f.Header->BodyHeight(), 140);
    f.Header->ResizeHeader(f.Header);
    EXPECT_EQ(f.Header->Height(), 140);
    EXPECT_EQ(f.Senders.back(), f.Header);
    // The title height set while expanded changes the strip, not the header.
    f.Header->SetTitleHeight(24);
    EXPECT_EQ(f.Header->Height(), 140);
    f.Header->ResizeHeader(f.Header);
    EXPECT_EQ(f.Header->Height(), 24);
}

TEST(HeaderHelper, HelpLinesEditedInPlaceShowAfterUpdateHelp)
{
    THeaderFixture f;
    TStringList lines;
    lines.Add("Aiuto");
    f.Header->SetHelpLines(&lines);
    EXPECT_EQ(f.Header->GetHelpLines()->Strings(0), "Aiuto");
    f.Form->Show();
    PumpFor(20);
    const TRect body = Rect(0, 20, f.Header->Width(), f.Header->Height());
    const int before = TGrab(f.Header).Ink(body, clInfoBk);
    EXPECT_GT(before, 0);

    f.Header->GetHelpLines()->SetStrings(0, "Si prema <b>Conferma</b> per salvare i dati del modulo.");
    // Painting again (the body hidden and shown) still shows the text parsed before.
    f.Header->ResizeHeader(f.Header);
    f.Header->ResizeHeader(f.Header);
    PumpFor(20);
    EXPECT_EQ(TGrab(f.Header).Ink(body, clInfoBk), before);
    f.Header->UpdateHelp();
    PumpFor(20);
    EXPECT_GT(TGrab(f.Header).Ink(body, clInfoBk), before);
}

} // namespace
