#include <gtest/gtest.h>

#include <cstring>

#include "platform/Events.h"
#include "platform/Memory.h"

TEST(Handles, GrowKeepsContentsAndZeroFills) {
    Handle h = NewHandle(4);
    ASSERT_NE(h, nullptr);
    std::memcpy(*h, "abcd", 4);
    ASSERT_EQ(SetHandleSize(h, 8), noErr);
    EXPECT_EQ(GetHandleSize(h), 8);
    EXPECT_EQ(std::memcmp(*h, "abcd\0\0\0\0", 8), 0);
    DisposeHandle(h);
    EXPECT_EQ(NewHandle(-1), nullptr);
    EXPECT_EQ(MemError(), paramErr);
}

TEST(Keys, CommandPeriodShowsBothKeysUntilCleared) {
    KeyMap keys;
    auto down = [&](int key) { return (keys[key / 32] >> (key % 32)) & 1u; };
    ClearCommandPeriod();
    GetKeys(keys);
    EXPECT_FALSE(down(kVirtualCommandKey));
    PostCommandPeriod();
    GetKeys(keys);
    EXPECT_TRUE(down(kVirtualCommandKey));
    EXPECT_TRUE(down(kVirtualPeriodKey));
    ClearCommandPeriod();
    GetKeys(keys);
    EXPECT_FALSE(down(kVirtualPeriodKey));
}

TEST(Clock, DateTimeIsAfter2020In1904Seconds) {
    UInt32 now = 0;
    GetDateTime(&now);
    EXPECT_GT(now, 3660000000u);  // 2019-12 in seconds since 1904
}
