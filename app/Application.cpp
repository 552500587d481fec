#include "app/Application.h"

#include "command/SeekwrightHandler.h"
#include "params/SearchParameters.h"
#include "params/Terminology.h"
#include "platform/CoreFoundation.h"
#include "platform/Dialogs.h"
#include "platform/Events.h"
#include "text/Alerts.h"
#include "text/TextUtils.h"

Boolean keepRunning = true;
Str255 versionString;

namespace {

void StopAlert(const char* text) {
    Str255 error;
    CToPString(text, error);
    StandardAlert(kAlertStopAlert, error, nullptr, &alertParams, &alertItemHit);
}

}  // namespace

OSErr IsAppearancePresent(Boolean* present) {
    *present = false;
    SInt32 response = 0;
    OSErr err = Gestalt(gestaltAppearanceAttr, &response);
    if (err == noErr) {
        *present = (response & (1 << gestaltAppearanceExists)) != 0;
    } else if (err == gestaltUndefSelectorErr) {
        err = noErr;
    }
    return err;
}

Boolean GetVersionFromBundlePropertyList(Str255 out) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (bundle == nullptr) {
        if (!SearchParameters.wantSilence) {
            StopAlert(
                "CFBundleGetMainBundle() returned nil in GetVersionFromBundlePropertyList().");
        }
        return false;
    }
    CFStringRef version = CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleVersion"));
    if (version == nullptr) {
        if (!SearchParameters.wantSilence) {
            StopAlert(
                "CFBundleGetValueForInfoDictionaryKey() returned nil in "
                "GetVersionFromBundlePropertyList().");
        }
        return false;
    }
    return CFStringGetPascalString(version, out, 256, kCFStringEncodingMacRoman);
}

Boolean InitApplication() {
    UInt32 seconds = 0;
    GetDateTime(&seconds);
    SetQDGlobalsRandomSeed(static_cast<SInt32>(seconds));

    InitAlertParams();

    Boolean appearance = false;
    if (IsAppearancePresent(&appearance) == noErr && appearance) RegisterAppearanceClient();

    SInt32 menuAttributes = 0;
    if (Gestalt(gestaltMenuMgrAttr, &menuAttributes) != noErr ||
        (menuAttributes & gestaltMenuMgrAquaLayoutMask) == 0) {
        StopAlert("This application is only supported on Mac OS X.");
        return false;
    }

    if (!GetVersionFromBundlePropertyList(versionString)) CToPString("n/a", versionString);

    // The quit requests only clear keepRunning; this timer ends the loop, so a
    // quit never cuts a handler short.
    InstallEventLoopTimer(GetMainEventLoop(), kEventDurationSecond, kEventDurationSecond,
                          QuitTimerProc, nullptr, nullptr);

    AEInstallEventHandler(kCoreEventClass, kAEOpenApplication, OpenApplicationHandler, 0, false);
    AEInstallEventHandler(kCoreEventClass, kAEQuitApplication, QuitApplicationHandler, 0, false);
    AEInstallEventHandler(kSeekwrightEventClass, kFindEventID, SeekwrightHandler, 0, false);

    const EventTypeSpec commandEvent = {kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetApplicationEventTarget(), AppCommandHandler, 1, &commandEvent, nullptr,
                        nullptr);

    // Without a bundle, nib or menu bar the application simply has no menu bar.
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (bundle != nullptr) {
        IBNibRef nib = nullptr;
        if (CreateNibReferenceWithCFBundle(bundle, CFSTR("Seekwright"), &nib) == noErr &&
            nib != nullptr) {
            SetMenuBarFromNib(nib, CFSTR("MenuBar"));
            DisposeNibReference(nib);
        }
    }

    InitCursor();
    return true;
}

OSErr OpenApplicationHandler(const AppleEvent*, AppleEvent*, long) {
    return noErr;
}

OSErr QuitApplicationHandler(const AppleEvent*, AppleEvent*, long) {
    keepRunning = false;
    return noErr;
}

OSStatus AppCommandHandler(EventHandlerCallRef, EventRef event, void*) {
    HICommand command{};
    if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command,
                          nullptr, &command) != noErr) {
        return eventNotHandledErr;
    }
    switch (command.commandID) {
        case kHICommandAbout:
            ShowAboutBox();
            return noErr;
        case kHICommandQuit:
            keepRunning = false;
            return noErr;
        default:
            return eventNotHandledErr;
    }
}

void QuitTimerProc(EventLoopTimerRef, void*) {
    if (!keepRunning) QuitApplicationEventLoop();
}

void ShowAboutBox() {
    DialogRef dialog = GetNewDialog(kAboutDialogID, nullptr, kInFrontOfAllWindows);
    if (dialog == nullptr) return;
    ShowWindow(GetDialogWindow(dialog));

    Str255 text;
    CToPString("Version ", text);
    AppendPString(versionString, text);

    Handle item = nullptr;
    GetDialogItem(dialog, 10, nullptr, &item, nullptr);
    SetDialogItemText(item, text);
    DrawDialog(dialog);

    DialogItemIndex hit = 0;
    do {
        ModalDialog(nullptr, &hit);
    } while (hit != 1);
    DisposeDialog(dialog);
}
