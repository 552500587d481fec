// The CFString object, for code in platform/ that needs its UTF-16 directly.
#pragma once

#include <string>

#include "platform/CoreFoundation.h"
#include "platform/cf/CFRuntime.h"

struct OpaqueCFString {
    CFRuntimeBase base;
    std::u16string chars;
    CFIndex maxLength;  // 0: no limit; otherwise appends are cut at this many units
};

// A new string (retain count 1) holding `chars`.
CFMutableStringRef CFStringMakeFromUtf16(std::u16string chars);
