#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CoreFoundation.h"
#include "platform/MacRoman.h"
#include "platform/cf/CFStringInternal.h"

namespace {

void FinalizeString(CFRuntimeBase* base) {
    delete reinterpret_cast<OpaqueCFString*>(base);
}

OpaqueCFString* NewString(std::u16string chars, CFIndex maxLength = 0) {
    auto* s = new OpaqueCFString{};
    CFRuntimeInit(&s->base, FinalizeString);
    s->chars = std::move(chars);
    s->maxLength = maxLength > 0 ? maxLength : 0;
    return s;
}

const std::u16string& Chars(CFStringRef s) {
    static const std::u16string empty;
    return s != nullptr ? s->chars : empty;
}

bool IsAscii(std::u16string_view text) {
    // No early exit: the whole loop vectorises, and most texts are ASCII.
    char16_t any = 0;
    for (char16_t u : text) any |= u;
    return any < 0x80;
}

// True when `part` lies inside the units of `s` (an append from itself).
bool Overlaps(const OpaqueCFString* s, const char16_t* part) {
    const std::less<const char16_t*> before;
    const char16_t* begin = s->chars.data();
    return !before(part, begin) && before(part, begin + s->chars.size());
}

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}

char16_t AsciiLower(char16_t u) {
    return (u >= 'A' && u <= 'Z') ? static_cast<char16_t>(u + 32) : u;
}

// The part of `range` that lies inside a string of `length` units.
CFRange Clamp(CFRange range, CFIndex length) {
    CFIndex start = std::clamp<CFIndex>(range.location, 0, length);
    CFIndex count = std::clamp<CFIndex>(range.length, 0, length - start);
    return {start, count};
}

// Text in one of the encodings we read, as UTF-16; false when it does not decode.
bool Decode(std::string_view bytes, CFStringEncoding encoding, std::u16string* out) {
    if (encoding == kCFStringEncodingMacRoman) {
        out->clear();
        out->reserve(bytes.size());
        for (char c : bytes) out->push_back(MacRomanToUnicode(static_cast<unsigned char>(c)));
        return true;
    }
    if (encoding == kCFStringEncodingUTF8) return Utf8ToUtf16(bytes, out);
    return false;
}

// Text as bytes in `encoding`; false when a character has no form there.
bool Encode(std::u16string_view text, CFStringEncoding encoding, std::string* out) {
    if (IsAscii(text)) {  // the common case: no table, no composition
        out->assign(text.begin(), text.end());
        return encoding == kCFStringEncodingMacRoman || encoding == kCFStringEncodingUTF8;
    }
    if (encoding == kCFStringEncodingMacRoman) return Utf16ToMacRoman(text, out);
    if (encoding == kCFStringEncodingUTF8) return Utf16ToUtf8(text, out);
    return false;
}

// Appends `extra` to `s`, cut at the string's maximum length (never inside a
// surrogate pair).
void AppendBounded(OpaqueCFString* s, std::u16string_view extra) {
    if (s->maxLength > 0) {
        auto room = static_cast<std::size_t>(
            std::max<CFIndex>(0, s->maxLength - static_cast<CFIndex>(s->chars.size())));
        if (extra.size() > room) {
            extra = extra.substr(0, room);
            if (!extra.empty() && IsHighSurrogate(extra.back())) extra.remove_suffix(1);
        }
    }
    s->chars.append(extra);
}

// --- Comparison -----------------------------------------------------------------
//
// Strings are compared as given (the caller normalises them first). Each code
// point is mapped on its own: kCFCompareNonliteral decomposes it (form D),
// kCFCompareDiacriticInsensitive decomposes it and drops its non-spacing
// marks, kCFCompareCaseInsensitive applies Unicode full case folding (ß and
// "ss" are then equal). An ASCII code point is only lowered.

const UNormalizer2* Nfd() {
    UErrorCode status = U_ZERO_ERROR;
    static const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
    return nfd;
}

void AppendMapped(const UChar* unit, int32_t units, CFOptionFlags options, std::u16string* out) {
    if (units == 1 && unit[0] < 0x80) {
        char16_t u = unit[0];
        out->push_back((options & kCFCompareCaseInsensitive) ? AsciiLower(u) : u);
        return;
    }
    CFOptionFlags mapping = options & (kCFCompareCaseInsensitive | kCFCompareNonliteral |
                                       kCFCompareDiacriticInsensitive);
    if (mapping == 0) {
        out->append(reinterpret_cast<const char16_t*>(unit), static_cast<std::size_t>(units));
        return;
    }
    if (mapping == kCFCompareCaseInsensitive && units == 1 &&
        !u_hasBinaryProperty(unit[0], UCHAR_CHANGES_WHEN_CASEFOLDED)) {
        out->push_back(unit[0]);  // most marks and caseless letters: no folding call
        return;
    }
    UChar buffer[64];
    int32_t length = units;
    std::memcpy(buffer, unit, sizeof(UChar) * static_cast<std::size_t>(units));
    if ((options & (kCFCompareNonliteral | kCFCompareDiacriticInsensitive)) && Nfd() != nullptr) {
        UChar decomposed[32];
        UErrorCode status = U_ZERO_ERROR;
        int32_t n = unorm2_normalize(Nfd(), buffer, length, decomposed, 32, &status);
        if (U_SUCCESS(status)) {
            std::memcpy(buffer, decomposed, sizeof(UChar) * static_cast<std::size_t>(n));
            length = n;
        }
    }
    if (options & kCFCompareDiacriticInsensitive) {
        int32_t kept = 0;
        for (int32_t i = 0; i < length;) {
            UChar32 c;
            int32_t start = i;
            U16_NEXT(buffer, i, length, c);
            if (u_charType(c) == U_NON_SPACING_MARK) continue;
            for (int32_t k = start; k < i; ++k) buffer[kept++] = buffer[k];
        }
        length = kept;
    }
    if (options & kCFCompareCaseInsensitive) {
        UChar folded[64];
        UErrorCode status = U_ZERO_ERROR;
        int32_t n = u_strFoldCase(folded, 64, buffer, length, U_FOLD_CASE_DEFAULT, &status);
        if (U_SUCCESS(status)) {
            std::memcpy(buffer, folded, sizeof(UChar) * static_cast<std::size_t>(n));
            length = n;
        }
    }
    out->append(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(length));
}

// `source` with each code point mapped as `options` say. With `sourceAt`:
// for every mapped position that begins a source code point, that code
// point's index in the source plus `offset` (-1 elsewhere); the entry after
// the last position holds the source's end.
std::u16string MapText(std::u16string_view source, CFOptionFlags options,
                       std::vector<CFIndex>* sourceAt = nullptr, CFIndex offset = 0) {
    std::u16string out;
    out.reserve(source.size());
    if (sourceAt != nullptr) {
        sourceAt->reserve(source.size() + 1);
        sourceAt->assign(1, -1);
    }
    const auto* units = reinterpret_cast<const UChar*>(source.data());
    auto length = static_cast<int32_t>(source.size());
    for (int32_t i = 0; i < length;) {
        int32_t start = i;
        UChar32 c;
        U16_NEXT(units, i, length, c);
        (void)c;
        if (sourceAt != nullptr && (*sourceAt)[out.size()] < 0) {
            (*sourceAt)[out.size()] = offset + start;
        }
        AppendMapped(units + start, i - start, options, &out);
        if (sourceAt != nullptr) sourceAt->resize(out.size() + 1, -1);
    }
    if (sourceAt != nullptr && sourceAt->back() < 0) sourceAt->back() = offset + length;
    return out;
}

// Whether the code point at `index` continues the character before it
// (a combining mark and the like).
bool ExtendsCharacter(const std::u16string& text, CFIndex index) {
    if (index < 0 || index >= static_cast<CFIndex>(text.size())) return false;
    UChar32 c;
    const auto* units = reinterpret_cast<const UChar*>(text.data());
    auto at = static_cast<int32_t>(index);
    U16_GET(units, 0, at, static_cast<int32_t>(text.size()), c);
    return u_hasBinaryProperty(c, UCHAR_GRAPHEME_EXTEND) != 0;
}

CFComparisonResult CompareUnits(std::u16string_view a, std::u16string_view b) {
    int r = a.compare(b);
    return r < 0 ? kCFCompareLessThan : (r > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo);
}

bool AsciiEqualAt(std::u16string_view text, std::size_t at, std::u16string_view pattern,
                  bool caseInsensitive) {
    for (std::size_t k = 0; k < pattern.size(); ++k) {
        char16_t x = text[at + k];
        char16_t y = pattern[k];
        if (caseInsensitive) {
            x = AsciiLower(x);
            y = AsciiLower(y);
        }
        if (x != y) return false;
    }
    return true;
}

// Position of `pattern` in `text`, honouring backwards and anchored; npos when absent.
std::size_t SearchAscii(std::u16string_view text, std::u16string_view pattern,
                        CFOptionFlags options) {
    if (pattern.size() > text.size()) return std::u16string_view::npos;
    bool ci = (options & kCFCompareCaseInsensitive) != 0;
    std::size_t last = text.size() - pattern.size();
    if (options & kCFCompareBackwards) {
        if (options & kCFCompareAnchored) {
            return AsciiEqualAt(text, last, pattern, ci) ? last : std::u16string_view::npos;
        }
        for (std::size_t p = last + 1; p-- > 0;) {
            if (AsciiEqualAt(text, p, pattern, ci)) return p;
        }
        return std::u16string_view::npos;
    }
    if (options & kCFCompareAnchored) {
        return AsciiEqualAt(text, 0, pattern, ci) ? 0 : std::u16string_view::npos;
    }
    for (std::size_t p = 0; p <= last; ++p) {
        if (AsciiEqualAt(text, p, pattern, ci)) return p;
    }
    return std::u16string_view::npos;
}

std::map<std::string, OpaqueCFString*, std::less<>>& Literals() {
    static auto* literals = new std::map<std::string, OpaqueCFString*, std::less<>>();
    return *literals;
}

}  // namespace

CFMutableStringRef CFStringMakeFromUtf16(std::u16string chars) {
    return NewString(std::move(chars));
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef, const UniChar* chars, CFIndex numChars) {
    if (numChars < 0 || (chars == nullptr && numChars > 0)) return nullptr;
    std::u16string text;
    if (numChars > 0) text.assign(reinterpret_cast<const char16_t*>(chars), numChars);
    return NewString(std::move(text));
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding) {
    if (cStr == nullptr) return nullptr;
    std::u16string text;
    if (!Decode(cStr, encoding, &text)) return nullptr;
    return NewString(std::move(text));
}

CFStringRef CFStringCreateWithPascalString(CFAllocatorRef, ConstStr255Param pStr,
                                           CFStringEncoding encoding) {
    if (pStr == nullptr) return nullptr;
    std::u16string text;
    if (!Decode(std::string_view(reinterpret_cast<const char*>(pStr + 1), pStr[0]), encoding,
                &text)) {
        return nullptr;
    }
    return NewString(std::move(text));
}

CFMutableStringRef CFStringCreateMutable(CFAllocatorRef, CFIndex maxLength) {
    return NewString({}, maxLength);
}

CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef, CFIndex maxLength,
                                             CFStringRef string) {
    if (string == nullptr) return nullptr;
    OpaqueCFString* copy = NewString({}, maxLength);
    AppendBounded(copy, string->chars);
    return copy;
}

CFIndex CFStringGetLength(CFStringRef string) {
    return static_cast<CFIndex>(Chars(string).size());
}

UniChar CFStringGetCharacterAtIndex(CFStringRef string, CFIndex index) {
    const auto& chars = Chars(string);
    if (index < 0 || index >= static_cast<CFIndex>(chars.size())) return 0;
    return chars[static_cast<std::size_t>(index)];
}

void CFStringGetCharacters(CFStringRef string, CFRange range, UniChar* buffer) {
    if (buffer == nullptr) return;
    const auto& chars = Chars(string);
    CFRange r = Clamp(range, static_cast<CFIndex>(chars.size()));
    std::copy_n(chars.begin() + r.location, r.length, buffer);
}

const UniChar* CFStringGetCharactersPtr(CFStringRef string) {
    return reinterpret_cast<const UniChar*>(Chars(string).c_str());
}

void CFStringAppend(CFMutableStringRef string, CFStringRef appended) {
    if (string == nullptr || appended == nullptr) return;
    if (string == appended) {
        const std::u16string copy = appended->chars;  // growing would move the source
        AppendBounded(string, copy);
        return;
    }
    AppendBounded(string, appended->chars);
}

void CFStringAppendCString(CFMutableStringRef string, const char* cStr, CFStringEncoding encoding) {
    if (string == nullptr || cStr == nullptr) return;
    std::u16string text;
    if (Decode(cStr, encoding, &text)) AppendBounded(string, text);
}

void CFStringAppendCharacters(CFMutableStringRef string, const UniChar* chars, CFIndex numChars) {
    if (string == nullptr || chars == nullptr || numChars <= 0) return;
    const std::u16string_view extra(reinterpret_cast<const char16_t*>(chars),
                                    static_cast<std::size_t>(numChars));
    if (Overlaps(string, extra.data())) {
        const std::u16string copy(extra);  // growing would move the source
        AppendBounded(string, copy);
        return;
    }
    AppendBounded(string, extra);
}

void CFStringDelete(CFMutableStringRef string, CFRange range) {
    if (string == nullptr) return;
    CFRange r = Clamp(range, static_cast<CFIndex>(string->chars.size()));
    string->chars.erase(r.location, r.length);
}

void CFStringNormalize(CFMutableStringRef string, CFStringNormalizationForm form) {
    if (string == nullptr || IsAscii(string->chars)) return;  // ASCII is in every form
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* normalizer = nullptr;
    switch (form) {
        case kCFStringNormalizationFormD:
            normalizer = unorm2_getNFDInstance(&status);
            break;
        case kCFStringNormalizationFormKD:
            normalizer = unorm2_getNFKDInstance(&status);
            break;
        case kCFStringNormalizationFormC:
            normalizer = unorm2_getNFCInstance(&status);
            break;
        case kCFStringNormalizationFormKC:
            normalizer = unorm2_getNFKCInstance(&status);
            break;
        default:
            return;
    }
    if (U_FAILURE(status) || normalizer == nullptr) return;
    const auto* src = reinterpret_cast<const UChar*>(string->chars.data());
    auto srcLength = static_cast<int32_t>(string->chars.size());
    if (unorm2_quickCheck(normalizer, src, srcLength, &status) == UNORM_YES && U_SUCCESS(status)) {
        return;
    }
    status = U_ZERO_ERROR;
    // Reused: names are normalised once per entry of a walk.
    static thread_local std::u16string out;
    out.resize(string->chars.size() * 3 + 8);
    int32_t n = unorm2_normalize(normalizer, src, srcLength, reinterpret_cast<UChar*>(out.data()),
                                 static_cast<int32_t>(out.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        out.assign(static_cast<std::size_t>(n), u'\0');
        n = unorm2_normalize(normalizer, src, srcLength, reinterpret_cast<UChar*>(out.data()), n,
                             &status);
    }
    if (U_FAILURE(status)) return;  // left as it was rather than damaged
    string->chars.assign(out.data(), static_cast<std::size_t>(n));
}

CFComparisonResult CFStringCompareWithOptions(CFStringRef a, CFStringRef b, CFRange rangeToCompare,
                                              CFOptionFlags options) {
    const auto& whole = Chars(a);
    CFRange r = Clamp(rangeToCompare, static_cast<CFIndex>(whole.size()));
    std::u16string_view left(whole.data() + r.location, static_cast<std::size_t>(r.length));
    std::u16string_view right(Chars(b));
    if (IsAscii(left) && IsAscii(right)) {
        if (!(options & kCFCompareCaseInsensitive)) return CompareUnits(left, right);
        std::size_t n = std::min(left.size(), right.size());
        for (std::size_t i = 0; i < n; ++i) {
            char16_t x = AsciiLower(left[i]);
            char16_t y = AsciiLower(right[i]);
            if (x != y) return x < y ? kCFCompareLessThan : kCFCompareGreaterThan;
        }
        if (left.size() == right.size()) return kCFCompareEqualTo;
        return left.size() < right.size() ? kCFCompareLessThan : kCFCompareGreaterThan;
    }
    return CompareUnits(MapText(left, options), MapText(right, options));
}

CFComparisonResult CFStringCompare(CFStringRef a, CFStringRef b, CFOptionFlags options) {
    return CFStringCompareWithOptions(a, b, CFRangeMake(0, CFStringGetLength(a)), options);
}

Boolean CFStringFindWithOptions(CFStringRef string, CFStringRef find, CFRange rangeToSearch,
                                CFOptionFlags options, CFRange* result) {
    if (result != nullptr) *result = CFRangeMake(kCFNotFound, 0);
    const auto& whole = Chars(string);
    std::u16string_view pattern(Chars(find));
    if (pattern.empty()) return false;
    CFRange r = Clamp(rangeToSearch, static_cast<CFIndex>(whole.size()));
    std::u16string_view text(whole.data() + r.location, static_cast<std::size_t>(r.length));

    if (IsAscii(text) && IsAscii(pattern)) {
        std::size_t at = SearchAscii(text, pattern, options);
        if (at == std::u16string_view::npos) return false;
        if (result != nullptr) {
            *result = CFRangeMake(r.location + static_cast<CFIndex>(at),
                                  static_cast<CFIndex>(pattern.size()));
        }
        return true;
    }

    // General case: search the mapped text; a match must begin and end on
    // source code point boundaries, so that it maps back to a source range.
    std::vector<CFIndex> sourceAt;
    const std::u16string mapped = MapText(text, options, &sourceAt, r.location);
    const std::u16string needle = MapText(pattern, options);
    if (needle.empty() || needle.size() > mapped.size()) return false;
    std::size_t last = mapped.size() - needle.size();
    // A match may not stop before a combining mark: "cafe" is not in
    // "cafe" + U+0301 while diacritics count. When they do not, the match
    // takes the marks in.
    bool foldMarks = (options & kCFCompareDiacriticInsensitive) != 0;
    auto endOf = [&](std::size_t p) -> CFIndex {
        CFIndex end = sourceAt[p + needle.size()];
        if (end < 0) return -1;
        while (ExtendsCharacter(whole, end)) {
            if (!foldMarks) return -1;
            end += U16_IS_LEAD(whole[static_cast<std::size_t>(end)]) ? 2 : 1;
        }
        return end;
    };
    auto matchesAt = [&](std::size_t p) {
        return sourceAt[p] >= 0 &&
               std::u16string_view(mapped).compare(p, needle.size(), needle) == 0 && endOf(p) >= 0;
    };
    std::size_t found = std::u16string::npos;
    if (options & kCFCompareBackwards) {
        if (options & kCFCompareAnchored) {
            if (matchesAt(last)) found = last;
        } else {
            for (std::size_t p = last + 1; p-- > 0;) {
                if (matchesAt(p)) {
                    found = p;
                    break;
                }
            }
        }
    } else if (options & kCFCompareAnchored) {
        if (matchesAt(0)) found = 0;
    } else {
        for (std::size_t p = 0; p <= last; ++p) {
            if (matchesAt(p)) {
                found = p;
                break;
            }
        }
    }
    if (found == std::u16string::npos) return false;
    if (result != nullptr) {
        CFIndex begin = sourceAt[found];
        CFIndex end = std::min<CFIndex>(endOf(found), static_cast<CFIndex>(whole.size()));
        *result = CFRangeMake(begin, end - begin);
    }
    return true;
}

CFRange CFStringFind(CFStringRef string, CFStringRef find, CFOptionFlags options) {
    CFRange result;
    CFStringFindWithOptions(string, find, CFRangeMake(0, CFStringGetLength(string)), options,
                            &result);
    return result;
}

Boolean CFStringGetPascalString(CFStringRef string, StringPtr buffer, CFIndex bufferSize,
                                CFStringEncoding encoding) {
    if (buffer == nullptr || bufferSize < 1) return false;
    buffer[0] = 0;  // a failed conversion leaves an empty string, never stale bytes
    std::string bytes;
    if (string == nullptr || !Encode(string->chars, encoding, &bytes)) return false;
    CFIndex room = std::min<CFIndex>(bufferSize - 1, 255);
    if (static_cast<CFIndex>(bytes.size()) > room) return false;
    std::memcpy(buffer + 1, bytes.data(), bytes.size());
    buffer[0] = static_cast<unsigned char>(bytes.size());
    return true;
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding) {
    if (buffer == nullptr || bufferSize < 1) return false;
    buffer[0] = '\0';
    std::string bytes;
    if (string == nullptr || !Encode(string->chars, encoding, &bytes)) return false;
    if (static_cast<CFIndex>(bytes.size()) >= bufferSize) return false;
    std::memcpy(buffer, bytes.data(), bytes.size());
    buffer[bytes.size()] = '\0';
    return true;
}

const char* CFStringGetCStringPtr(CFStringRef, CFStringEncoding) {
    // Strings are kept as UTF-16 only; callers fall back to CFStringGetCString.
    return nullptr;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
    if (length < 0) return kCFNotFound;
    switch (encoding) {
        case kCFStringEncodingMacRoman:
            return length;  // one byte per unit at most: composing only shortens
        case kCFStringEncodingUTF8:
            return length * 3;  // a surrogate pair (2 units) takes 4 bytes
        case kCFStringEncodingUnicode:
            return length * 2;
        default:
            return kCFNotFound;
    }
}

CFStringRef CFSTR(const char* asciiLiteral) {
    if (asciiLiteral == nullptr) asciiLiteral = "";
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    auto& literals = Literals();
    std::string_view key(asciiLiteral);
    if (auto it = literals.find(key); it != literals.end()) return it->second;
    std::u16string text;
    if (!Utf8ToUtf16(key, &text)) Decode(key, kCFStringEncodingMacRoman, &text);
    auto* s = new OpaqueCFString{};
    CFRuntimeInit(&s->base, nullptr);  // lives for the process
    s->chars = std::move(text);
    s->maxLength = 0;
    literals.emplace(std::string(key), s);
    return s;
}
