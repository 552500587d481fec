#include "cli/Options.h"

#include <charconv>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>

#include "params/Terminology.h"
#include "platform/CoreFoundation.h"
#include "platform/DateTimeUtils.h"
#include "platform/Files.h"
#include "platform/MacRoman.h"
#include "platform/Memory.h"
#include "search/CriterionTests.h"

namespace {

// "result type" -> "result-type", "X comments contain" -> "x-comments-contain".
std::string OptionName(std::string_view termName) {
    std::string option;
    for (char c : termName) {
        if (c == ' ') c = '-';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        option += c;
    }
    return option;
}

// Short spellings of the options people type most; every other option is
// the term's own name.
struct Abbreviation {
    const char* option;
    const char* termName;
};
constexpr Abbreviation kAbbreviations[] = {
    {"result", "result type"},
    {"max", "maximum matches"},
    {"disk", "in disks"},
    {"folder", "in folders"},
};

// The short result-form names of the command line.
struct ResultFormName {
    const char* name;
    OSType code;
};
constexpr ResultFormName kResultFormNames[] = {
    {"hfs", FourCC("path")},   {"posix", FourCC("pat2")}, {"name", FourCC("name")},
    {"alias", FourCC("alis")}, {"spec", FourCC("file")},
};

// The name tests, one option per operator, shorter than the terms' own names
// (which are accepted too). Each may be repeated to give a list of names.
constexpr Abbreviation kNameOptions[] = {
    {"name-is", "name is"},
    {"name-is-not", "name is not"},
    {"name-contains", "name contains"},
    {"name-contains-any", "name contains any of"},
    {"name-contains-each", "name contains each of"},
    {"name-not-contains", "name does not contain"},
    {"name-not-contains-any", "name does not contain any of"},
    {"name-not-contains-each", "name does not contain each of"},
    {"name-starts-with", "name starts with"},
    {"name-not-starts-with", "name does not start with"},
    {"name-ends-with", "name ends with"},
    {"name-not-ends-with", "name does not end with"},
};

// The option a term is shown under in the help.
std::string OptionNameOf(const ParameterTerm& term) {
    for (const Abbreviation& a : kNameOptions) {
        if (ParameterTermByName(a.termName) == &term) return a.option;
    }
    return OptionName(term.name);
}

const ParameterTerm* TermForOption(std::string_view option, bool* negated) {
    *negated = false;
    for (const Abbreviation& a : kAbbreviations) {
        if (option == a.option) return ParameterTermByName(a.termName);
    }
    for (const Abbreviation& a : kNameOptions) {
        if (option == a.option) return ParameterTermByName(a.termName);
    }
    for (const ParameterTerm& term : FindParameterTerms()) {
        const std::string name = OptionName(term.name);
        if (option == name) return &term;
        if (term.value == TermValue::kBoolean && option == "no-" + name) {
            *negated = true;
            return &term;
        }
    }
    return nullptr;
}

// Text as Mac OS Roman 'TEXT' when it has that form, else as 'utf8'.
OSErr TextDesc(const std::string& utf8, AEDesc* out) {
    std::string roman;
    if (Utf8ToMacRoman(utf8, &roman))
        return AECreateDesc(typeChar, roman.data(), static_cast<Size>(roman.size()), out);
    return AECreateDesc(typeUTF8Text, utf8.data(), static_cast<Size>(utf8.size()), out);
}

std::optional<SInt32> ParseLong(std::string_view text) {
    SInt32 value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return {};
    return value;
}

// "YYYY-MM-DD", optionally followed by "T" or a blank and "HH:MM[:SS]"; local time.
std::optional<LongDateTime> ParseDate(std::string_view text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char tail[8] = {};
    int fields = std::sscanf(std::string(text).c_str(), "%4d-%2d-%2d%1[T ]%2d:%2d:%2d", &year,
                             &month, &day, tail, &hour, &minute, &second);
    if (fields != 3 && fields != 6 && fields != 7) return {};
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59 ||
        year < 1904)
        return {};
    LongDateRec date{};
    date.year = static_cast<SInt16>(year);
    date.month = static_cast<SInt16>(month);
    date.day = static_cast<SInt16>(day);
    date.hour = static_cast<SInt16>(hour);
    date.minute = static_cast<SInt16>(minute);
    date.second = static_cast<SInt16>(second);
    LongDateTime seconds = 0;
    LongDateToSeconds(&date, &seconds);
    return seconds;
}

bool ResultFormCode(const std::string& value, OSType* code) {
    for (const ResultFormName& form : kResultFormNames) {
        if (value == form.name) return *code = form.code, true;
    }
    std::string spaced = value;
    for (char& c : spaced) c = c == '-' ? ' ' : c;
    if (const EnumeratorTerm* term = EnumeratorByName(ResultFormTerms(), spaced))
        return *code = term->code, true;
    return ParseFourCharCode(value, code);
}

// The descriptor of one option's value, in the form the terminology names.
bool ValueDesc(const ParameterTerm& term, const std::string& value, AEDesc* out,
               std::string* error) {
    OSErr err = noErr;
    switch (term.value) {
        case TermValue::kText:
            err = TextDesc(value, out);
            break;
        case TermValue::kNumber:
        case TermValue::kLabel:
            // A value that is not a 32-bit number goes as text, so that the
            // application answers it with its own alert.
            if (auto number = ParseLong(value))
                err = AECreateDesc(typeSInt32, &*number, sizeof *number, out);
            else
                err = TextDesc(value, out);
            break;
        case TermValue::kKind: {
            OSType code = 0;
            std::string spaced = value;
            for (char& c : spaced) c = c == '-' ? ' ' : c;
            if (const EnumeratorTerm* kind = EnumeratorByName(KindTerms(), spaced))
                code = kind->code;
            else if (!ParseFourCharCode(value, &code)) {
                *error = "'" + value + "' is neither a kind nor a four-character code";
                return false;
            }
            err = AECreateDesc(typeEnumerated, &code, sizeof code, out);
            break;
        }
        case TermValue::kDate: {
            auto date = ParseDate(value);
            if (!date) {
                *error = "'" + value + "' is not a date (YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS])";
                return false;
            }
            err = AECreateDesc(typeLongDateTime, &*date, sizeof *date, out);
            break;
        }
        default:
            *error = "internal: no single value for this option";
            return false;
    }
    if (err != noErr) *error = "cannot make a descriptor (error " + std::to_string(err) + ")";
    return err == noErr;
}

// Adds one item to the list parameter `keyword`, creating the list on first use.
bool AppendListItem(FindRequest* request, AEKeyword keyword, const std::string& value, bool isCode,
                    std::string* error) {
    auto [it, inserted] = request->parameters.try_emplace(keyword, AEDesc{typeNull, nullptr});
    if (inserted && AECreateList(nullptr, 0, false, &it->second) != noErr) {
        *error = "cannot make a list";
        return false;
    }
    if (isCode) {
        OSType code = 0;
        if (!ParseFourCharCode(value, &code)) {
            *error = "'" + value + "' is not a four-character code";
            return false;
        }
        std::string roman;
        Utf8ToMacRoman(value, &roman);
        return AEPutPtr(&it->second, 0, typeChar, roman.data(), 4) == noErr;
    }
    AEDesc item;
    AEInitializeDesc(&item);
    if (TextDesc(value, &item) != noErr) return false;
    const OSErr err = AEPutDesc(&it->second, 0, &item);
    AEDisposeDesc(&item);
    return err == noErr;
}

void SetParameter(FindRequest* request, AEKeyword keyword, AEDesc desc) {
    auto [it, inserted] = request->parameters.try_emplace(keyword, desc);
    if (!inserted) {
        AEDisposeDesc(&it->second);  // the last one given wins
        it->second = desc;
    }
}

// --- Locations ---------------------------------------------------------------

std::string Utf8OfUnicode(const HFSUniStr255& name) {
    std::string utf8;
    Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(name.unicode), name.length),
                &utf8);
    return utf8;
}

OSErr AppendAliasOf(const FSRef& ref, AEDescList* list) {
    FSSpec spec;
    OSErr err = FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr);
    if (err != noErr) return err;
    AliasHandle alias = nullptr;
    err = NewAlias(nullptr, &spec, &alias);
    if (err != noErr) return err;
    err = AEPutPtr(list, 0, typeAlias, *alias, GetHandleSize(alias));
    DisposeHandle(alias);
    return err;
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    std::string text = (ec ? std::filesystem::path(path) : absolute).lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

// The colon path of a POSIX path that need not exist: the colon path of its
// nearest existing ancestor, then the missing components with ':' and '/'
// swapped as between the two forms.
std::optional<std::string> ColonPathOf(const std::string& absolute) {
    std::string existing = absolute;
    std::vector<std::string> missing;
    FSRef ref;
    while (FSPathMakeRef(reinterpret_cast<const UInt8*>(existing.c_str()), &ref, nullptr) !=
           noErr) {
        const auto slash = existing.find_last_of('/');
        if (slash == std::string::npos || existing == "/") return {};
        missing.push_back(existing.substr(slash + 1));
        existing = slash == 0 ? "/" : existing.substr(0, slash);
    }
    CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, &ref);
    if (url == nullptr) return {};
    CFStringRef colonPath = CFURLCopyFileSystemPath(url, kCFURLHFSPathStyle);
    CFRelease(url);
    if (colonPath == nullptr) return {};
    std::string utf8;
    Utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(CFStringGetCharactersPtr(colonPath)),
                            static_cast<std::size_t>(CFStringGetLength(colonPath))),
        &utf8);
    CFRelease(colonPath);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        std::string component = *it;
        for (char& c : component) c = c == ':' ? '/' : c;
        if (utf8.empty() || utf8.back() != ':') utf8 += ':';
        utf8 += component;
    }
    return utf8;
}

bool AddFolder(const std::string& folder, AEDescList* list, std::string* error) {
    const std::string absolute = AbsolutePath(folder);
    FSRef ref;
    if (FSPathMakeRef(reinterpret_cast<const UInt8*>(absolute.c_str()), &ref, nullptr) == noErr &&
        AppendAliasOf(ref, list) == noErr)
        return true;
    // Sent as text all the same: the application reports it in its own alert
    // and searches the other folders.
    auto colonPath = ColonPathOf(absolute);
    const std::string text = colonPath ? *colonPath : absolute;
    AEDesc item;
    AEInitializeDesc(&item);
    if (TextDesc(text, &item) != noErr || AEPutDesc(list, 0, &item) != noErr) {
        AEDisposeDesc(&item);
        *error = "cannot add '" + folder + "' to the folders";
        return false;
    }
    AEDisposeDesc(&item);
    return true;
}

bool AddDisk(const std::string& disk, AEDescList* list, std::string* error) {
    const std::string absolute = disk.find('/') != std::string::npos ? AbsolutePath(disk) : "";
    for (UInt32 index = 1;; ++index) {
        HFSUniStr255 name;
        FSRef root;
        if (FSGetVolumeInfo(0, index, nullptr, kFSVolInfoNone, nullptr, &name, &root) != noErr)
            break;
        bool same = Utf8OfUnicode(name) == disk;
        if (!same && !absolute.empty()) {
            UInt8 mountPoint[4096];
            same = FSRefMakePath(&root, mountPoint, sizeof mountPoint) == noErr &&
                   absolute == reinterpret_cast<const char*>(mountPoint);
        }
        if (same) {
            if (AppendAliasOf(root, list) == noErr) return true;
            break;
        }
    }
    // Unknown: sent as the volume's colon path so that the application says so.
    AEDesc item;
    AEInitializeDesc(&item);
    if (TextDesc(disk + ":", &item) != noErr || AEPutDesc(list, 0, &item) != noErr) {
        AEDisposeDesc(&item);
        *error = "cannot add '" + disk + "' to the disks";
        return false;
    }
    AEDisposeDesc(&item);
    return true;
}

}  // namespace

FindRequest::~FindRequest() {
    for (auto& [keyword, desc] : parameters) AEDisposeDesc(&desc);
}

bool ParseFourCharCode(const std::string& text, OSType* code) {
    std::string roman;
    if (!Utf8ToMacRoman(text, &roman) || roman.size() != 4) return false;
    *code = 0;
    for (unsigned char c : roman) *code = (*code << 8) | c;
    return true;
}

bool ParseFindArguments(std::span<const char* const> args, FindRequest* request,
                        std::string* error) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            request->folders.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            request->help = true;
            continue;
        }
        if (arg == "-0" || arg == "--print0") {
            request->format = OutputFormat::kNul;
            continue;
        }
        if (arg == "--json") {
            request->format = OutputFormat::kJson;
            continue;
        }
        if (arg == "-r") arg = "--subfolders";
        if (arg.rfind("--", 0) != 0) {
            *error = "unknown option '" + arg + "'";
            return false;
        }
        std::string option = arg.substr(2);
        std::optional<std::string> inlineValue;
        if (auto eq = option.find('='); eq != std::string::npos) {
            inlineValue = option.substr(eq + 1);
            option.resize(eq);
        }
        bool negated = false;
        const ParameterTerm* term = TermForOption(option, &negated);
        if (term == nullptr) {
            *error = "unknown option '--" + option + "'";
            return false;
        }
        if (term->value == TermValue::kBoolean) {
            if (inlineValue) {
                *error = "option '--" + option + "' takes no value";
                return false;
            }
            const Boolean on = negated ? 0 : 1;
            AEDesc desc;
            AEInitializeDesc(&desc);
            if (AECreateDesc(typeBoolean, &on, 1, &desc) != noErr) {
                *error = "cannot make a descriptor";
                return false;
            }
            SetParameter(request, term->keyword, desc);
            continue;
        }
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            *error = "option '--" + option + "' needs a value";
            return false;
        }
        switch (term->value) {
            case TermValue::kLocations:
                (term->keyword == FourCC("\304dsk") ? request->disks : request->folders)
                    .push_back(value);
                break;
            case TermValue::kResultForm:
                if (!ResultFormCode(value, &request->resultType)) {
                    *error = "unknown result form '" + value +
                             "' (hfs, posix, name, alias, spec or a four-character code)";
                    return false;
                }
                break;
            case TermValue::kTextList:
            case TermValue::kCodeList:
                if (!AppendListItem(request, term->keyword, value,
                                    term->value == TermValue::kCodeList, error))
                    return false;
                break;
            default: {
                AEDesc desc;
                AEInitializeDesc(&desc);
                if (!ValueDesc(*term, value, &desc, error)) {
                    *error = "--" + option + ": " + *error;
                    return false;
                }
                SetParameter(request, term->keyword, desc);
                break;
            }
        }
    }
    return true;
}

bool BuildFindEvent(const FindRequest& request, AppleEvent* event, std::string* error) {
    // A criterion this build cannot test would come back unfiltered: refuse it.
    for (const auto& [keyword, desc] : request.parameters) {
        const ParameterTerm* term = ParameterTermByKeyword(keyword);
        if (term == nullptr || term->group == TermGroup::kOption ||
            term->group == TermGroup::kDateField || term->group == TermGroup::kOutput ||
            term->group == TermGroup::kLocation)
            continue;
        if (!CriterionIsTested(keyword)) {
            *error = std::string("the \"") + term->name +
                     "\" criterion is not available in this version of seekwright";
            return false;
        }
    }
    AEAddressDesc target;
    AEInitializeDesc(&target);
    const OSType signature = kSeekwrightEventClass;
    OSErr err = AECreateDesc(typeApplSignature, &signature, sizeof signature, &target);
    if (err == noErr)
        err = AECreateAppleEvent(kSeekwrightEventClass, kFindEventID, &target,
                                 kAutoGenerateReturnID, kAnyTransactionID, event);
    AEDisposeDesc(&target);
    if (err != noErr) {
        *error = "cannot create the find event (error " + std::to_string(err) + ")";
        return false;
    }

    auto putList = [&](AEKeyword keyword, const std::vector<std::string>& items,
                       bool (*add)(const std::string&, AEDescList*, std::string*)) {
        if (items.empty()) return true;
        AEDescList list;
        AEInitializeDesc(&list);
        if (AECreateList(nullptr, 0, false, &list) != noErr) {
            *error = "cannot make a list";
            return false;
        }
        bool ok = true;
        for (const std::string& item : items) ok = ok && add(item, &list, error);
        if (ok && AEPutParamDesc(event, keyword, &list) != noErr) {
            *error = "cannot add the locations to the event";
            ok = false;
        }
        AEDisposeDesc(&list);
        return ok;
    };
    if (!putList(keySearchDisks, request.disks, AddDisk) ||
        !putList(keySearchFolders, request.folders, AddFolder))
        return false;

    // A command line wants POSIX paths unless it asks for another form.
    const OSType form = request.resultType != 0 ? request.resultType : kResultPOSIXPath;
    if (AEPutParamPtr(event, keyResultType, typeEnumerated, &form, sizeof form) != noErr) {
        *error = "cannot add the result form to the event";
        return false;
    }
    for (const auto& [keyword, desc] : request.parameters) {
        if (AEPutParamDesc(event, keyword, &desc) != noErr) {
            *error = "cannot add a parameter to the event";
            return false;
        }
    }
    return true;
}

std::string FindHelpText() {
    std::string text =
        "Usage: seekwright find [OPTION]... [FOLDER]...\n"
        "\n"
        "Searches the contents of each FOLDER and prints the matching items, one per\n"
        "line, as POSIX paths. With no FOLDER and no --disk, every mounted volume is\n"
        "searched. The folders themselves are never among the results.\n"
        "\n"
        "Output:\n"
        "  --result FORM         posix (default), hfs, name, alias, spec, or a\n"
        "                        four-character code passed as it is\n"
        "  -0, --print0          separate items with NUL instead of newline\n"
        "  --json                one JSON object per item\n"
        "  --max N               stop after N matches\n"
        "\n"
        "Where and what:\n"
        "  --disk NAME           search a volume, by name or mount point (repeatable)\n"
        "  -r, --subfolders      descend into subfolders\n"
        "\n"
        "Options of the find command (each is sent only when given):\n";
    for (const ParameterTerm& term : FindParameterTerms()) {
        if (term.value == TermValue::kLocations || term.value == TermValue::kResultForm ||
            term.keyword == keyMaxMatches)
            continue;
        std::string line = "  --" + OptionNameOf(term);
        switch (term.value) {
            case TermValue::kBoolean:
                line = "  --[no-]" + OptionName(term.name);
                break;
            case TermValue::kTextList:
                line += " TEXT";
                break;
            case TermValue::kCodeList:
                line += " CODE";
                break;
            case TermValue::kKind:
                line += " KIND";
                break;
            case TermValue::kLabel:
                line += " LABEL";
                break;
            case TermValue::kNumber:
                line += " N";
                break;
            case TermValue::kDate:
                line += " DATE";
                break;
            default:
                line += " TEXT";
                break;
        }
        if (line.size() < 38)
            line.resize(38, ' ');
        else
            line += "\n" + std::string(38, ' ');
        text += line + term.description + "\n";
    }
    text +=
        "\n"
        "TEXT and CODE options may be repeated to give several values. DATE is\n"
        "YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS], local time. KIND is one of:";
    for (const EnumeratorTerm& kind : KindTerms()) {
        text += ' ';
        text += OptionName(kind.name);
    }
    text +=
        ".\n"
        "\n"
        "Exit status: 0 success; 1 the search reported an error (results are still\n"
        "printed); 2 usage error or failed command; 130 stopped with Control-C\n"
        "(the matches found so far are printed). A second Control-C ends at once.\n";
    return text;
}
