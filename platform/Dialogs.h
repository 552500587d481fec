// Dialogs from the application's resources, the menu bar from its nib, and
// the few start-up calls of the window system. The display chosen by
// InitDisplay (platform/EventLoop.h) realises them: real windows, or at a
// headless display dialogs that write their text to standard output and
// answer their default item at once.
#pragma once

#include "platform/CoreFoundation.h"
#include "platform/MacTypes.h"

// Dialog resources the application carries.
inline constexpr SInt16 kProgressDialogID = 129;  // items 4, 6, 8, 10, 12, 14, 16: static text
inline constexpr SInt16 kAboutDialogID = 130;     // item 1: OK button; item 10: version text

struct OpaqueDialogRef;
using DialogRef = OpaqueDialogRef*;
using DialogPtr = DialogRef;
struct OpaqueWindowRef;
using WindowRef = OpaqueWindowRef*;
using DialogItemIndex = SInt16;
using Handle = char**;

struct Rect {
    SInt16 top;
    SInt16 left;
    SInt16 bottom;
    SInt16 right;
};
inline const WindowRef kInFrontOfAllWindows = reinterpret_cast<WindowRef>(-1);

// nullptr when the display has no dialog with that resource ID.
DialogRef GetNewDialog(SInt16 dialogID, void* storage, WindowRef behind);
void DisposeDialog(DialogRef dialog);
WindowRef GetDialogWindow(DialogRef dialog);
void ShowWindow(WindowRef window);
// item's kind, a handle usable with SetDialogItemText / GetDialogItemText, and
// its rectangle in the dialog. Any out pointer may be nullptr; for an item the
// dialog lacks, the handle is nullptr and the rectangle empty.
void GetDialogItem(DialogRef dialog, DialogItemIndex item, SInt16* itemType, Handle* itemHandle,
                   Rect* box);
void SetDialogItemText(Handle item, ConstStr255Param text);
void GetDialogItemText(Handle item, Str255 text);
void DrawDialog(DialogRef dialog);
// Runs the dialog modally until an enabled item is hit; filterProc must be
// nullptr. The headless display reports item 1 at once.
using ModalFilterProcPtr = void*;
void ModalDialog(ModalFilterProcPtr filterProc, DialogItemIndex* itemHit);

// --- Menu bar from the nib ----------------------------------------------------------
// The application's nib is "Seekwright" with the menu bar "MenuBar" (About
// sends 'abou', Quit sends 'quit'). At the headless display there is no nib.
struct OpaqueIBNibRef;
using IBNibRef = OpaqueIBNibRef*;
OSStatus CreateNibReferenceWithCFBundle(CFBundleRef bundle, CFStringRef nibName, IBNibRef* outNib);
OSStatus SetMenuBarFromNib(IBNibRef nib, CFStringRef name);
void DisposeNibReference(IBNibRef nib);

// --- Start-up -------------------------------------------------------------------------
inline constexpr OSType gestaltAppearanceAttr = FourCC("appr");
inline constexpr SInt32 gestaltAppearanceExists = 0;  // bit number
inline constexpr OSType gestaltMenuMgrAttr = FourCC("menu");
inline constexpr SInt32 gestaltMenuMgrAquaLayoutMask = 2;
inline constexpr OSErr gestaltUndefSelectorErr = -5551;
inline constexpr OSStatus nibNotFoundErr = -10000;  // also: the nib has no such object

OSStatus RegisterAppearanceClient();
void InitCursor();
void SetQDGlobalsRandomSeed(SInt32 seed);
