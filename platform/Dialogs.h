// Dialogs from the application's resources, the menu bar from its nib, and
// the few start-up calls of the window system. The display chosen by
// InitDisplay (platform/EventLoop.h) realises them: real windows, or at a
// headless display dialogs that write their text to standard output and
// answer their default item at once.
#pragma once

#include "platform/CoreFoundation.h"
#include "platform/MacTypes.h"

// Dialog resources the application carries.
// Dialog 129 is modeless; a request to close it leaves it open, and Control-period or
// Escape in it is Command-period (platform/Events.h). Only the window display has it.
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
// The control of an item, for texts longer than a Str255.
struct OpaqueControlRef;
using ControlRef = OpaqueControlRef*;
inline constexpr SInt16 kControlEntireControl = 0;
inline constexpr OSType kControlStaticTextTextTag = FourCC("text");
inline constexpr OSErr errItemNotControl = -30552;
OSErr GetDialogItemAsControl(DialogRef dialog, SInt16 item, ControlRef* control);
// With kControlStaticTextTextTag: the item's text, `size` Mac OS Roman bytes
// (no length byte, no terminator).
OSErr SetControlData(ControlRef control, SInt16 part, OSType tagName, Size size, const void* data);
void DrawDialog(DialogRef dialog);
// Runs the dialog modally until an enabled item is hit; filterProc must be
// nullptr. The headless display reports item 1 at once.
using ModalFilterProcPtr = void*;
void ModalDialog(ModalFilterProcPtr filterProc, DialogItemIndex* itemHit);

// --- Text ------------------------------------------------------------------------------
inline constexpr SInt16 truncEnd = 0;
inline constexpr SInt16 truncMiddle = 0x4000;
inline constexpr SInt16 NotTruncated = 0;
inline constexpr SInt16 Truncated = 1;
// Shortens Mac OS Roman text in place to fit `width` pixels in the window
// display's dialog font, replacing the omitted end or middle by the ellipsis
// (0xC9); *length is updated. NotTruncated when it fits (and at the headless
// display, which has no widths), Truncated when it was shortened, paramErr for
// bad arguments.
SInt16 TruncText(SInt16 width, Ptr text, SInt16* length, SInt16 truncWhere);

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
