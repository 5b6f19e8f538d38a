#pragma once
// The screen: forms and data modules, the active form and control, the cursor table with the
// application-wide override cursor, the screen size and the default fonts.

#include "platform/gui/Control.h"
#include "platform/gui/Resources.h"

#include <vector>

class TCustomForm;
class TForm;

constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
                  crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11, crDrag = -12,
                  crNoDrop = -13, crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17, crNo = -18,
                  crAppStart = -19, crHelp = -20, crHandPoint = -21, crSizeAll = -22, crSize = -22;

// The system cursor of an IDC_ value (the instance must be null).
HCURSOR LoadCursor(HINSTANCE instance, int id);
// Shows cursor over the control under the mouse; returns the previous one. Any cursor handle
// serves: the table's, a system one or a program cursor loaded from the resources.
HCURSOR SetCursor(HCURSOR cursor);

class TScreen : public TComponent {
    TESS_CLASS(TScreen, TComponent)
public:
    explicit TScreen(TComponent* AOwner);
    ~TScreen() override;

    int FormCount() const { return static_cast<int>(FForms.size()); }
    TForm* Forms(int index) const;
    int CustomFormCount() const { return static_cast<int>(FForms.size()); }
    TCustomForm* CustomForms(int index) const { return FForms.at(static_cast<std::size_t>(index)); }
    int DataModuleCount() const;
    TDataModule* DataModules(int index) const;
    TCustomForm* FindForm(const std::string& name) const;
    TDataModule* FindDataModule(const std::string& name) const;
    int IndexOfForm(const TCustomForm* form) const;

    TForm* ActiveForm() const;
    TCustomForm* ActiveCustomForm() const { return FActiveForm; }
    TWinControl* ActiveControl() const { return FActiveControl; }

    // One application-wide override cursor: any value but crDefault replaces it, crDefault removes it.
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);
    // A slot never assigned answers the crDefault cursor. SetCursors copies the cursor of any
    // handle SetCursor takes.
    HCURSOR Cursors(int index) const;
    void SetCursors(int index, HCURSOR cursor);

    int Width() const;
    int Height() const;
    int DesktopLeft() const;
    int DesktopTop() const;
    int DesktopWidth() const;
    int DesktopHeight() const;
    TRect WorkAreaRect() const;
    int WorkAreaLeft() const { return WorkAreaRect().Left; }
    int WorkAreaTop() const { return WorkAreaRect().Top; }
    int WorkAreaWidth() const { return WorkAreaRect().Width(); }
    int WorkAreaHeight() const { return WorkAreaRect().Height(); }
    int PixelsPerInch() const { return 96; }
    TFont* HintFont() const { return FHintFont.get(); }
    TFont* MenuFont() const { return FMenuFont.get(); }
    TFont* IconFont() const { return FIconFont.get(); }
    // Filled by the font unit of the canvas layer.
    std::vector<std::string> Fonts;

    TNotifyEvent OnActiveControlChange;
    TNotifyEvent OnActiveFormChange;

    // The layer's bookkeeping.
    void AddForm(TCustomForm* form);
    void RemoveForm(TCustomForm* form);
    void SetActiveFormInternal(TCustomForm* form);
    void SetActiveControlInternal(TWinControl* control, TCustomForm* form);

private:
    std::vector<TCustomForm*> FForms;
    TCustomForm* FActiveForm = nullptr;
    TWinControl* FActiveControl = nullptr;
    TCursor FCursor = crDefault;
    std::unique_ptr<TFont> FHintFont;
    std::unique_ptr<TFont> FMenuFont;
    std::unique_ptr<TFont> FIconFont;
};

extern TScreen* Screen;
