// The binary flattening; the layout is documented in docs/apple-events.md.

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_set>

#include "platform/AppleEvents.h"
#include "platform/ae/AEInternal.h"

namespace {

constexpr unsigned char kMagic[4] = {'S', 'W', 'A', 'E'};
constexpr UInt16 kVersion = 1;
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kMinNodeSize = 5;  // type and kind

enum NodeKind : unsigned char { kNone = 0, kScalar = 1, kList = 2, kRecord = 3, kEvent = 4 };

// Width of the numbers a scalar's data is made of, for the byte-order swap;
// 1 for data that is a byte string.
std::size_t ElementWidth(DescType t) {
    switch (t) {
        case typeSInt16:
        case typeUnicodeText:
            return 2;
        case typeSInt32:
        case typeUInt32:
        case typeIEEE32BitFloatingPoint:
        case typeEnumerated:
        case typeType:
        case typeKeyword:
        case typeProperty:
        case typeApplSignature:
            return 4;
        case typeSInt64:
        case typeIEEE64BitFloatingPoint:
        case typeLongDateTime:
            return 8;
        default:
            return 1;
    }
}

// Native <-> big-endian for the numbers of one scalar (its own inverse).
void SwapElements(DescType t, unsigned char* data, std::size_t size) {
    if constexpr (std::endian::native == std::endian::big) return;
    std::size_t w = ElementWidth(t);
    if (w == 1 || size % w != 0) return;
    for (std::size_t k = 0; k < size; k += w) std::reverse(data + k, data + k + w);
}

void PutU32(std::vector<unsigned char>& out, UInt32 v) {
    out.push_back(static_cast<unsigned char>(v >> 24));
    out.push_back(static_cast<unsigned char>(v >> 16));
    out.push_back(static_cast<unsigned char>(v >> 8));
    out.push_back(static_cast<unsigned char>(v));
}

void PutNode(std::vector<unsigned char>& out, const AEDesc& desc);

void PutScalar(std::vector<unsigned char>& out, DescType type, const unsigned char* data,
               std::size_t size) {
    out.push_back(kScalar);
    PutU32(out, static_cast<UInt32>(size));
    std::size_t at = out.size();
    out.insert(out.end(), data, data + size);
    SwapElements(type, out.data() + at, size);
}

void PutItems(std::vector<unsigned char>& out, const AEContainerData& contents,
              const std::vector<AEItem>& items, bool keyed) {
    PutU32(out, static_cast<UInt32>(items.size()));
    for (const AEItem& item : items) {
        if (keyed) PutU32(out, item.key);
        if (item.pooled) {
            PutU32(out, item.desc.descriptorType);
            PutScalar(out, item.desc.descriptorType, contents.pool.At(item.poolOffset),
                      item.poolSize);
        } else {
            PutNode(out, item.desc);
        }
    }
}

void PutNode(std::vector<unsigned char>& out, const AEDesc& desc) {
    PutU32(out, desc.descriptorType);
    AEDataStorage s = desc.dataHandle;
    if (s == nullptr) {
        out.push_back(kNone);
        return;
    }
    switch (s->kind) {
        case AEStorageKind::Scalar:
            PutScalar(out, desc.descriptorType, s->bytes.data(), s->bytes.size());
            break;
        case AEStorageKind::List:
            out.push_back(kList);
            PutItems(out, *s->contents, s->contents->items, false);
            break;
        case AEStorageKind::Record:
            out.push_back(kRecord);
            PutItems(out, *s->contents, s->contents->items, true);
            break;
        case AEStorageKind::Event:
            out.push_back(kEvent);
            PutItems(out, *s->contents, s->contents->attributes, true);
            PutItems(out, *s->contents, s->contents->items, true);
            break;
    }
}

std::size_t NodeSize(const AEDesc& desc) {
    AEDataStorage s = desc.dataHandle;
    std::size_t size = kMinNodeSize;
    if (s == nullptr) return size;
    if (s->kind == AEStorageKind::Scalar) return size + 4 + s->bytes.size();
    bool keyed = s->kind != AEStorageKind::List;
    size += 4;
    for (const AEItem& item : s->contents->items) {
        size += (keyed ? 4 : 0) +
                (item.pooled ? kMinNodeSize + 4 + item.poolSize : NodeSize(item.desc));
    }
    if (s->kind == AEStorageKind::Event) {
        size += 4;
        for (const AEItem& item : s->contents->attributes) size += 4 + NodeSize(item.desc);
    }
    return size;
}

class Reader {
  public:
    Reader(const unsigned char* data, std::size_t size) : p_(data), end_(data + size) {}

    std::size_t Remaining() const { return static_cast<std::size_t>(end_ - p_); }

    bool U32(UInt32* v) {
        if (Remaining() < 4) return false;
        *v = (UInt32{p_[0]} << 24) | (UInt32{p_[1]} << 16) | (UInt32{p_[2]} << 8) | p_[3];
        p_ += 4;
        return true;
    }
    bool U8(unsigned char* v) {
        if (Remaining() < 1) return false;
        *v = *p_++;
        return true;
    }
    bool Bytes(std::size_t n, const unsigned char** at) {
        if (Remaining() < n) return false;
        *at = p_;
        p_ += n;
        return true;
    }

    OSErr Node(int depth, AEDesc* out);

  private:
    OSErr Items(int depth, bool keyed, AEContainerData* contents, std::vector<AEItem>* items);
    bool PooledScalar(AEContainerData* contents, AEItem* item);

    const unsigned char* p_;
    const unsigned char* end_;
};

bool ValidCodeAttribute(const AEItem& item, AEKeyword key) {
    return item.key == key && item.desc.descriptorType == typeType &&
           ae::IsKind(&item.desc, AEStorageKind::Scalar) && item.desc.dataHandle->bytes.size() == 4;
}

// A list's scalar item read straight into the list's pool (as AEPutPtr keeps
// it); false, with nothing consumed, for any other node.
bool Reader::PooledScalar(AEContainerData* contents, AEItem* item) {
    if (Remaining() < kMinNodeSize + 4 || p_[4] != kScalar) return false;
    const UInt32 type =
        (UInt32{p_[0]} << 24) | (UInt32{p_[1]} << 16) | (UInt32{p_[2]} << 8) | p_[3];
    if (type == typeNull || type == typeAEList || type == typeAERecord || type == typeAppleEvent) {
        return false;  // refused by Node
    }
    const std::size_t length =
        (std::size_t{p_[5]} << 24) | (std::size_t{p_[6]} << 16) | (std::size_t{p_[7]} << 8) | p_[8];
    if (Remaining() - (kMinNodeSize + 4) < length) return false;
    std::uint32_t offset = 0;
    if (!contents->pool.Append(p_ + kMinNodeSize + 4, length, &offset)) return false;
    // The pool holds native byte order, as every scalar does.
    SwapElements(type, contents->pool.At(offset), length);
    *item = AEItem(typeWildCard, AEDesc{type, nullptr});
    item->pooled = true;
    item->poolOffset = offset;
    item->poolSize = static_cast<std::uint32_t>(length);
    p_ += kMinNodeSize + 4 + length;
    return true;
}

OSErr Reader::Items(int depth, bool keyed, AEContainerData* contents, std::vector<AEItem>* items) {
    UInt32 count = 0;
    if (!U32(&count)) return errAECorruptData;
    // Each item takes at least its node header: a hostile count cannot make
    // us reserve more than the input could hold.
    if (count > Remaining() / (kMinNodeSize + (keyed ? 4 : 0))) return errAECorruptData;
    items->reserve(count);
    std::unordered_set<AEKeyword> seen;
    for (UInt32 k = 0; k < count; ++k) {
        AEKeyword key = typeWildCard;
        if (keyed) {
            if (!U32(&key) || !seen.insert(key).second) return errAECorruptData;
        }
        if (!keyed && depth < ae::kMaxDepth) {
            AEItem item;
            if (PooledScalar(contents, &item)) {
                items->push_back(item);
                continue;
            }
        }
        AEDesc value = ae::NullDesc();
        OSErr err = Node(depth + 1, &value);
        if (err != noErr) return err;
        items->push_back({key, value});
    }
    return noErr;
}

OSErr Reader::Node(int depth, AEDesc* out) {
    *out = ae::NullDesc();
    if (depth > ae::kMaxDepth) return errAECorruptData;
    UInt32 type = 0;
    unsigned char kind = 0;
    if (!U32(&type) || !U8(&kind)) return errAECorruptData;
    // Only the forms the descriptor routines can make are accepted, so that a
    // read-back descriptor flattens to the same bytes.
    if (type == typeNull && kind != kNone) return errAECorruptData;
    switch (kind) {
        case kNone:
            *out = AEDesc{type, nullptr};
            return noErr;
        case kScalar: {
            if (type == typeAEList || type == typeAERecord || type == typeAppleEvent) {
                return errAECorruptData;
            }
            UInt32 length = 0;
            const unsigned char* at = nullptr;
            if (!U32(&length) || !Bytes(length, &at)) return errAECorruptData;
            AEDesc value = ae::MakeScalar(type, at, length);
            SwapElements(type, value.dataHandle->bytes.data(), length);
            *out = value;
            return noErr;
        }
        case kList:
        case kRecord:
        case kEvent: {
            if ((kind == kList) != (type == typeAEList)) return errAECorruptData;
            if ((kind == kEvent) != (type == typeAppleEvent)) return errAECorruptData;
            AEStorageKind storage = kind == kList     ? AEStorageKind::List
                                    : kind == kRecord ? AEStorageKind::Record
                                                      : AEStorageKind::Event;
            AEDesc value = ae::MakeContainer(type, storage);
            OSErr err = noErr;
            AEContainerData* contents = value.dataHandle->contents;
            if (kind == kEvent) {
                auto& attrs = contents->attributes;
                err = Items(depth, true, contents, &attrs);
                if (err == noErr &&
                    (attrs.size() < 2 || !ValidCodeAttribute(attrs[0], keyEventClassAttr) ||
                     !ValidCodeAttribute(attrs[1], keyEventIDAttr))) {
                    err = errAECorruptData;
                }
            }
            if (err == noErr) err = Items(depth, kind != kList, contents, &contents->items);
            if (err != noErr) {
                ae::Release(value.dataHandle);
                return err;
            }
            *out = value;
            return noErr;
        }
        default:
            return errAECorruptData;
    }
}

}  // namespace

namespace ae {

std::vector<unsigned char> Flatten(const AEDesc& desc) {
    std::vector<unsigned char> out;
    out.reserve(kHeaderSize + NodeSize(desc));
    for (unsigned char c : kMagic) out.push_back(c);
    out.push_back(static_cast<unsigned char>(kVersion >> 8));
    out.push_back(static_cast<unsigned char>(kVersion));
    out.push_back(0);
    out.push_back(0);
    PutNode(out, desc);
    return out;
}

OSErr Unflatten(const unsigned char* data, std::size_t size, AEDesc* out) {
    *out = NullDesc();
    if (data == nullptr || size < kHeaderSize) return errAECorruptData;
    if (std::memcmp(data, kMagic, 4) != 0) return errAECorruptData;
    UInt16 version = static_cast<UInt16>((data[4] << 8) | data[5]);
    if (version > kVersion) return errAENewerVersion;
    if (version != kVersion || data[6] != 0 || data[7] != 0) return errAECorruptData;
    Reader reader(data + kHeaderSize, size - kHeaderSize);
    AEDesc value = NullDesc();
    OSErr err = reader.Node(0, &value);
    if (err == noErr && reader.Remaining() != 0) {
        Release(value.dataHandle);
        err = errAECorruptData;
    }
    if (err == noErr) *out = value;
    return err;
}

}  // namespace ae

Size AESizeOfFlattenedDesc(const AEDesc* desc) {
    if (desc == nullptr) return 0;
    return static_cast<Size>(kHeaderSize + NodeSize(*desc));
}

OSErr AEFlattenDesc(const AEDesc* desc, void* buffer, Size bufferSize, Size* actualSize) {
    if (desc == nullptr || bufferSize < 0 || (buffer == nullptr && bufferSize > 0)) {
        return paramErr;
    }
    std::vector<unsigned char> bytes = ae::Flatten(*desc);
    if (actualSize != nullptr) *actualSize = static_cast<Size>(bytes.size());
    if (static_cast<std::size_t>(bufferSize) < bytes.size()) return errAEBufferTooSmall;
    std::memcpy(buffer, bytes.data(), bytes.size());
    return noErr;
}

OSErr AEUnflattenDesc(const void* buffer, Size bufferSize, AEDesc* out) {
    if (out == nullptr) return paramErr;
    *out = ae::NullDesc();
    if (buffer == nullptr || bufferSize < 0) return errAECorruptData;
    return ae::Unflatten(static_cast<const unsigned char*>(buffer),
                         static_cast<std::size_t>(bufferSize), out);
}
