// FSpOpenResFile and friends, and PBDTGetCommentForItem, over real files in a
// scratch volume.
#include <gtest/gtest.h>

#include <cstring>

#include "MetaTestSupport.h"
#include "platform/Files.h"
#include "platform/Memory.h"
#include "platform/posix/CatalogInternal.h"

using namespace metatest;

namespace {

class ScratchVolume : public ScratchDir {
  protected:
    void SetUp() override {
        ScratchDir::SetUp();
        sw::posix::SetVolumeTableForTesting({{"Scratch", dir_.string()}});
    }
    void TearDown() override {
        sw::posix::SetVolumeTableForTesting({});
        ScratchDir::TearDown();
    }
    FSSpec Spec(const std::string& rel) {
        FSSpec spec{};
        EXPECT_EQ(sw::posix::PosixPathToFSSpec((dir_ / rel).string(), spec), noErr) << rel;
        return spec;
    }
};

using ResourceManager = ScratchVolume;

std::string Pascal(const unsigned char* p) {
    return std::string(p + 1, p + 1 + p[0]);
}

TEST_F(ResourceManager, VersionAndCountsFromASidecarFork) {
    WriteFile("App", FromString("binary"));
    Bytes fork = MakeResourceFork(
        {{"vers", 1, MakeVers("1.0.2", "1.0.2 long"), ""}, {"FOND", 128, {0, 1}, "Font"}});
    WriteFile("._App", MakeAppleDouble({{9, FinderInfo("APPL", "abcd", 0)}, {2, fork}}));
    FSSpec spec = Spec("App");
    ResFileRefNum ref = FSpOpenResFile(&spec, fsRdPerm);
    ASSERT_NE(ref, -1) << ResError();
    EXPECT_EQ(ResError(), noErr);
    Handle vers = Get1Resource(FourCC("vers"), 1);
    ASSERT_NE(vers, nullptr);
    EXPECT_EQ(GetHandleSize(vers), static_cast<Size>(MakeVers("1.0.2", "1.0.2 long").size()));
    const auto* bytes = reinterpret_cast<const unsigned char*>(*vers);
    EXPECT_EQ(Pascal(bytes + 6), "1.0.2");
    ReleaseResource(vers);
    EXPECT_EQ(Get1Resource(FourCC("vers"), 2), nullptr);
    EXPECT_EQ(ResError(), resNotFound);
    EXPECT_EQ(Count1Resources(FourCC("FOND")), 1);
    EXPECT_EQ(Count1Resources(FourCC("POST")), 0);
    CloseResFile(ref);
    EXPECT_EQ(Count1Resources(FourCC("FOND")), 0) << "no file is open any more";
}

TEST_F(ResourceManager, TheMostRecentlyOpenedFileIsCurrent) {
    WriteFile("A", {});
    WriteFile("B", {});
    WriteFile("._A", MakeAppleDouble({{2, MakeResourceFork({{"POST", 501, {1, 0}, ""}})}}));
    WriteFile("._B", MakeAppleDouble({{2, MakeResourceFork({{"NFNT", 9, {0}, ""}})}}));
    FSSpec a = Spec("A"), b = Spec("B");
    ResFileRefNum ra = FSpOpenResFile(&a, fsRdPerm);
    ResFileRefNum rb = FSpOpenResFile(&b, fsRdPerm);
    ASSERT_NE(ra, -1);
    ASSERT_NE(rb, -1);
    EXPECT_NE(ra, rb);
    EXPECT_EQ(Count1Resources(FourCC("POST")), 0) << "only the current file is searched";
    EXPECT_EQ(Count1Resources(FourCC("NFNT")), 1);
    CloseResFile(rb);
    EXPECT_EQ(Count1Resources(FourCC("POST")), 1);
    CloseResFile(ra);
    CloseResFile(ra);
    EXPECT_EQ(ResError(), resFNotFound) << "closing twice";
}

TEST_F(ResourceManager, FailuresReturnMinusOneAndSayWhy) {
    WriteFile("NoFork", FromString("x"));
    WriteFile("Corrupt", FromString("x"));
    Bytes fork = MakeResourceFork({{"vers", 1, MakeVers("1", "1"), ""}});
    Put32(fork, 4, 0x7FFFFFFF);  // map offset beyond the fork
    WriteFile("._Corrupt", MakeAppleDouble({{2, fork}}));
    FSSpec none = Spec("NoFork"), corrupt = Spec("Corrupt");
    EXPECT_EQ(FSpOpenResFile(&none, fsRdPerm), -1);
    EXPECT_EQ(ResError(), eofErr);
    EXPECT_EQ(FSpOpenResFile(&corrupt, fsRdPerm), -1);
    EXPECT_EQ(ResError(), mapReadErr);
    EXPECT_EQ(FSpOpenResFile(nullptr, fsRdPerm), -1);
    EXPECT_EQ(ResError(), paramErr);
    EXPECT_EQ(FSpOpenResFile(&none, 3), -1) << "write access is not offered";
    FSSpec gone = Spec("NoFork");
    std::filesystem::remove(dir_ / "NoFork");
    EXPECT_EQ(FSpOpenResFile(&gone, fsRdPerm), -1);
    EXPECT_EQ(ResError(), fnfErr);
}

TEST_F(ResourceManager, ForkFromTheResourceForkAttribute) {
    WriteFile("Tool", FromString("x"));
    Bytes fork = MakeResourceFork({{"vers", 1, MakeVers("3.1", "3.1"), ""}});
    SKIP_WITHOUT_USER_XATTRS(SetXattr("Tool", "user.com.apple.ResourceFork", fork));
    FSSpec spec = Spec("Tool");
    ResFileRefNum ref = FSpOpenResFile(&spec, fsRdPerm);
    ASSERT_NE(ref, -1) << ResError();
    Handle vers = Get1Resource(FourCC("vers"), 1);
    ASSERT_NE(vers, nullptr);
    EXPECT_EQ(Pascal(reinterpret_cast<const unsigned char*>(*vers) + 6), "3.1");
    ReleaseResource(vers);
    CloseResFile(ref);
}

using DesktopComments = ScratchVolume;

TEST_F(DesktopComments, CommentFromTheSidecarCutToStr255) {
    WriteFile("Short", {});
    WriteFile("._Short", MakeAppleDouble({{4, FromString("Budget \x8E draft")}}));  // Roman é
    WriteFile("Long", {});
    WriteFile("._Long", MakeAppleDouble({{4, Bytes(300, 'c')}}));
    WriteFile("None", {});
    Str255 comment;
    FSSpec s = Spec("Short");
    ASSERT_EQ(PBDTGetCommentForItem(&s, comment), noErr);
    EXPECT_EQ(Pascal(comment), "Budget \x8E draft");
    FSSpec l = Spec("Long");
    ASSERT_EQ(PBDTGetCommentForItem(&l, comment), noErr);
    EXPECT_EQ(comment[0], 255);
    FSSpec n = Spec("None");
    std::memset(comment, 'x', sizeof comment);
    EXPECT_NE(PBDTGetCommentForItem(&n, comment), noErr);
    EXPECT_EQ(comment[0], 0);
}

TEST_F(DesktopComments, FolderCommentFromNetatalkParentFile) {
    MakeDir("Projects/.AppleDouble");
    WriteFile("Projects/.AppleDouble/.Parent", MakeAppleDouble({{4, FromString("active")}}));
    Str255 comment;
    FSSpec spec = Spec("Projects");
    ASSERT_EQ(PBDTGetCommentForItem(&spec, comment), noErr);
    EXPECT_EQ(Pascal(comment), "active");
}

}  // namespace
