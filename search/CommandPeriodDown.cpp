#include "platform/Events.h"
#include "search/SearchState.h"

Boolean CommandPeriodDown() {
    KeyMap keys;
    GetKeys(keys);
    // The key map holds key n at bit n % 32 of word n / 32 (platform/Events.h).
    auto down = [&keys](int key) { return ((keys[key / 32] >> (key % 32)) & 1u) != 0; };
    return down(kVirtualCommandKey) && down(kVirtualPeriodKey);
}
