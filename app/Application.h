// The application: start-up, the standard events, the About and Quit
// commands and the end of the event loop. The find command itself is
// SeekwrightHandler's (command/).
#pragma once

#include "platform/AppleEvents.h"
#include "platform/EventLoop.h"
#include "platform/MacTypes.h"

// Cleared by the quit event and the Quit command; the quit timer then ends
// the event loop. Nothing sets it true again.
extern Boolean keepRunning;
// CFBundleVersion in Mac OS Roman, or "n/a"; shown in the About box.
extern Str255 versionString;

// Start-up in order: system check, alert parameters, version, the one-second
// quit timer, the three Apple event handlers, the command handler, the menu
// bar. false when the system is not supported (the event loop must not run).
Boolean InitApplication();

OSErr OpenApplicationHandler(const AppleEvent* event, AppleEvent* reply, long refcon);
OSErr QuitApplicationHandler(const AppleEvent* event, AppleEvent* reply, long refcon);
// 'abou' and 'quit'; every other command gets eventNotHandledErr.
OSStatus AppCommandHandler(EventHandlerCallRef nextHandler, EventRef event, void* userData);
void QuitTimerProc(EventLoopTimerRef timer, void* userData);
void ShowAboutBox();
// true when CFBundleVersion was read and fits a Str255 in Mac OS Roman.
Boolean GetVersionFromBundlePropertyList(Str255 out);
OSErr IsAppearancePresent(Boolean* present);

// `seekwright app [--headless]`: chooses the display, takes the bus name,
// starts and runs the application. Returns the process's exit status.
int SeekwrightAppMain(int argc, char** argv);
