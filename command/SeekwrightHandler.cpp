#include "command/SeekwrightHandler.h"

#include <charconv>
#include <cstring>

#include "command/ProgressWindow.h"
#include "params/Intake.h"
#include "params/SearchParameters.h"
#include "platform/CoreFoundation.h"
#include "platform/Events.h"
#include "platform/Files.h"
#include "search/SearchState.h"
#include "text/Alerts.h"

namespace {

// A Str255 composed from pieces, cut at 255 bytes.
class AlertText {
  public:
    AlertText() { text_[0] = 0; }
    explicit AlertText(const char* s) : AlertText() { Append(s); }
    AlertText& Append(const char* s) { return AppendBytes(s, std::strlen(s)); }
    AlertText& AppendNumber(long value) {
        char digits[24];
        auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
        (void)ec;
        return AppendBytes(digits, static_cast<std::size_t>(end - digits));
    }
    AlertText& AppendBytes(const char* bytes, std::size_t count) {
        const std::size_t room = 255 - text_[0];
        if (count > room) count = room;
        std::memcpy(text_ + 1 + text_[0], bytes, count);
        text_[0] = static_cast<unsigned char>(text_[0] + count);
        return *this;
    }
    ConstStr255Param get() const { return text_; }

  private:
    Str255 text_;
};

void ShowAlert(AlertType type, const AlertText& error, const AlertText* explanation) {
    (void)StandardAlert(type, error.get(), explanation != nullptr ? explanation->get() : nullptr,
                        &alertParams, &alertItemHit);
}

// A stop alert whose explanation is a fixed prefix followed by a result code.
void ShowStopAlert(const char* error, const char* prefix, long code) {
    AlertText explanation(prefix);
    explanation.AppendNumber(code);
    ShowAlert(kAlertStopAlert, AlertText(error), &explanation);
}

bool Silenced() {
    return SearchParameters.wantSilence != 0;
}

// The texts that differ between the disk list and the folder list.
struct LocationTexts {
    const char* fetchFailed;
    const char* noPath;
    const char* walkFailed;
};
constexpr LocationTexts kDiskTexts = {
    "Could not get an item from the search disk list.",
    "Could not convert a search disk FSRef into a path.",
    "An error occurred while searching an item in the search disks list.",
};
constexpr LocationTexts kFolderTexts = {
    "Could not get an item from the search folder list.",
    "Could not convert a search folder FSRef into a path.",
    "An error occurred while searching an item in the search folders list.",
};

void SearchOneRoot(const AEDescList* list, long index, const LocationTexts& texts) {
    FSRef root;
    AEKeyword keyword;
    DescType actualType;
    Size actualSize;
    const OSErr err =
        AEGetNthPtr(list, index, typeFSRef, &keyword, &actualType, &root, sizeof root, &actualSize);
    if (err == errAECoercionFail || err == errAEDescNotFound) return;
    if (err != noErr) {
        if (!Silenced())
            ShowStopAlert(texts.fetchFailed,
                          "SeekwrightHandler() > AEGetNthPtr() returned error: ", err);
        return;
    }

    const CFURLPathStyle style =
        SearchParameters.resultType == FourCC("path") ? kCFURLHFSPathStyle : kCFURLPOSIXPathStyle;
    CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, &root);
    CFStringRef path = url != nullptr ? CFURLCopyFileSystemPath(url, style) : nullptr;
    if (url != nullptr) CFRelease(url);
    if (path == nullptr) {
        // Also when the path has no form in the chosen style: nothing to build results from.
        if (!Silenced())
            ShowStopAlert(texts.noPath,
                          "SeekwrightHandler() > FSRefMakePath() returned error: ", err);
        return;
    }
    SearchState.currentRootPath = CFStringCreateMutableCopy(kCFAllocatorDefault, 0, path);
    CFRelease(path);

    const OSErr walkErr = IterateFolder(&root);
    if (walkErr != noErr && !Silenced())
        ShowStopAlert(texts.walkFailed,
                      "SeekwrightHandler() > IterateFolder() returned error: ", walkErr);

    if (SearchState.currentRootPath != nullptr) CFRelease(SearchState.currentRootPath);
    SearchState.currentRootPath = nullptr;
}

void SearchLocations(const AEDescList* list, const LocationTexts& texts) {
    long count = 0;
    if (AECountItems(list, &count) != noErr) count = 0;
    for (long i = 1; i <= count; ++i) SearchOneRoot(list, i, texts);
}

void ResetSearchState() {
    SearchState.searchActive = true;
    SearchState.userAborted = false;
    SearchState.itemsMatched = SearchState.foldersMatched = SearchState.filesMatched = 0;
    SearchState.itemsScanned = SearchState.foldersScanned = SearchState.filesScanned = 0;
    SearchState.startTicks = TickCount();
    // A Command-period typed before this search began is not meant for it.
    ClearCommandPeriod();
}

void ShowSummary() {
    AlertText explanation;
    explanation.AppendNumber(static_cast<long>(SearchState.filesMatched) +
                             SearchState.foldersMatched);
    explanation.Append(" items matched out of ");
    explanation.AppendNumber(SearchState.itemsScanned);
    explanation.Append(" items scanned.\r");
    explanation.Append("Elapsed search time was ");
    explanation.AppendNumber(static_cast<long>(TickCount() - SearchState.startTicks));
    explanation.Append(" ticks (");
    explanation.AppendNumber(static_cast<long>((TickCount() - SearchState.startTicks) / 60u));
    explanation.Append(" seconds).");
    ShowAlert(kAlertPlainAlert, AlertText("Search Results:"), &explanation);
}

void ShowAborted() {
    AlertText explanation("The search was aborted because you pressed ");
    explanation.Append("\xF0");  // the Apple logo in Mac OS Roman, for the Command key
    explanation.Append("-. (Command-Period) on the keyboard. Results may be incomplete.");
    ShowAlert(kAlertCautionAlert, AlertText("The search was aborted."), &explanation);
}

}  // namespace

OSErr SeekwrightHandler(const AppleEvent* event, AppleEvent* reply, long /*refcon*/) {
    if (reply == nullptr || reply->dataHandle == nullptr) {
        // The flag is the previous command's: this command is not read at all.
        if (!Silenced())
            ShowAlert(kAlertStopAlert, AlertText("The reply AppleEvent was not specified."),
                      nullptr);
        return noErr;
    }

    ClearSearchParameters();

    const OSErr intakeErr = MyGetAllParameters(event);
    if (intakeErr != noErr)
        ShowStopAlert("Failed to get all incoming parameters.",
                      "SeekwrightHandler() -> MyGetAllParameters() error: ", intakeErr);

    if (SearchParameters.searchDisks.dataHandle == nullptr &&
        SearchParameters.searchFolders.dataHandle == nullptr) {
        return noErr;
    }

    AEInitializeDesc(&SearchState.resultList);
    const OSErr listErr = AECreateList(nullptr, 0, false, &SearchState.resultList);
    if (listErr != noErr) {
        if (!Silenced())
            ShowStopAlert("Could not allocate storage for item list.",
                          "SeekwrightHandler() -> AECreateList() error: ", listErr);
        return listErr;
    }

    const bool display = SearchParameters.wantDisplay != 0;
    if (display) {
        BuildCriteriaText(SearchState.criteriaText, sizeof SearchState.criteriaText);
        OpenProgressWindow();
    }

    ResetSearchState();
    SearchLocations(&SearchParameters.searchDisks, kDiskTexts);
    SearchLocations(&SearchParameters.searchFolders, kFolderTexts);

    if (display) CloseProgressWindow();
    if (SearchParameters.wantResults == 1) ShowSummary();

    if (SearchState.resultList.dataHandle != nullptr) {
        const OSErr putErr = AEPutParamDesc(reply, keyDirectObject, &SearchState.resultList);
        if (putErr != noErr)
            ShowStopAlert("Failed to return results.",
                          "SeekwrightHandler() -> AEPutParamDesc() error: ", putErr);
        const OSErr disposeErr = AEDisposeDesc(&SearchState.resultList);
        if (disposeErr != noErr)
            ShowStopAlert("Failed to dispose of the list.",
                          "SeekwrightHandler() -> AEDisposeDesc() error: ", disposeErr);
    }

    if (SearchState.userAborted && !Silenced()) ShowAborted();
    return noErr;
}
