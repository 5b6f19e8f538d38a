// The drawing demonstration: a form whose custom control paints every kind of drawing of the
// layer; it is grabbed to demo-grafica.png for a person to look at.

#include "GuiTestSupport.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Form.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Icon.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/Resources.h"
#include "platform/gui/TextOutput.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class TDemoDisegno : public TCustomControl {
    TESS_CLASS(TDemoDisegno, TCustomControl)
public:
    explicit TDemoDisegno(TComponent* AOwner) : TCustomControl(AOwner)
    {
        FCanvas.SetControl(this);
        FGlyph.SetSize(16, 16);
        TCanvas* g = FGlyph.Canvas();
        g->Brush()->SetColor(clFuchsia);
        g->FillRect(Rect(0, 0, 16, 16));
        g->Brush()->SetColor(clNavy);
        g->Pen()->SetColor(clNavy);
        g->Ellipse(2, 2, 14, 14);
        g->Brush()->SetColor(clYellow);
        g->FillRect(Rect(6, 6, 10, 10));
        FList.AddMasked(&FGlyph, clFuchsia);
        TBitmap second;
        second.Assign(&FGlyph);
        second.Canvas()->Brush()->SetColor(clRed);
        second.Canvas()->FillRect(Rect(6, 6, 10, 10));
        FList.AddMasked(&second, clFuchsia);
        FIcon.SetHandle(CopyIcon(LoadIconA(nullptr, MAKEINTRESOURCE(IDI_EXCLAMATION))));
        {
            TMetafileCanvas recording(&FMetafile, nullptr);
            recording.Brush()->SetColor(clAqua);
            recording.Rectangle(0, 0, 40, 24);
            recording.Font()->SetName("Arial");
            recording.Font()->SetSize(8);
            recording.Brush()->SetStyle(bsClear);
            recording.TextOut(4, 5, "EMF");
        }
    }

protected:
    void Paint() override
    {
        TCanvas& c = FCanvas;
        c.Brush()->SetColor(clWhite);
        c.Brush()->SetStyle(bsSolid);
        c.FillRect(Rect(0, 0, Width(), Height()));
        // The 16 pen modes over a stripe of colours.
        const TColor stripe[4] = {clRed, clLime, clBlue, clYellow};
        for (int i = 0; i < 4; ++i) {
            c.Brush()->SetColor(stripe[i]);
            c.FillRect(Rect(10, 10 + i * 5, 330, 15 + i * 5));
        }
        c.Pen()->SetWidth(6);
        c.Pen()->SetColor(clFuchsia);
        for (int mode = 0; mode < 16; ++mode) {
            c.Pen()->SetMode(static_cast<TPenMode>(mode));
            c.MoveTo(16 + mode * 20, 8);
            c.LineTo(16 + mode * 20, 32);
        }
        c.Pen()->SetMode(pmCopy);
        c.Pen()->SetWidth(1);
        c.Pen()->SetColor(clBlack);
        // Every pen style on rectangles and ellipses.
        c.Brush()->SetColor(clWhite);
        for (int style = 0; style < 7; ++style) {
            c.Pen()->SetStyle(static_cast<TPenStyle>(style));
            c.Rectangle(10 + style * 45, 45, 50 + style * 45, 75);
            c.Ellipse(10 + style * 45, 80, 50 + style * 45, 105);
        }
        c.Pen()->SetStyle(psSolid);
        // Hatched brushes.
        for (int hatch = 0; hatch < 6; ++hatch) {
            c.Brush()->SetStyle(static_cast<TBrushStyle>(bsHorizontal + hatch));
            c.Brush()->SetColor(clGreen);
            c.Rectangle(10 + hatch * 40, 115, 45 + hatch * 40, 145);
        }
        c.Brush()->SetStyle(bsClear);
        // Fonts at 8, 10 and 12 points, labelled short so that the columns do not run together.
        const char* faces[3] = {"Arial", "Times New Roman", "Courier New"};
        const char* labels[3] = {"Arial", "Times", "Courier"};
        for (int f = 0; f < 3; ++f)
            for (int s = 0; s < 3; ++s) {
                c.Font()->SetName(faces[f]);
                c.Font()->SetSize(8 + 2 * s);
                c.TextOut(10 + s * 105, 155 + f * 20, std::string(labels[f]) + " " + std::to_string(8 + 2 * s));
            }
        HFONT turned = CreateFontA(-16, 0, 900, 900, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
        HGDIOBJ old = SelectObject(c.Handle(), turned);
        SetBkMode(c.Handle(), TRANSPARENT);
        TextOutA(c.Handle(), 345, 150, "Verticale");
        SelectObject(c.Handle(), old);
        DeleteObject(turned);
        // A paragraph: word break, centring and a prefix.
        c.Font()->SetName("Arial");
        c.Font()->SetSize(9);
        RECT paragraph{380, 10, 620, 110};
        DrawTextA(c.Handle(),
                  "Il &totale della fattura \xE8 calcolato sulle righe del documento, con l'IVA al 22% "
                  "e lo sconto in \x80.",
                  -1, &paragraph, DT_CENTER | DT_WORDBREAK);
        // A glyph: normal, transparent, disabled and as a mask, on a button face so that the
        // embossed (disabled) drawing shows its highlight.
        c.Brush()->SetStyle(bsSolid);
        c.Brush()->SetColor(clBtnFace);
        c.FillRect(Rect(375, 115, 476, 176));
        c.Draw(380, 120, &FGlyph);
        FGlyph.SetTransparent(true);
        c.Draw(400, 120, &FGlyph);
        FGlyph.SetTransparent(false);
        FList.Draw(&c, 420, 120, 0, false);
        ImageList_Draw(FList.Handle(), 0, c.Handle(), 440, 120, ILD_MASK);
        // An image list row and an icon.
        for (int i = 0; i < FList.Count(); ++i)
            FList.Draw(&c, 380 + i * 20, 145, i);
        c.Draw(440, 140, &FIcon);
        // The recorded metafile at double size.
        c.StretchDraw(Rect(500, 130, 580, 178), &FMetafile);
        // Edges and frame controls.
        RECT edge{380, 190, 440, 220};
        DrawEdge(c.Handle(), &edge, EDGE_RAISED, BF_RECT | BF_MIDDLE);
        RECT check{450, 195, 463, 208};
        DrawFrameControl(c.Handle(), &check, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
        c.Pen()->SetColor(clMaroon);
        c.Brush()->SetStyle(bsSolid);
        c.Brush()->SetColor(clSkyBlue);
        c.Pie(480, 190, 530, 240, 530, 215, 505, 190);
        c.Chord(540, 190, 590, 240, 590, 215, 540, 215);
        c.Arc(600, 190, 630, 220, 630, 205, 615, 190);
        c.RoundRect(380, 230, 460, 260, 12, 12);
        c.Polygon({{10, 270}, {60, 250}, {110, 290}, {30, 300}});
        FCanvas.FreeHandle();
    }

private:
    TControlCanvas FCanvas;
    TBitmap FGlyph;
    TImageList FList{16, 16};
    TIcon FIcon;
    TMetafile FMetafile;
};

TEST(DemoGrafica, DrawsEveryElementAndGrabsIt)
{
    TForm form(nullptr);
    form.SetName("FormDemoGrafica");
    form.SetCaption("Demo grafica");
    form.SetClientWidth(640);
    form.SetClientHeight(480);
    auto* disegno = new TDemoDisegno(&form);
    disegno->SetParent(&form);
    disegno->SetBounds(0, 0, 640, 320);
    auto* seconda = new TCustomControl(&form);
    seconda->SetParent(&form);
    seconda->SetBounds(0, 330, 640, 150);
    ShowAndActivate(&form);
    Pump(100);

    // A frame drawn outside Paint on the second control.
    TControlCanvas outside;
    outside.SetControl(seconda);
    outside.Brush()->SetColor(clRed);
    outside.FrameRect(Rect(10, 10, 200, 100));
    outside.FreeHandle();
    Pump(50);

    TControlCanvas probe;
    probe.SetControl(disegno);
    EXPECT_EQ(probe.Pixels(10, 45), clBlack);          // rectangle corner
    EXPECT_EQ(probe.Pixels(49, 74), clBlack);
    EXPECT_EQ(probe.Pixels(50, 75), clWhite);          // right and bottom left out
    EXPECT_EQ(probe.Pixels(30, 60), clWhite);          // its inside
    EXPECT_EQ(probe.Pixels(381 + 6, 120 + 6), clYellow);
    EXPECT_EQ(probe.Pixels(440, 120), clWhite);         // the mask: white where clear
    EXPECT_EQ(probe.Pixels(448, 128), clBlack);         // and black where the glyph is
    EXPECT_EQ(probe.Pixels(400, 120), ColorToRGB(clBtnFace)); // the transparent glyph's corner
    EXPECT_EQ(probe.Pixels(500, 130), clBlack);         // the metafile's rectangle at double size
    EXPECT_EQ(probe.Pixels(579, 177), clBlack);
    EXPECT_EQ(probe.Pixels(504, 134), clAqua);
    probe.FreeHandle();
    TControlCanvas probeSecond;
    probeSecond.SetControl(seconda);
    EXPECT_EQ(probeSecond.Pixels(10, 10), clRed);
    EXPECT_EQ(probeSecond.Pixels(199, 99), clRed);
    probeSecond.FreeHandle();

    const std::string path = ScreenshotDir() + "/demo-grafica.png";
    EXPECT_TRUE(GrabToPng(&form, path));
    EXPECT_TRUE(std::filesystem::exists(path));
}

} // namespace
