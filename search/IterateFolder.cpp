#include <memory>
#include <new>

#include "params/SearchParameters.h"
#include "search/SearchState.h"

namespace {

// The catalog fields the active criteria need. Finder information is always
// named, but the file layer reads it only when a test first looks at it, so
// a search that never tests visibility, label, type, creator or kind pays
// nothing for it. Dates and fork sizes cost a stat each and are asked for
// only by the criteria that compare them.
FSCatalogInfoBitmap CatalogFieldsForSearch() {
    const SearchParametersRecord& p = SearchParameters;
    FSCatalogInfoBitmap fields = kFSCatInfoNodeFlags | kFSCatInfoFinderInfo;
    if (p.dateCreatedOp != 0) fields |= kFSCatInfoCreateDate;
    if (p.dateModifiedOp != 0) fields |= kFSCatInfoContentMod | kFSCatInfoAttrMod;
    if (p.sizeOp != 0) fields |= kFSCatInfoDataSizes | kFSCatInfoRsrcSizes;
    return fields;
}

bool SearchGoesOn() {
    return SearchState.searchActive && !SearchState.userAborted;
}

struct IteratorCloser {
    void operator()(OpaqueFSIterator* iterator) const { FSCloseIterator(iterator); }
};

}  // namespace

OSErr IterateFolder(const FSRef* folder) {
    if (!SearchGoesOn()) return noErr;

    const FSCatalogInfoBitmap fields = CatalogFieldsForSearch();

    FSIterator rawIterator = nullptr;
    OSErr err = FSOpenIterator(folder, kFSIterateFlat, &rawIterator);
    if (err != noErr) return err;
    std::unique_ptr<OpaqueFSIterator, IteratorCloser> iterator(rawIterator);

    // One set of entry buffers per level of depth, reused for every batch.
    std::unique_ptr<FSCatalogInfo[]> infos(new (std::nothrow) FSCatalogInfo[kBulkEntryCount]);
    std::unique_ptr<HFSUniStr255[]> names(new (std::nothrow) HFSUniStr255[kBulkEntryCount]);
    std::unique_ptr<FSRef[]> refs(new (std::nothrow) FSRef[kBulkEntryCount]);
    if (!infos || !names || !refs) return memFullErr;

    do {
        UInt32 count = 0;
        err = FSGetCatalogInfoBulk(iterator.get(), kBulkEntryCount, &count, nullptr, fields,
                                   infos.get(), refs.get(), nullptr, names.get());
        if (err != noErr && err != errFSNoMoreItems) break;
        if (count > kBulkEntryCount)
            count = kBulkEntryCount;  // never trust a count past the buffers
        for (UInt32 i = 0; i < count; ++i) EvaluateItem(&infos[i], &refs[i], &names[i]);
    } while (err == noErr && SearchGoesOn());

    if (err == errFSNoMoreItems || err == noErr) return noErr;
    return err;
}
