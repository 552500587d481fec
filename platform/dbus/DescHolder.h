// A descriptor owned for the length of a scope: initialised as a null
// descriptor, disposed of at the end.
#pragma once

#include "platform/AppleEvents.h"

namespace swbus {

struct DescHolder {
    AEDesc desc;
    DescHolder() { AEInitializeDesc(&desc); }
    ~DescHolder() { AEDisposeDesc(&desc); }
    DescHolder(const DescHolder&) = delete;
    DescHolder& operator=(const DescHolder&) = delete;
};

}  // namespace swbus
