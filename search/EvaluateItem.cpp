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
} namePool;
std::size_t depth = 0;

CFMutableStringRef NameStringForThisLevel() {
    if (depth >= namePool.strings.size()) {
        CFMutableStringRef fresh = CFStringCreateMutable(kCFAllocatorDefault, 0);
        if (fresh == nullptr) return nullptr;
        namePool.strings.push_back(fresh);
    }
    CFMutableStringRef name = namePool.strings[depth];
    CFStringDelete(name, CFRangeMake(0, CFStringGetLength(name)));
    return name;
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

void Descend(const FSRef* ref, CFStringRef itemName) {
    CFMutableStringRef path = SearchState.currentRootPath;
    if (path == nullptr) return;
    const CFIndex before = CFStringGetLength(path);
    const CFIndex added =
        AppendPathComponent(path, itemName, SearchParameters.resultType == FourCC("path"));
    // An error below is not the parent's: what could be walked has been.
    ++depth;
    (void)IterateFolder(ref);
    --depth;
    CFStringDelete(path, CFRangeMake(before, added));
}

void Emit(ItemUnderTest& item) {
    static const Str255 kNoRomanName = {0};
    const bool wantsRoman = SearchParameters.resultType == FourCC("name");
    EmitResult(item.ref, item.name, wantsRoman ? ItemRomanName(item) : kNoRomanName);
}

}  // namespace

void EvaluateItem(FSCatalogInfo* catalogInfo, const FSRef* ref, const HFSUniStr255* name) {
    if (!SearchGoesOn()) return;
    const SearchParametersRecord& p = SearchParameters;

    // The name in form D; its Mac OS Roman form is made when something reads it.
    CFMutableStringRef itemName = NameStringForThisLevel();
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
            Emit(item);
        }
        // Invisible and unmatched folders are walked too: only their own
        // matching depends on the criteria.
        if (p.wantSubfolders) Descend(ref, itemName);
    } else {
        ++SearchState.filesScanned;
        ++SearchState.itemsScanned;
        const bool passedFile = RunTests(CriterionScope::kFilesOnly, item);
        if (p.wantFiles && passedCommon && passedFile) {
            ++SearchState.filesMatched;
            ++SearchState.itemsMatched;
            Emit(item);
        }
    }

    if (!SearchState.userAborted) SearchState.userAborted = CommandPeriodDown();
    // The intake never yields a limit below 1 other than -1 (none); ">=" also
    // keeps any other negative value from stopping the search at once.
    if (p.maxMatches >= 0 && SearchState.itemsMatched >= p.maxMatches)
        SearchState.searchActive = false;
}
