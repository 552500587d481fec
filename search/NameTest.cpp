#include "search/NameTest.h"

#include <string_view>

#include "params/SearchParameters.h"
#include "search/SearchState.h"

namespace {

bool IsAsciiText(const UniChar* units, CFIndex length) {
    UniChar any = 0;
    for (CFIndex i = 0; i < length; ++i) any |= units[i];
    return any < 0x80;
}

char AsciiLower(UniChar u) {
    return static_cast<char>(u >= 'A' && u <= 'Z' ? u + 32 : u);
}

// The combining diacritical marks: what a Latin name in form D has beyond
// ASCII. Each folds to itself (or, for U+0345, to a Greek letter), never to
// ASCII, and each extends the character before it.
bool IsCombiningDiacritic(UniChar u) {
    return u >= 0x0300 && u <= 0x036F;
}
constexpr char kMarkByte = '\x80';  // stands for a mark; in no ASCII pattern

enum class Relation { kEquals, kContains, kStartsWith, kEndsWith };

// The relation on a name made of ASCII and combining marks (marks as
// kMarkByte) and an ASCII pattern, case folded the way the string routines
// fold ASCII (A-Z only), so that both paths give the same answer. Like the
// string routines, a match may not stop just before a mark (c is not found
// in c + U+0301, since the name has a c-acute there, not a c), and an empty
// pattern is never found.
bool AsciiHolds(Relation relation, std::string_view name, std::string_view pattern) {
    if (pattern.empty()) return relation == Relation::kEquals && name.empty();
    auto endsCleanly = [&](std::size_t end) {
        return end == name.size() || name[end] != kMarkByte;
    };
    switch (relation) {
        case Relation::kEquals:
            return name == pattern;
        case Relation::kContains:
            for (std::size_t at = name.find(pattern); at != std::string_view::npos;
                 at = name.find(pattern, at + 1)) {
                if (endsCleanly(at + pattern.size())) return true;
            }
            return false;
        case Relation::kStartsWith:
            return name.starts_with(pattern) && endsCleanly(pattern.size());
        case Relation::kEndsWith:
            return name.ends_with(pattern);
    }
    return false;
}

// The relation in general, by the string routines. An empty pattern is never
// found in a name, so it neither starts nor ends one.
bool UnicodeHolds(Relation relation, CFStringRef name, CFStringRef pattern) {
    const CFRange whole = CFRangeMake(0, CFStringGetLength(name));
    switch (relation) {
        case Relation::kEquals:
            return CFStringCompareWithOptions(name, pattern, whole, kCFCompareCaseInsensitive) ==
                   kCFCompareEqualTo;
        case Relation::kContains:
            return CFStringFindWithOptions(name, pattern, whole, kCFCompareCaseInsensitive,
                                           nullptr);
        case Relation::kStartsWith:
            return CFStringFindWithOptions(name, pattern, whole,
                                           kCFCompareCaseInsensitive | kCFCompareAnchored, nullptr);
        case Relation::kEndsWith:
            // Anchored at the end of the name, not at (name length - pattern
            // length): case folding can change lengths (ß and SS).
            return CFStringFindWithOptions(
                name, pattern, whole,
                kCFCompareCaseInsensitive | kCFCompareAnchored | kCFCompareBackwards, nullptr);
    }
    return false;
}

Relation RelationOf(SInt16 op) {
    switch (op) {
        case kOpIs:
        case kOpIsNot:
            return Relation::kEquals;
        case kOpStartsWith:
        case kOpNotStartsWith:
            return Relation::kStartsWith;
        case kOpEndsWith:
        case kOpNotEndsWith:
            return Relation::kEndsWith;
        default:
            return Relation::kContains;
    }
}

// How one pattern's answer joins the running result: `any` operators pass
// when some pattern gives `wanted`, the others only when every pattern does.
struct Combination {
    bool any;
    bool wanted;
};

Combination CombinationOf(SInt16 op, long elementCount) {
    switch (op) {
        case kOpIs:
        case kOpContainsAny:
            return {true, true};
        case kOpNotContainsAny:
            return {true, false};
        case kOpStartsWith:
        case kOpEndsWith:
            // One element: that one must hold. Several: any of them.
            return {elementCount != 1, true};
        case kOpContains:
        case kOpContainsEach:
            return {false, true};
        default:  // is not, does not contain (each), does not start / end with
            return {false, false};
    }
}

}  // namespace

NamePatterns::~NamePatterns() {
    Clear();
}

void NamePatterns::Clear() {
    for (Pattern& p : patterns_) CFRelease(p.text);
    patterns_.clear();
    elementCount_ = 0;
}

void NamePatterns::Read(const AEDescList* list) {
    Clear();
    long count = 0;
    if (list == nullptr || AECountItems(list, &count) != noErr || count <= 0) return;
    elementCount_ = count;
    for (long i = 1; i <= count; ++i) {
        AEKeyword keyword = 0;
        AEDesc item;
        AEInitializeDesc(&item);
        if (AEGetNthDesc(list, i, typeUnicodeText, &keyword, &item) != noErr) continue;
        const Size size = AEGetDescDataSize(&item);
        std::u16string units(static_cast<std::size_t>(size / 2), u'\0');
        const bool copied =
            units.empty() || AEGetDescData(&item, units.data(), size / 2 * 2) == noErr;
        if (item.dataHandle != nullptr) AEDisposeDesc(&item);
        if (!copied) continue;
        CFMutableStringRef text = CFStringCreateMutable(kCFAllocatorDefault, 0);
        if (text == nullptr) continue;
        CFStringAppendCharacters(text, reinterpret_cast<const UniChar*>(units.data()),
                                 static_cast<CFIndex>(units.size()));
        CFStringNormalize(text, kCFStringNormalizationFormD);
        Pattern pattern{text, false, {}};
        const UniChar* chars = CFStringGetCharactersPtr(text);
        const CFIndex length = CFStringGetLength(text);
        pattern.ascii = IsAsciiText(chars, length);
        if (pattern.ascii) {
            pattern.lowered.resize(static_cast<std::size_t>(length));
            for (CFIndex k = 0; k < length; ++k) pattern.lowered[k] = AsciiLower(chars[k]);
        }
        patterns_.push_back(std::move(pattern));
    }
}

Boolean NameMatches(CFStringRef name, const NamePatterns& patterns, SInt16 op) {
    if (op < kOpIs || op > kOpNotEndsWith) return true;
    const Combination combination = CombinationOf(op, patterns.elementCount_);
    const Relation relation = RelationOf(op);
    // "Any" starts false and turns true on the first pattern that gives the
    // wanted answer; "all" starts true and turns false on the first that does
    // not. Either way the rest cannot change it.
    const bool start = !combination.any;

    const UniChar* units = CFStringGetCharactersPtr(name);
    const CFIndex length = CFStringGetLength(name);
    // Most names are ASCII, or ASCII with accents as combining marks: lower
    // them once into bytes and compare those with ASCII patterns.
    char local[256];
    std::string longName;
    char* out = local;
    if (length > static_cast<CFIndex>(sizeof local)) {
        longName.resize(static_cast<std::size_t>(length));
        out = longName.data();
    }
    bool asciiName = true;
    UniChar any = 0;
    for (CFIndex k = 0; k < length; ++k) any |= units[k];
    if (any < 0x80) {
        // Plain ASCII, the most common name: a loop without branches, which
        // vectorises.
        for (CFIndex k = 0; k < length; ++k) {
            const UniChar u = units[k];
            out[k] = static_cast<char>(u + (static_cast<UniChar>(u - 'A') < 26 ? 32 : 0));
        }
    } else {
        for (CFIndex k = 0; k < length; ++k) {
            const UniChar u = units[k];
            if (u < 0x80) {
                out[k] = AsciiLower(u);
            } else if (IsCombiningDiacritic(u)) {
                out[k] = kMarkByte;
            } else {
                asciiName = false;
                break;
            }
        }
    }
    const std::string_view lowered(out, asciiName ? static_cast<std::size_t>(length) : 0);

    for (const NamePatterns::Pattern& pattern : patterns.patterns_) {
        const bool holds = asciiName && pattern.ascii
                               ? AsciiHolds(relation, lowered, pattern.lowered)
                               : UnicodeHolds(relation, name, pattern.text);
        if (combination.any && holds == combination.wanted) return true;
        if (!combination.any && holds != combination.wanted) return false;
    }
    return start;
}

namespace {

// The patterns of the current search, and a reference to the list they came
// from: while it is held, no other list can have the same storage.
struct CurrentPatterns {
    NamePatterns patterns;
    AEDescList source{typeNull, nullptr};
    bool read = false;
    ~CurrentPatterns() {
        if (source.dataHandle != nullptr) AEDisposeDesc(&source);
    }
} current;

const NamePatterns& PatternsOfThisSearch() {
    const AEDescList& list = SearchParameters.nameList;
    if (!current.read || SearchState.itemsScanned == 0 ||
        current.source.dataHandle != list.dataHandle) {
        if (current.source.dataHandle != nullptr) AEDisposeDesc(&current.source);
        AEInitializeDesc(&current.source);
        if (list.dataHandle != nullptr) (void)AEDuplicateDesc(&list, &current.source);
        current.patterns.Read(&list);
        current.read = true;
    }
    return current.patterns;
}

}  // namespace

Boolean NameTestPasses(CFStringRef name) {
    return NameMatches(name, PatternsOfThisSearch(), SearchParameters.nameOp);
}
