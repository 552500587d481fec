// Core Foundation strings, URLs and the main bundle's Info dictionary.
// Strings are UTF-16, like HFSUniStr255 names. Every Create/Copy result is
// released by its receiver with CFRelease.
#pragma once

#include "platform/MacTypes.h"

using CFIndex = long;
using CFOptionFlags = unsigned long;
using CFStringEncoding = UInt32;
struct CFRange {
    CFIndex location;
    CFIndex length;
};
inline CFRange CFRangeMake(CFIndex location, CFIndex length) {
    return {location, length};
}

struct OpaqueCFString;
using CFStringRef = const OpaqueCFString*;
using CFMutableStringRef = OpaqueCFString*;
struct OpaqueCFURL;
using CFURLRef = const OpaqueCFURL*;
struct OpaqueCFBundle;
using CFBundleRef = OpaqueCFBundle*;
using CFTypeRef = const void*;
using CFAllocatorRef = const void*;
inline constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

using CFComparisonResult = int;
inline constexpr CFComparisonResult kCFCompareLessThan = -1;
inline constexpr CFComparisonResult kCFCompareEqualTo = 0;
inline constexpr CFComparisonResult kCFCompareGreaterThan = 1;
inline constexpr CFOptionFlags kCFCompareCaseInsensitive = 1;
inline constexpr CFOptionFlags kCFCompareBackwards = 4;
inline constexpr CFOptionFlags kCFCompareAnchored = 8;
inline constexpr CFOptionFlags kCFCompareNonliteral = 16;
inline constexpr CFOptionFlags kCFCompareDiacriticInsensitive = 128;

inline constexpr CFStringEncoding kCFStringEncodingMacRoman = 0;
inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;
inline constexpr CFStringEncoding kCFStringEncodingUnicode = 0x0100;
inline constexpr CFIndex kCFNotFound = -1;

using CFStringNormalizationForm = int;
inline constexpr CFStringNormalizationForm kCFStringNormalizationFormD = 0;
inline constexpr CFStringNormalizationForm kCFStringNormalizationFormKD = 1;
inline constexpr CFStringNormalizationForm kCFStringNormalizationFormC = 2;
inline constexpr CFStringNormalizationForm kCFStringNormalizationFormKC = 3;

// Release is for every CF object made by a Create or Copy call; nullptr is ignored.
void CFRelease(CFTypeRef object);
CFTypeRef CFRetain(CFTypeRef object);

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar* chars,
                                         CFIndex numChars);
// Zero-terminated text in `encoding` (Mac OS Roman or UTF-8); nullptr when it does not decode.
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr,
                                      CFStringEncoding encoding);
CFStringRef CFStringCreateWithPascalString(CFAllocatorRef alloc, ConstStr255Param pStr,
                                           CFStringEncoding encoding);
CFMutableStringRef CFStringCreateMutable(CFAllocatorRef alloc, CFIndex maxLength);
CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef alloc, CFIndex maxLength,
                                             CFStringRef string);
CFIndex CFStringGetLength(CFStringRef string);  // UTF-16 code units
UniChar CFStringGetCharacterAtIndex(CFStringRef string, CFIndex index);
void CFStringGetCharacters(CFStringRef string, CFRange range, UniChar* buffer);
// Direct access to the UTF-16 units; always available here.
const UniChar* CFStringGetCharactersPtr(CFStringRef string);
void CFStringAppend(CFMutableStringRef string, CFStringRef appended);
void CFStringAppendCString(CFMutableStringRef string, const char* cStr, CFStringEncoding encoding);
void CFStringAppendCharacters(CFMutableStringRef string, const UniChar* chars, CFIndex numChars);
void CFStringDelete(CFMutableStringRef string, CFRange range);
void CFStringNormalize(CFMutableStringRef string, CFStringNormalizationForm form);
CFComparisonResult CFStringCompareWithOptions(CFStringRef a, CFStringRef b, CFRange rangeToCompare,
                                              CFOptionFlags options);
CFComparisonResult CFStringCompare(CFStringRef a, CFStringRef b, CFOptionFlags options);
// First occurrence of `find` inside rangeToSearch of `string`; result.location
// is kCFNotFound when absent.
Boolean CFStringFindWithOptions(CFStringRef string, CFStringRef find, CFRange rangeToSearch,
                                CFOptionFlags options, CFRange* result);
CFRange CFStringFind(CFStringRef string, CFStringRef find, CFOptionFlags options);
// false when the string does not fit or has no form in `encoding`.
Boolean CFStringGetPascalString(CFStringRef string, StringPtr buffer, CFIndex bufferSize,
                                CFStringEncoding encoding);
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);
// nullptr when the string cannot hand out its text in that encoding without
// conversion; strings here are kept as UTF-16 only, so that is always.
const char* CFStringGetCStringPtr(CFStringRef string, CFStringEncoding encoding);
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);

// --- URLs -----------------------------------------------------------------------
using CFURLPathStyle = int;
inline constexpr CFURLPathStyle kCFURLPOSIXPathStyle = 0;
inline constexpr CFURLPathStyle kCFURLHFSPathStyle = 1;
struct FSRef;
CFURLRef CFURLCreateFromFSRef(CFAllocatorRef alloc, const FSRef* ref);
// Path without a trailing separator (the POSIX root is "/"; an HFS volume root
// is the volume's name). nullptr when the path has no form in that style.
CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle style);
Boolean CFURLHasDirectoryPath(CFURLRef url);

// --- Bundle -----------------------------------------------------------------------
CFBundleRef CFBundleGetMainBundle();
// Only CFBundleVersion is known; nullptr when the build carried no version.
// The string is owned by the bundle: do not release it.
CFStringRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key);
// Tests only: make CFBundleVersion read `version` (UTF-8), or be absent for
// nullptr; Restore brings back the build's own version.
void CFBundleSetInfoVersionForTesting(const char* version);
void CFBundleRestoreInfoVersionForTesting();
CFStringRef CFSTR(const char* asciiLiteral);  // lives for the process; do not release
