// Catalog identities and bulk reads over POSIX directories.
//
// Folders get directory IDs from an in-memory table that lives as long as the
// process; files are never recorded anywhere: their FSRef carries the parent
// directory ID, the inode and (when it fits) the name, so memory grows with the
// folders visited, not with the files. See docs/file-system.md.
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "platform/CoreFoundation.h"
#include "platform/MacRoman.h"
#include "platform/posix/CatalogConfig.h"
#include "platform/posix/CatalogInternal.h"
#include "platform/posix/Metadata.h"

namespace sw::posix {
namespace {

// --- FSRef layout -------------------------------------------------------------
// 0 magic, 1 flags, 2-3 vRefNum, 4-7 ID (a folder: its own directory ID; a
// file: its parent's), 8-15 inode, 16 name length, 17-79 name (POSIX bytes,
// present when the name has at most 63 bytes; else found by inode).
constexpr UInt8 kRefMagic = 0xC7;
constexpr UInt8 kRefDirectory = 0x01;
constexpr UInt8 kRefNameStored = 0x02;
constexpr std::size_t kRefNameOffset = 17;
constexpr std::size_t kRefNameMax = sizeof(FSRef::hidden) - kRefNameOffset;  // 63

struct RefFields {
    UInt8 flags = 0;
    SInt16 vRefNum = 0;
    SInt32 id = 0;
    std::uint64_t ino = 0;
    std::string_view name;  // empty when not stored
};

void PackRef(const RefFields& f, FSRef& ref) {
    std::memset(ref.hidden, 0, sizeof ref.hidden);
    ref.hidden[0] = kRefMagic;
    UInt8 flags = f.flags & kRefDirectory;
    if (!f.name.empty() && f.name.size() <= kRefNameMax) flags |= kRefNameStored;
    ref.hidden[1] = flags;
    std::memcpy(ref.hidden + 2, &f.vRefNum, 2);
    std::memcpy(ref.hidden + 4, &f.id, 4);
    std::memcpy(ref.hidden + 8, &f.ino, 8);
    if (flags & kRefNameStored) {
        ref.hidden[16] = static_cast<UInt8>(f.name.size());
        std::memcpy(ref.hidden + kRefNameOffset, f.name.data(), f.name.size());
    }
}

bool UnpackRef(const FSRef* ref, RefFields& f) {
    if (!ref || ref->hidden[0] != kRefMagic) return false;
    f.flags = ref->hidden[1];
    std::memcpy(&f.vRefNum, ref->hidden + 2, 2);
    std::memcpy(&f.id, ref->hidden + 4, 4);
    std::memcpy(&f.ino, ref->hidden + 8, 8);
    const std::size_t len = ref->hidden[16];
    if (len > kRefNameMax || f.vRefNum >= 0 || f.id < kRootDirID) return false;
    if (f.flags & kRefNameStored) {
        if (len == 0) return false;
        f.name = std::string_view(reinterpret_cast<const char*>(ref->hidden + kRefNameOffset), len);
    }
    return true;
}

// --- Small POSIX helpers -----------------------------------------------------------
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

std::string JoinPath(std::string_view dir, std::string_view name) {
    std::string p(dir);
    if (p.empty() || p.back() != '/') p += '/';
    p += name;
    return p;
}

// Reads every entry of an open directory, without "." and "..".
struct RawEntry {
    std::uint32_t nameOffset;
    std::uint16_t nameLength;
    std::uint8_t type;  // DT_*
    std::uint64_t ino;
};

// The largest record getdents64 writes: a 255-byte name, its terminator and
// the fixed fields, rounded up to 8 bytes.
constexpr std::size_t kMaxDirentRecord = (offsetof(dirent64, d_name) + 256 + 7) & ~std::size_t{7};

// `shortReadIsEnd`: the file system fills every read, so a read that left room
// for one more record was the last (saves one system call per folder).
int ReadWholeDirectory(int fd, std::string& names, std::vector<RawEntry>& entries,
                       bool shortReadIsEnd = false) {
    alignas(8) static thread_local char buffer[64 * 1024];
    for (;;) {
#if SW_HAVE_GETDENTS64
        const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
#else
        const ssize_t n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
#endif
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        for (ssize_t off = 0; off < n;) {
            const auto* d = reinterpret_cast<const dirent64*>(buffer + off);
            off += d->d_reclen;
            const char* nm = d->d_name;
            if (nm[0] == '.' && (nm[1] == 0 || (nm[1] == '.' && nm[2] == 0))) continue;
            const std::size_t len = std::strlen(nm);
            entries.push_back({static_cast<std::uint32_t>(names.size()),
                               static_cast<std::uint16_t>(len), d->d_type,
                               static_cast<std::uint64_t>(d->d_ino)});
            names.append(nm, len);
        }
        if (shortReadIsEnd && sizeof buffer - static_cast<std::size_t>(n) >= kMaxDirentRecord) {
            return 0;
        }
    }
}

// The FSSpec name of a POSIX name: its Mac OS Roman form when that maps back
// to exactly the same bytes and fits 63 bytes; otherwise a readable prefix
// and "#<inode in hex>", which FSSpec resolution finds by inode.
std::string SpecNameFor(std::string_view posixName, std::uint64_t ino) {
    const std::u16string u = PosixNameToUnicode(posixName);
    std::string roman;
    if (Utf16ToMacRoman(u, &roman) && roman.size() <= 63) {
        const std::u16string back = RomanToUnicode(roman);
        if (UnicodeToPosixName(reinterpret_cast<const UniChar*>(back.data()), back.size()) ==
            posixName) {
            return roman;
        }
    }
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "#%llX", static_cast<unsigned long long>(ino));
    std::string prefix;
    for (char16_t c : u) {
        std::string one;
        prefix += Utf16ToMacRoman(std::u16string_view(&c, 1), &one) ? one : std::string("_");
    }
    const std::size_t room = 63 - std::strlen(suffix);
    if (prefix.size() > room) prefix.resize(room);
    return prefix + suffix;
}

// The inode a mangled FSSpec name carries, when it has the "#<hex>" form.
std::optional<std::uint64_t> MangledInode(std::string_view roman) {
    const std::size_t hash = roman.rfind('#');
    if (hash == std::string_view::npos || hash + 1 >= roman.size() || roman.size() - hash > 17) {
        return std::nullopt;
    }
    std::uint64_t v = 0;
    for (char c : roman.substr(hash + 1)) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        v = (v << 4) | static_cast<std::uint64_t>(d);
    }
    return v;
}

// The name of the entry of `dirfd` with inode `ino` (and, if given, the
// FSSpec name `specName`). Used for long and mangled names only.
std::optional<std::string> FindNameByInode(int dirfd, std::uint64_t ino,
                                           std::string_view specName = {}) {
    Fd dup(::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dup.get() < 0) return std::nullopt;
    std::string names;
    std::vector<RawEntry> entries;
    if (ReadWholeDirectory(dup.get(), names, entries) != 0) return std::nullopt;
    for (const RawEntry& e : entries) {
        if (e.ino != ino) continue;
        std::string name = names.substr(e.nameOffset, e.nameLength);
        if (specName.empty() || SpecNameFor(name, ino) == specName) return name;
    }
    return std::nullopt;
}

// --- Directory table -----------------------------------------------------------------
struct DirNode {
    FSVolumeRefNum vRefNum;
    SInt32 parent;
    std::string name;  // POSIX name in the parent
    std::uint64_t ino;
};

// Folders by ID (dense, from 16: a deque indexed by ID, whose elements never
// move) and by (volume, parent, name) in an open-addressing table of IDs. A
// walk interns every folder it lists, so this is on the hot path: no node
// allocation per folder, and a lookup is one probe in a flat array.
class DirectoryTable {
  public:
    SInt32 Intern(FSVolumeRefNum vRefNum, SInt32 parent, std::string_view name, std::uint64_t ino) {
        if ((nodes_.size() + 1) * 4 > slots_.size() * 3) Grow();
        const std::uint32_t hash = Hash(vRefNum, parent, name);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.id == 0) {
                if (next_ == INT32_MAX) return 0;
                const SInt32 id = next_++;
                nodes_.push_back(DirNode{vRefNum, parent, std::string(name), ino});
                slot = {hash, id};
                return id;
            }
            if (slot.hash != hash) continue;
            DirNode& n = nodes_[static_cast<std::size_t>(slot.id - kFirstID)];
            if (n.vRefNum == vRefNum && n.parent == parent && n.name == name) {
                n.ino = ino;  // replaced by a new folder of the same name
                return slot.id;
            }
        }
    }
    const DirNode* Find(FSVolumeRefNum vRefNum, SInt32 id) const {
        if (id < kFirstID || id >= next_) return nullptr;
        const DirNode& n = nodes_[static_cast<std::size_t>(id - kFirstID)];
        return n.vRefNum == vRefNum ? &n : nullptr;
    }

  private:
    static constexpr SInt32 kFirstID = 16;  // below are reserved: 1 root's parent, 2 root
    struct Slot {
        std::uint32_t hash = 0;
        SInt32 id = 0;  // 0: empty
    };
    static std::uint32_t Hash(FSVolumeRefNum v, SInt32 parent, std::string_view name) {
        std::uint64_t h = std::hash<std::string_view>{}(name);
        h ^= (static_cast<std::uint64_t>(static_cast<std::uint16_t>(v)) << 32) ^
             static_cast<std::uint32_t>(parent);
        h *= 0x9E3779B97F4A7C15ULL;
        return static_cast<std::uint32_t>(h >> 32);
    }
    void Grow() {
        std::vector<Slot> bigger(slots_.empty() ? 1024 : slots_.size() * 2);
        const std::size_t mask = bigger.size() - 1;
        for (const Slot& s : slots_) {
            if (s.id == 0) continue;
            std::size_t i = s.hash & mask;
            while (bigger[i].id != 0) i = (i + 1) & mask;
            bigger[i] = s;
        }
        slots_.swap(bigger);
    }
    std::deque<DirNode> nodes_;
    std::vector<Slot> slots_;
    SInt32 next_ = kFirstID;
};

DirectoryTable& Dirs() {
    static DirectoryTable table;
    return table;
}

void MakeDirRef(FSVolumeRefNum vRefNum, SInt32 dirID, FSRef& ref) {
    RefFields f;
    f.flags = kRefDirectory;
    f.vRefNum = vRefNum;
    f.id = dirID;
    if (const DirNode* n = Dirs().Find(vRefNum, dirID)) {
        f.ino = n->ino;
        f.name = n->name;
    }
    PackRef(f, ref);
}

void MakeFileRef(FSVolumeRefNum vRefNum, SInt32 parentID, std::string_view name, std::uint64_t ino,
                 FSRef& ref) {
    RefFields f;
    f.vRefNum = vRefNum;
    f.id = parentID;
    f.ino = ino;
    f.name = name;
    PackRef(f, ref);
}

// Where an FSRef points: the parent folder's path and the item's name, or a
// volume root.
struct Resolved {
    FSVolumeRefNum vRefNum = 0;
    bool isDirectory = false;
    bool isVolumeRoot = false;
    SInt32 dirID = 0;     // folders
    SInt32 parentID = 0;  // kRootParentDirID for a volume root
    std::uint64_t ino = 0;
    std::string parentPath;  // empty for a volume root
    std::string name;        // POSIX name; empty for a volume root
    std::string path;        // full path
};

OSErr Resolve(const FSRef* ref, Resolved& r) {
    RefFields f;
    if (!UnpackRef(ref, f)) return errFSBadFSRef;
    r.vRefNum = f.vRefNum;
    r.isDirectory = f.flags & kRefDirectory;
    r.ino = f.ino;
    if (r.isDirectory) {
        r.dirID = f.id;
        if (f.id == kRootDirID) {
            std::optional<Volume> v = FindVolume(f.vRefNum);
            if (!v) return nsvErr;
            r.isVolumeRoot = true;
            r.parentID = kRootParentDirID;
            r.path = v->mountPoint;
            return noErr;
        }
        const DirNode* n = Dirs().Find(f.vRefNum, f.id);
        if (!n) return dirNFErr;
        r.parentID = n->parent;
        r.name = n->name;
        r.ino = n->ino;
    } else {
        r.parentID = f.id;
        if (f.flags & kRefNameStored) r.name = f.name;
    }
    if (OSErr err = DirectoryPath(f.vRefNum, r.parentID, r.parentPath); err != noErr) return err;
    if (r.name.empty()) {
        Fd dir(::open(r.parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() < 0) return OSErrFromErrno(errno);
        std::optional<std::string> found = FindNameByInode(dir.get(), f.ino);
        if (!found) return fnfErr;
        r.name = *found;
    }
    r.path = JoinPath(r.parentPath, r.name);
    return noErr;
}

std::u16string FormD(std::u16string_view text) {
    CFMutableStringRef s = CFStringCreateMutable(kCFAllocatorDefault, 0);
    if (s == nullptr) return std::u16string(text);
    CFStringAppendCharacters(s, reinterpret_cast<const UniChar*>(text.data()),
                             static_cast<CFIndex>(text.size()));
    CFStringNormalize(s, kCFStringNormalizationFormD);
    std::u16string out(reinterpret_cast<const char16_t*>(CFStringGetCharactersPtr(s)),
                       static_cast<std::size_t>(CFStringGetLength(s)));
    CFRelease(s);
    return out;
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The one entry of `dirfd` whose Unicode name equals `wanted` once both are
// in normalization form D; nullopt when none does, or when several do (then
// only the exact spelling names an item, and the caller keeps it).
std::optional<std::string> FindNameByFormD(int dirfd, const std::u16string& wanted) {
    Fd dup(::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dup.get() < 0) return std::nullopt;
    std::string names;
    std::vector<RawEntry> entries;
    if (ReadWholeDirectory(dup.get(), names, entries) != 0) return std::nullopt;
    const std::u16string wantedD = FormD(wanted);
    std::optional<std::string> match;
    for (const RawEntry& e : entries) {
        const std::string_view name = std::string_view(names).substr(e.nameOffset, e.nameLength);
        const std::u16string u = PosixNameToUnicode(name);
        // ASCII is its own form D: no normalisation for the common names.
        if ((IsAscii(name) ? u : FormD(u)) != wantedD) continue;
        if (match) return std::nullopt;  // ambiguous
        match = std::string(name);
    }
    return match;
}

// The POSIX name in folder `dirPath` that an FSSpec or colon-path name
// denotes: the literal name when it exists; else the item a mangled name
// carries the inode of; else the one entry whose name is the same text in
// another normalization form (Mac OS Roman text composes accents, names on
// disk may be decomposed); else the literal name (the item may not exist yet).
std::string ResolveSpecName(const std::string& dirPath, std::string_view roman) {
    const std::u16string u = RomanToUnicode(roman);
    std::string literal = UnicodeToPosixName(reinterpret_cast<const UniChar*>(u.data()), u.size());
    struct stat st {};
    if (::lstat(JoinPath(dirPath, literal).c_str(), &st) == 0) return literal;
    const std::optional<std::uint64_t> ino = MangledInode(roman);
    // Plain ASCII has no other normalization form worth a folder scan.
    if (!ino && IsAscii(roman)) return literal;
    Fd dir(::open(dirPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) return literal;
    if (ino) {
        if (auto found = FindNameByInode(dir.get(), *ino, roman)) return *found;
    }
    if (!IsAscii(roman)) {
        if (auto found = FindNameByFormD(dir.get(), u)) return *found;
    }
    return literal;
}

void SetPascal(unsigned char* dst, std::size_t capacity, std::string_view s) {
    const std::size_t n = std::min(s.size(), capacity - 1);
    dst[0] = static_cast<unsigned char>(n);
    std::memcpy(dst + 1, s.data(), n);
}

void SetVolumeRootSpec(const Volume& v, FSSpec& spec) {
    std::memset(&spec, 0, sizeof spec);
    spec.vRefNum = v.vRefNum;
    spec.parID = kRootParentDirID;
    std::string roman;
    Utf8ToMacRoman(v.name, &roman);  // volume names always have a Roman form
    SetPascal(spec.name, sizeof spec.name, roman);
}

void SetSpec(FSVolumeRefNum vRefNum, SInt32 parentID, std::string_view posixName, std::uint64_t ino,
             FSSpec& spec) {
    std::memset(&spec, 0, sizeof spec);
    spec.vRefNum = vRefNum;
    spec.parID = parentID;
    SetPascal(spec.name, sizeof spec.name, SpecNameFor(posixName, ino));
}

OSErr SpecOfResolved(const Resolved& r, FSSpec& spec) {
    if (r.isVolumeRoot) {
        std::optional<Volume> v = FindVolume(r.vRefNum);
        if (!v) return nsvErr;
        SetVolumeRootSpec(*v, spec);
    } else {
        SetSpec(r.vRefNum, r.parentID, r.name, r.ino, spec);
    }
    return noErr;
}

// The catalog fields that come from statx.
struct StatFields {
    bool ok = false;
    bool isDirectory = false;
    bool isSymlink = false;
    bool haveBirth = false;
    std::int64_t birthSec = 0;
    std::uint32_t birthNsec = 0;
    std::int64_t mtimeSec = 0, ctimeSec = 0;
    std::uint32_t mtimeNsec = 0, ctimeNsec = 0;
    std::uint64_t size = 0, blocks = 0;
};

StatFields StatAt(int dirfd, const char* name, bool wantBirth) {
    StatFields s;
#if SW_HAVE_STATX
    struct statx sx {};
    unsigned mask = STATX_TYPE | STATX_MTIME | STATX_CTIME | STATX_SIZE | STATX_BLOCKS;
    if (wantBirth) mask |= STATX_BTIME;
    if (::statx(dirfd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &sx) != 0) return s;
    s.ok = true;
    s.isDirectory = S_ISDIR(sx.stx_mode);
    s.isSymlink = S_ISLNK(sx.stx_mode);
    if ((sx.stx_mask & STATX_BTIME) && sx.stx_btime.tv_sec != 0) {
        s.haveBirth = true;
        s.birthSec = sx.stx_btime.tv_sec;
        s.birthNsec = sx.stx_btime.tv_nsec;
    }
    s.mtimeSec = sx.stx_mtime.tv_sec, s.mtimeNsec = sx.stx_mtime.tv_nsec;
    s.ctimeSec = sx.stx_ctime.tv_sec, s.ctimeNsec = sx.stx_ctime.tv_nsec;
    s.size = sx.stx_size;
    s.blocks = sx.stx_blocks;
#else
    (void)wantBirth;
    struct stat st {};
    if (::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return s;
    s.ok = true;
    s.isDirectory = S_ISDIR(st.st_mode);
    s.isSymlink = S_ISLNK(st.st_mode);
    s.mtimeSec = st.st_mtim.tv_sec, s.mtimeNsec = st.st_mtim.tv_nsec;
    s.ctimeSec = st.st_ctim.tv_sec, s.ctimeNsec = st.st_ctim.tv_nsec;
    s.size = st.st_size;
    s.blocks = st.st_blocks;
#endif
    return s;
}

constexpr FSCatalogInfoBitmap kStatFields =
    kFSCatInfoCreateDate | kFSCatInfoContentMod | kFSCatInfoAttrMod | kFSCatInfoDataSizes;

void SetSymlinkFinderInfo(FSCatalogInfo& info) {
    const UInt8 bytes[8] = {'s', 'l', 'n', 'k', 'r', 'h', 'a', 'p'};
    std::memcpy(info.finderInfo, bytes, 8);
}

// Fills the statx-based and fork fields of `info` for one entry.
void FillFields(FSCatalogInfoBitmap which, const EntryLocation& at, bool isSymlink,
                const StatFields& s, FSCatalogInfo& info) {
    if (which & kFSCatInfoNodeFlags) info.nodeFlags = at.isDirectory ? kFSNodeIsDirectoryMask : 0;
    if ((which & kFSCatInfoCreateDate) && s.ok) {
        if (s.haveBirth) {
            info.createDate = UTCDateTimeFromUnix(s.birthSec, s.birthNsec);
            info.createDateKnown = true;
        } else if (std::optional<std::int64_t> stored = ReadStoredCreationDate(at)) {
            info.createDate = UTCDateTimeFromUnix(*stored, 0);
            info.createDateKnown = true;
        }
    }
    if ((which & kFSCatInfoContentMod) && s.ok) {
        info.contentModDate = UTCDateTimeFromUnix(s.mtimeSec, s.mtimeNsec);
    }
    if ((which & kFSCatInfoAttrMod) && s.ok) {
        info.attributeModDate = UTCDateTimeFromUnix(s.ctimeSec, s.ctimeNsec);
    }
    if ((which & kFSCatInfoDataSizes) && s.ok && !at.isDirectory) {
        info.dataLogicalSize = s.size;
        info.dataPhysicalSize = s.blocks * 512;
    }
    if ((which & kFSCatInfoRsrcSizes) && !at.isDirectory && !isSymlink) {
        info.rsrcLogicalSize = ResourceForkSize(at);
        info.rsrcPhysicalSize = info.rsrcLogicalSize;
    }
}

void CopyFinderInfo(const std::optional<std::array<std::uint8_t, 32>>& fi, FSCatalogInfo& info) {
    if (fi) {
        std::memcpy(info.finderInfo, fi->data(), 16);
        std::memcpy(info.extFinderInfo, fi->data() + 16, 16);
    }
}

}  // namespace
}  // namespace sw::posix

// Where the Finder information of the entries of one batch can still be read.
// Blocks are pooled and never freed, so a stale FSCatalogInfo copy reads
// zeros instead of touching freed memory: lazyIndex carries the block's
// generation in its high 16 bits.
struct FSCatalogInfoLazy {
    OpaqueFSIterator* owner = nullptr;
    UInt16 generation = 0;
};

struct OpaqueFSIterator {
    FSVolumeRefNum vRefNum = 0;
    SInt32 dirID = 0;
    int fd = -1;
    std::string names;
    std::vector<sw::posix::RawEntry> entries;
    std::size_t next = 0;
    // "x" for each "._x", with what checking "._x" showed.
    std::unordered_map<std::string_view, sw::posix::KnownSidecar> dotUnderscore;
    bool hasAppleDoubleDir = false;
    FSCatalogInfoLazy* lazy = nullptr;
    struct BatchEntry {
        std::uint32_t entry;  // index in `entries`
        bool isDirectory;
        bool lazyFinderInfo;  // handed out unread (symbolic links have theirs)
        SInt32 dirID;         // a folder's, when refs or specs were asked for; else 0
    };
    std::vector<BatchEntry> batch;
    // Finder information of the current batch, read by whichever of the
    // caller and the prefetch thread claims an entry first (see Prefetcher).
    struct Loaded {
        std::atomic<std::uint8_t> state{0};  // kUnclaimed, kClaimed, kLoaded
        bool present = false;
        std::array<std::uint8_t, 32> bytes{};
    };
    std::unique_ptr<Loaded[]> loaded;
    std::size_t loadedCapacity = 0;
    bool prefetchWanted = false;  // the caller reads this batch's Finder information
    // The subfolders of the current batch, in order, which the read-ahead
    // thread may list before the caller opens them (see Prefetcher).
    struct Ahead {
        SInt32 dirID = 0;
        std::string nameZ;  // the folder's name, NUL-terminated for openat
        std::uint64_t ino = 0;
        std::atomic<std::uint8_t> state{0};  // kAheadPending ... kAheadTaken
        int fd = -1;
        bool foreign = false;
        std::string names;
        std::vector<sw::posix::RawEntry> entries;
        std::vector<std::uint8_t> sidecar;  // per entry: kSidecarUnknown, kSidecarYes, kSidecarNo
        std::vector<std::pair<std::uint32_t, sw::posix::KnownSidecar>> known;  // per "._" entry
    };
    std::vector<std::unique_ptr<Ahead>> ahead;
    std::atomic<std::size_t> aheadReached{0};  // slots the caller has come to
    // Per entry, whether a "._" entry is an AppleDouble sidecar (checked with
    // the listing); kSidecarUnknown for other entries.
    std::vector<std::uint8_t> sidecar;
};

namespace sw::posix {
namespace {

std::vector<OpaqueFSIterator*>& LiveIterators() {
    static std::vector<OpaqueFSIterator*> live;
    return live;
}

// --- Read-ahead thread -----------------------------------------------------------
// A caller that reads the Finder information of a batch usually reads all of
// it, and every entry costs a system call or more. Once it reads the first,
// a second thread reads the batch from its end while the caller goes on from
// its start; each entry is claimed by one of them (an atomic state), so none
// is read twice. Likewise a walk opens the folders of a batch one after the
// other: the thread lists the later ones while the caller lists the next.
// The thread touches an iterator only while it runs a job for it, and every
// call that changes or frees a batch first stops the job. Nothing is read
// ahead that the caller does not go on to ask for in the same way.
enum : std::uint8_t { kUnclaimed = 0, kClaimed = 1, kLoaded = 2 };
enum : std::uint8_t {
    kAheadPending = 0,
    kAheadWorking = 1,
    kAheadReady = 2,
    kAheadTaken = 3,
    kAheadAbandoned = 4,  // the caller went on without it while it was being listed
};
enum : std::uint8_t { kSidecarUnknown = 0, kSidecarYes = 1, kSidecarNo = 2 };
// How far the listings may run ahead of the caller, and how many may wait
// in all (each holds a descriptor; a deep walk keeps some at every level, and
// the caller's own opens must never run out).
constexpr std::size_t kAheadLead = 8;
constexpr int kAheadOpenMax = 32;
std::atomic<int> gAheadOpen{0};  // listings ready and not yet taken or dropped

void LoadEntry(OpaqueFSIterator& it, std::size_t index, int dirfd);
void ListAhead(OpaqueFSIterator& parent, OpaqueFSIterator::Ahead& slot);

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}
EntryLocation LocationOf(const OpaqueFSIterator& it, const RawEntry& e, bool isDirectory);

// The CPUs this process may run on: with one, a second thread only slows
// the first.
int UsableCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    return CPU_COUNT(&set);
}

class Prefetcher {
  public:
    // The thread, to post work to; null where there is none, it is off, or
    // it is backing off from a busy machine.
    static Prefetcher* Get() {
        if (!Enabled().load(std::memory_order_relaxed)) return nullptr;
        Prefetcher* p = Instance();
        return p && !p->BackingOff() ? p : nullptr;
    }

    // The thread, on or off (work it has may still run); null where there is
    // none, as in a forked child.
    static Prefetcher* Instance() {
        // Leaked on purpose: the thread may still wait when the process ends.
        static Prefetcher* instance = UsableCpus() >= 2 ? new Prefetcher : nullptr;
        if (instance && instance->pid_ != ::getpid()) return nullptr;
        return instance;
    }

    static std::atomic<bool>& Enabled() {
        static std::atomic<bool> enabled{true};
        return enabled;
    }

    enum class Job { kFinderInfo, kListings };

    // Starts reading `it`'s batch ahead (any earlier job is stopped first):
    // the Finder information of its entries, or the listings of its subfolders.
    void Post(OpaqueFSIterator* it, Job kind) {
        // The last job, posted a while ago, never started: the thread gets
        // no CPU time now. (A thread just started or woken needs a moment.)
        const auto now = std::chrono::steady_clock::now();
        if (phase_.load(std::memory_order_acquire) == kPosted && now - postedAt_ > kStarved)
            NoteStarved(now);
        postedAt_ = now;
        Stop();
        job_ = it;
        kind_ = kind;
        cancel_.store(false, std::memory_order_relaxed);
        // Sequentially consistent with the thread's "sleeping, then look
        // again": one of the two sees the other, so no post is slept through.
        phase_.store(kPosted);
        if (sleeping_.load()) phase_.notify_one();
    }

    // Returns once no job runs; `it` (or any iterator) may then change.
    void Stop() {
        int p = kPosted;
        if (phase_.compare_exchange_strong(p, kIdle, std::memory_order_acq_rel)) return;
        if (p != kRunning) return;
        cancel_.store(true, std::memory_order_relaxed);
        // The job ends after the entry or folder in hand: a few microseconds,
        // unless the machine is busy and the thread is not running.
        std::chrono::steady_clock::time_point slowSince{};
        bool noted = false;
        for (int spin = 0; phase_.load(std::memory_order_acquire) == kRunning; ++spin) {
            if (spin < 256) {
                CpuRelax();
                continue;
            }
            const auto now = std::chrono::steady_clock::now();
            if (slowSince == std::chrono::steady_clock::time_point{}) slowSince = now;
            if (now - slowSince > kSlowStop && !noted) {
                noted = true;
                NoteSlowStop(now);
            }
            std::this_thread::yield();
        }
    }

    bool RunningFor(const OpaqueFSIterator* it) const {
        return job_ == it && phase_.load(std::memory_order_acquire) != kIdle;
    }

  private:
    enum : int { kIdle, kPosted, kRunning };
    // A stop that waits this long means the machine has no CPU to spare for
    // the thread; after a few, it rests for a while and the caller works alone.
    static constexpr std::chrono::microseconds kSlowStop{500};
    static constexpr int kSlowStopsToBackOff = 2;
    static constexpr int kStarvedToBackOff = 2;
    static constexpr std::chrono::milliseconds kStarved{2};
    static constexpr std::chrono::seconds kBackOff{1};

    void NoteSlowStop(std::chrono::steady_clock::time_point now) {
        if (++slowStops_ < kSlowStopsToBackOff) return;
        slowStops_ = 0;
        backOffUntil_ = now + kBackOff;
        backingOff_ = true;
    }
    void NoteStarved(std::chrono::steady_clock::time_point now) {
        if (++starved_ < kStarvedToBackOff) return;
        starved_ = 0;
        backOffUntil_ = now + kBackOff;
        backingOff_ = true;
    }

    // Only the caller's thread reads and writes these.
    bool BackingOff() {
        if (!backingOff_) return false;
        if (std::chrono::steady_clock::now() < backOffUntil_) return true;
        backingOff_ = false;
        return false;
    }
    Prefetcher() : pid_(::getpid()) {
        // Signals stay with the threads that expect them: the new thread
        // starts with all of them blocked.
        sigset_t all, previous;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous);
        std::thread([this] { Loop(); }).detach();
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    void Loop() {
        for (;;) {
            // A walk posts a job per folder: spin a little before sleeping,
            // so that the next one is taken without a wake-up.
            int p = phase_.load(std::memory_order_acquire);
            for (int spin = 0; p != kPosted && spin < 20000; ++spin) {
                CpuRelax();
                p = phase_.load(std::memory_order_acquire);
            }
            if (p != kPosted) {
                sleeping_.store(true);
                while ((p = phase_.load()) != kPosted) phase_.wait(p);
                sleeping_.store(false, std::memory_order_relaxed);
            }
            if (!phase_.compare_exchange_strong(p, kRunning, std::memory_order_acq_rel)) continue;
            if (kind_ == Job::kListings) {
                RunListings(*job_);
            } else {
                RunFinderInfo(*job_);
            }
            phase_.store(kIdle, std::memory_order_release);
        }
    }

    // Lists the subfolders the caller will open after the one it opens next
    // (that one it lists itself), so that both list at once; never more than
    // kAheadLead ahead of the caller.
    void RunListings(OpaqueFSIterator& it) {
        for (;;) {
            if (cancel_.load(std::memory_order_relaxed)) return;
            const std::size_t reached = it.aheadReached.load(std::memory_order_acquire);
            std::size_t i = reached + 1;
            while (i < it.ahead.size() &&
                   it.ahead[i]->state.load(std::memory_order_relaxed) != kAheadPending)
                ++i;
            if (i >= it.ahead.size()) return;
            if (i >= reached + kAheadLead) {
                CpuRelax();
                continue;
            }
            ListAhead(it, *it.ahead[i]);
        }
    }

    // Reads the batch's Finder information from its end.
    void RunFinderInfo(OpaqueFSIterator& it) {
        // A descriptor of its own: two threads using one open file make every
        // call of both bounce its reference count between cores.
        const int own = ::openat(it.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (std::size_t i = it.batch.size(); i-- > 0;) {
            if (cancel_.load(std::memory_order_relaxed)) break;
            LoadEntry(it, i, own >= 0 ? own : it.fd);
        }
        if (own >= 0) ::close(own);
    }

    const pid_t pid_;
    OpaqueFSIterator* job_ = nullptr;  // written only while no job runs
    Job kind_ = Job::kFinderInfo;
    std::atomic<int> phase_{kIdle};
    std::atomic<bool> cancel_{false};
    std::atomic<bool> sleeping_{false};
    int slowStops_ = 0;
    int starved_ = 0;
    std::chrono::steady_clock::time_point postedAt_{};
    bool backingOff_ = false;
    std::chrono::steady_clock::time_point backOffUntil_{};
};

// Claims entry `index` of the current batch and reads its Finder information,
// unless the other side has claimed it.
void LoadEntry(OpaqueFSIterator& it, std::size_t index, int dirfd) {
    OpaqueFSIterator::Loaded& slot = it.loaded[index];
    std::uint8_t expected = kUnclaimed;
    if (!it.batch[index].lazyFinderInfo ||
        !slot.state.compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel))
        return;
    const auto& b = it.batch[index];
    EntryLocation at = LocationOf(it, it.entries[b.entry], b.isDirectory);
    at.dirfd = dirfd;
    const auto fi = ReadFinderInfo(at);
    slot.present = fi.has_value();
    if (fi) slot.bytes = *fi;
    slot.state.store(kLoaded, std::memory_order_release);
}

int OpenSubfolderOnSameMount(int parentFd, const char* name, bool& sameMountChecked);

// Checks every "._" entry of a listing: `sidecar` gets a flag per entry and
// `known` what each "._" file showed.
void CheckSidecars(int fd, const std::string& names, const std::vector<RawEntry>& entries,
                   std::vector<std::uint8_t>& sidecar,
                   std::vector<std::pair<std::uint32_t, KnownSidecar>>& known) {
    sidecar.assign(entries.size(), kSidecarUnknown);
    known.clear();
    const std::string_view all(names);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const RawEntry& e = entries[i];
        const std::string_view name = all.substr(e.nameOffset, e.nameLength);
        if (name.size() <= 2 || name[0] != '.' || name[1] != '_') continue;
        KnownSidecar k;
        const bool genuine =
            (e.type == DT_REG || e.type == DT_UNKNOWN) && IsAppleDoubleSidecar(fd, name, &k);
        sidecar[i] = genuine ? kSidecarYes : kSidecarNo;
        known.emplace_back(static_cast<std::uint32_t>(i), k);
    }
}

// Lists one subfolder of `parent`'s batch ahead of the caller, with its
// sidecars checked, unless the caller has claimed it. Anything but success
// (or a mount point) leaves the slot to the caller, which then meets the
// same failure itself and reports it as it always does.
void ListAhead(OpaqueFSIterator& parent, OpaqueFSIterator::Ahead& slot) {
    if (gAheadOpen.load(std::memory_order_relaxed) >= kAheadOpenMax) return;
    std::uint8_t expected = kAheadPending;
    if (!slot.state.compare_exchange_strong(expected, kAheadWorking, std::memory_order_acq_rel))
        return;
    // The caller may have gone on without this folder meanwhile: then what
    // was opened is closed and the slot stays abandoned.
    auto finish = [&](std::uint8_t to) {
        std::uint8_t working = kAheadWorking;
        if (to == kAheadReady && slot.fd >= 0) gAheadOpen.fetch_add(1, std::memory_order_relaxed);
        if (slot.state.compare_exchange_strong(working, to, std::memory_order_acq_rel)) return;
        if (to == kAheadReady && slot.fd >= 0) gAheadOpen.fetch_sub(1, std::memory_order_relaxed);
        if (slot.fd >= 0) ::close(slot.fd);
        slot.fd = -1;
    };
    auto giveBack = [&] {
        if (slot.fd >= 0) ::close(slot.fd);
        slot.fd = -1;
        finish(kAheadPending);
    };
    bool sameMountChecked = false;
    slot.fd = OpenSubfolderOnSameMount(parent.fd, slot.nameZ.c_str(), sameMountChecked);
    if (slot.fd < 0) {
        if (errno != EXDEV || !sameMountChecked) return giveBack();
        slot.foreign = true;
        return finish(kAheadReady);
    }
    std::optional<Volume> v = FindVolume(parent.vRefNum);
    if (!sameMountChecked || !v) return giveBack();
    slot.foreign = IsVolumeRootOtherThan(v->dev, slot.ino, parent.vRefNum);
    if (!slot.foreign) {
        slot.names.clear();
        slot.entries.clear();
        if (ReadWholeDirectory(slot.fd, slot.names, slot.entries, v->shortReadIsEnd) != 0)
            return giveBack();
        CheckSidecars(slot.fd, slot.names, slot.entries, slot.sidecar, slot.known);
    }
    finish(kAheadReady);
}

// The listing of subfolder `dirID` of `parent`, when it was read ahead; null
// when the caller is to list it (it has then claimed the slot).
OpaqueFSIterator::Ahead* TakeAhead(OpaqueFSIterator& parent, SInt32 dirID) {
    auto& ahead = parent.ahead;
    std::size_t i = parent.aheadReached.load(std::memory_order_relaxed);
    if (i >= ahead.size() || ahead[i]->dirID != dirID) {
        i = 0;
        while (i < ahead.size() && ahead[i]->dirID != dirID) ++i;
        if (i == ahead.size()) return nullptr;
    }
    parent.aheadReached.store(std::max(parent.aheadReached.load(std::memory_order_relaxed), i + 1),
                              std::memory_order_release);
    OpaqueFSIterator::Ahead& slot = *ahead[i];
    for (;;) {
        std::uint8_t state = kAheadPending;
        if (slot.state.compare_exchange_strong(state, kAheadTaken, std::memory_order_acq_rel))
            return nullptr;  // not started: the caller lists it
        if (state == kAheadReady) {
            slot.state.store(kAheadTaken, std::memory_order_relaxed);
            if (slot.fd >= 0) gAheadOpen.fetch_sub(1, std::memory_order_relaxed);
            return &slot;
        }
        if (state != kAheadWorking) return nullptr;
        // Being listed right now. The caller never waits for the thread (on
        // a busy machine it may not run for a while): it lists the folder
        // itself, and the thread's listing is thrown away.
        if (slot.state.compare_exchange_strong(state, kAheadAbandoned, std::memory_order_acq_rel))
            return nullptr;
    }
}

// Frees the listings of `it`'s subfolders that nobody took. The read-ahead
// must not be running for `it`.
void DropAhead(OpaqueFSIterator& it) {
    for (auto& slot : it.ahead) {
        if (slot->state.load(std::memory_order_acquire) == kAheadReady && slot->fd >= 0) {
            ::close(slot->fd);
            gAheadOpen.fetch_sub(1, std::memory_order_relaxed);
        }
    }
    it.ahead.clear();
    it.aheadReached.store(0, std::memory_order_relaxed);
}

// Whether the caller read Finder information from its latest batches (set by
// a read, cleared by a batch left unread); chooses the thread's work.
bool& WalkReadsFinderInfo() {
    static bool reads = false;
    return reads;
}

// Stops a read-ahead that may be using `it` before `it`'s batch changes.
void StopPrefetchOf(const OpaqueFSIterator* it) {
    if (Prefetcher* p = Prefetcher::Instance(); p && p->RunningFor(it)) p->Stop();
}

struct LazyPool {
    std::vector<std::unique_ptr<FSCatalogInfoLazy>> all;
    std::vector<FSCatalogInfoLazy*> free;
};
LazyPool& Pool() {
    static LazyPool pool;
    return pool;
}

FSCatalogInfoLazy* AcquireLazy(OpaqueFSIterator* owner) {
    LazyPool& p = Pool();
    if (p.free.empty()) {
        p.all.push_back(std::make_unique<FSCatalogInfoLazy>());
        p.free.push_back(p.all.back().get());
    }
    FSCatalogInfoLazy* l = p.free.back();
    p.free.pop_back();
    l->owner = owner;
    ++l->generation;
    return l;
}

void ReleaseLazy(FSCatalogInfoLazy* l) {
    l->owner = nullptr;
    ++l->generation;
    Pool().free.push_back(l);
}

EntryLocation LocationOf(const OpaqueFSIterator& it, const RawEntry& e, bool isDirectory) {
    EntryLocation at{};
    at.dirfd = it.fd;
    at.name = std::string_view(it.names).substr(e.nameOffset, e.nameLength);
    at.isDirectory = isDirectory;
    if (!it.dotUnderscore.empty()) {
        if (auto found = it.dotUnderscore.find(at.name); found != it.dotUnderscore.end()) {
            at.mayHaveDotUnderscore = true;
            at.dotUnderscore = &found->second;
        }
    }
    at.mayHaveAppleDoubleDir = it.hasAppleDoubleDir;
    return at;
}

// Opens folder `r` for listing: relative to the still open parent iterator
// when there is one (no path walk), else by its full path.
int OpenFolder(const Resolved& r) {
    if (!r.isVolumeRoot) {
        auto& live = LiveIterators();
        for (auto i = live.rbegin(); i != live.rend(); ++i) {
            if ((*i)->vRefNum == r.vRefNum && (*i)->dirID == r.parentID && (*i)->fd >= 0) {
                return ::openat((*i)->fd, r.name.c_str(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            }
        }
        return ::openat(AT_FDCWD, r.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    return ::open(r.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// A folder ref whose parent has an iterator open: the parent's descriptor
// and the folder's table entry, with no path built (how a walk descends).
struct FolderInOpenParent {
    OpaqueFSIterator* parent = nullptr;
    int parentFd = -1;
    FSVolumeRefNum vRefNum = 0;
    SInt32 dirID = 0;
    const DirNode* node = nullptr;
};

bool FindFolderInOpenParent(const FSRef* ref, FolderInOpenParent& out) {
    RefFields f;
    if (!UnpackRef(ref, f) || !(f.flags & kRefDirectory) || f.id == kRootDirID) return false;
    const DirNode* n = Dirs().Find(f.vRefNum, f.id);
    if (n == nullptr) return false;
    auto& live = LiveIterators();
    for (auto i = live.rbegin(); i != live.rend(); ++i) {
        if ((*i)->vRefNum == f.vRefNum && (*i)->dirID == n->parent && (*i)->fd >= 0) {
            out = {*i, (*i)->fd, f.vRefNum, f.id, n};
            return true;
        }
    }
    return false;
}

// Opens subfolder `name` of `parentFd` for listing. Where the kernel has
// openat2, it refuses to enter a mount point (errno EXDEV) and sets
// `sameMountChecked`, which saves the statx a mount check needs otherwise.
int OpenSubfolderOnSameMount(int parentFd, const char* name, bool& sameMountChecked) {
    static std::atomic<bool> noOpenat2{false};
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    sameMountChecked = false;
    if (!noOpenat2.load(std::memory_order_relaxed)) {
        struct open_how how {};
        how.flags = kFlags;
        how.resolve = RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, parentFd, name, &how, sizeof how);
        if (fd >= 0 || errno == EXDEV) {
            sameMountChecked = true;
            return static_cast<int>(fd);
        }
        if (errno == ENOSYS) {
            noOpenat2.store(true, std::memory_order_relaxed);
        } else if (errno != EPERM) {  // a sandbox may refuse the call itself
            return -1;
        }
    }
    return ::openat(parentFd, name, kFlags);
}

// Device, inode and mount id of an open folder, with one system call where
// the kernel has statx.
struct FolderIdentity {
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;
    std::uint64_t mountId = 0;  // 0 when unknown
};

bool IdentifyFolder(int fd, bool wantMountId, FolderIdentity& id) {
#if SW_HAVE_STATX && defined(STATX_MNT_ID)
    struct statx sx {};
    const unsigned mask = STATX_INO | (wantMountId ? STATX_MNT_ID : 0u);
    if (::statx(fd, "", AT_EMPTY_PATH, mask, &sx) == 0 && (sx.stx_mask & STATX_INO)) {
        id.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
        id.ino = sx.stx_ino;
        id.mountId = wantMountId && (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
        return true;
    }
#endif
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.mountId = wantMountId ? MountIdOf(fd) : 0;
    return true;
}

// Buffers of closed iterators, kept for the next folder: a walk opens one
// iterator per folder, and the listing buffers then grow only once.
struct SpareBuffers {
    std::string names;
    std::vector<RawEntry> entries;
    std::vector<OpaqueFSIterator::BatchEntry> batch;
};
std::vector<SpareBuffers>& Spares() {
    static std::vector<SpareBuffers> spares;
    return spares;
}

// `rawPath` made absolute, with every symbolic link followed except, when
// `followLastLink` is clear, one in the last component. The last component
// need not exist then. false with errno set when a folder on the way is
// missing or unreadable.
bool CanonicalPath(std::string_view rawPath, bool followLastLink, std::string& out) {
    const std::string input(rawPath);
    const std::size_t slash = input.rfind('/');
    const std::string leaf = slash == std::string::npos ? input : input.substr(slash + 1);
    // "x/", "x/." and "x/.." name a folder reached through x: resolved whole.
    const bool whole = followLastLink || leaf.empty() || leaf == "." || leaf == "..";
    const std::string folder = whole                        ? input
                               : slash == std::string::npos ? "."
                               : slash == 0                 ? "/"
                                                            : input.substr(0, slash);
    char* canonical = ::realpath(folder.c_str(), nullptr);
    if (!canonical) return false;
    out = canonical;
    std::free(canonical);
    if (!whole) out = JoinPath(out, leaf);
    return true;
}

// The FSRef of the item at `rawPath`. The folders on the way are made
// canonical (symbolic links among them followed); the last component is
// followed only when `followLastLink` is set, so that a path or alias that
// names a link gives the link itself.
OSErr PathToRef(std::string_view rawPath, bool followLastLink, FSRef& ref, bool* isDirectory) {
    if (rawPath.empty()) return fnfErr;
    if (rawPath.find('\0') != std::string_view::npos) return bdNamErr;  // would name another item
    std::string path;
    if (!CanonicalPath(rawPath, followLastLink, path)) return OSErrFromErrno(errno);
    std::optional<Volume> v = VolumeForPath(path);
    if (!v) return nsvErr;
    SInt32 dirID = kRootDirID;
    std::string current = v->mountPoint;
    std::string_view rest =
        std::string_view(path).substr(v->mountPoint == "/" ? 1 : v->mountPoint.size());
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    if (rest.empty()) {
        MakeDirRef(v->vRefNum, kRootDirID, ref);
        if (isDirectory) *isDirectory = true;
        return noErr;
    }
    for (;;) {
        const std::size_t slash = rest.find('/');
        const std::string_view name = rest.substr(0, slash);
        current = JoinPath(current, name);
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0) return OSErrFromErrno(errno);
        const bool last = slash == std::string_view::npos;
        if (S_ISDIR(st.st_mode)) {
            const SInt32 id = Dirs().Intern(v->vRefNum, dirID, name, st.st_ino);
            if (id == 0) return memFullErr;
            if (last) {
                MakeDirRef(v->vRefNum, id, ref);
                if (isDirectory) *isDirectory = true;
                return noErr;
            }
            dirID = id;
        } else {
            if (!last) return dirNFErr;
            MakeFileRef(v->vRefNum, dirID, name, st.st_ino, ref);
            if (isDirectory) *isDirectory = false;
            return noErr;
        }
        rest.remove_prefix(slash + 1);
    }
}

}  // namespace

// --- Internal interface -----------------------------------------------------------------

OpenedEntry::OpenedEntry(OpenedEntry&& other) noexcept
    : dirfd(std::exchange(other.dirfd, -1)),
      name(std::move(other.name)),
      isDirectory(other.isDirectory) {}

OpenedEntry& OpenedEntry::operator=(OpenedEntry&& other) noexcept {
    if (this != &other) {
        if (dirfd >= 0) ::close(dirfd);
        dirfd = std::exchange(other.dirfd, -1);
        name = std::move(other.name);
        isDirectory = other.isDirectory;
    }
    return *this;
}

OpenedEntry::~OpenedEntry() {
    if (dirfd >= 0) ::close(dirfd);
}

void SetReadAheadForTesting(bool enabled) {
    Prefetcher::Enabled().store(enabled, std::memory_order_relaxed);
}

void MakeVolumeRootRef(FSVolumeRefNum vRefNum, FSRef& ref) {
    MakeDirRef(vRefNum, kRootDirID, ref);
}

OSErr DirectoryPath(FSVolumeRefNum vRefNum, SInt32 dirID, std::string& path) {
    std::optional<Volume> v = FindVolume(vRefNum);
    if (!v) return nsvErr;
    std::vector<const std::string*> names;
    SInt32 id = dirID;
    while (id != kRootDirID) {
        const DirNode* n = Dirs().Find(vRefNum, id);
        if (!n || names.size() > 4096) return dirNFErr;
        names.push_back(&n->name);
        id = n->parent;
    }
    path = v->mountPoint;
    for (auto i = names.rbegin(); i != names.rend(); ++i) path = JoinPath(path, **i);
    return noErr;
}

OSErr FSRefToPosixPath(const FSRef& ref, std::string& path) {
    Resolved r;
    if (OSErr err = Resolve(&ref, r); err != noErr) return err;
    path = r.path;
    return noErr;
}

OSErr FSRefToFSSpec(const FSRef& ref, FSSpec& spec) {
    Resolved r;
    if (OSErr err = Resolve(&ref, r); err != noErr) return err;
    return SpecOfResolved(r, spec);
}

OSErr FSSpecToPosixPath(const FSSpec& spec, std::string& path) {
    if (spec.name[0] > 63) return bdNamErr;
    std::optional<Volume> v = FindVolume(spec.vRefNum);
    if (!v) return nsvErr;
    if (spec.parID == kRootParentDirID) {
        path = v->mountPoint;
        return noErr;
    }
    std::string dir;
    if (OSErr err = DirectoryPath(spec.vRefNum, spec.parID, dir); err != noErr) return err;
    const std::string_view roman(reinterpret_cast<const char*>(spec.name + 1), spec.name[0]);
    if (roman.empty()) {  // the folder itself
        path = dir;
        return noErr;
    }
    path = JoinPath(dir, ResolveSpecName(dir, roman));
    return noErr;
}

OSErr PosixPathToFSRef(std::string_view rawPath, FSRef& ref, bool* isDirectory) {
    return PathToRef(rawPath, /*followLastLink=*/false, ref, isDirectory);
}

OSErr PosixPathToFSSpec(std::string_view path, FSSpec& spec) {
    FSRef ref;
    if (OSErr err = PosixPathToFSRef(path, ref, nullptr); err != noErr) return err;
    return FSRefToFSSpec(ref, spec);
}

OSErr HFSPathToPosixPath(std::string_view romanPath, std::string& path) {
    const std::size_t colon = romanPath.find(':');
    if (colon == 0 || colon == std::string_view::npos) return bdNamErr;
    const std::string_view volRoman = romanPath.substr(0, colon);
    const std::string volName =
        MacRomanToUtf8(reinterpret_cast<const unsigned char*>(volRoman.data()), volRoman.size());
    std::optional<Volume> v = FindVolumeByName(volName);
    if (!v) return nsvErr;
    path = v->mountPoint;
    std::string_view rest = romanPath.substr(colon + 1);
    while (!rest.empty()) {
        const std::size_t next = rest.find(':');
        const std::string_view component = rest.substr(0, next);
        if (component.empty()) {
            // "::" climbs one level, as in classic partial paths; never above the volume.
            if (path.size() > v->mountPoint.size()) {
                path.erase(path.rfind('/'));
                if (path.size() < v->mountPoint.size()) path = v->mountPoint;
            }
        } else {
            if (component.size() > 255) return bdNamErr;
            path = JoinPath(path, ResolveSpecName(path, component));
        }
        if (next == std::string_view::npos) break;
        rest.remove_prefix(next + 1);
    }
    return noErr;
}

OSErr FSRefToEntry(const FSRef& ref, OpenedEntry& entry) {
    Resolved r;
    if (OSErr err = Resolve(&ref, r); err != noErr) return err;
    entry = OpenedEntry();
    entry.isDirectory = r.isDirectory;
    if (r.isVolumeRoot) {
        // The root has no name in a parent on its own volume: use "." inside it.
        entry.dirfd = ::open(r.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        entry.name.assign(1, '.');
    } else {
        entry.dirfd = ::open(r.parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        entry.name = r.name;
    }
    if (entry.dirfd < 0) return OSErrFromErrno(errno);
    return noErr;
}

OSErr FSSpecToEntry(const FSSpec& spec, OpenedEntry& entry) {
    FSRef ref;
    if (OSErr err = FSpMakeFSRef(&spec, &ref); err != noErr) return err;
    return FSRefToEntry(ref, entry);
}

}  // namespace sw::posix

// --- Public calls -------------------------------------------------------------------------

using namespace sw::posix;

const UInt8* FSCatalogInfoFinderInfo(FSCatalogInfo* info) {
    if (FSCatalogInfoLazy* l = info->lazy) {
        info->lazy = nullptr;
        std::memset(info->finderInfo, 0, sizeof info->finderInfo);
        std::memset(info->extFinderInfo, 0, sizeof info->extFinderInfo);
        const UInt16 generation = static_cast<UInt16>(info->lazyIndex >> 16);
        const UInt32 index = info->lazyIndex & 0xFFFF;
        OpaqueFSIterator* it = l->owner;
        if (it && l->generation == generation && index < it->batch.size() &&
            it->batch[index].lazyFinderInfo) {
            if (!it->prefetchWanted) {
                it->prefetchWanted = true;
                WalkReadsFinderInfo() = true;
                if (Prefetcher* p = Prefetcher::Get(); p && it->batch.size() > 1)
                    p->Post(it, Prefetcher::Job::kFinderInfo);
            }
            LoadEntry(*it, index, it->fd);
            OpaqueFSIterator::Loaded& slot = it->loaded[index];
            if (slot.state.load(std::memory_order_acquire) != kLoaded) {
                // The thread is reading this entry now (or, in a forked child,
                // was when the process forked): read it here rather than wait.
                const auto& b = it->batch[index];
                CopyFinderInfo(ReadFinderInfo(LocationOf(*it, it->entries[b.entry], b.isDirectory)),
                               *info);
                return info->finderInfo;
            }
            if (slot.present) {
                std::memcpy(info->finderInfo, slot.bytes.data(), 16);
                std::memcpy(info->extFinderInfo, slot.bytes.data() + 16, 16);
            }
        }
    }
    return info->finderInfo;
}

OSType FSCatalogInfoFileType(FSCatalogInfo* info) {
    const UInt8* f = FSCatalogInfoFinderInfo(info);
    return (OSType{f[0]} << 24) | (OSType{f[1]} << 16) | (OSType{f[2]} << 8) | f[3];
}

OSType FSCatalogInfoCreator(FSCatalogInfo* info) {
    const UInt8* f = FSCatalogInfoFinderInfo(info);
    return (OSType{f[4]} << 24) | (OSType{f[5]} << 16) | (OSType{f[6]} << 8) | f[7];
}

UInt16 FSCatalogInfoFinderFlags(FSCatalogInfo* info) {
    const UInt8* f = FSCatalogInfoFinderInfo(info);
    return static_cast<UInt16>((f[8] << 8) | f[9]);
}

OSErr FSOpenIterator(const FSRef* container, FSIteratorFlags flags, FSIterator* iterator) {
    if (!iterator) return paramErr;
    *iterator = nullptr;
    if (flags != kFSIterateFlat) return errFSBadIteratorFlags;
    Resolved r;
    int fd = -1;
    // Set when the mount check is already done: by the kernel refusing to
    // cross a mount point, and by the folder's inode from its parent's listing.
    std::optional<bool> knownForeign;
    OpaqueFSIterator::Ahead* ahead = nullptr;
    bool onSameMount = false;  // opened by the kernel only on its parent's mount
    FolderInOpenParent inParent;
    if (FindFolderInOpenParent(container, inParent)) {
        // What Resolve would give, but the folder's path, which is not needed.
        r.vRefNum = inParent.vRefNum;
        r.isDirectory = true;
        r.dirID = inParent.dirID;
        r.parentID = inParent.node->parent;
        r.ino = inParent.node->ino;
        ahead = TakeAhead(*inParent.parent, inParent.dirID);
        if (ahead) {
            // Opened, checked and listed by the read-ahead.
            fd = std::exchange(ahead->fd, -1);
            knownForeign = ahead->foreign;
        } else {
            fd = OpenSubfolderOnSameMount(inParent.parentFd, inParent.node->name.c_str(),
                                          onSameMount);
            if (fd < 0 && errno == EXDEV) knownForeign = true;
            onSameMount = onSameMount && fd >= 0;
        }
    } else {
        if (OSErr err = Resolve(container, r); err != noErr) return err;
        fd = OpenFolder(r);
    }
    if (fd < 0 && !knownForeign) {
        // O_NOFOLLOW on a symbolic link: a link is a file, never a folder.
        if (errno == ELOOP || errno == ENOTDIR) return errFSNotAFolder;
        return OSErrFromErrno(errno);
    }
    auto it = std::make_unique<OpaqueFSIterator>();
    if (!Spares().empty()) {
        it->names.swap(Spares().back().names);
        it->entries.swap(Spares().back().entries);
        it->batch.swap(Spares().back().batch);
        Spares().pop_back();
    }
    it->fd = fd;
    it->vRefNum = r.vRefNum;
    it->dirID = r.isDirectory ? r.dirID : 0;
    if (!r.isDirectory) {
        // A file ref that now names a folder: give it an ID so its entries have a parent.
        it->dirID = Dirs().Intern(r.vRefNum, r.parentID, r.name, r.ino);
    }
    // Another volume mounted here: listed by its parent, but never descended.
    std::optional<Volume> v = FindVolume(r.vRefNum);
    if (!v) {
        if (fd >= 0) ::close(fd);
        return nsvErr;
    }
    if (onSameMount) {
        // Same mount, so the volume's device: only a stand-in volume root
        // (a folder given as a volume) is left to rule out.
        knownForeign = IsVolumeRootOtherThan(v->dev, r.ino, r.vRefNum);
    }
    bool foreign = knownForeign.value_or(false);
    if (!r.isVolumeRoot && !knownForeign) {
        FolderIdentity id;
        if (IdentifyFolder(fd, v->mountId != 0, id)) {
            // The mount id tells mounts apart even on one device; st_dev is the
            // fallback on kernels without it.
            foreign = IsVolumeRootOtherThan(id.dev, id.ino, r.vRefNum) ||
                      (id.mountId != 0 ? id.mountId != v->mountId : id.dev != v->dev);
        }
    }
    if (ahead) {
        it->names.swap(ahead->names);
        it->entries.swap(ahead->entries);
        it->sidecar.swap(ahead->sidecar);
    } else if (!foreign) {
        if (int err = ReadWholeDirectory(fd, it->names, it->entries, v->shortReadIsEnd); err != 0) {
            ::close(fd);
            return OSErrFromErrno(err);
        }
    }
    // Sidecars are checked once, with the listing (the read-ahead did it for
    // a listing it read): which "._" entries to hide, and what they hold.
    std::vector<std::pair<std::uint32_t, KnownSidecar>> known;
    if (ahead) {
        known.swap(ahead->known);
    } else if (fd >= 0) {
        CheckSidecars(fd, it->names, it->entries, it->sidecar, known);
    }
    std::string_view all(it->names);
    for (const auto& [index, k] : known) {
        const RawEntry& e = it->entries[index];
        it->dotUnderscore.emplace(all.substr(e.nameOffset + 2, e.nameLength - 2u), k);
    }
    for (const RawEntry& e : it->entries) {
        if (all.substr(e.nameOffset, e.nameLength) == ".AppleDouble") it->hasAppleDoubleDir = true;
    }
    it->lazy = AcquireLazy(it.get());
    LiveIterators().push_back(it.get());
    *iterator = it.release();
    return noErr;
}

OSErr FSCloseIterator(FSIterator iterator) {
    auto& live = LiveIterators();
    auto pos = std::find(live.begin(), live.end(), iterator);
    if (!iterator || pos == live.end()) return errFSIteratorNotFound;
    StopPrefetchOf(iterator);
    DropAhead(*iterator);
    live.erase(pos);
    // Back in the parent's batch: its read-ahead, stopped when this folder's
    // began, goes on.
    if (Prefetcher* p = Prefetcher::Get(); p && !live.empty() && !p->RunningFor(live.back())) {
        OpaqueFSIterator* parent = live.back();
        if (parent->prefetchWanted) {
            p->Post(parent, Prefetcher::Job::kFinderInfo);
        } else if (parent->aheadReached.load(std::memory_order_relaxed) < parent->ahead.size()) {
            p->Post(parent, Prefetcher::Job::kListings);
        }
    }
    ReleaseLazy(iterator->lazy);
    if (iterator->fd >= 0) ::close(iterator->fd);
    // Huge listings give their memory back; ordinary ones keep it for reuse.
    constexpr std::size_t kKeepBytes = 1 << 20;
    if (Spares().size() < 8 && iterator->names.capacity() <= kKeepBytes &&
        iterator->entries.capacity() * sizeof(RawEntry) <= kKeepBytes) {
        iterator->names.clear();
        iterator->entries.clear();
        iterator->batch.clear();
        Spares().push_back(
            {std::move(iterator->names), std::move(iterator->entries), std::move(iterator->batch)});
    }
    delete iterator;
    return noErr;
}

OSErr FSGetCatalogInfoBulk(FSIterator iterator, UInt32 maximumObjects, UInt32* actualObjects,
                           Boolean* containerChanged, FSCatalogInfoBitmap whichInfo,
                           FSCatalogInfo* catalogInfos, FSRef* refs, FSSpec* specs,
                           HFSUniStr255* names) {
    if (actualObjects) *actualObjects = 0;
    if (containerChanged) *containerChanged = false;
    auto& live = LiveIterators();
    if (!iterator || std::find(live.begin(), live.end(), iterator) == live.end()) {
        return errFSIteratorNotFound;
    }
    if (maximumObjects == 0) return errFSBadItemCount;
    OpaqueFSIterator& it = *iterator;
    StopPrefetchOf(iterator);
    DropAhead(it);
    // A batch whose Finder information went unread: the walk reads none.
    const bool hadLazy = std::any_of(it.batch.begin(), it.batch.end(),
                                     [](const auto& b) { return b.lazyFinderInfo; });
    if (hadLazy && !it.prefetchWanted) WalkReadsFinderInfo() = false;
    it.prefetchWanted = false;
    // Finder information of the previous batch is no longer loadable.
    FSCatalogInfoLazy* lazy = it.lazy;
    ++lazy->generation;
    it.batch.clear();
    // lazyIndex keeps 16 bits for the index: larger requests get fewer entries.
    const UInt32 limit = std::min<UInt32>(maximumObjects, 0xFFFF);
    it.batch.reserve(std::min<std::size_t>(limit, it.entries.size() - it.next));
    const bool wantType = (whichInfo & (kFSCatInfoNodeFlags | kFSCatInfoFinderInfo |
                                        kFSCatInfoRsrcSizes | kFSCatInfoDataSizes)) ||
                          refs || specs;
    const bool wantStat = whichInfo & kStatFields;
    const std::string_view all(it.names);
    UInt32 count = 0;
    while (count < limit && it.next < it.entries.size()) {
        const std::uint32_t index = static_cast<std::uint32_t>(it.next++);
        const RawEntry& e = it.entries[index];
        const std::string_view name = all.substr(e.nameOffset, e.nameLength);

        // AppleDouble sidecars that validate are metadata, not items.
        // (Checked with the listing, by CheckSidecars.)
        if (index < it.sidecar.size() && it.sidecar[index] == kSidecarYes) continue;
        bool isDirectory = e.type == DT_DIR;
        bool isSymlink = e.type == DT_LNK;
        StatFields st;
        if (wantStat || (e.type == DT_UNKNOWN && (wantType || name == ".AppleDouble"))) {
            const std::string nameZ(name);  // names are packed without terminators
            st = StatAt(it.fd, nameZ.c_str(), whichInfo & kFSCatInfoCreateDate);
            if (!st.ok && errno == ENOENT) continue;  // removed since the listing was read
            if (st.ok && e.type == DT_UNKNOWN) {
                isDirectory = st.isDirectory;
                isSymlink = st.isSymlink;
            }
        }
        if (isDirectory && name == ".AppleDouble") continue;

        // The sidecar hints matter only to the readers FillFields may call.
        const EntryLocation at = whichInfo & (kFSCatInfoCreateDate | kFSCatInfoRsrcSizes)
                                     ? LocationOf(it, e, isDirectory)
                                     : EntryLocation{it.fd, name, isDirectory, false, false};
        bool lazyFinderInfo = false;
        if (catalogInfos) {
            FSCatalogInfo& info = catalogInfos[count];
            std::memset(&info, 0, sizeof info);
            FillFields(whichInfo, at, isSymlink, st, info);
            if (whichInfo & kFSCatInfoFinderInfo) {
                if (isSymlink) {
                    SetSymlinkFinderInfo(info);
                } else {
                    info.lazy = lazy;
                    info.lazyIndex = (UInt32{lazy->generation} << 16) | count;
                    lazyFinderInfo = true;
                }
            }
        }
        SInt32 dirID = 0;
        if (isDirectory && (refs || specs)) {
            dirID = Dirs().Intern(it.vRefNum, it.dirID, name, e.ino);
        }
        if (refs) {
            if (isDirectory && dirID != 0) {
                MakeDirRef(it.vRefNum, dirID, refs[count]);
            } else {
                MakeFileRef(it.vRefNum, it.dirID, name, e.ino, refs[count]);
            }
        }
        if (specs) SetSpec(it.vRefNum, it.dirID, name, e.ino, specs[count]);
        if (names) PosixNameToUnicode(name, names[count]);
        it.batch.push_back({index, isDirectory, lazyFinderInfo, dirID});
        ++count;
    }
    // The subfolders a walk will open next: listed ahead by the other thread.
    Prefetcher* prefetcher = Prefetcher::Get();
    // A walk that reads Finder information keeps the thread on that: the
    // listings it would start are stopped at the first read anyway.
    if (prefetcher && refs && !WalkReadsFinderInfo()) {
        for (const auto& b : it.batch) {
            if (!b.isDirectory || b.dirID == 0) continue;
            const RawEntry& e = it.entries[b.entry];
            auto slot = std::make_unique<OpaqueFSIterator::Ahead>();
            slot->dirID = b.dirID;
            slot->nameZ.assign(all.substr(e.nameOffset, e.nameLength));
            slot->ino = e.ino;
            it.ahead.push_back(std::move(slot));
        }
        if (it.ahead.size() > 1) prefetcher->Post(&it, Prefetcher::Job::kListings);
    }
    if (it.loadedCapacity < count) {
        it.loaded = std::make_unique<OpaqueFSIterator::Loaded[]>(count);
        it.loadedCapacity = count;
    } else {
        for (UInt32 i = 0; i < count; ++i) it.loaded[i].state.store(kUnclaimed);
    }
    if (actualObjects) *actualObjects = count;
    return it.next >= it.entries.size() ? errFSNoMoreItems : noErr;
}

OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef) {
    Resolved r;
    if (OSErr err = Resolve(ref, r); err != noErr) return err;
    if (catalogInfo || outName) {
        OpenedEntry entry;
        if (OSErr err = FSRefToEntry(*ref, entry); err != noErr) return err;
        StatFields st = StatAt(entry.dirfd, entry.name.c_str(), whichInfo & kFSCatInfoCreateDate);
        if (!st.ok) return OSErrFromErrno(errno);
        if (catalogInfo) {
            std::memset(catalogInfo, 0, sizeof *catalogInfo);
            EntryLocation at{};
            at.dirfd = entry.dirfd;
            at.name = entry.name;
            at.isDirectory = st.isDirectory;
            // One item: probing for sidecars costs less than listing the folder.
            at.mayHaveDotUnderscore = true;
            at.mayHaveAppleDoubleDir = true;
            FillFields(whichInfo, at, st.isSymlink, st, *catalogInfo);
            if (whichInfo & kFSCatInfoFinderInfo) {
                if (st.isSymlink) {
                    SetSymlinkFinderInfo(*catalogInfo);
                } else {
                    CopyFinderInfo(ReadFinderInfo(at), *catalogInfo);
                }
            }
        }
        if (outName) {
            if (r.isVolumeRoot) {
                std::optional<Volume> v = FindVolume(r.vRefNum);
                if (!v) return nsvErr;
                std::u16string u;
                Utf8ToUtf16(v->name, &u);
                outName->length = static_cast<UInt16>(std::min<std::size_t>(u.size(), 255));
                std::copy_n(u.begin(), outName->length, outName->unicode);
            } else {
                PosixNameToUnicode(r.name, *outName);
            }
        }
    }
    if (fsSpec) {
        if (OSErr err = SpecOfResolved(r, *fsSpec); err != noErr) return err;
    }
    if (parentRef) {
        if (r.isVolumeRoot) {
            std::memset(parentRef, 0, sizeof *parentRef);  // a root has no parent
        } else {
            MakeDirRef(r.vRefNum, r.parentID, *parentRef);
        }
    }
    return noErr;
}

OSErr FSpMakeFSRef(const FSSpec* spec, FSRef* ref) {
    if (!spec || !ref) return paramErr;
    std::optional<Volume> v = FindVolume(spec->vRefNum);
    if (!v) return nsvErr;
    if (spec->parID == kRootParentDirID) {
        MakeDirRef(v->vRefNum, kRootDirID, *ref);
        return noErr;
    }
    std::string dir;
    if (OSErr err = DirectoryPath(spec->vRefNum, spec->parID, dir); err != noErr) return err;
    const std::string_view roman(reinterpret_cast<const char*>(spec->name + 1),
                                 std::min<std::size_t>(spec->name[0], 63));
    if (roman.empty()) {
        MakeDirRef(v->vRefNum, spec->parID, *ref);
        return noErr;
    }
    const std::string name = ResolveSpecName(dir, roman);
    struct stat st {};
    if (::lstat(JoinPath(dir, name).c_str(), &st) != 0) return OSErrFromErrno(errno);
    if (S_ISDIR(st.st_mode)) {
        const SInt32 id = Dirs().Intern(v->vRefNum, spec->parID, name, st.st_ino);
        if (id == 0) return memFullErr;
        MakeDirRef(v->vRefNum, id, *ref);
    } else {
        MakeFileRef(v->vRefNum, spec->parID, name, st.st_ino, *ref);
    }
    return noErr;
}

OSErr FSMakeFSSpec(SInt16 vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* spec) {
    if (!spec) return paramErr;
    const std::string_view text =
        fileName ? std::string_view(reinterpret_cast<const char*>(fileName + 1), fileName[0])
                 : std::string_view();
    std::string path;
    if (vRefNum == 0 && dirID == 0) {
        if (OSErr err = HFSPathToPosixPath(text, path); err != noErr) return err;
    } else {
        std::optional<Volume> v = FindVolume(vRefNum);
        if (!v) return nsvErr;
        std::string dir;
        const SInt32 base = dirID == 0 ? kRootDirID : dirID;
        if (OSErr err = DirectoryPath(vRefNum, base, dir); err != noErr) return err;
        // A partial path relative to the folder: ":a:b" or a bare name.
        std::string_view rest = text;
        if (!rest.empty() && rest.front() == ':') rest.remove_prefix(1);
        path = dir;
        while (!rest.empty()) {
            const std::size_t next = rest.find(':');
            const std::string_view component = rest.substr(0, next);
            if (component.empty()) {
                if (path.size() > v->mountPoint.size()) path.erase(path.rfind('/'));
                if (path.size() < v->mountPoint.size()) path = v->mountPoint;
            } else {
                path = JoinPath(path, ResolveSpecName(path, component));
            }
            if (next == std::string_view::npos) break;
            rest.remove_prefix(next + 1);
        }
    }
    FSRef ref;
    const OSErr err = PosixPathToFSRef(path, ref, nullptr);
    if (err == noErr) return FSRefToFSSpec(ref, *spec);
    if (err != fnfErr) return err;
    // The item is missing but its folder exists: the FSSpec names it anyway.
    const std::size_t slash = path.rfind('/');
    const std::string parentPath = slash == 0 ? "/" : path.substr(0, slash);
    FSRef parent;
    bool parentIsDir = false;
    if (PathToRef(parentPath, /*followLastLink=*/true, parent, &parentIsDir) != noErr ||
        !parentIsDir) {
        return dirNFErr;
    }
    RefFields f;
    UnpackRef(&parent, f);
    std::memset(spec, 0, sizeof *spec);
    spec->vRefNum = f.vRefNum;
    spec->parID = f.id;
    const std::string name = path.substr(slash + 1);
    const std::u16string u = PosixNameToUnicode(name);
    std::string roman;
    if (!Utf16ToMacRoman(u, &roman) || roman.size() > 63) return bdNamErr;
    SetPascal(spec->name, sizeof spec->name, roman);
    return fnfErr;
}

OSErr FSPathMakeRef(const UInt8* posixPath, FSRef* ref, Boolean* isDirectory) {
    if (!posixPath || !ref) return paramErr;
    bool dir = false;
    // A link named last is followed here: search roots are what the user
    // means by the path, and a link to a folder means the folder.
    const OSErr err = PathToRef(reinterpret_cast<const char*>(posixPath), true, *ref, &dir);
    if (err == noErr && isDirectory) *isDirectory = dir;
    return err;
}

OSErr FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize) {
    if (!ref || !path || maxPathSize == 0) return paramErr;
    std::string p;
    if (OSErr err = FSRefToPosixPath(*ref, p); err != noErr) return err;
    if (p.size() + 1 > maxPathSize) return bdNamErr;
    std::memcpy(path, p.c_str(), p.size() + 1);
    return noErr;
}

Boolean FSRefIsDirectory(const FSRef* ref) {
    RefFields f;
    return UnpackRef(ref, f) && (f.flags & kRefDirectory);
}
