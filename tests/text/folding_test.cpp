#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>

#include <cstring>
#include <string>

#include "platform/MacRoman.h"
#include "text/TextUtils.h"

namespace {

std::string Folded(const std::string& roman) {
    std::string s = roman;
    UppercaseStripDiacritics(s.data(), static_cast<SInt32>(s.size()), smSystemScript);
    return s;
}

TEST(Folding, UppercaseStripDiacriticsRows) {
    struct Row {
        const char* name;
        std::string in, out;
    } rows[] = {
        {"e acute", "\x8E", "E"},
        {"E acute", "\x83", "E"},
        {"sharp s stays", "\xA7", "\xA7"},
        {"y diaeresis", "\xD8", "Y"},
        {"Y diaeresis", "\xD9", "Y"},
        {"A ring", "\x81", "A"},
        {"a ring", "\x8C", "A"},
        {"ae ligature to AE", "\xBE", "\xAE"},
        {"o slash to O slash", "\xBF", "\xAF"},
        {"oe to OE", "\xCF", "\xCE"},
        {"dotless i", "\xF5", "I"},
        {"fi ligature stays", "\xDE", "\xDE"},
        {"micro stays", "\xB5", "\xB5"},
        {"pi stays", "\xB9", "\xB9"},
        {"florin stays", "\xC4", "\xC4"},
        {"ASCII word", "Read Me 2.txt", "READ ME 2.TXT"},
        {"type code", "APPL", "APPL"},
        {"mixed", "Caf\x8E Cr\x8Fme Br\x9Bl\x8E\x8E", "CAFE CREME BROLEE"},
        {"punctuation and digits", "[]{}@`~0189", "[]{}@`~0189"},
    };
    for (const Row& row : rows) EXPECT_EQ(Folded(row.in), row.out) << row.name;

    std::string text = "abc";
    UppercaseStripDiacritics(text.data(), 2, smRoman);  // only the given length
    EXPECT_EQ(text, "ABc");
    UppercaseStripDiacritics(text.data(), 0, smRoman);
    UppercaseStripDiacritics(text.data(), -4, smRoman);
    UppercaseStripDiacritics(static_cast<Ptr>(nullptr), 10, smRoman);
    EXPECT_EQ(text, "ABc");
}

// Every letter of Mac OS Roman against Unicode's own data: upper-casing is
// the simple upper-case mapping when Roman has the result, and stripping
// keeps the base letter of a canonical decomposition.
TEST(Folding, AgreesWithUnicodeForEveryRomanLetter) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
    ASSERT_TRUE(U_SUCCESS(status));
    for (int b = 0; b < 256; ++b) {
        auto byte = static_cast<unsigned char>(b);
        UChar32 c = MacRomanToUnicode(byte);
        if (!u_isalpha(c)) {
            EXPECT_EQ(RomanUppercase(byte), byte) << "byte 0x" << std::hex << b;
            EXPECT_EQ(RomanStripDiacritics(byte), byte) << "byte 0x" << std::hex << b;
            continue;
        }
        unsigned char expectedUpper = byte;
        unsigned char mapped = 0;
        if (UnicodeToMacRoman(static_cast<char32_t>(u_toupper(c)), &mapped)) expectedUpper = mapped;
        EXPECT_EQ(RomanUppercase(byte), expectedUpper) << "byte 0x" << std::hex << b;

        UChar source[1] = {static_cast<UChar>(c)};
        UChar decomposed[8];
        int32_t n = unorm2_normalize(nfd, source, 1, decomposed, 8, &status);
        ASSERT_TRUE(U_SUCCESS(status));
        unsigned char expectedStrip = byte;
        if (n > 1 && decomposed[0] < 0x80)
            expectedStrip = static_cast<unsigned char>(decomposed[0]);
        EXPECT_EQ(RomanStripDiacritics(byte), expectedStrip) << "byte 0x" << std::hex << b;
    }
}

TEST(Folding, EqualString) {
    struct Row {
        const char* name;
        std::string a, b;
        bool caseSens, diacSens, equal;
    } rows[] = {
        {"same", "Green", "Green", true, true, true},
        {"case, insensitive", "green", "GREEN", false, false, true},
        {"case, sensitive", "green", "GREEN", true, true, false},
        {"case only ignored", "green", "GREEN", false, true, true},
        {"accent, insensitive", "Caf\x8E", "CAFE", false, false, true},
        {"accent, diacritics count", "Caf\x8E", "CAFE", false, true, false},
        {"accent case ignored, diacritics count", "caf\x8E", "CAF\x83", false, true, true},
        {"accent only ignored", "caf\x8E", "cafe", true, false, true},
        {"accent only ignored, case differs", "caf\x8E", "CAFE", true, false, false},
        {"lengths differ", "Red", "Redd", false, false, false},
        {"different letters", "Red", "Rex", false, false, false},
        {"empty", "", "", false, false, true},
        {"sharp s is not ss", "\xA7", "ss", false, false, false},
    };
    for (const Row& row : rows) {
        Str255 a, b;
        CToPString(row.a.c_str(), a);
        CToPString(row.b.c_str(), b);
        EXPECT_EQ(EqualString(a, b, row.caseSens, row.diacSens) != 0, row.equal) << row.name;
        EXPECT_EQ(EqualString(b, a, row.caseSens, row.diacSens) != 0, row.equal) << row.name;
    }
}

TEST(Folding, IdenticalString) {
    struct Row {
        const char* name;
        std::string a, b;
        SInt16 result;
    } rows[] = {
        {"identical", "1.0.2", "1.0.2", 0},
        {"case differs", "1.0b", "1.0B", 1},
        {"accent differs", "caf\x8E", "cafe", 1},
        {"prefix", "1.0", "1.0.1", 1},
        {"both empty", "", "", 0},
    };
    for (const Row& row : rows) {
        Str255 a, b;
        CToPString(row.a.c_str(), a);
        CToPString(row.b.c_str(), b);
        EXPECT_EQ(IdenticalString(a, b), row.result) << row.name;
    }
    // Bytes past the length byte do not count.
    const unsigned char x[] = {2, 'a', 'b', 'X'};
    const unsigned char y[] = {2, 'a', 'b', 'Y'};
    EXPECT_EQ(IdenticalString(x, y), 0);
}

}  // namespace
