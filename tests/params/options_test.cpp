// The intake driver and the output and option getters.

#include <climits>

#include "IntakeFixture.h"
#include "params/Getters.h"

namespace intake_test {
namespace {

using OptionsTest = IntakeTest;
const SearchParametersRecord& R = SearchParameters;

TEST_F(OptionsTest, NoParametersGivesEveryDefault) {
    FindEvent event;
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    EXPECT_TRUE(alerts_.alerts().empty());

    EXPECT_EQ(R.resultType, FourCC("path"));
    EXPECT_EQ(P(R.resultTypeText), "result type: HFS paths");
    EXPECT_EQ(R.maxMatches, -1);
    EXPECT_EQ(P(R.maxMatchesText), "");
    EXPECT_EQ(P(R.withText), " files");
    EXPECT_EQ(P(R.withoutText), " subfolders folders");
    EXPECT_TRUE(R.wantFiles);
    EXPECT_TRUE(R.wantInvisibles);
    EXPECT_TRUE(R.wantDays);
    EXPECT_TRUE(R.wantMonths);
    EXPECT_TRUE(R.wantYears);
    EXPECT_TRUE(R.wantDate);
    EXPECT_FALSE(R.wantFolders);
    EXPECT_FALSE(R.wantDisplay);
    EXPECT_FALSE(R.wantResults);
    EXPECT_FALSE(R.wantSubfolders);
    EXPECT_FALSE(R.wantSilence);
    EXPECT_FALSE(R.wantSeconds);
    EXPECT_FALSE(R.wantMinutes);
    EXPECT_FALSE(R.wantHours);
    EXPECT_FALSE(R.wantTime);
    for (SInt16 op : {R.nameOp, R.fileTypeOp, R.creatorOp, R.sizeOp, R.kindOp, R.labelOp,
                      R.dateCreatedOp, R.dateModifiedOp, R.versionOp, R.commentAOp, R.commentBOp})
        EXPECT_EQ(op, kOpNone);
    for (const unsigned char* text :
         {R.nameText, R.creatorText, R.fileTypeText, R.sizeText, R.kindText, R.labelText,
          R.dateCreatedText, R.dateModifiedText, R.versionText, R.commentAText, R.commentBText})
        EXPECT_EQ(text[0], 0);
    // Neither location given: every mounted volume, and no folders.
    EXPECT_EQ(R.searchDisks.descriptorType, typeAEList);
    EXPECT_EQ(CountItems(R.searchDisks), 2);
    EXPECT_EQ(R.searchFolders.dataHandle, nullptr);
}

TEST_F(OptionsTest, ConsecutiveCommandsShareNothing) {
    {
        FindEvent first;
        ListBuilder folders;
        folders.Text("TestDisk:Docs:");
        first.Long(keyMaxMatches, 25)
            .Bool(keyWantInvisibles, false)
            .Bool(keyWantSubfolders, true)
            .Bool(keyWantFolders, true)
            .Bool(keyWantDisplay, true)
            .Bool(keyWantTime, true)
            .Bool(keyWantSilence, true)
            .Enum(keyResultType, kResultName)
            .Desc(keySearchFolders, folders.get());
        ASSERT_EQ(MyGetAllParameters(first.get()), noErr);
        ASSERT_EQ(R.maxMatches, 25);
        ASSERT_TRUE(R.wantSilence);
        ASSERT_EQ(CountItems(R.searchFolders), 1);
    }
    ClearSearchParameters();
    FindEvent second;
    ASSERT_EQ(MyGetAllParameters(second.get()), noErr);
    EXPECT_EQ(R.maxMatches, -1);
    EXPECT_EQ(P(R.maxMatchesText), "");
    EXPECT_TRUE(R.wantInvisibles);
    EXPECT_FALSE(R.wantSubfolders);
    EXPECT_FALSE(R.wantFolders);
    EXPECT_FALSE(R.wantDisplay);
    EXPECT_FALSE(R.wantTime);
    EXPECT_FALSE(R.wantSilence);
    EXPECT_EQ(R.resultType, kResultHFSPath);
    EXPECT_EQ(P(R.resultTypeText), "result type: HFS paths");
    EXPECT_EQ(P(R.withText), " files");
    EXPECT_EQ(P(R.withoutText), " subfolders folders");
    EXPECT_EQ(R.searchFolders.dataHandle, nullptr);
    EXPECT_EQ(CountItems(R.searchDisks), 2);
}

// One yes/no option given as true, false, nothing, or a date (no truth value).
enum class Given { kTrue, kFalse, kAbsent, kWrongType };

struct OptionRow {
    const char* name;
    AEKeyword keyword;
    Given given;
    bool expectedFlag;
    const char* withText;  // after the whole intake
    const char* withoutText;
    OSErr result;
    const char* failingGetter;  // when result is not 0
    Boolean SearchParametersRecord::*flag;
};

const OptionRow kOptionRows[] = {
    {"invisibles true", keyWantInvisibles, Given::kTrue, true, " invisible files files",
     " subfolders folders", noErr, nullptr, &SearchParametersRecord::wantInvisibles},
    {"invisibles false", keyWantInvisibles, Given::kFalse, false, " files",
     " invisible files subfolders folders", noErr, nullptr,
     &SearchParametersRecord::wantInvisibles},
    {"invisibles absent", keyWantInvisibles, Given::kAbsent, true, " files", " subfolders folders",
     noErr, nullptr, &SearchParametersRecord::wantInvisibles},
    {"invisibles wrong", keyWantInvisibles, Given::kWrongType, true, "", "", errAECoercionFail,
     "MyGetWantInvisiblesParam", &SearchParametersRecord::wantInvisibles},
    {"subfolders true", keyWantSubfolders, Given::kTrue, true, " subfolders files", " folders",
     noErr, nullptr, &SearchParametersRecord::wantSubfolders},
    {"subfolders false", keyWantSubfolders, Given::kFalse, false, " files", " subfolders folders",
     noErr, nullptr, &SearchParametersRecord::wantSubfolders},
    {"subfolders absent", keyWantSubfolders, Given::kAbsent, false, " files", " subfolders folders",
     noErr, nullptr, &SearchParametersRecord::wantSubfolders},
    // A failing getter has placed its word already: subfolders's comes after the fetch.
    {"subfolders wrong", keyWantSubfolders, Given::kWrongType, false, "", " subfolders",
     errAECoercionFail, "MyGetWantSubfoldersParam", &SearchParametersRecord::wantSubfolders},
    {"files true", keyWantFiles, Given::kTrue, true, " files", " subfolders folders", noErr,
     nullptr, &SearchParametersRecord::wantFiles},
    {"files false", keyWantFiles, Given::kFalse, false, "", " subfolders files folders", noErr,
     nullptr, &SearchParametersRecord::wantFiles},
    {"files absent", keyWantFiles, Given::kAbsent, true, " files", " subfolders folders", noErr,
     nullptr, &SearchParametersRecord::wantFiles},
    {"files wrong", keyWantFiles, Given::kWrongType, true, "", " subfolders", errAECoercionFail,
     "MyGetWantFilesParam", &SearchParametersRecord::wantFiles},
    {"folders true", keyWantFolders, Given::kTrue, true, " files folders", " subfolders", noErr,
     nullptr, &SearchParametersRecord::wantFolders},
    {"folders false", keyWantFolders, Given::kFalse, false, " files", " subfolders folders", noErr,
     nullptr, &SearchParametersRecord::wantFolders},
    {"folders absent", keyWantFolders, Given::kAbsent, false, " files", " subfolders folders",
     noErr, nullptr, &SearchParametersRecord::wantFolders},
    {"folders wrong", keyWantFolders, Given::kWrongType, false, "", " subfolders",
     errAECoercionFail, "MyGetWantFoldersParam", &SearchParametersRecord::wantFolders},
    {"display true", keyWantDisplay, Given::kTrue, true, " files display", " subfolders folders",
     noErr, nullptr, &SearchParametersRecord::wantDisplay},
    {"display false", keyWantDisplay, Given::kFalse, false, " files", " subfolders folders display",
     noErr, nullptr, &SearchParametersRecord::wantDisplay},
    {"display absent", keyWantDisplay, Given::kAbsent, false, " files", " subfolders folders",
     noErr, nullptr, &SearchParametersRecord::wantDisplay},
    {"display wrong", keyWantDisplay, Given::kWrongType, false, " files", " subfolders folders",
     errAECoercionFail, "MyGetWantDisplayParam", &SearchParametersRecord::wantDisplay},
    {"results true", keyWantResults, Given::kTrue, true, " files results", " subfolders folders",
     noErr, nullptr, &SearchParametersRecord::wantResults},
    {"results false", keyWantResults, Given::kFalse, false, " files", " subfolders folders results",
     noErr, nullptr, &SearchParametersRecord::wantResults},
    {"results absent", keyWantResults, Given::kAbsent, false, " files", " subfolders folders",
     noErr, nullptr, &SearchParametersRecord::wantResults},
    {"results wrong", keyWantResults, Given::kWrongType, false, " files", " subfolders folders",
     errAECoercionFail, "MyGetWantResultsParam", &SearchParametersRecord::wantResults},
    {"silence true", keyWantSilence, Given::kTrue, true, " files silence", " subfolders folders",
     noErr, nullptr, &SearchParametersRecord::wantSilence},
    {"silence false", keyWantSilence, Given::kFalse, false, " files", " subfolders folders", noErr,
     nullptr, &SearchParametersRecord::wantSilence},
    {"silence absent", keyWantSilence, Given::kAbsent, false, " files", " subfolders folders",
     noErr, nullptr, &SearchParametersRecord::wantSilence},
    {"silence wrong", keyWantSilence, Given::kWrongType, false, " files", " subfolders folders",
     errAECoercionFail, "MyGetWantSilenceParam", &SearchParametersRecord::wantSilence},
};

TEST_F(OptionsTest, YesNoOptionsTrueFalseAbsentWrongType) {
    for (const OptionRow& row : kOptionRows) {
        ClearSearchParameters();
        alerts_.Clear();
        FindEvent event;
        ListBuilder noLocations;  // keeps the volume list out of the picture
        event.Desc(keySearchFolders, noLocations.get());
        switch (row.given) {
            case Given::kTrue:
                event.Bool(row.keyword, true);
                break;
            case Given::kFalse:
                event.Bool(row.keyword, false);
                break;
            case Given::kAbsent:
                break;
            case Given::kWrongType:
                event.Date(row.keyword);
                break;
        }
        OSErr err = MyGetAllParameters(event.get());
        EXPECT_EQ(err, row.result) << row.name;
        EXPECT_EQ(R.*row.flag != 0, row.expectedFlag) << row.name;
        EXPECT_EQ(P(R.withText), row.withText) << row.name;
        EXPECT_EQ(P(R.withoutText), row.withoutText) << row.name;
        if (row.result == noErr) {
            EXPECT_TRUE(alerts_.alerts().empty()) << row.name;
        } else {
            ASSERT_EQ(alerts_.alerts().size(), 1u) << row.name;
            EXPECT_EQ(alerts_.alerts()[0].type, kAlertStopAlert) << row.name;
            std::string expected = std::string("MyGetAllParameters() -> ") + row.failingGetter +
                                   "() returned error: " + std::to_string(row.result);
            EXPECT_EQ(alerts_.alerts()[0].explanationBytes, expected) << row.name;
        }
    }
}

TEST_F(OptionsTest, FailingGetterStopsIntakeAndLeavesLaterFieldsZero) {
    FindEvent event;
    event.Date(keyWantInvisibles).Bool(keyWantSilence, true).Bool(keyWantFolders, true);
    EXPECT_EQ(MyGetAllParameters(event.get()), errAECoercionFail);
    ASSERT_EQ(alerts_.alerts().size(), 1u);
    EXPECT_EQ(alerts_.alerts()[0].textBytes, "Seekwright encountered an error:");
    EXPECT_EQ(alerts_.alerts()[0].explanationBytes,
              "MyGetAllParameters() -> MyGetWantInvisiblesParam() returned error: -1700");
    // Earlier getters ran, later ones did not: their fields keep the clearing's zero.
    EXPECT_EQ(R.maxMatches, -1);
    EXPECT_EQ(P(R.resultTypeText), "result type: HFS paths");
    EXPECT_FALSE(R.wantFiles);
    EXPECT_FALSE(R.wantFolders);
    EXPECT_FALSE(R.wantDays);
    EXPECT_FALSE(R.wantSilence);
    EXPECT_EQ(P(R.withText), "");
    EXPECT_EQ(P(R.withoutText), "");
}

TEST_F(OptionsTest, LateGettersFailWithTheDriversOwnErrorText) {
    FindEvent event;
    event.Date(keyWantResults);
    EXPECT_EQ(MyGetAllParameters(event.get()), errAECoercionFail);
    ASSERT_EQ(alerts_.alerts().size(), 1u);
    EXPECT_EQ(alerts_.alerts()[0].textBytes, "MyGetAllParameters Error");
    EXPECT_EQ(alerts_.alerts()[0].explanationBytes,
              "MyGetAllParameters() -> MyGetWantResultsParam() returned error: -1700");
}

TEST_F(OptionsTest, GetterFailureIsReportedEvenWhenSilenceWasAlreadySet) {
    SearchParameters.wantSilence = true;  // as if a getter had set it already
    FindEvent event;
    event.Date(keyWantDisplay);
    EXPECT_EQ(MyGetAllParameters(event.get()), errAECoercionFail);
    ASSERT_EQ(alerts_.alerts().size(), 1u);
    EXPECT_EQ(alerts_.alerts()[0].explanationBytes,
              "MyGetAllParameters() -> MyGetWantDisplayParam() returned error: -1700");
}

TEST_F(OptionsTest, FilesAndFoldersBothOffIsAccepted) {
    FindEvent event;
    event.Bool(keyWantFiles, false).Bool(keyWantFolders, false);
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    EXPECT_TRUE(alerts_.alerts().empty());
    EXPECT_EQ(P(R.withText), "");
    EXPECT_EQ(P(R.withoutText), " subfolders files folders");
}

TEST_F(OptionsTest, DateFieldWordsRunTogetherInCallOrder) {
    FindEvent event;
    event.Bool(keyWantSeconds, true).Bool(keyWantTime, true).Bool(keyWantYears, false);
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    EXPECT_TRUE(R.wantTime);
    EXPECT_TRUE(R.wantSeconds);
    EXPECT_FALSE(R.wantYears);
    EXPECT_TRUE(R.wantDays);
    EXPECT_EQ(P(R.withText), " files timeseconds ");
    EXPECT_EQ(P(R.withoutText), " subfolders foldersyears ");
}

TEST_F(OptionsTest, DateFieldWrongTypeIsIgnoredExceptOnYear) {
    {
        FindEvent event;
        event.Date(keyWantSeconds).Bool(keyWantMinutes, true);
        EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
        EXPECT_FALSE(R.wantSeconds);
        EXPECT_TRUE(R.wantMinutes);
        EXPECT_TRUE(alerts_.alerts().empty());
    }
    ClearSearchParameters();
    FindEvent event;
    event.Date(keyWantYears);
    EXPECT_EQ(MyGetAllParameters(event.get()), errAECoercionFail);
    ASSERT_EQ(alerts_.alerts().size(), 1u);
    EXPECT_EQ(alerts_.alerts()[0].explanationBytes,
              "MyGetAllParameters() -> MyGetWantDateFieldsParams() returned error: -1700");
    EXPECT_TRUE(R.wantYears);  // its default stays
}

TEST_F(OptionsTest, ResultTypeWords) {
    struct Row {
        const char* name;
        OSType code;
        const char* text;
    } rows[] = {
        {"path", kResultHFSPath, "result type: HFS paths"},
        {"pat2", kResultPOSIXPath, "result type: POSIX paths"},
        {"name", kResultName, "result type: file names"},
        {"alis", kResultAlias, "result type: aliases"},
        {"file", kResultFileSpec, "result type: file specs"},
        {"unlisted", FourCC("zzzz"), "result type: "},
    };
    for (const Row& row : rows) {
        FindEvent event;
        event.Enum(keyResultType, row.code);
        OSType type = 0;
        Str255 text;
        EXPECT_EQ(MyGetResultTypeParam(event.get(), &type, text), noErr) << row.name;
        EXPECT_EQ(type, row.code) << row.name;
        EXPECT_EQ(P(text), row.text) << row.name;
    }
    FindEvent wrong;
    wrong.Date(keyResultType);
    OSType type = 0;
    Str255 text;
    EXPECT_NE(MyGetResultTypeParam(wrong.get(), &type, text), noErr);
    EXPECT_EQ(type, kResultHFSPath);
    EXPECT_EQ(P(text), "result type: HFS paths");
}

const char* const kNotANumber = "The \"maximum matches\" parameter is not a number.";
const char* const kNotANumberWhy = "Please supply number for the \"maximum matches\" parameter.";
const char* const kIsZero = "The \"maximum matches\" parameter is 0.";
const char* const kIsZeroWhy =
    "If \"maximum matches\" is 0, you will get no results. I will use the lowest allowed value "
    "of 1 instead.";

TEST_F(OptionsTest, MaximumMatches) {
    struct Row {
        const char* name;
        bool asNumber;
        SInt32 number;
        const char* text;
        SInt32 expected;
        const char* summary;
        const char* alert;
        const char* explanation;
    } rows[] = {
        {"number 25", true, 25, nullptr, 25, "up to 25 matches", nullptr, nullptr},
        {"text 7", false, 0, "7", 7, "up to 7 matches", nullptr, nullptr},
        {"number 0", true, 0, nullptr, 1, "up to 0 matches", kIsZero, kIsZeroWhy},
        {"text -5", false, 0, "-5", -1, "", kNotANumber, kNotANumberWhy},
        {"text 12a", false, 0, "12a", -1, "", kNotANumber, kNotANumberWhy},
        {"beyond 32 bits", false, 0, "99999999999", INT32_MAX, "up to 99999999999 matches", nullptr,
         nullptr},
    };
    for (const Row& row : rows) {
        alerts_.Clear();
        FindEvent event;
        if (row.asNumber)
            event.Long(keyMaxMatches, row.number);
        else
            event.Text(keyMaxMatches, row.text);
        SInt32 max = 0;
        Str255 text;
        EXPECT_EQ(MyGetMaxMatchesParam(event.get(), &max, text), noErr) << row.name;
        EXPECT_EQ(max, row.expected) << row.name;
        EXPECT_EQ(P(text), row.summary) << row.name;
        if (row.alert == nullptr) {
            EXPECT_TRUE(alerts_.alerts().empty()) << row.name;
        } else {
            ASSERT_EQ(alerts_.alerts().size(), 1u) << row.name;
            EXPECT_EQ(alerts_.alerts()[0].type, kAlertStopAlert) << row.name;
            EXPECT_EQ(alerts_.alerts()[0].textBytes, row.alert) << row.name;
            EXPECT_EQ(alerts_.alerts()[0].explanationBytes, row.explanation) << row.name;
        }
    }
}

TEST_F(OptionsTest, MaximumMatchesSummaryStaysWithin255Bytes) {
    FindEvent event;
    event.Text(keyMaxMatches, std::string(300, '9'));
    SInt32 max = 0;
    Str255 text;
    EXPECT_EQ(MyGetMaxMatchesParam(event.get(), &max, text), noErr);
    EXPECT_EQ(max, INT32_MAX);
    EXPECT_EQ(text[0], 255);
    EXPECT_EQ(P(text).substr(0, 9), "up to 999");
    EXPECT_EQ(P(text).substr(255 - 8), " matches");
}

TEST_F(OptionsTest, MaximumMatchesOfAnotherFormEndsIntake) {
    FindEvent event;
    event.Date(keyMaxMatches);
    EXPECT_NE(MyGetAllParameters(event.get()), noErr);
    ASSERT_FALSE(alerts_.alerts().empty());
    EXPECT_EQ(alerts_.alerts().back().explanationBytes.rfind(
                  "MyGetAllParameters() -> MyGetMaxMatchesParam() returned error: ", 0),
              0u);
}

TEST_F(OptionsTest, SilenceIsHonouredAfterIntakeButNotDuringIt) {
    // Silence is read last, so an intake alert is shown although it was asked for.
    FindEvent event;
    event.Text(keyMaxMatches, "12a").Bool(keyWantSilence, true);
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    ASSERT_EQ(alerts_.alerts().size(), 1u);
    EXPECT_EQ(alerts_.alerts()[0].textBytes, kNotANumber);
    EXPECT_TRUE(R.wantSilence);
    EXPECT_EQ(P(R.withText), " files silence");

    // Once set, the getter's own alerts are left out.
    alerts_.Clear();
    FindEvent again;
    again.Long(keyMaxMatches, 0);
    SInt32 max = 0;
    Str255 text;
    EXPECT_EQ(MyGetMaxMatchesParam(again.get(), &max, text), noErr);
    EXPECT_EQ(max, 1);
    EXPECT_TRUE(alerts_.alerts().empty());
}

TEST(TextConversion, TextDescToPString) {
    std::string longText(300, 'x');
    longText[254] = 'y';
    longText[255] = 'z';
    AEDesc desc;
    ASSERT_EQ(AECreateDesc(typeChar, longText.data(), Size(longText.size()), &desc), noErr);
    Str255 text;
    EXPECT_EQ(TextDescToPString(&desc, text), noErr);
    EXPECT_EQ(text[0], 255);
    EXPECT_EQ(P(text), longText.substr(0, 255));
    AEDisposeDesc(&desc);

    SInt32 n = 5;
    ASSERT_EQ(AECreateDesc(typeSInt32, &n, sizeof n, &desc), noErr);
    text[0] = 3;
    EXPECT_EQ(TextDescToPString(&desc, text), errAEWrongDataType);
    EXPECT_EQ(text[0], 0);
    AEDisposeDesc(&desc);

    AEDesc noData{typeChar, nullptr};
    text[0] = 3;
    EXPECT_EQ(TextDescToPString(&noData, text), errAENotAEDesc);
    EXPECT_EQ(text[0], 0);

    ASSERT_EQ(AECreateDesc(typeChar, "", 0, &desc), noErr);
    EXPECT_EQ(TextDescToPString(&desc, text), noErr);
    EXPECT_EQ(text[0], 0);
    AEDisposeDesc(&desc);
}

TEST(TextConversion, TextListToPString) {
    {
        ListBuilder list;
        list.Text("ABCD").Long(12).Text("EFGH");
        Str255 text;
        EXPECT_EQ(TextListToPString(&list.get(), text), noErr);
        EXPECT_EQ(P(text), "ABCDEFGH");
    }
    {
        ListBuilder list;
        std::string all;
        for (int i = 0; i < 64; ++i) {
            std::string code =
                "c" + std::string(1, char('A' + i % 26)) + std::string(1, char('a' + i / 26)) + "x";
            list.Text(code);
            all += code;
        }
        Str255 text;
        EXPECT_EQ(TextListToPString(&list.get(), text), noErr);
        EXPECT_EQ(text[0], 252);
        EXPECT_EQ(P(text), all.substr(0, 252));
    }
    {
        ListBuilder empty;
        Str255 text;
        text[0] = 9;
        EXPECT_EQ(TextListToPString(&empty.get(), text), noErr);
        EXPECT_EQ(text[0], 0);
    }
    {
        AEDesc desc;
        ASSERT_EQ(AECreateDesc(typeChar, "ABCD", 4, &desc), noErr);
        Str255 text;
        EXPECT_EQ(TextListToPString(&desc, text), errAEWrongDataType);
        AEDisposeDesc(&desc);
        AEDesc noData{typeAEList, nullptr};
        EXPECT_EQ(TextListToPString(&noData, text), errAENotAEDesc);
    }
}

TEST(TextConversion, IsDigitString) {
    const unsigned char empty[] = {0};
    const unsigned char digits[] = {3, '0', '4', '9'};
    const unsigned char sign[] = {2, '-', '5'};
    const unsigned char blank[] = {2, '5', ' '};
    EXPECT_TRUE(IsDigitString(empty));
    EXPECT_TRUE(IsDigitString(digits));
    EXPECT_FALSE(IsDigitString(sign));
    EXPECT_FALSE(IsDigitString(blank));
}

}  // namespace
}  // namespace intake_test
