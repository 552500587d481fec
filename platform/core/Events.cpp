#include "platform/Events.h"

#include <atomic>
#include <chrono>
#include <ctime>

namespace {

const auto processStart = std::chrono::steady_clock::now();

// Written by the display backends (a signal handler among them), read by GetKeys.
std::atomic<bool> commandPeriodPending{false};

WaitNextEventHook waitHook = nullptr;

// Seconds from 1904-01-01 to 1970-01-01.
constexpr std::int64_t kMacToUnixEpoch = 2082844800;

}  // namespace

UInt32 TickCount() {
    auto elapsed = std::chrono::steady_clock::now() - processStart;
    return static_cast<UInt32>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() * 60 / 1000);
}

void GetDateTime(UInt32* secs) {
    if (secs == nullptr) return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    *secs = static_cast<UInt32>(static_cast<std::int64_t>(now) + local.tm_gmtoff + kMacToUnixEpoch);
}

void GetKeys(KeyMap keys) {
    keys[0] = keys[1] = keys[2] = keys[3] = 0;
    if (commandPeriodPending.load(std::memory_order_relaxed)) {
        keys[kVirtualCommandKey / 32] |= 1u << (kVirtualCommandKey % 32);
        keys[kVirtualPeriodKey / 32] |= 1u << (kVirtualPeriodKey % 32);
    }
}

void PostCommandPeriod() {
    commandPeriodPending.store(true, std::memory_order_relaxed);
}
void ClearCommandPeriod() {
    commandPeriodPending.store(false, std::memory_order_relaxed);
}

WaitNextEventHook SetWaitNextEventHook(WaitNextEventHook hook) {
    WaitNextEventHook previous = waitHook;
    waitHook = hook;
    return previous;
}

Boolean WaitNextEvent(UInt16 eventMask, EventRecord* event, UInt32 sleep, void*) {
    if (event != nullptr) *event = EventRecord{0, 0, TickCount()};
    return waitHook != nullptr ? waitHook(eventMask, sleep) : false;
}

OSErr Gestalt(OSType selector, SInt32* response) {
    if (response == nullptr) return paramErr;
    // Answer as a supported system (10.4 and later) with the appearance and
    // the menu layout that start-up checks for.
    if (selector == gestaltSystemVersion) {
        *response = 0x1040;
        return noErr;
    }
    if (selector == FourCC("appr")) {  // appearance present
        *response = 1;
        return noErr;
    }
    if (selector == FourCC("menu")) {  // the menu manager's modern layout
        *response = 2;
        return noErr;
    }
    return -5551;  // gestaltUndefSelectorErr
}
