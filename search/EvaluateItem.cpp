#include <algorithm>
#include <vector>

#include "command/ProgressWindow.h"
#include "params/SearchParameters.h"
#include "platform/Events.h"
#include "search/CriterionTests.h"
#include "search/SearchState.h"

namespace {

bool SearchGoesOn() {
    return SearchState.searchActive && !SearchState.userAborted;
}

// One name string per level of depth, reused for every entry of that level:
// a walk evaluates millions of entries, and a name is needed only while its
// entry is evaluated (and while the walk is below it).
struct NamePool {
    std::vector<CFMutableStringRef> strings;
    ~NamePool() {
        for (CFMutableStringRef s : strings) CFRelease(s);
    }
};
NamePool formDNames;   // for matching
NamePool listedNames;  // for results and paths, when it differs from form D
std::size_t depth = 0;

CFMutableStringRef NameStringForThisLevel(NamePool& pool) {
    // A pool used only by some levels may first be asked for a deep one.
    while (depth >= pool.strings.size()) {
        CFMutableStringRef fresh = CFStringCreateMutable(kCFAllocatorDefault, 0);
        if (fresh == nullptr) return nullptr;
        pool.strings.push_back(fresh);
    }
    CFMutableStringRef name = pool.strings[depth];
    CFStringDelete(name, CFRangeMake(0, CFStringGetLength(name)));
    return name;
}

// The name exactly as the catalog listed it. Paths and names in results are
// built from it, not from the form-D copy: on a file system that keeps names
// as given, a decomposed or composed spelling other than the stored one
// names no file at all. Most names are the same in both (ASCII always is),
// and then the form-D string serves.
CFStringRef ListedName(const HFSUniStr255* name, CFStringRef formD) {
    const CFIndex units = name->length <= 255 ? name->length : 255;
    if (CFStringGetLength(formD) == units &&
        std::equal(name->unicode, name->unicode + units, CFStringGetCharactersPtr(formD)))
        return formD;
    CFMutableStringRef listed = NameStringForThisLevel(listedNames);
    if (listed == nullptr) return nullptr;
    CFStringAppendCharacters(listed, name->unicode, units);
    return listed;
}

// Runs every requested test of `scope`; none is skipped because an earlier
// one failed, so every probe a request asks for sees every entry it applies to.
bool RunTests(CriterionScope scope, ItemUnderTest& item) {
    bool passed = true;
    for (const CriterionTest& test : CriterionTests()) {
        if (test.scope != scope || !test.isSet()) continue;
        if (!test.passes(item)) passed = false;
    }
    return passed;
}

void Descend(const FSRef* ref, CFStringRef listedName) {
    CFMutableStringRef path = SearchState.currentRootPath;
    if (path == nullptr || listedName == nullptr) return;
    const CFIndex before = CFStringGetLength(path);
    const CFIndex added =
        AppendPathComponent(path, listedName, SearchParameters.resultType == FourCC("path"));
    // An error below is not the parent's: what could be walked has been.
    ++depth;
    (void)IterateFolder(ref);
    --depth;
    CFStringDelete(path, CFRangeMake(before, added));
}

void Emit(const ItemUnderTest& item, CFStringRef listedName) {
    static const Str255 kNoRomanName = {0};
    if (listedName == nullptr) return;  // no memory for it: the element is lost
    EmitResult(item.ref, listedName, kNoRomanName);
}

}  // namespace

void EvaluateItem(FSCatalogInfo* catalogInfo, const FSRef* ref, const HFSUniStr255* name) {
    if (!SearchGoesOn()) return;
    const SearchParametersRecord& p = SearchParameters;

    // The name in form D; its Mac OS Roman form is made when something reads it.
    CFMutableStringRef itemName = NameStringForThisLevel(formDNames);
    if (itemName == nullptr) return;
    const CFIndex units = name->length <= 255 ? name->length : 255;
    CFStringAppendCharacters(itemName, name->unicode, units);
    CFStringNormalize(itemName, kCFStringNormalizationFormD);

    if (p.wantDisplay) {
        UpdateProgressWindow(SearchState.currentRootPath, itemName, SearchState.filesScanned,
                             SearchState.foldersScanned, SearchState.filesMatched,
                             SearchState.foldersMatched, SearchState.criteriaText);
        EventRecord event;
        (void)WaitNextEvent(updateMask, &event, 0, nullptr);
    }

    const bool isFolder = (catalogInfo->nodeFlags & kFSNodeIsDirectoryMask) != 0;
    ItemUnderTest item;  // romanName stays unset until ItemRomanName fills it
    item.catalogInfo = catalogInfo;
    item.ref = ref;
    item.name = itemName;
    item.isFolder = isFolder;
    item.romanMade = false;
    const bool passedCommon = RunTests(CriterionScope::kAllItems, item);

    if (isFolder) {
        ++SearchState.foldersScanned;
        ++SearchState.itemsScanned;
        if (p.wantFolders && passedCommon) {
            ++SearchState.foldersMatched;
            ++SearchState.itemsMatched;
            Emit(item, ListedName(name, itemName));
        }
        // Invisible and unmatched folders are walked too: only their own
        // matching depends on the criteria.
        if (p.wantSubfolders) Descend(ref, ListedName(name, itemName));
    } else {
        ++SearchState.filesScanned;
        ++SearchState.itemsScanned;
        const bool passedFile = RunTests(CriterionScope::kFilesOnly, item);
        if (p.wantFiles && passedCommon && passedFile) {
            ++SearchState.filesMatched;
            ++SearchState.itemsMatched;
            Emit(item, ListedName(name, itemName));
        }
    }

    if (!SearchState.userAborted) SearchState.userAborted = CommandPeriodDown();
    // The intake never yields a limit below 1 other than -1 (none); ">=" also
    // keeps any other negative value from stopping the search at once.
    if (p.maxMatches >= 0 && SearchState.itemsMatched >= p.maxMatches)
        SearchState.searchActive = false;
}
