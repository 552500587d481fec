// The application event loop, its timers, command events on the application
// target, and the choice of display made once at start-up.
//
// One thread: the loop, the timers, the command handlers and the inter-
// application transport all run on the thread that called InitDisplay.
#pragma once

#include <cstddef>

#include "platform/MacTypes.h"

inline constexpr OSStatus eventNotHandledErr = -9874;
inline constexpr OSStatus eventLoopTimedOutErr = -9875;

// --- Display ------------------------------------------------------------------
enum DisplayKind : UInt8 {
    kDisplayNone = 0,      // InitDisplay not called yet
    kDisplayHeadless = 1,  // alerts on standard error; dialogs answer at once
    kDisplayWindow = 2,    // real windows, a menu bar and modal dialogs
};
// Chooses and sets up the display: the window display when a display is
// reachable (or QT_QPA_PLATFORM names a platform plugin) and wantHeadless is
// false, the headless display otherwise. Installs the matching alert display
// and the WaitNextEvent hook. Call once, before any other call of this header.
// argc/argv are kept by the toolkit and must outlive the application.
DisplayKind InitDisplay(int* argc, char** argv, Boolean wantHeadless);
DisplayKind CurrentDisplay();
// Closes the windows, removes the timers and ends the toolkit, before the
// process exits (the toolkit cannot be ended from static destructors).
void ShutdownDisplay();

// --- Event loop and timers ------------------------------------------------------
struct OpaqueEventLoopRef;
using EventLoopRef = OpaqueEventLoopRef*;
struct OpaqueEventLoopTimerRef;
using EventLoopTimerRef = OpaqueEventLoopTimerRef*;
using EventTimerInterval = double;  // seconds
inline constexpr EventTimerInterval kEventDurationSecond = 1.0;
using EventLoopTimerProcPtr = void (*)(EventLoopTimerRef timer, void* userData);

EventLoopRef GetMainEventLoop();
// A timer first firing after fireDelay seconds, then every `interval` seconds
// (0: once). paramErr for a null loop or proc or a negative time.
OSStatus InstallEventLoopTimer(EventLoopRef loop, EventTimerInterval fireDelay,
                               EventTimerInterval interval, EventLoopTimerProcPtr proc,
                               void* userData, EventLoopTimerRef* outTimer);
OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer);
// Runs until QuitApplicationEventLoop. Modal dialogs open when the quit comes
// finish first; the loop then returns.
void RunApplicationEventLoop();
void QuitApplicationEventLoop();

// Interrupt (Control-C) and terminate signals: each one reports Command-period
// at once, so that a running search stops at its next poll, and `onQuit` runs
// on the event loop's thread when the loop next gets a turn (between
// commands). A third signal before the process ends exits at once with status
// 130. Install once.
using QuitRequestProc = void (*)();
OSStatus InstallQuitSignals(QuitRequestProc onQuit);

// --- Carbon events: commands on the application target ----------------------------
struct OpaqueEventRef;
using EventRef = OpaqueEventRef*;
struct OpaqueEventHandlerCallRef;
using EventHandlerCallRef = OpaqueEventHandlerCallRef*;
struct OpaqueEventTargetRef;
using EventTargetRef = OpaqueEventTargetRef*;
struct OpaqueEventHandlerRef;
using EventHandlerRef = OpaqueEventHandlerRef*;
using EventHandlerProcPtr = OSStatus (*)(EventHandlerCallRef nextHandler, EventRef event,
                                         void* userData);
using EventParamName = OSType;
using EventParamType = OSType;
using ByteCount = unsigned long;
using ItemCount = unsigned long;

struct EventTypeSpec {
    UInt32 eventClass;
    UInt32 eventKind;
};
inline constexpr UInt32 kEventClassCommand = FourCC("cmds");
inline constexpr UInt32 kEventCommandProcess = 1;
inline constexpr EventParamName kEventParamDirectObject = FourCC("----");
inline constexpr EventParamType typeHICommand = FourCC("hcmd");
inline constexpr OSStatus eventParameterNotFoundErr = -9870;

inline constexpr UInt32 kHICommandAbout = FourCC("abou");
inline constexpr UInt32 kHICommandQuit = FourCC("quit");

struct HICommand {
    UInt32 attributes;
    UInt32 commandID;
    struct {
        void* menuRef;
        UInt16 menuItemIndex;
    } menu;
};

EventTargetRef GetApplicationEventTarget();
// Handlers of one target run newest first; a handler returning
// eventNotHandledErr passes the event on, in the end to the standard handling
// (which quits the loop for 'quit' and ignores every other command).
OSStatus InstallEventHandler(EventTargetRef target, EventHandlerProcPtr handler, ItemCount numTypes,
                             const EventTypeSpec* list, void* userData, EventHandlerRef* outRef);
OSStatus RemoveEventHandler(EventHandlerRef handlerRef);
// Copies a parameter of the event into outData. eventParameterNotFoundErr when
// the event has no such parameter or it is not of desiredType; paramErr when
// the buffer is too small.
OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType,
                           EventParamType* actualType, ByteCount bufferSize, ByteCount* actualSize,
                           void* outData);
// Sends a command event (class 'cmds', kind 1, the command as direct object)
// to the application target, as choosing a menu item does; the result of the
// handler that took it, or of the standard handling.
OSStatus ProcessHICommand(const HICommand* command);
// A command event without a direct object, for the handlers' failure path.
OSStatus ProcessEventWithoutParameter(UInt32 eventClass, UInt32 eventKind);
