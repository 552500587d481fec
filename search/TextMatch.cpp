#include "search/TextMatch.h"

#include <cstring>

#include "text/TextUtils.h"

SInt16 FindFoldedText(ConstStr255Param needle, ConstStr255Param haystack, SInt16 start) {
    if (needle == nullptr || haystack == nullptr) return -1;
    unsigned char n[256];
    unsigned char h[256];
    std::memcpy(n, needle, 1 + needle[0]);
    std::memcpy(h, haystack, 1 + haystack[0]);
    UppercaseStripDiacritics(n + 1, n[0], smSystemScript);
    UppercaseStripDiacritics(h + 1, h[0], smSystemScript);

    if (start < 1) start = 1;
    const int needleLength = n[0];
    const int haystackLength = h[0];
    if (needleLength == 0 || start > haystackLength) return -1;
    // Every starting position is tried in turn, so a match that begins inside
    // a partial match that broke off is not skipped.
    for (int p = start; p + needleLength - 1 <= haystackLength; ++p) {
        if (std::memcmp(h + p, n + 1, static_cast<std::size_t>(needleLength)) == 0)
            return static_cast<SInt16>(p);
    }
    return -1;
}
