// Runs the search engine directly on real folders: the record is set by the
// test, the state is reset as the find command handler does, and the result
// list is decoded to UTF-8 (bytes of non-UTF-8 names restored).
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "params/SearchParameters.h"
#include "platform/AppleEvents.h"
#include "platform/CoreFoundation.h"
#include "platform/Files.h"
#include "platform/MacRoman.h"
#include "search/SearchState.h"
#include "support/Fixtures.h"

namespace sw::test {

// The intake's values for a command that names only its locations, with the
// given result form.
inline void DefaultParameters(OSType resultType) {
    ClearSearchParameters();
    SearchParametersRecord& p = SearchParameters;
    p.wantInvisibles = p.wantFiles = 1;
    p.wantDays = p.wantMonths = p.wantYears = p.wantDate = 1;
    p.maxMatches = -1;
    p.resultType = resultType;
}

struct Element {
    DescType type;
    std::string bytes;  // raw data
    std::string text;   // UTF-8 for 'TEXT' and 'utxt' (private-use bytes restored)
};

inline std::string DecodeUnicode(const std::string& data) {
    std::string out;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        char16_t unit;
        std::memcpy(&unit, data.data() + i, 2);
        if (unit >= 0xF780 && unit <= 0xF7FF) {
            out += static_cast<char>(unit - 0xF700);
            continue;
        }
        std::u16string one(1, unit);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < data.size()) {
            char16_t low;
            std::memcpy(&low, data.data() + i + 2, 2);
            one += low;
            i += 2;
        }
        std::string utf8;
        Utf16ToUtf8(one, &utf8);
        out += utf8;
    }
    return out;
}

inline std::vector<Element> Elements(const AEDescList& list) {
    std::vector<Element> out;
    long count = 0;
    AECountItems(&list, &count);
    for (long i = 1; i <= count; ++i) {
        AEKeyword keyword;
        AEDesc item;
        AEInitializeDesc(&item);
        if (AEGetNthDesc(&list, i, typeWildCard, &keyword, &item) != noErr) continue;
        Element e{item.descriptorType, {}, {}};
        const char* data = static_cast<const char*>(AEGetDescDataPtr(&item));
        e.bytes.assign(data != nullptr ? data : "", AEGetDescDataSize(&item));
        if (e.type == typeChar)
            e.text = MacRomanToUtf8(reinterpret_cast<const unsigned char*>(e.bytes.data()),
                                    e.bytes.size());
        else if (e.type == typeUnicodeText)
            e.text = DecodeUnicode(e.bytes);
        out.push_back(e);
        AEDisposeDesc(&item);
    }
    return out;
}

struct WalkResult {
    OSErr err = noErr;
    std::vector<Element> elements;
    std::vector<std::string> texts;  // elements' text, in list order
};

// Walks `root` as the handler walks one root; `rootPathOverride` replaces the
// root's path in results (to try the POSIX root "/").
inline WalkResult Walk(const std::string& root, const char* rootPathOverride = nullptr) {
    WalkResult result;
    SearchState.searchActive = 1;
    SearchState.userAborted = 0;
    SearchState.itemsMatched = SearchState.filesMatched = SearchState.foldersMatched = 0;
    SearchState.itemsScanned = SearchState.filesScanned = SearchState.foldersScanned = 0;
    AEInitializeDesc(&SearchState.resultList);
    AECreateList(nullptr, 0, false, &SearchState.resultList);

    FSRef ref;
    result.err = FSPathMakeRef(reinterpret_cast<const UInt8*>(root.c_str()), &ref, nullptr);
    if (result.err != noErr) return result;
    CFStringRef path = nullptr;
    if (rootPathOverride != nullptr) {
        path = CFStringCreateWithCString(nullptr, rootPathOverride, kCFStringEncodingUTF8);
    } else {
        CFURLRef url = CFURLCreateFromFSRef(nullptr, &ref);
        path = CFURLCopyFileSystemPath(url, SearchParameters.resultType == FourCC("path")
                                                ? kCFURLHFSPathStyle
                                                : kCFURLPOSIXPathStyle);
        CFRelease(url);
    }
    SearchState.currentRootPath = CFStringCreateMutableCopy(nullptr, 0, path);
    CFRelease(path);

    result.err = IterateFolder(&ref);

    CFRelease(SearchState.currentRootPath);
    SearchState.currentRootPath = nullptr;
    result.elements = Elements(SearchState.resultList);
    for (const Element& e : result.elements) result.texts.push_back(e.text);
    AEDisposeDesc(&SearchState.resultList);
    return result;
}

// 32 bytes of Finder information with `flags` at offset 8, big-endian.
inline std::string FinderInfo(unsigned flags, const char* type = "\0\0\0\0",
                              const char* creator = "\0\0\0\0") {
    std::string info(32, '\0');
    std::memcpy(info.data(), type, 4);
    std::memcpy(info.data() + 4, creator, 4);
    info[8] = static_cast<char>(flags >> 8);
    info[9] = static_cast<char>(flags & 0xFF);
    return info;
}

// An AppleDouble sidecar holding only Finder information (entry 9).
inline std::string AppleDoubleWithFinderInfo(const std::string& finderInfo) {
    std::string ad;
    auto be32 = [&ad](unsigned v) {
        for (int s = 24; s >= 0; s -= 8) ad += static_cast<char>((v >> s) & 0xFF);
    };
    be32(0x00051607);  // magic
    be32(0x00020000);  // version
    ad.append(16, '\0');
    ad += '\0';
    ad += '\1';  // one entry
    be32(9);
    be32(26 + 12);
    be32(32);
    ad += finderInfo;
    return ad;
}

}  // namespace sw::test
