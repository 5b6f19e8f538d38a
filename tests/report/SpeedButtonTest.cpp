// The engine's speed button and toolbar pieces: glyph images, layout, groups, the mouse, the flat
// look, separators, the shared image lists, and a toolbar looked at as a picture.

#include "ReportTestSupport.h"

#include "report/RP_Ctrls.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/Panel.h"

#include <memory>
#include <optional>
#include <vector>

namespace SpeedButtonTest {

using TGlyph = rpctrls::TButtonGlyph;
using rpctrls::fbsDisabled, rpctrls::fbsDown, rpctrls::fbsExclusive, rpctrls::fbsInactive, rpctrls::fbsUp;
using rpctrls::CachedGlyphListCount, rpctrls::GlyphCacheExists, rpctrls::TGlyphList;
using TRgb = std::vector<int>;

TRgb Rgb(TColor color)
{
    const COLORREF c = ColorToRGB(color);
    return {static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF)};
}

// A glyph of width x height filled with colour, its bottom-left pixel olive so that olive is
// the transparent colour.
std::unique_ptr<TBitmap> SolidGlyph(int width, int height, TColor colour)
{
    auto glyph = std::make_unique<TBitmap>();
    glyph->SetSize(width, height);
    glyph->Canvas()->Brush()->SetColor(colour);
    glyph->Canvas()->FillRect(Rect(0, 0, width, height));
    if (width > 0 && height > 0)
        glyph->Canvas()->SetPixels(0, height - 1, clOlive);
    return glyph;
}

// A shown form the buttons stand on.
struct TScene {
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    // What the layer finds under the cursor.
    TControl* UnderPointer = nullptr;
    TScene()
    {
        SetPointerLocator([this](TPoint, bool) { return UnderPointer; });
        Form->SetBounds(40, 40, 420, 240);
        Form->Show();
    }
    ~TScene() { SetPointerLocator({}); }
    template <class T>
    T* Add(int x, int y, int width, int height, TWinControl* parent = nullptr)
    {
        auto* control = new T(Form.get());
        control->SetParent(parent ? parent : Form.get());
        control->SetBounds(x, y, width, height);
        return control;
    }
    // The pixel at (x, y) of control, read from a picture of the form.
    TRgb At(TControl* control, int x, int y)
    {
        TBitmap picture;
        GrabWindow(Form.get(), picture);
        const TPoint origin = Form->ScreenToClient(control->ClientToScreen(Point(0, 0)));
        return RgbAt(picture, origin.X + x, origin.Y + y);
    }
    // The top-left pixel of colour inside the control, read from a picture of the form.
    std::optional<TPoint> FirstPixel(TControl* control, TColor colour)
    {
        TBitmap picture;
        GrabWindow(Form.get(), picture);
        const TPoint origin = Form->ScreenToClient(control->ClientToScreen(Point(0, 0)));
        for (int y = 0; y < control->Height(); ++y)
            for (int x = 0; x < control->Width(); ++x)
                if (RgbAt(picture, origin.X + x, origin.Y + y) == Rgb(colour))
                    return Point(x, y);
        return std::nullopt;
    }
};

void Press(TControl* button, int x = 5, int y = 5) { button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MouseAt(x, y)); }
void Release(TControl* button, int x = 5, int y = 5) { button->Perform(WM_LBUTTONUP, 0, MouseAt(x, y)); }

// The pixels of the state's image, as the image list holds them.
std::unique_ptr<TBitmap> StateImage(TGlyph& glyph, TrpButtonState state)
{
    const int index = glyph.CreateButtonGlyph(state);
    EXPECT_GE(index, 0);
    auto image = std::make_unique<TBitmap>();
    if (index >= 0)
        glyph.GlyphList()->GetBitmap(index, image.get());
    return image;
}

} // namespace SpeedButtonTest

using namespace SpeedButtonTest;

TEST(SpeedButtonGlyph, NumGlyphsFollowsTheBitmapShape)
{
    struct TCase {
        int Width, Height, Before, After;
    };
    const TCase cases[] = {
        {64, 16, 1, 4}, {32, 16, 1, 2}, {16, 16, 3, 1}, {80, 16, 2, 1}, {100, 16, 2, 2}, {1, 1000, 3, 3}, {0, 0, 2, 2},
    };
    for (const TCase& c : cases) {
        TGlyph glyph;
        glyph.SetNumGlyphs(c.Before);
        glyph.SetGlyph(SolidGlyph(c.Width, c.Height, clRed).get());
        EXPECT_EQ(glyph.NumGlyphs(), c.After) << c.Width << " x " << c.Height;
    }
    TGlyph glyph;
    glyph.SetNumGlyphs(7);
    EXPECT_EQ(glyph.NumGlyphs(), 4);
    glyph.SetNumGlyphs(0);
    EXPECT_EQ(glyph.NumGlyphs(), 1);
    glyph.SetNumGlyphs(-5);
    EXPECT_EQ(glyph.NumGlyphs(), 1);
}

TEST(SpeedButtonGlyph, BitmapsOfAnySizeGiveAnEmptyOrSingleImage)
{
    struct TCase {
        int Width, Height, NumGlyphs;
        bool HasImage;
    };
    // 1 x 1000 cut into 4 leaves images without width; a very wide strip is one image.
    const TCase cases[] = {{0, 0, 1, false}, {1, 1000, 4, false}, {1, 1000, 1, true}, {6000, 1, 1, true},
                           {5, 0, 1, false}};
    for (const TCase& c : cases) {
        TGlyph glyph;
        glyph.SetGlyph(SolidGlyph(c.Width, c.Height, clRed).get());
        glyph.SetNumGlyphs(c.NumGlyphs);
        for (TrpButtonState state : {fbsUp, fbsDisabled, fbsDown, fbsExclusive, fbsInactive})
            EXPECT_EQ(glyph.CreateButtonGlyph(state) >= 0, c.HasImage) << c.Width << " x " << c.Height;
    }
    TScene scene;
    for (const TCase& c : cases) {
        auto* button = scene.Add<TrpSpeedButton>(10, 10, 60, 40);
        button->SetGlyph(SolidGlyph(c.Width, c.Height, clRed).get());
        button->SetNumGlyphs(c.NumGlyphs);
        button->SetCaption("Apri");
        for (bool flat : {false, true}) {
            button->SetFlat(flat);
            scene.At(button, 0, 0);
        }
        TComponent::Free(button);
    }
}

TEST(SpeedButtonGlyph, TheInactiveImageIsGreyAndTheFaceStaysTransparent)
{
    TGlyph glyph;
    auto bitmap = SolidGlyph(16, 16, clOlive);
    bitmap->Canvas()->SetPixels(5, 5, clRed);
    bitmap->Canvas()->SetPixels(6, 5, clLime);
    bitmap->Canvas()->SetPixels(7, 5, clBlue);
    glyph.SetGlyph(bitmap.get());
    auto image = StateImage(glyph, fbsInactive);
    EXPECT_EQ(RgbAt(*image, 5, 5), (TRgb{76, 76, 76}));
    EXPECT_EQ(RgbAt(*image, 6, 5), (TRgb{149, 149, 149}));
    EXPECT_EQ(RgbAt(*image, 7, 5), (TRgb{28, 28, 28}));
    // The olive background became the face, which the image list keeps transparent.
    EXPECT_EQ(RgbAt(*image, 0, 0), (TRgb{0, 0, 0}));
}

TEST(SpeedButtonGlyph, DisabledImagesAreEmbossedOrRecoloured)
{
    // One image: its black pixels embossed, highlight one pixel down and right, shadow in place.
    TGlyph single;
    auto bitmap = SolidGlyph(16, 16, clWhite);
    bitmap->Canvas()->SetPixels(0, 15, clWhite);
    bitmap->Canvas()->SetPixels(4, 4, clBlack);
    single.SetGlyph(bitmap.get());
    auto image = StateImage(single, fbsDisabled);
    EXPECT_EQ(RgbAt(*image, 4, 4), Rgb(clBtnShadow));
    EXPECT_EQ(RgbAt(*image, 5, 5), Rgb(clBtnHighlight));
    EXPECT_NE(RgbAt(*image, 3, 3), Rgb(clBtnHighlight));
    EXPECT_NE(RgbAt(*image, 5, 4), Rgb(clBtnHighlight));

    // Two images: the second one's white, grey and transparent pixels take the edge and face colours.
    TGlyph pair;
    auto strip = SolidGlyph(32, 16, clOlive);
    strip->Canvas()->SetPixels(16 + 2, 2, clWhite);
    strip->Canvas()->SetPixels(16 + 3, 2, clGray);
    strip->Canvas()->SetPixels(16 + 4, 2, clRed);
    pair.SetGlyph(strip.get());
    ASSERT_EQ(pair.NumGlyphs(), 2);
    image = StateImage(pair, fbsDisabled);
    EXPECT_EQ(RgbAt(*image, 2, 2), Rgb(clBtnHighlight));
    EXPECT_EQ(RgbAt(*image, 3, 2), Rgb(clBtnShadow));
    EXPECT_EQ(RgbAt(*image, 4, 2), Rgb(clRed));
}

TEST(SpeedButtonGlyph, StatesPickTheirImageOfTheStrip)
{
    const TColor colours[] = {clRed, clLime, clBlue, clYellow};
    auto stripOf = [&](int count) {
        auto strip = SolidGlyph(16 * count, 16, clOlive);
        for (int k = 0; k < count; ++k) {
            strip->Canvas()->Brush()->SetColor(colours[k]);
            strip->Canvas()->FillRect(Rect(16 * k + 4, 4, 16 * k + 12, 12));
        }
        return strip;
    };
    struct TCase {
        int NumGlyphs;
        TrpButtonState State;
        TColor Expected;
    };
    // Down needs a third image; states beyond the strip take the first.
    const TCase cases[] = {{4, fbsUp, clRed}, {4, fbsDown, clBlue}, {4, fbsExclusive, clYellow},
                           {2, fbsDown, clRed}, {3, fbsExclusive, clRed}, {3, fbsDown, clBlue}};
    for (const TCase& c : cases) {
        TGlyph glyph;
        glyph.SetGlyph(stripOf(c.NumGlyphs).get());
        ASSERT_EQ(glyph.NumGlyphs(), c.NumGlyphs);
        auto image = StateImage(glyph, c.State);
        EXPECT_EQ(RgbAt(*image, 8, 8), Rgb(c.Expected)) << c.NumGlyphs << " images, state " << c.State;
    }
}

TEST(SpeedButtonLayout, AGlyphAloneIsCentred)
{
    TScene scene;
    auto* button = scene.Add<TrpSpeedButton>(20, 20, 22, 22);
    button->SetGlyph(SolidGlyph(16, 16, clBlue).get());
    const auto at = scene.FirstPixel(button, clBlue);
    ASSERT_TRUE(at.has_value());
    EXPECT_EQ(at->X, 3);
    EXPECT_EQ(at->Y, 3);
}

TEST(SpeedButtonLayout, GlyphAndCaptionFollowMarginAndSpacing)
{
    TScene scene;
    const std::string caption = "Stampa";
    constexpr int width = 120, height = 70;
    struct TCase {
        TButtonLayout Layout;
        int Margin, Spacing;
    };
    const TCase cases[] = {
        {blGlyphLeft, -1, 4}, {blGlyphRight, -1, 4}, {blGlyphTop, -1, 4}, {blGlyphBottom, -1, 4},
        {blGlyphLeft, 2, -1}, {blGlyphRight, 2, -1}, {blGlyphTop, 2, -1}, {blGlyphBottom, 2, -1},
        {blGlyphLeft, -1, -1}, {blGlyphTop, 5, 3},
    };
    for (const TCase& c : cases) {
        auto* button = scene.Add<TrpSpeedButton>(20, 20, width, height);
        button->SetGlyph(SolidGlyph(16, 16, clBlue).get());
        button->SetCaption(caption);
        button->SetLayout(c.Layout);
        button->SetMargin(c.Margin);
        button->SetSpacing(c.Spacing);

        TBitmap measure;
        measure.Canvas()->Font()->Assign(button->Font());
        const TSize text = measure.Canvas()->TextExtent(caption);
        // The room inside the raised face, from (1, 1).
        const int roomX = width - 3, roomY = height - 3;
        const bool across = c.Layout == blGlyphLeft || c.Layout == blGlyphRight;
        const int room = across ? roomX : roomY;
        const int textLength = across ? text.cx : text.cy;
        int margin = c.Margin, spacing = c.Spacing;
        if (margin == -1 && spacing == -1)
            margin = spacing = (room - 16 - textLength) / 3;
        else if (margin == -1)
            margin = (room - 16 - spacing - textLength + 1) / 2;
        else if (spacing == -1)
            spacing = (room - margin - 16 - textLength) / 2;
        const int along = c.Layout == blGlyphLeft || c.Layout == blGlyphTop ? margin : room - margin - 16;
        const int centred = ((across ? roomY : roomX) - 16 + 1) / 2;
        const TPoint expected = across ? Point(1 + along, 1 + centred) : Point(1 + centred, 1 + along);

        const auto at = scene.FirstPixel(button, clBlue);
        ASSERT_TRUE(at.has_value());
        EXPECT_EQ(at->X, expected.X) << "layout " << c.Layout << " margin " << c.Margin << " spacing " << c.Spacing;
        EXPECT_EQ(at->Y, expected.Y) << "layout " << c.Layout << " margin " << c.Margin << " spacing " << c.Spacing;
        TComponent::Free(button);
    }
}

TEST(SpeedButtonGroups, PressingOneReleasesTheOtherAndAllowAllUpLetsItGoUp)
{
    TScene scene;
    auto* first = scene.Add<TrpSpeedButton>(10, 10, 22, 22);
    auto* second = scene.Add<TrpSpeedButton>(40, 10, 22, 22);
    first->SetGroupIndex(1);
    second->SetGroupIndex(1);
    int clicks = 0;
    second->OnClick = [&](TObject*) { ++clicks; };

    ClickOn(first);
    EXPECT_TRUE(first->Down());
    ClickOn(second);
    EXPECT_TRUE(second->Down());
    EXPECT_FALSE(first->Down());
    EXPECT_EQ(first->State(), fbsUp);
    ClickOn(second);
    EXPECT_TRUE(second->Down()) << "the down button stays down without AllowAllUp";
    EXPECT_EQ(second->State(), fbsExclusive);
    EXPECT_EQ(clicks, 2);

    // The group shares AllowAllUp; then the down button goes up.
    first->SetAllowAllUp(true);
    EXPECT_TRUE(second->AllowAllUp());
    ClickOn(second);
    EXPECT_FALSE(second->Down());
    EXPECT_EQ(second->State(), fbsUp);
    // Without a group a button never stays down.
    auto* single = scene.Add<TrpSpeedButton>(70, 10, 22, 22);
    single->SetDown(true);
    EXPECT_FALSE(single->Down());
}

TEST(SpeedButtonMouse, AReleaseOutsideFiresNoClickAndDoubleClicksNeedTheButtonDown)
{
    TScene scene;
    auto* button = scene.Add<TrpSpeedButton>(10, 10, 22, 22);
    int clicks = 0, doubleClicks = 0;
    button->OnClick = [&](TObject*) { ++clicks; };
    button->OnDblClick = [&](TObject*) { ++doubleClicks; };

    Press(button);
    EXPECT_EQ(button->State(), fbsDown);
    button->Perform(WM_MOUSEMOVE, MK_LBUTTON, MouseAt(60, 5));
    EXPECT_EQ(button->State(), fbsUp);
    button->Perform(WM_MOUSEMOVE, MK_LBUTTON, MouseAt(6, 6));
    EXPECT_EQ(button->State(), fbsDown);
    Release(button, 60, 5);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(button->State(), fbsUp);

    ClickOn(button);
    EXPECT_EQ(clicks, 1);
    button->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MouseAt(5, 5));
    Release(button);
    EXPECT_EQ(doubleClicks, 0);

    button->SetGroupIndex(3);
    button->SetDown(true);
    button->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MouseAt(5, 5));
    Release(button);
    EXPECT_EQ(doubleClicks, 1);

    // A disabled button ignores the mouse.
    button->SetEnabled(false);
    ClickOn(button);
    EXPECT_EQ(clicks, 3);
}

TEST(SpeedButtonMouse, TheAcceleratorClicksAnEnabledButton)
{
    TScene scene;
    auto* button = scene.Add<TrpSpeedButton>(10, 10, 60, 22);
    button->SetCaption("&Apri");
    int clicks = 0;
    button->OnClick = [&](TObject*) { ++clicks; };
    EXPECT_EQ(button->Perform(CM_DIALOGCHAR, 'a', 0), 1);
    EXPECT_EQ(button->Perform(CM_DIALOGCHAR, 'p', 0), 0);
    button->SetEnabled(false);
    button->Perform(CM_DIALOGCHAR, 'a', 0);
    EXPECT_EQ(clicks, 1);
}

TEST(SpeedButtonFlat, GreyUntilTheMouseEntersThenColouredWithARaisedFrame)
{
    TScene scene;
    auto* button = scene.Add<TrpTBButton>(10, 10, 22, 22);
    button->SetAlign(alNone);
    button->SetBounds(10, 10, 22, 22);
    button->SetGlyph(SolidGlyph(16, 16, clRed).get());
    int enters = 0, leaves = 0;
    button->OnMouseEnter = [&](TObject*) { ++enters; };
    button->OnMouseLeave = [&](TObject*) { ++leaves; };

    EXPECT_EQ(scene.At(button, 8, 8), (TRgb{76, 76, 76}));
    EXPECT_EQ(scene.At(button, 0, 0), Rgb(clBtnFace));
    EXPECT_EQ(scene.At(button, 21, 21), Rgb(clBtnFace));

    scene.UnderPointer = button;
    button->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(button));
    EXPECT_EQ(scene.At(button, 8, 8), Rgb(clRed));
    EXPECT_EQ(scene.At(button, 0, 0), Rgb(clBtnHighlight));
    EXPECT_EQ(scene.At(button, 21, 21), Rgb(clBtnShadow));

    // Pressed: sunken, the glyph one pixel down and right.
    Press(button);
    EXPECT_EQ(scene.At(button, 0, 0), Rgb(clBtnShadow));
    EXPECT_EQ(scene.FirstPixel(button, clRed)->X, 4);
    Release(button, 2, 2);
    EXPECT_TRUE(button->MouseInControl());

    scene.UnderPointer = nullptr;
    button->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(button));
    EXPECT_EQ(scene.At(button, 8, 8), (TRgb{76, 76, 76}));
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(leaves, 1);

    // With GrayedInactive off the glyph keeps its colours, without a frame.
    button->SetInactiveGrayed(false);
    EXPECT_EQ(scene.At(button, 8, 8), Rgb(clRed));
    EXPECT_EQ(scene.At(button, 0, 0), Rgb(clBtnFace));
}

TEST(SpeedButtonFlat, ADownFlatButtonShowsThePatternAndASunkenFrame)
{
    TScene scene;
    auto* button = scene.Add<TrpTBButton>(10, 10, 22, 22);
    button->SetAlign(alNone);
    button->SetBounds(10, 10, 22, 22);
    button->SetGroupIndex(1);
    button->SetDown(true);
    EXPECT_EQ(scene.At(button, 0, 0), Rgb(clBtnShadow));
    EXPECT_EQ(scene.At(button, 21, 21), Rgb(clBtnHighlight));
    // The checkerboard of white and face inside the frame.
    const TRgb a = scene.At(button, 2, 2), b = scene.At(button, 3, 2);
    EXPECT_NE(a, b);
    EXPECT_TRUE((a == Rgb(clWhite) && b == Rgb(clBtnFace)) || (b == Rgb(clWhite) && a == Rgb(clBtnFace)));
}

TEST(ToolbarPieces, SeparatorLinesSitInTheMiddle)
{
    TScene scene;
    auto* bar = scene.Add<TPanel>(0, 0, 300, 30);
    bar->SetAlign(alTop);
    auto* vertical = scene.Add<TrpTBSeparator>(0, 0, 8, 24, bar);
    ASSERT_EQ(vertical->Align(), alLeft);
    auto* side = scene.Add<TPanel>(0, 40, 40, 150);
    side->SetAlign(alLeft);
    auto* column = scene.Add<TPanel>(0, 0, 30, 150, side);
    auto* horizontal = scene.Add<TrpTBSeparator>(0, 0, 30, 8, column);
    ASSERT_EQ(horizontal->Align(), alTop) << "a bar on a left edge stacks its pieces";
    auto* button = scene.Add<TrpTBButton>(0, 0, 22, 22, column);
    EXPECT_EQ(button->Align(), alTop);
    auto* panel = scene.Add<TrpTBPanel>(0, 0, 8, 8, bar);
    EXPECT_EQ(panel->Align(), alLeft);

    const int h = vertical->Height(), w = horizontal->Width();
    EXPECT_EQ(scene.At(vertical, 3, 2), Rgb(clBtnShadow));
    EXPECT_EQ(scene.At(vertical, 3, h - 3), Rgb(clBtnShadow));
    EXPECT_EQ(scene.At(vertical, 4, 2), Rgb(clBtnHighlight));
    EXPECT_EQ(scene.At(vertical, 4, h - 3), Rgb(clBtnHighlight));
    EXPECT_EQ(scene.At(vertical, 3, 1), Rgb(clBtnFace));
    EXPECT_EQ(scene.At(vertical, 3, h - 2), Rgb(clBtnFace));
    EXPECT_EQ(scene.At(vertical, 2, 10), Rgb(clBtnFace));

    EXPECT_EQ(scene.At(horizontal, 2, 3), Rgb(clBtnShadow));
    EXPECT_EQ(scene.At(horizontal, w - 3, 3), Rgb(clBtnShadow));
    EXPECT_EQ(scene.At(horizontal, 2, 4), Rgb(clBtnHighlight));
    EXPECT_EQ(scene.At(horizontal, w - 2, 4), Rgb(clBtnFace));
    EXPECT_EQ(scene.At(horizontal, 10, 5), Rgb(clBtnFace));

    vertical->SetDrawBevel(false);
    EXPECT_EQ(scene.At(vertical, 3, 10), Rgb(clBtnFace));
}

TEST(GlyphCache, ButtonsOfOneGlyphSizeShareOneImageList)
{
    ASSERT_EQ(CachedGlyphListCount(), 0);
    {
        TScene scene;
        auto glyph = SolidGlyph(16, 16, clRed);
        std::vector<TrpSpeedButton*> buttons;
        for (int i = 0; i < 50; ++i) {
            auto* button = scene.Add<TrpSpeedButton>(10 + (i % 10) * 24, 10 + (i / 10) * 24, 22, 22);
            button->SetGlyph(glyph.get());
            button->Loaded();
            buttons.push_back(button);
        }
        ASSERT_EQ(CachedGlyphListCount(), 1);
        TGlyphList* shared = nullptr;
        {
            TGlyph probe;
            probe.SetGlyph(glyph.get());
            probe.CreateButtonGlyph(fbsUp);
            shared = probe.GlyphList();
            EXPECT_EQ(shared->UsedCount(), 51);
        }
        EXPECT_EQ(shared->UsedCount(), 50);

        // Another size has its own list until its button goes.
        auto* large = scene.Add<TrpSpeedButton>(300, 10, 40, 40);
        large->SetGlyph(SolidGlyph(32, 32, clRed).get());
        large->Loaded();
        EXPECT_EQ(CachedGlyphListCount(), 2);
        TComponent::Free(large);
        EXPECT_EQ(CachedGlyphListCount(), 1);

        // Changing a glyph gives its images back; so does a change of the system colours, which
        // the images hold.
        buttons[0]->SetNumGlyphs(2);
        EXPECT_EQ(shared->UsedCount(), 49);
        buttons[1]->Perform(CM_SYSCOLORCHANGE, 0, 0);
        EXPECT_EQ(shared->UsedCount(), 48);
    }
    EXPECT_FALSE(GlyphCacheExists());
}

TEST(ToolbarPieces, ABarOfButtonsLooksRight)
{
    TForm form(nullptr);
    form.SetBounds(60, 60, 240, 70);
    auto* top = new TPanel(&form);
    top->SetParent(&form);
    top->SetAlign(alTop);
    top->SetHeight(30);
    top->SetBevelOuter(bvNone);
    auto* bar = new TrpTBPanel(&form);
    bar->SetParent(top);
    bar->SetWidth(220);
    std::vector<TControl*> pieces;
    const TColor colours[] = {clNavy, clGreen, clMaroon, clPurple};
    auto addButton = [&](int k) {
        auto* button = new TrpTBButton(&form);
        button->SetParent(bar);
        button->SetBounds(1000, 0, 24, 24);
        // A square with a black outline: only black pixels show embossed when disabled.
        auto glyph = SolidGlyph(16, 16, clOlive);
        glyph->Canvas()->Brush()->SetColor(clBlack);
        glyph->Canvas()->FillRect(Rect(1, 1, 15, 15));
        glyph->Canvas()->Brush()->SetColor(colours[k]);
        glyph->Canvas()->FillRect(Rect(2, 2, 14, 14));
        glyph->Canvas()->Brush()->SetColor(clWhite);
        glyph->Canvas()->FillRect(Rect(5, 5, 11, 11));
        button->SetGlyph(glyph.get());
        return button;
    };
    auto addSeparator = [&] {
        auto* separator = new TrpTBSeparator(&form);
        separator->SetParent(bar);
        separator->SetBounds(1000, 0, 8, 24);
    };
    TrpTBButton* hovered = addButton(0);
    TrpTBButton* down = addButton(1);
    down->SetGroupIndex(1);
    down->SetDown(true);
    addSeparator();
    addButton(2);
    addSeparator();
    TrpTBButton* disabled = addButton(3);
    disabled->SetEnabled(false);
    form.Show();
    hovered->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(hovered));

    EXPECT_LT(hovered->Left(), down->Left());
    EXPECT_LT(down->Left(), disabled->Left());
    EXPECT_TRUE(GrabToPng(&form, ScreenshotFolder() + "/r03-toolbar.png"));
}
