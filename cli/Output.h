// Printing a reply's result list: one element per line, NUL-separated, or JSON.
#pragma once

#include <cstdio>
#include <string>

#include "cli/Options.h"
#include "platform/AppleEvents.h"

// The bytes an element stands for on the command line: Mac OS Roman 'TEXT'
// as UTF-8; 'utxt' (host order) as UTF-8, with the private-use characters
// U+F780..U+F7FF that stand for bytes of non-UTF-8 names turned back into
// those bytes; 'utf8' as it is. false for other types. `rawBytes` tells
// whether the result holds such bytes (so it may not be valid UTF-8).
bool ElementText(const AEDesc& element, std::string* bytes, bool* rawBytes);

// Writes every element of `list` to `out` in `format`; `resultType` names
// the kind of element in JSON. Returns the number of elements written.
long PrintResults(const AEDescList& list, OSType resultType, OutputFormat format, std::FILE* out);

// Standard base64 with padding.
std::string Base64(const unsigned char* data, std::size_t size);
