// The progress of a running search, shown while a find command asks for
// display. The handler opens and closes it; item evaluation updates it once
// per catalog entry. Where it appears is decided by the installed display:
// without one, a status line on standard error when that is a terminal.
#pragma once

#include "platform/CoreFoundation.h"
#include "platform/MacTypes.h"

void OpenProgressWindow();
// The counts are those before the current entry is counted; `criteria` is
// zero-terminated Mac OS Roman, shown once per window. Does nothing while no
// window is open.
void UpdateProgressWindow(CFStringRef folderPath, CFStringRef itemName, SInt32 filesScanned,
                          SInt32 foldersScanned, SInt32 filesMatched, SInt32 foldersMatched,
                          const char* criteria);
void CloseProgressWindow();

// A place to show progress (a window, a terminal). The window display installs one.
struct ProgressDisplay {
    virtual ~ProgressDisplay() = default;
    virtual void Open() = 0;
    virtual void Update(CFStringRef folderPath, CFStringRef itemName, SInt32 filesScanned,
                        SInt32 foldersScanned, SInt32 filesMatched, SInt32 foldersMatched,
                        const char* criteria) = 0;
    virtual void Close() = 0;
};
// Installs `display` (not owned; nullptr restores the terminal status line)
// and returns the previous one.
ProgressDisplay* SetProgressDisplay(ProgressDisplay* display);
