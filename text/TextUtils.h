// Str255 utilities and the classic text routines, for Mac OS Roman text.
//
// Every routine that writes a Str255 stays within its 255 text bytes: what
// does not fit is cut off. Null pointers are treated as empty strings (or, for
// a destination, leave nothing written).
#pragma once

#include <string>
#include <string_view>

#include "platform/MacTypes.h"

using ScriptCode = SInt16;
inline constexpr ScriptCode smSystemScript = -1;
inline constexpr ScriptCode smRoman = 0;

// Copies a Str255: its length byte and that many bytes (may overlap).
void CopyPString(ConstStr255Param source, StringPtr destination);
// Adds the source's bytes behind the destination's and raises its length
// byte; bytes that would go past 255 are dropped. A string may be appended to
// itself.
void AppendPString(ConstStr255Param source, StringPtr destination);
// A Str255 of at most the first 255 bytes of a zero-terminated text (bytes
// taken as they are: Mac OS Roman).
void CToPString(const char* source, StringPtr destination);
// Appends at most as many bytes of a zero-terminated text as still fit.
void AppendCToPString(const char* source, StringPtr destination);
// Sets `count` bytes to `value`; nothing for a null address or count <= 0.
void FillBlock(void* address, Size count, UInt8 value);

// Decimal text, with a leading "-" for negative numbers ("-2147483648" too).
void NumToString(SInt32 theNum, StringPtr theString);
// An optional "+" or "-", then decimal digits; reading stops at the first
// other byte, so "12kb" gives 12 and text without leading digits gives 0.
// Values beyond the 32-bit range are held at INT32_MAX or INT32_MIN.
void StringToNum(ConstStr255Param theString, SInt32* theNum);
// The same reading, but true only when the whole text is an optional sign and
// at least one digit and the value fits in 32 bits; *theNum is then set.
Boolean StringToNumExact(ConstStr255Param theString, SInt32* theNum);

// Equality with case and/or diacritics ignored when their flag is false: the
// bytes are compared after UppercaseStripDiacritics' mappings (only the
// upper-casing when diacritics count, only the stripping when case counts).
Boolean EqualString(ConstStr255Param str1, ConstStr255Param str2, Boolean caseSensitive,
                    Boolean diacSensitive);
// 0 when the two are identical (case and diacritics significant), else 1.
// itl2Handle is accepted for the classic call shape and not used.
SInt16 IdenticalString(ConstStr255Param aStr, ConstStr255Param bStr, Handle itl2Handle = nullptr);

// In place, for Mac OS Roman (every script code is taken as Roman): a-z and
// accented letters become upper case and letters lose their diacritics
// (é -> E, ÿ -> Y, å -> A); æ, ø, œ become Æ, Ø, Œ; dotless ı becomes I;
// ß, µ, π and the ligatures ﬁ and ﬂ, which have no upper-case form in Mac OS
// Roman, stay. Nothing happens for a null pointer or len <= 0.
void UppercaseStripDiacritics(Ptr textPtr, SInt32 len, ScriptCode script);
void UppercaseStripDiacritics(unsigned char* textPtr, SInt32 len, ScriptCode script);

// The same mappings on one byte.
unsigned char RomanUppercase(unsigned char byte);
unsigned char RomanStripDiacritics(unsigned char byte);

// UTF-8 text as a Mac OS Roman Str255 (composed first), cut at 255 bytes.
// false, leaving the destination empty, when a character has no Roman form.
Boolean Utf8ToPString(std::string_view utf8, StringPtr destination);
// A Str255's text as UTF-8.
std::string PStringToUtf8(ConstStr255Param source);
// A Str255's text bytes as they are.
std::string PStringBytes(ConstStr255Param source);

// A Str255 by value, mainly for literals in tests and fixed texts:
//     PString s = PStringFromLiteral("Résumé");  // UTF-8 in, Mac OS Roman inside
//     CopyPString(s, buffer);
struct PString {
    Str255 bytes;
    operator StringPtr() { return bytes; }
    operator ConstStr255Param() const { return bytes; }
};
// UTF-8 converted to Mac OS Roman and cut at 255 bytes; a character with no
// Roman form makes the result empty.
PString PStringFromLiteral(std::string_view utf8);
