// The name criterion and the folded text search. The name operators are run
// through real find commands (intake, engine, reply) on real files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "command/SeekwrightHandler.h"
#include "params/SearchParameters.h"
#include "params/Terminology.h"
#include "platform/Memory.h"
#include "search/CriterionTests.h"
#include "search/NameTest.h"
#include "search/SearchFixture.h"
#include "search/TextMatch.h"
#include "text/AlertDisplays.h"
#include "text/Alerts.h"
#include "text/TextUtils.h"

using namespace sw::test;

namespace {

// --- FindFoldedText ------------------------------------------------------------

SInt16 Find(const char* needle, const char* haystack, SInt16 start = 0) {
    Str255 n, h;
    CToPString(needle, n);
    CToPString(haystack, h);
    return FindFoldedText(n, h, start);
}

TEST(FindFoldedText, FindsTheLeftmostMatchAfterFolding) {
    struct Row {
        const char* name;
        const char* needle;
        const char* haystack;
        SInt16 start;
        SInt16 expected;
    } rows[] = {
        {"AB in AAB", "AB", "AAB", 0, 2},
        {"AB in XAB", "AB", "XAB", 0, 2},
        {"inside a broken-off partial match", "TEXT", "TTXTTEXT", 0, 5},
        {"across code boundaries", "XTAP", "TEXTAPPL", 0, 3},
        {"at the start", "TEXT", "TEXTAPPL", 0, 1},
        {"at the end", "APPL", "TEXTAPPL", 0, 5},
        {"whole", "TEXT", "TEXT", 0, 1},
        {"case folded", "text", "ttxtTeXt", 0, 5},
        {"diacritics stripped in the haystack", "CAFE", "caf\x8E", 0, 1},  // café
        {"diacritics stripped in the needle", "\x83T\x83", "ETE", 0, 1},   // ÉTÉ
        {"accented lower case", "\x9A", "BRO", 0, 3},                      // ö
        {"absent", "ZZ", "TEXTAPPL", 0, -1},
        {"needle longer than haystack", "TEXTAPPLX", "TEXTAPPL", 0, -1},
        {"empty needle", "", "TEXT", 0, -1},
        {"empty needle and haystack", "", "", 0, -1},
        {"empty haystack", "A", "", 0, -1},
        {"start below 1 is 1", "T", "TEXT", -5, 1},
        {"start 1", "T", "TEXT", 1, 1},
        {"start skips an earlier match", "T", "TEXT", 2, 4},
        {"start at the last byte", "T", "TEXT", 4, 4},
        {"start beyond the haystack", "T", "TEXT", 5, -1},
        {"a match may not run past the end", "TT", "TEXT", 4, -1},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Find(row.needle, row.haystack, row.start), row.expected) << row.name;
}

TEST(FindFoldedText, WorksOnFullStringsAndLeavesItsArgumentsAlone) {
    Str255 haystack;
    haystack[0] = 255;
    for (int i = 1; i <= 255; ++i) haystack[i] = 'a';
    haystack[254] = 'x';
    haystack[255] = 'y';
    Str255 needle;
    CToPString("XY", needle);
    EXPECT_EQ(FindFoldedText(needle, haystack, 0), 254);
    EXPECT_EQ(haystack[254], 'x') << "folding works on copies";
    EXPECT_EQ(needle[1], 'X');
    Str255 whole;
    CopyPString(haystack, whole);
    EXPECT_EQ(FindFoldedText(whole, haystack, 0), 1);
}

// --- The name test on its own --------------------------------------------------

class Names {
  public:
    // UTF-8 names; nullptr stands for an element that is not text.
    explicit Names(std::initializer_list<const char*> names) {
        AECreateList(nullptr, 0, false, &list_);
        for (const char* n : names) {
            if (n == nullptr)  // an element that is not text
                AEPutPtr(&list_, 0, typeAlias, "alias", 5);
            else
                AEPutPtr(&list_, 0, typeUTF8Text, n, Size(std::strlen(n)));
        }
        patterns_.Read(&list_);
    }
    ~Names() { AEDisposeDesc(&list_); }
    long elementCount() const { return patterns_.elementCount(); }
    std::size_t readableCount() const { return patterns_.readableCount(); }
    bool Matches(const char* name, SInt16 op) const {
        CFStringRef s = CFStringCreateWithCString(nullptr, name, kCFStringEncodingUTF8);
        CFMutableStringRef d = CFStringCreateMutableCopy(nullptr, 0, s);
        CFStringNormalize(d, kCFStringNormalizationFormD);
        const bool result = NameMatches(d, patterns_, op);
        CFRelease(d);
        CFRelease(s);
        return result;
    }

  private:
    AEDescList list_{};
    NamePatterns patterns_;
};

TEST(NameMatches, EndsWithLooksAtTheEndEvenWhenThePatternOccursEarlier) {
    Names s({"s"});
    EXPECT_TRUE(s.Matches("bass", kOpEndsWith));
    EXPECT_FALSE(s.Matches("bass", kOpNotEndsWith));
    EXPECT_FALSE(s.Matches("bassoon", kOpEndsWith));
    EXPECT_TRUE(s.Matches("bassoon", kOpNotEndsWith));
    EXPECT_FALSE(Names({"bassoons"}).Matches("bassoon", kOpEndsWith)) << "longer than the name";
    EXPECT_FALSE(Names({"bassoons"}).Matches("bassoon", kOpStartsWith));
}

TEST(NameMatches, CaseIsFoldedAndDiacriticsAreNot) {
    EXPECT_TRUE(Names({"README"}).Matches("ReadMe", kOpIs));
    EXPECT_FALSE(Names({"README"}).Matches("ReadMe", kOpIsNot));
    EXPECT_TRUE(Names({"\xC3\x89T\xC3\x89"}).Matches("\xC3\xA9t\xC3\xA9", kOpIs));  // ÉTÉ, été
    EXPECT_FALSE(Names({"ete"}).Matches("\xC3\xA9t\xC3\xA9", kOpIs));
    EXPECT_FALSE(Names({"cafe"}).Matches("caf\xC3\xA9", kOpContains)) << "e is not é";
    EXPECT_FALSE(Names({"cafe"}).Matches("caf\xC3\xA9", kOpStartsWith));
    EXPECT_TRUE(Names({"caf"}).Matches("caf\xC3\xA9", kOpStartsWith));
    // Unicode case folding beyond ASCII: Greek and Cyrillic.
    EXPECT_TRUE(Names({"\xCE\xA3\xCE\x9F\xCE\xA6"})
                    .Matches("\xCF\x83\xCE\xBF\xCF\x86.txt",
                             kOpStartsWith));  // ΣΟΦ, σοφ
    EXPECT_TRUE(Names({"\xD0\x9F\xD0\xA0\xD0\x98"})
                    .Matches("\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2",
                             kOpContains));  // ПРИ, прив
}

TEST(NameMatches, AnEmptyListPassesOnlyTheAllOperators) {
    Names none({});
    for (SInt16 op = kOpIs; op <= kOpNotEndsWith; ++op) {
        const bool passes = !(op == kOpIs || op == kOpContainsAny || op == kOpNotContainsAny ||
                              op == kOpStartsWith || op == kOpEndsWith);
        EXPECT_EQ(none.Matches("anything", op), passes) << "operator " << op;
    }
}

TEST(NameMatches, UnreadableElementsAreSkippedButCounted) {
    Names onlyUnreadable({nullptr});
    EXPECT_EQ(onlyUnreadable.elementCount(), 1);
    EXPECT_EQ(onlyUnreadable.readableCount(), 0u);
    for (SInt16 op = kOpIs; op <= kOpNotEndsWith; ++op) {
        // The running result keeps its start: false for 1, 4 and 7; true for
        // the others, 9 and 11 included since the list has one element.
        const bool passes = !(op == kOpIs || op == kOpContainsAny || op == kOpNotContainsAny);
        EXPECT_EQ(onlyUnreadable.Matches("abc", op), passes) << "operator " << op;
    }
    Names mixed({nullptr, "ab"});
    EXPECT_EQ(mixed.elementCount(), 2);
    EXPECT_TRUE(mixed.Matches("abc", kOpStartsWith));
    EXPECT_FALSE(mixed.Matches("cab", kOpStartsWith)) << "two elements: any, and only ab is read";
    EXPECT_TRUE(mixed.Matches("cab", kOpEndsWith));
    EXPECT_TRUE(mixed.Matches("cab", kOpIsNot));
    EXPECT_FALSE(mixed.Matches("AB", kOpIsNot));
}

TEST(NameMatches, OperatorsOutsideTheNameRangePassEverything) {
    Names ab({"ab"});
    for (SInt16 op : {SInt16(0), SInt16(13), SInt16(16), SInt16(-1)})
        EXPECT_TRUE(ab.Matches("xyz", op)) << "operator " << op;
}

TEST(NameMatches, TheByteWisePathAnswersAsTheStringRoutines) {
    // ASCII patterns against names of ASCII and combining marks take a
    // byte-wise path; it must answer as the string routines do by the plain
    // definitions of each relation (ends with: the pattern found at name
    // length - pattern length).
    const char* patterns[] = {"ab", "AB", "a", "b", "abc", "", "ba", "x.TXT", "cafe", "e", "s"};
    const char* names[] = {"ab",
                           "AB",
                           "abab",
                           "xab",
                           "ba",
                           "b",
                           "x.txt",
                           "aB.txt",
                           "cafe\xCC\x81",       // café, decomposed
                           "Cafe\xCC\x81s",      // Cafés
                           "cafe\xCC\x81 cafe",  // café cafe
                           "a\xCC\x81"
                           "b\xCC\x88"
                           "ab",  // áb̈ab
                           "x.txt\xCC\x81",
                           "\xCC\x81"
                           "ab"};  // a lone mark first
    for (const char* p : patterns) {
        Names list({p});
        for (const char* n : names) {
            for (SInt16 op = kOpIs; op <= kOpNotEndsWith; ++op) {
                CFStringRef s = CFStringCreateWithCString(nullptr, n, kCFStringEncodingUTF8);
                CFStringRef pat = CFStringCreateWithCString(nullptr, p, kCFStringEncodingUTF8);
                bool expected = false;
                const CFRange all = CFRangeMake(0, CFStringGetLength(s));
                switch (op) {
                    case kOpIs:
                    case kOpIsNot:
                        expected =
                            CFStringCompareWithOptions(s, pat, all, kCFCompareCaseInsensitive) == 0;
                        break;
                    case kOpStartsWith:
                    case kOpNotStartsWith: {
                        CFRange r;
                        expected =
                            CFStringFindWithOptions(s, pat, all, kCFCompareCaseInsensitive, &r) &&
                            r.location == 0;
                        break;
                    }
                    case kOpEndsWith:
                    case kOpNotEndsWith: {
                        const CFIndex at = CFStringGetLength(s) - CFStringGetLength(pat);
                        CFRange r;
                        expected =
                            at >= 0 && CFStringGetLength(pat) > 0 &&
                            CFStringFindWithOptions(s, pat, CFRangeMake(at, CFStringGetLength(pat)),
                                                    kCFCompareCaseInsensitive, &r);
                        break;
                    }
                    default:
                        expected = CFStringFindWithOptions(s, pat, all, kCFCompareCaseInsensitive,
                                                           nullptr);
                }
                const bool negated = op == kOpIsNot || op == kOpNotContains ||
                                     op == kOpNotContainsAny || op == kOpNotContainsEach ||
                                     op == kOpNotStartsWith || op == kOpNotEndsWith;
                EXPECT_EQ(list.Matches(n, op), expected != negated)
                    << "pattern '" << p << "' name '" << n << "' operator " << op;
                CFRelease(pat);
                CFRelease(s);
            }
        }
    }
}

// --- Through the find command ------------------------------------------------------

// A name-list item as the caller sends it.
struct NameItem {
    DescType type;  // 'TEXT' (Mac OS Roman), 'utxt', 'utf8', or another to be unreadable
    std::string bytes;
};

NameItem Roman(const std::string& utf8) {
    Str255 p;
    EXPECT_TRUE(Utf8ToPString(utf8, p)) << utf8;
    return {typeChar, PStringBytes(p)};
}
NameItem Unicode(const std::string& utf8) {
    std::u16string units;
    EXPECT_TRUE(Utf8ToUtf16(utf8, &units)) << utf8;
    return {typeUnicodeText,
            std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2)};
}
NameItem Unreadable() {
    return {typeAlias, "no text here"};
}

// Composed (form C) UTF-8 of a UTF-8 text, to compare result paths whatever
// form they come back in.
std::string Composed(const std::string& utf8) {
    CFStringRef s = CFStringCreateWithCString(nullptr, utf8.c_str(), kCFStringEncodingUTF8);
    if (s == nullptr) return utf8;
    CFMutableStringRef c = CFStringCreateMutableCopy(nullptr, 0, s);
    CFStringNormalize(c, kCFStringNormalizationFormC);
    char buffer[4096];
    std::string out = CFStringGetCString(c, buffer, sizeof buffer, kCFStringEncodingUTF8)
                          ? std::string(buffer)
                          : utf8;
    CFRelease(c);
    CFRelease(s);
    return out;
}

class FindByName : public ::testing::Test {
  protected:
    void SetUp() override {
        InitAlertParams();
        ASSERT_EQ(InstallFileCoercions(), noErr);
        ASSERT_EQ(
            AEInstallEventHandler(kSeekwrightEventClass, kFindEventID, SeekwrightHandler, 0, false),
            noErr);
    }
    void TearDown() override { ClearSearchParameters(); }

    struct Options {
        bool subfolders = false;
        bool folders = false;
    };

    // Runs one find command over `root` with the name keyword and items; the
    // results as composed paths relative to `root` ("" prefix stripped).
    std::set<std::string> Run(const std::string& root, AEKeyword keyword,
                              const std::vector<NameItem>& items, Options options) {
        return RunMany({root}, keyword, items, options, root + "/");
    }
    std::set<std::string> RunMany(const std::vector<std::string>& roots, AEKeyword keyword,
                                  const std::vector<NameItem>& items, Options options,
                                  const std::string& strip) {
        AppleEvent event, reply;
        AEInitializeDesc(&event);
        AEInitializeDesc(&reply);
        AEAddressDesc target;
        const OSType signature = kSeekwrightEventClass;
        EXPECT_EQ(AECreateDesc(typeApplSignature, &signature, 4, &target), noErr);
        EXPECT_EQ(AECreateAppleEvent(kSeekwrightEventClass, kFindEventID, &target,
                                     kAutoGenerateReturnID, kAnyTransactionID, &event),
                  noErr);
        AEDisposeDesc(&target);

        AEDescList folders;
        AECreateList(nullptr, 0, false, &folders);
        for (const std::string& root : roots) {
            FSRef ref;
            EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(root.c_str()), &ref, nullptr),
                      noErr)
                << root;
            FSSpec spec;
            EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr),
                      noErr);
            AliasHandle alias = nullptr;
            EXPECT_EQ(NewAlias(nullptr, &spec, &alias), noErr);
            AEPutPtr(&folders, 0, typeAlias, *alias, GetHandleSize(alias));
            DisposeHandle(alias);
        }
        AEPutParamDesc(&event, keySearchFolders, &folders);
        AEDisposeDesc(&folders);

        AEDescList names;
        AECreateList(nullptr, 0, false, &names);
        for (const NameItem& item : items)
            EXPECT_EQ(AEPutPtr(&names, 0, item.type, item.bytes.data(), Size(item.bytes.size())),
                      noErr);
        AEPutParamDesc(&event, keyword, &names);
        AEDisposeDesc(&names);

        const OSType form = kResultPOSIXPath;
        AEPutParamPtr(&event, keyResultType, typeEnumerated, &form, 4);
        const Boolean yes = 1, no = 0;
        AEPutParamPtr(&event, keyWantSubfolders, typeBoolean, options.subfolders ? &yes : &no, 1);
        AEPutParamPtr(&event, keyWantFolders, typeBoolean, options.folders ? &yes : &no, 1);

        ScopedAlertRecorder alerts;
        EXPECT_EQ(AEProcessAppleEvent(&event, &reply), noErr);
        EXPECT_TRUE(alerts.alerts().empty())
            << (alerts.alerts().empty() ? "" : alerts.alerts()[0].text);
        AEDescList list;
        AEInitializeDesc(&list);
        std::set<std::string> results;
        if (AEGetParamDesc(&reply, keyDirectObject, typeAEList, &list) == noErr) {
            for (const Element& e : Elements(list)) {
                std::string path = Composed(e.text);
                if (path.rfind(strip, 0) == 0) path.erase(0, strip.size());
                results.insert(path);
            }
        }
        AEDisposeDesc(&list);
        AEDisposeDesc(&reply);
        AEDisposeDesc(&event);
        return results;
    }

    TempDir dir_;
};

const AEKeyword kNameKeyword[13] = {0,
                                    FourCC("nm11"),
                                    FourCC("nm12"),
                                    FourCC("nm01"),
                                    FourCC("nm02"),
                                    FourCC("nm03"),
                                    FourCC("nm04"),
                                    FourCC("nm05"),
                                    FourCC("nm06"),
                                    FourCC("nm07"),
                                    FourCC("nm08"),
                                    FourCC("nm09"),
                                    FourCC("nm10")};

TEST_F(FindByName, TheOperatorTableWithAbAndCd) {
    const std::string root = dir_ / "table";
    MakeDir(root);
    for (const char* name : {"abcd", "xab", "cdx", "xyz"}) WriteFile(root + "/" + name);
    // Which of abcd, xab, cdx, xyz pass, per operator.
    struct Row {
        const char* name;
        SInt16 op;
        const char* passes;  // one letter per name: y or n
    } rows[] = {
        {"1 is", kOpIs, "nnnn"},
        {"2 is not", kOpIsNot, "yyyy"},
        {"3 contains", kOpContains, "ynnn"},
        {"4 contains any of", kOpContainsAny, "yyyn"},
        {"5 contains each of", kOpContainsEach, "ynnn"},
        {"6 does not contain", kOpNotContains, "nnny"},
        {"7 does not contain any of", kOpNotContainsAny, "nyyy"},
        {"8 does not contain each of", kOpNotContainsEach, "nnny"},
        {"9 starts with", kOpStartsWith, "ynyn"},
        {"10 does not start with", kOpNotStartsWith, "nyny"},
        {"11 ends with", kOpEndsWith, "yynn"},
        {"12 does not end with", kOpNotEndsWith, "nnyy"},
    };
    const char* names[] = {"abcd", "xab", "cdx", "xyz"};
    for (const Row& row : rows) {
        std::set<std::string> expected;
        for (int i = 0; i < 4; ++i)
            if (row.passes[i] == 'y') expected.insert(names[i]);
        EXPECT_EQ(Run(root, kNameKeyword[row.op], {Roman("ab"), Roman("cd")}, {}), expected)
            << row.name;
        EXPECT_EQ(SearchParameters.nameOp, row.op) << row.name;
    }
}

TEST_F(FindByName, SingleNamesEmptyListsAndUnreadableElements) {
    const std::string root = dir_ / "single";
    MakeDir(root);
    for (const char* name : {"bass", "ReadMe", "abcd", "xab"}) WriteFile(root + "/" + name);
    const std::set<std::string> all = {"bass", "ReadMe", "abcd", "xab"};
    struct Row {
        const char* name;
        SInt16 op;
        std::vector<NameItem> items;
        std::set<std::string> expected;
    } rows[] = {
        {"ends with s: bass", kOpEndsWith, {Roman("s")}, {"bass"}},
        {"does not end with s", kOpNotEndsWith, {Roman("s")}, {"ReadMe", "abcd", "xab"}},
        {"README is ReadMe", kOpIs, {Roman("README")}, {"ReadMe"}},
        {"single starts with must hold", kOpStartsWith, {Roman("ab")}, {"abcd"}},
        {"single ends with must hold", kOpEndsWith, {Roman("ab")}, {"xab"}},
        {"contains and contains each agree",
         kOpContains,
         {Roman("a")},
         {"bass", "ReadMe", "abcd", "xab"}},
        {"a single does not contain", kOpNotContains, {Roman("b")}, {"ReadMe"}},
        {"a single does not contain any of", kOpNotContainsAny, {Roman("b")}, {"ReadMe"}},
        {"a single does not contain each of", kOpNotContainsEach, {Roman("b")}, {"ReadMe"}},
        {"unreadable element skipped, contains any of",
         kOpContainsAny,
         {Unreadable(), Roman("ss")},
         {"bass"}},
        {"unreadable element skipped, starts with (two elements)",
         kOpStartsWith,
         {Unreadable(), Roman("ab")},
         {"abcd"}},
        {"numbers are names", kOpContains, {{typeSInt32, std::string("\0\0\0\x01", 4)}}, {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Run(root, kNameKeyword[row.op], row.items, {}), row.expected) << row.name;

    // An empty list: operators 1, 4, 7, 9 and 11 pass nothing, the others everything.
    for (SInt16 op = kOpIs; op <= kOpNotEndsWith; ++op) {
        const bool none = op == kOpIs || op == kOpContainsAny || op == kOpNotContainsAny ||
                          op == kOpStartsWith || op == kOpEndsWith;
        EXPECT_EQ(Run(root, kNameKeyword[op], {}, {}), none ? std::set<std::string>{} : all)
            << "empty list, operator " << op;
    }
}

// UTF-8 with é, É, ü and Ü decomposed.
std::string Decomposed(std::string s) {
    const std::pair<const char*, const char*> swaps[] = {
        {"\xC3\xA9", "e\xCC\x81"},
        {"\xC3\x89", "E\xCC\x81"},
        {"\xC3\xBC", "u\xCC\x88"},
        {"\xC3\x9C", "U\xCC\x88"},
    };
    for (auto [from, to] : swaps) {
        for (std::size_t at; (at = s.find(from)) != std::string::npos;)
            s.replace(at, std::strlen(from), to);
    }
    return s;
}

TEST_F(FindByName, ComposedAndDecomposedSpellingsMatchEachOther) {
    const std::string root = dir_ / "forms";
    MakeDir(root);
    MakeDir(root + "/c");
    MakeDir(root + "/d");
    const std::string cafe = "Caf\xC3\xA9.txt";  // Café.txt
    const std::string muller = "M\xC3\xBCller";  // Müller
    // The same names stored composed in c/ and decomposed in d/, and their
    // unaccented twins in c/.
    WriteFile(root + "/c/" + cafe);
    WriteFile(root + "/c/" + muller);
    WriteFile(root + "/d/" + Decomposed(cafe));
    WriteFile(root + "/d/" + Decomposed(muller));
    WriteFile(root + "/c/Cafe.txt");
    WriteFile(root + "/c/Muller");
    const std::string cC = "c/" + cafe, cD = "d/" + cafe, mC = "c/" + muller, mD = "d/" + muller;
    const std::string plainCafe = "c/Cafe.txt", plainMuller = "c/Muller";

    struct Row {
        const char* name;
        SInt16 op;
        std::vector<std::string> patterns;  // composed UTF-8
        std::set<std::string> expected;
    } rows[] = {
        {"is", kOpIs, {"caf\xC3\xA9.TXT"}, {cC, cD}},
        {"is not", kOpIsNot, {"caf\xC3\xA9.txt"}, {mC, mD, plainCafe, plainMuller}},
        {"contains", kOpContains, {"\xC3\xA9"}, {cC, cD}},
        {"contains any of", kOpContainsAny, {"\xC3\x9C", "\xC3\xA9"}, {cC, cD, mC, mD}},
        {"contains each of", kOpContainsEach, {"f\xC3\xA9", "caf"}, {cC, cD}},
        {"does not contain", kOpNotContains, {"\xC3\xBC"}, {cC, cD, plainCafe, plainMuller}},
        {"does not contain any of",
         kOpNotContainsAny,
         {"\xC3\xBC", "ller"},
         {cC, cD, plainCafe, plainMuller}},
        {"does not contain each of",
         kOpNotContainsEach,
         {"\xC3\xA9", "\xC3\xBC"},
         {plainCafe, plainMuller}},
        {"starts with", kOpStartsWith, {"M\xC3\x9C"}, {mC, mD}},
        {"does not start with", kOpNotStartsWith, {"m\xC3\xBC"}, {cC, cD, plainCafe, plainMuller}},
        {"ends with", kOpEndsWith, {"\xC3\x89.TXT"}, {cC, cD}},
        {"does not end with", kOpNotEndsWith, {"\xC3\xA9.txt"}, {mC, mD, plainCafe, plainMuller}},
    };
    for (const Row& row : rows) {
        std::vector<NameItem> composed, decomposed, roman;
        for (const std::string& p : row.patterns) {
            composed.push_back(Unicode(p));
            decomposed.push_back(Unicode(Decomposed(p)));
            roman.push_back(Roman(p));
        }
        const Options walkAll{true, false};
        EXPECT_EQ(Run(root, kNameKeyword[row.op], composed, walkAll), row.expected)
            << row.name << " (pattern composed)";
        EXPECT_EQ(Run(root, kNameKeyword[row.op], decomposed, walkAll), row.expected)
            << row.name << " (pattern decomposed)";
        EXPECT_EQ(Run(root, kNameKeyword[row.op], roman, walkAll), row.expected)
            << row.name << " (pattern in Mac OS Roman)";
    }
}

// --- Against GNU find on a tree made by others ------------------------------------

std::set<std::string> Lines(const std::string& command) {
    std::set<std::string> lines;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return lines;
    std::string line;
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
        if (c == '\n') {
            lines.insert(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    pclose(pipe);
    return lines;
}

bool IsSidecarPath(const std::string& path) {
    const auto slash = path.rfind('/');
    return path.compare(slash == std::string::npos ? 0 : slash + 1, 2, "._") == 0;
}

TEST_F(FindByName, AgreesWithGnuFindOnUsrShareDoc) {
    const std::string tree = "/usr/share/doc";
    std::error_code ec;
    if (!std::filesystem::is_directory(tree, ec) || std::system("find --version >/dev/null 2>&1"))
        GTEST_SKIP() << "needs " << tree << " and GNU find";
    // ASCII patterns; -iname with these wildcards is a case-insensitive
    // contains / starts with / ends with / is. AppleDouble "._" sidecars are
    // Mac metadata of their neighbour, not items, so both sides leave "._"
    // names out.
    struct Row {
        SInt16 op;
        const char* pattern;
        const char* glob;
    } rows[] = {
        {kOpContains, "copy", "*copy*"},      {kOpContains, "READ", "*READ*"},
        {kOpContains, ".gz", "*.gz*"},        {kOpContains, "e", "*e*"},
        {kOpStartsWith, "change", "change*"}, {kOpStartsWith, "LIB", "LIB*"},
        {kOpStartsWith, "r", "r*"},           {kOpEndsWith, ".Gz", "*.Gz"},
        {kOpEndsWith, "html", "*html"},       {kOpEndsWith, "s", "*s"},
        {kOpIs, "copyright", "copyright"},    {kOpIs, "readme", "readme"},
        {kOpIs, "NEWS.gz", "NEWS.gz"},        {kOpIs, "changelog.Debian.gz", "changelog.Debian.gz"},
    };
    std::size_t nonEmpty = 0;
    for (const Row& row : rows) {
        std::set<std::string> expected = Lines("LC_ALL=C find " + tree + " -mindepth 1 -iname '" +
                                               row.glob + "' ! -name '._*' 2>/dev/null");
        std::set<std::string> got =
            RunMany({tree}, kNameKeyword[row.op], {Roman(row.pattern)}, {true, true}, "");
        std::erase_if(got, IsSidecarPath);
        EXPECT_EQ(got, expected) << "pattern '" << row.pattern << "' operator " << row.op;
        if (!expected.empty()) ++nonEmpty;
    }
    EXPECT_GE(nonEmpty, 8u) << "the tree should give most patterns something to find";
}

TEST(CriterionTable, TestsTheTwelveNameKeywords) {
    for (int op = kOpIs; op <= kOpNotEndsWith; ++op)
        EXPECT_TRUE(CriterionIsTested(kNameKeyword[op])) << "operator " << op;
}

}  // namespace
