#include "platform/dbus/BusDispatch.h"

#include <new>

#include "platform/CoreFoundation.h"
#include "platform/MacRoman.h"
#include "platform/dbus/DescHolder.h"
#include "platform/dbus/FindRequest.h"

namespace swbus {

bool FlattenDesc(const AEDesc* desc, QByteArray* out) {
    const Size size = AESizeOfFlattenedDesc(desc);
    if (size <= 0) return false;
    try {
        out->resize(static_cast<qsizetype>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    Size written = 0;
    return AEFlattenDesc(desc, out->data(), size, &written) == noErr && written == size;
}

bool DispatchFlattenedEvent(const QByteArray& flat, bool wantReply, QByteArray* reply,
                            QString* problem) {
    reply->clear();
    DescHolder event;
    OSErr err = AEUnflattenDesc(flat.constData(), flat.size(), &event.desc);
    if (err != noErr) {
        *problem = QStringLiteral("the bytes are not a flattened descriptor (error %1)").arg(err);
        return false;
    }
    if (event.desc.descriptorType != typeAppleEvent) {
        *problem = QStringLiteral("the descriptor is not an Apple event");
        return false;
    }
    DescHolder answer;
    // The reply's 'errn' carries a handler's failure and errAEEventNotHandled.
    AEProcessAppleEvent(&event.desc, wantReply ? &answer.desc : nullptr);
    if (!wantReply) return true;
    if (!FlattenDesc(&answer.desc, reply)) {
        *problem = QStringLiteral("the reply could not be flattened");
        return false;
    }
    return true;
}

FindOutcome RunFind(const QVariantMap& parameters, QVariantList* matches, QString* problem) {
    DescHolder event;
    if (!BuildFindEvent(parameters, &event.desc, problem)) return FindOutcome::kBadParameters;
    DescHolder answer;
    AEProcessAppleEvent(&event.desc, &answer.desc);
    OSErr err = noErr;
    if (!MatchesFromReply(&answer.desc, matches, &err, problem)) return FindOutcome::kFailed;
    return FindOutcome::kMatches;
}

QString VersionText() {
    CFBundleRef bundle = CFBundleGetMainBundle();
    CFStringRef version =
        bundle != nullptr ? CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleVersion"))
                          : nullptr;
    if (version == nullptr) return QStringLiteral("n/a");
    const UniChar* units = CFStringGetCharactersPtr(version);
    return QString(reinterpret_cast<const QChar*>(units), CFStringGetLength(version));
}

}  // namespace swbus
