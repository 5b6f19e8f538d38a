#include "GuiTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/HintWindow.h"
#include "platform/gui/Screen.h"
#include "platform/gui/Timer.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

struct TChildSpec {
    TAlign Align;
    TRect Start;
    bool Visible = true;
};

struct TAlignCase {
    const char* Name;
    int Width;
    int Height;
    int BorderWidth;
    std::vector<TChildSpec> Children;
    std::vector<TRect> Expected;
};

class Layout : public testing::TestWithParam<TAlignCase> {};

TEST_P(Layout, AlignmentSharesTheClientArea)
{
    const TAlignCase& c = GetParam();
    TCustomControl parent(nullptr);
    parent.SetBounds(0, 0, c.Width, c.Height);
    parent.SetBorderWidth(c.BorderWidth);
    std::vector<TCustomControl*> children;
    // As a form description loads: every child is placed before the alignment runs.
    parent.DisableAlign();
    for (const TChildSpec& spec : c.Children) {
        auto* child = new TCustomControl(&parent);
        child->SetBoundsRect(spec.Start);
        child->SetVisible(spec.Visible);
        child->SetParent(&parent);
        child->SetAlign(spec.Align);
        children.push_back(child);
    }
    parent.EnableAlign();
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (children[i]->Visible()) {
            EXPECT_EQ(children[i]->BoundsRect(), c.Expected[i]) << c.Name << " child " << i;
        }
    }
}

const TRect any = Bounds(0, 0, 10, 10);

INSTANTIATE_TEST_SUITE_P(
    Cases, Layout,
    testing::Values(
        TAlignCase{"five",
                   400,
                   300,
                   0,
                   {{alTop, Bounds(0, 0, 10, 40)},
                    {alBottom, Bounds(0, 0, 10, 30)},
                    {alLeft, Bounds(0, 0, 100, 10)},
                    {alRight, Bounds(0, 0, 50, 10)},
                    {alClient, any}},
                   {Rect(0, 0, 400, 40), Rect(0, 270, 400, 300), Rect(0, 40, 100, 270), Rect(350, 40, 400, 270),
                    Rect(100, 40, 350, 270)}},
        TAlignCase{"five larger",
                   600,
                   400,
                   0,
                   {{alTop, Bounds(0, 0, 10, 40)},
                    {alBottom, Bounds(0, 0, 10, 30)},
                    {alLeft, Bounds(0, 0, 100, 10)},
                    {alRight, Bounds(0, 0, 50, 10)},
                    {alClient, any}},
                   {Rect(0, 0, 600, 40), Rect(0, 370, 600, 400), Rect(0, 40, 100, 370), Rect(550, 40, 600, 370),
                    Rect(100, 40, 550, 370)}},
        TAlignCase{"two tops keep the order of Top",
                   400,
                   300,
                   0,
                   {{alTop, Bounds(0, 100, 10, 20)}, {alTop, Bounds(0, 5, 10, 30)}},
                   {Rect(0, 30, 400, 50), Rect(0, 0, 400, 30)}},
        TAlignCase{"border width",
                   400,
                   300,
                   5,
                   {{alTop, Bounds(0, 0, 10, 40)}, {alClient, any}},
                   {Rect(5, 5, 395, 45), Rect(5, 45, 395, 295)}},
        TAlignCase{"hidden takes no room",
                   400,
                   300,
                   0,
                   {{alTop, Bounds(0, 0, 10, 40), false}, {alClient, any}},
                   {Rect(0, 0, 400, 40), Rect(0, 0, 400, 300)}}));

TEST(LayoutResize, AlignedControlsFollowTheParent)
{
    TCustomControl parent(nullptr);
    parent.SetBounds(0, 0, 400, 300);
    auto* top = new TCustomControl(&parent);
    top->SetHeight(40);
    top->SetParent(&parent);
    top->SetAlign(alTop);
    auto* client = new TCustomControl(&parent);
    client->SetParent(&parent);
    client->SetAlign(alClient);
    parent.SetBounds(0, 0, 600, 400);
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 600, 40));
    EXPECT_EQ(client->BoundsRect(), Rect(0, 40, 600, 400));
}

TEST(LayoutResize, AnchorsFollowTheParentEdges)
{
    TCustomControl parent(nullptr);
    parent.SetBounds(0, 0, 400, 300);
    auto* corner = new TCustomControl(&parent);
    corner->SetParent(&parent);
    corner->SetBounds(300, 250, 80, 30);
    corner->SetAnchors({akRight, akBottom});
    auto* stretched = new TCustomControl(&parent);
    stretched->SetParent(&parent);
    stretched->SetBounds(20, 10, 80, 30);
    stretched->SetAnchors({akLeft, akTop, akRight});
    parent.SetBounds(0, 0, 600, 400);
    EXPECT_EQ(corner->BoundsRect(), Bounds(500, 350, 80, 30));
    EXPECT_EQ(stretched->BoundsRect(), Bounds(20, 10, 280, 30));
}

TEST(LayoutResize, ConstraintsThatCannotBeMetKeepTheMinimum)
{
    TCustomControl parent(nullptr);
    parent.SetBounds(0, 0, 100, 100);
    auto* child = new TCustomControl(&parent);
    child->Constraints()->SetMinWidth(150);
    child->SetParent(&parent);
    child->SetAlign(alClient);
    EXPECT_EQ(child->Width(), 150);
    parent.SetBounds(0, 0, 0, 0);
    EXPECT_GE(child->Height(), 0);
}

TEST(Properties, ParentFontAndParentColorReachOnlyTheChildrenThatFollowTheParent)
{
    TForm form(nullptr);
    auto* follower = new TRecorder(&form);
    follower->SetParent(&form);
    auto* own = new TRecorder(&form);
    own->SetParent(&form);
    own->Font()->SetName("Courier New");
    own->SetColor(clRed);
    follower->WatchOnly({CM_PARENTFONTCHANGED, CM_PARENTCOLORCHANGED});
    form.Font()->SetName("Arial");
    form.SetColor(clYellow);
    EXPECT_EQ(follower->Messages(), (std::vector<UINT>{CM_PARENTFONTCHANGED, CM_PARENTCOLORCHANGED}));
    EXPECT_EQ(follower->Font()->Name(), "Arial");
    EXPECT_TRUE(follower->ParentFont());
    EXPECT_EQ(follower->Color(), clYellow);
    EXPECT_EQ(own->Font()->Name(), "Courier New");
    EXPECT_FALSE(own->ParentFont());
    EXPECT_EQ(own->Color(), clRed);
}

TEST(Properties, DisabledParentDisablesTheChildren)
{
    TForm form(nullptr);
    auto* panel = new TCustomControl(&form);
    panel->SetParent(&form);
    auto* child = new TCustomControl(&form);
    child->SetParent(panel);
    form.Show();
    EXPECT_TRUE(child->CanFocus());
    panel->SetEnabled(false);
    EXPECT_FALSE(Widget(child)->isEnabled());
    EXPECT_FALSE(child->CanFocus());
    form.Hide();
}

TEST(Properties, BadParentsAreRefused)
{
    TCustomControl parent(nullptr);
    auto* child = new TCustomControl(&parent);
    child->SetParent(&parent);
    EXPECT_THROW(parent.SetParent(&parent), EInvalidOperation);
    EXPECT_THROW(parent.SetParent(child), EInvalidOperation);
    EXPECT_EQ(parent.Parent(), nullptr);
    EXPECT_EQ(child->Parent(), &parent);
}

TEST(Properties, ClassNamesAndInheritance)
{
    TForm form(nullptr);
    TCustomControl custom(nullptr);
    TGraphicControl graphic(nullptr);
    THintWindow hint(nullptr);
    TTimer timer(nullptr);
    struct TCase {
        const TObject* Object;
        const char* Name;
        std::vector<const char*> Bases;
    };
    const TCase cases[] = {
        {&form, "TForm", {"TCustomForm", "TScrollingWinControl", "TWinControl", "TControl", "TComponent"}},
        {&custom, "TCustomControl", {"TWinControl", "TControl", "TComponent", "TPersistent", "TObject"}},
        {&graphic, "TGraphicControl", {"TControl", "TComponent"}},
        {&hint, "THintWindow", {"TCustomControl", "TWinControl"}},
        {&timer, "TTimer", {"TComponent"}},
        {Screen, "TScreen", {"TComponent"}},
        {Application, "TApplication", {"TComponent"}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(c.Object->ClassName(), c.Name);
        for (const char* base : c.Bases)
            EXPECT_TRUE(c.Object->InheritsFrom(base)) << c.Name << " from " << base;
        EXPECT_FALSE(c.Object->InheritsFrom("TCustomEdit")) << c.Name;
    }
}

TEST(Properties, PaintingWithoutAHandleDoesNothing)
{
    TCustomControl control(nullptr);
    control.SetColor(clRed);
    control.Invalidate();
    control.Repaint();
    control.Update();
    control.Refresh();
    EXPECT_FALSE(control.HandleAllocated());
}

} // namespace
