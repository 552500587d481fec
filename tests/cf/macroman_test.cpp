#include "platform/MacRoman.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <memory>
#include <string>

namespace {

// ICU's own "macintosh" converter, as an independent reference for the table.
char16_t IcuDecode(unsigned char byte) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, void (*)(UConverter*)> conv(ucnv_open("macintosh", &status),
                                                            ucnv_close);
    EXPECT_TRUE(U_SUCCESS(status));
    UChar out[4] = {};
    char in = static_cast<char>(byte);
    int32_t n = ucnv_toUChars(conv.get(), out, 4, &in, 1, &status);
    EXPECT_TRUE(U_SUCCESS(status));
    EXPECT_EQ(n, 1);
    return out[0];
}

TEST(MacRoman, EveryByteMatchesTheReferenceAndRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        auto byte = static_cast<unsigned char>(b);
        char16_t u = MacRomanToUnicode(byte);
        EXPECT_EQ(u, IcuDecode(byte)) << "byte 0x" << std::hex << b;
        unsigned char back = 0;
        ASSERT_TRUE(UnicodeToMacRoman(u, &back)) << "byte 0x" << std::hex << b;
        EXPECT_EQ(back, byte) << "byte 0x" << std::hex << b;
        std::string roman;
        ASSERT_TRUE(Utf16ToMacRoman(std::u16string(1, u), &roman)) << "byte 0x" << std::hex << b;
        EXPECT_EQ(roman, std::string(1, static_cast<char>(byte))) << "byte 0x" << std::hex << b;
    }
}

TEST(MacRoman, FixedPoints) {
    struct Row {
        const char* name;
        unsigned char byte;
        char16_t unicode;
    } rows[] = {
        {"apple logo", 0xF0, 0xF8FF},  {"florin", 0xC4, 0x0192},    {"e acute", 0x8E, 0x00E9},
        {"euro", 0xDB, 0x20AC},        {"A ring", 0x81, 0x00C5},    {"sharp s", 0xA7, 0x00DF},
        {"y diaeresis", 0xD8, 0x00FF}, {"dotless i", 0xF5, 0x0131}, {"nbsp", 0xCA, 0x00A0},
        {"ASCII A", 0x41, 0x0041},     {"DEL", 0x7F, 0x007F},       {"NUL", 0x00, 0x0000},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(MacRomanToUnicode(row.byte), row.unicode) << row.name;
        unsigned char byte = 0;
        ASSERT_TRUE(UnicodeToMacRoman(row.unicode, &byte)) << row.name;
        EXPECT_EQ(byte, row.byte) << row.name;
    }
}

TEST(MacRoman, CharactersWithoutARomanFormFail) {
    struct Row {
        const char* name;
        char32_t character;
    } rows[] = {
        {"currency sign (old 0xDB)", 0x00A4}, {"Cyrillic Zhe", 0x0416}, {"CJK", 0x6587},
        {"combining acute alone", 0x0301},    {"emoji", 0x1F600},       {"replacement", 0xFFFD},
    };
    for (const Row& row : rows) {
        unsigned char byte = 0x55;
        EXPECT_FALSE(UnicodeToMacRoman(row.character, &byte)) << row.name;
    }
}

TEST(MacRoman, DecomposedTextIsComposedFirst) {
    struct Row {
        const char* name;
        std::u16string text;
        bool ok;
        std::string roman;
    } rows[] = {
        {"e + acute", u"e\u0301", true, "\x8E"},
        {"Cafe decomposed", u"Cafe\u0301.txt", true, "Caf\x8E.txt"},
        {"A + ring", u"A\u030A", true, "\x81"},
        {"y + diaeresis", u"y\u0308", true, "\xD8"},
        {"precomposed", u"\u00E9", true, "\x8E"},
        {"ohm sign becomes omega", u"\u2126", true, "\xBD"},
        {"x + acute has no Roman form", u"x\u0301", false, ""},
        {"Cyrillic", u"\u0416\u0443\u043A", false, ""},
        {"ASCII then Cyrillic", u"abc\u0416", false, ""},
        {"unpaired high surrogate", std::u16string(1, char16_t(0xD800)), false, ""},
        {"unpaired low surrogate", u"e\u0301" + std::u16string(1, char16_t(0xDC00)), false, ""},
    };
    for (const Row& row : rows) {
        std::string out = "stale";
        EXPECT_EQ(Utf16ToMacRoman(row.text, &out), row.ok) << row.name;
        EXPECT_EQ(out, row.roman) << row.name;
    }
}

TEST(MacRoman, Utf8Conversions) {
    const unsigned char roman[] = {'C', 'a', 'f', 0x8E, ' ', 0xF0, ' ', 0xDB};
    EXPECT_EQ(MacRomanToUtf8(roman, sizeof roman), "Caf\xC3\xA9 \xEF\xA3\xBF \xE2\x82\xAC");
    std::string out;
    ASSERT_TRUE(Utf8ToMacRoman("Caf\xC3\xA9 \xEF\xA3\xBF \xE2\x82\xAC", &out));
    EXPECT_EQ(out, std::string(reinterpret_cast<const char*>(roman), sizeof roman));
    EXPECT_TRUE(Utf8ToMacRoman("e\xCC\x81", &out));  // e + U+0301
    EXPECT_EQ(out, "\x8E");

    struct Row {
        const char* name;
        std::string text;
    } malformed[] = {
        {"lone continuation", "\x80"},           {"truncated", "\xC3"},
        {"overlong slash", "\xC0\xAF"},          {"encoded surrogate", "\xED\xA0\x80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80"}, {"Latin-1 byte", "caf\xE9"},
    };
    for (const Row& row : malformed) {
        std::u16string utf16;
        EXPECT_FALSE(Utf8ToUtf16(row.text, &utf16)) << row.name;
        EXPECT_FALSE(Utf8ToMacRoman(row.text, &out)) << row.name;
    }
    std::u16string utf16;
    ASSERT_TRUE(Utf8ToUtf16("\xF0\x9F\x98\x80", &utf16));
    EXPECT_EQ(utf16, u"\U0001F600");
    std::string utf8;
    ASSERT_TRUE(Utf16ToUtf8(utf16, &utf8));
    EXPECT_EQ(utf8, "\xF0\x9F\x98\x80");
    EXPECT_FALSE(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00)), &utf8));
}

}  // namespace
