#include "platform/MacRoman.h"

#include <unicode/unorm2.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// Bytes 0x80-0xFF. Written from the public Mac OS Roman mapping; the tests
// compare it with an independent decoder.
constexpr std::array<char16_t, 128> kHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // 80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,  // 88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // 90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,  // 98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // A0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,  // A8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // B0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,  // B8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // C0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,  // C8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // D0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,  // D8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // E0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,  // E8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // F0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,  // F8
};

struct ReversePair {
    char16_t unicode;
    unsigned char byte;
};

// kHigh sorted by Unicode value, for the reverse lookup.
const std::array<ReversePair, 128>& ReverseTable() {
    static const std::array<ReversePair, 128> table = [] {
        std::array<ReversePair, 128> t{};
        for (std::size_t i = 0; i < 128; ++i) {
            t[i] = {kHigh[i], static_cast<unsigned char>(0x80 + i)};
        }
        std::sort(t.begin(), t.end(),
                  [](const ReversePair& a, const ReversePair& b) { return a.unicode < b.unicode; });
        return t;
    }();
    return table;
}

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Direct mapping, one UTF-16 unit per byte, composing a letter with one
// following mark on the way (the form D names from the catalog: "e" U+0301
// gives 0x8E without a full normalisation). false at the first unit that has
// no Mac OS Roman form (surrogates never have one).
bool MapDirect(std::u16string_view text, std::string* out) {
    out->clear();
    out->reserve(text.size());
    char16_t previous = 0;  // the Unicode character of the last byte written
    for (char16_t u : text) {
        unsigned char byte = 0;
        if (UnicodeToMacRoman(u, &byte)) {
            out->push_back(static_cast<char>(byte));
            previous = u;
            continue;
        }
        if (previous != 0 && u >= 0x0300 && u <= 0x036F) {
            UErrorCode status = U_ZERO_ERROR;
            const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
            UChar32 composed = U_SUCCESS(status) ? unorm2_composePair(nfc, previous, u) : -1;
            if (composed > 0 && UnicodeToMacRoman(static_cast<char32_t>(composed), &byte)) {
                out->back() = static_cast<char>(byte);
                previous = static_cast<char16_t>(composed);
                continue;
            }
        }
        out->clear();
        return false;
    }
    return true;
}

}  // namespace

char16_t MacRomanToUnicode(unsigned char byte) {
    return byte < 0x80 ? static_cast<char16_t>(byte) : kHigh[byte - 0x80];
}

bool UnicodeToMacRoman(char32_t character, unsigned char* byte) {
    if (character < 0x80) {
        *byte = static_cast<unsigned char>(character);
        return true;
    }
    if (character > 0xFFFF) return false;
    const auto& table = ReverseTable();
    auto it =
        std::lower_bound(table.begin(), table.end(), static_cast<char16_t>(character),
                         [](const ReversePair& p, char16_t value) { return p.unicode < value; });
    if (it == table.end() || it->unicode != character) return false;
    *byte = it->byte;
    return true;
}

std::string MacRomanToUtf8(const unsigned char* bytes, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        char16_t u = MacRomanToUnicode(bytes[i]);
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

bool Utf16ToMacRoman(std::u16string_view text, std::string* out) {
    if (MapDirect(text, out)) return true;
    // Something did not map. Full composition still helps where the pairwise
    // step cannot (a singleton such as the ohm sign, marks out of canonical
    // order); try once more on the composed text.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i])) {
            if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1])) return false;
            ++i;
        } else if (IsLowSurrogate(text[i])) {
            return false;
        }
    }
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status)) return false;
    const auto* src = reinterpret_cast<const UChar*>(text.data());
    auto srcLength = static_cast<int32_t>(text.size());
    std::u16string composed(text.size(), u'\0');  // composition never lengthens here
    int32_t length =
        unorm2_normalize(nfc, src, srcLength, reinterpret_cast<UChar*>(composed.data()),
                         static_cast<int32_t>(composed.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        composed.assign(static_cast<std::size_t>(length), u'\0');
        length = unorm2_normalize(nfc, src, srcLength, reinterpret_cast<UChar*>(composed.data()),
                                  length, &status);
    }
    if (U_FAILURE(status)) return false;
    composed.resize(static_cast<std::size_t>(length));
    return MapDirect(composed, out);
}

bool Utf8ToMacRoman(std::string_view text, std::string* out) {
    out->clear();
    std::u16string utf16;
    if (!Utf8ToUtf16(text, &utf16)) return false;
    return Utf16ToMacRoman(utf16, out);
}

bool Utf8ToUtf16(std::string_view text, std::u16string* out) {
    out->clear();
    out->reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 < 0x80) {
            out->push_back(b0);
            ++i;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if ((b0 & 0xE0) == 0xC0) {
            extra = 1, cp = b0 & 0x1F, minimum = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, cp = b0 & 0x0F, minimum = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, cp = b0 & 0x07, minimum = 0x10000;
        } else {
            out->clear();
            return false;
        }
        if (text.size() - i <= static_cast<std::size_t>(extra)) {
            out->clear();
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0) != 0x80) {
                out->clear();
                return false;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out->clear();
            return false;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out->push_back(static_cast<char16_t>(cp));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

bool Utf16ToUtf8(std::u16string_view text, std::string* out) {
    out->clear();
    out->reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (IsHighSurrogate(text[i])) {
            if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1])) {
                out->clear();
                return false;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (IsLowSurrogate(text[i])) {
            out->clear();
            return false;
        }
        if (cp < 0x80) {
            out->push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return true;
}
