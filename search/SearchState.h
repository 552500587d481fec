// The running search: its flags, counters, criteria text, current folder path
// and result list, and the engine routines that walk a folder, judge one
// catalog entry and append a match.
//
// There is one search at a time and one SearchState. The find command handler
// resets it, creates `resultList` and, per root, `currentRootPath`; the engine
// (IterateFolder, EvaluateItem, EmitResult) updates the rest.
#pragma once

#include <cstddef>

#include "platform/AppleEvents.h"
#include "platform/CoreFoundation.h"
#include "platform/Files.h"
#include "platform/MacTypes.h"

// Bytes of criteriaText, terminating zero included.
inline constexpr std::size_t kCriteriaTextSize = 1024;
// Entries per bulk catalog read.
inline constexpr UInt32 kBulkEntryCount = 113;

struct SearchStateRecord {
    Boolean userAborted;  // set by EvaluateItem when Command-period is seen
    UInt32 startTicks;    // TickCount() when the search started
    SInt32 filesMatched;
    SInt32 foldersMatched;
    SInt32 itemsMatched;  // filesMatched + foldersMatched
    SInt32 filesScanned;
    SInt32 foldersScanned;
    SInt32 itemsScanned;                   // filesScanned + foldersScanned
    char criteriaText[kCriteriaTextSize];  // zero-terminated Mac OS Roman
    // Path of the folder being walked: colon form for the 'path' result form,
    // POSIX form otherwise; no trailing separator except the POSIX root "/".
    // Owned by the handler per root; nullptr between roots.
    CFMutableStringRef currentRootPath;
    AEDescList resultList;  // created by the handler; the engine appends
    Boolean searchActive;   // false once the maximum number of matches is reached
};

// Written by the find command handler and the search engine only.
extern SearchStateRecord SearchState;

// Walks the immediate entries of `folder`, 113 at a time, handing each to
// EvaluateItem. 0 when the folder was read to its end or the search stopped;
// otherwise the error that ended the walk (a file, an unreadable folder,
// memFullErr for the entry buffers).
OSErr IterateFolder(const FSRef* folder);

// Judges one catalog entry delivered by IterateFolder: counts it, appends it
// when it matches, descends into it when it is a folder and subfolders are
// wanted, then polls for Command-period and the match limit. Finder
// information in `catalogInfo` is read only by the tests that need it.
void EvaluateItem(FSCatalogInfo* catalogInfo, const FSRef* ref, const HFSUniStr255* name);

// Appends one element for a counted match to SearchState.resultList, in the
// form SearchParameters.resultType selects. `itemName` is the name exactly as
// the catalog listed it (paths built from the form-D copy would name no file
// where the stored spelling differs); `romanName` is kept for the call's
// shape and not read. A failure loses the element silently.
void EmitResult(const FSRef* ref, CFStringRef itemName, ConstStr255Param romanName);

// Appends the path separator and `name` to `path` by the rule of path results
// (':' for the colon form, '/' unless `path` is exactly "/" for POSIX) and
// returns how many UTF-16 units were appended, so the caller can cut them off.
CFIndex AppendPathComponent(CFMutableStringRef path, CFStringRef name, Boolean hfsStyle);

// True while the Command key and the period key are both down.
Boolean CommandPeriodDown();
