// AppleDouble headers, ATTR blocks and sidecar recognition.
#include "platform/posix/AppleDouble.h"

#include <gtest/gtest.h>

#include "MetaTestSupport.h"
#include "platform/posix/Comment.h"

using namespace metatest;
using sw::posix::ParseAppleDouble;

namespace {

Bytes GoodDouble() {
    return MakeAppleDouble({{9, FinderInfo("TEXT", "ttxt", 0x4000)}, {4, FromString("hello")}});
}

TEST(AppleDoubleHeader, ParsesAValidHeaderAndFindsEntries) {
    Bytes b = GoodDouble();
    auto h = ParseAppleDouble(b, b.size(), false);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->version, 0x00020000u);
    auto comment = sw::posix::AppleDoubleEntryBytes(*h, b, 4);
    ASSERT_TRUE(comment);
    EXPECT_EQ(std::string(comment->begin(), comment->end()), "hello");
    EXPECT_FALSE(sw::posix::AppleDoubleEntryBytes(*h, b, 2));
}

TEST(AppleDoubleHeader, AcceptsVersionOneAndAppleSingleOnlyWhenAsked) {
    Bytes v1 = MakeAppleDouble({{9, FinderInfo("TEXT", "ttxt", 0)}}, 0x00051607, 0x00010000);
    EXPECT_TRUE(ParseAppleDouble(v1, v1.size(), false));
    Bytes single = MakeAppleDouble({{9, FinderInfo("TEXT", "ttxt", 0)}}, 0x00051600);
    EXPECT_FALSE(ParseAppleDouble(single, single.size(), false));
    auto h = ParseAppleDouble(single, single.size(), true);
    ASSERT_TRUE(h);
    EXPECT_TRUE(h->single);
}

struct CorruptRow {
    const char* name;
    Bytes bytes;
};

std::vector<CorruptRow> CorruptRows() {
    std::vector<CorruptRow> rows;
    Bytes good = GoodDouble();
    rows.push_back({"empty", {}});
    rows.push_back({"shorter than the header", Bytes(good.begin(), good.begin() + 25)});
    rows.push_back({"table cut short", Bytes(good.begin(), good.begin() + 40)});
    {
        Bytes b = good;
        b[3] = 0x08;
        rows.push_back({"bad magic", b});
    }
    {
        Bytes b = good;
        Put32(b, 4, 0x00030000);
        rows.push_back({"unknown version", b});
    }
    {
        Bytes b = good;
        Put16(b, 24, 0);
        rows.push_back({"no entries", b});
    }
    {
        Bytes b = good;
        Put16(b, 24, 0xFFFF);
        rows.push_back({"huge entry count", b});
    }
    {
        Bytes b = good;
        Put32(b, 26, 0);
        rows.push_back({"entry id 0", b});
    }
    {
        Bytes b = good;
        Put32(b, 30 + 12, 0xFFFFFFF0);
        rows.push_back({"entry offset past the end (and wrapping)", b});
    }
    {
        Bytes b = good;
        Put32(b, 34 + 12, 6);
        rows.push_back({"entry length past the end", b});
    }
    {
        Bytes b = good;
        Put32(b, 34, 31);
        rows.push_back({"Finder info shorter than 32 bytes", b});
    }
    return rows;
}

TEST(AppleDoubleHeader, RejectsCorruptHeaders) {
    for (const auto& row : CorruptRows())
        EXPECT_FALSE(ParseAppleDouble(row.bytes, row.bytes.size(), true)) << row.name;
}

TEST(AppleDoubleHeader, FileSizeBoundsEntriesEvenWhenOnlyTheHeadWasRead) {
    Bytes b = GoodDouble();
    Bytes head(b.begin(), b.begin() + 26 + 24);
    EXPECT_TRUE(ParseAppleDouble(head, b.size(), false));
    EXPECT_FALSE(ParseAppleDouble(head, b.size() - 1, false));
}

TEST(AppleDoubleFile, CreationDateFromTheFileDatesEntry) {
    Bytes dates(16, 0);
    Put32(dates, 0, 86400);  // 2000-01-02 00:00:00 UTC
    EXPECT_EQ(sw::posix::AppleDoubleCreationDate(dates), 946684800 + 86400);
    Put32(dates, 0, static_cast<std::uint32_t>(-86400));  // 1999-12-31
    EXPECT_EQ(sw::posix::AppleDoubleCreationDate(dates), 946684800 - 86400);
    Put32(dates, 0, 0x80000000);
    EXPECT_FALSE(sw::posix::AppleDoubleCreationDate(dates)) << "0x80000000 means unknown";
    EXPECT_FALSE(sw::posix::AppleDoubleCreationDate(Bytes(3, 0)));
}

// A genuine macOS sidecar from Debian's chuck-data: Finder info at 50, an ATTR
// block at 84 with one attribute.
TEST(AppleDoubleGenuine, MacOSSidecarWithAttrBlock) {
    Bytes b = ReadFile(std::string(SW_TEST_DATA) + "/appledouble/._autocorr.ck");
    ASSERT_EQ(b.size(), 176u);
    auto h = ParseAppleDouble(b, b.size(), false);
    ASSERT_TRUE(h);
    ASSERT_EQ(h->entries.size(), 2u);
    const auto* fi = h->Find(9);
    ASSERT_NE(fi, nullptr);
    EXPECT_EQ(fi->offset, 50u);
    auto attrs = sw::posix::ParseAttrBlock(*h, b);
    ASSERT_EQ(attrs.size(), 1u);
    EXPECT_EQ(attrs[0].name, "com.apple.lastuseddate#PS");
    EXPECT_EQ(attrs[0].value.size(), 16u);
    EXPECT_EQ(attrs[0].value.data(), b.data() + 0xA0);
}

TEST(AppleDoubleGenuine, TwoAttributesAndAPlistThatIsNotAString) {
    Bytes b = ReadFile(std::string(SW_TEST_DATA) + "/appledouble/._hevymetl-dance-now.ck");
    auto h = ParseAppleDouble(b, b.size(), false);
    ASSERT_TRUE(h);
    auto attrs = sw::posix::ParseAttrBlock(*h, b);
    ASSERT_EQ(attrs.size(), 2u);
    EXPECT_EQ(attrs[1].name, "com.apple.metadata:_kMDItemUserTags");
    // An empty array as root: a valid property list, but no string.
    EXPECT_EQ(std::string(attrs[1].value.begin(), attrs[1].value.begin() + 8), "bplist00");
    EXPECT_FALSE(sw::posix::ParseBplistString(attrs[1].value));
}

TEST(AppleDoubleGenuine, AttrBlockWithCorruptCountsIsEmptyNotACrash) {
    Bytes good = ReadFile(std::string(SW_TEST_DATA) + "/appledouble/._joy.ck");
    ASSERT_EQ(good.size(), 333u);
    struct Row {
        const char* name;
        std::size_t at;
        std::uint32_t value;
        bool wide;
    };
    const Row rows[] = {
        {"attribute count beyond the block", 84 + 34, 0xFFFF, false},
        {"total size beyond the file", 84 + 8, 0x7FFFFFFF, true},
        {"attribute offset beyond the block", 84 + 36, 0xFFFFFF00, true},
        {"attribute length beyond the block", 84 + 40, 0x1000, true},
        {"bad magic", 84, 0x41545453, true},
    };
    for (const auto& row : rows) {
        Bytes b = good;
        if (row.wide)
            Put32(b, row.at, row.value);
        else
            Put16(b, row.at, static_cast<std::uint16_t>(row.value));
        auto h = ParseAppleDouble(b, b.size(), false);
        ASSERT_TRUE(h) << row.name;
        EXPECT_TRUE(sw::posix::ParseAttrBlock(*h, b).empty()) << row.name;
    }
    auto h = ParseAppleDouble(good, good.size(), false);
    ASSERT_TRUE(h);
    auto attrs = sw::posix::ParseAttrBlock(*h, good);
    ASSERT_EQ(attrs.size(), 2u);
    EXPECT_EQ(attrs[1].name, "com.apple.metadata:kMDLabel_bhksjr6in7w3tyfbz6cppw2rpu");
}

}  // namespace
