// The name criterion: an entry's name against the list of names the find
// command gave, under one of the twelve name operators (CriterionOp 1..12).
#pragma once

#include <string>
#include <vector>

#include "platform/AppleEvents.h"
#include "platform/CoreFoundation.h"
#include "platform/MacTypes.h"

// The names of a name list, read once and kept in the form the test compares
// (form D). Elements that cannot be read as Unicode text are left out, but
// still count as elements (a single-element list decides operators 9 and 11).
class NamePatterns {
  public:
    NamePatterns() = default;
    NamePatterns(const NamePatterns&) = delete;
    NamePatterns& operator=(const NamePatterns&) = delete;
    ~NamePatterns();

    // Replaces the patterns by the elements of `list`; a list that cannot be
    // counted gives no elements.
    void Read(const AEDescList* list);

    long elementCount() const { return elementCount_; }
    std::size_t readableCount() const { return patterns_.size(); }

  private:
    friend Boolean NameMatches(CFStringRef name, const NamePatterns& patterns, SInt16 op);
    struct Pattern {
        CFMutableStringRef text;  // form D
        bool ascii;
        std::string lowered;  // ASCII patterns only: the bytes, lower case
    };
    void Clear();
    long elementCount_ = 0;
    std::vector<Pattern> patterns_;
};

// Whether `name` (form D) passes operator `op` against `patterns`, ignoring
// case only (diacritics count; composed and decomposed input are alike once in
// form D). With several names: 1 is any, 2 none, 3 and 5 all contained, 4 any
// contained, 6 and 8 none contained, 7 at least one not contained, 9 and 11
// starts / ends with any (with exactly one element: that one), 10 and 12 none.
// An empty list passes nothing under 1, 4, 7, 9 and 11 and everything under
// the others. An operator of 0 or outside 1..12 passes every name.
Boolean NameMatches(CFStringRef name, const NamePatterns& patterns, SInt16 op);

// The criterion row's test: `name` against SearchParameters.nameList under
// SearchParameters.nameOp. The list is read again at the first entry of every
// search (SearchState.itemsScanned is 0 there) and whenever the record holds
// another list; in between the patterns are kept, since the list cannot change
// during a search.
Boolean NameTestPasses(CFStringRef name);
