#include "params/Terminology.h"

#include <cstddef>

namespace {

using G = TermGroup;
using V = TermValue;

constexpr DescType kList = typeAEList;
constexpr DescType kText = typeChar;
constexpr DescType kEnum = typeEnumerated;
constexpr DescType kBool = typeBoolean;
constexpr DescType kLong = typeSInt32;
constexpr DescType kDate = typeLongDateTime;
constexpr DescType kAny = typeWildCard;

// The dictionary. Keep names unique: the front ends look parameters up by them.
constexpr ParameterTerm kTerms[] = {
    // Locations.
    {"in disks", keySearchDisks, V::kLocations, kList, typeAlias, kList, G::kLocation,
     "volumes to search: aliases or colon paths (\"Disk:\")"},
    {"in folders", keySearchFolders, V::kLocations, kList, typeAlias, kList, G::kLocation,
     "folders to search: aliases or colon paths (\"Disk:Folder:\")"},
    // Output.
    {"result type", keyResultType, V::kResultForm, kEnum, 0, kEnum, G::kOutput,
     "form of each item of the reply"},
    {"maximum matches", keyMaxMatches, V::kNumber, kLong, 0, kText, G::kOutput,
     "stop after this many matches"},
    // Name.
    {"name contains", FourCC("nm01"), V::kTextList, kList, kText, kList, G::kName,
     "the name contains the text"},
    {"name contains any of", FourCC("nm02"), V::kTextList, kList, kText, kList, G::kName,
     "the name contains at least one of the texts"},
    {"name contains each of", FourCC("nm03"), V::kTextList, kList, kText, kList, G::kName,
     "the name contains every one of the texts"},
    {"name does not contain", FourCC("nm04"), V::kTextList, kList, kText, kList, G::kName,
     "the name does not contain the text"},
    {"name does not contain any of", FourCC("nm05"), V::kTextList, kList, kText, kList, G::kName,
     "the name lacks at least one of the texts"},
    {"name does not contain each of", FourCC("nm06"), V::kTextList, kList, kText, kList, G::kName,
     "the name contains none of the texts"},
    {"name starts with", FourCC("nm07"), V::kTextList, kList, kText, kList, G::kName,
     "the name starts with the text"},
    {"name does not start with", FourCC("nm08"), V::kTextList, kList, kText, kList, G::kName,
     "the name does not start with the text"},
    {"name ends with", FourCC("nm09"), V::kTextList, kList, kText, kList, G::kName,
     "the name ends with the text"},
    {"name does not end with", FourCC("nm10"), V::kTextList, kList, kText, kList, G::kName,
     "the name does not end with the text"},
    {"name is", FourCC("nm11"), V::kTextList, kList, kText, kList, G::kName,
     "the name is the text"},
    {"name is not", FourCC("nm12"), V::kTextList, kList, kText, kList, G::kName,
     "the name is not the text"},
    // Creator, file type, kind, label.
    {"creator is", FourCC("\304cr1"), V::kCodeList, kList, kText, kList, G::kTypeCreatorKindLabel,
     "the creator is one of the codes"},
    {"creator is not", FourCC("\304cr2"), V::kCodeList, kList, kText, kList,
     G::kTypeCreatorKindLabel, "the creator is none of the codes"},
    {"file type is", FourCC("\304tp1"), V::kCodeList, kList, kText, kList, G::kTypeCreatorKindLabel,
     "the file type is one of the codes"},
    {"file type is not", FourCC("\304tp2"), V::kCodeList, kList, kText, kList,
     G::kTypeCreatorKindLabel, "the file type is none of the codes"},
    {"kind is", FourCC("Kind"), V::kKind, kEnum, 0, kEnum, G::kTypeCreatorKindLabel,
     "the item is of this kind"},
    {"kind is not", FourCC("!Kin"), V::kKind, kEnum, 0, kEnum, G::kTypeCreatorKindLabel,
     "the item is not of this kind"},
    {"label is", FourCC("\304lb1"), V::kLabel, kLong, 0, kAny, G::kTypeCreatorKindLabel,
     "the Finder label is this number (0 to 7) or name"},
    {"label is not", FourCC("\304lb2"), V::kLabel, kLong, 0, kAny, G::kTypeCreatorKindLabel,
     "the Finder label is not this number (0 to 7) or name"},
    // Size, dates, version.
    {"size is less than", FourCC("\304sz1"), V::kNumber, kLong, 0, kText, G::kSizeDateVersion,
     "the data size in bytes is less than the number"},
    {"size is greater than", FourCC("\304sz2"), V::kNumber, kLong, 0, kText, G::kSizeDateVersion,
     "the data size in bytes is greater than the number"},
    {"size is", FourCC("\304sz3"), V::kNumber, kLong, 0, kText, G::kSizeDateVersion,
     "the data size in bytes is exactly the number"},
    {"date created is", FourCC("\304dc1"), V::kDate, kDate, 0, kDate, G::kSizeDateVersion,
     "created on the date (see the date field options)"},
    {"date created is before", FourCC("\304dc2"), V::kDate, kDate, 0, kDate, G::kSizeDateVersion,
     "created before the date"},
    {"date created is after", FourCC("\304dc3"), V::kDate, kDate, 0, kDate, G::kSizeDateVersion,
     "created after the date"},
    {"date created is not", FourCC("\304dc4"), V::kDate, kDate, 0, kDate, G::kSizeDateVersion,
     "not created on the date"},
    {"date modified is", FourCC("\304dm1"), V::kDate, kDate, 0, kDate, G::kSizeDateVersion,
     "modified on the date (see the date field options)"},
    {"date modified is before", FourCC("\304dm2"), V::kDate, kDate, 0, kDate, G::kSizeDateVersion,
     "modified before the date"},
    {"date modified is after", FourCC("\304dm3"), V::kDate, kDate, 0, kDate, G::kSizeDateVersion,
     "modified after the date"},
    {"date modified is not", FourCC("\304dm4"), V::kDate, kDate, 0, kDate, G::kSizeDateVersion,
     "not modified on the date"},
    {"version is", FourCC("\304vs1"), V::kText, kText, 0, kText, G::kSizeDateVersion,
     "the version string is the text"},
    {"version is not", FourCC("\304vs2"), V::kText, kText, 0, kText, G::kSizeDateVersion,
     "the version string is not the text"},
    {"version contains", FourCC("\304vs3"), V::kText, kText, 0, kText, G::kSizeDateVersion,
     "the version string contains the text"},
    {"version does not contain", FourCC("\304vs4"), V::kText, kText, 0, kText, G::kSizeDateVersion,
     "the version string does not contain the text"},
    // Comments.
    {"comments contain", FourCC("\304cm1"), V::kText, kText, 0, kText, G::kComment,
     "the comments contain the text"},
    {"comments do not contain", FourCC("\304cm2"), V::kText, kText, 0, kText, G::kComment,
     "the comments do not contain the text"},
    {"classic comments contain", FourCC("\304cm3"), V::kText, kText, 0, kText, G::kComment,
     "the desktop-database comment contains the text"},
    {"classic comments do not contain", FourCC("\304cm4"), V::kText, kText, 0, kText, G::kComment,
     "the desktop-database comment does not contain the text"},
    {"X comments contain", FourCC("\304cm5"), V::kText, kText, 0, kText, G::kComment,
     "the Finder comment contains the text"},
    {"X comments do not contain", FourCC("\304cm6"), V::kText, kText, 0, kText, G::kComment,
     "the Finder comment does not contain the text"},
    // Options.
    {"invisibles", keyWantInvisibles, V::kBoolean, kBool, 0, kBool, G::kOption,
     "invisible items may match (default true)"},
    {"subfolders", keyWantSubfolders, V::kBoolean, kBool, 0, kBool, G::kOption,
     "search inside subfolders (default false)"},
    {"files", keyWantFiles, V::kBoolean, kBool, 0, kBool, G::kOption,
     "files may match (default true)"},
    {"folders", keyWantFolders, V::kBoolean, kBool, 0, kBool, G::kOption,
     "folders may match (default false)"},
    {"display", keyWantDisplay, V::kBoolean, kBool, 0, kBool, G::kOption,
     "show the progress window (default false)"},
    {"results", keyWantResults, V::kBoolean, kBool, 0, kBool, G::kOption,
     "show a summary when the search ends (default false)"},
    {"silence", keyWantSilence, V::kBoolean, kBool, 0, kBool, G::kOption,
     "suppress the alerts of the search (default false)"},
    // Date fields.
    {"seconds", keyWantSeconds, V::kBoolean, kBool, 0, kBool, G::kDateField,
     "seconds take part in date tests, with time and minutes (default false)"},
    {"minutes", keyWantMinutes, V::kBoolean, kBool, 0, kBool, G::kDateField,
     "minutes take part, with time and hours (default false)"},
    {"hours", keyWantHours, V::kBoolean, kBool, 0, kBool, G::kDateField,
     "hours take part, with time (default false)"},
    {"time", keyWantTime, V::kBoolean, kBool, 0, kBool, G::kDateField,
     "the time of day takes part (default false)"},
    {"days", keyWantDays, V::kBoolean, kBool, 0, kBool, G::kDateField,
     "the day takes part, with date (default true)"},
    {"months", keyWantMonths, V::kBoolean, kBool, 0, kBool, G::kDateField,
     "the month takes part, with date (default true)"},
    {"years", keyWantYears, V::kBoolean, kBool, 0, kBool, G::kDateField,
     "the year takes part, with date (default true)"},
    {"date", keyWantDate, V::kBoolean, kBool, 0, kBool, G::kDateField,
     "the calendar date takes part (default true)"},
};

constexpr EnumeratorTerm kResultForms[] = {
    {"hfs path", kResultHFSPath, "colon paths (\"Disk:Folder:File\"), the default"},
    {"posix path", kResultPOSIXPath, "POSIX paths (\"/home/me/File\")"},
    {"name", kResultName, "names only"},
    {"alias", kResultAlias, "alias records"},
    {"file specification", kResultFileSpec, "file specifications"},
};

constexpr EnumeratorTerm kKinds[] = {
    {"application", FourCC("APPL"), "applications"},
    {"system extension", FourCC("INIT"), "system extensions"},
    {"alias file", FourCC("alis"), "alias files"},
    {"control panel", FourCC("cdev"), "control panels"},
    {"clipping file", FourCC("clip"), "clipping files"},
    {"document", FourCC("docu"), "documents"},
    {"font file", FourCC("font"), "font files"},
    {"letter", FourCC("letr"), "letters"},
    {"sound file", FourCC("sfil"), "sound files"},
    {"stationery file", FourCC("stat"), "stationery files"},
};

char LowerASCII(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerASCII(a[i]) != LowerASCII(b[i])) return false;
    }
    return true;
}

}  // namespace

std::span<const ParameterTerm> FindParameterTerms() {
    return kTerms;
}

const ParameterTerm* ParameterTermByName(std::string_view name) {
    name = TrimBlanks(name);
    for (const ParameterTerm& term : kTerms) {
        if (SameName(term.name, name)) return &term;
    }
    return nullptr;
}

const ParameterTerm* ParameterTermByKeyword(AEKeyword keyword) {
    for (const ParameterTerm& term : kTerms) {
        if (term.keyword == keyword) return &term;
    }
    return nullptr;
}

std::span<const EnumeratorTerm> ResultFormTerms() {
    return kResultForms;
}

std::span<const EnumeratorTerm> KindTerms() {
    return kKinds;
}

const EnumeratorTerm* EnumeratorByName(std::span<const EnumeratorTerm> table,
                                       std::string_view name) {
    name = TrimBlanks(name);
    for (const EnumeratorTerm& term : table) {
        if (SameName(term.name, name)) return &term;
    }
    return nullptr;
}

const EnumeratorTerm* EnumeratorByCode(std::span<const EnumeratorTerm> table, OSType code) {
    for (const EnumeratorTerm& term : table) {
        if (term.code == code) return &term;
    }
    return nullptr;
}
