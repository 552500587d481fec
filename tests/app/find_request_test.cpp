// The Find method's dictionary to the find event, value by value.
#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <QTime>
#include <string>

#include "params/Terminology.h"
#include "platform/AppleEvents.h"
#include "platform/dbus/FindRequest.h"

namespace {

struct Desc {
    AEDesc d;
    Desc() { AEInitializeDesc(&d); }
    ~Desc() { AEDisposeDesc(&d); }
};

std::string Printed(const AEDesc* desc) {
    char* text = nullptr;
    if (AEPrintDescToText(desc, &text) != noErr || text == nullptr) return "<unprintable>";
    std::string result = text;
    std::free(text);
    return result;
}

// The one parameter the dictionary gives, as the event carries it.
bool OneParameter(const QString& key, const QVariant& value, AEKeyword keyword, AEDesc* out,
                  QString* problem) {
    Desc event;
    if (!swbus::BuildFindEvent({{key, value}}, &event.d, problem)) return false;
    return AEGetParamDesc(&event.d, keyword, typeWildCard, out) == noErr;
}

TEST(FindRequest, ValuesBecomeTheDescriptorsIntakeReads) {
    struct Row {
        const char* name;
        QString key;
        QVariant value;
        AEKeyword keyword;
        const char* printed;
    };
    const Row rows[] = {
        {"roman text list", "name contains", QStringList{"caf\u00e9", "r\u00e9sum\u00e9"},
         FourCC("nm01"), "[\"caf\u00e9\", \"r\u00e9sum\u00e9\"]"},
        {"single text as list", "name is", QString("a"), FourCC("nm11"), "[\"a\"]"},
        {"non-roman text", "name contains", QStringList{"\u0416uk"}, FourCC("nm01"),
         "[utxt(\"\u0416uk\")]"},
        {"by keyword", "nm04", QStringList{"x"}, FourCC("nm04"), "[\"x\"]"},
        {"keyword with f-hook", "\u0192sub", true, keyWantSubfolders, "bool(1)"},
        {"name ignores case", "Subfolders", false, keyWantSubfolders, "bool(0)"},
        {"result word", "result type", QString("posix path"), keyResultType, "pat2"},
        {"result code", "result type", QString("name"), keyResultType, "name"},
        {"kind word", "kind is", QString("application"), FourCC("Kind"), "APPL"},
        {"kind code", "kind is", QString("wxyz"), FourCC("Kind"), "wxyz"},
        {"integer", "maximum matches", 25, keyMaxMatches, "25"},
        {"unsigned 64", "size is", qulonglong(7), FourCC("\304sz3"), "7"},
        {"version text", "version is", QString("1.0"), FourCC("\304vs1"), "\"1.0\""},
        {"colon path", "in folders", QStringList{"Root:tmp:"}, keySearchFolders, "[\"Root:tmp:\"]"},
    };
    for (const Row& row : rows) {
        Desc desc;
        QString problem;
        ASSERT_TRUE(OneParameter(row.key, row.value, row.keyword, &desc.d, &problem))
            << row.name << ": " << problem.toStdString();
        EXPECT_EQ(Printed(&desc.d), row.printed) << row.name;
    }
}

TEST(FindRequest, DatesAreLocalSecondsSince1904) {
    const QDateTime local(QDate(2024, 5, 1), QTime(13, 45, 0));
    const LongDateTime expected =
        QDate(1904, 1, 1).daysTo(local.date()) * 86400 + 13 * 3600 + 45 * 60;
    const QDateTime utc = local.toUTC();
    struct Row {
        const char* name;
        QVariant value;
    };
    const Row rows[] = {
        {"local", QString("2024-05-01T13:45:00")},
        {"with offset", utc.toString(Qt::ISODate)},  // "…Z": the same moment
        {"raw seconds", QVariant::fromValue(static_cast<qlonglong>(expected))},
    };
    for (const Row& row : rows) {
        Desc desc;
        QString problem;
        ASSERT_TRUE(
            OneParameter("date modified is", row.value, FourCC("\304dm1"), &desc.d, &problem))
            << row.name << ": " << problem.toStdString();
        EXPECT_EQ(desc.d.descriptorType, typeLongDateTime) << row.name;
        LongDateTime seconds = 0;
        ASSERT_EQ(AEGetDescData(&desc.d, &seconds, sizeof seconds), noErr) << row.name;
        EXPECT_EQ(seconds, expected) << row.name;
    }
}

TEST(FindRequest, WrongTypesAndUnknownKeysAreRefusedWithTheirName) {
    struct Row {
        const char* name;
        QString key;
        QVariant value;
        const char* mentions;
    };
    const Row rows[] = {
        {"unknown key", "colour", QString("red"), "colour"},
        {"bool as text", "files", QString("true"), "files"},
        {"text as bool", "name contains", true, "name contains"},
        {"number as double", "maximum matches", 2.5, "maximum matches"},
        {"too large", "maximum matches", qlonglong(1) << 40, "range"},
        {"bad date", "date created is", QString("May the first"), "ISO 8601"},
        {"date as bool", "date created is", true, "date created is"},
        {"unknown result form", "result type", QString("bitmap"), "bitmap"},
        {"long code", "kind is", QString("abcde"), "abcde"},
        {"relative bytes path", "in folders", QByteArray("docs"), "absolute"},
        {"missing folder", "in folders", QString("/no/such/dir"), "/no/such/dir"},
        {"list with a number", "name contains", QVariantList{QString("a"), 3}, "name contains"},
        {"NUL in path", "in folders", QByteArray("/tmp\0x", 6), "NUL"},
    };
    for (const Row& row : rows) {
        Desc event;
        QString problem;
        EXPECT_FALSE(swbus::BuildFindEvent({{row.key, row.value}}, &event.d, &problem)) << row.name;
        EXPECT_TRUE(problem.contains(QString::fromUtf8(row.mentions)))
            << row.name << ": " << problem.toStdString();
        EXPECT_EQ(event.d.dataHandle, nullptr) << row.name;
    }
}

TEST(FindRequest, ReplyElementsBecomeTextOrBytes) {
    Desc reply, list;
    ASSERT_EQ(AECreateAppleEvent(kCoreEventClass, FourCC("ansr"), nullptr, 0, 0, &reply.d), noErr);
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list.d), noErr);
    const char roman[] = "/a/caf\x8E";  // Mac OS Roman é
    ASSERT_EQ(AEPutPtr(&list.d, 0, typeChar, roman, sizeof roman - 1), noErr);
    const char16_t escaped[] = u"/a/bad\xF7FF";  // the catalog's form of byte 0xFF
    ASSERT_EQ(AEPutPtr(&list.d, 0, typeUnicodeText, escaped, sizeof escaped - 2), noErr);
    ASSERT_EQ(AEPutParamDesc(&reply.d, keyDirectObject, &list.d), noErr);
    QVariantList matches;
    OSErr err = noErr;
    QString problem;
    ASSERT_TRUE(swbus::MatchesFromReply(&reply.d, &matches, &err, &problem));
    ASSERT_EQ(matches.size(), 2);
    EXPECT_EQ(matches[0], QVariant(QString::fromUtf8("/a/caf\xC3\xA9")));
    EXPECT_EQ(matches[1], QVariant(QByteArray("/a/bad\xFF")));

    const SInt32 failure = errAEEventNotHandled;
    ASSERT_EQ(AEPutParamPtr(&reply.d, keyErrorNumber, typeSInt32, &failure, sizeof failure), noErr);
    EXPECT_FALSE(swbus::MatchesFromReply(&reply.d, &matches, &err, &problem));
    EXPECT_EQ(err, errAEEventNotHandled);
}

}  // namespace
