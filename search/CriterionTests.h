// The criteria an entry is judged by, as one ordered table. EvaluateItem runs
// every row whose criterion the find command set, in table order: the rows
// for all items before the entry is counted, the file-only rows after. A new
// criterion is a new row here, not a change to the evaluation driver.
#pragma once

#include <span>

#include "platform/AppleEvents.h"
#include "platform/CoreFoundation.h"
#include "platform/Files.h"
#include "platform/MacTypes.h"

// One entry being judged. Finder information stays unread in `catalogInfo`
// until a test asks for it (FSCatalogInfoFinderInfo and its readers).
struct ItemUnderTest {
    FSCatalogInfo* catalogInfo;
    const FSRef* ref;
    CFStringRef name;  // form D
    Boolean isFolder;
    Boolean romanMade;  // romanName holds the conversion (read it through ItemRomanName)
    Str255 romanName;
};

// The name in Mac OS Roman, empty when it has none; converted on first use,
// since most searches never need it.
ConstStr255Param ItemRomanName(ItemUnderTest& item);

enum class CriterionScope : UInt8 {
    kAllItems,   // files and folders: visibility, name, label, dates, comments
    kFilesOnly,  // kind, size, creator, file type, version
};

struct CriterionTest {
    const char* name;
    // The find command's keywords whose values this row tests (unused slots 0).
    AEKeyword keywords[12];
    CriterionScope scope;
    Boolean (*isSet)();                      // does the current request use it?
    Boolean (*passes)(ItemUnderTest& item);  // run only when isSet()
};

// Every criterion the engine can test, in evaluation order.
std::span<const CriterionTest> CriterionTests();

// Whether some row tests the parameter `keyword`. A front end uses this to
// refuse a criterion that this build cannot test rather than return
// unfiltered results.
Boolean CriterionIsTested(AEKeyword keyword);
