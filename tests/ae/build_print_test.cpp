// Build strings: what they make, that printing reads back to the same
// descriptor, and that malformed text is refused.

#include <gtest/gtest.h>

#include "ae/ae_test_support.h"

namespace {

using aetest::Desc;
using aetest::Flat;
using aetest::Of;
using aetest::Print;
using Bytes = std::vector<unsigned char>;

OSErr Build(const std::string& text, AEDesc* out) {
    return AEBuildDescWithArgs(out, text.data(), static_cast<Size>(text.size()), nullptr, 0);
}

struct ScalarRow {
    const char* name;
    const char* text;
    DescType type;
    Bytes data;
};

const ScalarRow kScalars[] = {
    {"integer", "42", typeSInt32, Of<SInt32>(42)},
    {"negative integer", "-42", typeSInt32, Of<SInt32>(-42)},
    {"integer beyond long", "5000000000", typeSInt64, Of<SInt64>(5000000000LL)},
    {"float", "2.5", typeIEEE64BitFloatingPoint, Of<double>(2.5)},
    {"float exponent", "-1e3", typeIEEE64BitFloatingPoint, Of<double>(-1000.0)},
    {"text", "\"Hello\"", typeChar, Bytes{'H', 'e', 'l', 'l', 'o'}},
    {"text Roman e-acute", "\"caf\xC3\xA9\"", typeChar, Bytes{'c', 'a', 'f', 0x8E}},
    {"text escapes", "\"a\\\"b\\\\c\"", typeChar, Bytes{'a', '"', 'b', '\\', 'c'}},
    {"text not Roman becomes utxt", "\"\xE6\x97\xA5\"", typeUnicodeText, aetest::Utf16(u"\u65E5")},
    {"text decomposed stays utxt", "\"e\xCC\x81\"", typeUnicodeText, aetest::Utf16(u"e\u0301")},
    {"empty text", "\"\"", typeChar, Bytes{}},
    {"bare enum", "prop", typeEnumerated, Of<UInt32>(FourCC("prop"))},
    {"bare enum padded", "no", typeEnumerated, Of<UInt32>(FourCC("no  "))},
    {"quoted enum", "'yes '", typeEnumerated, Of<UInt32>(FourCC("yes "))},
    {"type coercion of enum", "type(comt)", typeType, Of<UInt32>(FourCC("comt"))},
    {"long coercion", "long(3)", typeSInt32, Of<SInt32>(3)},
    {"shor coercion", "shor(-7)", typeSInt16, Of<SInt16>(-7)},
    {"utxt coercion", "utxt(\"\xC3\xA9\")", typeUnicodeText, aetest::Utf16(u"\u00E9")},
    {"hex typed",
     "alis(\xC2\xAB"
     "0001 02ff\xC2\xBB)",
     typeAlias, Bytes{0, 1, 2, 0xFF}},
    {"hex ASCII fallback", "fss (<<0A0b>>)", typeFSS, Bytes{0x0A, 0x0B}},
    {"hex Roman bytes",
     "'fsrf'(\xC7"
     "01\xC8)",
     typeFSRef, Bytes{0x01}},
    {"empty hex", "TEXT(\xC2\xAB\xC2\xBB)", typeChar, Bytes{}},
    {"grouping parentheses", "(12)", typeSInt32, Of<SInt32>(12)},
    {"florin bare", "\xC6\x92old", typeEnumerated, Of<UInt32>(FourCC("\xC4old"))},
    {"florin quoted",
     "'\xC6\x92"
     "dsk'",
     typeEnumerated,
     Of<UInt32>(FourCC("\xC4"
                       "dsk"))},
    {"florin as raw Roman byte", "'\xC4sub'", typeEnumerated, Of<UInt32>(FourCC("\xC4sub"))},
    {"quoted code escapes", "'a\\'\\x01\\\\'", typeEnumerated, Of<UInt32>(0x6127015C)},
    {"spaces around", "  \n 7\t ", typeSInt32, Of<SInt32>(7)},
};

class BuildScalar : public ::testing::TestWithParam<ScalarRow> {};

TEST_P(BuildScalar, MakesTypeAndData) {
    const ScalarRow& row = GetParam();
    Desc d;
    ASSERT_EQ(Build(row.text, &d), noErr) << row.name;
    EXPECT_EQ(aetest::Code(d.d.descriptorType), aetest::Code(row.type)) << row.name;
    EXPECT_EQ(aetest::Data(d.d), row.data) << row.name;
}

std::string RowName(const char* name) {
    std::string n = name;
    for (char& c : n) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return n;
}

INSTANTIATE_TEST_SUITE_P(AE, BuildScalar, ::testing::ValuesIn(kScalars),
                         [](const auto& info) { return RowName(info.param.name); });

struct TextRow {
    const char* name;
    const char* text;
};

// Each of these parses; printing the result and parsing again gives the
// same descriptor (compared through the flattening).
const TextRow kRoundTrips[] = {
    {"long", "42"},
    {"negative", "-2147483648"},
    {"comp", "comp(-5)"},
    {"comp big", "9223372036854775807"},
    {"magn", "magn(4000000000)"},
    {"doub", "doub(0.1)"},
    {"doub negative zero",
     "doub(\xC2\xAB"
     "0000000000000080\xC2\xBB)"},
    {"doub nan",
     "doub(\xC2\xAB"
     "000000000000F87F\xC2\xBB)"},
    {"sing", "sing(0.5)"},
    {"sing without short decimal",
     "sing(\xC2\xAB"
     "CDCCCC3D\xC2\xBB)"},
    {"bool", "bool(1)"},
    {"bool odd byte",
     "bool(\xC2\xAB"
     "07\xC2\xBB)"},
    {"text", "\"Hello, world\""},
    {"text with quote and backslash", "\"say \\\"hi\\\" \\\\ bye\""},
    {"text control chars", "\"tab\there\nnewline\""},
    {"text with NUL",
     "TEXT(\xC2\xAB"
     "610062\xC2\xBB)"},
    {"text all Roman high bytes", "\"\xC3\x84\xE2\x80\xA0\xEF\xA3\xBF\xC6\x92\""},
    {"utxt", "utxt(\"\xE6\x97\xA5\xE6\x9C\xAC\")"},
    {"utxt decomposed", "utxt(\"e\xCC\x81\")"},
    {"utxt astral", "utxt(\"\xF0\x9F\x98\x80\")"},
    {"utxt with BOM",
     "utxt(\xC2\xAB"
     "FFFE6100\xC2\xBB)"},
    {"utxt lone surrogate",
     "utxt(\xC2\xAB"
     "00D8\xC2\xBB)"},
    {"utf8", "utf8(\"\xC3\xA9t\xC3\xA9\")"},
    {"enum", "prop"},
    {"enum needing quotes", "'a b '"},
    {"enum with control byte", "'\\x00\\x01ab'"},
    {"enum with quote", "'it\\'s'"},
    {"type", "type(comt)"},
    {"type florin", "type(\xC6\x92old)"},
    {"hex",
     "alis(\xC2\xAB"
     "00010203\xC2\xBB)"},
    {"null", "'null'()"},
    {"typed without data", "TEXT()"},
    {"list without data", "list()"},
    {"empty list", "[]"},
    {"list", "[1, \"two\", thre, [4]]"},
    {"empty record", "{}"},
    {"record", "{name:\"x\", \xC6\x92old:[1, 2], 'b c ':{}}"},
    {"typed record", "obj {form:prop, want:type(prop), seld:type(comt), from:'null'()}"},
    {"styled record",
     "STXT{ktxt:\"styled\", ksty:scrp(\xC2\xAB"
     "0000\xC2\xBB)}"},
    {"event", "core\\getd{'----':obj {form:prop}, &addr:sign(MACS), &rtid:shor(5), &tran:0}"},
    {"event empty", "aevt\\oapp{}"},
    {"event nested", "[core\\getd{a:1}, {e:SkWr\\find{}}]"},
    {"ldt",
     "'ldt '(\xC2\xAB"
     "0000000000000000\xC2\xBB)"},
};

class RoundTrip : public ::testing::TestWithParam<TextRow> {};

TEST_P(RoundTrip, PrintThenParseGivesSameDescriptor) {
    const TextRow& row = GetParam();
    Desc first;
    ASSERT_EQ(Build(row.text, &first), noErr) << row.name;
    std::string printed = Print(first.d);
    Desc second;
    ASSERT_EQ(Build(printed, &second), noErr) << row.name << ": " << printed;
    EXPECT_EQ(Flat(first.d), Flat(second.d)) << row.name << ": " << printed;
    // And printing is stable.
    EXPECT_EQ(Print(second.d), printed) << row.name;
}

INSTANTIATE_TEST_SUITE_P(AE, RoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return RowName(info.param.name); });

struct PrintRow {
    const char* name;
    const char* text;
    const char* printed;
};

const PrintRow kPrinted[] = {
    {"integer bare", "long(5)", "5"},
    {"shor wrapped", "shor(5)", "shor(5)"},
    {"text quoted", "\"a\\\"b\"", "\"a\\\"b\""},
    {"florin codes in UTF-8",
     "{\xC6\x92old:[\xC6\x92"
     "dsk]}",
     "{\xC6\x92old:[\xC6\x92"
     "dsk]}"},
    {"padded codes bare", "{ldt:'no  '}", "{ldt:no}"},
    {"direct object quoted", "{'----':1}", "{'----':1}"},
    {"typed record", "obj {want:type(file)}", "obj{want:type(file)}"},
    {"hex upper case",
     "alis(\xC2\xAB"
     "0a\xC2\xBB)",
     "alis(\xC2\xAB"
     "0A\xC2\xBB)"},
    {"null", "'null'()", "null()"},
    {"negative zero falls back to hex",
     "doub(\xC2\xAB"
     "0000000000000080\xC2\xBB)",
     "doub(\xC2\xAB"
     "0000000000000080\xC2\xBB)"},
    {"event", "core\\getd{'----':1, &rtid:shor(2)}", "core\\getd{'----':1, &rtid:shor(2)}"},
};

class Printed : public ::testing::TestWithParam<PrintRow> {};

TEST_P(Printed, Text) {
    const PrintRow& row = GetParam();
    Desc d;
    ASSERT_EQ(Build(row.text, &d), noErr) << row.name;
    EXPECT_EQ(Print(d.d), row.printed) << row.name;
}

INSTANTIATE_TEST_SUITE_P(AE, Printed, ::testing::ValuesIn(kPrinted),
                         [](const auto& info) { return RowName(info.param.name); });

struct ErrorRow {
    const char* name;
    const char* text;
    OSErr err;
};

const ErrorRow kErrors[] = {
    {"empty", "", errAEBuildSyntaxError},
    {"only spaces", "   ", errAEBuildSyntaxError},
    {"unterminated text", "\"abc", errAEBuildSyntaxError},
    {"bad escape", "\"a\\nb\"", errAEBuildSyntaxError},
    {"unterminated list", "[1, 2", errAEBuildSyntaxError},
    {"list trailing comma", "[1,]", errAEBuildSyntaxError},
    {"list missing comma", "[1 2]", errAEBuildSyntaxError},
    {"unterminated record", "{a:1", errAEBuildSyntaxError},
    {"record without colon", "{a 1}", errAEBuildSyntaxError},
    {"record value missing", "{a:}", errAEBuildSyntaxError},
    {"record key not a code", "{1:2}", errAEBuildSyntaxError},
    {"code too long", "abcde", errAEBuildSyntaxError},
    {"quoted code too long", "'abcde'", errAEBuildSyntaxError},
    {"unterminated code", "'abc", errAEBuildSyntaxError},
    {"code char not Roman", "'\xE6\x97\xA5'", errAEBuildSyntaxError},
    {"untyped hex",
     "\xC2\xAB"
     "00\xC2\xBB",
     errAEBuildSyntaxError},
    {"odd hex",
     "TEXT(\xC2\xAB"
     "0\xC2\xBB)",
     errAEBuildSyntaxError},
    {"bad hex digit",
     "TEXT(\xC2\xAB"
     "zz\xC2\xBB)",
     errAEBuildSyntaxError},
    {"unterminated hex",
     "TEXT(\xC2\xAB"
     "00",
     errAEBuildSyntaxError},
    {"unclosed coercion", "long(3", errAEBuildSyntaxError},
    {"trailing garbage", "1 2", errAEBuildSyntaxError},
    {"minus alone", "-", errAEBuildSyntaxError},
    {"float without digits", "1.", errAEBuildSyntaxError},
    {"integer overflow", "99999999999999999999", errAEBuildSyntaxError},
    {"at without argument", "@", errAEBuildSyntaxError},
    {"typed list", "list{a:1}", errAEBuildSyntaxError},
    {"event without braces", "core\\getd", errAEBuildSyntaxError},
    {"event class attribute not a code", "core\\getd{&evcl:[1]}", errAECoercionFail},
    {"failed coercion", "long(\"abc\")", errAECoercionFail},
    {"inexact single", "sing(0.1)", errAECoercionFail},
    {"list coerced to text", "TEXT([1])", errAECoercionFail},
    {"flattened list that is not",
     "list(\xC2\xAB"
     "00\xC2\xBB)",
     errAECorruptData},
};

class BuildError : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(BuildError, Refused) {
    const ErrorRow& row = GetParam();
    AEDesc d{typeChar, nullptr};
    EXPECT_EQ(Build(row.text, &d), row.err) << row.name;
    EXPECT_EQ(d.descriptorType, typeNull) << row.name;
    EXPECT_EQ(d.dataHandle, nullptr) << row.name;
}

INSTANTIATE_TEST_SUITE_P(AE, BuildError, ::testing::ValuesIn(kErrors),
                         [](const auto& info) { return RowName(info.param.name); });

TEST(Build, DeepNestingIsRefusedNotOverflowed) {
    std::string deep(100000, '[');
    Desc d;
    EXPECT_EQ(Build(deep, &d), errAEBuildSyntaxError);
    std::string ok = std::string(100, '[') + std::string(100, ']');
    EXPECT_EQ(Build(ok, &d), noErr);
}

TEST(Build, TruncatedAtEveryLengthNeverSucceedsWrongly) {
    const std::string full =
        "core\\getd{'----':obj {form:prop, want:type(prop), seld:type(comt), "
        "from:utxt(\"Mac HD:\xC3\xA9t\xC3\xA9:\")}, \xC6\x92old:[alis(\xC2\xAB"
        "0102\xC2\xBB)]}";
    Desc whole;
    ASSERT_EQ(Build(full, &whole), noErr);
    for (std::size_t n = 0; n < full.size(); ++n) {
        Desc part;
        OSErr err = Build(full.substr(0, n), &part);
        // Some prefixes are complete values themselves ("core" is an enum).
        if (err == noErr) {
            EXPECT_NE(Flat(part.d), Flat(whole.d)) << "prefix " << n;
        } else {
            EXPECT_EQ(part.d.dataHandle, nullptr) << "prefix " << n;
        }
    }
}

TEST(Build, AtTakesDescriptorsInOrder) {
    Desc a;
    Desc b;
    ASSERT_EQ(AECreateDesc(typeChar, "A", 1, &a), noErr);
    ASSERT_EQ(AECreateDesc(typeSInt16, "\1\0", 2, &b), noErr);
    Desc list;
    ASSERT_EQ(AEBuildDesc(&list, "[@, (@), long(@)]", a.get(), a.get(), b.get()), noErr);
    EXPECT_EQ(Print(list.d), "[\"A\", \"A\", 1]");
    const AEDesc* args[] = {a.get()};
    Desc d;
    EXPECT_EQ(AEBuildDescWithArgs(&d, "[@, @]", 6, args, 1), errAEBuildSyntaxError);
    EXPECT_EQ(AEBuildDescWithArgs(&d, "[@]", 3, args, 1), noErr);
}

TEST(Build, FinderCommentRequest) {
    // The Finder comment request: one embedded specifier, sent to 'MACS'.
    Desc name;
    const std::u16string path = u"Mac HD:Users:me:notes.txt";
    ASSERT_EQ(AECreateDesc(typeUnicodeText, path.data(),
                           static_cast<Size>(path.size() * sizeof(char16_t)), &name),
              noErr);
    AEDesc nullContainer{typeNull, nullptr};
    Desc spec;
    ASSERT_EQ(CreateObjSpecifier(FourCC("file"), &nullContainer, formName, &name, false, &spec),
              noErr);
    OSType finder = FourCC("MACS");
    Desc event;
    ASSERT_EQ(AEBuildAppleEvent(kAECoreSuite, kAEGetData, typeApplSignature, &finder, 4,
                                kAutoGenerateReturnID, kAnyTransactionID, &event,
                                "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)}",
                                spec.get()),
              noErr);
    OSType code = 0;
    DescType type = 0;
    Size size = 0;
    ASSERT_EQ(AEGetAttributePtr(event.get(), keyEventClassAttr, typeType, &type, &code, 4, &size),
              noErr);
    EXPECT_EQ(code, kAECoreSuite);
    ASSERT_EQ(AEGetAttributePtr(event.get(), keyAddressAttr, typeWildCard, &type, &code, 4, &size),
              noErr);
    EXPECT_EQ(type, typeApplSignature);
    EXPECT_EQ(code, finder);
    SInt16 returnID = 0;
    ASSERT_EQ(
        AEGetAttributePtr(event.get(), keyReturnIDAttr, typeSInt16, &type, &returnID, 2, &size),
        noErr);
    EXPECT_GT(returnID, 0);

    Desc direct;
    ASSERT_EQ(AEGetParamDesc(event.get(), keyDirectObject, typeWildCard, &direct), noErr);
    EXPECT_EQ(direct.d.descriptorType, typeObjectSpecifier);
    ASSERT_EQ(AEGetKeyPtr(direct.get(), keyAEKeyData, typeType, &type, &code, 4, &size), noErr);
    EXPECT_EQ(code, FourCC("comt"));
    ASSERT_EQ(AEGetKeyPtr(direct.get(), keyAEKeyForm, typeWildCard, &type, &code, 4, &size), noErr);
    EXPECT_EQ(type, typeEnumerated);
    EXPECT_EQ(code, formPropertyID);
    Desc from;
    ASSERT_EQ(AEGetKeyDesc(direct.get(), keyAEContainer, typeWildCard, &from), noErr);
    EXPECT_EQ(Flat(from.d), Flat(spec.d));
    Desc nameBack;
    ASSERT_EQ(AEGetKeyDesc(from.get(), keyAEKeyData, typeChar, &nameBack), noErr);
    EXPECT_EQ(aetest::Data(nameBack.d), aetest::Text("Mac HD:Users:me:notes.txt"));

    // The whole event prints and reads back, attributes included.
    Desc back;
    ASSERT_EQ(Build(Print(event.d), &back), noErr) << Print(event.d);
    EXPECT_EQ(Flat(back.d), Flat(event.d));
}

TEST(Build, AppleEventFormatErrorsLeaveNoEvent) {
    OSType finder = FourCC("MACS");
    AppleEvent event{typeChar, nullptr};
    EXPECT_EQ(AEBuildAppleEvent(kAECoreSuite, kAEGetData, typeApplSignature, &finder, 4,
                                kAutoGenerateReturnID, kAnyTransactionID, &event, "'----':"),
              errAEBuildSyntaxError);
    EXPECT_EQ(event.dataHandle, nullptr);
    EXPECT_EQ(AEBuildAppleEvent(kAECoreSuite, kAEGetData, typeApplSignature, &finder, 4,
                                kAutoGenerateReturnID, kAnyTransactionID, &event, ""),
              noErr);
    AEDisposeDesc(&event);
}

}  // namespace
