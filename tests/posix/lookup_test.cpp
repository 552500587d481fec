// Looking items up by colon path, FSSpec name and alias: names typed in
// Mac OS Roman find names stored in another normalization form, and a
// symbolic link named last is the link itself.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Memory.h"
#include "platform/posix/CatalogInternal.h"
#include "support/Fixtures.h"

using namespace sw::posix;
using sw::test::MakeDir;
using sw::test::Symlink;
using sw::test::TempDir;
using sw::test::WriteFile;

namespace {

// A Str255 of Mac OS Roman bytes.
std::vector<unsigned char> Pascal(const std::string& roman) {
    std::vector<unsigned char> p(256, 0);
    p[0] = static_cast<unsigned char>(roman.size());
    std::memcpy(p.data() + 1, roman.data(), roman.size());
    return p;
}

std::string PathOf(const FSRef& ref) {
    std::string path;
    if (FSRefToPosixPath(ref, path) != noErr) return "<no path>";
    return path;
}

std::string PathOfSpec(const FSSpec& spec) {
    FSRef ref;
    if (FSpMakeFSRef(&spec, &ref) != noErr) return "<no ref>";
    return PathOf(ref);
}

class VolumeTableGuard {
  public:
    explicit VolumeTableGuard(std::vector<std::pair<std::string, std::string>> table) {
        SetVolumeTableForTesting(std::move(table));
    }
    ~VolumeTableGuard() { SetVolumeTableForTesting({}); }
};

// UTF-8 names on disk; Roman texts as a script types them (0x8E é, 0x81 Å).
const std::string kCafeDecomposed = "Cafe\xCC\x81";
const std::string kCafeComposed = "Caf\xC3\xA9";
const std::string kAngstromSign = "\xE2\x84\xAB";  // U+212B, form D A + U+030A
const std::string kARingDecomposed = "A\xCC\x8A";

}  // namespace

TEST(ColonPathLookup, RomanTextFindsNamesStoredInAnotherNormalizationForm) {
    TempDir dir;
    WriteFile(dir / kCafeDecomposed);
    MakeDir(dir / ("Dossier-e\xCC\x81"));
    WriteFile(dir / ("Dossier-e\xCC\x81/Re\xCC\x81sume\xCC\x81"));
    MakeDir(dir / "both");
    WriteFile(dir / ("both/" + kCafeDecomposed), "decomposed");
    WriteFile(dir / ("both/" + kCafeComposed), "composed");
    MakeDir(dir / "twins");
    WriteFile(dir / ("twins/" + kAngstromSign));
    WriteFile(dir / ("twins/" + kARingDecomposed));
    MakeDir(dir / "single");
    WriteFile(dir / ("single/" + kAngstromSign));
    MakeDir(dir / "kelvin");
    WriteFile(dir / "kelvin/\xE2\x84\xAA");  // U+212A KELVIN SIGN, form D "K"
    VolumeTableGuard volumes({{"Data", dir.path()}});

    struct Row {
        const char* name;
        std::string roman;
        OSErr err;
        std::string path;  // relative; empty when nothing is found
    } rows[] = {
        {"decomposed file", "Data:Caf\x8E", noErr, kCafeDecomposed},
        {"decomposed folder on the way", "Data:Dossier-\x8E:R\x8Esum\x8E", noErr,
         "Dossier-e\xCC\x81/Re\xCC\x81sume\xCC\x81"},
        {"the exact spelling wins", "Data:both:Caf\x8E", noErr, "both/" + kCafeComposed},
        {"two other spellings: neither", "Data:twins:\x81", fnfErr, ""},
        {"one other spelling", "Data:single:\x81", noErr, "single/" + kAngstromSign},
        {"plain ASCII is matched as spelled", "Data:kelvin:K", fnfErr, ""},
    };
    for (const Row& row : rows) {
        FSSpec spec{};
        EXPECT_EQ(FSMakeFSSpec(0, 0, Pascal(row.roman).data(), &spec), row.err) << row.name;
        if (row.err != noErr) continue;
        EXPECT_EQ(PathOfSpec(spec), dir / row.path) << row.name;
        std::string viaHfs;
        EXPECT_EQ(HFSPathToPosixPath(row.roman, viaHfs), noErr) << row.name;
        EXPECT_EQ(viaHfs, dir / row.path) << row.name;
    }

    // Relative to a folder by its directory ID (the parent ID of an item in it).
    FSSpec innerFile{};
    ASSERT_EQ(FSMakeFSSpec(0, 0, Pascal("Data:Dossier-\x8E:R\x8Esum\x8E").data(), &innerFile),
              noErr);
    FSSpec relative{};
    EXPECT_EQ(
        FSMakeFSSpec(innerFile.vRefNum, innerFile.parID, Pascal("R\x8Esum\x8E").data(), &relative),
        noErr);
    EXPECT_EQ(PathOfSpec(relative), dir / "Dossier-e\xCC\x81/Re\xCC\x81sume\xCC\x81");

    // An alias made from the colon path alone.
    const std::string full = "Data:Caf\x8E";
    AliasHandle alias = nullptr;
    ASSERT_EQ(NewAliasMinimalFromFullPath(static_cast<SInt16>(full.size()), full.data(), nullptr,
                                          nullptr, &alias),
              noErr);
    FSSpec resolved{};
    Boolean changed = false;
    EXPECT_EQ(ResolveAlias(nullptr, alias, &resolved, &changed), noErr);
    EXPECT_EQ(PathOfSpec(resolved), dir / kCafeDecomposed);
    DisposeHandle(alias);
}

TEST(LinkLookup, AColonPathOrAliasThatNamesALinkGivesTheLink) {
    TempDir dir;
    MakeDir(dir / "target");
    WriteFile(dir / "target/inner");
    WriteFile(dir / "file");
    Symlink("target", dir / "dl");
    Symlink("file", dir / "fl");
    Symlink("nowhere", dir / "dangling");
    VolumeTableGuard volumes({{"Data", dir.path()}});

    for (const char* link : {"dl", "fl", "dangling"}) {
        FSSpec spec{};
        ASSERT_EQ(FSMakeFSSpec(0, 0, Pascal(std::string("Data:") + link).data(), &spec), noErr)
            << link;
        FSRef ref;
        ASSERT_EQ(FSpMakeFSRef(&spec, &ref), noErr) << link;
        EXPECT_EQ(PathOf(ref), dir / link) << link;
        EXPECT_FALSE(FSRefIsDirectory(&ref)) << link << ": a link is a file";

        AliasHandle alias = nullptr;
        ASSERT_EQ(NewAlias(nullptr, &spec, &alias), noErr) << link;
        FSSpec resolved{};
        Boolean changed = false;
        EXPECT_EQ(ResolveAlias(nullptr, alias, &resolved, &changed), noErr) << link;
        EXPECT_EQ(PathOfSpec(resolved), dir / link) << link;
        EXPECT_FALSE(changed) << link;
        DisposeHandle(alias);

        FSRef internal;
        bool isDirectory = true;
        ASSERT_EQ(PosixPathToFSRef(dir / link, internal, &isDirectory), noErr) << link;
        EXPECT_FALSE(isDirectory) << link;
        struct stat viaRef {
        }, direct{};
        ASSERT_EQ(::lstat(PathOf(internal).c_str(), &viaRef), 0) << link;
        ASSERT_EQ(::lstat((dir / link).c_str(), &direct), 0) << link;
        EXPECT_EQ(viaRef.st_ino, direct.st_ino) << link;
    }
}

TEST(LinkLookup, LinksOnTheWayAreFollowed) {
    TempDir dir;
    MakeDir(dir / "target");
    WriteFile(dir / "target/inner");
    Symlink("target", dir / "dl");
    VolumeTableGuard volumes({{"Data", dir.path()}});

    FSSpec inner{};
    ASSERT_EQ(FSMakeFSSpec(0, 0, Pascal("Data:dl:inner").data(), &inner), noErr);
    EXPECT_EQ(PathOfSpec(inner), dir / "target/inner");

    // A missing item in a linked folder is named in the folder the link leads to.
    FSSpec missing{};
    EXPECT_EQ(FSMakeFSSpec(0, 0, Pascal("Data:dl:new").data(), &missing), fnfErr);
    EXPECT_EQ(SInt32{missing.parID}, SInt32{inner.parID});
    EXPECT_EQ(std::string(reinterpret_cast<char*>(missing.name + 1), missing.name[0]), "new");

    // "dl/" and "dl/." go through the link, as POSIX has it.
    for (const char* suffix : {"/", "/."}) {
        FSRef ref;
        bool isDirectory = false;
        ASSERT_EQ(PosixPathToFSRef(dir / (std::string("dl") + suffix), ref, &isDirectory), noErr)
            << suffix;
        EXPECT_TRUE(isDirectory) << suffix;
        EXPECT_EQ(PathOf(ref), dir / "target") << suffix;
    }
}

// Search roots are what the user means by the path: a link to a folder
// given as a root is that folder.
TEST(LinkLookup, FSPathMakeRefFollowsALinkNamedLast) {
    TempDir dir;
    MakeDir(dir / "target");
    Symlink("target", dir / "dl");
    FSRef ref;
    Boolean isDirectory = false;
    ASSERT_EQ(
        FSPathMakeRef(reinterpret_cast<const UInt8*>((dir / "dl").c_str()), &ref, &isDirectory),
        noErr);
    EXPECT_TRUE(isDirectory);
    EXPECT_EQ(PathOf(ref), dir / "target");
}
