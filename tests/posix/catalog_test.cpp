// The catalog over real temporary trees: bulk reads, identities, paths,
// volumes and error codes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/CoreFoundation.h"
#include "platform/Files.h"
#include "platform/posix/CatalogInternal.h"
#include "support/Fixtures.h"

using namespace sw::posix;
using sw::test::MakeDir;
using sw::test::Symlink;
using sw::test::TempDir;
using sw::test::WriteFile;

namespace {

struct Item {
    std::string name;  // POSIX bytes, from the listed UTF-16 name
    std::u16string unicode;
    UInt16 nodeFlags = 0;
    OSType type = 0;
    OSType creator = 0;
    FSCatalogInfo info{};
    FSRef ref{};
    FSSpec spec{};
};

struct Listing {
    OSErr openErr = noErr;
    OSErr lastErr = noErr;
    std::vector<Item> items;
};

// Walks one folder as the search engine does: batches of `batch`, Finder
// information read while the batch is current.
Listing List(const FSRef& folder, FSCatalogInfoBitmap which = 0x0802, UInt32 batch = 113,
             bool readFinderInfo = true) {
    Listing out;
    FSIterator it = nullptr;
    out.openErr = FSOpenIterator(&folder, kFSIterateFlat, &it);
    if (out.openErr != noErr) return out;
    std::vector<FSCatalogInfo> infos(batch);
    std::vector<FSRef> refs(batch);
    std::vector<FSSpec> specs(batch);
    std::vector<HFSUniStr255> names(batch);
    for (int guard = 0; guard < 100000; ++guard) {
        UInt32 n = 0;
        const OSErr err = FSGetCatalogInfoBulk(it, batch, &n, nullptr, which, infos.data(),
                                               refs.data(), specs.data(), names.data());
        out.lastErr = err;
        if (err != noErr && err != errFSNoMoreItems) break;
        EXPECT_LE(n, batch);
        for (UInt32 i = 0; i < n; ++i) {
            Item item;
            item.unicode.assign(reinterpret_cast<const char16_t*>(names[i].unicode),
                                names[i].length);
            item.name = UnicodeToPosixName(names[i].unicode, names[i].length);
            item.nodeFlags = infos[i].nodeFlags;
            if (readFinderInfo && (which & kFSCatInfoFinderInfo)) {
                item.type = FSCatalogInfoFileType(&infos[i]);
                item.creator = FSCatalogInfoCreator(&infos[i]);
            }
            item.info = infos[i];
            item.ref = refs[i];
            item.spec = specs[i];
            out.items.push_back(item);
        }
        if (err == errFSNoMoreItems) break;
    }
    EXPECT_EQ(FSCloseIterator(it), noErr);
    return out;
}

FSRef RefOf(const std::string& path, bool* isDir = nullptr) {
    FSRef ref{};
    Boolean dir = false;
    const OSErr err = FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, &dir);
    EXPECT_EQ(err, noErr) << path;
    if (isDir) *isDir = dir;
    return ref;
}

std::string PathOf(const FSRef& ref) {
    UInt8 buf[4096];
    const OSErr err = FSRefMakePath(&ref, buf, sizeof buf);
    EXPECT_EQ(err, noErr);
    return err == noErr ? std::string(reinterpret_cast<char*>(buf)) : std::string();
}

std::string Utf8Of(CFStringRef s) {
    if (!s) return "<null>";
    const CFIndex n = CFStringGetLength(s);
    std::vector<UniChar> u(static_cast<std::size_t>(n));
    CFStringGetCharacters(s, CFRangeMake(0, n), u.data());
    return UnicodeToBytes(u.data(), u.size(), false);
}

std::string CopyPath(const FSRef& ref, CFURLPathStyle style) {
    CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, &ref);
    if (!url) return "<no url>";
    CFStringRef s = CFURLCopyFileSystemPath(url, style);
    std::string out = Utf8Of(s);
    if (s) CFRelease(s);
    CFRelease(url);
    return out;
}

std::string SpecName(const FSSpec& spec) {
    return std::string(reinterpret_cast<const char*>(spec.name + 1), spec.name[0]);
}

std::vector<UInt8> Pascal(std::string_view s) {
    std::vector<UInt8> p(s.size() + 1);
    p[0] = static_cast<UInt8>(s.size());
    std::memcpy(p.data() + 1, s.data(), s.size());
    return p;
}

// A genuine AppleDouble sidecar with Finder information (type, creator).
std::string AppleDouble(std::string_view type, std::string_view creator) {
    std::string d;
    auto be32 = [&](std::uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) d += static_cast<char>((v >> s) & 0xFF);
    };
    be32(0x00051607);
    be32(0x00020000);
    d += "Mac OS X        ";
    d += '\0', d += '\2';
    be32(9), be32(50), be32(32);
    be32(2), be32(82), be32(0);
    d += type;
    d += creator;
    d.append(24, '\0');
    return d;
}

// Restores the real mount table after a test that replaced it.
class VolumeTableGuard {
  public:
    explicit VolumeTableGuard(std::vector<std::pair<std::string, std::string>> table) {
        SetVolumeTableForTesting(std::move(table));
    }
    ~VolumeTableGuard() { SetVolumeTableForTesting({}); }
};

constexpr OSType kSlnk = FourCC("slnk");
constexpr OSType kRhap = FourCC("rhap");

}  // namespace

// --- Bulk reads -----------------------------------------------------------------

TEST(CatalogBulk, EveryEntryExactlyOnceAtBatchBoundaries) {
    for (int count : {0, 1, 112, 113, 114, 226, 227}) {
        TempDir dir;
        for (int i = 0; i < count; ++i) WriteFile(dir / ("f" + std::to_string(i)));
        const Listing l = List(RefOf(dir.path()));
        ASSERT_EQ(l.openErr, noErr) << count;
        EXPECT_EQ(l.lastErr, errFSNoMoreItems) << count;
        std::multiset<std::string> seen;
        for (const Item& it : l.items) seen.insert(it.name);
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(count)) << count;
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(seen.count("f" + std::to_string(i)), 1u) << "count " << count << " f" << i;
        }
    }
}

// Listings that take several directory reads, with counts around the point
// where the first read is full: a read that ends early must never be taken
// for the end too soon.
TEST(CatalogBulk, FoldersOfSeveralDirectoryReadsAreListedWhole) {
    const std::string stem(240, 'n');  // 64 KB holds about 240 records of such names
    for (int count : {236, 239, 240, 241, 244, 1000}) {
        TempDir dir;
        for (int i = 0; i < count; ++i) WriteFile(dir / (stem + std::to_string(10000 + i)));
        const Listing l = List(RefOf(dir.path()));
        ASSERT_EQ(l.openErr, noErr) << count;
        EXPECT_EQ(l.lastErr, errFSNoMoreItems);
        std::set<std::string> seen;
        for (const Item& it : l.items) seen.insert(it.name);
        EXPECT_EQ(l.items.size(), static_cast<std::size_t>(count)) << count;
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(count)) << count;
    }
}

TEST(CatalogBulk, SmallBatchesDeliverEverythingOnce) {
    TempDir dir;
    for (int i = 0; i < 10; ++i) WriteFile(dir / ("f" + std::to_string(i)));
    const Listing l = List(RefOf(dir.path()), 0x0802, 3);
    EXPECT_EQ(l.items.size(), 10u);
    std::set<std::string> names;
    for (const Item& it : l.items) names.insert(it.name);
    EXPECT_EQ(names.size(), 10u);
}

TEST(CatalogBulk, FoldersFilesAndSymbolicLinks) {
    TempDir dir;
    MakeDir(dir / "folder");
    WriteFile(dir / "file", "hello");
    Symlink("file", dir / "link-to-file");
    Symlink("folder", dir / "link-to-folder");
    Symlink("nowhere", dir / "dangling");
    const Listing l = List(RefOf(dir.path()), 0x0802 | kFSCatInfoDataSizes);
    ASSERT_EQ(l.items.size(), 5u);
    std::map<std::string, Item> by;
    for (const Item& it : l.items) by[it.name] = it;
    EXPECT_EQ(by["folder"].nodeFlags & kFSNodeIsDirectoryMask, kFSNodeIsDirectoryMask);
    EXPECT_TRUE(FSRefIsDirectory(&by["folder"].ref));
    EXPECT_EQ(by["file"].nodeFlags, 0);
    EXPECT_EQ(by["file"].info.dataLogicalSize, 5u);
    for (const char* link : {"link-to-file", "link-to-folder", "dangling"}) {
        EXPECT_EQ(by[link].nodeFlags, 0) << link;
        EXPECT_EQ(by[link].type, kSlnk) << link;
        EXPECT_EQ(by[link].creator, kRhap) << link;
        EXPECT_FALSE(FSRefIsDirectory(&by[link].ref)) << link;
    }
    // A link is a file: it cannot be iterated even when it points at a folder.
    FSIterator it = nullptr;
    EXPECT_EQ(FSOpenIterator(&by["link-to-folder"].ref, kFSIterateFlat, &it), errFSNotAFolder);
}

TEST(CatalogBulk, FinderInfoFromAttributeIsLazyAndExpiresWithTheBatch) {
    TempDir dir;
    if (!sw::test::SupportsUserXattrs(dir.path())) GTEST_SKIP() << "no user xattrs here";
    WriteFile(dir / "doc");
    std::string fi = "TEXTttxt";
    fi.append(24, '\0');
    ASSERT_TRUE(sw::test::SetXattr(dir / "doc", "user.com.apple.FinderInfo", fi));

    FSIterator it = nullptr;
    const FSRef folder = RefOf(dir.path());
    ASSERT_EQ(FSOpenIterator(&folder, kFSIterateFlat, &it), noErr);
    FSCatalogInfo info[4];
    UInt32 n = 0;
    EXPECT_EQ(FSGetCatalogInfoBulk(it, 4, &n, nullptr, 0x0802, info, nullptr, nullptr, nullptr),
              errFSNoMoreItems);
    ASSERT_EQ(n, 1u);
    FSCatalogInfo copy = info[0];
    EXPECT_NE(info[0].lazy, nullptr);
    EXPECT_EQ(FSCatalogInfoFileType(&info[0]), FourCC("TEXT"));
    EXPECT_EQ(FSCatalogInfoCreator(&info[0]), FourCC("ttxt"));
    EXPECT_EQ(info[0].lazy, nullptr);
    // The copy was not loaded before the next bulk call: it reads as zeros.
    EXPECT_EQ(FSGetCatalogInfoBulk(it, 4, &n, nullptr, 0x0802, info, nullptr, nullptr, nullptr),
              errFSNoMoreItems);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(FSCatalogInfoFileType(&copy), 0u);
    EXPECT_EQ(FSCloseIterator(it), noErr);
}

TEST(CatalogBulk, SidecarsAreHiddenWhateverTheBatchOrder) {
    TempDir dir;
    // Enough entries that a file and its sidecar usually land in different batches.
    constexpr int kFiles = 150;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "doc" + std::to_string(i);
        WriteFile(dir / name, "data");
        WriteFile(dir / ("._" + name), AppleDouble("TEST", "Kres"));
    }
    WriteFile(dir / "._ordinary", "not an AppleDouble file at all, just text");
    MakeDir(dir / ".AppleDouble");
    WriteFile(dir / ".AppleDouble/doc0", AppleDouble("XXXX", "YYYY"));
    const Listing l = List(RefOf(dir.path()), 0x0802, 7);
    ASSERT_EQ(l.openErr, noErr);
    std::set<std::string> names;
    int typed = 0;
    for (const Item& it : l.items) {
        names.insert(it.name);
        if (it.type == FourCC("TEST") && it.creator == FourCC("Kres")) ++typed;
    }
    EXPECT_EQ(l.items.size(), static_cast<std::size_t>(kFiles + 1));
    EXPECT_EQ(names.count("._ordinary"), 1u);
    EXPECT_EQ(names.count(".AppleDouble"), 0u);
    EXPECT_EQ(names.count("._doc0"), 0u);
    EXPECT_EQ(typed, kFiles);
}

TEST(CatalogBulk, DatesAndSizes) {
    TempDir dir;
    WriteFile(dir / "f", "12345");
    const timespec times[2] = {{1000000000, 0}, {1234567890, 500000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "f").c_str(), times, 0), 0);
    const Listing l = List(RefOf(dir.path()), 0x0802 | 0x00E0 | 0xC000);
    ASSERT_EQ(l.items.size(), 1u);
    const FSCatalogInfo& info = l.items[0].info;
    const UInt64 mod =
        (UInt64{info.contentModDate.highSeconds} << 32) | info.contentModDate.lowSeconds;
    EXPECT_EQ(mod, 1234567890u + 2082844800u);
    EXPECT_EQ(info.contentModDate.fraction, 0x8000);
    EXPECT_EQ(info.dataLogicalSize, 5u);
    EXPECT_EQ(info.rsrcLogicalSize, 0u);
    struct statx sx {};
    if (::statx(AT_FDCWD, (dir / "f").c_str(), 0, STATX_BTIME, &sx) == 0 &&
        (sx.stx_mask & STATX_BTIME)) {
        EXPECT_TRUE(info.createDateKnown);
        const UInt64 created =
            (UInt64{info.createDate.highSeconds} << 32) | info.createDate.lowSeconds;
        EXPECT_EQ(created, static_cast<UInt64>(sx.stx_btime.tv_sec) + 2082844800u);
    }
}

TEST(CatalogBulk, OnlyRequestedFieldsAreFilled) {
    TempDir dir;
    WriteFile(dir / "f", "12345");
    const Listing l = List(RefOf(dir.path()), kFSCatInfoNodeFlags);
    ASSERT_EQ(l.items.size(), 1u);
    EXPECT_EQ(l.items[0].info.dataLogicalSize, 0u);
    EXPECT_EQ(l.items[0].info.contentModDate.lowSeconds, 0u);
    EXPECT_EQ(l.items[0].info.lazy, nullptr);
}

TEST(CatalogDates, UnixToUTCDateTime) {
    const UTCDateTime epoch = UTCDateTimeFromUnix(0, 0);
    EXPECT_EQ(epoch.highSeconds, 0);
    EXPECT_EQ(epoch.lowSeconds, 2082844800u);
    EXPECT_EQ(epoch.fraction, 0);
    const UTCDateTime later =
        UTCDateTimeFromUnix(4294967296LL, 250000000);  // past 2^32 in 1904 terms
    EXPECT_EQ(later.highSeconds, 1);
    EXPECT_EQ(later.lowSeconds, 2082844800u);
    EXPECT_EQ(later.fraction, 16384);
    const UTCDateTime before = UTCDateTimeFromUnix(-3000000000LL, 0);  // before 1904: clamped
    EXPECT_EQ(before.highSeconds, 0);
    EXPECT_EQ(before.lowSeconds, 0u);
}

// --- Errors ---------------------------------------------------------------------------

TEST(CatalogErrors, FileGivenAsFolder) {
    TempDir dir;
    WriteFile(dir / "plain");
    FSIterator it = nullptr;
    const FSRef file = RefOf(dir / "plain");
    EXPECT_EQ(FSOpenIterator(&file, kFSIterateFlat, &it), errFSNotAFolder);
    EXPECT_EQ(it, nullptr);
}

TEST(CatalogErrors, VanishedFolder) {
    TempDir dir;
    MakeDir(dir / "gone");
    const FSRef ref = RefOf(dir / "gone");
    ASSERT_EQ(::rmdir((dir / "gone").c_str()), 0);
    FSIterator it = nullptr;
    EXPECT_EQ(FSOpenIterator(&ref, kFSIterateFlat, &it), fnfErr);
    FSRef missing{};
    EXPECT_EQ(
        FSPathMakeRef(reinterpret_cast<const UInt8*>((dir / "nothing").c_str()), &missing, nullptr),
        fnfErr);
}

TEST(CatalogErrors, GarbageReferencesAndIterators) {
    FSRef zero{};
    FSIterator it = nullptr;
    EXPECT_EQ(FSOpenIterator(&zero, kFSIterateFlat, &it), errFSBadFSRef);
    EXPECT_EQ(FSCloseIterator(nullptr), errFSIteratorNotFound);
    UInt32 n = 7;
    EXPECT_EQ(FSGetCatalogInfoBulk(nullptr, 1, &n, nullptr, 0, nullptr, nullptr, nullptr, nullptr),
              errFSIteratorNotFound);
    EXPECT_EQ(n, 0u);
}

TEST(CatalogErrors, UnreadableFolderAsUnprivilegedUser) {
    TempDir dir;
    MakeDir(dir / "locked");
    WriteFile(dir / "locked/secret");
    ASSERT_EQ(::chmod((dir / "locked").c_str(), 0), 0);
    // Make the temporary folder reachable for the unprivileged child.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const FSRef ref = RefOf(dir / "locked");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        if (::geteuid() == 0) ::_exit(3);
        FSIterator it = nullptr;
        const OSErr err = FSOpenIterator(&ref, kFSIterateFlat, &it);
        ::_exit(err == afpAccessDenied ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "FSOpenIterator on a folder without read permission";
}

// --- Names ------------------------------------------------------------------------------

TEST(CatalogNames, InvalidUtf8IsListedAndRoundTrips) {
    TempDir dir;
    const std::string bad = std::string("bad\xFF\xFE") + "name\xC3";  // invalid bytes, cut sequence
    const std::string privateUse = "pu\xEF\x9E\xA0x";                 // valid U+F7A0 in the name
    WriteFile(dir / bad);
    WriteFile(dir / privateUse);
    const Listing l = List(RefOf(dir.path()));
    ASSERT_EQ(l.items.size(), 2u);
    std::set<std::string> names;
    for (const Item& it : l.items) {
        names.insert(it.name);
        EXPECT_EQ(PathOf(it.ref), dir / it.name);
        struct stat st {};
        EXPECT_EQ(::lstat(PathOf(it.ref).c_str(), &st), 0);
    }
    EXPECT_EQ(names.count(bad), 1u);
    EXPECT_EQ(names.count(privateUse), 1u);
    EXPECT_EQ(PosixNameToUnicode(bad), u"bad\uF7FF\uF7FEname\uF7C3");
    EXPECT_EQ(PosixNameToUnicode(privateUse), u"pu\uF7EF\uF79E\uF7A0x");
}

TEST(CatalogNames, ColonShowsAsSlash) {
    EXPECT_EQ(PosixNameToUnicode("a:b"), u"a/b");
    const std::u16string u = u"a/b";
    EXPECT_EQ(UnicodeToPosixName(reinterpret_cast<const UniChar*>(u.data()), u.size()), "a:b");
}

// The listed name (HFSUniStr255) is the same text as the full conversion,
// cut at 255 units and never inside a surrogate pair.
TEST(CatalogNames, ListedNameIsTheFullConversionCutAt255Units) {
    std::string emoji;
    for (int i = 0; i < 70; ++i) emoji += "\xF0\x9F\x98\x80";  // 280 bytes, 140 units
    const std::string longAccents = [] {
        std::string s;
        for (int i = 0; i < 126; ++i) s += "e\xCC\x81";  // 378 bytes, 252 units
        return s + "x:\xF0\x9F\x98\x80";                 // a pair would end at 257
    }();
    const std::vector<std::string> names = {"plain",
                                            "a:b",
                                            std::string(255, 'x'),
                                            std::string(300, 'y'),
                                            "caf\xC3\xA9:x",
                                            "bad\xFF\xFEname\xC3",
                                            "pu\xEF\x9E\xA0x",
                                            emoji,
                                            longAccents};
    for (const std::string& name : names) {
        HFSUniStr255 listed{};
        PosixNameToUnicode(name, listed);
        std::u16string full = PosixNameToUnicode(name);
        std::size_t keep = std::min<std::size_t>(full.size(), 255);
        if (keep < full.size() && full[keep - 1] >= 0xD800 && full[keep - 1] <= 0xDBFF) --keep;
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(listed.unicode), listed.length),
                  full.substr(0, keep))
            << name.substr(0, 20);
    }
}

TEST(CatalogNames, LongAndNonRomanNamesStillResolve) {
    TempDir dir;
    const std::string longName(200, 'L');
    const std::string greek = "\xCE\xB1\xCE\xB2\xCE\xB3.txt";  // no Mac OS Roman form
    const std::string decomposed = "cafe\xCC\x81";             // e + combining acute
    WriteFile(dir / longName, "long");
    WriteFile(dir / greek, "greek");
    WriteFile(dir / decomposed, "nfd");
    WriteFile(dir / "caf\xC3\xA9", "nfc");
    const Listing l = List(RefOf(dir.path()));
    ASSERT_EQ(l.items.size(), 4u);
    for (const Item& it : l.items) {
        EXPECT_EQ(PathOf(it.ref), dir / it.name) << it.name;
        EXPECT_LE(it.spec.name[0], 63) << it.name;
        FSRef back{};
        ASSERT_EQ(FSpMakeFSRef(&it.spec, &back), noErr) << it.name;
        EXPECT_EQ(PathOf(back), dir / it.name) << it.name;
    }
}

// --- Identities and paths -----------------------------------------------------------------

TEST(CatalogPaths, BothStylesAndColonSwap) {
    TempDir dir;
    MakeDir(dir / "sub");
    WriteFile(dir / "sub/a:b");
    VolumeTableGuard volumes({{"Data", dir.path()}});
    const FSRef file = RefOf(dir / "sub/a:b");
    EXPECT_EQ(CopyPath(file, kCFURLPOSIXPathStyle), dir / "sub/a:b");
    EXPECT_EQ(CopyPath(file, kCFURLHFSPathStyle), "Data:sub:a/b");
    const FSRef sub = RefOf(dir / "sub");
    EXPECT_EQ(CopyPath(sub, kCFURLPOSIXPathStyle), dir / "sub");  // no trailing separator
    EXPECT_EQ(CopyPath(sub, kCFURLHFSPathStyle), "Data:sub");
    const FSRef root = RefOf(dir.path());
    EXPECT_EQ(CopyPath(root, kCFURLHFSPathStyle), "Data");
    EXPECT_EQ(CopyPath(root, kCFURLPOSIXPathStyle), dir.path());

    CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, &sub);
    ASSERT_NE(url, nullptr);
    EXPECT_TRUE(CFURLHasDirectoryPath(url));
    CFRelease(url);
    url = CFURLCreateFromFSRef(kCFAllocatorDefault, &file);
    EXPECT_FALSE(CFURLHasDirectoryPath(url));
    CFRelease(url);

    // The listed name is the HFS form; mapped back it is the POSIX name.
    const Listing l = List(sub);
    ASSERT_EQ(l.items.size(), 1u);
    EXPECT_EQ(l.items[0].unicode, u"a/b");
    EXPECT_EQ(l.items[0].name, "a:b");
    EXPECT_EQ(SpecName(l.items[0].spec), "a/b");
}

TEST(CatalogPaths, PosixRootIsSlashAndHfsRootIsTheVolumeName) {
    SetVolumeTableForTesting({});
    const FSRef root = RefOf("/");
    EXPECT_EQ(CopyPath(root, kCFURLPOSIXPathStyle), "/");
    EXPECT_EQ(CopyPath(root, kCFURLHFSPathStyle), "Root");
    FSSpec spec{};
    ASSERT_EQ(FSGetCatalogInfo(&root, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr), noErr);
    EXPECT_EQ(SInt32{spec.parID}, kRootParentDirID);
    EXPECT_EQ(SpecName(spec), "Root");
}

TEST(CatalogPaths, MakeFSSpecFromColonPaths) {
    TempDir dir;
    MakeDir(dir / "Docs");
    WriteFile(dir / "Docs/Read Me");
    VolumeTableGuard volumes({{"Data", dir.path()}});

    FSSpec root{};
    ASSERT_EQ(FSMakeFSSpec(0, 0, Pascal("Data:").data(), &root), noErr);
    EXPECT_EQ(SInt32{root.parID}, kRootParentDirID);
    EXPECT_EQ(SpecName(root), "Data");
    FSRef rootRef{};
    ASSERT_EQ(FSpMakeFSRef(&root, &rootRef), noErr);
    EXPECT_EQ(PathOf(rootRef), dir.path());
    EXPECT_TRUE(FSRefIsDirectory(&rootRef));

    FSSpec lower{};
    EXPECT_EQ(FSMakeFSSpec(0, 0, Pascal("data:").data(), &lower), noErr);  // names ignore case
    EXPECT_EQ(lower.vRefNum, root.vRefNum);

    FSSpec readMe{};
    ASSERT_EQ(FSMakeFSSpec(0, 0, Pascal("Data:Docs:Read Me").data(), &readMe), noErr);
    EXPECT_EQ(SpecName(readMe), "Read Me");
    FSRef ref{};
    ASSERT_EQ(FSpMakeFSRef(&readMe, &ref), noErr);
    EXPECT_EQ(PathOf(ref), dir / "Docs/Read Me");

    FSSpec missing{};
    EXPECT_EQ(FSMakeFSSpec(0, 0, Pascal("Data:Docs:Nope").data(), &missing), fnfErr);
    EXPECT_EQ(SpecName(missing), "Nope");
    EXPECT_EQ(SInt32{missing.parID}, SInt32{readMe.parID});
    EXPECT_EQ(FSMakeFSSpec(0, 0, Pascal("NoSuchVolume:").data(), &missing), nsvErr);
    EXPECT_EQ(FSMakeFSSpec(0, 0, Pascal(":Docs").data(), &missing), bdNamErr);

    // Relative to a folder by its directory ID.
    FSSpec relative{};
    ASSERT_EQ(FSMakeFSSpec(readMe.vRefNum, readMe.parID, Pascal("Read Me").data(), &relative),
              noErr);
    EXPECT_EQ(SInt32{relative.parID}, SInt32{readMe.parID});
}

TEST(CatalogPaths, SpecAndRefRoundTrip) {
    TempDir dir;
    MakeDir(dir / "a");
    MakeDir(dir / "a/b");
    WriteFile(dir / "a/b/c");
    const FSRef ref = RefOf(dir / "a/b/c");
    FSSpec spec{};
    HFSUniStr255 name{};
    FSRef parent{};
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, &name, &spec, &parent), noErr);
    EXPECT_EQ(SpecName(spec), "c");
    EXPECT_EQ(name.length, 1);
    EXPECT_EQ(PathOf(parent), dir / "a/b");
    FSRef back{};
    ASSERT_EQ(FSpMakeFSRef(&spec, &back), noErr);
    EXPECT_EQ(PathOf(back), dir / "a/b/c");
    std::string path;
    EXPECT_EQ(FSSpecToPosixPath(spec, path), noErr);
    EXPECT_EQ(path, dir / "a/b/c");
}

TEST(CatalogIdentity, DirectoryIDsAreStable) {
    TempDir dir;
    MakeDir(dir / "x");
    WriteFile(dir / "x/f");
    const Listing first = List(RefOf(dir.path()));
    ASSERT_EQ(first.items.size(), 1u);
    const Listing inner1 = List(first.items[0].ref);
    const Listing inner2 = List(RefOf(dir / "x"));
    ASSERT_EQ(inner1.items.size(), 1u);
    ASSERT_EQ(inner2.items.size(), 1u);
    EXPECT_EQ(SInt32{inner1.items[0].spec.parID}, SInt32{inner2.items[0].spec.parID});
    EXPECT_GT(SInt32{inner1.items[0].spec.parID}, kRootDirID);
    const Listing again = List(RefOf(dir.path()));
    EXPECT_EQ(std::memcmp(&again.items[0].ref, &first.items[0].ref, sizeof(FSRef)), 0);
}

// Enough folders to make the directory table grow several times: every one
// keeps its own ID and its path, and listing again gives the same refs.
TEST(CatalogIdentity, ManyFoldersKeepDistinctStableIDs) {
    TempDir dir;
    constexpr int kFolders = 3000;
    for (int i = 0; i < kFolders; ++i) MakeDir(dir / ("d" + std::to_string(i)));
    const Listing first = List(RefOf(dir.path()));
    ASSERT_EQ(first.items.size(), static_cast<std::size_t>(kFolders));
    std::set<SInt32> ids;
    for (const Item& it : first.items) {
        SInt32 id = 0;
        std::memcpy(&id, it.ref.hidden + 4, sizeof id);  // a folder ref carries its own ID
        ids.insert(id);
        EXPECT_EQ(PathOf(it.ref), dir / it.name);
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kFolders));
    const Listing again = List(RefOf(dir.path()));
    ASSERT_EQ(again.items.size(), first.items.size());
    for (std::size_t i = 0; i < again.items.size(); ++i) {
        EXPECT_EQ(std::memcmp(&again.items[i].ref, &first.items[i].ref, sizeof(FSRef)), 0) << i;
    }
}

// --- Volumes --------------------------------------------------------------------------------

TEST(CatalogVolumes, EnumerationByIndex) {
    TempDir a, b;
    VolumeTableGuard volumes({{"Alpha", a.path()}, {"Be:ta", b.path()}, {"alpha", b.path()}});
    std::vector<std::u16string> names;
    std::set<FSVolumeRefNum> refNums;
    for (UInt32 i = 1;; ++i) {
        FSVolumeRefNum v = 0;
        HFSUniStr255 name{};
        FSRef root{};
        const OSErr err =
            FSGetVolumeInfo(kFSInvalidVolumeRefNum, i, &v, kFSVolInfoNone, nullptr, &name, &root);
        if (err == nsvErr) break;
        ASSERT_EQ(err, noErr);
        ASSERT_LT(i, 10u);
        EXPECT_LT(v, 0);
        refNums.insert(v);
        names.emplace_back(reinterpret_cast<const char16_t*>(name.unicode), name.length);
        EXPECT_TRUE(FSRefIsDirectory(&root));
        FSSpec spec{};
        ASSERT_EQ(FSGetCatalogInfo(&root, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr), noErr);
        EXPECT_EQ(spec.vRefNum, v);
    }
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], u"Alpha");
    EXPECT_EQ(names[1], u"Be/ta");    // colon-free
    EXPECT_EQ(names[2], u"alpha 2");  // unique ignoring case
    EXPECT_EQ(refNums.size(), 3u);
}

TEST(CatalogVolumes, RealMountTableLeavesOutPseudoFileSystems) {
    SetVolumeTableForTesting({});
    const std::vector<Volume> all = ListVolumes();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all[0].mountPoint, "/");
    EXPECT_EQ(all[0].name, "Root");
    for (const Volume& v : all) {
        EXPECT_EQ(v.name.find(':'), std::string::npos) << v.mountPoint;
        EXPECT_NE(v.mountPoint, "/proc");
        EXPECT_NE(v.mountPoint, "/sys");
        EXPECT_NE(v.mountPoint.rfind("/sys/", 0), 0u) << v.mountPoint;
        EXPECT_EQ(v.rootIno != 0, true);
    }
}

TEST(CatalogVolumes, WalkDoesNotDescendIntoAnotherVolume) {
    TempDir dir;
    MakeDir(dir / "inner");
    WriteFile(dir / "inner/deep");
    WriteFile(dir / "top");
    VolumeTableGuard volumes({{"Outer", dir.path()}, {"Inner", dir / "inner"}});
    FSVolumeRefNum outer = 0;
    FSRef outerRoot{};
    ASSERT_EQ(FSGetVolumeInfo(0, 1, &outer, 0, nullptr, nullptr, &outerRoot), noErr);
    const Listing l = List(outerRoot);
    ASSERT_EQ(l.items.size(), 2u);
    const Item* inner = nullptr;
    for (const Item& it : l.items) {
        if (it.name == "inner") inner = &it;
    }
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->nodeFlags & kFSNodeIsDirectoryMask, kFSNodeIsDirectoryMask);
    const Listing mounted = List(inner->ref);
    EXPECT_EQ(mounted.openErr, noErr);
    EXPECT_EQ(mounted.lastErr, errFSNoMoreItems);
    EXPECT_TRUE(mounted.items.empty());
    // Through its own volume the folder has its entry.
    FSRef innerRoot{};
    ASSERT_EQ(FSGetVolumeInfo(0, 2, nullptr, 0, nullptr, nullptr, &innerRoot), noErr);
    const Listing own = List(innerRoot);
    ASSERT_EQ(own.items.size(), 1u);
    EXPECT_EQ(own.items[0].name, "deep");
    // A path inside the inner volume belongs to it.
    FSSpec spec{};
    ASSERT_EQ(FSGetCatalogInfo(&own.items[0].ref, 0, nullptr, nullptr, &spec, nullptr), noErr);
    EXPECT_NE(spec.vRefNum, outer);
    EXPECT_EQ(CopyPath(own.items[0].ref, kCFURLHFSPathStyle), "Inner:deep");
}
