// File descriptor forms coerce to FSRefs through the Apple Event Manager.
#include <gtest/gtest.h>

#include <string>

#include "platform/AppleEvents.h"
#include "platform/Files.h"
#include "platform/Memory.h"
#include "support/Fixtures.h"

namespace {

std::string PathOfDesc(const AEDesc& desc) {
    FSRef ref{};
    EXPECT_EQ(AEGetDescDataSize(&desc), static_cast<Size>(sizeof ref));
    if (AEGetDescData(&desc, &ref, sizeof ref) != noErr) return {};
    UInt8 buf[4096];
    if (FSRefMakePath(&ref, buf, sizeof buf) != noErr) return "<no path>";
    return reinterpret_cast<char*>(buf);
}

}  // namespace

TEST(FileCoercions, SpecAndAliasToRefAndBack) {
    ASSERT_EQ(InstallFileCoercions(), noErr);
    sw::test::TempDir dir;
    sw::test::WriteFile(dir / "target", "x");
    const std::string path = dir / "target";
    FSRef ref{};
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr);
    FSSpec spec{};
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr), noErr);

    AEDesc out{};
    ASSERT_EQ(AECoercePtr(typeFSS, &spec, sizeof spec, typeFSRef, &out), noErr);
    EXPECT_EQ(out.descriptorType, typeFSRef);
    EXPECT_EQ(PathOfDesc(out), path);
    AEDisposeDesc(&out);

    AliasHandle alias = nullptr;
    ASSERT_EQ(NewAlias(nullptr, &spec, &alias), noErr);
    ASSERT_NE(alias, nullptr);
    ASSERT_EQ(AECoercePtr(typeAlias, *alias, GetHandleSize(alias), typeFSRef, &out), noErr);
    EXPECT_EQ(PathOfDesc(out), path);
    AEDisposeDesc(&out);
    DisposeHandle(alias);

    ASSERT_EQ(AECoercePtr(typeFSRef, &ref, sizeof ref, typeFSS, &out), noErr);
    FSSpec back{};
    ASSERT_EQ(AEGetDescData(&out, &back, sizeof back), noErr);
    EXPECT_EQ(SInt32{back.parID}, SInt32{spec.parID});
    EXPECT_EQ(back.vRefNum, spec.vRefNum);
    AEDisposeDesc(&out);

    // A specification of a missing item does not coerce.
    spec.name[1] = '#';
    spec.name[0] = 1;
    EXPECT_NE(AECoercePtr(typeFSS, &spec, sizeof spec, typeFSRef, &out), noErr);
    const unsigned char junk[5] = {1, 2, 3, 4, 5};
    EXPECT_NE(AECoercePtr(typeAlias, junk, sizeof junk, typeFSRef, &out), noErr);
}
