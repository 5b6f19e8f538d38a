#pragma once
// The cursors of the screen's table as Qt cursors.

#include "platform/gui/Control.h"

#include <QCursor>

QCursor QtCursorOf(TCursor cursor);
// Shows the control's cursor on its widget.
void ApplyControlCursor(TControl* control);
