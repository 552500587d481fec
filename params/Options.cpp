// The output and yes/no option getters.

#include <cstdint>

#include "params/Getters.h"
#include "params/Intake.h"
#include "params/IntakeText.h"
#include "params/Terminology.h"

using namespace sw::intake;

namespace {

struct ResultFormWords {
    OSType code;
    const char* words;
};

constexpr ResultFormWords kResultFormWords[] = {
    {kResultHFSPath, "HFS paths"}, {kResultPOSIXPath, "POSIX paths"}, {kResultName, "file names"},
    {kResultAlias, "aliases"},     {kResultFileSpec, "file specs"},
};

// When a yes/no getter adds its word to the option lists.
enum class WordWhen {
    kNever,         // the driver places the word itself
    kWhenRead,      // only when the parameter was read
    kAlways,        // after the fetch, by the flag's final value, read or not
    kWhenReadTrue,  // only when read and true; never to withoutText
};

struct YesNoOption {
    AEKeyword keyword;
    Boolean defaultValue;
    const char* word;
    WordWhen when;
};

constexpr YesNoOption kInvisibles{keyWantInvisibles, true, " invisible files", WordWhen::kWhenRead};
constexpr YesNoOption kSubfolders{keyWantSubfolders, false, " subfolders", WordWhen::kAlways};
constexpr YesNoOption kFiles{keyWantFiles, true, "", WordWhen::kNever};
constexpr YesNoOption kFolders{keyWantFolders, false, "", WordWhen::kNever};
constexpr YesNoOption kDisplay{keyWantDisplay, false, " display", WordWhen::kWhenRead};
constexpr YesNoOption kResults{keyWantResults, false, " results", WordWhen::kWhenRead};
constexpr YesNoOption kSilence{keyWantSilence, false, " silence", WordWhen::kWhenReadTrue};

// Reads one 'bool' parameter into *flag. `read` tells whether a value was
// copied. Returns the fetch's or the disposal's code, absent as 0.
OSErr ReadBoolean(const AppleEvent* event, AEKeyword keyword, Boolean* flag, bool* read) {
    *read = false;
    AEDesc desc;
    AEInitializeDesc(&desc);
    OSErr err = AEGetParamDesc(event, keyword, typeBoolean, &desc);
    if (err == noErr && desc.dataHandle != nullptr) {
        Boolean value = 0;
        if (AEGetDescDataSize(&desc) >= 1 && AEGetDescData(&desc, &value, 1) == noErr) {
            *flag = value;
            *read = true;
        }
    }
    if (desc.dataHandle != nullptr) err = AEDisposeDesc(&desc);
    return AbsentIsNoErr(err);
}

void AppendOptionWord(const char* word, Boolean on, Str255 withText, Str255 withoutText) {
    AppendPText(on ? withText : withoutText, word);
}

OSErr GetYesNo(const AppleEvent* event, const YesNoOption& option, Boolean* flag, Str255 withText,
               Str255 withoutText) {
    *flag = option.defaultValue;
    bool read = false;
    OSErr err = ReadBoolean(event, option.keyword, flag, &read);
    switch (option.when) {
        case WordWhen::kNever:
            break;
        case WordWhen::kWhenRead:
            if (read) AppendOptionWord(option.word, *flag, withText, withoutText);
            break;
        case WordWhen::kAlways:
            AppendOptionWord(option.word, *flag, withText, withoutText);
            break;
        case WordWhen::kWhenReadTrue:
            if (read && *flag) AppendPText(withText, option.word);
            break;
    }
    return err;
}

// A digit string (IsDigitString passed) as a number; values beyond the 32-bit
// range are held at its top, which is as good as no limit.
SInt32 DigitsToLimit(ConstStr255Param digits) {
    std::int64_t value = 0;
    for (int i = 1; i <= digits[0]; ++i) {
        value = value * 10 + (digits[i] - '0');
        if (value > INT32_MAX) return INT32_MAX;
    }
    return static_cast<SInt32>(value);
}

}  // namespace

OSErr MyGetResultTypeParam(const AppleEvent* event, OSType* resultType, Str255 resultTypeText) {
    *resultType = kResultHFSPath;
    SetPText(resultTypeText, "result type: ");
    AEDesc desc;
    AEInitializeDesc(&desc);
    OSErr err = AEGetParamDesc(event, keyResultType, typeEnumerated, &desc);
    if (err == noErr && AEGetDescDataSize(&desc) >= 4) {
        OSType code = 0;
        if (AEGetDescData(&desc, &code, sizeof code) == noErr) *resultType = code;
    }
    for (const ResultFormWords& form : kResultFormWords) {
        if (form.code == *resultType) AppendPText(resultTypeText, form.words);
    }
    if (desc.dataHandle != nullptr) err = AEDisposeDesc(&desc);
    return AbsentIsNoErr(err);
}

OSErr MyGetMaxMatchesParam(const AppleEvent* event, SInt32* maxMatches, Str255 maxMatchesText) {
    *maxMatches = -1;
    maxMatchesText[0] = 0;
    AEDesc desc;
    AEInitializeDesc(&desc);
    OSErr err = AEGetParamDesc(event, keyMaxMatches, typeChar, &desc);
    if (err == noErr) {
        Str255 text;
        bool isNumber = false;
        if (desc.descriptorType == typeChar && desc.dataHandle != nullptr) {
            TextDescToPString(&desc, text);
            err = AEDisposeDesc(&desc);
            isNumber = IsDigitString(text);
        }
        if (isNumber) {
            *maxMatches = DigitsToLimit(text);
            ComposeAround(maxMatchesText, "up to ", PView(text), " matches");
        } else {
            Str255 error;
            Str255 explanation;
            SetPText(error, "The \"maximum matches\" parameter is not a number.");
            SetPText(explanation, "Please supply number for the \"maximum matches\" parameter.");
            ShowStopAlertUnlessSilenced(error, explanation);
        }
    }
    if (*maxMatches == 0) {
        Str255 error;
        Str255 explanation;
        SetPText(error, "The \"maximum matches\" parameter is 0.");
        SetPText(explanation,
                 "If \"maximum matches\" is 0, you will get no results. I will use the lowest "
                 "allowed value of 1 instead.");
        ShowStopAlertUnlessSilenced(error, explanation);
        *maxMatches = 1;
    }
    if (desc.dataHandle != nullptr) err = AEDisposeDesc(&desc);
    return AbsentIsNoErr(err);
}

OSErr MyGetWantInvisiblesParam(const AppleEvent* event, Boolean* wantInvisibles, Str255 withText,
                               Str255 withoutText) {
    return GetYesNo(event, kInvisibles, wantInvisibles, withText, withoutText);
}

OSErr MyGetWantSubfoldersParam(const AppleEvent* event, Boolean* wantSubfolders, Str255 withText,
                               Str255 withoutText) {
    return GetYesNo(event, kSubfolders, wantSubfolders, withText, withoutText);
}

OSErr MyGetWantFilesParam(const AppleEvent* event, Boolean* wantFiles) {
    return GetYesNo(event, kFiles, wantFiles, nullptr, nullptr);
}

OSErr MyGetWantFoldersParam(const AppleEvent* event, Boolean* wantFolders) {
    return GetYesNo(event, kFolders, wantFolders, nullptr, nullptr);
}

OSErr MyGetWantDisplayParam(const AppleEvent* event, Boolean* wantDisplay, Str255 withText,
                            Str255 withoutText) {
    return GetYesNo(event, kDisplay, wantDisplay, withText, withoutText);
}

OSErr MyGetWantResultsParam(const AppleEvent* event, Boolean* wantResults, Str255 withText,
                            Str255 withoutText) {
    return GetYesNo(event, kResults, wantResults, withText, withoutText);
}

OSErr MyGetWantDateFieldsParams(const AppleEvent* event, Boolean* wantSeconds, Boolean* wantMinutes,
                                Boolean* wantHours, Boolean* wantTime, Boolean* wantDays,
                                Boolean* wantMonths, Boolean* wantYears, Boolean* wantDate,
                                Str255 withText, Str255 withoutText) {
    *wantSeconds = *wantMinutes = *wantHours = *wantTime = false;
    *wantDays = *wantMonths = *wantYears = *wantDate = true;
    // The words are not uniform ("time" has its blank before, the others
    // after); they are kept as they read.
    struct Field {
        AEKeyword keyword;
        Boolean* flag;
        const char* word;
    };
    const Field fields[] = {
        {keyWantTime, wantTime, " time"},          {keyWantSeconds, wantSeconds, "seconds "},
        {keyWantMinutes, wantMinutes, "minutes "}, {keyWantHours, wantHours, "hours "},
        {keyWantDate, wantDate, "date "},          {keyWantDays, wantDays, "days "},
        {keyWantMonths, wantMonths, "months "},    {keyWantYears, wantYears, "years "},
    };
    OSErr err = noErr;
    for (const Field& field : fields) {
        bool read = false;
        err = ReadBoolean(event, field.keyword, field.flag, &read);
        if (read) AppendOptionWord(field.word, *field.flag, withText, withoutText);
    }
    return err;  // the last switch's ('year') code only
}

OSErr MyGetWantSilenceParam(const AppleEvent* event, Boolean* wantSilence, Str255 withText) {
    return GetYesNo(event, kSilence, wantSilence, withText, nullptr);
}
