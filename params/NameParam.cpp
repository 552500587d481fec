// The name criterion: one of twelve keywords, each a test, whose value is a
// string or a list of strings.

#include <string>
#include <string_view>

#include "params/Getters.h"
#include "params/Intake.h"
#include "params/IntakeText.h"
#include "params/SearchParameters.h"
#include "platform/MacRoman.h"
#include "text/TextUtils.h"

using namespace sw::intake;

namespace {

struct NameKeyword {
    AEKeyword keyword;
    CriterionOp op;
    const char* words;
};

// Probing order, which is not the order of the operator codes: "is" and "is
// not" come last, so a request that also names another test uses that one.
constexpr NameKeyword kNameKeywords[] = {
    {FourCC("nm01"), kOpContains, "name contains "},
    {FourCC("nm02"), kOpContainsAny, "name contains any of "},
    {FourCC("nm03"), kOpContainsEach, "name contains each of "},
    {FourCC("nm04"), kOpNotContains, "name does not contain "},
    {FourCC("nm05"), kOpNotContainsAny, "name does not contain any of "},
    {FourCC("nm06"), kOpNotContainsEach, "name does not contain each of "},
    {FourCC("nm07"), kOpStartsWith, "name starts with "},
    {FourCC("nm08"), kOpNotStartsWith, "name does not start with "},
    {FourCC("nm09"), kOpEndsWith, "name ends with "},
    {FourCC("nm10"), kOpNotEndsWith, "name does not end with "},
    {FourCC("nm11"), kOpIs, "name is "},
    {FourCC("nm12"), kOpIsNot, "name is not "},
};

void ShowNameFormAlert() {
    Str255 error;
    Str255 explanation;
    SetPText(error, "The \"name\" parameter is not a string or an AppleScript list of strings.");
    SetPText(explanation,
             "Please supply a string or an AppleScript list of strings for the \"name\" "
             "parameter.");
    ShowStopAlertUnlessSilenced(error, explanation);
}

bool IsCombiningMark(char16_t u) {
    return (u >= 0x0300 && u <= 0x036F) || (u >= 0x1AB0 && u <= 0x1AFF) ||
           (u >= 0x1DC0 && u <= 0x1DFF) || (u >= 0x20D0 && u <= 0x20FF) ||
           (u >= 0xFE20 && u <= 0xFE2F);
}

// Unicode text for the Mac OS Roman summary: each character (with its
// combining marks) that Mac OS Roman lacks becomes "?".
std::string RomanWithSubstitutes(std::u16string_view text) {
    std::string roman;
    if (Utf16ToMacRoman(text, &roman)) return roman;
    roman.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = i + 1;
        if (end < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[end] >= 0xDC00 &&
            text[end] <= 0xDFFF)
            ++end;
        while (end < text.size() && IsCombiningMark(text[end])) ++end;
        std::string one;
        roman += Utf16ToMacRoman(text.substr(i, end - i), &one) ? one : "?";
        i = end;
    }
    return roman;
}

// A name that has no Mac OS Roman form is still a valid name to search for;
// only its summary is lossy. True, with `name` set, when item `index` is text.
bool UnicodeItemAsRoman(const AEDescList* list, long index, Str255 name) {
    AEKeyword keyword = 0;
    AEDesc item;
    AEInitializeDesc(&item);
    if (AEGetNthDesc(list, index, typeUnicodeText, &keyword, &item) != noErr) return false;
    const Size size = AEGetDescDataSize(&item);
    std::u16string text(static_cast<std::size_t>(size / 2), u'\0');
    const bool read = size < 2 || AEGetDescData(&item, text.data(), size / 2 * 2) == noErr;
    if (item.dataHandle != nullptr) AEDisposeDesc(&item);
    if (!read) return false;
    SetPText(name, RomanWithSubstitutes(text));
    return true;
}

}  // namespace

OSErr MyGetFilenameParam(const AppleEvent* event, AEDescList* nameList, SInt16* nameOp,
                         Str255 nameText) {
    *nameOp = kOpNone;
    nameText[0] = 0;
    // The record owns the list: one left from an earlier call is released, not lost.
    if (nameList->dataHandle != nullptr) AEDisposeDesc(nameList);
    AEInitializeDesc(nameList);

    OSErr err = noErr;
    for (const NameKeyword& name : kNameKeywords) {
        err = AEGetParamDesc(event, name.keyword, typeAEList, nameList);
        if (err != noErr) continue;
        if (nameList->descriptorType == typeAEList && nameList->dataHandle != nullptr) {
            *nameOp = name.op;
            SetPText(nameText, name.words);
            break;
        }
        ShowNameFormAlert();
        if (nameList->dataHandle != nullptr) AEDisposeDesc(nameList);
        AEInitializeDesc(nameList);
    }
    if (*nameOp == kOpNone) return AbsentIsNoErr(err);

    long count = 0;
    err = AECountItems(nameList, &count);
    if (err != noErr) return err;
    for (long i = 1; i <= count; ++i) {
        AEKeyword keyword = 0;
        AEDesc item;
        AEInitializeDesc(&item);
        const OSErr getErr = AEGetNthDesc(nameList, i, typeChar, &keyword, &item);
        Str255 name;
        if (getErr == noErr) {
            if (TextDescToPString(&item, name) == noErr) {
                AppendPString(name, nameText);
                if (i < count) AppendPText(nameText, ", ");
            }
            if (item.dataHandle != nullptr) err = AEDisposeDesc(&item);
        } else if (UnicodeItemAsRoman(nameList, i, name)) {
            AppendPString(name, nameText);
            if (i < count) AppendPText(nameText, ", ");
            err = noErr;
        } else {
            err = getErr;
        }
    }
    return AbsentIsNoErr(err);
}
