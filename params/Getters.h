// The parameter getters MyGetAllParameters calls, in its order. Each takes the
// find command event followed by the record fields it writes, and returns an
// OSErr in which an absent parameter (errAEDescNotFound) has become 0. A getter
// reads only its own keywords and writes only its own fields; withText and
// withoutText are only ever appended to (and cut at 255 bytes).
#pragma once

#include "platform/AppleEvents.h"
#include "platform/MacTypes.h"

// "in disks" ('ƒdsk') and "in folders" ('ƒold') as lists of file
// specifications. A list of every mounted volume goes into searchDisks only
// when neither parameter was given at all: a list given with no usable item
// searches nothing, so a mistyped or vanished folder never widens the search
// to the whole machine. Fails only when that default list cannot be made or
// the volumes cannot be enumerated.
OSErr MyGetSearchLocationsParam(const AppleEvent* event, AEDescList* searchDisks,
                                AEDescList* searchFolders);

// 'Rslt' as an enumerator, stored unchanged; default 'path'. The summary is
// "result type: " and the form's words ("HFS paths", "POSIX paths", ...).
OSErr MyGetResultTypeParam(const AppleEvent* event, OSType* resultType, Str255 resultTypeText);

// The name criterion: the first of 'nm01'..'nm12' (in that order, "is" and
// "is not" last) whose value is a list (a single string arrives as a list of
// one) is kept in nameList, its test in nameOp, and nameText is the test's
// words followed by the names joined by ", " (cut at 255 bytes). A value of
// another form gets an alert (unless silenced) and the next keyword is tried.
// A name with no Mac OS Roman form is shown with "?" for what it lacks. Fails
// with the counting code, or the code of a last item that is not text.
// *nameList is released first: pass a null descriptor or a list to give up.
OSErr MyGetFilenameParam(const AppleEvent* event, AEDescList* nameList, SInt16* nameOp,
                         Str255 nameText);

// 'ƒmax' as decimal text; default -1 (no limit). Not all digits: alert, -1.
// 0: alert, 1. Beyond the 32-bit range: the largest 32-bit value.
OSErr MyGetMaxMatchesParam(const AppleEvent* event, SInt32* maxMatches, Str255 maxMatchesText);

// The yes/no options, each a 'bool' parameter. A present parameter that is
// not a truth value fails the getter with the event manager's code.
OSErr MyGetWantInvisiblesParam(const AppleEvent* event, Boolean* wantInvisibles, Str255 withText,
                               Str255 withoutText);
OSErr MyGetWantSubfoldersParam(const AppleEvent* event, Boolean* wantSubfolders, Str255 withText,
                               Str255 withoutText);
OSErr MyGetWantFilesParam(const AppleEvent* event, Boolean* wantFiles);
OSErr MyGetWantFoldersParam(const AppleEvent* event, Boolean* wantFolders);
OSErr MyGetWantDisplayParam(const AppleEvent* event, Boolean* wantDisplay, Str255 withText,
                            Str255 withoutText);
OSErr MyGetWantResultsParam(const AppleEvent* event, Boolean* wantResults, Str255 withText,
                            Str255 withoutText);
// The eight date-field switches; only a failure on 'year' is returned.
OSErr MyGetWantDateFieldsParams(const AppleEvent* event, Boolean* wantSeconds, Boolean* wantMinutes,
                                Boolean* wantHours, Boolean* wantTime, Boolean* wantDays,
                                Boolean* wantMonths, Boolean* wantYears, Boolean* wantDate,
                                Str255 withText, Str255 withoutText);
// Adds " silence" to withText when true; never anything to withoutText.
OSErr MyGetWantSilenceParam(const AppleEvent* event, Boolean* wantSilence, Str255 withText);
