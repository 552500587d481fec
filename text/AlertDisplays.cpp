#include "text/AlertDisplays.h"

#include <cstdio>

#include "platform/MacRoman.h"

namespace {

// The text of a Str255 for one line: line breaks and tabs as spaces, other
// control bytes escaped, the rest converted from Mac OS Roman to UTF-8.
void AppendLineText(ConstStr255Param text, std::string* line) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string roman;
    for (int i = 1; i <= text[0]; ++i) {
        unsigned char byte = text[i];
        if (byte == '\n' || byte == '\r' || byte == '\t') {
            roman.push_back(' ');
        } else if (byte < 0x20 || byte == 0x7F) {
            roman += "\\x";
            roman.push_back(kHex[byte >> 4]);
            roman.push_back(kHex[byte & 0xF]);
        } else {
            roman.push_back(static_cast<char>(byte));
        }
    }
    *line += MacRomanToUtf8(reinterpret_cast<const unsigned char*>(roman.data()), roman.size());
}

std::string Bytes(ConstStr255Param text) {
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text + 1), text[0])
                           : std::string();
}

}  // namespace

const char* AlertKindName(AlertType type) {
    switch (type) {
        case kAlertStopAlert:
            return "stop";
        case kAlertNoteAlert:
            return "note";
        case kAlertCautionAlert:
            return "caution";
        case kAlertPlainAlert:
            return "plain";
        default:
            return "alert";
    }
}

std::string FormatAlertLine(AlertType type, ConstStr255Param error, ConstStr255Param explanation) {
    std::string line = "seekwright: ";
    line += AlertKindName(type);
    line += ": ";
    if (error != nullptr) AppendLineText(error, &line);
    if (explanation != nullptr && explanation[0] != 0) {
        line += " (";
        AppendLineText(explanation, &line);
        line += ")";
    }
    return line;
}

SInt16 HeadlessAlertDisplay::ShowAlert(AlertType type, ConstStr255Param error,
                                       ConstStr255Param explanation) {
    std::string line = FormatAlertLine(type, error, explanation);
    line.push_back('\n');
    std::FILE* stream = stream_ != nullptr ? stream_ : stderr;
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fflush(stream);
    return kAlertStdAlertOKButton;
}

SInt16 RecordingAlertDisplay::ShowAlert(AlertType type, ConstStr255Param error,
                                        ConstStr255Param explanation) {
    RecordedAlert alert;
    alert.type = type;
    alert.textBytes = Bytes(error);
    alert.explanationBytes = Bytes(explanation);
    alert.hasExplanation = explanation != nullptr;
    alert.text = MacRomanToUtf8(reinterpret_cast<const unsigned char*>(alert.textBytes.data()),
                                alert.textBytes.size());
    alert.explanation =
        MacRomanToUtf8(reinterpret_cast<const unsigned char*>(alert.explanationBytes.data()),
                       alert.explanationBytes.size());
    alerts_.push_back(std::move(alert));
    return kAlertStdAlertOKButton;
}
