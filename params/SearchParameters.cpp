#include "params/SearchParameters.h"

#include <cstring>

SearchParametersRecord SearchParameters;

namespace {

void DisposeList(AEDescList* list) {
    // A zero-filled descriptor has no data and nothing to release.
    if (list->dataHandle != nullptr) AEDisposeDesc(list);
    AEInitializeDesc(list);
}

}  // namespace

void DisposeSearchParameterLists() {
    DisposeList(&SearchParameters.searchDisks);
    DisposeList(&SearchParameters.searchFolders);
    DisposeList(&SearchParameters.nameList);
}

void ClearSearchParameters() {
    DisposeSearchParameterLists();
    std::memset(&SearchParameters, 0, sizeof SearchParameters);
}
