// Text comparisons shared by the criterion tests.
#pragma once

#include "platform/MacTypes.h"

// Where `needle` first occurs in `haystack` at or after the 1-based position
// `start` (below 1 means 1), both Mac OS Roman and compared after upper-casing
// and stripping diacritics (so "e" finds "É"). The 1-based position of the
// match, or -1 when there is none; an empty needle is never found. Byte
// positions only: a needle may straddle the four-character codes of a
// concatenated type or creator list.
SInt16 FindFoldedText(ConstStr255Param needle, ConstStr255Param haystack, SInt16 start);
