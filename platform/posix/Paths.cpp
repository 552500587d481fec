// Name encodings and date conversion for the catalog.
//
// POSIX names are bytes; the catalog shows them as UTF-16 with ':' as '/'
// (the HFS convention) and with every byte that is not part of valid UTF-8
// as U+F700 + byte. Valid UTF-8 that encodes U+F780..U+F7FF is escaped the
// same way byte by byte, so the mapping back to bytes is exact for every name.
#include <algorithm>
#include <string>

#include "platform/MacRoman.h"
#include "platform/posix/CatalogInternal.h"

namespace sw::posix {
namespace {

constexpr char16_t kEscapeBase = 0xF700;
constexpr char32_t kEscapeFirst = 0xF780;
constexpr char32_t kEscapeLast = 0xF7FF;

// Length of the valid UTF-8 sequence at `s[i]` and its code point, or 0.
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::u16string BytesToUnicode(std::string_view bytes, bool hfsForm) {
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(bytes, i, cp);
        if (len == 0 || (cp >= kEscapeFirst && cp <= kEscapeLast)) {
            out += static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[i]));
            ++i;
            continue;
        }
        i += len;
        if (hfsForm && cp == ':') cp = '/';
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string UnicodeToBytes(const UniChar* chars, std::size_t count, bool hfsForm) {
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        char32_t cp = chars[i];
        if (cp >= kEscapeFirst && cp <= kEscapeLast) {
            out += static_cast<char>(cp - kEscapeBase);
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && chars[i + 1] >= 0xDC00 &&
            chars[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (chars[i + 1] - 0xDC00);
            ++i;
        } else if ((cp >= 0xD800 && cp <= 0xDFFF) || cp == 0) {
            cp = 0xFFFD;  // no byte form; never produced by BytesToUnicode
        }
        if (hfsForm && cp == '/') cp = ':';
        AppendUtf8(out, cp);
    }
    return out;
}

void PosixNameToUnicode(std::string_view posixName, HFSUniStr255& out) {
    // Most names are plain ASCII: a copy that swaps ':' (both loops vectorise).
    const std::size_t size = posixName.size() < 255 ? posixName.size() : 255;
    unsigned char any = 0;
    for (std::size_t i = 0; i < size; ++i) any |= static_cast<unsigned char>(posixName[i]);
    if (posixName.size() <= 255 && any < 0x80) {
        out.length = static_cast<UInt16>(size);
        for (std::size_t i = 0; i < size; ++i) {
            const auto c = static_cast<UniChar>(posixName[i]);
            out.unicode[i] = c == ':' ? UniChar{'/'} : c;
        }
        return;
    }
    // Decoded straight into `out`: no unit is longer than the bytes it came
    // from, except a 4-byte sequence, which gives two.
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < posixName.size() && n < 255) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(posixName, i, cp);
        if (len == 0 || (cp >= kEscapeFirst && cp <= kEscapeLast)) {
            out.unicode[n++] =
                static_cast<UniChar>(kEscapeBase + static_cast<unsigned char>(posixName[i]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            if (n + 2 > 255) break;  // never half a pair
            cp -= 0x10000;
            out.unicode[n++] = static_cast<UniChar>(0xD800 + (cp >> 10));
            out.unicode[n++] = static_cast<UniChar>(0xDC00 + (cp & 0x3FF));
        } else {
            out.unicode[n++] = static_cast<UniChar>(cp == ':' ? U'/' : cp);
        }
        i += len;
    }
    out.length = static_cast<UInt16>(n);
}

std::u16string PosixNameToUnicode(std::string_view posixName) {
    return BytesToUnicode(posixName, true);
}

std::string UnicodeToPosixName(const UniChar* chars, std::size_t count) {
    return UnicodeToBytes(chars, count, true);
}

bool UnicodeToRoman(const UniChar* chars, std::size_t count, std::string& roman) {
    return Utf16ToMacRoman(std::u16string_view(reinterpret_cast<const char16_t*>(chars), count),
                           &roman);
}

std::u16string RomanToUnicode(std::string_view roman) {
    std::u16string out;
    out.reserve(roman.size());
    for (char c : roman) out += MacRomanToUnicode(static_cast<unsigned char>(c));
    return out;
}

UTCDateTime UTCDateTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds) {
    constexpr std::int64_t k1904To1970 = 2082844800;
    constexpr std::int64_t kMax = (std::int64_t{1} << 48) - 1;
    std::int64_t s = seconds + k1904To1970;
    std::uint32_t fraction =
        static_cast<std::uint32_t>((std::uint64_t{nanoseconds} << 16) / 1000000000u);
    if (s < 0) s = 0, fraction = 0;
    if (s > kMax) s = kMax, fraction = 0xFFFF;
    if (fraction > 0xFFFF) fraction = 0xFFFF;
    UTCDateTime d;
    d.highSeconds = static_cast<UInt16>(s >> 32);
    d.lowSeconds = static_cast<UInt32>(s & 0xFFFFFFFF);
    d.fraction = static_cast<UInt16>(fraction);
    return d;
}

}  // namespace sw::posix
