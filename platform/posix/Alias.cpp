// Alias records in our own self-contained format (docs/aliases.md): the
// target's volume name, absolute POSIX path, colon (HFS) path and (device,
// inode) identity. Everything needed to resolve is in the bytes, so an alias
// made by one process resolves in another.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/Files.h"
#include "platform/Memory.h"
#include "platform/posix/CatalogInternal.h"

namespace {

constexpr std::uint32_t kAliasMagic = 0x5357616C;  // 'SWal'
constexpr std::uint16_t kAliasVersion = 1;
constexpr std::uint16_t kFlagMinimal = 0x0001;  // made from a path: no identity, no POSIX path
constexpr std::uint16_t kFlagFolder = 0x0002;
constexpr std::uint16_t kKnownFlags = kFlagMinimal | kFlagFolder;
constexpr std::size_t kFixedSize = 28;
constexpr std::size_t kMaxField = 0xFFFF;

struct AliasRecord {
    std::uint16_t flags = 0;
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;
    std::string volumeName;  // UTF-8
    std::string posixPath;
    std::string hfsPath;  // Mac OS Roman
};

void Put(std::string& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint64_t Get(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
    return v;
}

OSErr Flatten(const AliasRecord& r, AliasHandle* alias) {
    if (r.volumeName.size() > kMaxField || r.posixPath.size() > kMaxField ||
        r.hfsPath.size() > kMaxField)
        return paramErr;
    std::string out;
    Put(out, kAliasMagic, 4);
    Put(out, kAliasVersion, 2);
    Put(out, r.flags, 2);
    const std::size_t total =
        kFixedSize + 6 + r.volumeName.size() + r.posixPath.size() + r.hfsPath.size();
    Put(out, total, 4);
    Put(out, r.dev, 8);
    Put(out, r.ino, 8);
    for (const std::string* field : {&r.volumeName, &r.posixPath, &r.hfsPath}) {
        Put(out, field->size(), 2);
        out += *field;
    }
    Handle h = NewHandle(static_cast<Size>(out.size()));
    if (h == nullptr) return memFullErr;
    std::memcpy(*h, out.data(), out.size());
    *alias = h;
    return noErr;
}

// Every length is checked against the handle's size: corrupt data is paramErr.
OSErr Unflatten(AliasHandle alias, AliasRecord& r) {
    if (alias == nullptr || *alias == nullptr) return paramErr;
    const Size size = GetHandleSize(alias);
    if (size < static_cast<Size>(kFixedSize)) return paramErr;
    const auto* p = reinterpret_cast<const unsigned char*>(*alias);
    if (Get(p, 4) != kAliasMagic) return paramErr;
    if (Get(p + 4, 2) != kAliasVersion) return paramErr;
    r.flags = static_cast<std::uint16_t>(Get(p + 6, 2));
    if ((r.flags & ~kKnownFlags) != 0) return paramErr;
    if (Get(p + 8, 4) != static_cast<std::uint64_t>(size)) return paramErr;
    r.dev = Get(p + 12, 8);
    r.ino = Get(p + 20, 8);
    std::size_t pos = kFixedSize;
    for (std::string* field : {&r.volumeName, &r.posixPath, &r.hfsPath}) {
        if (pos + 2 > static_cast<std::size_t>(size)) return paramErr;
        const std::size_t len = Get(p + pos, 2);
        pos += 2;
        if (pos + len > static_cast<std::size_t>(size)) return paramErr;
        field->assign(reinterpret_cast<const char*>(p + pos), len);
        pos += len;
    }
    if (pos != static_cast<std::size_t>(size)) return paramErr;
    // A path with a NUL would name something else than what was stored.
    for (const std::string* field : {&r.posixPath, &r.hfsPath})
        if (field->find('\0') != std::string::npos) return paramErr;
    if (!r.posixPath.empty() && r.posixPath.front() != '/') return paramErr;
    if (r.posixPath.empty() && r.hfsPath.empty()) return paramErr;
    return noErr;
}

// The colon path of an absolute POSIX path on `volume`; empty when a
// component has no Mac OS Roman form (the POSIX path then stands alone).
std::string HfsPathOf(const sw::posix::Volume& volume, std::string_view posixPath) {
    std::string hfs;
    const std::u16string volName = sw::posix::BytesToUnicode(volume.name, false);
    if (!sw::posix::UnicodeToRoman(reinterpret_cast<const UniChar*>(volName.data()), volName.size(),
                                   hfs))
        return {};
    hfs += ':';
    std::string_view rest =
        posixPath.substr(volume.mountPoint == "/" ? 1 : volume.mountPoint.size());
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    bool first = true;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view component = rest.substr(0, slash);
        if (!component.empty()) {
            const std::u16string u = sw::posix::PosixNameToUnicode(component);
            std::string roman;
            if (!sw::posix::UnicodeToRoman(reinterpret_cast<const UniChar*>(u.data()), u.size(),
                                           roman))
                return {};
            if (!first) hfs += ':';
            hfs += roman;
            first = false;
        }
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return hfs;
}

bool Exists(const std::string& path, struct stat& st) {
    return ::lstat(path.c_str(), &st) == 0;
}

// The FSSpec of a missing item: named in its folder when the colon path is
// short enough for FSMakeFSSpec, else only the volume is known.
void SpecOfMissing(const AliasRecord& r, const std::string& posixPath, FSSpec& target) {
    std::memset(&target, 0, sizeof target);
    if (!r.hfsPath.empty() && r.hfsPath.size() <= 255) {
        Str255 p;
        p[0] = static_cast<unsigned char>(r.hfsPath.size());
        std::memcpy(p + 1, r.hfsPath.data(), r.hfsPath.size());
        FSSpec spec;
        if (FSMakeFSSpec(0, 0, p, &spec) == fnfErr) {
            target = spec;
            return;
        }
        std::memset(&target, 0, sizeof target);
    }
    if (auto v = sw::posix::VolumeForPath(posixPath)) target.vRefNum = v->vRefNum;
}

}  // namespace

OSErr NewAlias(const FSSpec* fromFile, const FSSpec* target, AliasHandle* alias) {
    // fromFile would make a relative alias; ours always store absolute paths.
    (void)fromFile;
    if (alias != nullptr) *alias = nullptr;
    if (target == nullptr || alias == nullptr) return paramErr;
    std::string path;
    if (OSErr err = sw::posix::FSSpecToPosixPath(*target, path); err != noErr) return err;
    struct stat st;
    if (!Exists(path, st))
        return errno == ENOENT ? OSErr{fnfErr} : sw::posix::OSErrFromErrno(errno);
    auto volume = sw::posix::VolumeForPath(path);
    if (!volume) return nsvErr;
    AliasRecord r;
    r.flags = S_ISDIR(st.st_mode) ? kFlagFolder : 0;
    r.dev = static_cast<std::uint64_t>(st.st_dev);
    r.ino = static_cast<std::uint64_t>(st.st_ino);
    r.volumeName = volume->name;
    r.posixPath = path;
    r.hfsPath = HfsPathOf(*volume, path);
    return Flatten(r, alias);
}

OSErr NewAliasMinimalFromFullPath(SInt16 fullPathLength, const void* fullPath,
                                  ConstStr255Param zoneName, ConstStr255Param serverName,
                                  AliasHandle* alias) {
    if (alias != nullptr) *alias = nullptr;
    if (alias == nullptr || fullPath == nullptr || fullPathLength <= 0) return paramErr;
    // AppleShare zones and servers do not exist here.
    if ((zoneName != nullptr && zoneName[0] != 0) || (serverName != nullptr && serverName[0] != 0))
        return paramErr;
    AliasRecord r;
    r.flags = kFlagMinimal;
    r.hfsPath.assign(static_cast<const char*>(fullPath), static_cast<std::size_t>(fullPathLength));
    const std::size_t colon = r.hfsPath.find(':');
    if (colon == 0 || colon == std::string::npos) return bdNamErr;  // no volume name
    if (r.hfsPath.find('\0') != std::string::npos) return bdNamErr;
    // The item need not exist: the alias only records the path.
    const std::u16string volU = sw::posix::RomanToUnicode(r.hfsPath.substr(0, colon));
    r.volumeName = sw::posix::UnicodeToBytes(reinterpret_cast<const UniChar*>(volU.data()),
                                             volU.size(), false);
    return Flatten(r, alias);
}

OSErr ResolveAlias(const FSSpec* fromFile, AliasHandle alias, FSSpec* target, Boolean* wasChanged) {
    (void)fromFile;
    if (wasChanged != nullptr) *wasChanged = false;
    if (target == nullptr) return paramErr;
    std::memset(target, 0, sizeof *target);
    AliasRecord r;
    if (OSErr err = Unflatten(alias, r); err != noErr) return err;

    struct stat st;
    bool changed = false;
    std::string path;
    if (!r.posixPath.empty() && Exists(r.posixPath, st)) {
        path = r.posixPath;
        // Same path, another item (replaced since): still the item there now.
        changed =
            (r.flags & kFlagMinimal) == 0 && (static_cast<std::uint64_t>(st.st_dev) != r.dev ||
                                              static_cast<std::uint64_t>(st.st_ino) != r.ino);
    } else if (!r.hfsPath.empty()) {
        // The volume may be mounted elsewhere now: its name finds it.
        OSErr err = sw::posix::HFSPathToPosixPath(r.hfsPath, path);
        if (err != noErr) return err;
        if (!Exists(path, st)) {
            SpecOfMissing(r, path, *target);
            return fnfErr;
        }
        changed = !r.posixPath.empty();
    } else {
        if (auto v = sw::posix::VolumeForPath(r.posixPath)) target->vRefNum = v->vRefNum;
        return fnfErr;
    }
    OSErr err = sw::posix::PosixPathToFSSpec(path, *target);
    if (err != noErr) {
        std::memset(target, 0, sizeof *target);
        return err;
    }
    if (wasChanged != nullptr) *wasChanged = changed;
    return noErr;
}
