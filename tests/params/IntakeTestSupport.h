// Shared helpers of the intake tests: find command events built parameter by
// parameter, Str255 views. Alerts are recorded with text/'s ScopedAlertRecorder.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "params/Intake.h"
#include "params/SearchParameters.h"
#include "params/Terminology.h"
#include "platform/AppleEvents.h"
#include "platform/Files.h"
#include "text/AlertDisplays.h"

namespace intake_test {

inline std::string P(ConstStr255Param s) {
    return std::string(reinterpret_cast<const char*>(s + 1), s[0]);
}

// A find command event that owns its descriptor.
class FindEvent {
  public:
    FindEvent() {
        AEDesc target;
        OSType signature = kSeekwrightEventClass;
        EXPECT_EQ(AECreateDesc(typeApplSignature, &signature, sizeof signature, &target), noErr);
        EXPECT_EQ(AECreateAppleEvent(kSeekwrightEventClass, kFindEventID, &target,
                                     kAutoGenerateReturnID, kAnyTransactionID, &event_),
                  noErr);
        AEDisposeDesc(&target);
    }
    ~FindEvent() { AEDisposeDesc(&event_); }
    FindEvent(const FindEvent&) = delete;
    FindEvent& operator=(const FindEvent&) = delete;

    const AppleEvent* get() const { return &event_; }

    FindEvent& Bool(AEKeyword key, bool value) {
        Boolean b = value ? 1 : 0;
        EXPECT_EQ(AEPutParamPtr(&event_, key, typeBoolean, &b, 1), noErr);
        return *this;
    }
    FindEvent& Long(AEKeyword key, SInt32 value) {
        EXPECT_EQ(AEPutParamPtr(&event_, key, typeSInt32, &value, sizeof value), noErr);
        return *this;
    }
    FindEvent& Text(AEKeyword key, std::string_view text) {
        EXPECT_EQ(AEPutParamPtr(&event_, key, typeChar, text.data(), Size(text.size())), noErr);
        return *this;
    }
    FindEvent& Enum(AEKeyword key, OSType code) {
        EXPECT_EQ(AEPutParamPtr(&event_, key, typeEnumerated, &code, sizeof code), noErr);
        return *this;
    }
    // A long date-time: a form no yes/no, text-list or enumeration getter can take.
    FindEvent& Date(AEKeyword key, LongDateTime value = 3'000'000'000) {
        EXPECT_EQ(AEPutParamPtr(&event_, key, typeLongDateTime, &value, sizeof value), noErr);
        return *this;
    }
    FindEvent& Desc(AEKeyword key, const AEDesc& desc) {
        EXPECT_EQ(AEPutParamDesc(&event_, key, &desc), noErr);
        return *this;
    }

  private:
    AppleEvent event_{};
};

// A list descriptor that owns itself; items appended in order.
class ListBuilder {
  public:
    ListBuilder() { EXPECT_EQ(AECreateList(nullptr, 0, false, &list_), noErr); }
    ~ListBuilder() { AEDisposeDesc(&list_); }
    ListBuilder(const ListBuilder&) = delete;
    ListBuilder& operator=(const ListBuilder&) = delete;

    ListBuilder& Text(std::string_view text) {
        EXPECT_EQ(AEPutPtr(&list_, 0, typeChar, text.data(), Size(text.size())), noErr);
        return *this;
    }
    ListBuilder& Item(DescType type, const void* data, Size size) {
        EXPECT_EQ(AEPutPtr(&list_, 0, type, data, size), noErr);
        return *this;
    }
    ListBuilder& Long(SInt32 value) { return Item(typeSInt32, &value, sizeof value); }
    const AEDescList& get() const { return list_; }
    AEDescList* ptr() { return &list_; }

  private:
    AEDescList list_{};
};

inline long CountItems(const AEDescList& list) {
    long count = -1;
    EXPECT_EQ(AECountItems(&list, &count), noErr);
    return count;
}

inline DescType ItemType(const AEDescList& list, long index) {
    AEKeyword keyword = 0;
    DescType type = 0;
    Size size = 0;
    EXPECT_EQ(AEGetNthPtr(&list, index, typeWildCard, &keyword, &type, nullptr, 0, &size), noErr);
    return type;
}

inline FSSpec ItemSpec(const AEDescList& list, long index) {
    AEKeyword keyword = 0;
    DescType type = 0;
    Size size = 0;
    FSSpec spec{};
    EXPECT_EQ(AEGetNthPtr(&list, index, typeFSS, &keyword, &type, &spec, sizeof spec, &size),
              noErr);
    return spec;
}

inline bool SameSpec(const FSSpec& a, const FSSpec& b) {
    return a.vRefNum == b.vRefNum && a.parID == b.parID && a.name[0] == b.name[0] &&
           std::memcmp(a.name + 1, b.name + 1, a.name[0]) == 0;
}

}  // namespace intake_test
