#include "params/Intake.h"

#include <cstring>

#include "params/Getters.h"
#include "params/IntakeText.h"
#include "params/SearchParameters.h"

using namespace sw::intake;

namespace {

SearchParametersRecord& P() {
    return SearchParameters;
}

// One step of intake: a getter with the record fields it receives, or the
// driver's own option words (which cannot fail).
struct IntakeStep {
    const char* getterName;  // nullptr for the driver's own step
    const char* errorText;   // first line of the alert when the getter fails
    OSErr (*run)(const AppleEvent* event);
};

constexpr const char* kEncountered = "Seekwright encountered an error:";
constexpr const char* kDriverError = "MyGetAllParameters Error";

// The driver's words for files and folders, always both, in this order.
OSErr AppendFilesAndFoldersWords(const AppleEvent*) {
    AppendPText(P().wantFiles ? P().withText : P().withoutText, " files");
    AppendPText(P().wantFolders ? P().withText : P().withoutText, " folders");
    return noErr;
}

// The order is part of the contract: withText and withoutText list the option
// words in call order, and silence comes last so that intake's own alerts are
// always shown. A criterion getter is one more row, between the result type
// and the match limit.
constexpr IntakeStep kSteps[] = {
    {"MyGetSearchLocationsParam", kEncountered,
     [](const AppleEvent* e) {
         return MyGetSearchLocationsParam(e, &P().searchDisks, &P().searchFolders);
     }},
    {"MyGetResultTypeParam", kEncountered,
     [](const AppleEvent* e) {
         return MyGetResultTypeParam(e, &P().resultType, P().resultTypeText);
     }},
    {"MyGetFilenameParam", kEncountered,
     [](const AppleEvent* e) {
         return MyGetFilenameParam(e, &P().nameList, &P().nameOp, P().nameText);
     }},
    {"MyGetMaxMatchesParam", kEncountered,
     [](const AppleEvent* e) {
         return MyGetMaxMatchesParam(e, &P().maxMatches, P().maxMatchesText);
     }},
    {"MyGetWantInvisiblesParam", kEncountered,
     [](const AppleEvent* e) {
         return MyGetWantInvisiblesParam(e, &P().wantInvisibles, P().withText, P().withoutText);
     }},
    {"MyGetWantSubfoldersParam", kEncountered,
     [](const AppleEvent* e) {
         return MyGetWantSubfoldersParam(e, &P().wantSubfolders, P().withText, P().withoutText);
     }},
    {"MyGetWantFilesParam", kEncountered,
     [](const AppleEvent* e) { return MyGetWantFilesParam(e, &P().wantFiles); }},
    {"MyGetWantFoldersParam", kEncountered,
     [](const AppleEvent* e) { return MyGetWantFoldersParam(e, &P().wantFolders); }},
    {nullptr, nullptr, AppendFilesAndFoldersWords},
    {"MyGetWantDisplayParam", kDriverError,
     [](const AppleEvent* e) {
         return MyGetWantDisplayParam(e, &P().wantDisplay, P().withText, P().withoutText);
     }},
    {"MyGetWantResultsParam", kDriverError,
     [](const AppleEvent* e) {
         return MyGetWantResultsParam(e, &P().wantResults, P().withText, P().withoutText);
     }},
    {"MyGetWantDateFieldsParams", kDriverError,
     [](const AppleEvent* e) {
         return MyGetWantDateFieldsParams(
             e, &P().wantSeconds, &P().wantMinutes, &P().wantHours, &P().wantTime, &P().wantDays,
             &P().wantMonths, &P().wantYears, &P().wantDate, P().withText, P().withoutText);
     }},
    {"MyGetWantSilenceParam", kDriverError,
     [](const AppleEvent* e) { return MyGetWantSilenceParam(e, &P().wantSilence, P().withText); }},
};

// Shown whatever wantSilence holds: the caller must learn that intake stopped.
void ReportGetterFailure(const IntakeStep& step, OSErr err) {
    Str255 error;
    Str255 explanation;
    SetPText(error, step.errorText);
    SetPText(explanation, "MyGetAllParameters() -> ");
    AppendPText(explanation, step.getterName);
    AppendPText(explanation, "() returned error: ");
    AppendNumber(explanation, err);
    ShowStopAlert(error, explanation);
}

}  // namespace

OSErr MyGetAllParameters(const AppleEvent* event) {
    for (const IntakeStep& step : kSteps) {
        OSErr err = step.run(event);
        if (err != noErr) {
            ReportGetterFailure(step, err);
            return err;
        }
    }
    return noErr;
}

OSErr TextDescToPString(const AEDesc* desc, Str255 text) {
    text[0] = 0;
    if (desc->descriptorType != typeChar) return errAEWrongDataType;
    if (desc->dataHandle == nullptr) return errAENotAEDesc;
    Size n = AEGetDescDataSize(desc);
    if (n > 255) n = 255;
    if (n > 0) {
        OSErr err = AEGetDescData(desc, text + 1, n);
        if (err != noErr) return err;
        text[0] = static_cast<unsigned char>(n);
    }
    return noErr;
}

OSErr TextListToPString(const AEDesc* desc, Str255 text) {
    text[0] = 0;
    if (desc->descriptorType != typeAEList) return errAEWrongDataType;
    if (desc->dataHandle == nullptr) return errAENotAEDesc;
    long count = 0;
    OSErr err = AECountItems(desc, &count);
    if (count <= 0) return err;
    for (long i = 1; i <= count; ++i) {
        unsigned char item[256];
        AEKeyword keyword = 0;
        DescType type = 0;
        Size size = 0;
        err = AEGetNthPtr(desc, i, typeWildCard, &keyword, &type, item, sizeof item, &size);
        if (err != noErr) return err;
        // Strictly less than the room left, so the text stays within 254 bytes
        // and a list of four-character codes holds whole codes only.
        if (type == typeChar && size > 0 && size < 255 - text[0]) {
            std::memcpy(text + 1 + text[0], item, static_cast<std::size_t>(size));
            text[0] = static_cast<unsigned char>(text[0] + size);
        }
    }
    return err;
}

Boolean IsDigitString(ConstStr255Param text) {
    for (int i = 1; i <= text[0]; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}
