#include "params/IntakeText.h"

#include <cstring>

#include "params/SearchParameters.h"
#include "text/Alerts.h"
#include "text/TextUtils.h"

namespace sw::intake {

std::string_view PView(ConstStr255Param text) {
    return {reinterpret_cast<const char*>(text + 1), text[0]};
}

void SetPText(Str255 dst, std::string_view s) {
    dst[0] = 0;
    AppendPText(dst, s);
}

void AppendPText(Str255 dst, std::string_view s) {
    std::size_t room = 255 - dst[0];
    std::size_t n = s.size() < room ? s.size() : room;
    if (n > 0) std::memcpy(dst + 1 + dst[0], s.data(), n);
    dst[0] = static_cast<unsigned char>(dst[0] + n);
}

void AppendNumber(Str255 dst, SInt32 n) {
    Str255 digits;
    NumToString(n, digits);
    AppendPString(digits, dst);
}

void ComposeAround(Str255 dst, std::string_view before, std::string_view value,
                   std::string_view after) {
    SetPText(dst, before);
    std::size_t used = dst[0] + after.size();
    std::size_t room = used < 255 ? 255 - used : 0;
    AppendPText(dst, value.substr(0, room));
    AppendPText(dst, after);
}

void ShowStopAlert(ConstStr255Param error, ConstStr255Param explanation) {
    StandardAlert(kAlertStopAlert, error, explanation, &alertParams, &alertItemHit);
}

void ShowStopAlertUnlessSilenced(ConstStr255Param error, ConstStr255Param explanation) {
    if (SearchParameters.wantSilence) return;
    ShowStopAlert(error, explanation);
}

void ShowCodeAlertUnlessSilenced(std::string_view error, std::string_view explanationPrefix,
                                 OSErr code, std::string_view explanationSuffix) {
    if (SearchParameters.wantSilence) return;
    Str255 errorText;
    Str255 explanation;
    SetPText(errorText, error);
    SetPText(explanation, explanationPrefix);
    AppendNumber(explanation, code);
    AppendPText(explanation, explanationSuffix);
    ShowStopAlert(errorText, explanation);
}

}  // namespace sw::intake
