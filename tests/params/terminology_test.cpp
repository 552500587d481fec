// The scripting terminology table.

#include "params/Terminology.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string CodeText(OSType code) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        unsigned char c = static_cast<unsigned char>(code >> shift);
        if (c == 0xC4)
            s += "\xC6\x92";  // ƒ in UTF-8
        else
            s += static_cast<char>(c);
    }
    return s;
}

// Every keyword the find command takes, with the form its getter reads.
struct KeywordRow {
    const char* keyword;  // with "ƒ" standing for 0xC4
    TermValue value;
};

OSType Code(const char* text) {
    std::string s(text);
    std::string roman;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s.compare(i, 2, "\xC6\x92") == 0) {
            roman += '\xC4';
            ++i;
        } else {
            roman += s[i];
        }
    }
    EXPECT_EQ(roman.size(), 4u) << text;
    OSType code = 0;
    for (char c : roman) code = (code << 8) | static_cast<unsigned char>(c);
    return code;
}

const KeywordRow kEveryKeyword[] = {
    {"ƒdsk", TermValue::kLocations},  {"ƒold", TermValue::kLocations},
    {"Rslt", TermValue::kResultForm}, {"nm01", TermValue::kTextList},
    {"nm02", TermValue::kTextList},   {"nm03", TermValue::kTextList},
    {"nm04", TermValue::kTextList},   {"nm05", TermValue::kTextList},
    {"nm06", TermValue::kTextList},   {"nm07", TermValue::kTextList},
    {"nm08", TermValue::kTextList},   {"nm09", TermValue::kTextList},
    {"nm10", TermValue::kTextList},   {"nm11", TermValue::kTextList},
    {"nm12", TermValue::kTextList},   {"ƒcr1", TermValue::kCodeList},
    {"ƒcr2", TermValue::kCodeList},   {"ƒtp1", TermValue::kCodeList},
    {"ƒtp2", TermValue::kCodeList},   {"Kind", TermValue::kKind},
    {"!Kin", TermValue::kKind},       {"ƒlb1", TermValue::kLabel},
    {"ƒlb2", TermValue::kLabel},      {"ƒsz1", TermValue::kNumber},
    {"ƒsz2", TermValue::kNumber},     {"ƒsz3", TermValue::kNumber},
    {"ƒdc1", TermValue::kDate},       {"ƒdc2", TermValue::kDate},
    {"ƒdc3", TermValue::kDate},       {"ƒdc4", TermValue::kDate},
    {"ƒdm1", TermValue::kDate},       {"ƒdm2", TermValue::kDate},
    {"ƒdm3", TermValue::kDate},       {"ƒdm4", TermValue::kDate},
    {"ƒvs1", TermValue::kText},       {"ƒvs2", TermValue::kText},
    {"ƒvs3", TermValue::kText},       {"ƒvs4", TermValue::kText},
    {"ƒcm1", TermValue::kText},       {"ƒcm2", TermValue::kText},
    {"ƒcm3", TermValue::kText},       {"ƒcm4", TermValue::kText},
    {"ƒcm5", TermValue::kText},       {"ƒcm6", TermValue::kText},
    {"ƒmax", TermValue::kNumber},     {"invs", TermValue::kBoolean},
    {"ƒsub", TermValue::kBoolean},    {"ƒfil", TermValue::kBoolean},
    {"ƒfol", TermValue::kBoolean},    {"ƒdsp", TermValue::kBoolean},
    {"ƒres", TermValue::kBoolean},    {"ƒsil", TermValue::kBoolean},
    {"seco", TermValue::kBoolean},    {"minu", TermValue::kBoolean},
    {"hour", TermValue::kBoolean},    {"time", TermValue::kBoolean},
    {"days", TermValue::kBoolean},    {"mont", TermValue::kBoolean},
    {"year", TermValue::kBoolean},    {"date", TermValue::kBoolean},
};

TEST(Terminology, EveryKeywordHasExactlyOneTerm) {
    std::set<OSType> expected;
    for (const KeywordRow& row : kEveryKeyword) {
        OSType code = Code(row.keyword);
        expected.insert(code);
        const ParameterTerm* term = ParameterTermByKeyword(code);
        ASSERT_NE(term, nullptr) << row.keyword;
        EXPECT_EQ(term->value, row.value) << row.keyword;
    }
    EXPECT_EQ(FindParameterTerms().size(), expected.size());
    std::set<OSType> keywords;
    std::set<std::string> names;
    for (const ParameterTerm& term : FindParameterTerms()) {
        EXPECT_TRUE(expected.count(term.keyword)) << term.name;
        EXPECT_TRUE(keywords.insert(term.keyword).second) << term.name;
        std::string lower;
        for (const char* p = term.name; *p; ++p)
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
        EXPECT_TRUE(names.insert(lower).second) << term.name;
        EXPECT_NE(term.description, nullptr) << term.name;
    }
}

TEST(Terminology, DescriptorTypesMatchTheValueForm) {
    for (const ParameterTerm& term : FindParameterTerms()) {
        switch (term.value) {
            case TermValue::kLocations:
                EXPECT_EQ(term.sendType, typeAEList) << term.name;
                EXPECT_EQ(term.itemType, typeAlias) << term.name;
                EXPECT_EQ(term.requestedType, typeAEList) << term.name;
                break;
            case TermValue::kTextList:
            case TermValue::kCodeList:
                EXPECT_EQ(term.sendType, typeAEList) << term.name;
                EXPECT_EQ(term.itemType, typeChar) << term.name;
                break;
            case TermValue::kResultForm:
            case TermValue::kKind:
                EXPECT_EQ(term.sendType, typeEnumerated) << term.name;
                break;
            case TermValue::kBoolean:
                EXPECT_EQ(term.sendType, typeBoolean) << term.name;
                EXPECT_EQ(term.requestedType, typeBoolean) << term.name;
                break;
            case TermValue::kDate:
                EXPECT_EQ(term.sendType, typeLongDateTime) << term.name;
                break;
            case TermValue::kNumber:
                EXPECT_EQ(term.sendType, typeSInt32) << term.name;
                EXPECT_EQ(term.requestedType, typeChar) << term.name;
                break;
            case TermValue::kLabel:
                EXPECT_EQ(term.requestedType, typeWildCard) << term.name;
                break;
            case TermValue::kText:
                EXPECT_EQ(term.sendType, typeChar) << term.name;
                break;
        }
        if (term.sendType != typeAEList) {
            EXPECT_EQ(term.itemType, 0u) << term.name;
        }
    }
}

TEST(Terminology, LookupByName) {
    struct Row {
        const char* name;
        const char* keyword;
    } rows[] = {
        {"in disks", "ƒdsk"},
        {"in folders", "ƒold"},
        {"IN Folders", "ƒold"},
        {"  name contains ", "nm01"},
        {"name is", "nm11"},
        {"name is not", "nm12"},
        {"creator is", "ƒcr1"},
        {"file type is not", "ƒtp2"},
        {"kind is", "Kind"},
        {"label is", "ƒlb1"},
        {"size is less than", "ƒsz1"},
        {"size is", "ƒsz3"},
        {"date created is", "ƒdc1"},
        {"date modified is after", "ƒdm3"},
        {"version contains", "ƒvs3"},
        {"comments contain", "ƒcm1"},
        {"classic comments contain", "ƒcm3"},
        {"x comments do not contain", "ƒcm6"},
        {"maximum matches", "ƒmax"},
        {"result type", "Rslt"},
        {"invisibles", "invs"},
        {"subfolders", "ƒsub"},
        {"files", "ƒfil"},
        {"folders", "ƒfol"},
        {"display", "ƒdsp"},
        {"results", "ƒres"},
        {"silence", "ƒsil"},
        {"seconds", "seco"},
        {"time", "time"},
        {"date", "date"},
    };
    for (const Row& row : rows) {
        const ParameterTerm* term = ParameterTermByName(row.name);
        ASSERT_NE(term, nullptr) << row.name;
        EXPECT_EQ(term->keyword, Code(row.keyword)) << row.name;
    }
    EXPECT_EQ(ParameterTermByName("name"), nullptr);
    EXPECT_EQ(ParameterTermByName(""), nullptr);
    EXPECT_EQ(ParameterTermByName("in disk"), nullptr);
    EXPECT_EQ(ParameterTermByKeyword(FourCC("zzzz")), nullptr);
}

TEST(Terminology, KeywordConstantsAreTheTableRows) {
    struct Row {
        AEKeyword constant;
        const char* name;
    } rows[] = {
        {keySearchDisks, "in disks"},
        {keySearchFolders, "in folders"},
        {keyResultType, "result type"},
        {keyMaxMatches, "maximum matches"},
        {keyWantInvisibles, "invisibles"},
        {keyWantSubfolders, "subfolders"},
        {keyWantFiles, "files"},
        {keyWantFolders, "folders"},
        {keyWantDisplay, "display"},
        {keyWantResults, "results"},
        {keyWantSilence, "silence"},
        {keyWantSeconds, "seconds"},
        {keyWantMinutes, "minutes"},
        {keyWantHours, "hours"},
        {keyWantTime, "time"},
        {keyWantDays, "days"},
        {keyWantMonths, "months"},
        {keyWantYears, "years"},
        {keyWantDate, "date"},
    };
    for (const Row& row : rows) {
        const ParameterTerm* term = ParameterTermByKeyword(row.constant);
        ASSERT_NE(term, nullptr) << row.name;
        EXPECT_STREQ(term->name, row.name);
    }
    EXPECT_EQ(keySearchDisks, Code("ƒdsk"));
    EXPECT_EQ(keyWantSilence, 0xC4'73'69'6Cu);
}

TEST(Terminology, Enumerators) {
    struct Row {
        const char* name;
        OSType code;
    } forms[] = {{"hfs path", FourCC("path")},
                 {"posix path", FourCC("pat2")},
                 {"name", FourCC("name")},
                 {"alias", FourCC("alis")},
                 {"file specification", FourCC("file")}};
    ASSERT_EQ(ResultFormTerms().size(), std::size(forms));
    for (const Row& row : forms) {
        const EnumeratorTerm* term = EnumeratorByName(ResultFormTerms(), row.name);
        ASSERT_NE(term, nullptr) << row.name;
        EXPECT_EQ(term->code, row.code) << row.name;
        EXPECT_EQ(EnumeratorByCode(ResultFormTerms(), row.code), term) << row.name;
    }
    EXPECT_EQ(EnumeratorByName(ResultFormTerms(), "POSIX Path")->code, FourCC("pat2"));
    const char* kinds[] = {"APPL", "INIT", "alis", "cdev", "clip",
                           "docu", "font", "letr", "sfil", "stat"};
    ASSERT_EQ(KindTerms().size(), std::size(kinds));
    for (const char* kind : kinds)
        EXPECT_NE(EnumeratorByCode(KindTerms(), Code(kind)), nullptr) << kind;
    EXPECT_EQ(EnumeratorByName(KindTerms(), "application")->code, FourCC("APPL"));
    EXPECT_EQ(EnumeratorByName(KindTerms(), "folder"), nullptr);
}

// docs/terminology.md is the readable form of the table: it must not drift.
TEST(Terminology, DocumentListsEveryTerm) {
    std::ifstream in(std::string(SW_TEST_DATA) + "/../../docs/terminology.md");
    ASSERT_TRUE(in) << "docs/terminology.md";
    std::stringstream text;
    text << in.rdbuf();
    std::string doc = text.str();
    for (const ParameterTerm& term : FindParameterTerms()) {
        std::string row = std::string("| ") + term.name + " | `'" + CodeText(term.keyword) + "'`";
        EXPECT_NE(doc.find(row), std::string::npos) << row;
    }
    for (const EnumeratorTerm& term : ResultFormTerms()) {
        std::string row = std::string("| ") + term.name + " | `'" + CodeText(term.code) + "'`";
        EXPECT_NE(doc.find(row), std::string::npos) << row;
    }
    for (const EnumeratorTerm& term : KindTerms()) {
        std::string row = std::string("| ") + term.name + " | `'" + CodeText(term.code) + "'`";
        EXPECT_NE(doc.find(row), std::string::npos) << row;
    }
}

}  // namespace
