// The client side of the application's bus interface, for front ends: sends
// an Apple event to the running application (the bus starts it when it is
// not running and its service file is installed) and reads the reply.
#pragma once

#include "platform/AppleEvents.h"
#include "platform/MacTypes.h"

// With waitReply, waits without a time limit (a search takes as long as it
// takes) and fills `reply` with the application's reply; the reply travels in
// a sealed memory file, so it has no size limit of the bus. Without waitReply
// the event is posted with no reply expected and `reply` is left null: the
// application's handler then sees a reply without data.
// Results: noErr; connectionInvalid when no session bus can be reached;
// procNotFound when the application is not running and cannot be started;
// errAECorruptData for an unreadable reply; errAEEventNotHandled when the
// application refused the event; memFullErr when the event is too large.
OSErr SendAppleEventToApp(const AppleEvent* event, AppleEvent* reply, Boolean waitReply);

// A readable sentence for the last failure of SendAppleEventToApp on this
// thread (the bus's own error text), empty after a success.
const char* BusClientLastError();
