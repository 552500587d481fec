#include <new>
#include <vector>

#include "params/SearchParameters.h"
#include "platform/MacRoman.h"
#include "platform/Memory.h"
#include "search/SearchState.h"

namespace {

constexpr UniChar kSlash = '/';
constexpr UniChar kColon = ':';

bool IsPosixRoot(CFStringRef path) {
    return CFStringGetLength(path) == 1 && CFStringGetCharacterAtIndex(path, 0) == kSlash;
}

void AppendUnicodeText(const UniChar* chars, CFIndex length) {
    // 'utxt' in the host's byte order, as the event manager keeps it.
    (void)AEPutPtr(&SearchState.resultList, 0, typeUnicodeText, chars,
                   static_cast<Size>(length * sizeof(UniChar)));
}

// Conversion buffer reused for every match: a walk may emit millions.
std::vector<char>& RomanBuffer() {
    static std::vector<char> buffer;
    return buffer;
}

// Appends `text` as 'TEXT' when Mac OS Roman holds it exactly: every unit has
// a Roman byte that maps back to that same unit. Anything else (a decomposed
// accent, which a Roman conversion would compose into another name; Cyrillic;
// the private-use characters that stand for bytes of names that are not
// UTF-8) goes as 'utxt' with the exact units, so that the text names the item
// as it is stored.
void AppendExactText(CFStringRef text) {
    const CFIndex length = CFStringGetLength(text);
    const UniChar* chars = CFStringGetCharactersPtr(text);
    if (chars == nullptr && length != 0) return;
    std::vector<char>& roman = RomanBuffer();
    if (roman.size() < static_cast<std::size_t>(length)) {
        try {
            roman.resize(static_cast<std::size_t>(length));
        } catch (const std::bad_alloc&) {
            AppendUnicodeText(chars, length);  // needs no buffer of its own
            return;
        }
    }
    // Most paths are ASCII: one pass over the units decides it, and narrowing
    // them is a plain copy (both loops vectorise).
    UniChar any = 0;
    for (CFIndex i = 0; i < length; ++i) any |= chars[i];
    if (any < 0x80) {
        for (CFIndex i = 0; i < length; ++i)
            roman[static_cast<std::size_t>(i)] = static_cast<char>(chars[i]);
        (void)AEPutPtr(&SearchState.resultList, 0, typeChar, roman.data(),
                       static_cast<Size>(length));
        return;
    }
    for (CFIndex i = 0; i < length; ++i) {
        const UniChar unit = chars[i];
        unsigned char byte = 0;
        if (unit < 0x80) {
            byte = static_cast<unsigned char>(unit);
        } else if (!UnicodeToMacRoman(unit, &byte) || MacRomanToUnicode(byte) != unit) {
            AppendUnicodeText(chars, length);
            return;
        }
        roman[static_cast<std::size_t>(i)] = static_cast<char>(byte);
    }
    (void)AEPutPtr(&SearchState.resultList, 0, typeChar, roman.data(), static_cast<Size>(length));
}

// The path is built on currentRootPath itself and cut back afterwards, which
// gives the same text as a copy without copying it for every match.
void AppendPath(CFStringRef itemName, bool hfsStyle) {
    CFMutableStringRef path = SearchState.currentRootPath;
    if (path == nullptr) return;
    const CFIndex before = CFStringGetLength(path);
    const CFIndex added = AppendPathComponent(path, itemName, hfsStyle);
    AppendExactText(path);
    CFStringDelete(path, CFRangeMake(before, added));
}

bool GetSpec(const FSRef* ref, FSSpec* spec) {
    return FSGetCatalogInfo(ref, kFSCatInfoNone, nullptr, nullptr, spec, nullptr) == noErr;
}

void AppendAlias(const FSRef* ref) {
    FSSpec spec;
    if (!GetSpec(ref, &spec)) return;
    AliasHandle alias = nullptr;
    if (NewAlias(nullptr, &spec, &alias) != noErr || alias == nullptr) return;
    HLock(alias);
    (void)AEPutPtr(&SearchState.resultList, 0, typeAlias, *alias, GetHandleSize(alias));
    HUnlock(alias);
    DisposeHandle(alias);
}

void AppendSpec(const FSRef* ref) {
    FSSpec spec;
    if (!GetSpec(ref, &spec)) return;
    (void)AEPutPtr(&SearchState.resultList, 0, typeFSS, &spec, sizeof spec);
}

}  // namespace

CFIndex AppendPathComponent(CFMutableStringRef path, CFStringRef name, Boolean hfsStyle) {
    const CFIndex before = CFStringGetLength(path);
    if (hfsStyle) {
        // Catalog names are already in colon form (a POSIX ':' reads '/').
        const UniChar colon = kColon;
        CFStringAppendCharacters(path, &colon, 1);
        CFStringAppend(path, name);
        return CFStringGetLength(path) - before;
    }
    if (!IsPosixRoot(path)) {
        const UniChar slash = kSlash;
        CFStringAppendCharacters(path, &slash, 1);
    }
    // A catalog name shows the POSIX ':' as '/'; a POSIX path needs it back,
    // or the path would name another item.
    const UniChar* chars = CFStringGetCharactersPtr(name);
    const CFIndex length = CFStringGetLength(name);
    CFIndex start = 0;
    for (CFIndex i = 0; i < length; ++i) {
        if (chars[i] != kSlash) continue;
        CFStringAppendCharacters(path, chars + start, i - start);
        const UniChar colon = kColon;
        CFStringAppendCharacters(path, &colon, 1);
        start = i + 1;
    }
    CFStringAppendCharacters(path, chars + start, length - start);
    return CFStringGetLength(path) - before;
}

void EmitResult(const FSRef* ref, CFStringRef itemName, ConstStr255Param romanName) {
    // `itemName` is the name as listed. A Roman copy made elsewhere may have
    // been made from another normalization form (composing a decomposed
    // accent), so every text is converted here, from the listed units.
    (void)romanName;
    switch (SearchParameters.resultType) {
        case FourCC("path"):
            AppendPath(itemName, true);
            break;
        case FourCC("pat2"):
            AppendPath(itemName, false);
            break;
        case FourCC("name"):
            AppendExactText(itemName);
            break;
        case FourCC("alis"):
            AppendAlias(ref);
            break;
        case FourCC("file"):
            AppendSpec(ref);
            break;
        default:
            break;  // an unknown form: counted, nothing appended
    }
}
