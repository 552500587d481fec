// Time, keyboard state and the few system queries that start-up and the
// search loop need.
#pragma once

#include "platform/MacTypes.h"

UInt32
TickCount();  // 60 per second                // sixtieths of a second since the process started
void GetDateTime(UInt32* secs);  // local time, seconds since 1904-01-01

// Key state: bit n of the 128-bit map is set while virtual key n is down.
using KeyMap = UInt32[4];
inline constexpr int kVirtualCommandKey = 0x37;
inline constexpr int kVirtualPeriodKey = 0x2F;
void GetKeys(KeyMap keys);
// The backend (terminal signal or window key events) reports Command-period
// here; GetKeys shows both keys down until ClearCommandPeriod.
void PostCommandPeriod();
void ClearCommandPeriod();

struct EventRecord {
    UInt16 what;
    UInt32 message;
    UInt32 when;
};
inline constexpr UInt16 updateMask = 0x0040;
// Gives the display a turn (updates only); false when there was nothing to do.
Boolean WaitNextEvent(UInt16 eventMask, EventRecord* event, UInt32 sleep, void* mouseRgn);
// The window display installs a hook that processes pending update events.
using WaitNextEventHook = Boolean (*)(UInt16 eventMask, UInt32 sleep);
WaitNextEventHook SetWaitNextEventHook(WaitNextEventHook hook);

OSErr Gestalt(OSType selector, SInt32* response);
inline constexpr OSType gestaltSystemVersion = FourCC("sysv");
