// What the bus object does with a call, apart from the bus itself, and the
// flattening that the client shares.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include "platform/AppleEvents.h"

namespace swbus {

// The flattened form of `desc` in `out`; false when it has none or there is
// not the memory for it.
bool FlattenDesc(const AEDesc* desc, QByteArray* out);

// Reads a flattened Apple event, dispatches it to the installed handlers
// (AEProcessAppleEvent) and flattens the reply into `reply`. Without
// wantReply the handler sees a reply without data and `reply` stays empty.
// false with `problem` when the bytes are not a flattened Apple event.
bool DispatchFlattenedEvent(const QByteArray& flat, bool wantReply, QByteArray* reply,
                            QString* problem);

enum class FindOutcome { kMatches, kBadParameters, kFailed };
// Builds the find event from the dictionary, dispatches it and reads the matches.
FindOutcome RunFind(const QVariantMap& parameters, QVariantList* matches, QString* problem);

// CFBundleVersion as UTF-8 text, "n/a" when the build carries none.
QString VersionText();

}  // namespace swbus
