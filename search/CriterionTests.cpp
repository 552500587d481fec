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
    {"visibility", CriterionScope::kAllItems, VisibilityIsSet, VisibilityPasses},
};

}  // namespace

std::span<const CriterionTest> CriterionTests() {
    return kTests;
}
