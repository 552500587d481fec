// Mac OS Roman <-> Unicode. Pure C++ (no system headers): text/ and every
// other layer may include it. The table is the modern public mapping: 0xDB is
// the euro sign (U+20AC) and 0xF0 the Apple logo (U+F8FF); 0x00-0x7F are ASCII.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The Unicode character of one Mac OS Roman byte (every byte has one).
char16_t MacRomanToUnicode(unsigned char byte);

// The Mac OS Roman byte of one precomposed Unicode character; false when Mac
// OS Roman has no such character. Decomposed sequences are not composed here.
bool UnicodeToMacRoman(char32_t character, unsigned char* byte);

// Mac OS Roman bytes as UTF-8 (never fails).
std::string MacRomanToUtf8(const unsigned char* bytes, std::size_t length);

// UTF-16 text as Mac OS Roman bytes. The text is composed first (Unicode form
// C), so "e" + U+0301 gives 0x8E like U+00E9 does. false, with `out` left
// empty, when any character has no Mac OS Roman form: nothing is replaced by
// a substitute. An unpaired surrogate also fails.
bool Utf16ToMacRoman(std::u16string_view text, std::string* out);

// UTF-8 text as Mac OS Roman bytes, like Utf16ToMacRoman. false for malformed
// UTF-8 as well.
bool Utf8ToMacRoman(std::string_view text, std::string* out);

// Strict UTF-8 <-> UTF-16 (no overlong forms, no encoded surrogates, nothing
// beyond U+10FFFF; unpaired surrogates do not encode). false on malformed input.
bool Utf8ToUtf16(std::string_view text, std::u16string* out);
bool Utf16ToUtf8(std::u16string_view text, std::string* out);
