// The progress window as dialog 129 of the window display: installed by the
// application when it has windows, in place of the terminal status line.
#pragma once

#include "command/ProgressWindow.h"
#include "platform/CoreFoundation.h"
#include "platform/Dialogs.h"
#include "platform/MacTypes.h"

// The open progress dialog, nullptr between searches or when dialog 129 is missing.
extern DialogRef progressDialog;

// Truncates `string` in the middle to `width` pixels into `out`; the TruncText
// result (0 not truncated, 1 truncated, negative on error). A string without
// a Mac OS Roman form gives an empty `out`.
SInt16 TruncateToItemWidth(CFStringRef string, Str255 out, SInt16 width);

class ProgressDialogDisplay final : public ProgressDisplay {
  public:
    void Open() override;
    void Update(CFStringRef folderPath, CFStringRef itemName, SInt32 filesScanned,
                SInt32 foldersScanned, SInt32 filesMatched, SInt32 foldersMatched,
                const char* criteria) override;
    void Close() override;
};
