// Builds the catalog benchmark tree: about 25,000 folders and 500,000 entries
// with names that exercise the name tests ("report" in varied case, composed
// and decomposed accents, hidden files) and symbolic links. With --mac, a few
// per cent of the files get Finder information in an extended attribute and
// a few per cent an AppleDouble "._" sidecar.
//
//   make_tree DIR [--mac]
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::uint64_t state = 0x9E3779B97F4A7C15ull;
std::uint32_t Next() {  // xorshift: the same tree on every run
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state);
}

const char* const kStems[] = {"report",
                              "Report",
                              "REPORT",
                              "rePort",
                              "notes",
                              "budget",
                              "r\xC3\xA9sum\xC3\xA9",
                              "re\xCC\x81sume\xCC\x81",
                              "photo",
                              "draft",
                              "Annual Report",
                              "data"};
const char* const kExts[] = {".txt", ".pdf", ".jpg", ".c", "", ".md", ".docx"};

std::string AppleDouble() {
    static const unsigned char header[] = {0, 5, 0x16, 7, 0, 2, 0, 0};
    std::string d(reinterpret_cast<const char*>(header), sizeof header);
    d += "Mac OS X        ";
    d += std::string("\0\2", 2);
    const unsigned char entries[] = {0, 0, 0, 9, 0, 0, 0, 50, 0, 0, 0, 32,
                                     0, 0, 0, 2, 0, 0, 0, 82, 0, 0, 0, 0};
    d.append(reinterpret_cast<const char*>(entries), sizeof entries);
    d += "TEXTttxt";
    d.append(24, '\0');
    return d;
}

long files = 0, folders = 0, links = 0, xattrs = 0, sidecars = 0;

void WriteFile(const std::string& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        return;
    }
    if (!content.empty() && ::write(fd, content.data(), content.size()) < 0) std::perror("write");
    ::close(fd);
}

void FillFolder(const std::string& dir, int nFiles, bool mac) {
    for (int i = 0; i < nFiles; ++i) {
        const std::uint32_t r = Next();
        std::string name = (r % 10 == 0) ? "." : "";  // hidden files
        name += kStems[r % (sizeof kStems / sizeof *kStems)];
        name += '-';
        name += std::to_string(i);
        name += kExts[(r >> 8) % (sizeof kExts / sizeof *kExts)];
        const std::string path = dir + "/" + name;
        if ((r >> 16) % 20 == 0) {
            if (::symlink(name.c_str(), (path + ".lnk").c_str()) == 0) ++links;
            continue;
        }
        WriteFile(path, std::string((r >> 4) % 300, 'x'));
        ++files;
        if (mac && (r >> 20) % 100 < 3) {
            std::string fi = "TEXTttxt";
            fi.append(24, '\0');
            if (::setxattr(path.c_str(), "user.com.apple.FinderInfo", fi.data(), fi.size(), 0) ==
                0) {
                ++xattrs;
            }
        }
        if (mac && (r >> 24) % 100 < 2) {
            WriteFile(dir + "/._" + name, AppleDouble());
            ++sidecars;
        }
    }
}

void MakeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0) std::perror(path.c_str());
    ++folders;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [--mac]\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const bool mac = argc > 2 && std::strcmp(argv[2], "--mac") == 0;
    ::mkdir(root.c_str(), 0755);
    // 50 x 20 x 24 leaf folders: 25,050 folders; 19 entries in each.
    for (int a = 0; a < 50; ++a) {
        const std::string da = root + "/Projects " + std::to_string(a);
        MakeFolder(da);
        FillFolder(da, 19, mac);
        for (int b = 0; b < 20; ++b) {
            const std::string db = da + "/report set " + std::to_string(b);
            MakeFolder(db);
            FillFolder(db, 19, mac);
            for (int c = 0; c < 24; ++c) {
                const std::string dc = db + "/Dossier-" + std::to_string(c);
                MakeFolder(dc);
                FillFolder(dc, 19, mac);
            }
        }
    }
    std::printf("folders %ld files %ld links %ld entries %ld xattrs %ld sidecars %ld\n", folders,
                files, links, folders + files + links + sidecars, xattrs, sidecars);
    return 0;
}
