// Apple Event descriptors, lists, records and events, with coercion, the
// build-string syntax, a binary flattening and in-process dispatch.
//
// Ownership: every routine that fills an AEDesc* gives the caller a reference
// that the caller releases with AEDisposeDesc. Copying an AEDesc struct by
// value shares its data, so a list changed through one copy (AEPutPtr
// replacing an item) is changed for every copy; but a value copy is not a new
// reference: dispose of the data once, through one of the copies.
// AEDuplicateDesc hands out a new reference to the same data (a reference
// count); each reference is disposed of on its own. Getters (AEGetNthDesc,
// AEGetParamDesc, AECoerceDesc, ...) hand out data that later changes to the
// container do not reach, and putters copy what they store.
#pragma once

#include <cstddef>

#include "platform/MacTypes.h"

struct OpaqueAEDataStorage;  // shared, reference-counted data of a descriptor
using AEDataStorage = OpaqueAEDataStorage*;

struct AEDesc {
    DescType descriptorType;
    AEDataStorage dataHandle;  // nullptr for a null descriptor (typeNull)
};
using AEDescList = AEDesc;
using AERecord = AEDesc;
using AEAddressDesc = AEDesc;
using AppleEvent = AEDesc;
using AEReturnID = SInt16;
using AETransactionID = SInt32;
using AESendMode = SInt32;
using AEEventHandlerProcPtr = OSErr (*)(const AppleEvent* event, AppleEvent* reply, long refcon);
using AEIdleProcPtr = Boolean (*)(void* event, long* sleepTime, void** mouseRgn);

// Descriptor types.
inline constexpr DescType typeNull = FourCC("null");
inline constexpr DescType typeWildCard = FourCC("****");
inline constexpr DescType typeAEList = FourCC("list");
inline constexpr DescType typeAERecord = FourCC("reco");
inline constexpr DescType typeAppleEvent = FourCC("aevt");
inline constexpr DescType typeChar = FourCC("TEXT");
inline constexpr DescType typeUnicodeText = FourCC("utxt");
inline constexpr DescType typeUTF8Text = FourCC("utf8");
inline constexpr DescType typeStyledText = FourCC("STXT");
inline constexpr DescType typeIntlText = FourCC("itxt");
inline constexpr DescType typeSInt16 = FourCC("shor");
inline constexpr DescType typeSInt32 = FourCC("long");
inline constexpr DescType typeSInt64 = FourCC("comp");
inline constexpr DescType typeUInt32 = FourCC("magn");
inline constexpr DescType typeIEEE64BitFloatingPoint = FourCC("doub");
inline constexpr DescType typeIEEE32BitFloatingPoint = FourCC("sing");
inline constexpr DescType typeBoolean = FourCC("bool");
inline constexpr DescType typeTrue = FourCC("true");
inline constexpr DescType typeFalse = FourCC("fals");
inline constexpr DescType typeEnumerated = FourCC("enum");
inline constexpr DescType typeType = FourCC("type");
inline constexpr DescType typeKeyword = FourCC("keyw");
inline constexpr DescType typeLongDateTime = FourCC("ldt ");
inline constexpr DescType typeAlias = FourCC("alis");
inline constexpr DescType typeFSS = FourCC("fss ");
inline constexpr DescType typeFSRef = FourCC("fsrf");
inline constexpr DescType typeFileURL = FourCC("furl");
inline constexpr DescType typeApplSignature = FourCC("sign");
inline constexpr DescType typeObjectSpecifier = FourCC("obj ");
inline constexpr DescType typeAbsoluteOrdinal = FourCC("abso");
inline constexpr DescType typeProperty = FourCC("prop");
inline constexpr DescType typeData = FourCC("tdta");

// Keywords and attributes.
inline constexpr AEKeyword keyDirectObject = FourCC("----");
inline constexpr AEKeyword keyErrorNumber = FourCC("errn");
inline constexpr AEKeyword keyErrorString = FourCC("errs");
inline constexpr AEKeyword keyEventClassAttr = FourCC("evcl");
inline constexpr AEKeyword keyEventIDAttr = FourCC("evid");
inline constexpr AEKeyword keyAddressAttr = FourCC("addr");
inline constexpr AEKeyword keyReturnIDAttr = FourCC("rtid");
inline constexpr AEKeyword keyTransactionIDAttr = FourCC("tran");
inline constexpr AEKeyword keyAEDesiredClass = FourCC("want");
inline constexpr AEKeyword keyAEContainer = FourCC("from");
inline constexpr AEKeyword keyAEKeyForm = FourCC("form");
inline constexpr AEKeyword keyAEKeyData = FourCC("seld");
inline constexpr AEKeyword keyAERequestedType = FourCC("rtyp");

inline constexpr AEEventClass kCoreEventClass = FourCC("aevt");
inline constexpr AEEventID kAEOpenApplication = FourCC("oapp");
inline constexpr AEEventID kAEQuitApplication = FourCC("quit");
inline constexpr AEEventClass kAECoreSuite = FourCC("core");
inline constexpr AEEventID kAEGetData = FourCC("getd");
inline constexpr DescType formName = FourCC("name");
inline constexpr DescType formPropertyID = FourCC("prop");

inline constexpr AEReturnID kAutoGenerateReturnID = -1;
inline constexpr AETransactionID kAnyTransactionID = 0;
inline constexpr AESendMode kAENoReply = 0x00000001;
inline constexpr AESendMode kAEQueueReply = 0x00000002;
inline constexpr AESendMode kAEWaitReply = 0x00000003;
inline constexpr SInt32 kAEDefaultTimeout = -1;
inline constexpr SInt32 kNoTimeOut = -2;

// --- Descriptors -----------------------------------------------------------
void AEInitializeDesc(AEDesc* desc);  // makes a null descriptor
OSErr AECreateDesc(DescType type, const void* data, Size size, AEDesc* out);
OSErr AEDuplicateDesc(const AEDesc* desc, AEDesc* out);
OSErr AEDisposeDesc(AEDesc* desc);  // releases one reference; leaves a null descriptor
Size AEGetDescDataSize(const AEDesc* desc);
// Copies min(size, bufferSize) bytes; a list, record or event gives its flattening.
// errAENotAEDesc for a descriptor without data.
OSErr AEGetDescData(const AEDesc* desc, void* buffer, Size bufferSize);
// Pointer to a scalar descriptor's bytes, valid while any reference lives;
// nullptr for a null descriptor or a list, record or event.
const void* AEGetDescDataPtr(const AEDesc* desc);
OSErr AECoerceDesc(const AEDesc* desc, DescType toType, AEDesc* out);  // errAECoercionFail
OSErr AECoercePtr(DescType type, const void* data, Size size, DescType toType, AEDesc* out);

// A coercion added by another layer (the file system layer installs 'fss ' and
// 'alis' -> 'fsrf' at start-up). The routine receives a descriptor of the
// installed from-type and fills `out` with a new descriptor of `toType`,
// returning errAECoercionFail (or another code) when it cannot. Installed
// coercions are tried before the built-in ones; installing again replaces.
using AECoercionProc = OSErr (*)(const AEDesc* from, DescType toType, AEDesc* out);
OSErr AEInstallCoercionHandler(DescType fromType, DescType toType, AECoercionProc handler);
OSErr AERemoveCoercionHandler(DescType fromType, DescType toType);  // errAEHandlerNotFound

// --- Lists and records -----------------------------------------------------
// factoring must be nullptr and 0; isRecord selects 'reco' over 'list'.
OSErr AECreateList(const void* factoring, Size factoredSize, Boolean isRecord, AEDescList* out);
OSErr AECountItems(const AEDescList* list, long* count);  // errAEWrongDataType unless list/record
// index 0 appends; 1..count replaces in place; errAEIllegalIndex otherwise.
OSErr AEPutPtr(AEDescList* list, long index, DescType type, const void* data, Size size);
OSErr AEPutDesc(AEDescList* list, long index, const AEDesc* desc);
// Item `index` (1-based) coerced to `desiredType` ('****' for none). buffer may
// be nullptr with maxSize 0 to learn the type and size only.
OSErr AEGetNthPtr(const AEDescList* list, long index, DescType desiredType, AEKeyword* keyword,
                  DescType* actualType, void* buffer, Size maxSize, Size* actualSize);
OSErr AEGetNthDesc(const AEDescList* list, long index, DescType desiredType, AEKeyword* keyword,
                   AEDesc* out);
OSErr AEDeleteItem(AEDescList* list, long index);
OSErr AEPutKeyPtr(AERecord* record, AEKeyword key, DescType type, const void* data, Size size);
OSErr AEPutKeyDesc(AERecord* record, AEKeyword key, const AEDesc* desc);
OSErr AEGetKeyPtr(const AERecord* record, AEKeyword key, DescType desiredType, DescType* actualType,
                  void* buffer, Size maxSize, Size* actualSize);
OSErr AEGetKeyDesc(const AERecord* record, AEKeyword key, DescType desiredType, AEDesc* out);
OSErr AEDeleteKeyDesc(AERecord* record, AEKeyword key);

// --- Apple events ----------------------------------------------------------
// target: an address descriptor, normally typeApplSignature with a 4-byte code.
OSErr AECreateAppleEvent(AEEventClass eventClass, AEEventID eventID, const AEAddressDesc* target,
                         AEReturnID returnID, AETransactionID transactionID, AppleEvent* out);
// Parameters are a record inside the event; errAEDescNotFound when absent,
// errAECoercionFail when present but not coercible to desiredType.
OSErr AEPutParamPtr(AppleEvent* event, AEKeyword key, DescType type, const void* data, Size size);
OSErr AEPutParamDesc(AppleEvent* event, AEKeyword key, const AEDesc* desc);
OSErr AEGetParamPtr(const AppleEvent* event, AEKeyword key, DescType desiredType,
                    DescType* actualType, void* buffer, Size maxSize, Size* actualSize);
OSErr AEGetParamDesc(const AppleEvent* event, AEKeyword key, DescType desiredType, AEDesc* out);
OSErr AEDeleteParam(AppleEvent* event, AEKeyword key);
OSErr AESizeOfParam(const AppleEvent* event, AEKeyword key, DescType* type, Size* size);
OSErr AEPutAttributePtr(AppleEvent* event, AEKeyword key, DescType type, const void* data,
                        Size size);
OSErr AEPutAttributeDesc(AppleEvent* event, AEKeyword key, const AEDesc* desc);
OSErr AEGetAttributePtr(const AppleEvent* event, AEKeyword key, DescType desiredType,
                        DescType* actualType, void* buffer, Size maxSize, Size* actualSize);
OSErr AEGetAttributeDesc(const AppleEvent* event, AEKeyword key, DescType desiredType, AEDesc* out);

// Object specifier (the Finder comment request builds one by name).
OSErr CreateObjSpecifier(DescType desiredClass, AEDesc* container, DescType keyForm,
                         AEDesc* keyData, Boolean disposeInputs, AEDesc* out);

// --- Build strings ---------------------------------------------------------
// Classic build-string syntax (grammar in docs/apple-events.md): keyword:value
// pairs, four-character codes bare or in single quotes ('ƒold' with the 0xC4
// byte, written in UTF-8 as "ƒ"), integers ('long', 'comp' beyond 32 bits),
// floats ('doub'), "text" ('TEXT' when Mac OS Roman holds it exactly, else
// 'utxt'), type(«hex»), [lists], {records}, type{records}, class\id{events},
// type(value) coercions, bare codes as 'enum', and @ substitution from the
// variadic arguments (each an AEDesc*, copied). Malformed input gives
// errAEBuildSyntaxError, a failed type(value) coercion errAECoercionFail;
// either way `out` is left null. Nesting is limited to 128 levels.
OSErr AEBuildDesc(AEDesc* out, const char* format, ...);
// An event as AECreateAppleEvent makes it (target from addressType and
// address), with the comma-separated key:value entries of `format` (possibly
// none) as its parameters; "&key:value" entries set attributes.
OSErr AEBuildAppleEvent(AEEventClass eventClass, AEEventID eventID, DescType addressType,
                        const void* address, Size addressLength, AEReturnID returnID,
                        AETransactionID transactionID, AppleEvent* out, const char* format, ...);
// The same for a text of `length` bytes (not zero-terminated) whose @ signs
// take args[0], args[1], ... in turn; an @ beyond argCount is a syntax error.
OSErr AEBuildDescWithArgs(AEDesc* out, const char* text, Size length, const AEDesc* const* args,
                          long argCount);
// Writes any descriptor in build-string syntax (an event as
// class\id{params, &attribute:value...}) such that AEBuildDesc reads it back
// to an equal descriptor. The text is UTF-8; 0xC4 in codes is written as "ƒ".
OSErr AEPrintDescToText(const AEDesc* desc, char** text);  // caller frees with std::free

// --- Flattening -------------------------------------------------------------
// A self-contained byte form of any descriptor (events included) that
// AEUnflattenDesc reads back to an equal descriptor. Truncated or malformed
// input gives errAECorruptData, never an over-read.
// errAEBufferTooSmall (with *actualSize the size needed) when the buffer is short.
inline constexpr OSErr errAEBufferTooSmall = -1741;
Size AESizeOfFlattenedDesc(const AEDesc* desc);
OSErr AEFlattenDesc(const AEDesc* desc, void* buffer, Size bufferSize, Size* actualSize);
OSErr AEUnflattenDesc(const void* buffer, Size bufferSize, AEDesc* out);

// --- Handlers and dispatch ---------------------------------------------------
OSErr AEInstallEventHandler(AEEventClass eventClass, AEEventID eventID,
                            AEEventHandlerProcPtr handler, long refcon, Boolean isSysHandler);
OSErr AERemoveEventHandler(AEEventClass eventClass, AEEventID eventID,
                           AEEventHandlerProcPtr handler, Boolean isSysHandler);
// Dispatches `event` to its installed handler in this process (exact
// class/id first, then '****' wildcards). With a non-null `reply`, a reply
// event ('aevt'/'ansr', the event's return and transaction ids) is made into
// *reply for the handler to fill and the caller to dispose of; with a null
// `reply` the handler receives a null descriptor (no reply wanted). A
// non-zero handler result is stored as the reply's 'errn' ('long'), unless
// the handler put an 'errn' itself, and is also returned. No handler:
// errAEEventNotHandled (stored in the reply as well).
OSErr AEProcessAppleEvent(const AppleEvent* event, AppleEvent* reply);

// A target's answer routine: `reply` is a reply event made by AESend for the
// target to fill, or a null descriptor when the sender wants no reply. A
// non-zero result becomes the reply's 'errn' (unless one is already there).
using AETargetHandler = OSErr (*)(const AppleEvent* event, AppleEvent* reply);
// Hands the event to the installed handler (see AEProcessAppleEvent) and
// returns its result, errAEEventNotHandled when there is none. Register it as
// the target for this application's own signature:
//   AERegisterTarget('SkWr', AEDispatchToInstalledHandlers).
OSErr AEDispatchToInstalledHandlers(const AppleEvent* event, AppleEvent* reply);
// Makes `signature` ('sign' addresses) answered in-process by `handler`
// (for example the Finder responder for 'MACS'); nullptr removes it.
OSErr AERegisterTarget(OSType signature, AETargetHandler handler);

// Sends `event` to its 'addr' attribute: a 4-byte typeApplSignature address
// registered with AERegisterTarget (procNotFound when none is), or, with a
// null address, this process's installed handlers. Targets run synchronously
// inside the call, so timeOutInTicks, priority, idleProc and filterProc have
// nothing to do. kAEWaitReply fills *reply with the reply event (caller
// disposes); kAENoReply gives the target a null reply and leaves *reply null
// (reply may be nullptr). kAEQueueReply: errAEUnknownSendMode (no queue
// here). Returns noErr once delivered: the target's failure is in 'errn'.
// Other address types: errAEUnknownAddressType.
OSErr AESend(const AppleEvent* event, AppleEvent* reply, AESendMode sendMode, SInt16 priority,
             SInt32 timeOutInTicks, AEIdleProcPtr idleProc, void* filterProc);
