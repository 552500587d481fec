// Cost per entry of the system calls a Finder-information read could use,
// measured on the files of a tree (warm cache), in interleaved passes.
//
//   xattr_probe TREE [PASSES]
//
// Prints, per operation, the median nanoseconds per entry over the passes:
//   list      listxattrat (what the metadata reader does first)
//   get-fi    getxattrat of user.com.apple.FinderInfo (present on a few files)
//   list+get  listxattrat, then getxattrat when the list names Finder information
//   size+list listxattrat asking for the size alone, the list only when not empty
//   fstatat   newfstatat, what `find -size` pays per entry
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/Xattr.h"

namespace {

struct Folder {
    int fd;
    std::vector<std::string> names;  // entries that are not folders or links
};

void Collect(int parent, const char* name, std::vector<Folder>& out) {
    int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    DIR* dir = fdopendir(dup(fd));
    if (dir == nullptr) {
        close(fd);
        return;
    }
    Folder folder{fd, {}};
    std::vector<std::string> subfolders;
    while (dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        if (e->d_type == DT_DIR)
            subfolders.emplace_back(e->d_name);
        else if (e->d_type == DT_REG)
            folder.names.emplace_back(e->d_name);
    }
    closedir(dir);
    out.push_back(std::move(folder));
    for (const auto& sub : subfolders) Collect(fd, sub.c_str(), out);
}

constexpr const char* kFinderInfo = "user.com.apple.FinderInfo";

template <typename Fn>
double NanosPerEntry(const std::vector<Folder>& folders, long entries, Fn&& fn) {
    const auto start = std::chrono::steady_clock::now();
    for (const Folder& f : folders)
        for (const std::string& n : f.names) fn(f.fd, n.c_str());
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(end - start).count() / entries;
}

unsigned long sink = 0;

void List(int dirfd, const char* name) {
    char buffer[512];
    long n = sw::posix::RawListXattrAt(dirfd, name, buffer, sizeof buffer);
    sink += static_cast<unsigned long>(n);
}

void SizeThenList(int dirfd, const char* name) {
    if (sw::posix::RawListXattrAt(dirfd, name, nullptr, 0) > 0) List(dirfd, name);
}

void GetFinderInfo(int dirfd, const char* name) {
    unsigned char buffer[64];
    long n = sw::posix::RawGetXattrAt(dirfd, name, kFinderInfo, buffer, sizeof buffer);
    sink += static_cast<unsigned long>(n);
}

void ListThenGet(int dirfd, const char* name) {
    char buffer[512];
    long n = sw::posix::RawListXattrAt(dirfd, name, buffer, sizeof buffer);
    if (n <= 0) return;
    for (std::string_view list(buffer, static_cast<std::size_t>(n)); !list.empty();) {
        std::string_view one = list.substr(0, list.find('\0'));
        if (one == kFinderInfo) {
            GetFinderInfo(dirfd, name);
            return;
        }
        list.remove_prefix(std::min(list.size(), one.size() + 1));
    }
}

void Stat(int dirfd, const char* name) {
    struct stat st;
    if (fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        sink += static_cast<unsigned long>(st.st_size);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TREE [PASSES]\n", argv[0]);
        return 2;
    }
    const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::vector<Folder> folders;
    Collect(AT_FDCWD, argv[1], folders);
    long entries = 0;
    long withFinderInfo = 0;
    for (const Folder& f : folders) {
        entries += static_cast<long>(f.names.size());
        for (const auto& n : f.names) {
            unsigned char b[64];
            if (sw::posix::RawGetXattrAt(f.fd, n.c_str(), kFinderInfo, b, sizeof b) >= 0)
                ++withFinderInfo;
        }
    }
    if (entries == 0) return 1;
    std::vector<double> list, get, listGet, sizeList, stat;
    for (int p = 0; p < passes; ++p) {
        list.push_back(NanosPerEntry(folders, entries, List));
        get.push_back(NanosPerEntry(folders, entries, GetFinderInfo));
        listGet.push_back(NanosPerEntry(folders, entries, ListThenGet));
        sizeList.push_back(NanosPerEntry(folders, entries, SizeThenList));
        stat.push_back(NanosPerEntry(folders, entries, Stat));
    }
    std::printf("files %ld with Finder information %ld (%.1f %%), %d passes\n", entries,
                withFinderInfo, 100.0 * withFinderInfo / entries, passes);
    std::printf("list      %7.0f ns per file\n", Median(list));
    std::printf("get-fi    %7.0f ns per file\n", Median(get));
    std::printf("list+get  %7.0f ns per file\n", Median(listGet));
    std::printf("size+list %7.0f ns per file\n", Median(sizeList));
    std::printf("fstatat   %7.0f ns per file\n", Median(stat));
    for (const Folder& f : folders) close(f.fd);
    return sink == 0xFFFFFFFF ? 1 : 0;
}
