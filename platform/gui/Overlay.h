#pragma once
// Overlays that stand in for XOR drawing on the screen and on a form over its children. The
// drawing itself goes through the device contexts of the canvas layer; this unit only offers
// the clean-up a program may need.

class TWinControl;

// Clears the screen overlay (what XOR drawing on the desktop left behind).
void ClearScreenOverlay();
// Clears the overlay of a form.
void ClearFormOverlay(TWinControl* form);
