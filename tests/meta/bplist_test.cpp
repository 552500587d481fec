// The string-root binary property list reader, on lists Python's plistlib wrote.
#include <gtest/gtest.h>

#include <functional>

#include "MetaTestSupport.h"
#include "platform/posix/Comment.h"

using namespace metatest;
using sw::posix::ParseBplistString;

namespace {

Bytes Fixture(const char* name) {
    return ReadFile(std::string(SW_TEST_DATA) + "/bplist/" + name);
}

TEST(BinaryPlist, ReadsStringsThatPlistlibWrote) {
    struct Row {
        const char* file;
        std::u16string expected;
    };
    const Row rows[] = {
        {"ascii-short.bplist", u"Draft"},
        {"ascii-long.bplist", u"A Finder comment that is longer than fifteen characters"},
        {"utf16.bplist", u"Caf\u00e9 \u2013 notes \U0001F600"},
        {"utf16-long.bplist", std::u16string(300, u'\u00e9')},
    };
    for (const auto& row : rows) {
        Bytes b = Fixture(row.file);
        ASSERT_FALSE(b.empty()) << row.file;
        auto s = ParseBplistString(b);
        ASSERT_TRUE(s) << row.file;
        EXPECT_EQ(*s, row.expected) << row.file;
    }
}

TEST(BinaryPlist, ANonStringRootIsNoComment) {
    EXPECT_FALSE(ParseBplistString(Fixture("array.bplist")));
}

TEST(BinaryPlist, CorruptListsAreRejectedNotReadPastTheirEnd) {
    const Bytes good = Fixture("ascii-long.bplist");
    ASSERT_TRUE(ParseBplistString(good));
    const std::size_t t = good.size() - 32;  // trailer
    struct Row {
        const char* name;
        std::function<void(Bytes&)> spoil;
    };
    const Row rows[] = {
        {"wrong magic", [](Bytes& b) { b[7] = '1'; }},
        {"offset size 0", [t](Bytes& b) { b[t + 6] = 0; }},
        {"offset size 9", [t](Bytes& b) { b[t + 6] = 9; }},
        {"no objects", [t](Bytes& b) { Put32(b, t + 12, 0); }},
        {"top object beyond the count", [t](Bytes& b) { Put32(b, t + 20, 5); }},
        {"offset table beyond the trailer", [t](Bytes& b) { Put32(b, t + 28, 0x7FFFFFFF); }},
        {"offset table in the header", [t](Bytes& b) { Put32(b, t + 28, 3); }},
        {"huge object count", [t](Bytes& b) { Put32(b, t + 8, 0x10000000); }},
        {"object offset past the table", [](Bytes& b) { b[b.size() - 33] = 0xF0; }},
        {"string length beyond the objects", [](Bytes& b) { b[10] = 0x7F; }},
        {"length integer not an integer", [](Bytes& b) { b[9] = 0x20; }},
        {"length integer of 16 bytes", [](Bytes& b) { b[9] = 0x14; }},
    };
    for (const auto& row : rows) {
        Bytes b = good;
        row.spoil(b);
        EXPECT_FALSE(ParseBplistString(b)) << row.name;
    }
    for (std::size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + n);
        EXPECT_FALSE(ParseBplistString(cut)) << "cut to " << n << " bytes";
    }
}

TEST(Utf8, DecodesAndReplacesMalformedSequences) {
    EXPECT_EQ(sw::posix::Utf8ToUtf16("caf\xC3\xA9"), u"caf\u00e9");
    EXPECT_EQ(sw::posix::Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(sw::posix::Utf8ToUtf16("a\xC3"), u"a\uFFFD") << "truncated";
    EXPECT_EQ(sw::posix::Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD") << "overlong";
    EXPECT_EQ(sw::posix::Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD") << "surrogate";
}

}  // namespace
