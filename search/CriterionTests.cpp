#include "search/CriterionTests.h"

#include "params/SearchParameters.h"

namespace {

// Only a Finder flag makes an item invisible; a leading "." in the name does not.
Boolean VisibilityIsSet() {
    return !SearchParameters.wantInvisibles;
}
Boolean VisibilityPasses(ItemUnderTest& item) {
    return (FSCatalogInfoFinderFlags(item.catalogInfo) & kIsInvisible) == 0;
}

const CriterionTest kTests[] = {
    {"visibility", {FourCC("invs")}, CriterionScope::kAllItems, VisibilityIsSet, VisibilityPasses},
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
