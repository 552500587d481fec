// Parameter intake: the find command's parameters into SearchParameters.
//
// The find command handler clears the record (ClearSearchParameters), loads
// the label table and calls MyGetAllParameters once. The getters run in a
// fixed order; each first stores the values its fields hold when its
// parameters are absent, then overwrites them from the parameters it finds.
// Absent parameters (errAEDescNotFound) are never an error. Malformed ones
// get the getter's own alert (left out when wantSilence is set; silence is
// read last, so during intake these alerts are always shown) and are ignored.
// The first getter that fails ends intake with one stop alert that is shown
// whatever wantSilence holds, and its code is returned.
#pragma once

#include "platform/AppleEvents.h"
#include "platform/Files.h"
#include "platform/MacTypes.h"

// Runs every getter in order. 0 when all succeeded, else the code of the
// first that failed; the fields of the getters after it keep the zero of the
// request-start clearing.
OSErr MyGetAllParameters(const AppleEvent* event);

// The text of a 'TEXT' descriptor, cut to its first 255 bytes.
// errAEWrongDataType for another type, errAENotAEDesc for a descriptor
// without data; `text` is empty in both cases.
OSErr TextDescToPString(const AEDesc* desc, Str255 text);

// The 'TEXT' items of a 'list' descriptor concatenated without separators.
// Items of another type, empty items and items that would take the text past
// 254 bytes are skipped. A failing item read ends the walk with its code,
// keeping what was appended so far. An empty list gives 0 and an empty text.
OSErr TextListToPString(const AEDesc* desc, Str255 text);

// Every character a decimal digit 0..9; the empty text passes.
Boolean IsDigitString(ConstStr255Param text);

// --- Search locations ------------------------------------------------------------
// Converts, in place and in order, each alias item ('alis') and each text path
// item ('TEXT', 'STXT', 'utxt', 'utf8': a colon full path, volume name first)
// of `list` into an 'fss ' item. Other items ('fss ', 'fsrf', ...) are left as
// they are. An item that cannot be converted gets its alert (unless
// wantSilence) and is then removed from the list, so that every item left is
// one the find command handler can read as a search root: a failed item never
// reaches the handler to be reported a second time, or read some other way.
// Returns 0 when every item converted or passed through (an empty list
// included), else the code of the last item that failed.
OSErr MyConvertListItemsToFSSpec(AEDescList* list);

// A classic colon full path of `length` bytes (no length byte, no terminator)
// into a file specification. The item need not exist when its folder does
// (fnfErr then, with `spec` naming it). A result with no volume is cleared to
// zero and reported as nsvErr.
OSErr FSpLocationFromFullPath(SInt16 length, const void* path, FSSpec* spec);
