// The common head of every Core Foundation object made in platform/, so that
// CFRetain and CFRelease work on any of them through a CFTypeRef.
//
// An object type declares a CFRuntimeBase as its FIRST member (the type must
// stay standard-layout), sets it up with CFRuntimeInit and hands out a pointer
// to the whole object:
//
//     struct OpaqueCFURL {
//         CFRuntimeBase base;
//         std::string path;
//     };
//     static void FinalizeURL(CFRuntimeBase* b) { delete reinterpret_cast<OpaqueCFURL*>(b); }
//     auto* url = new OpaqueCFURL{};
//     CFRuntimeInit(&url->base, FinalizeURL);  // retain count 1
//
// CFRelease calls the finalizer when the count reaches zero. Objects that live
// for the process (CFSTR literals, the main bundle) pass a null finalizer:
// retain and release leave them alone.
#pragma once

#include <atomic>

struct CFRuntimeBase {
    std::atomic<long> retainCount;
    void (*finalize)(CFRuntimeBase* object);
};

inline void CFRuntimeInit(CFRuntimeBase* base, void (*finalize)(CFRuntimeBase*)) {
    base->retainCount.store(1, std::memory_order_relaxed);
    base->finalize = finalize;
}
