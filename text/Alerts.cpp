#include "text/Alerts.h"

#include <cstdint>

#include "text/AlertDisplays.h"

AlertStdAlertParamRec alertParams = {};
SInt16 alertItemHit = 0;

namespace {

HeadlessAlertDisplay& DefaultDisplay() {
    static HeadlessAlertDisplay display;
    return display;
}

// nullptr while the default (headless) display is in charge.
AlertDisplay* installedDisplay = nullptr;

}  // namespace

void InitAlertParams() {
    alertParams.movable = true;
    alertParams.helpButton = false;
    alertParams.filterProc = nullptr;
    // The system's OK text is asked for with the value -1 in place of a string.
    alertParams.defaultText =
        reinterpret_cast<ConstStringPtr>(static_cast<std::intptr_t>(kAlertDefaultOKText));
    alertParams.cancelText = nullptr;
    alertParams.otherText = nullptr;
    alertParams.defaultButton = kAlertStdAlertOKButton;
    alertParams.cancelButton = 0;
    alertParams.position = kWindowDefaultPosition;
}

AlertDisplay* SetAlertDisplay(AlertDisplay* display) {
    AlertDisplay* previous = installedDisplay;
    installedDisplay = display == &DefaultDisplay() ? nullptr : display;
    return previous;
}

OSErr StandardAlert(AlertType type, ConstStr255Param error, ConstStr255Param explanation,
                    const AlertStdAlertParamRec*, SInt16* itemHit) {
    static const unsigned char kEmpty[1] = {0};
    AlertDisplay* display = installedDisplay != nullptr ? installedDisplay : &DefaultDisplay();
    SInt16 hit = display->ShowAlert(type, error != nullptr ? error : kEmpty, explanation);
    if (itemHit != nullptr) *itemHit = hit;
    return noErr;
}
