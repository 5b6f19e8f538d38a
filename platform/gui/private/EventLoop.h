#pragma once
// The layer's hooks into Qt's event loop: the wake object of the posted-message queue and the
// wait primitives the message functions, the application and the modal loops share.

#include <QEvent>
#include <QObject>

namespace EventLoop {
// Creates the wake object on the GUI thread (once) and installs the synchronisation dispatcher.
void Initialize();
// Processes pending events; with wait, blocks until at least one arrives.
void ProcessEvents(bool wait, bool excludeInput = false);
// Wakes a blocked ProcessEvents(true).
void Wake();
// Runs the calls other threads queued through TThread::Synchronize.
void ServeSynchronize();
} // namespace EventLoop

#include "platform/gui/Messages.h"

#include <functional>

namespace EventLoop {
// The application's OnMessage for the input messages the layer makes from Qt events: true when
// the application handled (dropped) the message.
std::function<bool(MSG&)>& InputFilter();
bool FilterInput(MSG& msg);
} // namespace EventLoop
