// Relocatable blocks ("handles"): a pointer to a master pointer to the data.
// NewHandle returns nullptr when memory is short. The routine that makes a
// handle disposes of it.
#pragma once

#include "platform/MacTypes.h"

Handle NewHandle(Size byteCount);
void DisposeHandle(Handle h);
Size GetHandleSize(Handle h);
OSErr SetHandleSize(Handle h, Size newSize);  // memFullErr when it cannot grow
void HLock(Handle h);                         // blocks never move here: lock and unlock do nothing
void HUnlock(Handle h);
OSErr MemError();  // result of the last handle call on this thread
