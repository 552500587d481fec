// The find subcommand's command line: options named after the scripting
// terminology (params/Terminology.h), turned into a find event.
#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

#include "platform/AppleEvents.h"
#include "platform/MacTypes.h"

enum class OutputFormat { kLines, kNul, kJson };

struct FindRequest {
    std::vector<std::string> folders;  // as given: POSIX paths
    std::vector<std::string> disks;    // volume names or mount points
    OSType resultType = 0;             // 0: not given (the front end asks for POSIX paths)
    // Every other parameter that was given, by keyword, ready to send.
    std::map<AEKeyword, AEDesc> parameters;
    OutputFormat format = OutputFormat::kLines;
    bool help = false;

    FindRequest() = default;
    FindRequest(const FindRequest&) = delete;
    FindRequest& operator=(const FindRequest&) = delete;
    ~FindRequest();
};

// Parses the arguments after "find". false with a message for a usage error.
bool ParseFindArguments(std::span<const char* const> args, FindRequest* request,
                        std::string* error);

// The find event for `request`, addressed to this application. false with a
// message when it cannot be built.
bool BuildFindEvent(const FindRequest& request, AppleEvent* event, std::string* error);

// The help text of the find subcommand, from the terminology table.
std::string FindHelpText();

// A four-character code from UTF-8 text ("ƒold" gives 0xC4 'o' 'l' 'd');
// false unless it is exactly four Mac OS Roman characters.
bool ParseFourCharCode(const std::string& text, OSType* code);
