// The find command ('SkWr'/'find'): from the incoming event to the reply.
#pragma once

#include <cstddef>

#include "platform/AppleEvents.h"
#include "platform/MacTypes.h"

// Handles one find command inside the event dispatch and returns when the
// search is over. The reply's direct parameter is the list of matches. Result:
// noErr, except the error of creating the result list.
OSErr SeekwrightHandler(const AppleEvent* event, AppleEvent* reply, long refcon);

// Joins the summary lines and option lists of SearchParameters into `text`
// (zero-terminated, Mac OS Roman): each summary line followed by ", ", then
// "with:" and the options that are on, then ", without:" and those that are
// off. Cut at `capacity` - 1 bytes; never writes past `capacity`.
void BuildCriteriaText(char* text, std::size_t capacity);
