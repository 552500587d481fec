// Every metadata store, read from real attributes and real sidecar files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "MetaTestSupport.h"
#include "platform/posix/Metadata.h"
#include "platform/posix/ResourceFork.h"
#include "platform/posix/Xattr.h"

using namespace metatest;
namespace posix = sw::posix;

namespace {

std::array<std::uint8_t, 32> Array32(const Bytes& b) {
    std::array<std::uint8_t, 32> a{};
    std::copy_n(b.begin(), 32, a.begin());
    return a;
}

// Netatalk 3's attribute: a 402-byte AppleDouble v2 header with Finder info
// at 122, the comment at 154 and the dates at 354.
Bytes NetatalkMetadata(const Bytes& finderInfo, std::string_view comment,
                       std::uint32_t created2000) {
    Bytes b(402, 0);
    Put32(b, 0, 0x00051607);
    Put32(b, 4, 0x00020000);
    const char* filler = "Netatalk        ";
    std::copy_n(filler, 16, b.begin() + 8);
    struct E {
        std::uint32_t id, off, len;
    };
    const E entries[] = {
        {9, 122, 32}, {4, 154, static_cast<std::uint32_t>(comment.size())}, {8, 354, 16}};
    Put16(b, 24, 3);
    for (int i = 0; i < 3; ++i) {
        Put32(b, 26 + 12 * i, entries[i].id);
        Put32(b, 30 + 12 * i, entries[i].off);
        Put32(b, 34 + 12 * i, entries[i].len);
    }
    std::copy(finderInfo.begin(), finderInfo.end(), b.begin() + 122);
    std::copy(comment.begin(), comment.end(), b.begin() + 154);
    Put32(b, 354, created2000);
    Put32(b, 358, 0x80000000);
    return b;
}

Bytes SambaAfpInfo(const Bytes& finderInfo) {
    Bytes b(61, 0);
    b[0] = 'A', b[1] = 'F', b[2] = 'P';
    Put32(b, 4, 0x00000100);
    std::copy(finderInfo.begin(), finderInfo.end(), b.begin() + 16);
    return b;
}

class Stores : public ScratchDir {};

TEST_F(Stores, NoStoreMeansNoMetadata) {
    WriteFile("plain", FromString("x"));
    auto at = At("plain");
    EXPECT_FALSE(posix::ReadFinderInfo(at));
    EXPECT_TRUE(posix::ReadResourceFork(at).empty());
    EXPECT_EQ(posix::ResourceForkSize(at), 0u);
    EXPECT_FALSE(posix::ReadClassicComment(at));
    EXPECT_FALSE(posix::ReadFinderComment(at));
    EXPECT_FALSE(posix::ReadStoredCreationDate(at));
    EXPECT_FALSE(posix::ReadFinderInfo(At("missing")));
}

TEST_F(Stores, FinderInfoFromEachUserAttributeStore) {
    struct Row {
        const char* name;
        const char* attr;
        Bytes value;
    };
    const Bytes fi = FinderInfo("TEXT", "ttxt", 0x4000);
    const Row rows[] = {
        {"rsync or Mac copy", "user.com.apple.FinderInfo", fi},
        {"Netatalk 3", "user.org.netatalk.Metadata", NetatalkMetadata(fi, "", 0)},
        {"Samba fruit stream", "user.DosStream.AFP_AfpInfo:$DATA", SambaAfpInfo(fi)},
    };
    for (const auto& row : rows) {
        WriteFile(row.name, FromString("data"));
        SKIP_WITHOUT_USER_XATTRS(SetXattr(row.name, row.attr, row.value));
        auto got = posix::ReadFinderInfo(At(row.name, false, false));
        ASSERT_TRUE(got) << row.name;
        EXPECT_EQ(*got, Array32(fi)) << row.name;
    }
}

TEST_F(Stores, CorruptAttributeStoresCountAsAbsent) {
    const Bytes fi = FinderInfo("TEXT", "ttxt", 0);
    Bytes badAfp = SambaAfpInfo(fi);
    badAfp[1] = 'X';
    Bytes shortAfp = SambaAfpInfo(fi);
    shortAfp.resize(40);
    Bytes badNetatalk = NetatalkMetadata(fi, "", 0);
    Put32(badNetatalk, 30, 400);  // Finder info runs past the attribute
    struct Row {
        const char* name;
        const char* attr;
        Bytes value;
    };
    const Row rows[] = {
        {"Finder info of 31 bytes", "user.com.apple.FinderInfo", Bytes(31, 1)},
        {"AFP info with bad magic", "user.DosStream.AFP_AfpInfo:$DATA", badAfp},
        {"AFP info cut short", "user.DosStream.AFP_AfpInfo:$DATA", shortAfp},
        {"Netatalk entry out of bounds", "user.org.netatalk.Metadata", badNetatalk},
    };
    for (const auto& row : rows) {
        WriteFile(row.name, FromString("data"));
        SKIP_WITHOUT_USER_XATTRS(SetXattr(row.name, row.attr, row.value));
        EXPECT_FALSE(posix::ReadFinderInfo(At(row.name, false, false))) << row.name;
    }
}

TEST_F(Stores, FirstStoreWins) {
    WriteFile("both", FromString("data"));
    SKIP_WITHOUT_USER_XATTRS(
        SetXattr("both", "user.com.apple.FinderInfo", FinderInfo("APPL", "abcd", 0)));
    ASSERT_TRUE(SetXattr("both", "user.org.netatalk.Metadata",
                         NetatalkMetadata(FinderInfo("TEXT", "ttxt", 0), "", 0)));
    WriteFile("._both", MakeAppleDouble({{9, FinderInfo("PICT", "8BIM", 0)}}));
    auto got = posix::ReadFinderInfo(At("both"));
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, Array32(FinderInfo("APPL", "abcd", 0)));
}

// The hfs. and osx. namespaces only exist on hfs/hfsplus mounts; the order
// among all attribute stores is checked over a table.
class TableAttrs final : public posix::AttrSource {
  public:
    std::map<std::string, Bytes, std::less<>> values;
    bool Has(std::string_view a) const override { return values.find(a) != values.end(); }
    std::optional<Bytes> Get(std::string_view a, std::size_t max) const override {
        auto it = values.find(a);
        if (it == values.end() || it->second.size() > max) return std::nullopt;
        return it->second;
    }
    std::optional<std::uint64_t> Size(std::string_view a) const override {
        auto it = values.find(a);
        if (it == values.end()) return std::nullopt;
        return it->second.size();
    }
};

TEST(StoreOrder, AttributeStoresInOrder) {
    TableAttrs t;
    const Bytes samba = FinderInfo("SMBA", "smba", 0);
    t.values["user.DosStream.AFP_AfpInfo:$DATA"] = SambaAfpInfo(samba);
    EXPECT_EQ(posix::FinderInfoFromAttributes(t), Array32(samba));
    const Bytes netatalk = FinderInfo("NETA", "neta", 0);
    t.values["user.org.netatalk.Metadata"] = NetatalkMetadata(netatalk, "", 0);
    EXPECT_EQ(posix::FinderInfoFromAttributes(t), Array32(netatalk));
    t.values["hfs.type"] = FromString("TEXT");
    t.values["hfs.creator"] = FromString("ttxt");
    EXPECT_EQ(posix::FinderInfoFromAttributes(t), Array32(FinderInfo("TEXT", "ttxt", 0)))
        << "type and creator make the 32 bytes, the rest zero";
    const Bytes hfsplus = FinderInfo("HFSP", "hfsp", 0x0400);
    t.values["osx.com.apple.FinderInfo"] = hfsplus;
    EXPECT_EQ(posix::FinderInfoFromAttributes(t), Array32(hfsplus));
    const Bytes mac = FinderInfo("MACX", "macx", 0);
    t.values["user.com.apple.FinderInfo"] = mac;
    EXPECT_EQ(posix::FinderInfoFromAttributes(t), Array32(mac));
}

TEST(StoreOrder, HfsTypeAloneAndBadSizes) {
    TableAttrs t;
    t.values["hfs.type"] = FromString("TEXT");
    EXPECT_EQ(posix::FinderInfoFromAttributes(t), Array32(FinderInfo("TEXT", "\0\0\0\0", 0)));
    t.values["hfs.type"] = FromString("TEX");
    EXPECT_FALSE(posix::FinderInfoFromAttributes(t));
}

TEST(StoreOrder, ResourceForkAttributes) {
    TableAttrs t;
    t.values["user.DosStream.AFP_Resource:$DATA"] = {1, 2, 3, 0};
    EXPECT_EQ(posix::ResourceForkFromAttributes(t), (Bytes{1, 2, 3})) << "Samba's NUL stripped";
    t.values["user.com.apple.ResourceFork"] = {9, 9};
    EXPECT_EQ(posix::ResourceForkFromAttributes(t), (Bytes{9, 9}));
}

TEST_F(Stores, DotUnderscoreSidecar) {
    WriteFile("doc", FromString("data"));
    Bytes dates(16, 0);
    Put32(dates, 0, 3600);
    Put32(dates, 4, 0x80000000);
    WriteFile("._doc", MakeAppleDouble({{9, FinderInfo("TEXT", "R*ch", 0x0800)},
                                        {4, FromString("classic comment")},
                                        {8, dates},
                                        {2, {0, 1, 2, 3, 4}}}));
    auto at = At("doc", true, false);
    auto fi = posix::ReadFinderInfo(at);
    ASSERT_TRUE(fi);
    EXPECT_EQ(*fi, Array32(FinderInfo("TEXT", "R*ch", 0x0800)));
    EXPECT_EQ(posix::ReadClassicComment(at), "classic comment");
    EXPECT_EQ(posix::ReadStoredCreationDate(at), 946684800 + 3600);
    EXPECT_EQ(posix::ReadResourceFork(at), (Bytes{0, 1, 2, 3, 4}));
    EXPECT_EQ(posix::ResourceForkSize(at), 5u);
    // Without the listing's hint the sidecar is not even opened.
    EXPECT_FALSE(posix::ReadFinderInfo(At("doc", false, false)));
}

TEST_F(Stores, OlderNetatalkAppleDoubleFolder) {
    WriteFile("doc", FromString("data"));
    MakeDir(".AppleDouble");
    MakeDir("folder/.AppleDouble");
    // Netatalk 2 and macutils write version 1.
    WriteFile(".AppleDouble/doc",
              MakeAppleDouble({{9, FinderInfo("TEXT", "MPS ", 0)}, {4, FromString("v1 note")}},
                              0x00051607, 0x00010000));
    WriteFile("folder/.AppleDouble/.Parent",
              MakeAppleDouble({{9, Bytes(32, 0x11)}, {4, FromString("folder note")}}));
    auto doc = At("doc", false, true);
    EXPECT_EQ(posix::ReadFinderInfo(doc), Array32(FinderInfo("TEXT", "MPS ", 0)));
    EXPECT_EQ(posix::ReadClassicComment(doc), "v1 note");
    auto folder = At("folder", false, false, true);
    EXPECT_EQ(posix::ReadFinderInfo(folder), Array32(Bytes(32, 0x11)));
    EXPECT_EQ(posix::ReadClassicComment(folder), "folder note");
}

TEST_F(Stores, CorruptSidecarsCountAsAbsent) {
    Bytes good = MakeAppleDouble({{9, FinderInfo("TEXT", "ttxt", 0)}, {4, FromString("c")}});
    struct Row {
        const char* name;
        Bytes bytes;
    };
    std::vector<Row> rows;
    rows.push_back({"truncated header", Bytes(good.begin(), good.begin() + 20)});
    {
        Bytes b = good;
        Put32(b, 34, 0x00FFFFFF);
        rows.push_back({"entry out of bounds", b});
    }
    {
        Bytes b = good;
        b[0] = 0x7F;
        rows.push_back({"bad magic", b});
    }
    {
        Bytes b = good;
        Put16(b, 24, 0xFFFF);
        rows.push_back({"huge n", b});
    }
    rows.push_back({"empty", {}});
    for (const auto& row : rows) {
        WriteFile(row.name, FromString("x"));
        WriteFile(std::string("._") + row.name, row.bytes);
        auto at = At(row.name);
        EXPECT_FALSE(posix::ReadFinderInfo(at)) << row.name;
        EXPECT_FALSE(posix::ReadClassicComment(at)) << row.name;
        EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, std::string("._") + row.name)) << row.name;
    }
}

TEST_F(Stores, SidecarRecognitionByContent) {
    WriteFile("._real", MakeAppleDouble({{9, FinderInfo("TEXT", "ttxt", 0)}}));
    WriteFile("._notes", FromString("just a file whose name starts with dot underscore"));
    MakeDir("._dir");
    ASSERT_EQ(mkfifo((dir_ / "._fifo").c_str(), 0600), 0);
    ASSERT_EQ(symlink("._real", (dir_ / "._link").c_str()), 0);
    EXPECT_TRUE(posix::IsAppleDoubleSidecar(dirfd_, "._real"));
    EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, "._notes"));
    EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, "._dir"));
    EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, "._fifo")) << "must not block either";
    EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, "._link")) << "symbolic links not followed";
    EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, "._"));
    EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, "real"));
    EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, "._absent"));
}

TEST_F(Stores, GenuineMacOSSidecarsFromChuckData) {
    for (const char* name : {"autocorr.ck", "joy.ck", "hevymetl-dance-now.ck"}) {
        Bytes sidecar = ReadFile(std::string(SW_TEST_DATA) + "/appledouble/._" + name);
        ASSERT_FALSE(sidecar.empty()) << name;
        WriteFile(name, FromString("// ChucK"));
        WriteFile(std::string("._") + name, sidecar);
        EXPECT_TRUE(posix::IsAppleDoubleSidecar(dirfd_, std::string("._") + name)) << name;
        auto fi = posix::ReadFinderInfo(At(name));
        ASSERT_TRUE(fi) << name;
        EXPECT_EQ(*fi, (std::array<std::uint8_t, 32>{})) << name << ": macOS wrote zeros";
        EXPECT_FALSE(posix::ReadFinderComment(At(name))) << name << ": no comment attribute";
        EXPECT_EQ(posix::ResourceForkSize(At(name)), 0u) << name;
    }
}

// Where the installed package is present, every one of its sidecars validates.
TEST(GenuineInstalled, EveryChuckDataSidecarValidates) {
    const std::filesystem::path root = "/usr/share/doc/chuck-data/examples";
    if (!std::filesystem::exists(root)) GTEST_SKIP() << "chuck-data is not installed";
    int seen = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("._", 0) != 0) continue;
        int dirfd = open(e.path().parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(dirfd, 0);
        EXPECT_TRUE(posix::IsAppleDoubleSidecar(dirfd, name)) << e.path();
        const std::string item = name.substr(2);
        posix::EntryLocation at{dirfd, item, false, true, false};
        EXPECT_TRUE(posix::ReadFinderInfo(at)) << e.path();
        close(dirfd);
        ++seen;
    }
    EXPECT_GT(seen, 0);
}

TEST_F(Stores, T1macAppleDoubleFixture) {
    Bytes sidecar = ReadFile(std::string(SW_TEST_DATA) + "/appledouble/zapfdr.appledouble");
    ASSERT_EQ(sidecar.size(), 7398u);
    WriteFile("zapfdr", {});
    WriteFile("._zapfdr", sidecar);
    auto at = At("zapfdr");
    auto fi = posix::ReadFinderInfo(at);
    ASSERT_TRUE(fi);
    EXPECT_EQ(std::string(fi->begin(), fi->begin() + 8), "LWFNT1UT");
    // t1mac's file-dates entry: creation 0x3671041B seconds after 2000.
    EXPECT_EQ(posix::ReadStoredCreationDate(at), 946684800 + 0x3671041B);
    EXPECT_EQ(posix::ResourceForkSize(at), 0x1C5Du);
    EXPECT_EQ(posix::ReadResourceFork(at).size(), 0x1C5Du);
}

// t1mac run now, when it and a Type 1 font are installed.
TEST_F(Stores, T1macWrittenNow) {
    const std::string font = "/usr/share/groff/1.22.4/font/devps/symbolsl.pfa";
    if (std::system("command -v t1mac >/dev/null 2>&1") != 0) GTEST_SKIP() << "t1mac is missing";
    if (!std::filesystem::exists(font)) GTEST_SKIP() << "no Type 1 font at " << font;
    WriteFile("Symbol", {});
    const std::string out = (dir_ / "._Symbol").string();
    ASSERT_EQ(std::system(("t1mac --appledouble '" + font + "' '" + out + "'").c_str()), 0);
    EXPECT_TRUE(posix::IsAppleDoubleSidecar(dirfd_, "._Symbol"));
    auto fi = posix::ReadFinderInfo(At("Symbol"));
    ASSERT_TRUE(fi);
    EXPECT_EQ(std::string(fi->begin(), fi->begin() + 8), "LWFNT1UT");
    EXPECT_TRUE(posix::ReadStoredCreationDate(At("Symbol")));
    EXPECT_GT(posix::ResourceForkSize(At("Symbol")), 256u);
    const Bytes fork = posix::ReadResourceFork(At("Symbol"));
    EXPECT_EQ(fork.size(), posix::ResourceForkSize(At("Symbol")));
    posix::ResourceForkMap map;
    ASSERT_EQ(posix::ResourceForkMap::Parse(fork, map), noErr);
    EXPECT_GE(map.Count(FourCC("POST")), 2u);
}

TEST_F(Stores, CommentsFromAttributes) {
    WriteFile("xdg", FromString("x"));
    SKIP_WITHOUT_USER_XATTRS(
        SetXattr("xdg", "user.xdg.comment", FromString("r\xC3\xA9sum\xC3\xA9")));
    EXPECT_EQ(posix::ReadFinderComment(At("xdg")), u"r\u00e9sum\u00e9");

    WriteFile("mac", FromString("x"));
    ASSERT_TRUE(SetXattr("mac", "user.com.apple.metadata:kMDItemFinderComment",
                         ReadFile(std::string(SW_TEST_DATA) + "/bplist/utf16.bplist")));
    EXPECT_EQ(posix::ReadFinderComment(At("mac")), u"Caf\u00e9 \u2013 notes \U0001F600");

    // user.xdg.comment comes first.
    ASSERT_TRUE(SetXattr("mac", "user.xdg.comment", FromString("xdg wins")));
    EXPECT_EQ(posix::ReadFinderComment(At("mac")), u"xdg wins");

    WriteFile("netatalk", FromString("x"));
    ASSERT_TRUE(SetXattr("netatalk", "user.org.netatalk.Metadata",
                         NetatalkMetadata(Bytes(32, 0), "from netatalk", 0x100)));
    EXPECT_EQ(posix::ReadClassicComment(At("netatalk")), "from netatalk");
    EXPECT_EQ(posix::ReadStoredCreationDate(At("netatalk")), 946684800 + 0x100);
}

// A macOS "._" file whose ATTR block carries the Finder comment.
Bytes MacSidecarWithComment(const Bytes& plist) {
    const std::string attrName = "com.apple.metadata:kMDItemFinderComment";
    const std::size_t entryStart = 84 + 36;
    const std::size_t entrySize = (11 + attrName.size() + 1 + 3) & ~std::size_t{3};
    const std::size_t dataStart = entryStart + entrySize;
    const std::size_t total = dataStart + plist.size();
    Bytes b = MakeAppleDouble({{9, Bytes(total - 50, 0)}, {2, {}}});
    Put32(b, 84, 0x41545452);
    Put32(b, 84 + 8, static_cast<std::uint32_t>(total));
    Put32(b, 84 + 12, static_cast<std::uint32_t>(dataStart));
    Put32(b, 84 + 16, static_cast<std::uint32_t>(plist.size()));
    Put16(b, 84 + 34, 1);
    Put32(b, entryStart, static_cast<std::uint32_t>(dataStart));
    Put32(b, entryStart + 4, static_cast<std::uint32_t>(plist.size()));
    b[entryStart + 10] = static_cast<std::uint8_t>(attrName.size() + 1);
    std::copy(attrName.begin(), attrName.end(), b.begin() + entryStart + 11);
    std::copy(plist.begin(), plist.end(), b.begin() + dataStart);
    return b;
}

TEST_F(Stores, FinderCommentInsideTheAttrBlock) {
    Bytes plist = ReadFile(std::string(SW_TEST_DATA) + "/bplist/ascii-long.bplist");
    Bytes sidecar = MacSidecarWithComment(plist);
    WriteFile("song", FromString("x"));
    WriteFile("._song", sidecar);
    EXPECT_EQ(posix::ReadFinderComment(At("song")),
              u"A Finder comment that is longer than fifteen characters");
    EXPECT_FALSE(posix::ReadFinderComment(At("song", false, false)));
}

TEST_F(Stores, SymbolicLinksAreNotFollowedForAttributes) {
    WriteFile("target", FromString("x"));
    SKIP_WITHOUT_USER_XATTRS(
        SetXattr("target", "user.com.apple.FinderInfo", FinderInfo("TEXT", "ttxt", 0)));
    ASSERT_EQ(symlink("target", (dir_ / "link").c_str()), 0);
    EXPECT_TRUE(posix::ReadFinderInfo(At("target", false, false)));
    EXPECT_FALSE(posix::ReadFinderInfo(At("link", false, false)));
}

// The hfs drivers' "name/rsrc" and the ".AppleDouble" folder are reached
// without passing through a symbolic link.
TEST_F(Stores, SidecarsAndForkPathsDoNotPassThroughLinks) {
    MakeDir("elsewhere");
    Bytes fork = MakeResourceFork({{"vers", 1, MakeVers("9", "9"), ""}});
    WriteFile("elsewhere/rsrc", fork);
    WriteFile("elsewhere/doc", MakeAppleDouble({{9, FinderInfo("TEXT", "evil", 0)}}));
    ASSERT_EQ(symlink("elsewhere", (dir_ / "link").c_str()), 0);
    ASSERT_EQ(symlink("elsewhere", (dir_ / ".AppleDouble").c_str()), 0);
    WriteFile("doc", FromString("x"));
    EXPECT_TRUE(posix::ReadResourceFork(At("link", false, false)).empty());
    EXPECT_EQ(posix::ResourceForkSize(At("link", false, false)), 0u);
    EXPECT_FALSE(posix::ReadFinderInfo(At("doc", false, true)));
    // The same layout without links is read: the test can fail.
    std::filesystem::remove(dir_ / ".AppleDouble");
    std::filesystem::rename(dir_ / "elsewhere", dir_ / ".AppleDouble");
    EXPECT_TRUE(posix::ReadFinderInfo(At("doc", false, true)));
    WriteFile("real", {});
    std::filesystem::remove(dir_ / "real");
    MakeDir("real");
    WriteFile("real/rsrc", fork);
    EXPECT_EQ(posix::ReadResourceFork(At("real", false, false)), fork)
        << "as the hfs drivers show a fork";
    EXPECT_EQ(posix::ResourceForkSize(At("real", false, false)), fork.size());
}

TEST_F(Stores, PathFallbackReadsTheSameAttributes) {
    WriteFile("doc", FromString("x"));
    SKIP_WITHOUT_USER_XATTRS(
        SetXattr("doc", "user.com.apple.FinderInfo", FinderInfo("TEXT", "ttxt", 0)));
    ASSERT_EQ(symlink("doc", (dir_ / "link").c_str()), 0);
    posix::ForceXattrPathFallback(true);
    auto got = posix::ReadFinderInfo(At("doc", false, false));
    auto viaLink = posix::ReadFinderInfo(At("link", false, false));
    posix::ForceXattrPathFallback(false);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, Array32(FinderInfo("TEXT", "ttxt", 0)));
    EXPECT_FALSE(viaLink);
}

TEST_F(Stores, ManyAttributesNeedALongerList) {
    WriteFile("busy", FromString("x"));
    for (int i = 0; i < 40; ++i) {
        std::string name = "user.some.long.attribute.name.number." + std::to_string(i);
        SKIP_WITHOUT_USER_XATTRS(SetXattr("busy", name, FromString("v")));
    }
    ASSERT_TRUE(SetXattr("busy", "user.com.apple.FinderInfo", FinderInfo("TEXT", "ttxt", 0)));
    EXPECT_TRUE(posix::ReadFinderInfo(At("busy", false, false)));
}

}  // namespace
