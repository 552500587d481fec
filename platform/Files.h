// File system services: volumes, catalog identities, bulk catalog reads,
// paths, aliases, resource forks and desktop-database comments, realised over
// POSIX files and the Mac metadata that Linux tools store.
//
// Ownership: iterators are closed by whoever opened them; alias handles are
// disposed of with DisposeHandle by whoever received them.
#pragma once

#include "platform/MacTypes.h"

// 80 opaque bytes naming a file or folder. Valid while the item stays where it
// is and for the life of the process.
struct FSRef {
    UInt8 hidden[80];
};

// Volume reference number, parent directory ID, name (Mac OS Roman, at most
// 63 bytes). Packed to the classic 70-byte layout: the bytes travel in 'fss '
// descriptors.
#pragma pack(push, 2)
struct FSSpec {
    SInt16 vRefNum;
    SInt32 parID;
    Str63 name;
};
#pragma pack(pop)
static_assert(sizeof(FSSpec) == 70);

struct HFSUniStr255 {
    UInt16 length;  // UTF-16 code units
    UniChar unicode[255];
};

struct UTCDateTime {
    UInt16 highSeconds;  // seconds since 1904-01-01 00:00:00 UTC: high 16 bits
    UInt32 lowSeconds;   // low 32 bits
    UInt16 fraction;     // 1/65536 seconds
};

using FSCatalogInfoBitmap = UInt32;
inline constexpr FSCatalogInfoBitmap kFSCatInfoNone = 0;
inline constexpr FSCatalogInfoBitmap kFSCatInfoNodeFlags = 0x00000002;
inline constexpr FSCatalogInfoBitmap kFSCatInfoCreateDate = 0x00000020;
inline constexpr FSCatalogInfoBitmap kFSCatInfoContentMod = 0x00000040;
inline constexpr FSCatalogInfoBitmap kFSCatInfoAttrMod = 0x00000080;
inline constexpr FSCatalogInfoBitmap kFSCatInfoFinderInfo = 0x00000800;
inline constexpr FSCatalogInfoBitmap kFSCatInfoDataSizes = 0x00004000;
inline constexpr FSCatalogInfoBitmap kFSCatInfoRsrcSizes = 0x00008000;

inline constexpr UInt16 kFSNodeIsDirectoryMask = 0x0010;

// Finder flags (big-endian on disk; host order in FSCatalogInfo accessors).
inline constexpr UInt16 kIsOnDesk = 0x0001;
inline constexpr UInt16 kColor = 0x000E;
inline constexpr UInt16 kIsStationery = 0x0800;
inline constexpr UInt16 kHasBeenInited = 0x0100;
inline constexpr UInt16 kIsInvisible = 0x4000;
inline constexpr UInt16 kIsAlias = 0x8000;

struct FSCatalogInfoLazy;  // platform-private: where unread Finder information comes from

// One catalog entry's information. Only the fields requested are valid.
// `finderInfo` (16 bytes, big-endian as on disk: type, creator, flags,
// location, reserved) is filled on first use: read it through
// FSCatalogInfoFinderInfo, never directly. The entry stays loadable until the
// next FSGetCatalogInfoBulk or FSCloseIterator on the iterator that produced
// it; after that a not yet loaded entry reads as all zeros.
struct FSCatalogInfo {
    UInt16 nodeFlags;
    UTCDateTime createDate;   // all zero when the file system does not know it
    Boolean createDateKnown;  // false: no store had a creation date
    UTCDateTime contentModDate;
    UTCDateTime attributeModDate;
    UInt64 dataLogicalSize;
    UInt64 dataPhysicalSize;
    UInt64 rsrcLogicalSize;
    UInt64 rsrcPhysicalSize;
    UInt8 finderInfo[16];
    UInt8 extFinderInfo[16];
    FSCatalogInfoLazy* lazy;  // nullptr once finderInfo is loaded
    UInt32 lazyIndex;
};

// Loads (once) and returns the 16 bytes of Finder information of `info`.
const UInt8* FSCatalogInfoFinderInfo(FSCatalogInfo* info);
// Convenience readers over FSCatalogInfoFinderInfo (host byte order).
OSType FSCatalogInfoFileType(FSCatalogInfo* info);
OSType FSCatalogInfoCreator(FSCatalogInfo* info);
UInt16 FSCatalogInfoFinderFlags(FSCatalogInfo* info);

struct OpaqueFSIterator;
using FSIterator = OpaqueFSIterator*;
using FSIteratorFlags = UInt32;
inline constexpr FSIteratorFlags kFSIterateFlat = 0;

// Opens a flat iterator over the immediate entries of `container`.
// errFSNotAFolder (or dirNFErr) for a file, afpAccessDenied for a folder that
// may not be read, fnfErr / dirNFErr for one that vanished.
OSErr FSOpenIterator(const FSRef* container, FSIteratorFlags flags, FSIterator* iterator);
OSErr FSCloseIterator(FSIterator iterator);
// Up to maximumObjects entries; errFSNoMoreItems at the end, possibly with the
// last entries. containerChanged and specs may be nullptr; catalogInfos, refs
// and names may each be nullptr when not wanted.
OSErr FSGetCatalogInfoBulk(FSIterator iterator, UInt32 maximumObjects, UInt32* actualObjects,
                           Boolean* containerChanged, FSCatalogInfoBitmap whichInfo,
                           FSCatalogInfo* catalogInfos, FSRef* refs, FSSpec* specs,
                           HFSUniStr255* names);
// Catalog information of one item; with kFSCatInfoNone only spec, name and
// parentRef (each may be nullptr) are filled.
OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef);
OSErr FSpMakeFSRef(const FSSpec* spec, FSRef* ref);
// vRefNum 0 and dirID 0: `fileName` is a colon full path ("Volume:" is the
// volume's root). fnfErr when the item does not exist.
OSErr FSMakeFSSpec(SInt16 vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* spec);
OSErr FSPathMakeRef(const UInt8* posixPath, FSRef* ref, Boolean* isDirectory);
OSErr FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize);
Boolean FSRefIsDirectory(const FSRef* ref);

// Registers with the Apple Event Manager the coercions 'fss ' -> 'fsrf',
// 'alis' -> 'fsrf' (through ResolveAlias) and 'fsrf' -> 'fss '. Call once at
// start-up, before any location list is read as FSRefs.
OSErr InstallFileCoercions();

// --- Volumes ----------------------------------------------------------------
using FSVolumeRefNum = SInt16;
using FSVolumeInfoBitmap = UInt32;
inline constexpr FSVolumeRefNum kFSInvalidVolumeRefNum = 0;
inline constexpr FSVolumeInfoBitmap kFSVolInfoNone = 0;
struct FSVolumeInfo {
    UInt32 reserved;
};
// Volume by index 1, 2, …; nsvErr after the last. Any out pointer may be nullptr.
OSErr FSGetVolumeInfo(FSVolumeRefNum volume, UInt32 volumeIndex, FSVolumeRefNum* actualVolume,
                      FSVolumeInfoBitmap whichInfo, FSVolumeInfo* info, HFSUniStr255* volumeName,
                      FSRef* rootDirectory);

// --- Aliases -----------------------------------------------------------------
using AliasHandle = Handle;
OSErr NewAlias(const FSSpec* fromFile, const FSSpec* target, AliasHandle* alias);
// fullPath: colon path of `length` bytes (no length byte); zone and server must be empty.
OSErr NewAliasMinimalFromFullPath(SInt16 fullPathLength, const void* fullPath,
                                  ConstStr255Param zoneName, ConstStr255Param serverName,
                                  AliasHandle* alias);
OSErr ResolveAlias(const FSSpec* fromFile, AliasHandle alias, FSSpec* target, Boolean* wasChanged);

// --- Resource forks ------------------------------------------------------------
using ResFileRefNum = SInt16;
inline constexpr SInt8 fsRdPerm = 1;
// -1 when the fork is absent or its map is corrupt; ResError() tells why.
ResFileRefNum FSpOpenResFile(const FSSpec* spec, SInt8 permission);
void CloseResFile(ResFileRefNum refNum);
OSErr ResError();
// From the current (most recently opened, not yet closed) resource file only.
Handle Get1Resource(ResType type, SInt16 id);  // a copy; caller disposes with ReleaseResource
void ReleaseResource(Handle resource);
SInt16 Count1Resources(ResType type);

// --- Desktop database comments -----------------------------------------------
// The classic comment of (vRefNum, dirID, name): at most 255 bytes.
OSErr PBDTGetCommentForItem(const FSSpec* spec, Str255 comment);
