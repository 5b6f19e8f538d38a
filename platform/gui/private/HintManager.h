#pragma once
// The application's hint manager, fed by the host widgets.

#include "platform/gui/Control.h"

namespace HintManager {
// The mouse moved over control (screen position).
void MouseMoved(TControl* control, TPoint screenPos);
// The mouse left control.
void MouseLeft(TControl* control);
// A key or a button was pressed: the hint hides.
void Cancel();
// The control is being destroyed.
void Forget(TControl* control);
} // namespace HintManager

namespace Popups {
// A popup window (WS_POPUP without parent) was shown; owner is the control that had the focus.
void Shown(TWinControl* popup);
void Hidden(TWinControl* popup);
// A press on control: the owners of the popups it lies outside hear CM_CANCELMODE.
void PressOutside(TControl* pressed);
void Forget(TControl* control);
} // namespace Popups

// Connects QApplication::focusChanged to the layer (once).
void InstallFocusTracking();
