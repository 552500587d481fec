// The application's presence on the D-Bus session bus: a well-known name and
// one object offering the Apple event transport, the Find scripting method and
// org.freedesktop.Application. Names and signatures: docs/dbus.md.
#pragma once

#include "platform/MacTypes.h"

inline constexpr const char* kSeekwrightBusName = "org.seekwright.Seekwright1";
inline constexpr const char* kSeekwrightObjectPath = "/org/seekwright/Seekwright1";
inline constexpr const char* kSeekwrightInterface = "org.seekwright.Seekwright1";

enum class BusServiceStatus : UInt8 {
    kRunning,         // the name is ours; calls arrive through the event loop
    kNoSessionBus,    // no session bus could be reached
    kNameTaken,       // another process owns the name; it keeps it
    kRegisterFailed,  // the object could not be exported
};

// Exports the object and asks for the name without replacing its owner and
// without queueing. Incoming Apple events are dispatched with
// AEProcessAppleEvent when the event loop runs; a call that arrives while a
// handler is running (inside a modal alert) waits until that handler returns.
// Needs InitDisplay (platform/EventLoop.h) first.
BusServiceStatus StartBusService();
// Gives the name back and withdraws the object (at exit, or in tests).
void StopBusService();
