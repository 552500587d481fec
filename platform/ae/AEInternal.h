// Shared inside platform/ae: the descriptor storage and the helpers that the
// coercion, build, print, flatten and dispatch files have in common.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/AppleEvents.h"

enum class AEStorageKind : unsigned char { Scalar, List, Record, Event };

struct AEItem {
    AEKeyword key;  // typeWildCard for list items
    AEDesc desc;    // holds one reference of its own
};

// Invariants kept by every routine that makes storage:
//  - a Scalar's bytes never change once the storage is handed out, so scalar
//    storage may be shared between containers;
//  - a List is typed 'list', an Event 'aevt'; a Record is typed anything else
//    but 'null' ('reco', 'obj ', ...);
//  - an Event's first two attributes are 'evcl' and 'evid', each a 4-byte 'type'.
struct OpaqueAEDataStorage {
    std::atomic<long> refs{1};
    AEStorageKind kind = AEStorageKind::Scalar;
    std::vector<unsigned char> bytes;  // Scalar
    std::vector<AEItem> items;         // List and Record; an Event's parameters
    std::vector<AEItem> attributes;    // Event
};

namespace ae {

// Deepest nesting the parser and the unflattener accept.
inline constexpr int kMaxDepth = 128;

AEDataStorage NewStorage(AEStorageKind kind);
void Retain(AEDataStorage storage);
void Release(AEDataStorage storage);

AEDesc NullDesc();
AEDesc MakeScalar(DescType type, const void* data, std::size_t size);
AEDesc MakeContainer(DescType type, AEStorageKind kind);
// A new reference that no later change to `desc` can reach: scalar storage is
// shared (it is immutable), container storage is copied item by item.
AEDesc Clone(const AEDesc& desc);

inline bool IsKind(const AEDesc* d, AEStorageKind kind) {
    return d != nullptr && d->dataHandle != nullptr && d->dataHandle->kind == kind;
}
inline bool HasKeys(const AEDesc* d) {
    return IsKind(d, AEStorageKind::Record) || IsKind(d, AEStorageKind::Event);
}

// Adopts `value` (its reference moves into the container, `value` becomes null).
void PutKeyAdopt(std::vector<AEItem>& items, AEKeyword key, AEDesc* value);
AEItem* FindKey(std::vector<AEItem>& items, AEKeyword key);
const AEItem* FindKey(const std::vector<AEItem>& items, AEKeyword key);

// Coercion of a whole descriptor; `out` receives a new reference.
OSErr Coerce(const AEDesc& desc, DescType toType, AEDesc* out);

// Copy-out helper shared by the *Ptr getters.
OSErr CopyOut(const AEDesc& value, DescType* actualType, void* buffer, Size maxSize,
              Size* actualSize);

// Bytes of a scalar, or the flattening of a container (what AEGetDescData gives).
std::vector<unsigned char> DataBytes(const AEDesc& desc);

// The flattening of one descriptor (header included) and its inverse.
std::vector<unsigned char> Flatten(const AEDesc& desc);
OSErr Unflatten(const unsigned char* data, std::size_t size, AEDesc* out);

// Text codecs over the Mac OS Roman tables of platform/MacRoman.h.
// Decodes a text-like descriptor ('TEXT', 'utxt', 'utf8', 'STXT', 'itxt',
// 'pstr', 'cstr') to UTF-16; false when it is not text or is malformed.
bool DecodeText(const AEDesc& desc, std::u16string* text);
// Mac OS Roman of `text` when it holds every character exactly (a
// round trip gives the same UTF-16), else false.
bool ExactRoman(const std::u16string& text, std::string* roman);

}  // namespace ae
