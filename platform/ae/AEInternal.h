// Shared inside platform/ae: the descriptor storage and the helpers that the
// coercion, build, print, flatten and dispatch files have in common.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/AppleEvents.h"

enum class AEStorageKind : unsigned char { Scalar, List, Record, Event };

struct AEItem {
    AEItem() = default;
    AEItem(AEKeyword k, AEDesc d) : key(k), desc(d) {}

    AEKeyword key = typeWildCard;  // typeWildCard for list items
    std::uint32_t poolSize = 0;    // a pooled item: its byte count
    // Holds one reference of its own; a pooled item is {its type, nullptr}
    // and keeps its bytes in the container's pool instead.
    AEDesc desc{typeNull, nullptr};
    std::uint32_t poolOffset = 0;  // a pooled item: where its bytes start
    bool pooled = false;
};

// Bytes of a container's pooled scalar items, one block grown with realloc
// (large blocks grow in place by remapping, without copying). Offsets are
// 32-bit: a pool never passes 4 GB; items beyond that get storage of their own.
class AEBytePool {
  public:
    AEBytePool() = default;
    AEBytePool(const AEBytePool& other);
    AEBytePool& operator=(const AEBytePool&) = delete;
    AEBytePool& operator=(AEBytePool&& other) noexcept;
    ~AEBytePool();

    // False when memory runs out or the pool would pass 4 GB.
    bool Append(const void* data, std::size_t size, std::uint32_t* offset);
    const unsigned char* At(std::uint32_t offset) const { return data_ + offset; }
    unsigned char* At(std::uint32_t offset) { return data_ + offset; }
    std::size_t size() const { return size_; }
    // Drops the bytes no item refers to any more; offsets are rewritten.
    void Compact(std::vector<AEItem>& items);

  private:
    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// The items of a list, record or event. Shared between descriptors that were
// copied (AEPutParamDesc, AEGetParamDesc, ...) until one of them changes:
// every change goes through ae::MutableContents, which copies shared contents
// first, so a change through one owner never shows through another.
struct AEContainerData {
    std::atomic<long> refs{1};
    std::vector<AEItem> items;       // List and Record; an Event's parameters
    std::vector<AEItem> attributes;  // Event
    AEBytePool pool;                 // bytes of pooled items (lists only)
    std::size_t poolGarbage = 0;     // pool bytes of replaced or deleted items
};

// What an AEDesc names. Value copies of the AEDesc struct and AEDuplicateDesc
// references name the same storage, so they see each other's changes.
// Invariants kept by every routine that makes storage:
//  - a Scalar's bytes never change once the storage is handed out, so scalar
//    storage may be shared between containers;
//  - a List is typed 'list', an Event 'aevt'; a Record is typed anything else
//    but 'null' ('reco', 'obj ', ...);
//  - an Event's first two attributes are 'evcl' and 'evid', each a 4-byte 'type';
//  - only List items are pooled.
struct OpaqueAEDataStorage {
    std::atomic<long> refs{1};
    AEStorageKind kind = AEStorageKind::Scalar;
    std::vector<unsigned char> bytes;     // Scalar
    AEContainerData* contents = nullptr;  // List, Record, Event
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
// shared (it is immutable); a container gets storage of its own that shares
// the contents until either side changes them.
AEDesc Clone(const AEDesc& desc);

// The items of a container (`desc` must be a List, Record or Event), for reading.
inline const AEContainerData& Contents(const AEDesc& desc) {
    return *desc.dataHandle->contents;
}
// The items of a container, for changing: contents shared with another
// container storage are copied first.
AEContainerData& MutableContents(AEDataStorage storage);

// Bytes of a scalar item, pooled or not; false for any other item.
bool ItemBytes(const AEContainerData& contents, const AEItem& item, const unsigned char** data,
               std::size_t* size);
// The item as a descriptor of its own (a new reference): a pooled item gets
// scalar storage, any other is cloned.
AEDesc ItemValue(const AEContainerData& contents, const AEItem& item);

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

// Copy-out helpers shared by the *Ptr getters.
OSErr CopyOut(const AEDesc& value, DescType* actualType, void* buffer, Size maxSize,
              Size* actualSize);
OSErr CopyOutBytes(DescType type, const unsigned char* data, std::size_t size, DescType* actualType,
                   void* buffer, Size maxSize, Size* actualSize);

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
