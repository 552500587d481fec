// Descriptors, lists, records, events and in-process dispatch as the
// find command's code uses them.

#include <gtest/gtest.h>

#include <cstring>

#include "ae/ae_test_support.h"

namespace {

using aetest::Desc;
using aetest::Flat;

// Replaces every item in place, taking the list by value as the search
// location conversion does.
OSErr ReplaceAllByValue(AEDescList list) {
    long count = 0;
    OSErr err = AECountItems(&list, &count);
    for (long i = 1; err == noErr && i <= count; ++i) {
        unsigned char spec[70] = {};
        spec[0] = static_cast<unsigned char>(i);
        err = AEPutPtr(&list, i, typeFSS, spec, sizeof spec);
    }
    return err;
}

TEST(Descriptors, ValueCopySharesListChanges) {
    AEDescList list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    ASSERT_EQ(AEPutPtr(&list, 0, typeChar, "Disk:a", 6), noErr);
    ASSERT_EQ(AEPutPtr(&list, 0, typeAlias, "\1\2", 2), noErr);
    ASSERT_EQ(ReplaceAllByValue(list), noErr);
    long count = 0;
    ASSERT_EQ(AECountItems(&list, &count), noErr);
    ASSERT_EQ(count, 2) << "replacing must not insert";
    for (long i = 1; i <= count; ++i) {
        DescType type = 0;
        Size size = 0;
        unsigned char spec[70] = {};
        ASSERT_EQ(AEGetNthPtr(&list, i, typeWildCard, nullptr, &type, spec, sizeof spec, &size),
                  noErr);
        EXPECT_EQ(type, typeFSS) << "item " << i;
        EXPECT_EQ(size, 70) << "item " << i;
        EXPECT_EQ(spec[0], i) << "item " << i;
    }
    EXPECT_EQ(AEDisposeDesc(&list), noErr);
    EXPECT_EQ(list.descriptorType, typeNull);
    EXPECT_EQ(list.dataHandle, nullptr);
}

TEST(Descriptors, DuplicateIsAnotherReferenceToTheSameData) {
    Desc list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    Desc dup;
    ASSERT_EQ(AEDuplicateDesc(list.get(), &dup), noErr);
    ASSERT_EQ(AEPutPtr(&dup, 0, typeSInt32, "\1\0\0\0", 4), noErr);
    long count = 0;
    ASSERT_EQ(AECountItems(list.get(), &count), noErr);
    EXPECT_EQ(count, 1);
    // Disposing of one reference leaves the other usable.
    ASSERT_EQ(AEDisposeDesc(&dup), noErr);
    ASSERT_EQ(AECountItems(list.get(), &count), noErr);
    EXPECT_EQ(count, 1);
}

TEST(Descriptors, ListPutIntoItselfHoldsItsFormerState) {
    Desc list;
    ASSERT_EQ(AEBuildDesc(&list, "[1]"), noErr);
    ASSERT_EQ(AEPutDesc(&list, 0, list.get()), noErr);
    ASSERT_EQ(AEPutDesc(&list, 0, list.get()), noErr);
    EXPECT_EQ(aetest::Print(list.d), "[1, [1], [1, [1]]]");
}

TEST(Descriptors, GettersHandOutCopies) {
    Desc outer;
    ASSERT_EQ(AEBuildDesc(&outer, "[[1]]"), noErr);
    Desc inner;
    ASSERT_EQ(AEGetNthDesc(outer.get(), 1, typeWildCard, nullptr, &inner), noErr);
    ASSERT_EQ(AEPutPtr(&inner, 0, typeSInt32, "\2\0\0\0", 4), noErr);
    EXPECT_EQ(aetest::Print(outer.d), "[[1]]");
    // And putters store copies.
    Desc list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    ASSERT_EQ(AEPutDesc(&list, 0, inner.get()), noErr);
    ASSERT_EQ(AEPutPtr(&inner, 0, typeSInt32, "\3\0\0\0", 4), noErr);
    EXPECT_EQ(aetest::Print(list.d), "[[1, 2]]");
}

struct IndexRow {
    const char* name;
    long index;
    OSErr put;  // AEPutPtr at that index
    OSErr get;  // AEGetNthPtr at that index
};

const IndexRow kIndices[] = {
    {"append", 0, noErr, errAEIllegalIndex},
    {"first", 1, noErr, noErr},
    {"last", 2, noErr, noErr},
    {"one past the end", 3, errAEIllegalIndex, errAEIllegalIndex},
    {"negative", -1, errAEIllegalIndex, errAEIllegalIndex},
};

TEST(Descriptors, ListIndices) {
    for (const IndexRow& row : kIndices) {
        Desc list;
        ASSERT_EQ(AEBuildDesc(&list, "[1, 2]"), noErr);
        EXPECT_EQ(AEPutPtr(&list, row.index, typeSInt32, "\7\0\0\0", 4), row.put) << row.name;
        SInt32 v = 0;
        EXPECT_EQ(AEGetNthPtr(list.get(), row.index, typeSInt32, nullptr, nullptr, &v, 4, nullptr),
                  row.get)
            << row.name;
    }
}

TEST(Descriptors, TypeOnlyProbeWithoutBuffer) {
    Desc list;
    ASSERT_EQ(AEBuildDesc(&list,
                          "[alis(\xC2\xAB"
                          "010203\xC2\xBB)]"),
              noErr);
    AEKeyword key = 0;
    DescType type = 0;
    Size size = -1;
    ASSERT_EQ(AEGetNthPtr(list.get(), 1, typeWildCard, &key, &type, nullptr, 0, &size), noErr);
    EXPECT_EQ(key, typeWildCard);
    EXPECT_EQ(type, typeAlias);
    EXPECT_EQ(size, 3);
}

TEST(Descriptors, NthPtrCutsAtTheBufferAndReportsTheFullSize) {
    Desc list;
    ASSERT_EQ(AEBuildDesc(&list, "[\"ABCDEFGH\"]"), noErr);
    char buffer[4] = {};
    Size size = 0;
    ASSERT_EQ(AEGetNthPtr(list.get(), 1, typeChar, nullptr, nullptr, buffer, 3, &size), noErr);
    EXPECT_EQ(size, 8);
    EXPECT_EQ(std::string(buffer, 3), "ABC");
    EXPECT_EQ(buffer[3], 0);
}

TEST(Descriptors, WrongKindsOfDescriptor) {
    Desc text;
    ASSERT_EQ(AECreateDesc(typeChar, "x", 1, &text), noErr);
    long count = 5;
    EXPECT_EQ(AECountItems(text.get(), &count), errAEWrongDataType);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(AEPutPtr(&text, 0, typeChar, "y", 1), errAEWrongDataType);
    AEDescList noData{typeAEList, nullptr};
    EXPECT_EQ(AECountItems(&noData, &count), errAENotAEDesc);
    Desc record;
    ASSERT_EQ(AECreateList(nullptr, 0, true, &record), noErr);
    EXPECT_EQ(AEPutPtr(&record, 0, typeChar, "y", 1), errAEWrongDataType);
    Desc out;
    EXPECT_EQ(AEGetAttributeDesc(record.get(), keyEventClassAttr, typeType, &out),
              errAENotAppleEvent);
    EXPECT_EQ(AECreateList("f", 1, false, &out), paramErr);
}

// TextDescToPString as the parameter getters use it: the type, then the
// data handle, then at most 255 bytes.
OSErr TextDescToPString(const AEDesc* desc, unsigned char* text) {
    text[0] = 0;
    if (desc->descriptorType != typeChar) return errAEWrongDataType;
    if (desc->dataHandle == nullptr) return errAENotAEDesc;
    Size n = std::min<Size>(AEGetDescDataSize(desc), 255);
    if (n > 0) {
        OSErr err = AEGetDescData(desc, text + 1, n);
        if (err != noErr) return err;
        text[0] = static_cast<unsigned char>(n);
    }
    return noErr;
}

TEST(Descriptors, TextDescToPStringShapedUse) {
    unsigned char text[256];
    AEDesc noData{typeChar, nullptr};
    EXPECT_EQ(TextDescToPString(&noData, text), errAENotAEDesc);
    EXPECT_EQ(AEGetDescData(&noData, text, 10), errAENotAEDesc);
    EXPECT_EQ(AEGetDescDataSize(&noData), 0);
    Desc number;
    ASSERT_EQ(AEBuildDesc(&number, "12"), noErr);
    EXPECT_EQ(TextDescToPString(number.get(), text), errAEWrongDataType);
    Desc longText;
    std::string s(300, 'a');
    s[254] = 'z';
    ASSERT_EQ(AECreateDesc(typeChar, s.data(), 300, &longText), noErr);
    ASSERT_EQ(TextDescToPString(longText.get(), text), noErr);
    EXPECT_EQ(text[0], 255);
    EXPECT_EQ(text[255], 'z');
}

TEST(Descriptors, TextListToPStringShapedUse) {
    // Items read as '****': only the text ones are taken.
    Desc list;
    ASSERT_EQ(AEBuildDesc(&list, "[\"ABCD\", 12, \"EFGH\"]"), noErr);
    std::string joined;
    long count = 0;
    ASSERT_EQ(AECountItems(list.get(), &count), noErr);
    for (long i = 1; i <= count; ++i) {
        char buffer[256];
        DescType type = 0;
        Size size = 0;
        ASSERT_EQ(
            AEGetNthPtr(list.get(), i, typeWildCard, nullptr, &type, buffer, sizeof buffer, &size),
            noErr);
        if (type == typeChar) joined.append(buffer, static_cast<std::size_t>(size));
    }
    EXPECT_EQ(joined, "ABCDEFGH");
}

TEST(Events, ParametersByKeywordWithCoercion) {
    Desc event;
    ASSERT_EQ(AEBuildDesc(&event,
                          "SkWr\\find{\xC6\x92sz1:1024, nm01:\"x\", \xC6\x92sub:true, Rslt:path, "
                          "\xC6\x92"
                          "dc1:'ldt '(comp(3000000000)), Kind:'TEXT'(\"apps\")}"),
              noErr);
    Desc d;
    EXPECT_EQ(AEGetParamDesc(event.get(), FourCC("\xC4sz1"), typeChar, d.Out()), noErr);
    EXPECT_EQ(aetest::Data(d.d), aetest::Text("1024"));
    EXPECT_EQ(AEGetParamDesc(event.get(), FourCC("nm01"), typeAEList, d.Out()), noErr);
    long count = 0;
    EXPECT_EQ(AECountItems(d.get(), &count), noErr);
    EXPECT_EQ(count, 1);
    Boolean flag = 0;
    EXPECT_EQ(
        AEGetParamPtr(event.get(), FourCC("\xC4sub"), typeBoolean, nullptr, &flag, 1, nullptr),
        noErr);
    EXPECT_EQ(flag, 1);
    OSType kind = 0;
    EXPECT_EQ(
        AEGetParamPtr(event.get(), FourCC("Kind"), typeEnumerated, nullptr, &kind, 4, nullptr),
        noErr);
    EXPECT_EQ(kind, FourCC("apps"));
    EXPECT_EQ(AEGetParamDesc(event.get(),
                             FourCC("\xC4"
                                    "dc1"),
                             typeLongDateTime, d.Out()),
              noErr);
    EXPECT_EQ(AEGetDescDataSize(d.get()), 8);
    // Absent: -1701 and a null output.
    AEDesc absent{typeChar, nullptr};
    EXPECT_EQ(AEGetParamDesc(event.get(), FourCC("\xC4old"), typeAEList, &absent),
              errAEDescNotFound);
    EXPECT_EQ(absent.descriptorType, typeNull);
    // Present but not coercible: -1700.
    EXPECT_EQ(AEGetParamDesc(event.get(), FourCC("nm01"), typeLongDateTime, d.Out()),
              errAECoercionFail);
    Size size = 0;
    DescType type = 0;
    EXPECT_EQ(AESizeOfParam(event.get(), FourCC("nm01"), &type, &size), noErr);
    EXPECT_EQ(type, typeChar);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(AEDeleteParam(&event, FourCC("nm01")), noErr);
    EXPECT_EQ(AEDeleteParam(&event, FourCC("nm01")), errAEDescNotFound);
}

TEST(Events, ClassAndIdStayCodes) {
    Desc event;
    ASSERT_EQ(AECreateAppleEvent(kCoreEventClass, kAEOpenApplication, nullptr, 1, 0, &event),
              noErr);
    EXPECT_EQ(AEPutAttributePtr(&event, keyEventIDAttr, typeChar, "quit", 4), noErr);
    OSType id = 0;
    EXPECT_EQ(AEGetAttributePtr(event.get(), keyEventIDAttr, typeType, nullptr, &id, 4, nullptr),
              noErr);
    EXPECT_EQ(id, kAEQuitApplication);
    EXPECT_EQ(AEPutAttributePtr(&event, keyEventIDAttr, typeChar, "long id", 7), errAECoercionFail);
}

TEST(Events, ObjectSpecifierDisposesInputsOnlyWhenAsked) {
    Desc name;
    ASSERT_EQ(AECreateDesc(typeUnicodeText, u"a:", 4, &name), noErr);
    Desc spec;
    ASSERT_EQ(CreateObjSpecifier(FourCC("cfol"), nullptr, formName, &name, false, &spec), noErr);
    EXPECT_NE(name.d.dataHandle, nullptr);
    EXPECT_EQ(aetest::Print(spec.d),
              "obj{want:type(cfol), from:null(), form:name, seld:utxt(\"a:\")}");
    Desc spec2;
    ASSERT_EQ(CreateObjSpecifier(FourCC("file"), nullptr, formName, &name, true, &spec2), noErr);
    EXPECT_EQ(name.d.dataHandle, nullptr);
}

// --- Dispatch ------------------------------------------------------------------

struct Seen {
    int calls = 0;
    bool replyHadData = false;
    long refcon = 0;
};
Seen seen;

OSErr FailingHandler(const AppleEvent*, AppleEvent* reply, long refcon) {
    ++seen.calls;
    seen.replyHadData = reply->dataHandle != nullptr;
    seen.refcon = refcon;
    return -1700;
}

OSErr ListHandler(const AppleEvent* event, AppleEvent* reply, long) {
    ++seen.calls;
    seen.replyHadData = reply->dataHandle != nullptr;
    if (reply->dataHandle == nullptr) return noErr;
    Desc names;
    OSErr err = AEGetParamDesc(event, FourCC("nm01"), typeAEList, &names);
    if (err == errAEDescNotFound) return noErr;
    if (err != noErr) return err;
    return AEPutParamDesc(reply, keyDirectObject, names.get());
}

OSErr OwnErrnHandler(const AppleEvent*, AppleEvent* reply, long) {
    SInt16 number = -43;
    AEPutParamPtr(reply, keyErrorNumber, typeSInt16, &number, sizeof number);
    return -50;
}

class Dispatch : public ::testing::Test {
  protected:
    void SetUp() override { seen = Seen{}; }
    void TearDown() override {
        AERemoveEventHandler(FourCC("SkWr"), FourCC("find"), nullptr, false);
        AERemoveEventHandler(FourCC("SkWr"), FourCC("fail"), nullptr, false);
        AERemoveEventHandler(FourCC("SkWr"), FourCC("errn"), nullptr, false);
        AERegisterTarget(FourCC("SkWr"), nullptr);
    }
};

TEST_F(Dispatch, HandlerResultBecomesReplyErrn) {
    ASSERT_EQ(AEInstallEventHandler(FourCC("SkWr"), FourCC("fail"), FailingHandler, 33, false),
              noErr);
    Desc event;
    ASSERT_EQ(AEBuildDesc(&event, "SkWr\\fail{}"), noErr);
    Desc reply;
    EXPECT_EQ(AEProcessAppleEvent(event.get(), &reply), -1700);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_TRUE(seen.replyHadData);
    EXPECT_EQ(seen.refcon, 33);
    SInt16 number = 0;
    EXPECT_EQ(AEGetParamPtr(reply.get(), keyErrorNumber, typeSInt16, nullptr, &number, 2, nullptr),
              noErr);
    EXPECT_EQ(number, -1700);
    SInt32 wide = 0;
    DescType type = 0;
    EXPECT_EQ(AEGetParamPtr(reply.get(), keyErrorNumber, typeWildCard, &type, &wide, 4, nullptr),
              noErr);
    EXPECT_EQ(type, typeSInt32);
}

TEST_F(Dispatch, HandlersOwnErrnIsKept) {
    ASSERT_EQ(AEInstallEventHandler(FourCC("SkWr"), FourCC("errn"), OwnErrnHandler, 0, false),
              noErr);
    Desc event;
    ASSERT_EQ(AEBuildDesc(&event, "SkWr\\errn{}"), noErr);
    Desc reply;
    EXPECT_EQ(AEProcessAppleEvent(event.get(), &reply), -50);
    SInt16 number = 0;
    EXPECT_EQ(AEGetParamPtr(reply.get(), keyErrorNumber, typeSInt16, nullptr, &number, 2, nullptr),
              noErr);
    EXPECT_EQ(number, -43);
}

TEST_F(Dispatch, NoHandler) {
    Desc event;
    ASSERT_EQ(AEBuildDesc(&event, "SkWr\\none{}"), noErr);
    Desc reply;
    EXPECT_EQ(AEProcessAppleEvent(event.get(), &reply), errAEEventNotHandled);
    SInt32 number = 0;
    EXPECT_EQ(AEGetParamPtr(reply.get(), keyErrorNumber, typeSInt32, nullptr, &number, 4, nullptr),
              noErr);
    EXPECT_EQ(number, errAEEventNotHandled);
    Desc notEvent;
    ASSERT_EQ(AEBuildDesc(&notEvent, "{}"), noErr);
    EXPECT_EQ(AEProcessAppleEvent(notEvent.get(), reply.Out()), errAENotAppleEvent);
}

TEST_F(Dispatch, ReplyCarriesTheEventsReturnID) {
    ASSERT_EQ(AEInstallEventHandler(FourCC("SkWr"), FourCC("find"), ListHandler, 0, false), noErr);
    Desc event;
    ASSERT_EQ(AECreateAppleEvent(FourCC("SkWr"), FourCC("find"), nullptr, 321, 4, &event), noErr);
    Desc reply;
    ASSERT_EQ(AEProcessAppleEvent(event.get(), &reply), noErr);
    SInt16 returnID = 0;
    EXPECT_EQ(
        AEGetAttributePtr(reply.get(), keyReturnIDAttr, typeSInt16, nullptr, &returnID, 2, nullptr),
        noErr);
    EXPECT_EQ(returnID, 321);
    Size size = 0;
    DescType type = 0;
    EXPECT_EQ(AESizeOfParam(reply.get(), keyErrorNumber, &type, &size), errAEDescNotFound);
}

TEST_F(Dispatch, SendToOwnSignatureWaitsForTheReply) {
    ASSERT_EQ(AEInstallEventHandler(FourCC("SkWr"), FourCC("find"), ListHandler, 0, false), noErr);
    ASSERT_EQ(AERegisterTarget(FourCC("SkWr"), AEDispatchToInstalledHandlers), noErr);
    OSType self = FourCC("SkWr");
    Desc event;
    ASSERT_EQ(AEBuildAppleEvent(FourCC("SkWr"), FourCC("find"), typeApplSignature, &self, 4,
                                kAutoGenerateReturnID, kAnyTransactionID, &event, "nm01:\"a\""),
              noErr);
    Desc reply;
    ASSERT_EQ(AESend(event.get(), &reply, kAEWaitReply, 0, kNoTimeOut, nullptr, nullptr), noErr);
    EXPECT_TRUE(seen.replyHadData);
    Desc direct;
    ASSERT_EQ(AEGetParamDesc(reply.get(), keyDirectObject, typeAEList, &direct), noErr);
    EXPECT_EQ(aetest::Print(direct.d), "[\"a\"]");
}

TEST_F(Dispatch, NoReplyGivesTheHandlerANullReply) {
    ASSERT_EQ(AEInstallEventHandler(FourCC("SkWr"), FourCC("find"), ListHandler, 0, false), noErr);
    ASSERT_EQ(AERegisterTarget(FourCC("SkWr"), AEDispatchToInstalledHandlers), noErr);
    OSType self = FourCC("SkWr");
    Desc event;
    ASSERT_EQ(AEBuildAppleEvent(FourCC("SkWr"), FourCC("find"), typeApplSignature, &self, 4,
                                kAutoGenerateReturnID, kAnyTransactionID, &event, ""),
              noErr);
    AppleEvent reply{typeChar, nullptr};
    ASSERT_EQ(AESend(event.get(), &reply, kAENoReply, 0, kAEDefaultTimeout, nullptr, nullptr),
              noErr);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_FALSE(seen.replyHadData);
    EXPECT_EQ(reply.dataHandle, nullptr);
    // Same through AEProcessAppleEvent without a reply.
    EXPECT_EQ(AEProcessAppleEvent(event.get(), nullptr), noErr);
    EXPECT_EQ(seen.calls, 2);
    EXPECT_FALSE(seen.replyHadData);
}

TEST_F(Dispatch, SendFailures) {
    OSType nobody = FourCC("NoSu");
    Desc event;
    ASSERT_EQ(AEBuildAppleEvent(FourCC("core"), FourCC("getd"), typeApplSignature, &nobody, 4,
                                kAutoGenerateReturnID, kAnyTransactionID, &event, ""),
              noErr);
    Desc reply;
    EXPECT_EQ(AESend(event.get(), &reply, kAEWaitReply, 0, kNoTimeOut, nullptr, nullptr),
              procNotFound);
    EXPECT_EQ(reply.d.dataHandle, nullptr);
    EXPECT_EQ(AESend(event.get(), &reply, kAEQueueReply, 0, kNoTimeOut, nullptr, nullptr),
              errAEUnknownSendMode);
    EXPECT_EQ(AESend(event.get(), nullptr, kAEWaitReply, 0, kNoTimeOut, nullptr, nullptr),
              paramErr);
    Desc byPath;
    ASSERT_EQ(AEBuildAppleEvent(FourCC("core"), FourCC("getd"), FourCC("psn "), "12345678", 8,
                                kAutoGenerateReturnID, kAnyTransactionID, &byPath, ""),
              noErr);
    EXPECT_EQ(AESend(byPath.get(), &reply, kAEWaitReply, 0, kNoTimeOut, nullptr, nullptr),
              errAEUnknownAddressType);
}

// A stand-in for the Finder responder: answers the comment property.
OSErr FinderStandIn(const AppleEvent* event, AppleEvent* reply) {
    Desc spec;
    OSErr err = AEGetParamDesc(event, keyDirectObject, typeObjectSpecifier, &spec);
    if (err != noErr) return err;
    if (reply->dataHandle == nullptr) return noErr;
    return AEPutParamPtr(reply, keyDirectObject, typeChar, "a comment", 9);
}

TEST_F(Dispatch, FinderCommentRoundTrip) {
    ASSERT_EQ(AERegisterTarget(FourCC("MACS"), FinderStandIn), noErr);
    Desc name;
    ASSERT_EQ(AECreateDesc(typeUnicodeText, u"HD:f", 8, &name), noErr);
    Desc spec;
    ASSERT_EQ(CreateObjSpecifier(FourCC("file"), nullptr, formName, &name, false, &spec), noErr);
    OSType finder = FourCC("MACS");
    Desc event;
    ASSERT_EQ(AEBuildAppleEvent(kAECoreSuite, kAEGetData, typeApplSignature, &finder, 4,
                                kAutoGenerateReturnID, kAnyTransactionID, &event,
                                "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)}",
                                spec.get()),
              noErr);
    Desc reply;
    ASSERT_EQ(AESend(event.get(), &reply, kAEWaitReply, 0, kNoTimeOut, nullptr, nullptr), noErr);
    SInt16 errn = 0;
    EXPECT_EQ(AEGetParamPtr(reply.get(), keyErrorNumber, typeSInt16, nullptr, &errn, 2, nullptr),
              errAEDescNotFound);
    unsigned char comment[256] = {};
    Size size = 0;
    ASSERT_EQ(AEGetParamPtr(reply.get(), keyDirectObject, FourCC("pstr"), nullptr, comment,
                            sizeof comment, &size),
              noErr);
    EXPECT_EQ(size, 10);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(comment + 1), comment[0]), "a comment");
    AERegisterTarget(FourCC("MACS"), nullptr);
}

}  // namespace
