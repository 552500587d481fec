#include "search/CriterionTests.h"

#include "params/SearchParameters.h"
#include "search/NameTest.h"

namespace {

// Only a Finder flag makes an item invisible; a leading "." in the name does not.
Boolean VisibilityIsSet() {
    return !SearchParameters.wantInvisibles;
}
Boolean VisibilityPasses(ItemUnderTest& item) {
    return (FSCatalogInfoFinderFlags(item.catalogInfo) & kIsInvisible) == 0;
}

Boolean NameIsSet() {
    return SearchParameters.nameOp != kOpNone;
}
Boolean NamePasses(ItemUnderTest& item) {
    return NameTestPasses(item.name);
}

const CriterionTest kTests[] = {
    {"visibility", {FourCC("invs")}, CriterionScope::kAllItems, VisibilityIsSet, VisibilityPasses},
    {"name",
     {FourCC("nm01"), FourCC("nm02"), FourCC("nm03"), FourCC("nm04"), FourCC("nm05"),
      FourCC("nm06"), FourCC("nm07"), FourCC("nm08"), FourCC("nm09"), FourCC("nm10"),
      FourCC("nm11"), FourCC("nm12")},
     CriterionScope::kAllItems,
     NameIsSet,
     NamePasses},
};

}  // namespace

std::span<const CriterionTest> CriterionTests() {
    return kTests;
}

Boolean CriterionIsTested(AEKeyword keyword) {
    for (const CriterionTest& test : kTests) {
        for (AEKeyword k : test.keywords)
            if (k != 0 && k == keyword) return true;
    }
    return false;
}

ConstStr255Param ItemRomanName(ItemUnderTest& item) {
    if (!item.romanMade) {
        if (!CFStringGetPascalString(item.name, item.romanName, sizeof item.romanName,
                                     kCFStringEncodingMacRoman))
            item.romanName[0] = 0;
        item.romanMade = true;
    }
    return item.romanName;
}
