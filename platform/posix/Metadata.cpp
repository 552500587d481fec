// Mac metadata from the stores that Linux tools write. Attribute stores come
// first: one listxattr tells which of them exist, so an entry without any
// costs one system call. Sidecar files are opened only when the folder
// listing showed them (EntryLocation hints), except a folder's own
// ".AppleDouble/.Parent", which lives inside the folder.
#include "platform/posix/Metadata.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/posix/AppleDouble.h"
#include "platform/posix/Comment.h"
#include "platform/posix/Xattr.h"

namespace sw::posix {
namespace {

constexpr std::string_view kXattrFinderInfo = "user.com.apple.FinderInfo";
constexpr std::string_view kXattrHfsPlusFinderInfo = "osx.com.apple.FinderInfo";
constexpr std::string_view kXattrHfsType = "hfs.type";
constexpr std::string_view kXattrHfsCreator = "hfs.creator";
constexpr std::string_view kXattrNetatalk = "user.org.netatalk.Metadata";
constexpr std::string_view kXattrSambaAfpInfo = "user.DosStream.AFP_AfpInfo:$DATA";
constexpr std::string_view kXattrResourceFork = "user.com.apple.ResourceFork";
constexpr std::string_view kXattrSambaResource = "user.DosStream.AFP_Resource:$DATA";
constexpr std::string_view kXattrXdgComment = "user.xdg.comment";
constexpr std::string_view kFinderCommentName = "com.apple.metadata:kMDItemFinderComment";
constexpr std::string_view kXattrFinderComment = "user.com.apple.metadata:kMDItemFinderComment";

// Resource forks are addressed with 24-bit data offsets: 16 MB of data plus
// the map. Anything far beyond is not a fork we can use.
constexpr std::size_t kMaxForkBytes = 32u << 20;
constexpr std::size_t kMaxCommentBytes = 255;  // what a Str255 can carry

using FinderInfo = std::array<std::uint8_t, 32>;

std::optional<FinderInfo> First32(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 32) return std::nullopt;
    FinderInfo fi;
    std::copy_n(bytes.begin(), 32, fi.begin());
    return fi;
}

// Opens `path` below `dirfd` without following a symbolic link in any
// component: "name/rsrc" through a link named "name", or a ".AppleDouble"
// that is a link, must not reach files elsewhere.
int OpenNoLinks(int dirfd, const std::string& path, int flags) {
    static std::atomic<bool> noOpenat2{false};
    flags |= O_CLOEXEC | O_NOFOLLOW;
    if ((flags & O_PATH) == 0) flags |= O_NOCTTY;  // openat2 refuses other flags with O_PATH
    if (!noOpenat2.load(std::memory_order_relaxed)) {
        struct open_how how {};
        how.flags = static_cast<std::uint64_t>(flags);
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH;
        long fd = syscall(SYS_openat2, dirfd, path.c_str(), &how, sizeof how);
        if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
        noOpenat2.store(true, std::memory_order_relaxed);
    }
    // Kernels before 5.6: one component at a time, none of them a link.
    int current = dirfd;
    std::size_t pos = 0;
    for (;;) {
        std::size_t slash = path.find('/', pos);
        std::string component = path.substr(pos, slash == std::string::npos ? slash : slash - pos);
        bool last = slash == std::string::npos;
        int next = openat(current, component.c_str(),
                          last ? flags : O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int saved = errno;
        if (current != dirfd) close(current);
        errno = saved;
        if (next < 0 || last) return next;
        current = next;
        pos = slash + 1;
    }
}

// An open sidecar whose header and entry table validated.
class Sidecar {
  public:
    static std::optional<Sidecar> Open(int dirfd, const std::string& path) {
        int fd = OpenNoLinks(dirfd, path, O_RDONLY | O_NONBLOCK);
        if (fd < 0) return std::nullopt;
        Sidecar s(fd);
        // Read before stat: a read that stops short of the buffer stopped at
        // the end of the file, so its count is the size, and the fstat is
        // saved for every sidecar smaller than the buffer (macOS writes 4096
        // bytes). A FIFO (ESPIPE) or folder (EISDIR) fails the read. Only a
        // file that fills the buffer, or a device that never ends, needs
        // fstat for its size and type. The buffer is one byte longer than a
        // power of two so that files of exactly 4 or 8 KB end short of it.
        std::uint8_t first[8 * 1024 + 1];
        ssize_t got;
        do {
            got = pread(fd, first, sizeof first, 0);
        } while (got < 0 && errno == EINTR);
        if (got < 0) return std::nullopt;
        std::size_t firstSize = static_cast<std::size_t>(got);
        if (firstSize < sizeof first) {
            s.size_ = firstSize;
        } else {
            struct stat st;
            if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
            s.size_ = static_cast<std::uint64_t>(st.st_size);
            firstSize = static_cast<std::size_t>(std::min<std::uint64_t>(s.size_, firstSize));
        }
        if (s.ValidateHead(first, firstSize)) return s.KeepHead(first, firstSize);
        // Some file systems (FUSE with direct I/O) may read short before the
        // end: before rejecting a file on a size taken from a read, ask.
        struct stat st;
        if (got == static_cast<ssize_t>(sizeof first) || fstat(fd, &st) != 0 ||
            !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) == s.size_)
            return std::nullopt;
        s.size_ = static_cast<std::uint64_t>(st.st_size);
        if (s.ValidateHead(first, firstSize)) return s.KeepHead(first, firstSize);
        return std::nullopt;
    }

    // Keeps the bytes already read (a whole small sidecar), which later
    // entry reads then take without a system call.
    Sidecar&& KeepHead(const std::uint8_t* first, std::size_t firstSize) {
        head_.assign(first, first + std::min<std::uint64_t>(firstSize, size_));
        return std::move(*this);
    }

    // Checks the header and entry table against size_, given the first
    // `firstSize` bytes of the file; keeps the parsed header.
    bool ValidateHead(const std::uint8_t* first, std::size_t firstSize) {
        if (size_ < kAppleDoubleHeaderSize || firstSize < kAppleDoubleHeaderSize) return false;
        // The entry table follows the header (macOS writes 2 entries,
        // Netatalk up to 15); only a table longer than the buffer needs
        // another read.
        auto tableSize = AppleDoubleTableSize(std::span(first, kAppleDoubleHeaderSize), false);
        if (!tableSize || *tableSize > size_) return false;
        std::vector<std::uint8_t> head(first, first + std::min(*tableSize, firstSize));
        if (*tableSize > firstSize) {
            head.resize(*tableSize);
            if (!ReadAt(firstSize, head.data() + firstSize, *tableSize - firstSize)) return false;
        }
        auto header = ParseAppleDouble(head, size_, false);
        if (!header) return false;
        header_ = std::move(*header);
        return true;
    }

    Sidecar(Sidecar&& o) noexcept
        : fd_(std::exchange(o.fd_, -1)),
          size_(o.size_),
          header_(std::move(o.header_)),
          head_(std::move(o.head_)) {}
    Sidecar& operator=(Sidecar&&) = delete;
    ~Sidecar() {
        if (fd_ >= 0) close(fd_);
    }

    const AppleDoubleHeader& Header() const { return header_; }

    std::optional<std::vector<std::uint8_t>> Entry(std::uint32_t id, std::size_t maxBytes) const {
        const AppleDoubleEntry* e = header_.Find(id);
        if (e == nullptr || e->length > maxBytes) return std::nullopt;
        if (e->offset <= head_.size() && e->length <= head_.size() - e->offset) {
            const auto begin = head_.begin() + static_cast<std::ptrdiff_t>(e->offset);
            return std::vector<std::uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(e->length));
        }
        std::vector<std::uint8_t> bytes(e->length);
        if (!ReadAt(e->offset, bytes.data(), bytes.size())) return std::nullopt;
        return bytes;
    }

    std::optional<std::uint64_t> EntryLength(std::uint32_t id) const {
        const AppleDoubleEntry* e = header_.Find(id);
        if (e == nullptr) return std::nullopt;
        return e->length;
    }

    // The whole file (macOS sidecars are small; their ATTR block needs it).
    std::optional<std::vector<std::uint8_t>> Whole(std::size_t maxBytes) const {
        if (size_ > maxBytes) return std::nullopt;
        if (head_.size() == size_) return head_;
        std::vector<std::uint8_t> bytes(size_);
        if (!ReadAt(0, bytes.data(), bytes.size())) return std::nullopt;
        return bytes;
    }

  private:
    explicit Sidecar(int fd) : fd_(fd) {}

    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) const {
        while (n > 0) {
            ssize_t got = pread(fd_, out, n, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;  // shrank under us: treat as absent
            out += got;
            offset += static_cast<std::uint64_t>(got);
            n -= static_cast<std::size_t>(got);
        }
        return true;
    }

    int fd_;
    std::uint64_t size_ = 0;
    AppleDoubleHeader header_;
    std::vector<std::uint8_t> head_;  // the file's first bytes, as read when opened
};

// Sidecar paths relative to the entry's folder, in the order they are tried.
std::vector<std::string> SidecarPaths(const EntryLocation& at) {
    std::vector<std::string> paths;
    std::string name(at.name);
    if (at.mayHaveDotUnderscore) paths.push_back("._" + name);
    if (at.isDirectory)
        paths.push_back(name + "/.AppleDouble/.Parent");
    else if (at.mayHaveAppleDoubleDir)
        paths.push_back(".AppleDouble/" + name);
    return paths;
}

template <typename Fn>
auto FirstSidecar(const EntryLocation& at, Fn&& fn) -> decltype(fn(std::declval<Sidecar&>())) {
    // The common case, a file the listing shows no sidecar for, costs nothing.
    if (!at.isDirectory && !at.mayHaveDotUnderscore && !at.mayHaveAppleDoubleDir)
        return std::nullopt;
    for (const auto& path : SidecarPaths(at)) {
        auto sidecar = Sidecar::Open(at.dirfd, path);
        if (!sidecar) continue;
        if (auto value = fn(*sidecar)) return value;
    }
    return std::nullopt;
}

// Netatalk's attribute: an AppleDouble header whose entries point into itself.
std::optional<std::vector<std::uint8_t>> NetatalkEntry(const AttrSource& xattrs, std::uint32_t id) {
    auto bytes = xattrs.Get(kXattrNetatalk, 64 * 1024);
    if (!bytes) return std::nullopt;
    auto header = ParseAppleDouble(*bytes, bytes->size(), false);
    if (!header) return std::nullopt;
    auto entry = AppleDoubleEntryBytes(*header, *bytes, id);
    if (!entry) return std::nullopt;
    return std::vector<std::uint8_t>(entry->begin(), entry->end());
}

// Samba's AFP_AfpInfo stream: 60 bytes (plus the NUL Samba appends),
// "AFP\0", version 1.0 (00 00 01 00), Finder information at 16.
std::optional<FinderInfo> SambaFinderInfo(const AttrSource& xattrs) {
    auto bytes = xattrs.Get(kXattrSambaAfpInfo, 256);
    if (!bytes || bytes->size() < 60) return std::nullopt;
    const std::uint8_t* p = bytes->data();
    if (Be32(p) != 0x41465000 || Be32(p + 4) != 0x00000100) return std::nullopt;
    return First32(std::span(*bytes).subspan(16, 32));
}

std::optional<FinderInfo> HfsTypeCreator(const AttrSource& xattrs) {
    auto type = xattrs.Get(kXattrHfsType, 64);
    auto creator = xattrs.Get(kXattrHfsCreator, 64);
    bool typeOk = type && type->size() == 4;
    bool creatorOk = creator && creator->size() == 4;
    if (!typeOk && !creatorOk) return std::nullopt;
    FinderInfo fi{};
    if (typeOk) std::copy_n(type->begin(), 4, fi.begin());
    if (creatorOk) std::copy_n(creator->begin(), 4, fi.begin() + 4);
    return fi;
}

std::optional<std::string> CommentText(std::span<const std::uint8_t> bytes) {
    std::size_t n = std::min(bytes.size(), kMaxCommentBytes);
    while (n > 0 && bytes[n - 1] == 0) --n;  // fixed-size slots are NUL-padded
    if (n == 0) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(bytes.data()), n);
}

}  // namespace

std::optional<std::array<std::uint8_t, 32>> FinderInfoFromAttributes(const AttrSource& attrs) {
    for (auto attr : {kXattrFinderInfo, kXattrHfsPlusFinderInfo}) {
        if (auto bytes = attrs.Get(attr, 4096))
            if (auto fi = First32(*bytes)) return fi;
    }
    if (auto fi = HfsTypeCreator(attrs)) return fi;
    if (auto bytes = NetatalkEntry(attrs, kADFinderInfo))
        if (auto fi = First32(*bytes)) return fi;
    return SambaFinderInfo(attrs);
}

std::vector<std::uint8_t> ResourceForkFromAttributes(const AttrSource& attrs) {
    if (auto fork = attrs.Get(kXattrResourceFork, kMaxForkBytes); fork && !fork->empty())
        return std::move(*fork);
    if (auto fork = attrs.Get(kXattrSambaResource, kMaxForkBytes + 1); fork && !fork->empty()) {
        if (fork->back() == 0) fork->pop_back();  // Samba's stream terminator
        return std::move(*fork);
    }
    return {};
}

std::optional<std::array<std::uint8_t, 32>> ReadFinderInfo(const EntryLocation& at) {
    XattrNames xattrs(at.dirfd, at.name);
    if (!xattrs.Empty())
        if (auto fi = FinderInfoFromAttributes(xattrs)) return fi;
    auto fromSidecar = [](Sidecar& s) -> std::optional<FinderInfo> {
        auto bytes = s.Entry(kADFinderInfo, 64 * 1024);
        if (!bytes) return std::nullopt;
        return First32(*bytes);
    };
    if (at.dotUnderscore) {
        // "._name" was checked with the listing: what it holds is known.
        if (at.dotUnderscore->hasFinderInfo) return at.dotUnderscore->finderInfo;
        EntryLocation others = at;
        others.mayHaveDotUnderscore = false;
        others.dotUnderscore = nullptr;
        return FirstSidecar(others, fromSidecar);
    }
    return FirstSidecar(at, fromSidecar);
}

std::vector<std::uint8_t> ReadResourceFork(const EntryLocation& at) {
    if (at.isDirectory) return {};
    auto fromSidecar = FirstSidecar(at, [](Sidecar& s) -> std::optional<std::vector<std::uint8_t>> {
        auto fork = s.Entry(kADResourceFork, kMaxForkBytes);
        if (!fork || fork->empty()) return std::nullopt;
        return fork;
    });
    if (fromSidecar) return std::move(*fromSidecar);
    XattrNames xattrs(at.dirfd, at.name);
    if (auto fork = ResourceForkFromAttributes(xattrs); !fork.empty()) return fork;
    // The hfs and hfsplus drivers show the fork as "name/rsrc".
    std::string path = std::string(at.name) + "/rsrc";
    int fd = OpenNoLinks(at.dirfd, path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) return {};
    std::vector<std::uint8_t> fork;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<std::uint64_t>(st.st_size) <= kMaxForkBytes) {
        fork.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < fork.size()) {
            ssize_t got =
                pread(fd, fork.data() + done, fork.size() - done, static_cast<off_t>(done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += static_cast<std::size_t>(got);
        }
        fork.resize(done);
    }
    close(fd);
    return fork;
}

std::uint64_t ResourceForkSize(const EntryLocation& at) {
    if (at.isDirectory) return 0;
    auto fromSidecar = FirstSidecar(at, [](Sidecar& s) -> std::optional<std::uint64_t> {
        auto n = s.EntryLength(kADResourceFork);
        if (!n || *n == 0) return std::nullopt;
        return n;
    });
    if (fromSidecar) return *fromSidecar;
    XattrNames xattrs(at.dirfd, at.name);
    if (auto n = xattrs.Size(kXattrResourceFork); n && *n > 0) return *n;
    if (auto n = xattrs.Size(kXattrSambaResource); n && *n > 1) {
        // Samba appends a NUL to the stream; read the last byte to be sure.
        if (auto fork = xattrs.Get(kXattrSambaResource, kMaxForkBytes + 1))
            return fork->empty() ? 0 : fork->size() - (fork->back() == 0 ? 1 : 0);
        return *n - 1;
    }
    std::string path = std::string(at.name) + "/rsrc";
    int fd = OpenNoLinks(at.dirfd, path, O_PATH);
    if (fd < 0) return 0;
    struct stat st;
    std::uint64_t size = 0;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) size = static_cast<std::uint64_t>(st.st_size);
    close(fd);
    return size;
}

std::optional<std::string> ReadClassicComment(const EntryLocation& at) {
    XattrNames xattrs(at.dirfd, at.name);
    if (xattrs.Has(kXattrNetatalk))
        if (auto bytes = NetatalkEntry(xattrs, kADComment))
            if (auto text = CommentText(*bytes)) return text;
    return FirstSidecar(at, [](Sidecar& s) -> std::optional<std::string> {
        auto bytes = s.Entry(kADComment, 64 * 1024);
        if (!bytes) return std::nullopt;
        return CommentText(*bytes);
    });
}

std::optional<std::u16string> ReadFinderComment(const EntryLocation& at) {
    XattrNames xattrs(at.dirfd, at.name);
    if (auto utf8 = xattrs.Get(kXattrXdgComment, 64 * 1024); utf8 && !utf8->empty())
        return Utf8ToUtf16(
            std::string_view(reinterpret_cast<const char*>(utf8->data()), utf8->size()));
    if (auto plist = xattrs.Get(kXattrFinderComment, 64 * 1024))
        if (auto text = ParseBplistString(*plist); text && !text->empty()) return text;
    if (!at.mayHaveDotUnderscore) return std::nullopt;
    auto sidecar = Sidecar::Open(at.dirfd, "._" + std::string(at.name));
    if (!sidecar) return std::nullopt;
    auto whole = sidecar->Whole(1 << 20);
    if (!whole) return std::nullopt;
    for (const auto& item : ParseAttrBlock(sidecar->Header(), *whole)) {
        if (item.name != kFinderCommentName) continue;
        if (auto text = ParseBplistString(item.value); text && !text->empty()) return text;
    }
    return std::nullopt;
}

std::optional<std::int64_t> ReadStoredCreationDate(const EntryLocation& at) {
    XattrNames xattrs(at.dirfd, at.name);
    if (xattrs.Has(kXattrNetatalk))
        if (auto dates = NetatalkEntry(xattrs, kADFileDates))
            if (auto date = AppleDoubleCreationDate(*dates)) return date;
    return FirstSidecar(at, [](Sidecar& s) -> std::optional<std::int64_t> {
        auto dates = s.Entry(kADFileDates, 64);
        if (!dates) return std::nullopt;
        return AppleDoubleCreationDate(*dates);
    });
}

bool IsAppleDoubleSidecar(int dirfd, std::string_view name, KnownSidecar* learnt) {
    if (learnt) *learnt = KnownSidecar{};
    if (name.size() <= 2 || name.substr(0, 2) != "._") return false;
    auto sidecar = Sidecar::Open(dirfd, std::string(name));
    if (!sidecar) return false;
    if (learnt) {
        learnt->valid = true;
        if (auto bytes = sidecar->Entry(kADFinderInfo, 64 * 1024)) {
            if (auto fi = First32(*bytes)) {
                learnt->hasFinderInfo = true;
                learnt->finderInfo = *fi;
            }
        }
    }
    return true;
}

}  // namespace sw::posix
