#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "text/TextUtils.h"

namespace {

std::string Text(ConstStr255Param s) {
    return PStringBytes(s);
}

void SetText(StringPtr s, const std::string& bytes) {
    ASSERT_LE(bytes.size(), 255u);
    s[0] = static_cast<unsigned char>(bytes.size());
    std::memcpy(s + 1, bytes.data(), bytes.size());
}

TEST(PString, CopyPString) {
    Str255 a, b;
    std::memset(b, 'x', sizeof b);
    SetText(a, "Macintosh HD");
    CopyPString(a, b);
    EXPECT_EQ(Text(b), "Macintosh HD");
    EXPECT_EQ(b[13], 'x');  // nothing past the copied bytes
    CopyPString(nullptr, b);
    EXPECT_EQ(b[0], 0);
    SetText(a, std::string(255, 'z'));
    CopyPString(a, b);
    EXPECT_EQ(Text(b), std::string(255, 'z'));
}

TEST(PString, AppendPStringIsCutAt255) {
    struct Row {
        const char* name;
        std::size_t have, add, expected;
    } rows[] = {
        {"fits", 10, 20, 30},        {"exactly full", 200, 55, 255}, {"one over", 200, 56, 255},
        {"far over", 250, 255, 255}, {"already full", 255, 1, 255},  {"empty source", 40, 0, 40},
    };
    for (const Row& row : rows) {
        // A 256-byte destination inside a bigger block: the bytes after it
        // must stay untouched.
        unsigned char block[300];
        std::memset(block, 0xEE, sizeof block);
        StringPtr destination = block;
        SetText(destination, std::string(row.have, 'd'));
        Str255 source;
        SetText(source, std::string(row.add, 's'));
        AppendPString(source, destination);
        EXPECT_EQ(destination[0], row.expected) << row.name;
        std::string expected =
            std::string(row.have, 'd') + std::string(row.expected - row.have, 's');
        EXPECT_EQ(Text(destination), expected) << row.name;
        for (std::size_t i = 256; i < sizeof block; ++i) {
            ASSERT_EQ(block[i], 0xEE) << row.name << " overran at " << i;
        }
    }
    Str255 self;
    SetText(self, "abc");
    AppendPString(self, self);
    EXPECT_EQ(Text(self), "abcabc");
    SetText(self, std::string(200, 'q'));
    AppendPString(self, self);
    EXPECT_EQ(Text(self), std::string(255, 'q'));
}

TEST(PString, CToPString) {
    Str255 out;
    std::string long300(300, 'L');
    long300[254] = 'E';  // the last byte kept
    CToPString(long300.c_str(), out);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[255], 'E');
    CToPString("Seekwright", out);
    EXPECT_EQ(Text(out), "Seekwright");
    CToPString("", out);
    EXPECT_EQ(out[0], 0);
    CToPString(nullptr, out);
    EXPECT_EQ(out[0], 0);
    CToPString("caf\x8E", out);  // bytes are taken as they are
    EXPECT_EQ(Text(out), "caf\x8E");
}

TEST(PString, AppendCToPString) {
    Str255 out;
    SetText(out, "file size is less than ");
    AppendCToPString("100", out);
    AppendCToPString(" bytes", out);
    EXPECT_EQ(Text(out), "file size is less than 100 bytes");
    SetText(out, std::string(250, 'a'));
    AppendCToPString("0123456789", out);
    EXPECT_EQ(Text(out), std::string(250, 'a') + "01234");
    AppendCToPString("more", out);
    EXPECT_EQ(out[0], 255);
}

TEST(PString, FillBlock) {
    unsigned char block[8];
    std::memset(block, 1, sizeof block);
    FillBlock(block + 1, 4, 0xAB);
    const unsigned char expected[8] = {1, 0xAB, 0xAB, 0xAB, 0xAB, 1, 1, 1};
    EXPECT_EQ(std::memcmp(block, expected, 8), 0);
    FillBlock(block, 0, 9);
    FillBlock(block, -5, 9);
    EXPECT_EQ(std::memcmp(block, expected, 8), 0);
    FillBlock(nullptr, 8, 9);  // no crash
}

TEST(PString, NumToString) {
    struct Row {
        const char* name;
        SInt32 value;
        const char* text;
    } rows[] = {
        {"zero", 0, "0"},
        {"one", 1, "1"},
        {"minus one", -1, "-1"},
        {"result code", -1701, "-1701"},
        {"million", 1000000, "1000000"},
        {"INT32_MAX", INT32_MAX, "2147483647"},
        {"INT32_MIN", INT32_MIN, "-2147483648"},
    };
    for (const Row& row : rows) {
        Str255 out;
        std::memset(out, 'x', sizeof out);
        NumToString(row.value, out);
        EXPECT_EQ(Text(out), row.text) << row.name;
        SInt32 back = 12345;
        StringToNum(out, &back);
        EXPECT_EQ(back, row.value) << row.name;
    }
}

TEST(PString, StringToNum) {
    struct Row {
        const char* name;
        const char* text;
        SInt32 value;
        bool exact;  // StringToNumExact accepts it
    } rows[] = {
        {"empty", "", 0, false},
        {"zero", "0", 0, true},
        {"plain", "123", 123, true},
        {"plus", "+7", 7, true},
        {"minus", "-7", -7, true},
        {"minus zero", "-0", 0, true},
        {"leading zeros", "0007", 7, true},
        {"INT32_MAX", "2147483647", INT32_MAX, true},
        {"INT32_MAX with zeros", "0002147483647", INT32_MAX, true},
        {"INT32_MAX + 1 is held", "2147483648", INT32_MAX, false},
        {"INT32_MIN", "-2147483648", INT32_MIN, true},
        {"INT32_MIN - 1 is held", "-2147483649", INT32_MIN, false},
        {"twenty digits", "99999999999999999999", INT32_MAX, false},
        {"twenty negative digits", "-99999999999999999999", INT32_MIN, false},
        {"2^32 does not wrap to 0", "4294967296", INT32_MAX, false},
        {"trailing junk", "12kb", 12, false},
        {"letters", "abc", 0, false},
        {"sign only", "-", 0, false},
        {"two signs", "--5", 0, false},
        {"leading blank", " 5", 0, false},
        {"trailing blank", "5 ", 5, false},
        {"decimal point", "3.5", 3, false},
    };
    for (const Row& row : rows) {
        Str255 in;
        CToPString(row.text, in);
        SInt32 value = 777;
        StringToNum(in, &value);
        EXPECT_EQ(value, row.value) << row.name;
        SInt32 exact = 777;
        EXPECT_EQ(StringToNumExact(in, &exact) != 0, row.exact) << row.name;
        EXPECT_EQ(exact, row.exact ? row.value : 777) << row.name;
    }
    // A length byte shorter than the text: only the counted bytes are read.
    const unsigned char counted[] = {2, '4', '2', '9'};
    SInt32 value = 0;
    StringToNum(counted, &value);
    EXPECT_EQ(value, 42);
    StringToNum(nullptr, &value);
    EXPECT_EQ(value, 0);
}

TEST(PString, Utf8Conversions) {
    Str255 out;
    ASSERT_TRUE(Utf8ToPString("R\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC", out));
    EXPECT_EQ(Text(out), "R\x8Esum\x8E \xDB");
    EXPECT_EQ(PStringToUtf8(out), "R\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC");
    EXPECT_FALSE(Utf8ToPString("\xD0\x96", out));  // Cyrillic Zhe
    EXPECT_EQ(out[0], 0);
    ASSERT_TRUE(Utf8ToPString(std::string(300, 'x'), out));
    EXPECT_EQ(out[0], 255);

    PString literal = PStringFromLiteral(
        "\xC6\x92"
        "dsk");  // ƒdsk
    EXPECT_EQ(Text(literal),
              "\xC4"
              "dsk");
    Str255 copy;
    CopyPString(literal, copy);
    EXPECT_EQ(Text(copy),
              "\xC4"
              "dsk");
}

}  // namespace
