// A sidecar's size decides whether its entries fit. Most sidecars are sized
// by the count of their first read, which ends short of the read buffer;
// larger ones by fstat. Both ways must agree with the file's true size to the
// byte, and a "._x" that fails validation is listed as an ordinary item.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include "MetaTestSupport.h"
#include "platform/Files.h"
#include "platform/posix/Metadata.h"

using namespace metatest;
namespace posix = sw::posix;

namespace {

class SidecarSize : public ScratchDir {
  protected:
    // The names in the folder as the catalog lists them (ASCII names only).
    std::set<std::string> Listed() {
        std::set<std::string> names;
        FSRef folder{};
        Boolean isDir = false;
        const std::string path = dir_.string();
        EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &folder, &isDir),
                  noErr);
        FSIterator it = nullptr;
        EXPECT_EQ(FSOpenIterator(&folder, kFSIterateFlat, &it), noErr);
        if (it == nullptr) return names;
        HFSUniStr255 batch[16];
        for (int guard = 0; guard < 1000; ++guard) {
            UInt32 n = 0;
            const OSErr err = FSGetCatalogInfoBulk(it, 16, &n, nullptr, kFSCatInfoNone, nullptr,
                                                   nullptr, nullptr, batch);
            for (UInt32 i = 0; i < n; ++i)
                names.insert(std::string(batch[i].unicode, batch[i].unicode + batch[i].length));
            if (err != noErr) {
                EXPECT_EQ(err, errFSNoMoreItems);
                break;
            }
        }
        EXPECT_EQ(FSCloseIterator(it), noErr);
        return names;
    }
};

// A sidecar of exactly `total` bytes: Finder information, then a resource
// fork running to the end of the file, whose entry claims `overrun` bytes
// more than the file holds.
Bytes SidecarOfSize(std::size_t total, std::uint32_t overrun = 0) {
    constexpr std::size_t kForkOffset = 26 + 2 * 12 + 32;
    Bytes fork(total - kForkOffset);
    for (std::size_t i = 0; i < fork.size(); ++i) fork[i] = static_cast<std::uint8_t>(i * 7 + 1);
    Bytes b = MakeAppleDouble({{9, FinderInfo("SIZE", "test", 0x0400)}, {2, fork}});
    EXPECT_EQ(b.size(), total);
    Put32(b, 26 + 12 + 8, static_cast<std::uint32_t>(fork.size() + overrun));
    return b;
}

struct SizeRow {
    const char* name;
    std::size_t total;
};

// Around the usual macOS size and around the read buffer (8 KB + 1).
const SizeRow kSizes[] = {
    {"small", 200},
    {"macOS 4096", 4096},
    {"4097", 4097},
    {"just under the buffer", 8192},
    {"exactly the buffer", 8193},
    {"just over the buffer", 8194},
    {"well over the buffer", 20000},
};

TEST_F(SidecarSize, EntriesEndingAtTheLastByteValidate) {
    for (const SizeRow& row : kSizes) {
        const std::string name = "doc" + std::to_string(row.total);
        WriteFile(name, FromString("data"));
        const Bytes sidecar = SidecarOfSize(row.total);
        WriteFile("._" + name, sidecar);
        EXPECT_TRUE(posix::IsAppleDoubleSidecar(dirfd_, "._" + name)) << row.name;
        const auto at = At(name, true, false);
        const auto fi = posix::ReadFinderInfo(at);
        ASSERT_TRUE(fi) << row.name;
        EXPECT_EQ(Bytes(fi->begin(), fi->end()), FinderInfo("SIZE", "test", 0x0400)) << row.name;
        const std::size_t forkSize = row.total - (26 + 2 * 12 + 32);
        EXPECT_EQ(posix::ResourceForkSize(at), forkSize) << row.name;
        const Bytes fork = posix::ReadResourceFork(at);
        EXPECT_EQ(fork, Bytes(sidecar.end() - static_cast<std::ptrdiff_t>(forkSize), sidecar.end()))
            << row.name;
    }
}

// One byte past the end is outside the file whichever way its size was found;
// a size taken from the buffer rather than the file would accept these.
TEST_F(SidecarSize, AnEntryOneBytePastTheEndIsRejected) {
    for (const SizeRow& row : kSizes) {
        for (std::uint32_t overrun : {1u, 100u}) {
            const std::string name =
                "doc" + std::to_string(row.total) + "+" + std::to_string(overrun);
            WriteFile(name, FromString("data"));
            WriteFile("._" + name, SidecarOfSize(row.total, overrun));
            EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, "._" + name))
                << row.name << " +" << overrun;
            EXPECT_FALSE(posix::ReadFinderInfo(At(name, true, false)))
                << row.name << " +" << overrun;
        }
    }
}

// A macOS sidecar cut short (a copy interrupted mid-way) is an ordinary file:
// the catalog lists it, while the intact one beside it stays hidden.
TEST_F(SidecarSize, ATruncatedSidecarIsListedAsAnItem) {
    WriteFile("whole", FromString("data"));
    WriteFile("._whole", SidecarOfSize(4096));
    WriteFile("cut", FromString("data"));
    Bytes cut = SidecarOfSize(4096);
    cut.resize(4000);
    WriteFile("._cut", cut);
    EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, "._cut"));
    const std::set<std::string> names = Listed();
    EXPECT_EQ(names, (std::set<std::string>{"whole", "cut", "._cut"}));
}

// Only regular files are sidecars: a folder or FIFO fails the first read and
// a link to a valid sidecar is not followed.
TEST_F(SidecarSize, OnlyRegularFilesAreSidecars) {
    WriteFile("._real", SidecarOfSize(9000));
    for (const char* item : {"link", "folder", "fifo"}) WriteFile(item, FromString("data"));
    ASSERT_EQ(symlink("._real", (dir_ / "._link").c_str()), 0);
    MakeDir("._folder");
    ASSERT_EQ(mkfifo((dir_ / "._fifo").c_str(), 0600), 0);
    EXPECT_TRUE(posix::IsAppleDoubleSidecar(dirfd_, "._real"));
    EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, "._link"));
    EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, "._folder"));
    EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, "._fifo"));
    for (const char* item : {"link", "folder", "fifo"})
        EXPECT_FALSE(posix::ReadFinderInfo(At(item, true, false))) << item;
}

}  // namespace
