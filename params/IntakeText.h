// Helpers shared by the intake getters: Str255 texts that are cut at 255 bytes
// instead of overrunning, and the stop alert of the alert convention.
// Internal to params/. SetPText and AppendPText take sized texts (literals, and
// parts of event data, which carry no terminating zero); for Str255 sources
// text/TextUtils.h has the bounded routines.
#pragma once

#include <string_view>

#include "platform/MacTypes.h"

namespace sw::intake {

// The bytes of a Str255.
std::string_view PView(ConstStr255Param text);

// dst = s, cut at 255 bytes.
void SetPText(Str255 dst, std::string_view s);
// dst += s; what does not fit in 255 bytes is left out.
void AppendPText(Str255 dst, std::string_view s);
// dst += the decimal text of n ("-" before negative numbers).
void AppendNumber(Str255 dst, SInt32 n);

// dst = before + value + after, where value is cut so that `after` (a
// sentence's closing words) always fits.
void ComposeAround(Str255 dst, std::string_view before, std::string_view value,
                   std::string_view after);

// A stop alert with both texts; always shown.
void ShowStopAlert(ConstStr255Param error, ConstStr255Param explanation);
// The same, left out when the request asked for silence.
void ShowStopAlertUnlessSilenced(ConstStr255Param error, ConstStr255Param explanation);
// Convenience: error text and explanation prefix followed by a result code.
void ShowCodeAlertUnlessSilenced(std::string_view error, std::string_view explanationPrefix,
                                 OSErr code, std::string_view explanationSuffix = {});

// errAEDescNotFound (absent parameter) is not an error.
inline OSErr AbsentIsNoErr(OSErr err) {
    return err == errAEDescNotFound ? OSErr{noErr} : err;
}

}  // namespace sw::intake
