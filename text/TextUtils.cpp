#include "text/TextUtils.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/MacRoman.h"

namespace {

constexpr unsigned char kEmpty[1] = {0};

ConstStr255Param OrEmpty(ConstStr255Param s) {
    return s != nullptr ? s : kEmpty;
}

// The accented and other non-ASCII letters of Mac OS Roman: the letter
// without its diacritics (0 when Unicode gives it no base letter: Æ, Ø, Œ, ı)
// and its upper-case form in Mac OS Roman (itself when it is upper case or
// Roman has no upper-case form).
struct Letter {
    unsigned char byte;
    unsigned char base;
    unsigned char upper;
};

constexpr Letter kLetters[] = {
    {0x80, 'A', 0x80}, {0x81, 'A', 0x81}, {0x82, 'C', 0x82}, {0x83, 'E', 0x83},  // Ä Å Ç É
    {0x84, 'N', 0x84}, {0x85, 'O', 0x85}, {0x86, 'U', 0x86},                     // Ñ Ö Ü
    {0x87, 'a', 0xE7}, {0x88, 'a', 0xCB}, {0x89, 'a', 0xE5}, {0x8A, 'a', 0x80},  // á à â ä
    {0x8B, 'a', 0xCC}, {0x8C, 'a', 0x81}, {0x8D, 'c', 0x82}, {0x8E, 'e', 0x83},  // ã å ç é
    {0x8F, 'e', 0xE9}, {0x90, 'e', 0xE6}, {0x91, 'e', 0xE8}, {0x92, 'i', 0xEA},  // è ê ë í
    {0x93, 'i', 0xED}, {0x94, 'i', 0xEB}, {0x95, 'i', 0xEC}, {0x96, 'n', 0x84},  // ì î ï ñ
    {0x97, 'o', 0xEE}, {0x98, 'o', 0xF1}, {0x99, 'o', 0xEF}, {0x9A, 'o', 0x85},  // ó ò ô ö
    {0x9B, 'o', 0xCD}, {0x9C, 'u', 0xF2}, {0x9D, 'u', 0xF4}, {0x9E, 'u', 0xF3},  // õ ú ù û
    {0x9F, 'u', 0x86},                                                           // ü
    {0xAE, 0, 0xAE},   {0xAF, 0, 0xAF},   {0xBE, 0, 0xAE},   {0xBF, 0, 0xAF},    // Æ Ø æ ø
    {0xCB, 'A', 0xCB}, {0xCC, 'A', 0xCC}, {0xCD, 'O', 0xCD},                     // À Ã Õ
    {0xCE, 0, 0xCE},   {0xCF, 0, 0xCE},                                          // Œ œ
    {0xD8, 'y', 0xD9}, {0xD9, 'Y', 0xD9},                                        // ÿ Ÿ
    {0xE5, 'A', 0xE5}, {0xE6, 'E', 0xE6}, {0xE7, 'A', 0xE7}, {0xE8, 'E', 0xE8},  // Â Ê Á Ë
    {0xE9, 'E', 0xE9}, {0xEA, 'I', 0xEA}, {0xEB, 'I', 0xEB}, {0xEC, 'I', 0xEC},  // È Í Î Ï
    {0xED, 'I', 0xED}, {0xEE, 'O', 0xEE}, {0xEF, 'O', 0xEF}, {0xF1, 'O', 0xF1},  // Ì Ó Ô Ò
    {0xF2, 'U', 0xF2}, {0xF3, 'U', 0xF3}, {0xF4, 'U', 0xF4},                     // Ú Û Ù
    {0xF5, 0, 'I'},                                                              // ı
};

struct Tables {
    std::array<unsigned char, 256> upper{};
    std::array<unsigned char, 256> strip{};
    std::array<unsigned char, 256> upperStrip{};
};

constexpr Tables MakeTables() {
    Tables t;
    for (int b = 0; b < 256; ++b) {
        auto byte = static_cast<unsigned char>(b);
        t.upper[b] = (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 32) : byte;
        t.strip[b] = byte;
    }
    for (const Letter& l : kLetters) {
        t.upper[l.byte] = l.upper;
        if (l.base != 0) t.strip[l.byte] = l.base;
    }
    for (int b = 0; b < 256; ++b) t.upperStrip[b] = t.upper[t.strip[t.upper[b]]];
    return t;
}

constexpr Tables kTables = MakeTables();

void SetBytes(StringPtr destination, const char* bytes, std::size_t length) {
    if (length > 255) length = 255;
    std::memmove(destination + 1, bytes, length);
    destination[0] = static_cast<unsigned char>(length);
}

// Sign and digits from the start of `text`. `value` is held at the 32-bit
// bounds (`clamped` tells); `digits` counts the digits read, `consumed` the bytes.
struct Number {
    SInt32 value = 0;
    bool clamped = false;
    int digits = 0;
    int consumed = 0;
};

Number ReadNumber(ConstStr255Param text) {
    text = OrEmpty(text);
    Number n;
    int length = text[0];
    int i = 0;
    bool negative = false;
    if (i < length && (text[1 + i] == '+' || text[1 + i] == '-')) {
        negative = text[1 + i] == '-';
        ++i;
    }
    // The magnitude grows in 64 bits and stops growing once it is past the
    // 32-bit range, so nothing can overflow however many digits follow.
    const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<SInt32>::min()}
                                        : std::int64_t{std::numeric_limits<SInt32>::max()};
    std::int64_t magnitude = 0;
    while (i < length && text[1 + i] >= '0' && text[1 + i] <= '9') {
        if (!n.clamped) {
            magnitude = magnitude * 10 + (text[1 + i] - '0');
            if (magnitude > limit) {
                magnitude = limit;
                n.clamped = true;
            }
        }
        ++n.digits;
        ++i;
    }
    n.value = static_cast<SInt32>(negative ? -magnitude : magnitude);
    n.consumed = i;
    return n;
}

}  // namespace

void CopyPString(ConstStr255Param source, StringPtr destination) {
    if (destination == nullptr) return;
    source = OrEmpty(source);
    std::memmove(destination, source, std::size_t{source[0]} + 1);
}

void AppendPString(ConstStr255Param source, StringPtr destination) {
    if (destination == nullptr) return;
    source = OrEmpty(source);
    std::size_t have = destination[0];
    std::size_t add = source[0];  // read before writing: source may be destination
    if (add > 255 - have) add = 255 - have;
    std::memmove(destination + 1 + have, source + 1, add);
    destination[0] = static_cast<unsigned char>(have + add);
}

void CToPString(const char* source, StringPtr destination) {
    if (destination == nullptr) return;
    if (source == nullptr) {
        destination[0] = 0;
        return;
    }
    SetBytes(destination, source, strnlen(source, 255));
}

void AppendCToPString(const char* source, StringPtr destination) {
    if (destination == nullptr || source == nullptr) return;
    std::size_t have = destination[0];
    std::size_t add = strnlen(source, 255 - have);
    std::memmove(destination + 1 + have, source, add);
    destination[0] = static_cast<unsigned char>(have + add);
}

void FillBlock(void* address, Size count, UInt8 value) {
    if (address == nullptr || count <= 0) return;
    std::memset(address, value, static_cast<std::size_t>(count));
}

void NumToString(SInt32 theNum, StringPtr theString) {
    if (theString == nullptr) return;
    // Work on the magnitude in 64 bits: -INT32_MIN does not fit in 32.
    std::int64_t value = theNum;
    bool negative = value < 0;
    std::uint64_t magnitude = negative ? static_cast<std::uint64_t>(-value) : value;
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int length = 0;
    if (negative) theString[1 + length++] = '-';
    while (n > 0) theString[1 + length++] = static_cast<unsigned char>(digits[--n]);
    theString[0] = static_cast<unsigned char>(length);
}

void StringToNum(ConstStr255Param theString, SInt32* theNum) {
    if (theNum != nullptr) *theNum = ReadNumber(theString).value;
}

Boolean StringToNumExact(ConstStr255Param theString, SInt32* theNum) {
    Number n = ReadNumber(theString);
    if (n.digits == 0 || n.clamped || n.consumed != OrEmpty(theString)[0]) return false;
    if (theNum != nullptr) *theNum = n.value;
    return true;
}

Boolean EqualString(ConstStr255Param str1, ConstStr255Param str2, Boolean caseSensitive,
                    Boolean diacSensitive) {
    str1 = OrEmpty(str1);
    str2 = OrEmpty(str2);
    if (str1[0] != str2[0]) return false;
    const unsigned char* map = nullptr;
    if (!caseSensitive && !diacSensitive) {
        map = kTables.upperStrip.data();
    } else if (!caseSensitive) {
        map = kTables.upper.data();
    } else if (!diacSensitive) {
        map = kTables.strip.data();
    }
    for (int i = 1; i <= str1[0]; ++i) {
        unsigned char a = str1[i];
        unsigned char b = str2[i];
        if (map != nullptr) {
            a = map[a];
            b = map[b];
        }
        if (a != b) return false;
    }
    return true;
}

SInt16 IdenticalString(ConstStr255Param aStr, ConstStr255Param bStr, Handle) {
    aStr = OrEmpty(aStr);
    bStr = OrEmpty(bStr);
    return std::memcmp(aStr, bStr, std::size_t{aStr[0]} + 1) == 0 ? 0 : 1;
}

void UppercaseStripDiacritics(unsigned char* textPtr, SInt32 len, ScriptCode) {
    if (textPtr == nullptr || len <= 0) return;
    for (SInt32 i = 0; i < len; ++i) textPtr[i] = kTables.upperStrip[textPtr[i]];
}

void UppercaseStripDiacritics(Ptr textPtr, SInt32 len, ScriptCode script) {
    UppercaseStripDiacritics(reinterpret_cast<unsigned char*>(textPtr), len, script);
}

unsigned char RomanUppercase(unsigned char byte) {
    return kTables.upper[byte];
}

unsigned char RomanStripDiacritics(unsigned char byte) {
    return kTables.strip[byte];
}

Boolean Utf8ToPString(std::string_view utf8, StringPtr destination) {
    if (destination == nullptr) return false;
    std::string roman;
    if (!Utf8ToMacRoman(utf8, &roman)) {
        destination[0] = 0;
        return false;
    }
    SetBytes(destination, roman.data(), roman.size());
    return true;
}

std::string PStringToUtf8(ConstStr255Param source) {
    source = OrEmpty(source);
    return MacRomanToUtf8(source + 1, source[0]);
}

std::string PStringBytes(ConstStr255Param source) {
    source = OrEmpty(source);
    return std::string(reinterpret_cast<const char*>(source + 1), source[0]);
}

PString PStringFromLiteral(std::string_view utf8) {
    PString s{};
    Utf8ToPString(utf8, s.bytes);
    return s;
}
