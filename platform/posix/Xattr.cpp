#include "platform/posix/Xattr.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace sw::posix {
namespace {

// The *xattrat calls arrived in Linux 6.13; glibc has no wrappers yet.
#ifndef SYS_getxattrat
#if defined(__x86_64__) || defined(__aarch64__) || defined(__riscv)
#define SYS_setxattrat 463
#define SYS_getxattrat 464
#define SYS_listxattrat 465
#endif
#endif

// The kernel's argument block for getxattrat/setxattrat (first version, 16 bytes).
struct XattrArgs {
    alignas(8) std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};
static_assert(sizeof(XattrArgs) == 16);

enum Mode : int { kUnknown, kSyscall, kPathFallback };
std::atomic<int> gMode{kUnknown};
std::atomic<bool> gForceFallback{false};

bool UseSyscall() {
#ifdef SYS_getxattrat
    if (gForceFallback.load(std::memory_order_relaxed)) return false;
    return gMode.load(std::memory_order_relaxed) != kPathFallback;
#else
    return false;
#endif
}

// After ENOSYS (older kernel, or a seccomp filter) use the path form for good.
bool FellBack(long rc) {
    if (rc < 0 && errno == ENOSYS) {
        gMode.store(kPathFallback, std::memory_order_relaxed);
        return true;
    }
    if (rc >= 0 || errno != ENOSYS) gMode.store(kSyscall, std::memory_order_relaxed);
    return false;
}

// "/proc/self/fd/<dirfd>/<name>": the l*xattr calls then act on the entry
// itself, never on what a symbolic link points at. Built by hand: this runs
// once per entry on kernels without the *xattrat calls.
bool ProcPath(int dirfd, const char* name, char (&out)[4200]) {
    constexpr std::string_view kPrefix = "/proc/self/fd/";
    if (dirfd < 0) return false;
    char digits[16];
    std::size_t nDigits = 0;
    for (unsigned v = static_cast<unsigned>(dirfd); nDigits == 0 || v != 0; v /= 10)
        digits[nDigits++] = static_cast<char>('0' + v % 10);
    const std::size_t nameLength = std::strlen(name);
    const std::size_t total = kPrefix.size() + nDigits + 1 + nameLength;
    if (total >= sizeof out) return false;
    char* p = std::copy(kPrefix.begin(), kPrefix.end(), out);
    while (nDigits > 0) *p++ = digits[--nDigits];
    *p++ = '/';
    std::memcpy(p, name, nameLength + 1);
    return true;
}

bool ValidName(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        errno = EINVAL;
        return false;
    }
    return true;
}

}  // namespace

void ForceXattrPathFallback(bool force) {
    gForceFallback.store(force);
}

long RawGetXattrAt(int dirfd, const char* name, const char* attr, void* buffer, std::size_t size) {
    if (!ValidName(name)) return -1;
#ifdef SYS_getxattrat
    if (UseSyscall()) {
        XattrArgs args{reinterpret_cast<std::uintptr_t>(buffer), static_cast<std::uint32_t>(size),
                       0};
        long rc =
            syscall(SYS_getxattrat, dirfd, name, AT_SYMLINK_NOFOLLOW, attr, &args, sizeof args);
        if (!FellBack(rc)) return rc;
    }
#endif
    char path[4200];
    if (!ProcPath(dirfd, name, path)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return lgetxattr(path, attr, buffer, size);
}

long RawListXattrAt(int dirfd, const char* name, char* buffer, std::size_t size) {
    if (!ValidName(name)) return -1;
#ifdef SYS_listxattrat
    if (UseSyscall()) {
        long rc = syscall(SYS_listxattrat, dirfd, name, AT_SYMLINK_NOFOLLOW, buffer, size);
        if (!FellBack(rc)) return rc;
    }
#endif
    char path[4200];
    if (!ProcPath(dirfd, name, path)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return llistxattr(path, buffer, size);
}

int RawSetXattrAt(int dirfd, const char* name, const char* attr, const void* value,
                  std::size_t size) {
    if (!ValidName(name)) return -1;
#ifdef SYS_setxattrat
    if (UseSyscall()) {
        XattrArgs args{reinterpret_cast<std::uintptr_t>(value), static_cast<std::uint32_t>(size),
                       0};
        long rc =
            syscall(SYS_setxattrat, dirfd, name, AT_SYMLINK_NOFOLLOW, attr, &args, sizeof args);
        if (!FellBack(rc)) return static_cast<int>(rc);
    }
#endif
    char path[4200];
    if (!ProcPath(dirfd, name, path)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return lsetxattr(path, attr, value, size, 0);
}

XattrNames::XattrNames(int dirfd, std::string_view name) : dirfd_(dirfd) {
    // A name with a NUL inside names no entry: an empty copy fails the calls.
    if (name.find('\0') != std::string_view::npos) name = std::string_view("", 0);
    if (name.size() < sizeof shortName_) {
        if (!name.empty()) std::memcpy(shortName_, name.data(), name.size());
        shortName_[name.size()] = '\0';
    } else {
        shortName_[0] = '\0';
        longName_.assign(name);
    }
    // Most entries carry no attribute at all: one call with a stack buffer
    // answers that case; only a long list needs a second round.
    char small[512];
    long n = RawListXattrAt(dirfd_, Name(), small, sizeof small);
    if (n > 0) {
        list_.assign(small, static_cast<std::size_t>(n));
        return;
    }
    for (int attempt = 0; n < 0 && errno == ERANGE && attempt < 3; ++attempt) {
        long need = RawListXattrAt(dirfd_, Name(), nullptr, 0);
        if (need <= 0) return;
        list_.resize(static_cast<std::size_t>(need));
        n = RawListXattrAt(dirfd_, Name(), list_.data(), list_.size());
        if (n >= 0) {
            list_.resize(static_cast<std::size_t>(n));
            return;
        }
        list_.clear();
    }
}

bool XattrNames::Has(std::string_view attr) const {
    std::size_t pos = 0;
    while (pos < list_.size()) {
        std::size_t end = list_.find('\0', pos);
        if (end == std::string::npos) end = list_.size();
        if (std::string_view(list_).substr(pos, end - pos) == attr) return true;
        pos = end + 1;
    }
    return false;
}

namespace {

// An attribute name as a NUL-terminated string; attribute names are at most
// 255 bytes (XATTR_NAME_MAX), anything longer is no attribute.
struct AttrName {
    explicit AttrName(std::string_view attr) {
        ok = attr.size() < sizeof text && attr.find('\0') == std::string_view::npos;
        if (!ok) return;
        if (!attr.empty()) std::memcpy(text, attr.data(), attr.size());
        text[attr.size()] = '\0';
    }
    char text[256];
    bool ok;
};

std::optional<std::vector<std::uint8_t>> GetValue(int dirfd, const char* name, const char* attr,
                                                  std::size_t maxSize) {
    // Small values (Finder info, Netatalk headers, comments) fit a buffer on
    // the stack; the result is then allocated at its exact size.
    // (A zero-size buffer would ask for the size instead, hence at least 1.)
    std::uint8_t small[4096];
    long got =
        RawGetXattrAt(dirfd, name, attr, small, std::clamp<std::size_t>(maxSize, 1, sizeof small));
    if (got >= 0) {
        if (static_cast<std::size_t>(got) > maxSize) return std::nullopt;
        return std::vector<std::uint8_t>(small, small + got);
    }
    if (errno != ERANGE) return std::nullopt;
    std::vector<std::uint8_t> value;
    for (int attempt = 0; attempt < 3; ++attempt) {
        long need = RawGetXattrAt(dirfd, name, attr, nullptr, 0);
        if (need < 0 || static_cast<std::size_t>(need) > maxSize) return std::nullopt;
        value.resize(std::max<std::size_t>(static_cast<std::size_t>(need), 1));
        got = RawGetXattrAt(dirfd, name, attr, value.data(), value.size());
        if (got >= 0) {
            if (static_cast<std::size_t>(got) > maxSize) return std::nullopt;
            value.resize(static_cast<std::size_t>(got));
            return value;
        }
        if (errno != ERANGE) return std::nullopt;  // else it grew meanwhile: again
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> XattrNames::Get(std::string_view attr,
                                                         std::size_t maxSize) const {
    if (!Has(attr)) return std::nullopt;
    const AttrName a(attr);
    if (!a.ok) return std::nullopt;
    return GetValue(dirfd_, Name(), a.text, maxSize);
}

std::optional<std::uint64_t> XattrNames::Size(std::string_view attr) const {
    if (!Has(attr)) return std::nullopt;
    const AttrName a(attr);
    if (!a.ok) return std::nullopt;
    long n = RawGetXattrAt(dirfd_, Name(), a.text, nullptr, 0);
    if (n < 0) return std::nullopt;
    return static_cast<std::uint64_t>(n);
}

std::optional<std::vector<std::uint8_t>> GetXattrAt(int dirfd, std::string_view name,
                                                    std::string_view attr, std::size_t maxSize) {
    const AttrName a(attr);
    if (!a.ok || name.find('\0') != std::string_view::npos) return std::nullopt;
    const std::string n(name);
    return GetValue(dirfd, n.c_str(), a.text, maxSize);
}

}  // namespace sw::posix
