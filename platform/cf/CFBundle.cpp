#include <mutex>
#include <vector>

#include "platform/CoreFoundation.h"
#include "platform/cf/CFRuntime.h"
#include "platform/cf/CFStringInternal.h"

struct OpaqueCFBundle {
    CFRuntimeBase base;
};

namespace {

struct BundleState {
    std::mutex mutex;
    CFStringRef version = nullptr;
    std::vector<CFStringRef> retired;  // handed out earlier: kept alive for their holders
};

BundleState& State() {
    static auto* state = [] {
        auto* s = new BundleState();
#ifdef SW_VERSION
        s->version =
            CFStringCreateWithCString(kCFAllocatorDefault, SW_VERSION, kCFStringEncodingUTF8);
#endif
        return s;
    }();
    return *state;
}

}  // namespace

CFBundleRef CFBundleGetMainBundle() {
    static OpaqueCFBundle* bundle = [] {
        auto* b = new OpaqueCFBundle{};
        CFRuntimeInit(&b->base, nullptr);  // lives for the process
        return b;
    }();
    return bundle;
}

CFStringRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key) {
    if (bundle == nullptr || key == nullptr) return nullptr;
    if (CFStringCompare(key, CFSTR("CFBundleVersion"), 0) != kCFCompareEqualTo) return nullptr;
    BundleState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.version;
}

void CFBundleSetInfoVersionForTesting(const char* version) {
    BundleState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.version != nullptr) state.retired.push_back(state.version);
    state.version = version != nullptr ? CFStringCreateWithCString(kCFAllocatorDefault, version,
                                                                   kCFStringEncodingUTF8)
                                       : nullptr;
}

void CFBundleRestoreInfoVersionForTesting() {
#ifdef SW_VERSION
    CFBundleSetInfoVersionForTesting(SW_VERSION);
#else
    CFBundleSetInfoVersionForTesting(nullptr);
#endif
}
