// The alert convention: every message to the user is one StandardAlert with a
// single OK button, sharing alertParams; the item hit lands in alertItemHit and
// is never read. Where the alert appears is decided by the installed display.
#pragma once

#include "platform/MacTypes.h"

using AlertType = SInt16;
inline constexpr AlertType kAlertStopAlert = 0;
inline constexpr AlertType kAlertNoteAlert = 1;
inline constexpr AlertType kAlertCautionAlert = 2;
inline constexpr AlertType kAlertPlainAlert = 3;

inline constexpr SInt16 kAlertStdAlertOKButton = 1;
inline constexpr SInt16 kAlertDefaultOKText = -1;
inline constexpr short kWindowDefaultPosition = 0;

struct AlertStdAlertParamRec {
    Boolean movable;
    Boolean helpButton;
    void* filterProc;
    ConstStringPtr defaultText;  // kAlertDefaultOKText as a pointer value means the system's OK
    ConstStringPtr cancelText;
    ConstStringPtr otherText;
    SInt16 defaultButton;
    SInt16 cancelButton;
    UInt16 position;
};

// Written once at start-up (InitAlertParams), read by every StandardAlert call.
extern AlertStdAlertParamRec alertParams;
// Receives the item hit of every alert; never read.
extern SInt16 alertItemHit;

void InitAlertParams();
// error and explanation are Str255 (explanation may be nullptr).
OSErr StandardAlert(AlertType type, ConstStr255Param error, ConstStr255Param explanation,
                    const AlertStdAlertParamRec* params, SInt16* itemHit);

// Where alerts go. The display shows one alert and returns the item hit (1 = OK).
struct AlertDisplay {
    virtual ~AlertDisplay() = default;
    virtual SInt16 ShowAlert(AlertType type, ConstStr255Param error,
                             ConstStr255Param explanation) = 0;
};
// Installs `display` (not owned; nullptr restores the headless display) and
// returns the previous one (nullptr when that was the headless default).
// The headless and recording displays are in text/AlertDisplays.h.
AlertDisplay* SetAlertDisplay(AlertDisplay* display);
