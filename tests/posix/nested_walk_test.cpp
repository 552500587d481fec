// Folders opened while their parent's iterator is still open, as the search
// engine descends: the folder is opened relative to the parent, and what it
// lists, what a mount point lists and what a vanished folder gives must be the
// same as when it is opened on its own.
#include <gtest/gtest.h>
#include <sched.h>
#include <stdio.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/posix/CatalogInternal.h"
#include "support/Fixtures.h"

using namespace sw::posix;
using sw::test::MakeDir;
using sw::test::TempDir;
using sw::test::WriteFile;

namespace {

FSRef RefOf(const std::string& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr)
        << path;
    return ref;
}

std::string NameOf(const HFSUniStr255& name) {
    return UnicodeToPosixName(name.unicode, name.length);
}

// Walks `folder` depth first with every ancestor's iterator open, and records
// each folder's entries by path relative to the start, and each open result.
void Walk(const FSRef& folder, const std::string& path, std::map<std::string, std::string>& seen,
          std::map<std::string, OSErr>& opened, int depth = 0) {
    FSIterator it = nullptr;
    const OSErr openErr = FSOpenIterator(&folder, kFSIterateFlat, &it);
    opened[path] = openErr;
    if (openErr != noErr) return;
    FSCatalogInfo infos[3];
    FSRef refs[3];
    HFSUniStr255 names[3];
    OSErr err = noErr;
    std::string listing;
    // Small batches, so that descending happens between bulk calls.
    while (err == noErr) {
        UInt32 n = 0;
        err = FSGetCatalogInfoBulk(it, 3, &n, nullptr, kFSCatInfoNodeFlags, infos, refs, nullptr,
                                   names);
        for (UInt32 i = 0; i < n; ++i) {
            const std::string name = NameOf(names[i]);
            listing += name + ";";
            if ((infos[i].nodeFlags & kFSNodeIsDirectoryMask) && depth < 8)
                Walk(refs[i], path + "/" + name, seen, opened, depth + 1);
        }
    }
    EXPECT_EQ(err, errFSNoMoreItems) << path;
    seen[path] = listing;
    EXPECT_EQ(FSCloseIterator(it), noErr);
}

std::string Sorted(const std::string& listing) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t semi; (semi = listing.find(';', start)) != std::string::npos; start = semi + 1)
        parts.push_back(listing.substr(start, semi - start));
    std::sort(parts.begin(), parts.end());
    std::string out;
    for (const auto& p : parts) out += p + ";";
    return out;
}

// Walks depth first as the search engine does: 113 entries a batch,
// descending into a folder as soon as it is met, then going on in the
// parent's batch. Gives every entry's path (from "/") and, with `readTypes`,
// its file type (else 0).
std::map<std::string, OSType> WalkTypes(const FSRef& root, bool readTypes) {
    std::map<std::string, OSType> seen;
    std::function<void(const FSRef&, const std::string&)> walk = [&](const FSRef& folder,
                                                                     const std::string& at) {
        FSIterator it = nullptr;
        ASSERT_EQ(FSOpenIterator(&folder, kFSIterateFlat, &it), noErr) << at;
        std::vector<FSCatalogInfo> infos(113);
        std::vector<FSRef> refs(113);
        std::vector<HFSUniStr255> names(113);
        OSErr err = noErr;
        while (err == noErr) {
            UInt32 n = 0;
            err = FSGetCatalogInfoBulk(it, 113, &n, nullptr, 0x0802, infos.data(), refs.data(),
                                       nullptr, names.data());
            for (UInt32 i = 0; i < n; ++i) {
                const std::string path = at + "/" + NameOf(names[i]);
                seen[path] = readTypes ? FSCatalogInfoFileType(&infos[i]) : 0;
                if (infos[i].nodeFlags & kFSNodeIsDirectoryMask) walk(refs[i], path);
            }
        }
        EXPECT_EQ(err, errFSNoMoreItems) << at;
        EXPECT_EQ(FSCloseIterator(it), noErr);
    };
    walk(root, "");
    return seen;
}

TEST(NestedWalk, EveryFolderListsTheSameWithItsParentOpen) {
    TempDir dir;
    for (const char* d : {"a", "a/b", "a/b/c", "a/e", "f", "f/g"}) MakeDir(dir / d);
    for (const char* f : {"a/1", "a/b/2", "a/b/c/3", "a/b/c/4", "a/e/5", "f/g/6", "top"})
        WriteFile(dir / f);
    std::map<std::string, std::string> seen;
    std::map<std::string, OSErr> opened;
    Walk(RefOf(dir.path()), "", seen, opened);
    const std::map<std::string, std::string> expected = {
        {"", "a;f;top;"}, {"/a", "1;b;e;"}, {"/a/b", "2;c;"}, {"/a/b/c", "3;4;"},
        {"/a/e", "5;"},   {"/f", "g;"},     {"/f/g", "6;"},
    };
    ASSERT_EQ(seen.size(), expected.size());
    for (const auto& [path, listing] : expected) {
        EXPECT_EQ(Sorted(seen[path]), listing) << path;
        EXPECT_EQ(opened[path], noErr) << path;
        // Opened on its own (no parent iterator open), the folder lists the same.
        FSIterator it = nullptr;
        const FSRef ref = RefOf(dir.path() + path);
        ASSERT_EQ(FSOpenIterator(&ref, kFSIterateFlat, &it), noErr) << path;
        std::string listingAlone;
        FSCatalogInfo info[8];
        HFSUniStr255 names[8];
        UInt32 n = 0;
        FSGetCatalogInfoBulk(it, 8, &n, nullptr, kFSCatInfoNodeFlags, info, nullptr, nullptr,
                             names);
        for (UInt32 i = 0; i < n; ++i) listingAlone += NameOf(names[i]) + ";";
        EXPECT_EQ(FSCloseIterator(it), noErr);
        EXPECT_EQ(Sorted(listingAlone), listing) << path << " opened on its own";
    }
}

// Turns the read-ahead thread off for one test and back on after it.
struct NoReadAhead {
    NoReadAhead() { SetReadAheadForTesting(false); }
    ~NoReadAhead() { SetReadAheadForTesting(true); }
};

TEST(NestedWalk, AFolderGoneSinceTheListingIsNotFound) {
    // Listed ahead, the folder would show as it was when read: this is about
    // the caller's own open meeting a folder that has gone.
    NoReadAhead off;
    TempDir dir;
    MakeDir(dir / "gone");
    MakeDir(dir / "stays");
    WriteFile(dir / "stays/x");
    FSIterator parent = nullptr;
    const FSRef root = RefOf(dir.path());
    ASSERT_EQ(FSOpenIterator(&root, kFSIterateFlat, &parent), noErr);
    FSCatalogInfo infos[4];
    FSRef refs[4];
    HFSUniStr255 names[4];
    UInt32 n = 0;
    ASSERT_EQ(FSGetCatalogInfoBulk(parent, 4, &n, nullptr, kFSCatInfoNodeFlags, infos, refs,
                                   nullptr, names),
              errFSNoMoreItems);
    ASSERT_EQ(n, 2u);
    ASSERT_EQ(::rename((dir / "gone").c_str(), (dir / "moved").c_str()), 0);
    for (UInt32 i = 0; i < n; ++i) {
        FSIterator child = nullptr;
        const OSErr err = FSOpenIterator(&refs[i], kFSIterateFlat, &child);
        if (NameOf(names[i]) == "gone") {
            EXPECT_EQ(err, fnfErr);
            EXPECT_EQ(child, nullptr);
        } else {
            ASSERT_EQ(err, noErr);
            EXPECT_EQ(FSCloseIterator(child), noErr);
        }
    }
    EXPECT_EQ(FSCloseIterator(parent), noErr);
}

// A folder that is the root of another volume lists nothing when reached
// through its parent, also while the parent's iterator is open.
TEST(NestedWalk, AnotherVolumeIsNotEnteredWithItsParentOpen) {
    TempDir dir;
    MakeDir(dir / "inner");
    WriteFile(dir / "inner/deep");
    SetVolumeTableForTesting({{"Outer", dir.path()}, {"Inner", dir / "inner"}});
    FSRef outerRoot{};
    ASSERT_EQ(FSGetVolumeInfo(0, 1, nullptr, 0, nullptr, nullptr, &outerRoot), noErr);
    std::map<std::string, std::string> seen;
    std::map<std::string, OSErr> opened;
    Walk(outerRoot, "", seen, opened);
    SetVolumeTableForTesting({});
    EXPECT_EQ(seen[""], "inner;");
    EXPECT_EQ(opened["/inner"], noErr);
    EXPECT_EQ(seen["/inner"], "") << "the mount point is listed, never entered";
}

// Finder information read while the caller descends in the middle of a batch
// and comes back, as the search engine does, with every file's own type in an
// attribute (and some in AppleDouble sidecars): each entry gets exactly its
// own, whichever thread read it, over several batches of several folders.
TEST(NestedWalk, FinderInfoOfEveryEntryWhileDescending) {
    TempDir dir;
    if (!sw::test::SupportsUserXattrs(dir.path())) GTEST_SKIP() << "no user xattrs here";
    std::map<std::string, OSType> expected;  // relative path -> type
    int serial = 0;
    auto makeFile = [&](const std::string& relative) {
        const std::string path = dir / relative;
        WriteFile(path);
        char type[16];
        std::snprintf(type, sizeof type, "T%03d", serial++ % 1000);  // 4 characters
        std::string fi(type, 4);
        fi.append("crea");
        fi.append(24, '\0');
        ASSERT_TRUE(sw::test::SetXattr(path, "user.com.apple.FinderInfo", fi));
        expected["/" + relative] = (OSType(type[0]) << 24) | (OSType(type[1]) << 16) |
                                   (OSType(type[2]) << 8) | OSType(type[3]);
    };
    for (int i = 0; i < 150; ++i) makeFile("top" + std::to_string(i));
    for (int d = 0; d < 3; ++d) {
        const std::string sub = "sub" + std::to_string(d);
        MakeDir(dir / sub);
        expected["/" + sub] = 0;  // a folder with no Finder information
        for (int i = 0; i < 40; ++i) makeFile(sub + "/f" + std::to_string(i));
    }
    for (int pass = 0; pass < 3; ++pass)
        EXPECT_EQ(WalkTypes(RefOf(dir.path()), true), expected) << "pass " << pass;
}

// The read-ahead lists subfolders and checks their sidecars before the caller
// opens them: a walk must see exactly what it sees without it.
TEST(NestedWalk, ReadAheadListsExactlyWhatTheCallerWould) {
    TempDir dir;
    // A genuine AppleDouble v2 sidecar holding Finder information only.
    auto sidecar = [](const std::string& type) {
        std::string b(70, '\0');
        const unsigned char head[] = {0x00, 0x05, 0x16, 0x07, 0x00, 0x02, 0x00, 0x00};
        b.replace(0, 8, reinterpret_cast<const char*>(head), 8);
        b[25] = 1;   // one entry
        b[29] = 9;   // Finder information
        b[33] = 38;  // at offset 38
        b[37] = 32;  // 32 bytes
        b.replace(38, 4, type);
        return b;
    };
    constexpr int kFolders = 60;
    for (int i = 0; i < kFolders; ++i) {
        const std::string d = "d" + std::to_string(i);
        MakeDir(dir / d);
        WriteFile(dir / (d + "/f"));
        char type[16];
        std::snprintf(type, sizeof type, "S%03d", i);  // 4 characters
        WriteFile(dir / (d + "/._f"), sidecar(type));
        WriteFile(dir / (d + "/._fake"), "not AppleDouble");
        MakeDir(dir / (d + "/sub"));
        WriteFile(dir / (d + "/sub/g"));
    }
    // Without reading Finder information (reading it turns the thread to
    // that), and with it.
    for (bool readTypes : {false, true}) {
        std::map<std::string, OSType> without;
        {
            NoReadAhead off;
            without = WalkTypes(RefOf(dir.path()), readTypes);
        }
        ASSERT_EQ(without.size(), kFolders * 5u);  // d, f, ._fake, sub, sub/g
        EXPECT_EQ(without.count("/d7/._f"), 0u) << "a genuine sidecar is metadata";
        EXPECT_EQ(without.count("/d7/._fake"), 1u) << "an ordinary ._ file is an item";
        if (readTypes) {
            EXPECT_EQ(without.at("/d7/f"), FourCC("S007"));
        }
        // The thread's share varies with timing: several walks give it room.
        for (int pass = 0; pass < 4; ++pass)
            EXPECT_EQ(WalkTypes(RefOf(dir.path()), readTypes), without)
                << "pass " << pass << " types " << readTypes;
    }
}

// A real mount point met inside a walk, in a private mount namespace of a
// child process: listed by its parent, never entered, also when the parent's
// iterator is open (where the kernel refuses to cross the mount).
TEST(NestedWalk, RealMountPointIsNotEntered) {
    TempDir dir;
    MakeDir(dir / "inner");
    WriteFile(dir / "inner/hidden-by-mount");
    MakeDir(dir / "plain");
    WriteFile(dir / "plain/seen");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Root can unshare mounts alone; others need a user namespace too.
        if (::unshare(CLONE_NEWNS) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) ::_exit(3);
        if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) ::_exit(3);
        if (::mount("tmpfs", (dir / "inner").c_str(), "tmpfs", 0, "size=64k") != 0) ::_exit(3);
        // Something on the mounted volume, so that entering it would show.
        if (::close(::creat((dir / "inner/on-tmpfs").c_str(), 0644)) != 0) ::_exit(4);
        ReloadVolumes();
        std::map<std::string, std::string> seen;
        std::map<std::string, OSErr> opened;
        Walk(RefOf(dir.path()), "", seen, opened);
        const bool ok = seen[""].find("inner;") != std::string::npos &&
                        seen[""].find("plain;") != std::string::npos && opened["/inner"] == noErr &&
                        seen["/inner"].empty() && seen["/plain"] == "seen;";
        if (!ok) {
            for (const auto& [path, listing] : seen)
                std::fprintf(stderr, "'%s': %s\n", path.c_str(), listing.c_str());
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "cannot make a private mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the mount point was entered or the walk failed";
}

}  // namespace
