// Volumes: the mounted file systems that hold files, read from the mount
// table. Reference numbers are handed out once per (mount point, device) and
// never reused, so an FSRef or FSSpec of a volume that was unmounted fails
// with nsvErr instead of naming another volume.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

#include "platform/MacRoman.h"
#include "platform/posix/CatalogConfig.h"
#include "platform/posix/CatalogInternal.h"

namespace sw::posix {
namespace {

// File systems with no user files: kernel interfaces and automounter stubs.
const std::set<std::string, std::less<>> kPseudoTypes = {
    "proc",        "sysfs",      "cgroup",     "cgroup2",     "devpts",       "mqueue",
    "debugfs",     "tracefs",    "securityfs", "pstore",      "bpf",          "configfs",
    "fusectl",     "hugetlbfs",  "autofs",     "binfmt_misc", "nsfs",         "devtmpfs",
    "efivarfs",    "rpc_pipefs", "nfsd",       "selinuxfs",   "ramfs_kernel", "fuse.gvfsd-fuse",
    "fuse.portal", "fuse.lxcfs", "cpuset",     "sockfs",      "pipefs",       "anon_inodefs",
};

// Mount points below these hold kernel or device state, whatever their type.
bool InKernelTree(std::string_view mountPoint) {
    for (std::string_view top : {"/proc", "/sys", "/dev"}) {
        if (mountPoint == top ||
            (mountPoint.size() > top.size() && mountPoint.substr(0, top.size()) == top &&
             mountPoint[top.size()] == '/')) {
            return true;
        }
    }
    return false;
}

// Mount table fields escape space, tab, newline and backslash as \ooo.
std::string UnescapeMountField(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() &&
            std::isdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(s[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(s[i + 3]))) {
            out += static_cast<char>(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) |
                                     (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

// udev's label links escape bytes as \xHH.
std::string UnescapeLabel(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
            out += static_cast<char>(std::stoi(std::string(s.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Device number -> label, from udev's /dev/disk/by-label links (absent: none).
std::map<std::uint64_t, std::string> ReadLabels() {
    std::map<std::uint64_t, std::string> labels;
    const std::string dir = "/dev/disk/by-label";
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.') continue;
            struct stat dev {};
            if (::stat((dir + "/" + e->d_name).c_str(), &dev) == 0 && S_ISBLK(dev.st_mode)) {
                labels[dev.st_rdev] = UnescapeLabel(e->d_name);
            }
        }
        ::closedir(d);
    }
    return labels;
}

// A colon-free name with a Mac OS Roman form of at most 63 bytes.
std::string SanitizeName(std::string name) {
    std::replace(name.begin(), name.end(), ':', '/');
    std::u16string u;
    if (!Utf8ToUtf16(name, &u)) {
        u = BytesToUnicode(name, false);
    }
    std::string roman;
    std::u16string kept;
    for (char16_t c : u) {
        std::string one;
        kept += Utf16ToMacRoman(std::u16string_view(&c, 1), &one) ? c : u'_';
    }
    Utf16ToMacRoman(kept, &roman);
    if (roman.size() > 63) roman.resize(63);
    if (roman.empty()) roman = "Volume";
    return MacRomanToUtf8(reinterpret_cast<const unsigned char*>(roman.data()), roman.size());
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// File systems whose getdents64 fills the buffer until the folder ends (ext2/3/4,
// tmpfs, XFS, Btrfs read on to the end of the folder unless the next entry does
// not fit), so a short read needs no second call to confirm the end. Network
// and FUSE file systems may return less and are not listed.
bool FillsDirectoryReads(decltype(statfs::f_type) type) {
    switch (static_cast<unsigned long>(type)) {
        case 0xEF53UL:      // ext2, ext3, ext4
        case 0x01021994UL:  // tmpfs
        case 0x58465342UL:  // XFS
        case 0x9123683EUL:  // Btrfs
            return true;
        default:
            return false;
    }
}

struct Candidate {
    std::string name;
    std::string mountPoint;
};

class VolumeTable {
  public:
    std::mutex mutex;
    bool testing = false;
    std::vector<std::pair<std::string, std::string>> testTable;
    std::vector<Volume> volumes;
    bool loaded = false;

    void Load() {
        std::vector<Candidate> candidates = testing ? FromTestTable() : FromMountTable();
        volumes.clear();
        for (Candidate& c : candidates) {
            struct stat st {};
            const int fd = ::open(c.mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) continue;
            const bool ok = ::fstat(fd, &st) == 0;
            const std::uint64_t mountId = MountIdOf(fd);
            struct statfs fs {};
            const bool fullReads = ::fstatfs(fd, &fs) == 0 && FillsDirectoryReads(fs.f_type);
            ::close(fd);
            if (!ok) continue;
            Volume v;
            v.mountPoint = c.mountPoint;
            v.dev = st.st_dev;
            v.rootIno = st.st_ino;
            v.mountId = mountId;
            v.shortReadIsEnd = fullReads;
            std::string base = SanitizeName(c.name);
            v.name = base;
            for (int n = 2; NameTaken(v.name); ++n) {
                std::string suffix(1, ' ');
                suffix += std::to_string(n);
                v.name = base.substr(0, 63 - suffix.size()) + suffix;
            }
            const std::string key = v.mountPoint + '\0' + std::to_string(v.dev);
            auto it = refNums_.find(key);
            const bool taken = it != refNums_.end() &&
                               std::any_of(volumes.begin(), volumes.end(), [&](const Volume& o) {
                                   return o.vRefNum == it->second;
                               });
            if (it == refNums_.end() || taken) {
                if (nextRefNum_ <= -32767) continue;  // out of numbers: leave the volume out
                it = refNums_.insert_or_assign(key, nextRefNum_--).first;
            }
            v.vRefNum = it->second;
            volumes.push_back(std::move(v));
        }
        loaded = true;
    }

    void EnsureLoaded() {
        if (!loaded) Load();
    }

  private:
    std::map<std::string, FSVolumeRefNum> refNums_;
    FSVolumeRefNum nextRefNum_ = -1;

    bool NameTaken(std::string_view name) const {
        return std::any_of(volumes.begin(), volumes.end(),
                           [&](const Volume& v) { return SameNameIgnoringCase(v.name, name); });
    }

    std::vector<Candidate> FromTestTable() const {
        std::vector<Candidate> out;
        for (const auto& [name, path] : testTable) {
            // Paths are compared with canonical ones: resolve links now.
            char* canonical = ::realpath(path.c_str(), nullptr);
            out.push_back({name, canonical ? std::string(canonical) : path});
            std::free(canonical);
        }
        return out;
    }

    static std::vector<Candidate> FromMountTable() {
        std::vector<Candidate> out;
        std::optional<Candidate> root;
        std::ifstream in("/proc/self/mountinfo");
        const auto labels = ReadLabels();
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::vector<std::string> f;
            for (std::string w; fields >> w;) f.push_back(w);
            auto dash = std::find(f.begin(), f.end(), "-");
            if (f.size() < 5 || dash == f.end() || dash + 1 == f.end()) continue;
            const std::string& type = *(dash + 1);
            const std::string mountPoint = UnescapeMountField(f[4]);
            if (kPseudoTypes.count(type) || InKernelTree(mountPoint) || mountPoint.empty() ||
                mountPoint[0] != '/') {
                continue;
            }
            // A later mount on the same point hides the earlier one.
            out.erase(
                std::remove_if(out.begin(), out.end(),
                               [&](const Candidate& c) { return c.mountPoint == mountPoint; }),
                out.end());
            if (mountPoint == "/") {
                root = Candidate{"Root", "/"};
                continue;
            }
            std::string name;
            unsigned major = 0, minor = 0;
            if (std::sscanf(f[2].c_str(), "%u:%u", &major, &minor) == 2 && major != 0) {
                auto l = labels.find(makedev(major, minor));
                if (l != labels.end()) name = l->second;
            }
            if (name.empty()) name = mountPoint.substr(mountPoint.rfind('/') + 1);
            out.push_back({name, mountPoint});
        }
        if (root) out.insert(out.begin(), *root);
        return out;
    }
};

VolumeTable& Table() {
    static VolumeTable table;
    return table;
}

}  // namespace

std::uint64_t MountIdOf(int fd) {
#if SW_HAVE_STATX && defined(STATX_MNT_ID)
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &sx) == 0 && (sx.stx_mask & STATX_MNT_ID)) {
        return sx.stx_mnt_id;
    }
#else
    (void)fd;
#endif
    return 0;
}

void SetVolumeTableForTesting(std::vector<std::pair<std::string, std::string>> volumes) {
    VolumeTable& t = Table();
    std::lock_guard lock(t.mutex);
    t.testing = !volumes.empty();
    t.testTable = std::move(volumes);
    t.Load();
}

void ReloadVolumes() {
    VolumeTable& t = Table();
    std::lock_guard lock(t.mutex);
    t.Load();
}

std::vector<Volume> ListVolumes() {
    VolumeTable& t = Table();
    std::lock_guard lock(t.mutex);
    t.EnsureLoaded();
    return t.volumes;
}

std::optional<Volume> FindVolume(FSVolumeRefNum vRefNum) {
    VolumeTable& t = Table();
    std::lock_guard lock(t.mutex);
    t.EnsureLoaded();
    for (const Volume& v : t.volumes) {
        if (v.vRefNum == vRefNum) return v;
    }
    return std::nullopt;
}

std::optional<Volume> FindVolumeByName(std::string_view name) {
    VolumeTable& t = Table();
    std::lock_guard lock(t.mutex);
    t.EnsureLoaded();
    for (const Volume& v : t.volumes) {
        if (v.name == name) return v;
    }
    for (const Volume& v : t.volumes) {
        if (SameNameIgnoringCase(v.name, name)) return v;
    }
    return std::nullopt;
}

std::optional<Volume> VolumeForPath(std::string_view path) {
    VolumeTable& t = Table();
    std::lock_guard lock(t.mutex);
    t.EnsureLoaded();
    const Volume* best = nullptr;
    for (const Volume& v : t.volumes) {
        const std::string& m = v.mountPoint;
        const bool under =
            m == "/" || path == m ||
            (path.size() > m.size() && path.substr(0, m.size()) == m && path[m.size()] == '/');
        if (under && (!best || m.size() > best->mountPoint.size())) best = &v;
    }
    if (!best) return std::nullopt;
    return *best;
}

bool IsVolumeRootOtherThan(std::uint64_t dev, std::uint64_t ino, FSVolumeRefNum vRefNum) {
    VolumeTable& t = Table();
    std::lock_guard lock(t.mutex);
    t.EnsureLoaded();
    for (const Volume& v : t.volumes) {
        if (v.vRefNum != vRefNum && v.dev == dev && v.rootIno == ino) return true;
    }
    return false;
}

}  // namespace sw::posix

OSErr FSGetVolumeInfo(FSVolumeRefNum volume, UInt32 volumeIndex, FSVolumeRefNum* actualVolume,
                      FSVolumeInfoBitmap /*whichInfo*/, FSVolumeInfo* info,
                      HFSUniStr255* volumeName, FSRef* rootDirectory) {
    using namespace sw::posix;
    std::optional<Volume> found;
    if (volumeIndex > 0) {
        // A new enumeration sees the mounts as they are now.
        if (volumeIndex == 1) ReloadVolumes();
        std::vector<Volume> all = ListVolumes();
        if (volumeIndex > all.size()) return nsvErr;
        found = all[volumeIndex - 1];
    } else {
        found = FindVolume(volume);
        if (!found) return nsvErr;
    }
    if (actualVolume) *actualVolume = found->vRefNum;
    if (info) info->reserved = 0;
    if (volumeName) {
        std::u16string u;
        if (!Utf8ToUtf16(found->name, &u)) u = BytesToUnicode(found->name, false);
        volumeName->length = static_cast<UInt16>(std::min<std::size_t>(u.size(), 255));
        std::copy_n(u.begin(), volumeName->length, volumeName->unicode);
    }
    if (rootDirectory) MakeVolumeRootRef(found->vRefNum, *rootDirectory);
    return noErr;
}
