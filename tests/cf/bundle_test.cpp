#include <gtest/gtest.h>

#include "platform/CoreFoundation.h"

namespace {

std::string Roman(CFStringRef s) {
    Str255 out;
    if (!CFStringGetPascalString(s, out, 256, kCFStringEncodingMacRoman)) return "<fails>";
    return std::string(reinterpret_cast<char*>(out + 1), out[0]);
}

TEST(CFBundle, VersionComesFromTheBuild) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(CFBundleGetMainBundle(), bundle);
    CFStringRef version = CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(Roman(version), SW_EXPECTED_VERSION);
    EXPECT_EQ(CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleName")), nullptr);
    EXPECT_EQ(CFBundleGetValueForInfoDictionaryKey(nullptr, CFSTR("CFBundleVersion")), nullptr);
}

TEST(CFBundle, AbsentVersionForTesting) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    CFStringRef before = CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleVersion"));
    CFBundleSetInfoVersionForTesting(nullptr);
    EXPECT_EQ(CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleVersion")), nullptr);
    CFBundleSetInfoVersionForTesting("2.0b\xC3\xA9");  // UTF-8
    CFStringRef other = CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleVersion"));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(Roman(other), "2.0b\x8E");
    CFBundleRestoreInfoVersionForTesting();
    CFStringRef after = CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleVersion"));
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(Roman(after), Roman(before));
    EXPECT_EQ(Roman(before), SW_EXPECTED_VERSION);  // strings handed out earlier stay valid
}

}  // namespace
