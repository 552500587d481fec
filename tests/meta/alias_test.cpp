// Alias records: round trips through flattened bytes, moved volumes, missing
// items, minimal aliases from colon paths, and corrupt data.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "MetaTestSupport.h"
#include "platform/Files.h"
#include "platform/Memory.h"
#include "platform/posix/CatalogInternal.h"

using namespace metatest;

namespace {

class Aliases : public ScratchDir {
  protected:
    void SetUp() override {
        ScratchDir::SetUp();
        MakeDir("vol/Docs");
        WriteFile("vol/Docs/Report", FromString("text"));
        SetVolumes("Scratch", "vol");
    }
    void TearDown() override {
        sw::posix::SetVolumeTableForTesting({});
        ScratchDir::TearDown();
    }
    void SetVolumes(const std::string& name, const std::string& rel) {
        sw::posix::SetVolumeTableForTesting({{name, (dir_ / rel).string()}});
    }
    FSSpec Spec(const std::string& rel) {
        FSSpec spec{};
        EXPECT_EQ(sw::posix::PosixPathToFSSpec((dir_ / rel).string(), spec), noErr) << rel;
        return spec;
    }
    std::string PathOf(const FSSpec& spec) {
        std::string path;
        EXPECT_EQ(sw::posix::FSSpecToPosixPath(spec, path), noErr);
        return path;
    }
};

// The bytes of an alias, as they travel in an 'alis' descriptor.
std::string Flat(AliasHandle h) {
    return std::string(*h, static_cast<std::size_t>(GetHandleSize(h)));
}
// A fresh handle over the bytes: nothing is shared with the maker.
AliasHandle Unflat(const std::string& bytes) {
    Handle h = NewHandle(static_cast<Size>(bytes.size()));
    std::memcpy(*h, bytes.data(), bytes.size());
    return h;
}

bool SameSpec(const FSSpec& a, const FSSpec& b) {
    return a.vRefNum == b.vRefNum && a.parID == b.parID &&
           std::memcmp(a.name, b.name, a.name[0] + 1) == 0;
}

TEST_F(Aliases, RoundTripThroughBytes) {
    for (const char* rel : {"vol/Docs/Report", "vol/Docs", "vol"}) {
        FSSpec target = Spec(rel);
        AliasHandle alias = nullptr;
        ASSERT_EQ(NewAlias(nullptr, &target, &alias), noErr) << rel;
        ASSERT_NE(alias, nullptr);
        const std::string bytes = Flat(alias);
        DisposeHandle(alias);
        EXPECT_EQ(bytes.substr(0, 4), "SWal") << rel;

        AliasHandle again = Unflat(bytes);
        FSSpec resolved{};
        Boolean changed = true;
        ASSERT_EQ(ResolveAlias(nullptr, again, &resolved, &changed), noErr) << rel;
        EXPECT_TRUE(SameSpec(resolved, target)) << rel;
        EXPECT_FALSE(changed) << rel;
        DisposeHandle(again);
    }
}

TEST_F(Aliases, MissingTargetIsFnfErr) {
    FSSpec target = Spec("vol/Docs/Report");
    AliasHandle alias = nullptr;
    ASSERT_EQ(NewAlias(nullptr, &target, &alias), noErr);
    std::filesystem::remove(dir_ / "vol/Docs/Report");
    FSSpec resolved{};
    EXPECT_EQ(ResolveAlias(nullptr, alias, &resolved, nullptr), fnfErr);
    EXPECT_EQ(resolved.vRefNum, target.vRefNum) << "the volume is still known";
    DisposeHandle(alias);

    // An alias is made only to an item that exists.
    ASSERT_EQ(NewAlias(nullptr, &target, &alias), fnfErr) << "no alias to a missing item";
    EXPECT_EQ(alias, nullptr);
}

TEST_F(Aliases, ReplacedItemResolvesAndReportsAChange) {
    FSSpec target = Spec("vol/Docs/Report");
    AliasHandle alias = nullptr;
    ASSERT_EQ(NewAlias(nullptr, &target, &alias), noErr);
    std::filesystem::remove(dir_ / "vol/Docs/Report");
    WriteFile("vol/Docs/Spare", FromString("other inode"));  // keep the old inode number busy
    WriteFile("vol/Docs/Report", FromString("new"));
    FSSpec resolved{};
    Boolean changed = false;
    ASSERT_EQ(ResolveAlias(nullptr, alias, &resolved, &changed), noErr);
    EXPECT_EQ(PathOf(resolved), (dir_ / "vol/Docs/Report").string());
    EXPECT_TRUE(changed);
    DisposeHandle(alias);
}

TEST_F(Aliases, VolumeMountedElsewhereResolvesByItsName) {
    FSSpec target = Spec("vol/Docs/Report");
    AliasHandle alias = nullptr;
    ASSERT_EQ(NewAlias(nullptr, &target, &alias), noErr);
    const std::string bytes = Flat(alias);
    DisposeHandle(alias);
    std::filesystem::rename(dir_ / "vol", dir_ / "moved");
    SetVolumes("Scratch", "moved");
    AliasHandle again = Unflat(bytes);
    FSSpec resolved{};
    Boolean changed = false;
    ASSERT_EQ(ResolveAlias(nullptr, again, &resolved, &changed), noErr);
    EXPECT_EQ(PathOf(resolved), (dir_ / "moved/Docs/Report").string());
    EXPECT_TRUE(changed);
    DisposeHandle(again);
}

TEST_F(Aliases, MinimalAliasFromAColonPath) {
    struct Row {
        const char* name;
        std::string path;
        OSErr expected;
        std::string posix;  // expected item, relative to the scratch dir
    };
    const Row rows[] = {
        {"file", "Scratch:Docs:Report", noErr, "vol/Docs/Report"},
        {"folder with trailing colon", "Scratch:Docs:", noErr, "vol/Docs"},
        {"volume root", "Scratch:", noErr, "vol"},
        {"volume name in another case", "scratch:Docs", noErr, "vol/Docs"},
        {"missing item in an existing folder", "Scratch:Docs:Nothing", fnfErr, ""},
        {"unknown volume", "Elsewhere:Docs", nsvErr, ""},
    };
    for (const auto& row : rows) {
        AliasHandle alias = nullptr;
        ASSERT_EQ(NewAliasMinimalFromFullPath(static_cast<SInt16>(row.path.size()), row.path.data(),
                                              nullptr, nullptr, &alias),
                  noErr)
            << row.name << ": the item need not exist to make the alias";
        AliasHandle again = Unflat(Flat(alias));
        DisposeHandle(alias);
        FSSpec resolved{};
        EXPECT_EQ(ResolveAlias(nullptr, again, &resolved, nullptr), row.expected) << row.name;
        if (row.expected == noErr) {
            EXPECT_EQ(PathOf(resolved), (dir_ / row.posix).string()) << row.name;
        }
        if (row.expected == fnfErr) {
            EXPECT_NE(resolved.vRefNum, 0) << row.name;
            EXPECT_EQ(std::string(resolved.name + 1, resolved.name + 1 + resolved.name[0]),
                      "Nothing")
                << row.name;
        }
        if (row.expected == nsvErr) {
            EXPECT_EQ(resolved.vRefNum, 0) << row.name;
        }
        DisposeHandle(again);
    }
}

TEST_F(Aliases, MinimalAliasArgumentChecks) {
    AliasHandle alias = reinterpret_cast<AliasHandle>(1);
    const std::string path = "Scratch:Docs";
    const unsigned char zone[] = "\x04Zone";
    const unsigned char empty[] = "";
    EXPECT_EQ(NewAliasMinimalFromFullPath(static_cast<SInt16>(path.size()), path.data(), zone,
                                          empty, &alias),
              paramErr);
    EXPECT_EQ(alias, nullptr);
    EXPECT_EQ(NewAliasMinimalFromFullPath(static_cast<SInt16>(path.size()), path.data(), empty,
                                          zone, &alias),
              paramErr);
    EXPECT_EQ(NewAliasMinimalFromFullPath(-5, path.data(), nullptr, nullptr, &alias), paramErr);
    EXPECT_EQ(NewAliasMinimalFromFullPath(0, path.data(), nullptr, nullptr, &alias), paramErr);
    EXPECT_EQ(NewAliasMinimalFromFullPath(4, "Docs", nullptr, nullptr, &alias), bdNamErr)
        << "no volume name";
    EXPECT_EQ(NewAliasMinimalFromFullPath(1, ":", nullptr, nullptr, &alias), bdNamErr);
    EXPECT_EQ(NewAlias(nullptr, nullptr, &alias), paramErr);
    FSSpec spec{};
    EXPECT_EQ(ResolveAlias(nullptr, nullptr, &spec, nullptr), paramErr);
}

TEST_F(Aliases, CorruptAliasDataIsParamErr) {
    FSSpec target = Spec("vol/Docs/Report");
    AliasHandle alias = nullptr;
    ASSERT_EQ(NewAlias(nullptr, &target, &alias), noErr);
    const std::string good = Flat(alias);
    DisposeHandle(alias);
    struct Row {
        const char* name;
        std::size_t at;
        char value;
    };
    const Row rows[] = {
        {"magic", 0, 'X'},
        {"version", 5, 9},
        {"unknown flag", 6, 0x40},
        {"total length", 11, 1},
        {"volume name length", 29, static_cast<char>(0xFF)},
    };
    for (const auto& row : rows) {
        std::string b = good;
        b[row.at] = static_cast<char>(b[row.at] ^ row.value);
        AliasHandle h = Unflat(b);
        FSSpec resolved{};
        EXPECT_EQ(ResolveAlias(nullptr, h, &resolved, nullptr), paramErr) << row.name;
        DisposeHandle(h);
    }
    for (std::size_t n = 0; n < good.size(); ++n) {
        AliasHandle h = Unflat(good.substr(0, n));
        FSSpec resolved{};
        EXPECT_EQ(ResolveAlias(nullptr, h, &resolved, nullptr), paramErr) << "cut to " << n;
        DisposeHandle(h);
    }
    // Random damage never crashes; it yields a result code from the documented set.
    std::mt19937 rng(1234);
    for (int i = 0; i < 2000; ++i) {
        std::string b = good;
        for (int k = 0; k < 3; ++k) b[rng() % b.size()] = static_cast<char>(rng());
        AliasHandle h = Unflat(b);
        FSSpec resolved{};
        OSErr err = ResolveAlias(nullptr, h, &resolved, nullptr);
        EXPECT_TRUE(err == noErr || err == paramErr || err == fnfErr || err == nsvErr ||
                    err == bdNamErr || err == dirNFErr)
            << "iteration " << i << " gave " << err;
        DisposeHandle(h);
    }
}

}  // namespace
