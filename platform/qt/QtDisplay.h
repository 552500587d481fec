// Inside the Qt backend: the application object and the window display's pieces.
#pragma once

#include <QString>

#include "platform/MacTypes.h"

namespace swqt {

// Mac OS Roman Str255 as a QString; a carriage return becomes a line break.
QString FromPString(ConstStr255Param text);

// Whether a display server is reachable from the environment (DISPLAY or
// WAYLAND_DISPLAY with a socket that accepts a connection).
bool DisplayReachable();

// For ShutdownDisplay: stop every event-loop timer; close the menu bar window.
void RemoveAllTimers();
void CloseMenuBarWindow();

}  // namespace swqt
