// The search locations: "in disks" and "in folders" as lists of file
// specifications, or every mounted volume when neither was given.

#include <cstring>
#include <string_view>

#include "params/Getters.h"
#include "params/Intake.h"
#include "params/IntakeText.h"
#include "params/SearchParameters.h"
#include "params/Terminology.h"
#include "platform/CoreFoundation.h"
#include "platform/Files.h"
#include "platform/Memory.h"

using namespace sw::intake;

namespace {

void ReleaseList(AEDescList* list) {
    if (list->dataHandle != nullptr) AEDisposeDesc(list);
    AEInitializeDesc(list);
}

bool IsTextType(DescType type) {
    // Unicode text is a path as much as Mac OS Roman text is; the event
    // manager gives it to us as 'TEXT'.
    return type == typeChar || type == typeStyledText || type == typeUnicodeText ||
           type == typeUTF8Text;
}

// An alias item resolved to a file specification in place. Returns 0, or the
// code of the step that failed after its alert.
OSErr ConvertAliasItem(AEDescList* list, long index) {
    AEKeyword keyword = 0;
    AEDesc aliasDesc;
    AEInitializeDesc(&aliasDesc);
    OSErr err = AEGetNthDesc(list, index, typeAlias, &keyword, &aliasDesc);
    if (err != noErr) {
        ShowCodeAlertUnlessSilenced("Could not resolve an alias.",
                                    "AEGetNthDesc() returned error: ", err,
                                    " in MyConvertListItemsToFSSpec().");
        return err;
    }

    Size size = AEGetDescDataSize(&aliasDesc);
    AliasHandle alias = NewHandle(size);
    if (alias == nullptr) {
        AEDisposeDesc(&aliasDesc);
        err = memFullErr;
        ShowCodeAlertUnlessSilenced("Could not resolve an alias.",
                                    "ResolveAlias() returned error: ", err,
                                    " in MyConvertListItemsToFSSpec().");
        return err;
    }
    if (size > 0) AEGetDescData(&aliasDesc, *alias, size);

    FSSpec spec;
    std::memset(&spec, 0, sizeof spec);
    Boolean changed = false;
    err = ResolveAlias(nullptr, alias, &spec, &changed);
    if (err != noErr) {
        ShowCodeAlertUnlessSilenced("Could not resolve an alias.",
                                    "ResolveAlias() returned error: ", err,
                                    " in MyConvertListItemsToFSSpec().");
    } else {
        err = AEPutPtr(list, index, typeFSS, &spec, sizeof spec);
        if (err != noErr) {
            ShowCodeAlertUnlessSilenced("Could not convert an alias into a file specification.",
                                        "AEPutPtr() returned error: ", err,
                                        " in MyConvertListItemsToFSSpec().");
        }
    }
    DisposeHandle(alias);
    AEDisposeDesc(&aliasDesc);
    return err;
}

// A text item that has no Mac OS Roman form (Unicode text with characters
// beyond it) cannot be a colon path. Its alert shows the UTF-8 bytes: the
// closest we can come to naming it.
void ReportUnreadablePath(const AEDescList* list, long index, OSErr err) {
    if (SearchParameters.wantSilence) return;
    AEKeyword keyword = 0;
    AEDesc utf8;
    AEInitializeDesc(&utf8);
    std::string_view shown;
    if (AEGetNthDesc(list, index, typeUTF8Text, &keyword, &utf8) == noErr &&
        AEGetDescDataPtr(&utf8) != nullptr) {
        shown = std::string_view(static_cast<const char*>(AEGetDescDataPtr(&utf8)),
                                 static_cast<std::size_t>(AEGetDescDataSize(&utf8)));
    }
    Str255 error;
    Str255 explanation;
    ComposeAround(error, "Could not convert \"", shown, "\" into a file specification.");
    SetPText(explanation,
             "Please verify that the path is correctly formatted and that the target file "
             "or folder actually exists.\n\nAEGetNthDesc() returned error: ");
    AppendNumber(explanation, err);
    ShowStopAlert(error, explanation);
    if (utf8.dataHandle != nullptr) AEDisposeDesc(&utf8);
}

// A text path item converted to a file specification in place.
OSErr ConvertTextItem(AEDescList* list, long index) {
    AEKeyword keyword = 0;
    AEDesc textDesc;
    AEInitializeDesc(&textDesc);
    OSErr err = AEGetNthDesc(list, index, typeChar, &keyword, &textDesc);
    if (err != noErr) {
        ReportUnreadablePath(list, index, err);
        return err;
    }

    Size size = AEGetDescDataSize(&textDesc);
    const char* bytes = static_cast<const char*>(AEGetDescDataPtr(&textDesc));
    if (bytes == nullptr) size = 0;
    // The path length travels as a 16-bit count; longer texts cannot be paths
    // anyway and are cut rather than wrapped to a negative length.
    SInt16 length = static_cast<SInt16>(size > 32767 ? 32767 : size);
    std::string_view path(bytes, static_cast<std::size_t>(length));

    FSSpec spec;
    std::memset(&spec, 0, sizeof spec);
    err = FSpLocationFromFullPath(length, bytes, &spec);
    if (err != noErr) {
        if (!SearchParameters.wantSilence) {
            Str255 error;
            Str255 explanation;
            ComposeAround(error, "Could not convert \"", path, "\" into a file specification.");
            SetPText(explanation,
                     "Please verify that the path is correctly formatted and that the target file "
                     "or folder actually exists.\n\nFSpLocationFromFullPath() returned error: ");
            AppendNumber(explanation, err);
            ShowStopAlert(error, explanation);
        }
    } else {
        err = AEPutPtr(list, index, typeFSS, &spec, sizeof spec);
        if (err != noErr && !SearchParameters.wantSilence) {
            Str255 error;
            Str255 explanation;
            ComposeAround(error, "Could not add \"", path, "\" to the list of search locations.");
            SetPText(explanation, "AEPutPtr() returned error: ");
            AppendNumber(explanation, err);
            ShowStopAlert(error, explanation);
        }
    }
    AEDisposeDesc(&textDesc);
    return err;
}

// Alert for a volume left out of the default list.
void ReportVolumeLeftOut(std::string_view before, std::string_view volumePath,
                         std::string_view call, OSErr err) {
    if (SearchParameters.wantSilence) return;
    Str255 error;
    Str255 explanation;
    ComposeAround(error, before, volumePath, "\". This volume will not be included in the search.");
    SetPText(explanation, call);
    AppendPText(explanation, "() returned an error: ");
    AppendNumber(explanation, err);
    ShowStopAlert(error, explanation);
}

// The volume's name in Mac OS Roman followed by ':', or false when the name
// has no Roman form or leaves no room for the colon.
bool VolumePathFromName(const HFSUniStr255& name, Str255 volumePath) {
    volumePath[0] = 0;
    CFStringRef string = CFStringCreateWithCharacters(kCFAllocatorDefault, name.unicode,
                                                      name.length > 255 ? 255 : name.length);
    if (string == nullptr) return false;
    Boolean converted = CFStringGetPascalString(string, volumePath, 256, kCFStringEncodingMacRoman);
    CFRelease(string);
    if (!converted || volumePath[0] == 255) {
        volumePath[0] = 0;
        return false;
    }
    volumePath[++volumePath[0]] = ':';
    return true;
}

// One mounted volume appended to `list` as an alias to its root.
void AppendVolume(AEDescList* list, const HFSUniStr255& name, const FSRef& root) {
    Str255 volumePath;
    FSSpec spec;
    std::memset(&spec, 0, sizeof spec);
    OSErr err;
    if (VolumePathFromName(name, volumePath)) {
        err = FSMakeFSSpec(0, 0, volumePath, &spec);
    } else {
        // No colon path can name this volume; its root reference can.
        SetPText(volumePath, "?:");
        err = FSGetCatalogInfo(&root, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr);
    }
    std::string_view shown = PView(volumePath);
    if (err != noErr) {
        ReportVolumeLeftOut("Could not create a file specification to volume \"", shown,
                            "FSMakeFSSpec", err);
        return;
    }
    AliasHandle alias = nullptr;
    err = NewAlias(nullptr, &spec, &alias);
    if (err != noErr || alias == nullptr) {
        ReportVolumeLeftOut("Could not create an alias to volume \"", shown, "NewAlias",
                            err != noErr ? err : OSErr{memFullErr});
        return;
    }
    HLock(alias);
    err = AEPutPtr(list, 0, typeAlias, *alias, GetHandleSize(alias));
    HUnlock(alias);
    DisposeHandle(alias);
    if (err != noErr) {
        ReportVolumeLeftOut("Could not add volume \"", shown, "AEPutPtr", err);
    }
}

// Every mounted volume, in index order, into a new list in searchDisks.
OSErr MakeDefaultVolumeList(AEDescList* searchDisks) {
    ReleaseList(searchDisks);
    OSErr err = AECreateList(nullptr, 0, false, searchDisks);
    if (err != noErr) {
        ShowCodeAlertUnlessSilenced("Could not create a search list of mounted volumes.",
                                    "AECreateList() returned an error: ", err);
        return err;
    }
    for (UInt32 index = 1;; ++index) {
        HFSUniStr255 name;
        FSRef root;
        err = FSGetVolumeInfo(0, index, nullptr, kFSVolInfoNone, nullptr, &name, &root);
        if (err == nsvErr) return noErr;
        if (err != noErr) return err;
        AppendVolume(searchDisks, name, root);
    }
}

// Fetches one location parameter into `list` and converts its items.
// Returns whether the parameter was given (present, readable or not).
bool GetLocationList(const AppleEvent* event, AEKeyword keyword, const char* fetchError,
                     AEDescList* list) {
    OSErr err = AEGetParamDesc(event, keyword, typeAEList, list);
    if (err == noErr) {
        MyConvertListItemsToFSSpec(list);
        return true;
    }
    ReleaseList(list);
    if (err == errAEDescNotFound) return false;
    ShowCodeAlertUnlessSilenced(fetchError, "AEGetParamDesc() returned an error: ", err);
    return true;
}

}  // namespace

OSErr MyGetSearchLocationsParam(const AppleEvent* event, AEDescList* searchDisks,
                                AEDescList* searchFolders) {
    ReleaseList(searchDisks);
    ReleaseList(searchFolders);
    bool disksGiven = GetLocationList(event, keySearchDisks,
                                      "Could not obtain the \"in disks\" parameter.", searchDisks);
    bool foldersGiven = GetLocationList(
        event, keySearchFolders, "Could not obtain the \"in folders\" parameter.", searchFolders);
    // A given list searches what it holds, even nothing: its alerts have said
    // why items are missing, and a mistyped folder must not turn into a search
    // of every volume.
    if (disksGiven || foldersGiven) return noErr;
    return MakeDefaultVolumeList(searchDisks);
}

OSErr MyConvertListItemsToFSSpec(AEDescList* list) {
    long count = 0;
    OSErr err = AECountItems(list, &count);
    if (err != noErr) return err;
    OSErr status = noErr;
    long index = 1;
    for (long n = 0; n < count; ++n) {
        AEKeyword keyword = 0;
        DescType type = 0;
        Size size = 0;
        err = AEGetNthPtr(list, index, typeWildCard, &keyword, &type, nullptr, 0, &size);
        if (err != noErr) {
            // Left for the handler, which reports what it cannot read.
            status = err;
            ++index;
            continue;
        }
        if (type == typeAlias) {
            err = ConvertAliasItem(list, index);
        } else if (IsTextType(type)) {
            err = ConvertTextItem(list, index);
        }
        if (err != noErr) {
            // Its alert has been shown (unless silenced): drop it, so that the handler
            // neither reports it again nor reads the text some other way.
            status = err;
            if (AEDeleteItem(list, index) != noErr) ++index;
        } else {
            ++index;
        }
    }
    return status;
}

OSErr FSpLocationFromFullPath(SInt16 length, const void* path, FSSpec* spec) {
    static const unsigned char kEmpty[1] = {0};
    AliasHandle alias = nullptr;
    OSErr err = NewAliasMinimalFromFullPath(length, path, kEmpty, kEmpty, &alias);
    if (err != noErr) return err;
    Boolean changed = false;
    std::memset(spec, 0, sizeof *spec);
    err = ResolveAlias(nullptr, alias, spec, &changed);
    if (spec->vRefNum == 0) {
        spec->parID = 0;
        spec->name[0] = 0;
        err = nsvErr;
    }
    DisposeHandle(alias);
    return err;
}
