#include "app/ProgressDialog.h"

#include <cstring>
#include <memory>
#include <new>

#include "text/TextUtils.h"

DialogRef progressDialog = nullptr;

namespace {

// What the items show now, so that an update touches only what changed.
Str255 shownFolderPath;
Str255 shownItemName;
Boolean criteriaShown = false;
SInt16 shownFoldersScanned = -1;
SInt16 shownFoldersMatched = -1;
SInt16 shownFilesScanned = -1;
SInt16 shownFilesMatched = -1;

void SetItemBytes(DialogItemIndex item, const void* bytes, Size size) {
    ControlRef control = nullptr;
    GetDialogItemAsControl(progressDialog, item, &control);
    SetControlData(control, kControlEntireControl, kControlStaticTextTextTag, size, bytes);
}

void SetItemNumber(DialogItemIndex item, SInt32 value) {
    Str255 text;
    NumToString(value, text);
    SetItemBytes(item, text + 1, text[0]);
}

SInt16 ItemWidth(DialogItemIndex item) {
    Rect box{};
    GetDialogItem(progressDialog, item, nullptr, nullptr, &box);
    return static_cast<SInt16>(box.right - box.left - 4);
}

// Item 4 or 6: the string truncated to the item, written when it differs
// from what is shown.
void UpdateTextItem(DialogItemIndex item, CFStringRef string, Str255 shown, Str255 truncated) {
    TruncateToItemWidth(string, truncated, ItemWidth(item));
    if (IdenticalString(truncated, shown) != 0) SetItemBytes(item, truncated + 1, truncated[0]);
}

void UpdateCount(DialogItemIndex item, SInt32 count, SInt16 shown) {
    if (count != static_cast<SInt32>(shown)) SetItemNumber(item, count);
}

}  // namespace

SInt16 TruncateToItemWidth(CFStringRef string, Str255 out, SInt16 width) {
    if (progressDialog == nullptr) return 0;
    const CFIndex capacity =
        CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingMacRoman) + 1;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[capacity > 0 ? capacity : 1]);
    if (!buffer) {
        out[0] = 0;
        return memFullErr;
    }
    if (!CFStringGetCString(string, buffer.get(), capacity, kCFStringEncodingMacRoman)) {
        // No Mac OS Roman form: show nothing rather than a half-converted text.
        out[0] = 0;
        return 0;
    }
    const std::size_t full = std::strlen(buffer.get());
    SInt16 length = static_cast<SInt16>(full > 32767 ? 32767 : full);
    const SInt16 result = TruncText(width, buffer.get(), &length, truncMiddle);
    if (result == Truncated || full > 32767) buffer[length] = '\0';
    CToPString(buffer.get(), out);
    return result;
}

void ProgressDialogDisplay::Open() {
    shownFolderPath[0] = 0;
    shownItemName[0] = 0;
    criteriaShown = false;
    shownFoldersScanned = shownFoldersMatched = shownFilesScanned = shownFilesMatched = -1;
    progressDialog = GetNewDialog(kProgressDialogID, nullptr, kInFrontOfAllWindows);
    if (progressDialog == nullptr) return;
    ShowWindow(GetDialogWindow(progressDialog));
    DrawDialog(progressDialog);
}

void ProgressDialogDisplay::Update(CFStringRef folderPath, CFStringRef itemName,
                                   SInt32 filesScanned, SInt32 foldersScanned, SInt32 filesMatched,
                                   SInt32 foldersMatched, const char* criteria) {
    if (progressDialog == nullptr) return;
    Str255 path;
    Str255 name;
    UpdateTextItem(4, folderPath, shownFolderPath, path);
    UpdateTextItem(6, itemName, shownItemName, name);
    if (!criteriaShown && criteria != nullptr) {
        SetItemBytes(16, criteria, static_cast<Size>(std::strlen(criteria)));
    }
    UpdateCount(8, foldersScanned, shownFoldersScanned);
    UpdateCount(10, foldersMatched, shownFoldersMatched);
    UpdateCount(12, filesScanned, shownFilesScanned);
    UpdateCount(14, filesMatched, shownFilesMatched);
    DrawDialog(progressDialog);

    CopyPString(path, shownFolderPath);
    CopyPString(name, shownItemName);
    shownFoldersScanned = static_cast<SInt16>(foldersScanned);
    shownFoldersMatched = static_cast<SInt16>(foldersMatched);
    shownFilesScanned = static_cast<SInt16>(filesScanned);
    shownFilesMatched = static_cast<SInt16>(filesMatched);
    criteriaShown = true;
}

void ProgressDialogDisplay::Close() {
    if (progressDialog == nullptr) return;
    DisposeDialog(progressDialog);
    progressDialog = nullptr;
}
