// The Find method's dictionary and reply, apart from the bus so that tests can
// drive them directly: a{sv} keyed by terminology names or keywords to a find
// Apple event, and a reply's match list to D-Bus values.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include "platform/AppleEvents.h"

namespace swbus {

// Builds the 'SkWr'/'find' event from `parameters`. Keys are English names
// ("in folders", "name contains") or keywords ("ƒold", "nm01"); values
// (after unwrapping variants) are converted by the parameter's form:
//   locations: s, as, ay, aay or av of s/ay; "/…" is a POSIX path (an FSRef;
//     a missing folder is an error), anything else a colon path ('TEXT')
//   text and text lists: s or as; 'TEXT' when Mac OS Roman can write every
//     character, 'utxt' otherwise
//   result type, kind: a terminology word or a four-character code ('enum')
//   numbers and labels: any integer type ('long', range checked), or s
//   dates: s in ISO 8601 (local time unless it carries an offset), or x/t
//     seconds since 1904 ('ldt ')
//   options: b ('bool')
// false with a sentence in `problem` on an unknown key or a wrong type.
bool BuildFindEvent(const QVariantMap& parameters, AppleEvent* event, QString* problem);

// The reply's matches as D-Bus values: each element text ('TEXT', 'utxt',
// 'utf8') as s when its bytes are UTF-8, as ay otherwise (names that are not
// UTF-8 keep their bytes); aliases and file specifications as their POSIX
// path the same way. false with `problem` when the reply carries an error
// number (also given in *error) or no list.
bool MatchesFromReply(const AppleEvent* reply, QVariantList* matches, OSErr* error,
                      QString* problem);

// One match as bytes (UTF-8 or a path's own bytes), for the file form.
QByteArray MatchBytes(const QVariant& match);

}  // namespace swbus
