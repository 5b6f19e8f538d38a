#pragma once
// Hints: the hint window class and the record the hint manager fills before showing one.

#include "platform/gui/WinControl.h"

#include <functional>
#include <string>

struct THintInfo {
    TControl* HintControl = nullptr;
    TPoint HintPos;
    int HintMaxWidth = 0;
    TColor HintColor = clInfoBk;
    TRect CursorRect;
    TPoint CursorPos;
    int ReshowTimeout = 0;
    int HideTimeout = 0;
    std::string HintStr;
    void* HintData = nullptr;
};

// A frameless top-level window that never takes the focus, stays on top and shows one hint.
class THintWindow : public TCustomControl {
    TESS_CLASS(THintWindow, TCustomControl)
public:
    explicit THintWindow(TComponent* AOwner);

    // Sets the caption, moves the window to rect made 4 pixels taller (kept inside the screen)
    // and shows it without activating it.
    virtual void ActivateHint(TRect rect, const std::string& hint);
    virtual void ActivateHintData(TRect rect, const std::string& hint, void* data);
    // The text measured from (0, 0), word-wrapped to maxWidth without "&" prefixes, widened by 6
    // and heightened by 2.
    virtual TRect CalcHintRect(int maxWidth, const std::string& hint, void* data);
    // Hides the window.
    void ReleaseHandle();

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
};

// Makes the hint window of the application; an empty factory means THintWindow.
using THintWindowClass = std::function<THintWindow*(TComponent* Owner)>;

// The first part of a hint ("Breve" of "Breve|Lunga") and the second (the whole text without "|").
std::string GetShortHint(const std::string& hint);
std::string GetLongHint(const std::string& hint);
