// The find command's scripting terminology: every parameter's English name,
// keyword and the descriptor form it takes, and the enumerators of the result
// form and kind parameters. This is the one table the front ends (command
// line, D-Bus) and the dictionary text derive from; the intake getters use
// the keyword constants declared here.
#pragma once

#include <span>
#include <string_view>

#include "platform/AppleEvents.h"
#include "platform/MacTypes.h"

// --- The command -------------------------------------------------------------
inline constexpr AEEventClass kSeekwrightEventClass = FourCC("SkWr");
inline constexpr AEEventID kFindEventID = FourCC("find");
inline constexpr const char* kFindCommandName = "find";

// --- Parameter keywords ---------------------------------------------------------
// "\304" (0xC4) is "ƒ" in Mac OS Roman; an octal escape, because a hex one would
// swallow the letters that follow.
inline constexpr AEKeyword keySearchDisks = FourCC("\304dsk");
inline constexpr AEKeyword keySearchFolders = FourCC("\304old");
inline constexpr AEKeyword keyResultType = FourCC("Rslt");
inline constexpr AEKeyword keyMaxMatches = FourCC("\304max");
inline constexpr AEKeyword keyWantInvisibles = FourCC("invs");
inline constexpr AEKeyword keyWantSubfolders = FourCC("\304sub");
inline constexpr AEKeyword keyWantFiles = FourCC("\304fil");
inline constexpr AEKeyword keyWantFolders = FourCC("\304fol");
inline constexpr AEKeyword keyWantDisplay = FourCC("\304dsp");
inline constexpr AEKeyword keyWantResults = FourCC("\304res");
inline constexpr AEKeyword keyWantSilence = FourCC("\304sil");
inline constexpr AEKeyword keyWantSeconds = FourCC("seco");
inline constexpr AEKeyword keyWantMinutes = FourCC("minu");
inline constexpr AEKeyword keyWantHours = FourCC("hour");
inline constexpr AEKeyword keyWantTime = FourCC("time");
inline constexpr AEKeyword keyWantDays = FourCC("days");
inline constexpr AEKeyword keyWantMonths = FourCC("mont");
inline constexpr AEKeyword keyWantYears = FourCC("year");
inline constexpr AEKeyword keyWantDate = FourCC("date");

// --- Result forms ('Rslt') ---------------------------------------------------------
inline constexpr OSType kResultHFSPath = FourCC("path");
inline constexpr OSType kResultPOSIXPath = FourCC("pat2");
inline constexpr OSType kResultName = FourCC("name");
inline constexpr OSType kResultAlias = FourCC("alis");
inline constexpr OSType kResultFileSpec = FourCC("file");

// What a parameter's value is, for a front end building the event. The
// descriptor types of the row say how it travels.
enum class TermValue : UInt8 {
    kLocations,   // 'list' of 'alis' items or 'TEXT' colon full paths ("Disk:Folder:")
    kResultForm,  // 'enum', one of ResultFormTerms()
    kTextList,    // 'list' of 'TEXT' (a single 'TEXT' is taken as a list of one)
    kCodeList,    // 'list' of four-character 'TEXT' codes
    kKind,        // 'enum', one of KindTerms() or any four-character code
    kLabel,       // 'long' 0..7 or 'TEXT' label name
    kNumber,      // 'long' (the getter reads it as decimal 'TEXT')
    kDate,        // 'ldt '
    kText,        // 'TEXT'
    kBoolean,     // 'bool'
};

// Which part of the command a parameter belongs to (the dictionary's grouping).
enum class TermGroup : UInt8 {
    kLocation,
    kOutput,
    kName,
    kTypeCreatorKindLabel,
    kSizeDateVersion,
    kComment,
    kOption,
    kDateField,
};

struct ParameterTerm {
    const char* name;  // English name, lower case except proper words ("X comments")
    AEKeyword keyword;
    TermValue value;
    DescType sendType;  // the type a client sends: 'list', 'enum', 'bool', 'long', 'ldt ', 'TEXT'
    DescType itemType;  // for 'list': the item type a client sends ('alis', 'TEXT'); else 0
    DescType requestedType;  // what intake asks the event manager for ('****': no coercion)
    TermGroup group;
    const char* description;  // one line for the dictionary
};

struct EnumeratorTerm {
    const char* name;
    OSType code;
    const char* description;
};

// Every parameter of the find command, in dictionary order. Names and keywords
// are each unique.
std::span<const ParameterTerm> FindParameterTerms();
// By English name, ignoring ASCII case and surrounding blanks; nullptr when unknown.
const ParameterTerm* ParameterTermByName(std::string_view name);
// By keyword; nullptr when unknown.
const ParameterTerm* ParameterTermByKeyword(AEKeyword keyword);

// Enumerators of 'Rslt' and of 'Kind' / '!Kin'.
std::span<const EnumeratorTerm> ResultFormTerms();
std::span<const EnumeratorTerm> KindTerms();
// In one of the enumerator tables; nullptr when unknown. Names ignore ASCII case.
const EnumeratorTerm* EnumeratorByName(std::span<const EnumeratorTerm> table,
                                       std::string_view name);
const EnumeratorTerm* EnumeratorByCode(std::span<const EnumeratorTerm> table, OSType code);
