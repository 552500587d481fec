// Catalog services shared inside platform/posix: volumes, the directory-ID
// table, conversions between FSSpec / FSRef / POSIX paths / HFS paths, name
// encodings and errno mapping. Not for use above platform/.
//
// Name forms used throughout:
//  - POSIX name: the bytes the kernel stores (any bytes but '/' and NUL).
//  - Unicode name (HFSUniStr255): UTF-16 of the POSIX name with ':' shown as
//    '/' (the HFS form of "a:b" is "a/b"); bytes that are not valid UTF-8
//    become U+F780..U+F7FF (U+F700 + byte) so that the mapping is reversible.
//  - Roman name (FSSpec, HFS paths): Mac OS Roman of the Unicode name; a name
//    without a Roman form, or longer than 63 bytes in an FSSpec, is mangled to
//    "<prefix>#<inode in hex>" and still resolves (see docs/file-system.md).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Files.h"
#include "platform/MacTypes.h"

namespace sw::posix {

// --- Errors ---------------------------------------------------------------
// The one mapping from errno to a result code.
OSErr OSErrFromErrno(int err);

// --- Volumes --------------------------------------------------------------
struct Volume {
    FSVolumeRefNum vRefNum = 0;  // negative
    std::string name;            // UTF-8, colon-free, unique, has a Mac OS Roman form
    std::string mountPoint;      // absolute POSIX path, no trailing '/' except "/"
    std::uint64_t dev = 0;       // st_dev of the root directory
    std::uint64_t rootIno = 0;   // st_ino of the root directory
    std::uint64_t mountId = 0;   // the kernel's mount id of the root; 0 when unknown
    // A directory read that leaves room for another entry has reached the end
    // (true of the local file systems whose readdir fills the buffer).
    bool shortReadIsEnd = false;
};

// Replaces the mount table with (name, absolute directory path) pairs, in this
// order; an empty vector restores the real mount table. For tests only.
void SetVolumeTableForTesting(std::vector<std::pair<std::string, std::string>> volumes);

// Turns off (or back on) the second thread that lists subfolders and reads
// Finder information ahead of a walk, so that a test can change the tree
// between calls and know what the next call sees. For tests only.
void SetReadAheadForTesting(bool enabled);

// The current volumes in index order (index 1 is the first).
std::vector<Volume> ListVolumes();
// Reads the mount table again (done when an enumeration by index starts).
void ReloadVolumes();
std::optional<Volume> FindVolume(FSVolumeRefNum vRefNum);
// By name, as UTF-8; exact comparison first, then ignoring ASCII case.
std::optional<Volume> FindVolumeByName(std::string_view name);
// The volume holding an absolute POSIX path (longest mount point that prefixes it).
std::optional<Volume> VolumeForPath(std::string_view absolutePath);
// True when (dev, ino) is the root folder of a volume other than `vRefNum`:
// a mount point met inside a walk.
bool IsVolumeRootOtherThan(std::uint64_t dev, std::uint64_t ino, FSVolumeRefNum vRefNum);

// --- Directory IDs ----------------------------------------------------------
inline constexpr SInt32 kRootParentDirID = 1;  // the parent ID of a volume root
inline constexpr SInt32 kRootDirID = 2;

// Full POSIX path of a folder by (volume, directory ID); dirNFErr when unknown.
OSErr DirectoryPath(FSVolumeRefNum vRefNum, SInt32 dirID, std::string& path);

// Mount id of an open file, or 0 when the kernel does not tell.
std::uint64_t MountIdOf(int fd);

// The FSRef of a volume's root folder.
void MakeVolumeRootRef(FSVolumeRefNum vRefNum, FSRef& ref);

// --- Conversions ------------------------------------------------------------
// The POSIX path of what the FSSpec names; the item itself need not exist
// (its parent folder must). A volume root spec (parID 1) gives the mount point.
OSErr FSSpecToPosixPath(const FSSpec& spec, std::string& path);
// The FSSpec of an existing item given by an absolute POSIX path.
OSErr PosixPathToFSSpec(std::string_view path, FSSpec& spec);
OSErr PosixPathToFSRef(std::string_view path, FSRef& ref, bool* isDirectory);
OSErr FSRefToPosixPath(const FSRef& ref, std::string& path);
OSErr FSRefToFSSpec(const FSRef& ref, FSSpec& spec);
// A colon full path in Mac OS Roman ("Volume:dir:name", "Volume:" for the
// root) to the POSIX path; nsvErr for an unknown volume, bdNamErr for a path
// without a volume. The item need not exist.
OSErr HFSPathToPosixPath(std::string_view romanPath, std::string& path);

// An entry opened for the metadata readers: an open descriptor of its parent
// folder and its POSIX name there. For a volume root the parent is the root's
// own parent directory (which may lie on another file system).
class OpenedEntry {
  public:
    OpenedEntry() = default;
    OpenedEntry(const OpenedEntry&) = delete;
    OpenedEntry& operator=(const OpenedEntry&) = delete;
    OpenedEntry(OpenedEntry&& other) noexcept;
    OpenedEntry& operator=(OpenedEntry&& other) noexcept;
    ~OpenedEntry();

    int dirfd = -1;  // owned
    std::string name;
    bool isDirectory = false;
};
OSErr FSRefToEntry(const FSRef& ref, OpenedEntry& entry);
OSErr FSSpecToEntry(const FSSpec& spec, OpenedEntry& entry);

// --- Names -------------------------------------------------------------------
// POSIX name bytes to the Unicode name (':' shown as '/'); cut at 255 units.
void PosixNameToUnicode(std::string_view posixName, HFSUniStr255& out);
std::u16string PosixNameToUnicode(std::string_view posixName);
// The inverse: U+F780..U+F7FF back to single bytes, '/' back to ':'.
std::string UnicodeToPosixName(const UniChar* chars, std::size_t count);
// The same over any bytes; with hfsForm false ':' stays ':' (POSIX paths).
std::u16string BytesToUnicode(std::string_view bytes, bool hfsForm);
std::string UnicodeToBytes(const UniChar* chars, std::size_t count, bool hfsForm);
// Mac OS Roman <-> UTF-16, exact (0xF0 is U+F8FF). false when a character has no Roman form.
bool UnicodeToRoman(const UniChar* chars, std::size_t count, std::string& roman);
std::u16string RomanToUnicode(std::string_view roman);

// --- Dates ---------------------------------------------------------------------
// Seconds and nanoseconds since 1970-01-01 UTC to the 1904-based UTC date
// (clamped to its range).
UTCDateTime UTCDateTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds);

}  // namespace sw::posix
