#include "platform/cf/CFRuntime.h"

#include "platform/CoreFoundation.h"

void CFRelease(CFTypeRef object) {
    if (object == nullptr) return;
    auto* base = static_cast<CFRuntimeBase*>(const_cast<void*>(object));
    if (base->finalize == nullptr) return;  // lives for the process
    if (base->retainCount.fetch_sub(1, std::memory_order_acq_rel) == 1) base->finalize(base);
}

CFTypeRef CFRetain(CFTypeRef object) {
    if (object == nullptr) return nullptr;
    auto* base = static_cast<CFRuntimeBase*>(const_cast<void*>(object));
    if (base->finalize != nullptr) base->retainCount.fetch_add(1, std::memory_order_relaxed);
    return object;
}
