// The binary flattening: round trips, its byte layout, and refusal of
// truncated or malformed input.

#include <gtest/gtest.h>

#include "ae/ae_test_support.h"

namespace {

using aetest::Desc;
using aetest::Flat;
using Bytes = std::vector<unsigned char>;

OSErr Build(const std::string& text, AEDesc* out) {
    return AEBuildDescWithArgs(out, text.data(), static_cast<Size>(text.size()), nullptr, 0);
}

struct Row {
    const char* name;
    const char* text;
};

const Row kSamples[] = {
    {"long", "42"},
    {"text", "\"caf\xC3\xA9\""},
    {"utxt", "utxt(\"\xE6\x97\xA5\")"},
    {"null", "'null'()"},
    {"typed without data", "TEXT()"},
    {"list", "[1, shor(2), comp(3), doub(4.5), sing(0.5), 'ldt '(comp(7)), [], {}]"},
    {"record",
     "{\xC6\x92old:[alis(\xC2\xAB"
     "0102\xC2\xBB)], Rslt:path, \xC6\x92sub:bool(1)}"},
    {"object specifier", "obj {want:type(file), from:'null'(), form:name, seld:utxt(\"a:b\")}"},
    {"event", "SkWr\\find{'----':[1], &addr:sign(SkWr), &rtid:shor(3), &tran:0}"},
};

std::string RowName(const char* name) {
    std::string n = name;
    for (char& c : n) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return n;
}

class Flattening : public ::testing::TestWithParam<Row> {};

TEST_P(Flattening, RoundTripsAndRefusesEveryTruncation) {
    const Row& row = GetParam();
    Desc d;
    ASSERT_EQ(Build(row.text, &d), noErr) << row.name;
    Bytes flat = Flat(d.d);
    ASSERT_EQ(static_cast<Size>(flat.size()), AESizeOfFlattenedDesc(&d.d)) << row.name;
    Desc back;
    ASSERT_EQ(AEUnflattenDesc(flat.data(), static_cast<Size>(flat.size()), &back), noErr)
        << row.name;
    EXPECT_EQ(Flat(back.d), flat) << row.name;
    EXPECT_EQ(aetest::Print(back.d), aetest::Print(d.d)) << row.name;

    for (std::size_t n = 0; n < flat.size(); ++n) {
        AEDesc part{typeChar, nullptr};
        Bytes prefix(flat.begin(), flat.begin() + static_cast<long>(n));
        EXPECT_EQ(AEUnflattenDesc(prefix.data(), static_cast<Size>(n), &part), errAECorruptData)
            << row.name << " cut at " << n;
        EXPECT_EQ(part.dataHandle, nullptr) << row.name << " cut at " << n;
    }
    Bytes longer = flat;
    longer.push_back(0);
    Desc extra;
    EXPECT_EQ(AEUnflattenDesc(longer.data(), static_cast<Size>(longer.size()), &extra),
              errAECorruptData)
        << row.name << " with a trailing byte";
}

INSTANTIATE_TEST_SUITE_P(AE, Flattening, ::testing::ValuesIn(kSamples),
                         [](const auto& info) { return RowName(info.param.name); });

TEST(Flattening, LayoutIsBigEndianWithMagicAndVersion) {
    Desc list;
    ASSERT_EQ(Build("[shor(258), \"ab\"]", &list), noErr);
    const Bytes expected = {
        'S', 'W', 'A', 'E', 0, 1, 0, 0,                 // magic, version 1, reserved
        'l', 'i', 's', 't', 2, 0, 0, 0, 2,              // list of two
        's', 'h', 'o', 'r', 1, 0, 0, 0, 2, 0x01, 0x02,  // 258 big-endian
        'T', 'E', 'X', 'T', 1, 0, 0, 0, 2, 'a',  'b',
    };
    EXPECT_EQ(Flat(list.d), expected);

    Desc event;
    ASSERT_EQ(Build("aevt\\oapp{}", &event), noErr);
    const Bytes expectedEvent = {
        'S', 'W', 'A', 'E', 0,   1,   0,   0,   'a', 'e', 'v', 't', 4,  // event
        0,   0,   0,   2,                                               // two attributes
        'e', 'v', 'c', 'l', 't', 'y', 'p', 'e', 1,   0,   0,   0,   4,
        'a', 'e', 'v', 't', 'e', 'v', 'i', 'd', 't', 'y', 'p', 'e', 1,
        0,   0,   0,   4,   'o', 'a', 'p', 'p', 0,   0,   0,   0,  // no parameters
    };
    EXPECT_EQ(Flat(event.d), expectedEvent);
}

TEST(Flattening, EventAttributesSurvive) {
    OSType target = FourCC("SkWr");
    Desc event;
    ASSERT_EQ(AECreateAppleEvent(FourCC("SkWr"), FourCC("find"), nullptr, 77, 9, &event), noErr);
    Desc address;
    ASSERT_EQ(AECreateDesc(typeApplSignature, &target, 4, &address), noErr);
    ASSERT_EQ(AEPutAttributeDesc(&event, keyAddressAttr, address.get()), noErr);
    ASSERT_EQ(AEPutParamPtr(&event, FourCC("\xC4max"), typeSInt32, "\x05\0\0\0", 4), noErr);
    Bytes flat = Flat(event.d);
    Desc back;
    ASSERT_EQ(AEUnflattenDesc(flat.data(), static_cast<Size>(flat.size()), &back), noErr);
    SInt16 returnID = 0;
    SInt32 transaction = 0;
    OSType sig = 0;
    SInt32 max = 0;
    EXPECT_EQ(
        AEGetAttributePtr(back.get(), keyReturnIDAttr, typeSInt16, nullptr, &returnID, 2, nullptr),
        noErr);
    EXPECT_EQ(AEGetAttributePtr(back.get(), keyTransactionIDAttr, typeSInt32, nullptr, &transaction,
                                4, nullptr),
              noErr);
    EXPECT_EQ(
        AEGetAttributePtr(back.get(), keyAddressAttr, typeApplSignature, nullptr, &sig, 4, nullptr),
        noErr);
    EXPECT_EQ(AEGetParamPtr(back.get(), FourCC("\xC4max"), typeSInt32, nullptr, &max, 4, nullptr),
              noErr);
    EXPECT_EQ(returnID, 77);
    EXPECT_EQ(transaction, 9);
    EXPECT_EQ(sig, target);
    EXPECT_EQ(max, 5);
}

struct BadRow {
    const char* name;
    Bytes data;
    OSErr err;
};

Bytes WithHeader(Bytes body) {
    Bytes b = {'S', 'W', 'A', 'E', 0, 1, 0, 0};
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

const BadRow kBad[] = {
    {"empty", {}, errAECorruptData},
    {"wrong magic", {'X', 'W', 'A', 'E', 0, 1, 0, 0, 'n', 'u', 'l', 'l', 0}, errAECorruptData},
    {"newer version", {'S', 'W', 'A', 'E', 0, 2, 0, 0, 'n', 'u', 'l', 'l', 0}, errAENewerVersion},
    {"version zero", {'S', 'W', 'A', 'E', 0, 0, 0, 0, 'n', 'u', 'l', 'l', 0}, errAECorruptData},
    {"reserved set", {'S', 'W', 'A', 'E', 0, 1, 0, 1, 'n', 'u', 'l', 'l', 0}, errAECorruptData},
    {"unknown kind", WithHeader({'T', 'E', 'X', 'T', 9}), errAECorruptData},
    {"null with data", WithHeader({'n', 'u', 'l', 'l', 1, 0, 0, 0, 0}), errAECorruptData},
    {"huge scalar length", WithHeader({'T', 'E', 'X', 'T', 1, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}),
     errAECorruptData},
    {"huge item count", WithHeader({'l', 'i', 's', 't', 2, 0xFF, 0xFF, 0xFF, 0xFF}),
     errAECorruptData},
    {"list kind with other type", WithHeader({'r', 'e', 'c', 'o', 2, 0, 0, 0, 0}),
     errAECorruptData},
    {"record typed list", WithHeader({'l', 'i', 's', 't', 3, 0, 0, 0, 0}), errAECorruptData},
    {"scalar typed list", WithHeader({'l', 'i', 's', 't', 1, 0, 0, 0, 0}), errAECorruptData},
    {"duplicate record key",
     WithHeader({'r', 'e', 'c', 'o', 3,   0,   0,   0,   2,   'k', 'e', 'y', ' ', 'n',
                 'u', 'l', 'l', 0,   'k', 'e', 'y', ' ', 'n', 'u', 'l', 'l', 0}),
     errAECorruptData},
    {"event without class", WithHeader({'a', 'e', 'v', 't', 4, 0, 0, 0, 0, 0, 0, 0, 0}),
     errAECorruptData},
    {"event class not a type",
     WithHeader({'a', 'e', 'v', 't', 4, 0, 0,   0,   2,   'e', 'v', 'c', 'l', 'T', 'E', 'X',
                 'T', 1,   0,   0,   0, 4, 'a', 'e', 'v', 't', 'e', 'v', 'i', 'd', 't', 'y',
                 'p', 'e', 1,   0,   0, 0, 4,   'o', 'a', 'p', 'p', 0,   0,   0,   0}),
     errAECorruptData},
};

class BadFlattening : public ::testing::TestWithParam<BadRow> {};

TEST_P(BadFlattening, Refused) {
    const BadRow& row = GetParam();
    AEDesc d{typeChar, nullptr};
    EXPECT_EQ(AEUnflattenDesc(row.data.data(), static_cast<Size>(row.data.size()), &d), row.err)
        << row.name;
    EXPECT_EQ(d.dataHandle, nullptr) << row.name;
}

INSTANTIATE_TEST_SUITE_P(AE, BadFlattening, ::testing::ValuesIn(kBad),
                         [](const auto& info) { return RowName(info.param.name); });

TEST(Flattening, NestingBeyondTheLimitIsRefused) {
    Bytes deep = WithHeader({});
    for (int k = 0; k < 5000; ++k) {
        Bytes level = {'l', 'i', 's', 't', 2, 0, 0, 0, 1};
        deep.insert(deep.end(), level.begin(), level.end());
    }
    Bytes tail = {'n', 'u', 'l', 'l', 0};
    deep.insert(deep.end(), tail.begin(), tail.end());
    Desc d;
    EXPECT_EQ(AEUnflattenDesc(deep.data(), static_cast<Size>(deep.size()), &d), errAECorruptData);
}

TEST(Flattening, ShortBufferReportsSizeNeeded) {
    Desc d;
    ASSERT_EQ(Build("\"abc\"", &d), noErr);
    unsigned char small[4];
    Size actual = 0;
    EXPECT_EQ(AEFlattenDesc(d.get(), small, sizeof small, &actual), errAEBufferTooSmall);
    EXPECT_EQ(actual, AESizeOfFlattenedDesc(d.get()));
}

TEST(Flattening, ListDataIsItsFlattening) {
    // AEGetDescData of a list hands out the flattening, and AECreateDesc of
    // a list takes it back.
    Desc list;
    ASSERT_EQ(Build("[1, \"x\"]", &list), noErr);
    Bytes data = aetest::Data(list.d);
    EXPECT_EQ(data, Flat(list.d));
    Desc back;
    ASSERT_EQ(AECreateDesc(typeAEList, data.data(), static_cast<Size>(data.size()), &back), noErr);
    EXPECT_EQ(Flat(back.d), data);
    Desc wrong;
    EXPECT_EQ(AECreateDesc(typeAERecord, data.data(), static_cast<Size>(data.size()), &wrong),
              errAECorruptData);
}

}  // namespace
