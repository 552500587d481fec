// The coercion table: each row a from-type with data, a to-type, and the
// expected data or result code.

#include <gtest/gtest.h>

#include <cmath>

#include "ae/ae_test_support.h"

namespace {

using aetest::Desc;
using aetest::Of;
using aetest::Text;
using aetest::Utf16;
using Bytes = std::vector<unsigned char>;

constexpr DescType typePString = FourCC("pstr");

struct CoercionRow {
    const char* name;
    DescType from;
    Bytes data;
    DescType to;
    OSErr err;       // expected result
    Bytes expected;  // expected data when err is noErr
};

Bytes Pascal(const std::string& s) {
    Bytes b{static_cast<unsigned char>(s.size())};
    b.insert(b.end(), s.begin(), s.end());
    return b;
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const CoercionRow kRows[] = {
    // numbers to decimal text
    {"shor to TEXT", typeSInt16, Of<SInt16>(-12), typeChar, noErr, Text("-12")},
    {"long to TEXT", typeSInt32, Of<SInt32>(4096), typeChar, noErr, Text("4096")},
    {"long min to TEXT", typeSInt32, Of<SInt32>(INT32_MIN), typeChar, noErr, Text("-2147483648")},
    {"comp to TEXT", typeSInt64, Of<SInt64>(5000000000LL), typeChar, noErr, Text("5000000000")},
    {"magn to TEXT", typeUInt32, Of<UInt32>(4000000000u), typeChar, noErr, Text("4000000000")},
    {"doub to TEXT", typeIEEE64BitFloatingPoint, Of<double>(1.5), typeChar, noErr, Text("1.5")},
    {"sing to TEXT", typeIEEE32BitFloatingPoint, Of<float>(0.1f), typeChar, noErr, Text("0.1")},
    {"long to utxt", typeSInt32, Of<SInt32>(7), typeUnicodeText, noErr, Utf16(u"7")},
    {"long of wrong size", typeSInt32, Bytes{1, 2}, typeChar, errAECoercionFail, {}},
    // numbers among themselves, exact only
    {"shor to long", typeSInt16, Of<SInt16>(-3), typeSInt32, noErr, Of<SInt32>(-3)},
    {"long to shor fits", typeSInt32, Of<SInt32>(32767), typeSInt16, noErr, Of<SInt16>(32767)},
    {"long to shor too big", typeSInt32, Of<SInt32>(32768), typeSInt16, errAECoercionFail, {}},
    {"long to magn negative", typeSInt32, Of<SInt32>(-1), typeUInt32, errAECoercionFail, {}},
    {"magn to long too big",
     typeUInt32,
     Of<UInt32>(3000000000u),
     typeSInt32,
     errAECoercionFail,
     {}},
    {"magn to comp", typeUInt32, Of<UInt32>(3000000000u), typeSInt64, noErr,
     Of<SInt64>(3000000000LL)},
    {"doub integral to long", typeIEEE64BitFloatingPoint, Of<double>(42.0), typeSInt32, noErr,
     Of<SInt32>(42)},
    {"doub fraction to long",
     typeIEEE64BitFloatingPoint,
     Of<double>(42.5),
     typeSInt32,
     errAECoercionFail,
     {}},
    {"long to doub", typeSInt32, Of<SInt32>(-9), typeIEEE64BitFloatingPoint, noErr,
     Of<double>(-9.0)},
    {"comp beyond 2^53 to doub",
     typeSInt64,
     Of<SInt64>((1LL << 53) + 1),
     typeIEEE64BitFloatingPoint,
     errAECoercionFail,
     {}},
    {"doub to sing exact", typeIEEE64BitFloatingPoint, Of<double>(0.5), typeIEEE32BitFloatingPoint,
     noErr, Of<float>(0.5f)},
    {"doub to sing inexact",
     typeIEEE64BitFloatingPoint,
     Of<double>(0.1),
     typeIEEE32BitFloatingPoint,
     errAECoercionFail,
     {}},
    {"sing to doub", typeIEEE32BitFloatingPoint, Of<float>(0.1f), typeIEEE64BitFloatingPoint, noErr,
     Of<double>(static_cast<double>(0.1f))},
    // text to numbers
    {"TEXT to long", typeChar, Text(" 123 "), typeSInt32, noErr, Of<SInt32>(123)},
    {"TEXT negative to shor", typeChar, Text("-5"), typeSInt16, noErr, Of<SInt16>(-5)},
    {"TEXT plus sign to long", typeChar, Text("+8"), typeSInt32, noErr, Of<SInt32>(8)},
    {"TEXT 3.0 to long", typeChar, Text("3.0"), typeSInt32, noErr, Of<SInt32>(3)},
    {"TEXT 2.5 to doub", typeChar, Text("2.5"), typeIEEE64BitFloatingPoint, noErr, Of<double>(2.5)},
    {"TEXT word to long", typeChar, Text("twelve"), typeSInt32, errAECoercionFail, {}},
    {"TEXT empty to long", typeChar, Text(""), typeSInt32, errAECoercionFail, {}},
    {"TEXT overflow to long", typeChar, Text("2147483648"), typeSInt32, errAECoercionFail, {}},
    {"TEXT trailing junk to long", typeChar, Text("12x"), typeSInt32, errAECoercionFail, {}},
    {"utxt to comp", typeUnicodeText, Utf16(u"-77"), typeSInt64, noErr, Of<SInt64>(-77)},
    // styled and international text
    {"STXT to TEXT", typeStyledText, Text("styled"), typeChar, noErr, Text("styled")},
    {"itxt to TEXT", typeIntlText, Cat(Bytes{0, 0, 0, 0}, Text("intl")), typeChar, noErr,
     Text("intl")},
    {"itxt too short", typeIntlText, Bytes{0, 0}, typeChar, errAECoercionFail, {}},
    // TEXT <-> utxt / utf8 / pstr
    {"TEXT e-acute to utxt", typeChar, Bytes{'c', 'a', 'f', 0x8E}, typeUnicodeText, noErr,
     Utf16(u"caf\u00E9")},
    {"TEXT florin to utxt", typeChar, Bytes{0xC4}, typeUnicodeText, noErr, Utf16(u"\u0192")},
    {"TEXT apple logo to utxt", typeChar, Bytes{0xF0}, typeUnicodeText, noErr, Utf16(u"\uF8FF")},
    {"utxt to TEXT", typeUnicodeText, Utf16(u"caf\u00E9"), typeChar, noErr,
     Bytes{'c', 'a', 'f', 0x8E}},
    {"utxt decomposed to TEXT", typeUnicodeText, Utf16(u"cafe\u0301"), typeChar, noErr,
     Bytes{'c', 'a', 'f', 0x8E}},
    {"utxt with BOM to TEXT", typeUnicodeText, Utf16(u"\uFEFFab"), typeChar, noErr, Text("ab")},
    {"utxt no Roman form", typeUnicodeText, Utf16(u"\u65E5"), typeChar, errAECoercionFail, {}},
    {"utxt odd length", typeUnicodeText, Bytes{'a', 0, 'b'}, typeChar, errAECoercionFail, {}},
    {"utxt lone surrogate to utf8",
     typeUnicodeText,
     Utf16(u"\xD800"),
     typeUTF8Text,
     errAECoercionFail,
     {}},
    {"TEXT to utf8", typeChar, Bytes{0x8E}, typeUTF8Text, noErr, Text("\xC3\xA9")},
    {"utf8 to TEXT", typeUTF8Text, Text("\xC3\xA9t\xC3\xA9"), typeChar, noErr,
     Bytes{0x8E, 't', 0x8E}},
    {"utf8 malformed", typeUTF8Text, Bytes{0xC3}, typeChar, errAECoercionFail, {}},
    {"utf8 to utxt", typeUTF8Text, Text("\xE6\x97\xA5"), typeUnicodeText, noErr, Utf16(u"\u65E5")},
    {"TEXT to pstr", typeChar, Text("abc"), typePString, noErr, Pascal("abc")},
    {"TEXT 255 to pstr", typeChar, Text(std::string(255, 'x')), typePString, noErr,
     Pascal(std::string(255, 'x'))},
    {"TEXT 256 to pstr", typeChar, Text(std::string(256, 'x')), typePString, errAECoercionFail, {}},
    {"pstr to TEXT", typePString, Pascal("hi"), typeChar, noErr, Text("hi")},
    {"pstr length beyond data", typePString, Bytes{5, 'a'}, typeChar, errAECoercionFail, {}},
    {"long to pstr", typeSInt32, Of<SInt32>(31), typePString, noErr, Pascal("31")},
    // truth values
    {"true to bool", typeTrue, {}, typeBoolean, noErr, Bytes{1}},
    {"fals to bool", typeFalse, {}, typeBoolean, noErr, Bytes{0}},
    {"long 1 to bool", typeSInt32, Of<SInt32>(1), typeBoolean, noErr, Bytes{1}},
    {"shor 0 to bool", typeSInt16, Of<SInt16>(0), typeBoolean, noErr, Bytes{0}},
    {"long 2 to bool", typeSInt32, Of<SInt32>(2), typeBoolean, errAECoercionFail, {}},
    {"enum yes to bool", typeEnumerated, Of<UInt32>(FourCC("yes ")), typeBoolean, noErr, Bytes{1}},
    {"enum no to bool", typeEnumerated, Of<UInt32>(FourCC("no  ")), typeBoolean, noErr, Bytes{0}},
    {"enum other to bool",
     typeEnumerated,
     Of<UInt32>(FourCC("ask ")),
     typeBoolean,
     errAECoercionFail,
     {}},
    {"TEXT true to bool", typeChar, Text("true"), typeBoolean, noErr, Bytes{1}},
    {"TEXT FALSE to bool", typeChar, Text("FALSE"), typeBoolean, noErr, Bytes{0}},
    {"TEXT maybe to bool", typeChar, Text("maybe"), typeBoolean, errAECoercionFail, {}},
    {"bool to TEXT", typeBoolean, Bytes{1}, typeChar, noErr, Text("true")},
    {"bool to long", typeBoolean, Bytes{0}, typeSInt32, noErr, Of<SInt32>(0)},
    // four-character codes
    {"enum to type", typeEnumerated, Of<UInt32>(FourCC("prop")), typeType, noErr,
     Of<UInt32>(FourCC("prop"))},
    {"type to enum", typeType, Of<UInt32>(FourCC("file")), typeEnumerated, noErr,
     Of<UInt32>(FourCC("file"))},
    {"keyw to enum", typeKeyword,
     Of<UInt32>(FourCC("\xC4"
                       "old")),
     typeEnumerated, noErr,
     Of<UInt32>(FourCC("\xC4"
                       "old"))},
    {"enum of 3 bytes", typeEnumerated, Bytes{1, 2, 3}, typeType, errAECoercionFail, {}},
    {"TEXT four chars to enum", typeChar, Text("path"), typeEnumerated, noErr,
     Of<UInt32>(FourCC("path"))},
    {"TEXT five chars to enum", typeChar, Text("paths"), typeEnumerated, errAECoercionFail, {}},
    {"enum to TEXT", typeEnumerated, Of<UInt32>(FourCC("alis")), typeChar, noErr, Text("alis")},
    // dates
    {"comp to ldt", typeSInt64, Of<SInt64>(3000000000LL), typeLongDateTime, noErr,
     Of<SInt64>(3000000000LL)},
    {"ldt to comp", typeLongDateTime, Of<SInt64>(-5), typeSInt64, noErr, Of<SInt64>(-5)},
    {"TEXT to ldt", typeChar, Text("yesterday"), typeLongDateTime, errAECoercionFail, {}},
    // no coercion, same type, unknown pairs
    {"wildcard keeps type", typeSInt16, Of<SInt16>(5), typeWildCard, noErr, Of<SInt16>(5)},
    {"same type keeps data", typeChar, Text("as is"), typeChar, noErr, Text("as is")},
    {"fss without file layer", typeFSS, Bytes(70, 0), typeFSRef, errAECoercionFail, {}},
    {"TEXT to alis", typeChar, Text("Disk:"), typeAlias, errAECoercionFail, {}},
};

class CoercionTable : public ::testing::TestWithParam<CoercionRow> {};

TEST_P(CoercionTable, Row) {
    const CoercionRow& row = GetParam();
    Desc out;
    OSErr err =
        AECoercePtr(row.from, row.data.data(), static_cast<Size>(row.data.size()), row.to, &out);
    ASSERT_EQ(err, row.err) << row.name;
    if (row.err != noErr) {
        EXPECT_EQ(out.d.dataHandle, nullptr) << row.name;
        return;
    }
    DescType expectedType = row.to == typeWildCard ? row.from : row.to;
    EXPECT_EQ(aetest::Code(out.d.descriptorType), aetest::Code(expectedType)) << row.name;
    EXPECT_EQ(aetest::Data(out.d), row.expected) << row.name;
}

INSTANTIATE_TEST_SUITE_P(AE, CoercionTable, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<CoercionRow>& info) {
                             std::string n = info.param.name;
                             for (char& c : n) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return n;
                         });

TEST(Coercion, NullDescriptorDoesNotCoerce) {
    AEDesc null{typeNull, nullptr};
    Desc out;
    EXPECT_EQ(AECoerceDesc(&null, typeChar, &out), errAECoercionFail);
    AEDesc textWithoutData{typeChar, nullptr};
    EXPECT_EQ(AECoerceDesc(&textWithoutData, typeUnicodeText, &out), errAECoercionFail);
}

TEST(Coercion, SingleValueBecomesOneItemList) {
    Desc text;
    ASSERT_EQ(AECreateDesc(typeChar, "Disk:", 5, &text), noErr);
    Desc list;
    ASSERT_EQ(AECoerceDesc(text.get(), typeAEList, &list), noErr);
    EXPECT_EQ(list.d.descriptorType, typeAEList);
    long count = 0;
    ASSERT_EQ(AECountItems(list.get(), &count), noErr);
    ASSERT_EQ(count, 1);
    char buffer[16] = {};
    DescType type = 0;
    Size size = 0;
    ASSERT_EQ(
        AEGetNthPtr(list.get(), 1, typeWildCard, nullptr, &type, buffer, sizeof buffer, &size),
        noErr);
    EXPECT_EQ(type, typeChar);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(size)), "Disk:");

    // A list stays the same list, not a list inside a list.
    Desc again;
    ASSERT_EQ(AECoerceDesc(list.get(), typeAEList, &again), noErr);
    ASSERT_EQ(AECountItems(again.get(), &count), noErr);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(aetest::Flat(again.d), aetest::Flat(list.d));
}

TEST(Coercion, StyledTextRecordToText) {
    Desc record;
    ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
    ASSERT_EQ(AEPutKeyPtr(&record, FourCC("ktxt"), typeChar, "Mac HD:Docs", 11), noErr);
    ASSERT_EQ(AEPutKeyPtr(&record, FourCC("ksty"), FourCC("scrp"), "\0\0", 2), noErr);
    Desc styled;
    ASSERT_EQ(AECoerceDesc(record.get(), typeStyledText, &styled), noErr);
    EXPECT_EQ(styled.d.descriptorType, typeStyledText);
    Desc text;
    ASSERT_EQ(AECoerceDesc(styled.get(), typeChar, &text), noErr);
    EXPECT_EQ(aetest::Data(text.d), aetest::Text("Mac HD:Docs"));
}

TEST(Coercion, RecordRetypesOnlyToTypesWithoutFixedMeaning) {
    Desc record;
    ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
    Desc spec;
    EXPECT_EQ(AECoerceDesc(record.get(), typeObjectSpecifier, &spec), noErr);
    EXPECT_EQ(spec.d.descriptorType, typeObjectSpecifier);
    Desc text;
    EXPECT_EQ(AECoerceDesc(record.get(), typeChar, &text), errAECoercionFail);
    Desc number;
    EXPECT_EQ(AECoerceDesc(record.get(), typeSInt32, &number), errAECoercionFail);
}

// What the file system layer does at start-up, with a stand-in conversion.
OSErr FakeFSSToFSRef(const AEDesc* from, DescType toType, AEDesc* out) {
    if (AEGetDescDataSize(from) != 70) return errAECoercionFail;
    unsigned char ref[80] = {};
    ref[0] = 0xAB;
    return AECreateDesc(toType, ref, sizeof ref, out);
}

TEST(Coercion, InstalledHandlerServesListItems) {
    ASSERT_EQ(AEInstallCoercionHandler(typeFSS, typeFSRef, FakeFSSToFSRef), noErr);
    Desc list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    unsigned char spec[70] = {};
    ASSERT_EQ(AEPutPtr(&list, 0, typeFSS, spec, sizeof spec), noErr);
    unsigned char ref[80] = {};
    DescType type = 0;
    Size size = 0;
    EXPECT_EQ(AEGetNthPtr(list.get(), 1, typeFSRef, nullptr, &type, ref, sizeof ref, &size), noErr);
    EXPECT_EQ(type, typeFSRef);
    EXPECT_EQ(size, 80);
    EXPECT_EQ(ref[0], 0xAB);
    // A failing handler's code comes back as is.
    ASSERT_EQ(AEPutPtr(&list, 0, typeFSS, spec, 10), noErr);
    EXPECT_EQ(AEGetNthPtr(list.get(), 2, typeFSRef, nullptr, &type, ref, sizeof ref, &size),
              errAECoercionFail);
    EXPECT_EQ(AERemoveCoercionHandler(typeFSS, typeFSRef), noErr);
    EXPECT_EQ(AEGetNthPtr(list.get(), 1, typeFSRef, nullptr, &type, ref, sizeof ref, &size),
              errAECoercionFail);
    EXPECT_EQ(AERemoveCoercionHandler(typeFSS, typeFSRef), errAEHandlerNotFound);
}

}  // namespace
