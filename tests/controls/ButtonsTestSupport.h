#pragma once
// Shared pieces of the button and combo-edit tests: a shown, active form, pictures of windows
// read pixel by pixel, glyph strips of known colours, and mouse input on a control's host widget.

#include "platform/gui/Bitmap.h"
#include "platform/gui/Form.h"

#include <memory>
#include <string>
#include <vector>

class QWidget;

// The colours of the test glyphs: a red square with a black outline on magenta (transparent),
// a button-face block in the top-left corner and a blue pixel.
constexpr TColor GlyphTransparent = static_cast<TColor>(0xFF00FF);
constexpr TColor GlyphFill = clRed;
constexpr TColor GlyphOutline = clBlack;
constexpr TColor GlyphBlue = clBlue;

// A strip of cells glyphs of size x size; cell k's square is filled with fills[k] (GlyphFill
// when fills is shorter).
std::unique_ptr<TBitmap> MakeGlyph(int cells, int size = 16, const std::vector<TColor>& fills = {});

// A form shown and made the active window; the pointer is over UnderPointer for the hover code.
class TButtonScene {
public:
    explicit TButtonScene(int width = 360, int height = 200, int left = 60, int top = 60);
    ~TButtonScene();
    TButtonScene(const TButtonScene&) = delete;
    TButtonScene& operator=(const TButtonScene&) = delete;
    TForm* Form() const { return FForm.get(); }
    void ShowAndActivate();
    TControl* UnderPointer = nullptr;

private:
    std::unique_ptr<TForm> FForm;
};

void PumpFor(int ms);
QWidget* HostOf(TControl* control);
// Mouse input on the control's host widget, at client point (x, y).
void PressOn(TControl* control, int x = 5, int y = 5);
void ReleaseOn(TControl* control, int x = 5, int y = 5);
void MoveOn(TControl* control, int x, int y);
void ClickOn(TControl* control, int x = 5, int y = 5);

// A picture of a window: the control's pixels at its own client coordinates.
class TControlPicture {
public:
    // Grabs the window of control, or of its parent for a graphic control.
    explicit TControlPicture(TControl* control);
    TColor At(int x, int y);
    TBitmap& Bitmap() { return FBitmap; }

private:
    TBitmap FBitmap;
    TPoint FOffset;
};

// A label with text at (x, y) of parent, for the demonstration forms.
void AddLabel(TWinControl* parent, int x, int y, const std::string& text);

// The screenshot folder of the tests (TESS_SCREENSHOT_DIR, else the scratch folder).
std::string ButtonsPictureDir();
