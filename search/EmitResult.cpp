#include <cstring>
#include <new>
#include <vector>

#include "params/SearchParameters.h"
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

void AppendStringAsText(CFStringRef text) {
    if (const char* direct = CFStringGetCStringPtr(text, kCFStringEncodingMacRoman)) {
        (void)AEPutPtr(&SearchState.resultList, 0, typeChar, direct,
                       static_cast<Size>(std::strlen(direct)));
        return;
    }
    const CFIndex length = CFStringGetLength(text);
    // ASCII, the common case, is the same in Mac OS Roman: narrow it directly.
    const UniChar* chars = CFStringGetCharactersPtr(text);
    std::vector<char>& narrow = RomanBuffer();
    if (chars != nullptr && narrow.size() < static_cast<std::size_t>(length) + 1) {
        try {
            narrow.resize(static_cast<std::size_t>(length) + 1);
        } catch (const std::bad_alloc&) {
            return;  // out of memory: the element is lost, the match stays counted
        }
    }
    if (chars != nullptr) {
        CFIndex i = 0;
        while (i < length && chars[i] < 0x80) {
            narrow[static_cast<std::size_t>(i)] = static_cast<char>(chars[i]);
            ++i;
        }
        if (i == length) {
            (void)AEPutPtr(&SearchState.resultList, 0, typeChar, narrow.data(),
                           static_cast<Size>(length));
            return;
        }
    }
    const CFIndex capacity =
        CFStringGetMaximumSizeForEncoding(length + 1, kCFStringEncodingMacRoman);
    std::vector<char>& buffer = RomanBuffer();
    if (capacity > 0 && static_cast<std::size_t>(capacity) > buffer.size()) {
        try {
            buffer.resize(static_cast<std::size_t>(capacity));
        } catch (const std::bad_alloc&) {
            return;  // out of memory: the element is lost, the match stays counted
        }
    }
    if (!buffer.empty() &&
        CFStringGetCString(text, buffer.data(), static_cast<CFIndex>(buffer.size()),
                           kCFStringEncodingMacRoman)) {
        (void)AEPutPtr(&SearchState.resultList, 0, typeChar, buffer.data(),
                       static_cast<Size>(std::strlen(buffer.data())));
        return;
    }
    // No Mac OS Roman form (Cyrillic, CJK, emoji, bytes that are not UTF-8):
    // the element travels as Unicode text rather than being lost.
    AppendUnicodeText(CFStringGetCharactersPtr(text), length);
}

// The path is built on currentRootPath itself and cut back afterwards, which
// gives the same text as a copy without copying it for every match.
void AppendPath(CFStringRef itemName, bool hfsStyle) {
    CFMutableStringRef path = SearchState.currentRootPath;
    if (path == nullptr) return;
    const CFIndex before = CFStringGetLength(path);
    const CFIndex added = AppendPathComponent(path, itemName, hfsStyle);
    AppendStringAsText(path);
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
    switch (SearchParameters.resultType) {
        case FourCC("path"):
            AppendPath(itemName, true);
            break;
        case FourCC("pat2"):
            AppendPath(itemName, false);
            break;
        case FourCC("name"):
            if (romanName[0] != 0)
                (void)AEPutPtr(&SearchState.resultList, 0, typeChar, romanName + 1, romanName[0]);
            else
                AppendUnicodeText(CFStringGetCharactersPtr(itemName), CFStringGetLength(itemName));
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
