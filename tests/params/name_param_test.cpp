// The name criterion's getter: probing order, list coercion, the summary, the
// form alert and the result codes.

#include <string>

#include "IntakeFixture.h"
#include "params/Getters.h"

namespace intake_test {
namespace {

const SearchParametersRecord& R = SearchParameters;

// Test-only descriptor types whose coercion to 'list' is installed by the
// fixture: one gives a descriptor of the wrong form, one fails.
constexpr DescType kWrongFormType = FourCC("wrFm");
constexpr DescType kUncoercibleType = FourCC("noCo");

OSErr CoerceToText(const AEDesc*, DescType, AEDesc* out) {
    return AECreateDesc(typeChar, "x", 1, out);
}
OSErr RefuseCoercion(const AEDesc*, DescType, AEDesc*) {
    return errAECoercionFail;
}

const char kFormError[] =
    "The \"name\" parameter is not a string or an AppleScript list of strings.";
const char kFormExplanation[] =
    "Please supply a string or an AppleScript list of strings for the \"name\" parameter.";

class NameParamTest : public IntakeTest {
  protected:
    void SetUp() override {
        IntakeTest::SetUp();
        ASSERT_EQ(AEInstallCoercionHandler(kWrongFormType, typeAEList, CoerceToText), noErr);
        ASSERT_EQ(AEInstallCoercionHandler(kUncoercibleType, typeAEList, RefuseCoercion), noErr);
        AEInitializeDesc(&list_);
    }
    void TearDown() override {
        AERemoveCoercionHandler(kWrongFormType, typeAEList);
        AERemoveCoercionHandler(kUncoercibleType, typeAEList);
        if (list_.dataHandle != nullptr) AEDisposeDesc(&list_);
        IntakeTest::TearDown();
    }
    OSErr Get(const FindEvent& event) {
        return MyGetFilenameParam(event.get(), &list_, &op_, text_);
    }
    std::string Text() const { return P(text_); }

    AEDescList list_;
    SInt16 op_ = -1;
    Str255 text_ = {3, 'o', 'l', 'd'};
};

TEST_F(NameParamTest, AbsentLeavesNoTestAndNoText) {
    FindEvent event;
    EXPECT_EQ(Get(event), noErr);
    EXPECT_EQ(op_, kOpNone);
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(list_.dataHandle, nullptr);
    EXPECT_TRUE(alerts_.alerts().empty());
}

TEST_F(NameParamTest, EveryKeywordSetsItsOperatorAndWords) {
    struct Row {
        AEKeyword keyword;
        CriterionOp op;
        const char* summary;
    } rows[] = {
        {FourCC("nm01"), kOpContains, "name contains tmp"},
        {FourCC("nm02"), kOpContainsAny, "name contains any of tmp"},
        {FourCC("nm03"), kOpContainsEach, "name contains each of tmp"},
        {FourCC("nm04"), kOpNotContains, "name does not contain tmp"},
        {FourCC("nm05"), kOpNotContainsAny, "name does not contain any of tmp"},
        {FourCC("nm06"), kOpNotContainsEach, "name does not contain each of tmp"},
        {FourCC("nm07"), kOpStartsWith, "name starts with tmp"},
        {FourCC("nm08"), kOpNotStartsWith, "name does not start with tmp"},
        {FourCC("nm09"), kOpEndsWith, "name ends with tmp"},
        {FourCC("nm10"), kOpNotEndsWith, "name does not end with tmp"},
        {FourCC("nm11"), kOpIs, "name is tmp"},
        {FourCC("nm12"), kOpIsNot, "name is not tmp"},
    };
    for (const Row& row : rows) {
        FindEvent event;
        event.Text(row.keyword, "tmp");  // a single string: a list of one
        EXPECT_EQ(Get(event), noErr) << row.summary;
        EXPECT_EQ(op_, row.op) << row.summary;
        EXPECT_EQ(Text(), row.summary) << row.summary;
        ASSERT_EQ(list_.descriptorType, typeAEList) << row.summary;
        EXPECT_EQ(CountItems(list_), 1) << row.summary;
        EXPECT_EQ(ItemType(list_, 1), typeChar) << row.summary << ": items are kept as given";
    }
    EXPECT_TRUE(alerts_.alerts().empty());
}

TEST_F(NameParamTest, AListIsJoinedByCommaAndBlank) {
    FindEvent event;
    ListBuilder names;
    names.Text("alpha").Text("beta").Text("gamma");
    event.Desc(FourCC("nm11"), names.get());
    EXPECT_EQ(Get(event), noErr);
    EXPECT_EQ(op_, kOpIs);
    EXPECT_EQ(Text(), "name is alpha, beta, gamma");
    EXPECT_EQ(CountItems(list_), 3);
}

TEST_F(NameParamTest, TheFirstKeywordInProbingOrderWinsAndIsIsProbedLast) {
    FindEvent event;
    event.Text(FourCC("nm11"), "exact").Text(FourCC("nm04"), "part");
    EXPECT_EQ(Get(event), noErr);
    EXPECT_EQ(op_, kOpNotContains);
    EXPECT_EQ(Text(), "name does not contain part");
}

TEST_F(NameParamTest, AWrongFormIsReportedAndTheNextKeywordIsTried) {
    {
        FindEvent event;
        AEDesc odd;
        ASSERT_EQ(AECreateDesc(kWrongFormType, "?", 1, &odd), noErr);
        event.Desc(FourCC("nm01"), odd);
        AEDisposeDesc(&odd);
        EXPECT_EQ(Get(event), noErr);
        EXPECT_EQ(op_, kOpNone);
        EXPECT_EQ(list_.dataHandle, nullptr) << "the rejected descriptor is released";
        ASSERT_EQ(alerts_.alerts().size(), 1u);
        EXPECT_EQ(alerts_.alerts()[0].type, kAlertStopAlert);
        EXPECT_EQ(alerts_.alerts()[0].textBytes, kFormError);
        EXPECT_EQ(alerts_.alerts()[0].explanationBytes, kFormExplanation);
    }
    alerts_.Clear();
    {
        FindEvent event;
        AEDesc odd;
        ASSERT_EQ(AECreateDesc(kWrongFormType, "?", 1, &odd), noErr);
        event.Desc(FourCC("nm01"), odd).Text(FourCC("nm07"), "pre");
        AEDisposeDesc(&odd);
        EXPECT_EQ(Get(event), noErr);
        EXPECT_EQ(op_, kOpStartsWith);
        EXPECT_EQ(Text(), "name starts with pre");
        EXPECT_EQ(alerts_.alerts().size(), 1u);
    }
}

TEST_F(NameParamTest, TheFormAlertHonoursSilenceButIntakeReadsSilenceLast) {
    AEDesc odd;
    ASSERT_EQ(AECreateDesc(kWrongFormType, "?", 1, &odd), noErr);
    {
        SearchParameters.wantSilence = 1;  // as if silence were already in effect
        FindEvent event;
        event.Desc(FourCC("nm01"), odd);
        EXPECT_EQ(Get(event), noErr);
        EXPECT_TRUE(alerts_.alerts().empty());
        SearchParameters.wantSilence = 0;
    }
    {
        // Through the driver the request's silence is not known yet.
        ClearSearchParameters();
        FindEvent event;
        ListBuilder noLocations;
        event.Desc(keySearchFolders, noLocations.get()).Desc(FourCC("nm01"), odd);
        event.Bool(keyWantSilence, true);
        EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
        ASSERT_EQ(alerts_.alerts().size(), 1u);
        EXPECT_EQ(alerts_.alerts()[0].textBytes, kFormError);
        EXPECT_TRUE(R.wantSilence);
        EXPECT_EQ(R.nameOp, kOpNone);
    }
    AEDisposeDesc(&odd);
}

TEST_F(NameParamTest, AFailedCoercionCountsOnlyOnTheLastKeyword) {
    AEDesc odd;
    ASSERT_EQ(AECreateDesc(kUncoercibleType, "?", 1, &odd), noErr);
    {
        FindEvent event;
        event.Desc(FourCC("nm01"), odd);
        EXPECT_EQ(Get(event), noErr) << "a later absent probe decides";
        EXPECT_EQ(op_, kOpNone);
    }
    {
        FindEvent event;
        event.Desc(FourCC("nm12"), odd);
        EXPECT_EQ(Get(event), errAECoercionFail);
        EXPECT_EQ(op_, kOpNone);
    }
    {
        FindEvent event;
        event.Desc(FourCC("nm01"), odd).Text(FourCC("nm12"), "other");
        EXPECT_EQ(Get(event), noErr);
        EXPECT_EQ(op_, kOpIsNot);
    }
    EXPECT_TRUE(alerts_.alerts().empty()) << "an uncoercible parameter is skipped silently";
    AEDisposeDesc(&odd);
}

TEST_F(NameParamTest, ItemsThatAreNotTextAreLeftOutOfTheSummary) {
    const char aliasBytes[] = "not a text";
    {
        FindEvent event;
        ListBuilder names;
        names.Item(typeAlias, aliasBytes, sizeof aliasBytes).Text("b");
        event.Desc(FourCC("nm02"), names.get());
        EXPECT_EQ(Get(event), noErr);
        EXPECT_EQ(op_, kOpContainsAny);
        EXPECT_EQ(Text(), "name contains any of b");
        EXPECT_EQ(CountItems(list_), 2) << "the list keeps every item";
    }
    {
        FindEvent event;
        ListBuilder names;
        names.Text("a").Long(12).Item(typeAlias, aliasBytes, sizeof aliasBytes);
        event.Desc(FourCC("nm02"), names.get());
        EXPECT_EQ(Get(event), errAECoercionFail) << "the last item could not be read";
        EXPECT_EQ(op_, kOpContainsAny) << "the test stays set";
        EXPECT_EQ(Text(), "name contains any of a, 12, ");
    }
}

TEST_F(NameParamTest, AFailingLastItemStopsIntakeWithItsCode) {
    FindEvent event;
    ListBuilder names;
    const char aliasBytes[] = "x";
    names.Item(typeAlias, aliasBytes, 1);
    ListBuilder noLocations;
    event.Desc(keySearchFolders, noLocations.get()).Desc(FourCC("nm01"), names.get());
    EXPECT_EQ(MyGetAllParameters(event.get()), errAECoercionFail);
    ASSERT_EQ(alerts_.alerts().size(), 1u);
    EXPECT_EQ(alerts_.alerts()[0].textBytes, "Seekwright encountered an error:");
    EXPECT_EQ(alerts_.alerts()[0].explanationBytes,
              "MyGetAllParameters() -> MyGetFilenameParam() returned error: -1700");
    EXPECT_EQ(R.maxMatches, 0) << "later getters did not run";
}

TEST_F(NameParamTest, UnicodeNamesWithoutRomanFormStillGoThrough) {
    FindEvent event;
    ListBuilder names;
    const std::string cyrillic = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // Привет
    const std::string decomposed = "re\xCC\x81sume\xCC\x81";                          // résumé
    const std::string mixed =
        "a\xE2\x86\x92"
        "b";  // a→b
    names.Item(typeUTF8Text, decomposed.data(), Size(decomposed.size()))
        .Item(typeUTF8Text, mixed.data(), Size(mixed.size()))
        .Item(typeUTF8Text, cyrillic.data(), Size(cyrillic.size()));
    event.Desc(FourCC("nm01"), names.get());
    EXPECT_EQ(Get(event), noErr) << "a name Mac OS Roman cannot show is still a valid name";
    EXPECT_EQ(op_, kOpContains);
    // r\x8Esum\x8E is "résumé" composed, in Mac OS Roman.
    EXPECT_EQ(Text(), "name contains r\x8Esum\x8E, a?b, ??????");
}

TEST_F(NameParamTest, LongNamesAndLongSummariesStayWithin255Bytes) {
    {
        FindEvent event;
        event.Text(FourCC("nm01"), std::string(300, 'n'));
        EXPECT_EQ(Get(event), noErr);
        EXPECT_EQ(Text(), "name contains " + std::string(241, 'n'));
    }
    {
        FindEvent event;
        ListBuilder names;
        for (int i = 0; i < 40; ++i) names.Text("name" + std::to_string(i));
        event.Desc(FourCC("nm02"), names.get());
        EXPECT_EQ(Get(event), noErr);
        EXPECT_EQ(text_[0], 255);
        EXPECT_EQ(Text().rfind("name contains any of name0, name1, name2, ", 0), 0u);
    }
}

TEST_F(NameParamTest, ARepeatedCallReleasesTheEarlierList) {
    FindEvent first;
    first.Text(FourCC("nm01"), "one");
    EXPECT_EQ(Get(first), noErr);
    FindEvent second;
    EXPECT_EQ(Get(second), noErr);
    EXPECT_EQ(list_.dataHandle, nullptr);
    EXPECT_EQ(op_, kOpNone);
    EXPECT_EQ(Text(), "");
}

TEST_F(NameParamTest, TheDriverFillsTheRecord) {
    FindEvent event;
    ListBuilder noLocations;
    ListBuilder names;
    names.Text("ab").Text("cd");
    event.Desc(keySearchFolders, noLocations.get()).Desc(FourCC("nm09"), names.get());
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    EXPECT_EQ(R.nameOp, kOpEndsWith);
    EXPECT_EQ(P(R.nameText), "name ends with ab, cd");
    EXPECT_EQ(CountItems(R.nameList), 2);
    EXPECT_TRUE(alerts_.alerts().empty());
}

}  // namespace
}  // namespace intake_test
