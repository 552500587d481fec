#include "platform/dbus/FindRequest.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <cstring>
#include <limits>
#include <string>

#include "params/Terminology.h"
#include "platform/Files.h"
#include "platform/MacRoman.h"
#include "platform/Memory.h"
#include "platform/dbus/DescHolder.h"
#include "platform/posix/CatalogInternal.h"

namespace swbus {
namespace {

QString TypeName(const QVariant& value) {
    return QString::fromLatin1(value.metaType().name() ? value.metaType().name() : "nothing");
}

// Unwraps variants and turns the toolkit's generic containers into plain
// values: QString, QStringList, QByteArray, QVariantList, numbers, bool.
QVariant Normalize(const QVariant& value, int depth = 0) {
    if (depth > 8) return {};
    if (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
        return Normalize(value.value<QDBusVariant>().variant(), depth + 1);
    }
    if (value.metaType() != QMetaType::fromType<QDBusArgument>()) return value;
    const QDBusArgument argument = value.value<QDBusArgument>();
    const QString signature = argument.currentSignature();
    if (signature == QLatin1String("as")) return QVariant(qdbus_cast<QStringList>(argument));
    if (signature == QLatin1String("ay")) return QVariant(qdbus_cast<QByteArray>(argument));
    if (signature == QLatin1String("aay")) {
        QVariantList list;
        for (const QByteArray& bytes : qdbus_cast<QList<QByteArray>>(argument)) list << bytes;
        return list;
    }
    if (signature == QLatin1String("av")) {
        QVariantList list;
        for (const QVariant& item : qdbus_cast<QVariantList>(argument)) {
            list << Normalize(item, depth + 1);
        }
        return list;
    }
    return {};  // a shape no parameter takes
}

bool IsInteger(const QVariant& v) {
    switch (v.metaType().id()) {
        case QMetaType::UChar:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return true;
        default:
            return false;
    }
}

bool IsString(const QVariant& v) {
    return v.metaType() == QMetaType::fromType<QString>();
}

// Text as 'TEXT' when Mac OS Roman writes all of it, as 'utxt' otherwise.
OSErr PutText(AEDescList* list, const QString& text) {
    std::string roman;
    const std::u16string_view utf16(reinterpret_cast<const char16_t*>(text.utf16()),
                                    static_cast<std::size_t>(text.size()));
    if (Utf16ToMacRoman(utf16, &roman)) {
        return AEPutPtr(list, 0, typeChar, roman.data(), static_cast<Size>(roman.size()));
    }
    return AEPutPtr(list, 0, typeUnicodeText, text.utf16(),
                    static_cast<Size>(text.size() * sizeof(char16_t)));
}

OSErr MakeText(const QString& text, AEDesc* out) {
    std::string roman;
    const std::u16string_view utf16(reinterpret_cast<const char16_t*>(text.utf16()),
                                    static_cast<std::size_t>(text.size()));
    if (Utf16ToMacRoman(utf16, &roman)) {
        return AECreateDesc(typeChar, roman.data(), static_cast<Size>(roman.size()), out);
    }
    return AECreateDesc(typeUnicodeText, text.utf16(),
                        static_cast<Size>(text.size() * sizeof(char16_t)), out);
}

// A list of texts from s or as.
bool TextList(const QVariant& value, AEDesc* out, QString* problem, const char* name) {
    QStringList texts;
    if (IsString(value)) {
        texts << value.toString();
    } else if (value.metaType() == QMetaType::fromType<QStringList>()) {
        texts = value.toStringList();
    } else if (value.metaType() == QMetaType::fromType<QVariantList>()) {
        for (const QVariant& item : value.toList()) {
            if (!IsString(item)) {
                *problem =
                    QStringLiteral("'%1' takes text or a list of texts, not a list holding %2")
                        .arg(QString::fromUtf8(name), TypeName(item));
                return false;
            }
            texts << item.toString();
        }
    } else {
        *problem = QStringLiteral("'%1' takes text or a list of texts, not %2")
                       .arg(QString::fromUtf8(name), TypeName(value));
        return false;
    }
    if (AECreateList(nullptr, 0, false, out) != noErr) return false;
    for (const QString& text : texts) {
        if (PutText(out, text) != noErr) {
            *problem =
                QStringLiteral("could not build the list of '%1'").arg(QString::fromUtf8(name));
            return false;
        }
    }
    return true;
}

// One location: a POSIX path (bytes or text) as an FSRef, a colon path as text.
bool PutLocation(AEDescList* list, const QVariant& item, QString* problem) {
    QByteArray path;
    if (IsString(item)) {
        const QString text = item.toString();
        if (!text.startsWith(QLatin1Char('/'))) return PutText(list, text) == noErr;
        path = text.toUtf8();
    } else if (item.metaType() == QMetaType::fromType<QByteArray>()) {
        path = item.toByteArray();
        if (!path.startsWith('/')) {
            *problem = QStringLiteral("a location given as bytes must be an absolute POSIX path");
            return false;
        }
    } else {
        *problem =
            QStringLiteral("a location is a path (text or bytes), not %1").arg(TypeName(item));
        return false;
    }
    if (path.contains('\0')) {
        *problem = QStringLiteral("a path may not contain a NUL byte");
        return false;
    }
    FSRef ref;
    const OSErr err =
        FSPathMakeRef(reinterpret_cast<const UInt8*>(path.constData()), &ref, nullptr);
    if (err != noErr) {
        *problem = QStringLiteral("%1: no such folder or volume (error %2)")
                       .arg(QString::fromUtf8(path))
                       .arg(err);
        return false;
    }
    // As an alias, the form a script sends and intake resolves.
    FSSpec spec;
    AliasHandle alias = nullptr;
    if (FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr) != noErr ||
        NewAlias(nullptr, &spec, &alias) != noErr) {
        *problem = QStringLiteral("%1: cannot be named by an alias").arg(QString::fromUtf8(path));
        return false;
    }
    const OSErr put = AEPutPtr(list, 0, typeAlias, *alias, GetHandleSize(alias));
    DisposeHandle(alias);
    return put == noErr;
}

bool Locations(const QVariant& value, AEDesc* out, QString* problem) {
    QVariantList items;
    if (value.metaType() == QMetaType::fromType<QStringList>()) {
        for (const QString& s : value.toStringList()) items << s;
    } else if (value.metaType() == QMetaType::fromType<QVariantList>()) {
        items = value.toList();
    } else {
        items << value;
    }
    if (AECreateList(nullptr, 0, false, out) != noErr) return false;
    for (const QVariant& item : items) {
        if (!PutLocation(out, item, problem)) return false;
    }
    return true;
}

bool Code(const QString& text, OSType* code) {
    std::string roman;
    const std::u16string_view utf16(reinterpret_cast<const char16_t*>(text.utf16()),
                                    static_cast<std::size_t>(text.size()));
    if (!Utf16ToMacRoman(utf16, &roman) || roman.size() != 4) return false;
    *code = 0;
    for (char c : roman) *code = (*code << 8) | static_cast<unsigned char>(c);
    return true;
}

bool Enumerated(const QVariant& value, std::span<const EnumeratorTerm> table, bool anyCode,
                AEDesc* out, QString* problem, const char* name) {
    if (!IsString(value)) {
        *problem = QStringLiteral("'%1' takes a word or a four-character code, not %2")
                       .arg(QString::fromUtf8(name), TypeName(value));
        return false;
    }
    const QString text = value.toString();
    const QByteArray utf8 = text.toUtf8();
    OSType code = 0;
    if (const EnumeratorTerm* term =
            EnumeratorByName(table, std::string_view(utf8.constData(), utf8.size()))) {
        code = term->code;
    } else if (!Code(text, &code) || (!anyCode && EnumeratorByCode(table, code) == nullptr)) {
        *problem = QStringLiteral("'%1' does not know '%2'").arg(QString::fromUtf8(name), text);
        return false;
    }
    return AECreateDesc(typeEnumerated, &code, sizeof code, out) == noErr;
}

bool Number(const QVariant& value, AEDesc* out, QString* problem, const char* name) {
    if (IsString(value)) return MakeText(value.toString(), out) == noErr;
    bool ok = false;
    qlonglong n = 0;
    if (value.metaType().id() == QMetaType::ULongLong) {
        const qulonglong u = value.toULongLong();
        ok = u <= static_cast<qulonglong>(std::numeric_limits<SInt32>::max());
        n = static_cast<qlonglong>(u);
    } else if (IsInteger(value)) {
        n = value.toLongLong();
        ok = n >= std::numeric_limits<SInt32>::min() && n <= std::numeric_limits<SInt32>::max();
    } else {
        *problem = QStringLiteral("'%1' takes an integer, not %2")
                       .arg(QString::fromUtf8(name), TypeName(value));
        return false;
    }
    if (!ok) {
        *problem =
            QStringLiteral("'%1' is out of range (32-bit signed)").arg(QString::fromUtf8(name));
        return false;
    }
    const SInt32 v = static_cast<SInt32>(n);
    return AECreateDesc(typeSInt32, &v, sizeof v, out) == noErr;
}

bool Date(const QVariant& value, AEDesc* out, QString* problem, const char* name) {
    LongDateTime seconds = 0;
    if (IsString(value)) {
        QDateTime when = QDateTime::fromString(value.toString(), Qt::ISODate);
        if (!when.isValid()) {
            *problem = QStringLiteral(
                           "'%1' takes an ISO 8601 date (2024-05-01 or "
                           "2024-05-01T13:45:00), not '%2'")
                           .arg(QString::fromUtf8(name), value.toString());
            return false;
        }
        // The event carries local wall-clock time; an explicit offset is honoured.
        if (when.timeSpec() != Qt::LocalTime) when = when.toLocalTime();
        const qint64 days = QDate(1904, 1, 1).daysTo(when.date());
        seconds = days * 86400 + when.time().msecsSinceStartOfDay() / 1000;
    } else if (value.metaType().id() == QMetaType::LongLong ||
               value.metaType().id() == QMetaType::ULongLong) {
        seconds = value.toLongLong();
    } else {
        *problem = QStringLiteral("'%1' takes an ISO 8601 date text, not %2")
                       .arg(QString::fromUtf8(name), TypeName(value));
        return false;
    }
    return AECreateDesc(typeLongDateTime, &seconds, sizeof seconds, out) == noErr;
}

const ParameterTerm* TermForKey(const QString& key) {
    const QByteArray utf8 = key.toUtf8();
    if (const ParameterTerm* term =
            ParameterTermByName(std::string_view(utf8.constData(), utf8.size()))) {
        return term;
    }
    OSType code = 0;
    return Code(key, &code) ? ParameterTermByKeyword(code) : nullptr;
}

bool ParameterValue(const ParameterTerm& term, const QVariant& value, AEDesc* out,
                    QString* problem) {
    switch (term.value) {
        case TermValue::kLocations:
            return Locations(value, out, problem);
        case TermValue::kResultForm:
            return Enumerated(value, ResultFormTerms(), false, out, problem, term.name);
        case TermValue::kKind:
            return Enumerated(value, KindTerms(), true, out, problem, term.name);
        case TermValue::kTextList:
        case TermValue::kCodeList:
            return TextList(value, out, problem, term.name);
        case TermValue::kLabel:
        case TermValue::kNumber:
            return Number(value, out, problem, term.name);
        case TermValue::kDate:
            return Date(value, out, problem, term.name);
        case TermValue::kText:
            if (!IsString(value)) {
                *problem = QStringLiteral("'%1' takes text, not %2")
                               .arg(QString::fromUtf8(term.name), TypeName(value));
                return false;
            }
            return MakeText(value.toString(), out) == noErr;
        case TermValue::kBoolean: {
            if (value.metaType() != QMetaType::fromType<bool>()) {
                *problem = QStringLiteral("'%1' takes true or false, not %2")
                               .arg(QString::fromUtf8(term.name), TypeName(value));
                return false;
            }
            const Boolean b = value.toBool() ? 1 : 0;
            return AECreateDesc(typeBoolean, &b, 1, out) == noErr;
        }
    }
    return false;
}

// The bytes of a text element: Mac OS Roman and UTF-16 become UTF-8, except
// the catalog's escapes of bytes that were not UTF-8, which become those bytes.
bool ElementBytes(const AEDesc* item, QByteArray* bytes) {
    const Size size = AEGetDescDataSize(item);
    const auto* data = static_cast<const unsigned char*>(AEGetDescDataPtr(item));
    if (size > 0 && data == nullptr) return false;
    switch (item->descriptorType) {
        case typeChar: {
            const std::string utf8 = MacRomanToUtf8(data, static_cast<std::size_t>(size));
            *bytes = QByteArray(utf8.data(), static_cast<qsizetype>(utf8.size()));
            return true;
        }
        case typeUTF8Text:
            *bytes = QByteArray(reinterpret_cast<const char*>(data), size);
            return true;
        case typeUnicodeText: {
            std::u16string units(static_cast<std::size_t>(size) / 2, u'\0');
            if (!units.empty()) std::memcpy(units.data(), data, units.size() * 2);
            const std::string raw = sw::posix::UnicodeToBytes(
                reinterpret_cast<const UniChar*>(units.data()), units.size(), false);
            *bytes = QByteArray(raw.data(), static_cast<qsizetype>(raw.size()));
            return true;
        }
        default: {
            // Aliases and file specifications: their POSIX path.
            DescHolder ref;
            FSRef fsref;
            std::string path(4096, '\0');
            if (AECoerceDesc(item, typeFSRef, &ref.desc) != noErr ||
                AEGetDescData(&ref.desc, &fsref, sizeof fsref) != noErr ||
                FSRefMakePath(&fsref, reinterpret_cast<UInt8*>(path.data()),
                              static_cast<UInt32>(path.size())) != noErr) {
                return false;
            }
            path.resize(std::strlen(path.c_str()));
            *bytes = QByteArray(path.data(), static_cast<qsizetype>(path.size()));
            return true;
        }
    }
}

bool ValidUtf8(const QByteArray& bytes) {
    std::u16string ignored;
    return Utf8ToUtf16(std::string_view(bytes.constData(), bytes.size()), &ignored);
}

}  // namespace

bool BuildFindEvent(const QVariantMap& parameters, AppleEvent* event, QString* problem) {
    AEInitializeDesc(event);
    const OSType signature = kSeekwrightEventClass;
    DescHolder target;
    DescHolder built;
    if (AECreateDesc(typeApplSignature, &signature, sizeof signature, &target.desc) != noErr ||
        AECreateAppleEvent(kSeekwrightEventClass, kFindEventID, &target.desc, kAutoGenerateReturnID,
                           kAnyTransactionID, &built.desc) != noErr) {
        *problem = QStringLiteral("could not create the find event");
        return false;
    }
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
        const ParameterTerm* term = TermForKey(it.key());
        if (term == nullptr) {
            *problem = QStringLiteral("unknown parameter '%1'").arg(it.key());
            return false;
        }
        const QVariant value = Normalize(it.value());
        if (!value.isValid()) {
            *problem = QStringLiteral("'%1' has a value of a shape no parameter takes")
                           .arg(QString::fromUtf8(term->name));
            return false;
        }
        DescHolder desc;
        if (!ParameterValue(*term, value, &desc.desc, problem)) {
            if (problem->isEmpty()) {
                *problem =
                    QStringLiteral("could not convert '%1'").arg(QString::fromUtf8(term->name));
            }
            return false;
        }
        if (AEPutParamDesc(&built.desc, term->keyword, &desc.desc) != noErr) {
            *problem = QStringLiteral("could not add '%1'").arg(QString::fromUtf8(term->name));
            return false;
        }
    }
    *event = built.desc;
    AEInitializeDesc(&built.desc);  // handed over
    return true;
}

bool MatchesFromReply(const AppleEvent* reply, QVariantList* matches, OSErr* error,
                      QString* problem) {
    matches->clear();
    *error = noErr;
    SInt32 number = 0;
    if (AEGetParamPtr(reply, keyErrorNumber, typeSInt32, nullptr, &number, sizeof number,
                      nullptr) == noErr &&
        number != 0) {
        *error = static_cast<OSErr>(number);
        *problem = QStringLiteral("the find command failed with error %1").arg(number);
        return false;
    }
    DescHolder list;
    const OSErr err = AEGetParamDesc(reply, keyDirectObject, typeAEList, &list.desc);
    if (err == errAEDescNotFound) return true;  // no locations could be searched: no matches
    if (err != noErr) {
        *error = err;
        *problem = QStringLiteral("the reply holds no list of matches (error %1)").arg(err);
        return false;
    }
    long count = 0;
    AECountItems(&list.desc, &count);
    matches->reserve(count);
    for (long i = 1; i <= count; ++i) {
        DescHolder item;
        if (AEGetNthDesc(&list.desc, i, typeWildCard, nullptr, &item.desc) != noErr) continue;
        QByteArray bytes;
        if (!ElementBytes(&item.desc, &bytes)) {
            // Not a path any more (an alias whose item went away): its own bytes.
            const auto* data = static_cast<const char*>(AEGetDescDataPtr(&item.desc));
            matches->append(QByteArray(data, data != nullptr ? AEGetDescDataSize(&item.desc) : 0));
            continue;
        }
        if (ValidUtf8(bytes)) {
            matches->append(QString::fromUtf8(bytes));
        } else {
            matches->append(bytes);
        }
    }
    return true;
}

QByteArray MatchBytes(const QVariant& match) {
    if (match.metaType() == QMetaType::fromType<QByteArray>()) return match.toByteArray();
    return match.toString().toUtf8();
}

}  // namespace swbus
