#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/CoreFoundation.h"

namespace {

// Owns one CF object for the length of a test.
struct CF {
    CFTypeRef object;
    explicit CF(CFTypeRef o) : object(o) {}
    ~CF() { CFRelease(object); }
    CF(const CF&) = delete;
    CF& operator=(const CF&) = delete;
    CFStringRef str() const { return static_cast<CFStringRef>(object); }
    CFMutableStringRef mut() const {
        return const_cast<CFMutableStringRef>(static_cast<CFStringRef>(object));
    }
};

CFMutableStringRef Make(const std::u16string& text) {
    CFStringRef s = CFStringCreateWithCharacters(kCFAllocatorDefault,
                                                 reinterpret_cast<const UniChar*>(text.data()),
                                                 static_cast<CFIndex>(text.size()));
    CFMutableStringRef m = CFStringCreateMutableCopy(kCFAllocatorDefault, 0, s);
    CFRelease(s);
    return m;
}

CFMutableStringRef MakeD(const std::u16string& text) {
    CFMutableStringRef m = Make(text);
    CFStringNormalize(m, kCFStringNormalizationFormD);
    return m;
}

std::u16string Units(CFStringRef s) {
    return std::u16string(reinterpret_cast<const char16_t*>(CFStringGetCharactersPtr(s)),
                          static_cast<std::size_t>(CFStringGetLength(s)));
}

TEST(CFString, CreateAndRead) {
    CF s(CFStringCreateWithCString(kCFAllocatorDefault, "Caf\xC3\xA9", kCFStringEncodingUTF8));
    ASSERT_NE(s.object, nullptr);
    EXPECT_EQ(Units(s.str()), u"Caf\u00E9");
    EXPECT_EQ(CFStringGetCharacterAtIndex(s.str(), 3), 0x00E9);
    EXPECT_EQ(CFStringGetCharacterAtIndex(s.str(), 4), 0);  // out of range, no crash

    CF r(CFStringCreateWithCString(kCFAllocatorDefault, "Caf\x8E \xF0", kCFStringEncodingMacRoman));
    EXPECT_EQ(Units(r.str()), u"Caf\u00E9 \uF8FF");

    const unsigned char pascal[] = {3, 'a', 0xC4, 'b', 'X'};  // the X is past the length
    CF p(CFStringCreateWithPascalString(kCFAllocatorDefault, pascal, kCFStringEncodingMacRoman));
    EXPECT_EQ(Units(p.str()), u"a\u0192b");

    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "caf\xE9", kCFStringEncodingUTF8),
              nullptr);
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, nullptr, kCFStringEncodingUTF8),
              nullptr);

    UniChar buffer[3] = {};
    CFStringGetCharacters(s.str(), CFRangeMake(2, 10), buffer);  // range cut to the string
    EXPECT_EQ(buffer[0], u'f');
    EXPECT_EQ(buffer[1], 0x00E9);
    EXPECT_EQ(buffer[2], 0);
}

TEST(CFString, MutationAndBounds) {
    CF m(CFStringCreateMutable(kCFAllocatorDefault, 0));
    CFStringAppendCString(m.mut(), "Macintosh HD", kCFStringEncodingMacRoman);
    CFStringAppend(m.mut(), CFSTR(":"));
    const UniChar e[] = {'e', 0x0301};
    CFStringAppendCharacters(m.mut(), e, 2);
    EXPECT_EQ(Units(m.str()), u"Macintosh HD:e\u0301");
    CFStringAppend(m.mut(), m.str());  // itself
    EXPECT_EQ(CFStringGetLength(m.str()), 30);
    CFStringDelete(m.mut(), CFRangeMake(15, 100));
    EXPECT_EQ(Units(m.str()), u"Macintosh HD:e\u0301");
    CFStringAppendCString(m.mut(), "\xFF", kCFStringEncodingUTF8);  // malformed: nothing added
    EXPECT_EQ(CFStringGetLength(m.str()), 15);

    CF bounded(CFStringCreateMutable(kCFAllocatorDefault, 4));
    CFStringAppendCString(bounded.mut(), "abcdef", kCFStringEncodingUTF8);
    EXPECT_EQ(Units(bounded.str()), u"abcd");
}

TEST(CFString, RetainRelease) {
    CFStringRef s = CFStringCreateWithCString(kCFAllocatorDefault, "x", kCFStringEncodingUTF8);
    EXPECT_EQ(CFRetain(s), s);
    CFRelease(s);
    EXPECT_EQ(CFStringGetLength(s), 1);  // still alive: one reference left
    CFRelease(s);                        // the sanitizer build checks this frees it
    CFRelease(nullptr);
    CFStringRef literal = CFSTR("/");
    EXPECT_EQ(CFSTR("/"), literal);
    CFRelease(literal);  // literals live for the process
    EXPECT_EQ(Units(CFSTR("/")), u"/");
}

TEST(CFString, NormalizeComposedAndDecomposed) {
    CF d(MakeD(u"Caf\u00E9 \u00C5"));
    EXPECT_EQ(Units(d.str()), u"Cafe\u0301 A\u030A");
    CF c(Make(u"Cafe\u0301"));
    CFStringNormalize(c.mut(), kCFStringNormalizationFormC);
    EXPECT_EQ(Units(c.str()), u"Caf\u00E9");
    CF ascii(MakeD(u"plain.txt"));
    EXPECT_EQ(Units(ascii.str()), u"plain.txt");
    CF already(MakeD(u"e\u0301"));
    EXPECT_EQ(Units(already.str()), u"e\u0301");
}

TEST(CFString, CaseInsensitiveCompare) {
    struct Row {
        const char* name;
        std::u16string a, b;
        CFComparisonResult expected;
    } rows[] = {
        {"ASCII case", u"ReadMe", u"README", kCFCompareEqualTo},
        {"ASCII differs", u"abc", u"abd", kCFCompareLessThan},
        {"ASCII prefix", u"abcd", u"ABC", kCFCompareGreaterThan},
        {"A diaeresis cases", u"\u00C4rger", u"\u00E4RGER", kCFCompareEqualTo},
        {"composed vs decomposed", u"Caf\u00E9", u"CAFE\u0301", kCFCompareEqualTo},
        {"diacritics stay significant", u"Cafe", u"Caf\u00E9", kCFCompareLessThan},
        {"sharp s folds to ss", u"Stra\u00DFe", u"STRASSE", kCFCompareEqualTo},
        {"Greek final sigma", u"\u039F\u03A3", u"\u03BF\u03C2", kCFCompareEqualTo},
        {"Cyrillic", u"\u0416\u0423\u041A", u"\u0436\u0443\u043A", kCFCompareEqualTo},
        {"empty vs empty", u"", u"", kCFCompareEqualTo},
    };
    for (const Row& row : rows) {
        CF a(MakeD(row.a));
        CF b(MakeD(row.b));
        EXPECT_EQ(
            CFStringCompareWithOptions(a.str(), b.str(), CFRangeMake(0, CFStringGetLength(a.str())),
                                       kCFCompareCaseInsensitive),
            row.expected)
            << row.name;
    }
    CF x(Make(u"abc"));
    CF y(Make(u"ABC"));
    EXPECT_EQ(CFStringCompare(x.str(), y.str(), 0), kCFCompareGreaterThan);  // 'a' > 'A'
    EXPECT_EQ(CFStringCompare(x.str(), y.str(), kCFCompareCaseInsensitive), kCFCompareEqualTo);
    // A range of the first operand against the whole second one.
    CF path(Make(u"/Volumes/Data"));
    EXPECT_EQ(CFStringCompareWithOptions(path.str(), CFSTR("/"), CFRangeMake(0, 1),
                                         kCFCompareCaseInsensitive),
              kCFCompareEqualTo);
    EXPECT_NE(CFStringCompareWithOptions(path.str(), CFSTR("/"),
                                         CFRangeMake(0, CFStringGetLength(path.str())),
                                         kCFCompareCaseInsensitive),
              kCFCompareEqualTo);
}

TEST(CFString, OtherCompareOptions) {
    CF a(Make(u"Caf\u00E9"));
    CF b(Make(u"CAFE"));
    EXPECT_EQ(CFStringCompare(a.str(), b.str(),
                              kCFCompareCaseInsensitive | kCFCompareDiacriticInsensitive),
              kCFCompareEqualTo);
    CF d(Make(u"Cafe\u0301"));
    EXPECT_NE(CFStringCompare(a.str(), d.str(), 0), kCFCompareEqualTo);
    EXPECT_EQ(CFStringCompare(a.str(), d.str(), kCFCompareNonliteral), kCFCompareEqualTo);
    // Ignoring diacritics, a match takes in the marks that follow it.
    CFRange r{};
    CF plain(Make(u"cafe"));
    ASSERT_TRUE(CFStringFindWithOptions(d.str(), plain.str(), CFRangeMake(0, 5),
                                        kCFCompareCaseInsensitive | kCFCompareDiacriticInsensitive,
                                        &r));
    EXPECT_EQ(r.location, 0);
    EXPECT_EQ(r.length, 5);
    EXPECT_FALSE(CFStringFindWithOptions(d.str(), plain.str(), CFRangeMake(0, 5),
                                         kCFCompareCaseInsensitive, &r));
}

TEST(CFString, CaseInsensitiveFind) {
    struct Row {
        const char* name;
        std::u16string haystack, needle;
        CFOptionFlags options;
        CFIndex location, length;  // kCFNotFound when absent
    } rows[] = {
        {"ASCII middle", u"xxReadMe.txt", u"readme", 0, 2, 6},
        {"ASCII absent", u"abcd", u"xyz", 0, kCFNotFound, 0},
        {"ASCII first of two", u"bass", u"S", 0, 2, 1},
        {"ASCII backwards", u"bass", u"S", kCFCompareBackwards, 3, 1},
        {"anchored start fails", u"xab", u"ab", kCFCompareAnchored, kCFNotFound, 0},
        {"anchored start", u"abx", u"AB", kCFCompareAnchored, 0, 2},
        {"anchored end", u"xab", u"AB", kCFCompareAnchored | kCFCompareBackwards, 1, 2},
        {"composed needle in decomposed name", u"R\u00E9sum\u00E9.doc", u"SUM\u00C9", 0, 3, 5},
        {"A diaeresis any case", u"b\u00E4r", u"\u00C4", 0, 1, 2},
        {"diacritic is not folded", u"Resume", u"r\u00E9sum\u00E9", 0, kCFNotFound, 0},
        {"bare e does not match half of e acute", u"caf\u00E9", u"cafe", 0, kCFNotFound, 0},
        {"sharp s against ss", u"Stra\u00DFe", u"SS", 0, 4, 1},
        {"half of a folded sharp s", u"Stra\u00DFe", u"se", 0, kCFNotFound, 0},
        {"Cyrillic", u"\u0416\u0443\u043A.txt", u"\u0423\u041A", 0, 1, 2},
        {"needle longer than text", u"ab", u"abc", 0, kCFNotFound, 0},
        {"empty needle", u"abc", u"", 0, kCFNotFound, 0},
    };
    for (const Row& row : rows) {
        CF h(MakeD(row.haystack));
        CF n(MakeD(row.needle));
        CFRange found = {99, 99};
        Boolean ok =
            CFStringFindWithOptions(h.str(), n.str(), CFRangeMake(0, CFStringGetLength(h.str())),
                                    kCFCompareCaseInsensitive | row.options, &found);
        EXPECT_EQ(ok != 0, row.location != kCFNotFound) << row.name;
        EXPECT_EQ(found.location, row.location) << row.name;
        if (row.location != kCFNotFound) {
            EXPECT_EQ(found.length, row.length) << row.name;
        }
    }
}

TEST(CFString, CaseSensitiveFindOnNonAscii) {
    CF h(MakeD(u"R\u00E9sum\u00E9"));
    CF lower(MakeD(u"\u00E9"));
    CF upper(MakeD(u"\u00C9"));
    CFRange r{};
    ASSERT_TRUE(CFStringFindWithOptions(h.str(), lower.str(), CFRangeMake(0, 8), 0, &r));
    EXPECT_EQ(r.location, 1);
    EXPECT_EQ(r.length, 2);
    ASSERT_TRUE(
        CFStringFindWithOptions(h.str(), lower.str(), CFRangeMake(0, 8), kCFCompareBackwards, &r));
    EXPECT_EQ(r.location, 6);
    EXPECT_FALSE(CFStringFindWithOptions(h.str(), upper.str(), CFRangeMake(0, 8), 0, &r));
    EXPECT_EQ(r.location, kCFNotFound);
}

TEST(CFString, FindWithinARange) {
    CF h(Make(u"bass"));
    CF n(Make(u"s"));
    CFIndex len = CFStringGetLength(h.str());
    // "ends with": search only where the pattern would have to begin.
    CFRange r{};
    EXPECT_TRUE(CFStringFindWithOptions(h.str(), n.str(), CFRangeMake(len - 1, 1),
                                        kCFCompareCaseInsensitive, &r));
    EXPECT_EQ(r.location, 3);
    EXPECT_FALSE(CFStringFindWithOptions(h.str(), n.str(), CFRangeMake(0, 2),
                                         kCFCompareCaseInsensitive, &r));
    EXPECT_EQ(r.location, kCFNotFound);
    // Ranges outside the string are cut, never read past its end.
    EXPECT_FALSE(CFStringFindWithOptions(h.str(), n.str(), CFRangeMake(10, 5), 0, &r));
    EXPECT_TRUE(CFStringFindWithOptions(h.str(), n.str(), CFRangeMake(-3, 100), 0, &r));
    EXPECT_EQ(r.location, 2);

    CF e(MakeD(u"\u00E9t\u00E9"));  // e U+0301 t e U+0301
    CF acute(MakeD(u"\u00C9"));
    EXPECT_TRUE(CFStringFindWithOptions(e.str(), acute.str(), CFRangeMake(1, 4),
                                        kCFCompareCaseInsensitive, &r));
    EXPECT_EQ(r.location, 3);
    EXPECT_EQ(r.length, 2);
    CFRange whole = CFStringFind(e.str(), acute.str(), kCFCompareCaseInsensitive);
    EXPECT_EQ(whole.location, 0);
}

TEST(CFString, PascalStringConversion) {
    Str255 out;
    CF decomposed(MakeD(u"Caf\u00E9"));
    ASSERT_EQ(Units(decomposed.str()), u"Cafe\u0301");
    ASSERT_TRUE(CFStringGetPascalString(decomposed.str(), out, 256, kCFStringEncodingMacRoman));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out + 1), out[0]), "Caf\x8E");

    CF cyrillic(Make(u"\u0416\u0443\u043A"));
    std::memset(out, 'x', sizeof out);
    EXPECT_FALSE(CFStringGetPascalString(cyrillic.str(), out, 256, kCFStringEncodingMacRoman));
    EXPECT_EQ(out[0], 0);  // left empty, never '?' substitutes or stale bytes

    ASSERT_TRUE(CFStringGetPascalString(cyrillic.str(), out, 256, kCFStringEncodingUTF8));
    EXPECT_EQ(out[0], 6);

    CF apple(Make(u"\uF8FF\u0192"));
    ASSERT_TRUE(CFStringGetPascalString(apple.str(), out, 256, kCFStringEncodingMacRoman));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out + 1), out[0]), "\xF0\xC4");

    std::u16string longName(255, u'a');
    CF fits(Make(longName));
    EXPECT_TRUE(CFStringGetPascalString(fits.str(), out, 256, kCFStringEncodingMacRoman));
    EXPECT_EQ(out[0], 255);
    CF tooLong(Make(longName + u"b"));
    EXPECT_FALSE(CFStringGetPascalString(tooLong.str(), out, 256, kCFStringEncodingMacRoman));
    EXPECT_EQ(out[0], 0);
    Str31 small;
    EXPECT_FALSE(
        CFStringGetPascalString(fits.str(), small, sizeof small, kCFStringEncodingMacRoman));
}

TEST(CFString, CStringConversion) {
    CF path(MakeD(u"/Users/\u00E9t\u00E9/\uF8FF"));
    CFIndex max = CFStringGetMaximumSizeForEncoding(CFStringGetLength(path.str()) + 1,
                                                    kCFStringEncodingMacRoman);
    std::string buffer(static_cast<std::size_t>(max), 'x');
    ASSERT_TRUE(CFStringGetCString(path.str(), buffer.data(), max, kCFStringEncodingMacRoman));
    EXPECT_STREQ(buffer.c_str(), "/Users/\x8Et\x8E/\xF0");
    EXPECT_EQ(CFStringGetCStringPtr(path.str(), kCFStringEncodingMacRoman), nullptr);

    char tiny[4];
    EXPECT_FALSE(CFStringGetCString(path.str(), tiny, sizeof tiny, kCFStringEncodingMacRoman));
    EXPECT_EQ(tiny[0], '\0');
    CF ab(Make(u"abc"));
    EXPECT_FALSE(CFStringGetCString(ab.str(), tiny, 3, kCFStringEncodingUTF8));  // no room for 0
    EXPECT_TRUE(CFStringGetCString(ab.str(), tiny, 4, kCFStringEncodingUTF8));
    EXPECT_STREQ(tiny, "abc");

    CF cyr(Make(u"\u0416"));
    char buf[16];
    EXPECT_FALSE(CFStringGetCString(cyr.str(), buf, sizeof buf, kCFStringEncodingMacRoman));
    ASSERT_TRUE(CFStringGetCString(cyr.str(), buf, sizeof buf, kCFStringEncodingUTF8));
    EXPECT_STREQ(buf, "\xD0\x96");

    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(10, kCFStringEncodingMacRoman), 10);
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(10, kCFStringEncodingUTF8), 30);
}

}  // namespace
