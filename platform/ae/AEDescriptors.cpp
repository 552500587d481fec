#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "platform/AppleEvents.h"
#include "platform/ae/AEInternal.h"

AEBytePool::AEBytePool(const AEBytePool& other) {
    if (other.size_ == 0) return;
    data_ = static_cast<unsigned char*>(std::malloc(other.size_));
    if (data_ == nullptr) throw std::bad_alloc();
    std::memcpy(data_, other.data_, other.size_);
    size_ = capacity_ = other.size_;
}

AEBytePool& AEBytePool::operator=(AEBytePool&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    return *this;
}

AEBytePool::~AEBytePool() {
    std::free(data_);
}

bool AEBytePool::Append(const void* data, std::size_t size, std::uint32_t* offset) {
    constexpr std::size_t kLimit = UINT32_MAX;
    if (size > kLimit - size_) return false;
    if (size_ + size > capacity_) {
        std::size_t capacity = std::max<std::size_t>(capacity_ * 2, 4096);
        capacity = std::min(std::max(capacity, size_ + size), kLimit);
        void* grown = std::realloc(data_, capacity);
        if (grown == nullptr) return false;
        data_ = static_cast<unsigned char*>(grown);
        capacity_ = capacity;
    }
    if (size > 0) std::memcpy(data_ + size_, data, size);
    *offset = static_cast<std::uint32_t>(size_);
    size_ += size;
    return true;
}

void AEBytePool::Compact(std::vector<AEItem>& items) {
    std::size_t live = 0;
    for (const AEItem& item : items) {
        if (item.pooled) live += item.poolSize;
    }
    auto* data = static_cast<unsigned char*>(std::malloc(std::max<std::size_t>(live, 1)));
    if (data == nullptr) return;  // keep the garbage rather than fail the change
    std::size_t at = 0;
    for (AEItem& item : items) {
        if (!item.pooled) continue;
        if (item.poolSize > 0) std::memcpy(data + at, data_ + item.poolOffset, item.poolSize);
        item.poolOffset = static_cast<std::uint32_t>(at);
        at += item.poolSize;
    }
    std::free(data_);
    data_ = data;
    size_ = at;
    capacity_ = std::max<std::size_t>(live, 1);
}

namespace ae {

AEDataStorage NewStorage(AEStorageKind kind) {
    auto* storage = new OpaqueAEDataStorage;
    storage->kind = kind;
    if (kind != AEStorageKind::Scalar) storage->contents = new AEContainerData;
    return storage;
}

void Retain(AEDataStorage storage) {
    if (storage != nullptr) storage->refs.fetch_add(1, std::memory_order_relaxed);
}

namespace {

void ReleaseContents(AEContainerData* contents) {
    if (contents->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    for (AEItem& item : contents->items) Release(item.desc.dataHandle);
    for (AEItem& item : contents->attributes) Release(item.desc.dataHandle);
    delete contents;
}

// Items of their own for a copy: nested containers get storage of their own
// (sharing their contents), so that no storage is reachable from two places.
void CopyItems(const std::vector<AEItem>& from, std::vector<AEItem>& to) {
    to = from;
    for (AEItem& item : to) {
        if (!item.pooled) item.desc = Clone(item.desc);
    }
}

}  // namespace

void Release(AEDataStorage storage) {
    if (storage == nullptr) return;
    if (storage->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    if (storage->contents != nullptr) ReleaseContents(storage->contents);
    delete storage;
}

AEContainerData& MutableContents(AEDataStorage storage) {
    AEContainerData* contents = storage->contents;
    if (contents->refs.load(std::memory_order_acquire) == 1) return *contents;
    auto copy = std::make_unique<AEContainerData>();
    CopyItems(contents->items, copy->items);
    CopyItems(contents->attributes, copy->attributes);
    if (contents->poolGarbage == 0) {
        copy->pool = AEBytePool(contents->pool);
    } else {
        // Copy only what is still referred to.
        for (AEItem& item : copy->items) {
            if (!item.pooled) continue;
            const unsigned char* data = contents->pool.At(item.poolOffset);
            if (!copy->pool.Append(data, item.poolSize, &item.poolOffset)) throw std::bad_alloc();
        }
    }
    storage->contents = copy.release();
    ReleaseContents(contents);
    return *storage->contents;
}

AEDesc NullDesc() {
    return AEDesc{typeNull, nullptr};
}

AEDesc MakeScalar(DescType type, const void* data, std::size_t size) {
    AEDataStorage storage = NewStorage(AEStorageKind::Scalar);
    if (size > 0) {
        const auto* p = static_cast<const unsigned char*>(data);
        storage->bytes.assign(p, p + size);
    }
    return AEDesc{type, storage};
}

AEDesc MakeContainer(DescType type, AEStorageKind kind) {
    return AEDesc{type, NewStorage(kind)};
}

AEDesc Clone(const AEDesc& desc) {
    AEDataStorage from = desc.dataHandle;
    if (from == nullptr || from->kind == AEStorageKind::Scalar) {
        Retain(from);
        return desc;
    }
    auto* to = new OpaqueAEDataStorage;
    to->kind = from->kind;
    to->contents = from->contents;
    to->contents->refs.fetch_add(1, std::memory_order_relaxed);
    return AEDesc{desc.descriptorType, to};
}

bool ItemBytes(const AEContainerData& contents, const AEItem& item, const unsigned char** data,
               std::size_t* size) {
    if (item.pooled) {
        *data = contents.pool.At(item.poolOffset);
        *size = item.poolSize;
        return true;
    }
    if (!IsKind(&item.desc, AEStorageKind::Scalar)) return false;
    *data = item.desc.dataHandle->bytes.data();
    *size = item.desc.dataHandle->bytes.size();
    return true;
}

AEDesc ItemValue(const AEContainerData& contents, const AEItem& item) {
    if (!item.pooled) return Clone(item.desc);
    return MakeScalar(item.desc.descriptorType, contents.pool.At(item.poolOffset), item.poolSize);
}

AEItem* FindKey(std::vector<AEItem>& items, AEKeyword key) {
    for (AEItem& item : items) {
        if (item.key == key) return &item;
    }
    return nullptr;
}

const AEItem* FindKey(const std::vector<AEItem>& items, AEKeyword key) {
    for (const AEItem& item : items) {
        if (item.key == key) return &item;
    }
    return nullptr;
}

void PutKeyAdopt(std::vector<AEItem>& items, AEKeyword key, AEDesc* value) {
    // A key keeps its first position when replaced, so that order is stable.
    if (AEItem* existing = FindKey(items, key)) {
        Release(existing->desc.dataHandle);
        existing->desc = *value;
    } else {
        items.push_back({key, *value});
    }
    *value = NullDesc();
}

std::vector<unsigned char> DataBytes(const AEDesc& desc) {
    if (desc.dataHandle == nullptr) return {};
    if (desc.dataHandle->kind == AEStorageKind::Scalar) return desc.dataHandle->bytes;
    return Flatten(desc);
}

OSErr CopyOutBytes(DescType type, const unsigned char* data, std::size_t size, DescType* actualType,
                   void* buffer, Size maxSize, Size* actualSize) {
    if (maxSize < 0) return paramErr;
    if (actualType != nullptr) *actualType = type;
    if (actualSize != nullptr) *actualSize = static_cast<Size>(size);
    if (buffer != nullptr && maxSize > 0 && size > 0) {
        std::memcpy(buffer, data, std::min(size, static_cast<std::size_t>(maxSize)));
    }
    return noErr;
}

OSErr CopyOut(const AEDesc& value, DescType* actualType, void* buffer, Size maxSize,
              Size* actualSize) {
    // Scalars are copied straight from their storage; containers flatten.
    if (IsKind(&value, AEStorageKind::Scalar)) {
        const std::vector<unsigned char>& bytes = value.dataHandle->bytes;
        return CopyOutBytes(value.descriptorType, bytes.data(), bytes.size(), actualType, buffer,
                            maxSize, actualSize);
    }
    const std::vector<unsigned char> flattened = DataBytes(value);
    return CopyOutBytes(value.descriptorType, flattened.data(), flattened.size(), actualType,
                        buffer, maxSize, actualSize);
}

}  // namespace ae

namespace {

using ae::IsKind;

bool IsCompoundType(DescType type) {
    return type == typeAEList || type == typeAERecord || type == typeAppleEvent;
}

// Item `index` (1-based) of a list or record, or nullptr.
const AEItem* NthItem(const AEDesc* list, long index) {
    const auto& items = ae::Contents(*list).items;
    if (index < 1 || static_cast<std::size_t>(index) > items.size()) return nullptr;
    return &items[static_cast<std::size_t>(index - 1)];
}

OSErr CheckListOrRecord(const AEDesc* list) {
    if (list == nullptr) return paramErr;
    if (list->dataHandle == nullptr) {
        return IsCompoundType(list->descriptorType) ? errAENotAEDesc : errAEWrongDataType;
    }
    if (!IsKind(list, AEStorageKind::List) && !IsKind(list, AEStorageKind::Record)) {
        return errAEWrongDataType;
    }
    return noErr;
}

OSErr CheckKeyed(const AEDesc* record) {
    if (record == nullptr) return paramErr;
    if (record->dataHandle == nullptr) {
        return IsCompoundType(record->descriptorType) ? errAENotAEDesc : errAEWrongDataType;
    }
    return ae::HasKeys(record) ? noErr : errAEWrongDataType;
}

OSErr CheckEvent(const AEDesc* event) {
    if (event == nullptr) return paramErr;
    if (event->dataHandle == nullptr) {
        return event->descriptorType == typeAppleEvent ? errAENotAEDesc : errAENotAppleEvent;
    }
    return IsKind(event, AEStorageKind::Event) ? noErr : errAENotAppleEvent;
}

OSErr GetCoerced(const AEDesc& value, DescType desiredType, AEDesc* out) {
    return ae::Coerce(value, desiredType, out);
}

OSErr GetCoercedPtr(const AEDesc& value, DescType desiredType, DescType* actualType, void* buffer,
                    Size maxSize, Size* actualSize) {
    AEDesc coerced = ae::NullDesc();
    OSErr err = ae::Coerce(value, desiredType, &coerced);
    if (err != noErr) return err;
    err = ae::CopyOut(coerced, actualType, buffer, maxSize, actualSize);
    ae::Release(coerced.dataHandle);
    return err;
}

// 'evcl' and 'evid' must stay 4-byte 'type' values so that an event can
// always be printed and read back.
OSErr NormaliseAttribute(AEKeyword key, const AEDesc* desc, AEDesc* out) {
    if (key == keyEventClassAttr || key == keyEventIDAttr) {
        OSErr err = ae::Coerce(*desc, typeType, out);
        if (err != noErr) return err;
        if (out->dataHandle == nullptr || out->dataHandle->bytes.size() != 4) {
            ae::Release(out->dataHandle);
            *out = ae::NullDesc();
            return errAEWrongDataType;
        }
        return noErr;
    }
    *out = ae::Clone(*desc);
    return noErr;
}

SInt16 NextReturnID() {
    static std::atomic<SInt16> next{1};
    SInt16 id = next.fetch_add(1);
    if (id <= 0) {  // wrapped: ids stay positive, -1 keeps its meaning
        next.store(2);
        id = 1;
    }
    return id;
}

}  // namespace

// --- Descriptors -------------------------------------------------------------

void AEInitializeDesc(AEDesc* desc) {
    if (desc != nullptr) *desc = ae::NullDesc();
}

OSErr AECreateDesc(DescType type, const void* data, Size size, AEDesc* out) {
    if (out == nullptr) return paramErr;
    *out = ae::NullDesc();
    if (size < 0 || (size > 0 && data == nullptr)) return paramErr;
    if (type == typeNull) return noErr;
    if (IsCompoundType(type)) {
        // Containers travel as their flattening (what AEGetDescData gives).
        if (size == 0) {
            if (type == typeAppleEvent) return errAECorruptData;
            *out = ae::MakeContainer(
                type, type == typeAEList ? AEStorageKind::List : AEStorageKind::Record);
            return noErr;
        }
        AEDesc parsed = ae::NullDesc();
        OSErr err = ae::Unflatten(static_cast<const unsigned char*>(data),
                                  static_cast<std::size_t>(size), &parsed);
        if (err != noErr) return err;
        if (parsed.descriptorType != type) {
            ae::Release(parsed.dataHandle);
            return errAECorruptData;
        }
        *out = parsed;
        return noErr;
    }
    *out = ae::MakeScalar(type, data, static_cast<std::size_t>(size));
    return noErr;
}

OSErr AEDuplicateDesc(const AEDesc* desc, AEDesc* out) {
    if (desc == nullptr || out == nullptr) return paramErr;
    ae::Retain(desc->dataHandle);
    *out = *desc;
    return noErr;
}

OSErr AEDisposeDesc(AEDesc* desc) {
    if (desc == nullptr) return paramErr;
    ae::Release(desc->dataHandle);
    *desc = ae::NullDesc();
    return noErr;
}

Size AEGetDescDataSize(const AEDesc* desc) {
    if (desc == nullptr || desc->dataHandle == nullptr) return 0;
    if (desc->dataHandle->kind == AEStorageKind::Scalar) {
        return static_cast<Size>(desc->dataHandle->bytes.size());
    }
    return AESizeOfFlattenedDesc(desc);
}

OSErr AEGetDescData(const AEDesc* desc, void* buffer, Size bufferSize) {
    if (desc == nullptr) return paramErr;
    if (desc->dataHandle == nullptr) return errAENotAEDesc;
    if (bufferSize < 0 || (bufferSize > 0 && buffer == nullptr)) return paramErr;
    return ae::CopyOut(*desc, nullptr, buffer, bufferSize, nullptr);
}

const void* AEGetDescDataPtr(const AEDesc* desc) {
    if (!IsKind(desc, AEStorageKind::Scalar)) return nullptr;
    return desc->dataHandle->bytes.data();
}

OSErr AECoerceDesc(const AEDesc* desc, DescType toType, AEDesc* out) {
    if (desc == nullptr || out == nullptr) return paramErr;
    AEDesc result = ae::NullDesc();
    OSErr err = ae::Coerce(*desc, toType, &result);
    *out = result;
    return err;
}

OSErr AECoercePtr(DescType type, const void* data, Size size, DescType toType, AEDesc* out) {
    if (out == nullptr) return paramErr;
    AEDesc from = ae::NullDesc();
    OSErr err = AECreateDesc(type, data, size, &from);
    if (err != noErr) {
        *out = ae::NullDesc();
        return err;
    }
    err = AECoerceDesc(&from, toType, out);
    AEDisposeDesc(&from);
    return err;
}

// --- Lists and records -------------------------------------------------------

OSErr AECreateList(const void* factoring, Size factoredSize, Boolean isRecord, AEDescList* out) {
    if (out == nullptr) return paramErr;
    *out = ae::NullDesc();
    // Factored lists save nothing in this storage; only the plain form exists.
    if (factoring != nullptr || factoredSize != 0) return paramErr;
    *out = isRecord ? ae::MakeContainer(typeAERecord, AEStorageKind::Record)
                    : ae::MakeContainer(typeAEList, AEStorageKind::List);
    return noErr;
}

OSErr AECountItems(const AEDescList* list, long* count) {
    if (count == nullptr) return paramErr;
    *count = 0;
    OSErr err = CheckListOrRecord(list);
    if (err != noErr) return err;
    *count = static_cast<long>(ae::Contents(*list).items.size());
    return noErr;
}

namespace {

OSErr CheckPutIndex(const AEDescList* list, long index) {
    if (list->dataHandle == nullptr) {
        return list->descriptorType == typeAEList ? errAENotAEDesc : errAEWrongDataType;
    }
    if (!IsKind(list, AEStorageKind::List)) return errAEWrongDataType;
    const auto& items = ae::Contents(*list).items;
    if (index < 0 || static_cast<std::size_t>(index) > items.size()) return errAEIllegalIndex;
    return noErr;
}

// Gives up an item's data: a reference of its own is released, pooled bytes
// become garbage (reclaimed by CompactIfWasteful).
void DropItem(AEContainerData& contents, const AEItem& item) {
    if (item.pooled) {
        contents.poolGarbage += item.poolSize;
    } else {
        ae::Release(item.desc.dataHandle);
    }
}

// Replacing and deleting pooled items leaves garbage; once it is most of the
// pool the pool is rebuilt, so a list edited in a loop does not grow.
void CompactIfWasteful(AEContainerData& contents) {
    constexpr std::size_t kSlack = 64 * 1024;
    if (contents.poolGarbage <= kSlack || contents.poolGarbage * 2 <= contents.pool.size()) return;
    contents.pool.Compact(contents.items);
    contents.poolGarbage = 0;
}

void PutItem(AEDescList* list, long index, const AEItem& value) {
    AEContainerData& contents = ae::MutableContents(list->dataHandle);
    if (index == 0) {
        contents.items.push_back(value);
        return;
    }
    AEItem& item = contents.items[static_cast<std::size_t>(index - 1)];
    DropItem(contents, item);
    item = value;
    CompactIfWasteful(contents);
}

}  // namespace

OSErr AEPutDesc(AEDescList* list, long index, const AEDesc* desc) {
    if (list == nullptr || desc == nullptr) return paramErr;
    OSErr err = CheckPutIndex(list, index);
    if (err != noErr) return err;
    // A copy, made before the list changes: a list put into itself holds
    // its former state, never itself.
    PutItem(list, index, AEItem(typeWildCard, ae::Clone(*desc)));
    return noErr;
}

OSErr AEPutPtr(AEDescList* list, long index, DescType type, const void* data, Size size) {
    if (size < 0 || (size > 0 && data == nullptr)) return paramErr;
    if (type == typeNull || IsCompoundType(type) || list == nullptr) {
        AEDesc value = ae::NullDesc();
        OSErr err = AECreateDesc(type, data, size, &value);
        if (err != noErr) return err;
        err = AEPutDesc(list, index, &value);
        AEDisposeDesc(&value);
        return err;
    }
    OSErr err = CheckPutIndex(list, index);
    if (err != noErr) return err;
    // Scalar items go into the list's pool: no storage of their own, so a
    // list of a million results costs a few large blocks, not two million
    // small ones.
    AEContainerData& contents = ae::MutableContents(list->dataHandle);
    AEItem item(typeWildCard, AEDesc{type, nullptr});
    if (contents.pool.Append(data, static_cast<std::size_t>(size), &item.poolOffset)) {
        item.pooled = true;
        item.poolSize = static_cast<std::uint32_t>(size);
    } else {
        item.desc = ae::MakeScalar(type, data, static_cast<std::size_t>(size));
    }
    if (index == 0) {
        contents.items.push_back(item);  // appending, the common case
    } else {
        PutItem(list, index, item);
    }
    return noErr;
}

namespace {

OSErr GetItemCoerced(const AEContainerData& contents, const AEItem& item, DescType desiredType,
                     AEDesc* out) {
    if (!item.pooled) return GetCoerced(item.desc, desiredType, out);
    AEDesc value = ae::ItemValue(contents, item);
    if (desiredType == typeWildCard || desiredType == value.descriptorType) {
        *out = value;
        return noErr;
    }
    OSErr err = ae::Coerce(value, desiredType, out);
    ae::Release(value.dataHandle);
    return err;
}

OSErr GetItemCoercedPtr(const AEContainerData& contents, const AEItem& item, DescType desiredType,
                        DescType* actualType, void* buffer, Size maxSize, Size* actualSize) {
    const DescType type = item.desc.descriptorType;
    if (item.pooled && (desiredType == typeWildCard || desiredType == type)) {
        return ae::CopyOutBytes(type, contents.pool.At(item.poolOffset), item.poolSize, actualType,
                                buffer, maxSize, actualSize);
    }
    if (!item.pooled) {
        return GetCoercedPtr(item.desc, desiredType, actualType, buffer, maxSize, actualSize);
    }
    AEDesc value = ae::ItemValue(contents, item);
    OSErr err = GetCoercedPtr(value, desiredType, actualType, buffer, maxSize, actualSize);
    ae::Release(value.dataHandle);
    return err;
}

}  // namespace

OSErr AEGetNthDesc(const AEDescList* list, long index, DescType desiredType, AEKeyword* keyword,
                   AEDesc* out) {
    if (out == nullptr) return paramErr;
    *out = ae::NullDesc();
    OSErr err = CheckListOrRecord(list);
    if (err != noErr) return err;
    const AEItem* item = NthItem(list, index);
    if (item == nullptr) return errAEIllegalIndex;
    if (keyword != nullptr) *keyword = item->key;
    return GetItemCoerced(ae::Contents(*list), *item, desiredType, out);
}

OSErr AEGetNthPtr(const AEDescList* list, long index, DescType desiredType, AEKeyword* keyword,
                  DescType* actualType, void* buffer, Size maxSize, Size* actualSize) {
    OSErr err = CheckListOrRecord(list);
    if (err != noErr) return err;
    const AEItem* item = NthItem(list, index);
    if (item == nullptr) return errAEIllegalIndex;
    if (keyword != nullptr) *keyword = item->key;
    return GetItemCoercedPtr(ae::Contents(*list), *item, desiredType, actualType, buffer, maxSize,
                             actualSize);
}

OSErr AEDeleteItem(AEDescList* list, long index) {
    OSErr err = CheckListOrRecord(list);
    if (err != noErr) return err;
    if (index < 1 || static_cast<std::size_t>(index) > ae::Contents(*list).items.size()) {
        return errAEIllegalIndex;
    }
    AEContainerData& contents = ae::MutableContents(list->dataHandle);
    DropItem(contents, contents.items[static_cast<std::size_t>(index - 1)]);
    contents.items.erase(contents.items.begin() + (index - 1));
    CompactIfWasteful(contents);
    return noErr;
}

OSErr AEPutKeyDesc(AERecord* record, AEKeyword key, const AEDesc* desc) {
    if (desc == nullptr) return paramErr;
    OSErr err = CheckKeyed(record);
    if (err != noErr) return err;
    AEDesc copy = ae::Clone(*desc);
    ae::PutKeyAdopt(ae::MutableContents(record->dataHandle).items, key, &copy);
    return noErr;
}

OSErr AEPutKeyPtr(AERecord* record, AEKeyword key, DescType type, const void* data, Size size) {
    AEDesc value = ae::NullDesc();
    OSErr err = AECreateDesc(type, data, size, &value);
    if (err != noErr) return err;
    err = AEPutKeyDesc(record, key, &value);
    AEDisposeDesc(&value);
    return err;
}

OSErr AEGetKeyDesc(const AERecord* record, AEKeyword key, DescType desiredType, AEDesc* out) {
    if (out == nullptr) return paramErr;
    *out = ae::NullDesc();
    OSErr err = CheckKeyed(record);
    if (err != noErr) return err;
    const AEItem* item = ae::FindKey(ae::Contents(*record).items, key);
    if (item == nullptr) return errAEDescNotFound;
    return GetCoerced(item->desc, desiredType, out);
}

OSErr AEGetKeyPtr(const AERecord* record, AEKeyword key, DescType desiredType, DescType* actualType,
                  void* buffer, Size maxSize, Size* actualSize) {
    OSErr err = CheckKeyed(record);
    if (err != noErr) return err;
    const AEItem* item = ae::FindKey(ae::Contents(*record).items, key);
    if (item == nullptr) return errAEDescNotFound;
    return GetCoercedPtr(item->desc, desiredType, actualType, buffer, maxSize, actualSize);
}

OSErr AEDeleteKeyDesc(AERecord* record, AEKeyword key) {
    OSErr err = CheckKeyed(record);
    if (err != noErr) return err;
    if (ae::FindKey(ae::Contents(*record).items, key) == nullptr) return errAEDescNotFound;
    auto& items = ae::MutableContents(record->dataHandle).items;
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (it->key == key) {
            ae::Release(it->desc.dataHandle);
            items.erase(it);
            return noErr;
        }
    }
    return errAEDescNotFound;
}

// --- Apple events ------------------------------------------------------------

OSErr AECreateAppleEvent(AEEventClass eventClass, AEEventID eventID, const AEAddressDesc* target,
                         AEReturnID returnID, AETransactionID transactionID, AppleEvent* out) {
    if (out == nullptr) return paramErr;
    if (returnID == kAutoGenerateReturnID) returnID = NextReturnID();
    AEDesc event = ae::MakeContainer(typeAppleEvent, AEStorageKind::Event);
    auto& attrs = event.dataHandle->contents->attributes;
    AEDesc value = ae::MakeScalar(typeType, &eventClass, 4);
    ae::PutKeyAdopt(attrs, keyEventClassAttr, &value);
    value = ae::MakeScalar(typeType, &eventID, 4);
    ae::PutKeyAdopt(attrs, keyEventIDAttr, &value);
    value = target != nullptr ? ae::Clone(*target) : ae::NullDesc();
    ae::PutKeyAdopt(attrs, keyAddressAttr, &value);
    value = ae::MakeScalar(typeSInt16, &returnID, sizeof returnID);
    ae::PutKeyAdopt(attrs, keyReturnIDAttr, &value);
    value = ae::MakeScalar(typeSInt32, &transactionID, sizeof transactionID);
    ae::PutKeyAdopt(attrs, keyTransactionIDAttr, &value);
    *out = event;
    return noErr;
}

OSErr AEPutParamDesc(AppleEvent* event, AEKeyword key, const AEDesc* desc) {
    return AEPutKeyDesc(event, key, desc);
}

OSErr AEPutParamPtr(AppleEvent* event, AEKeyword key, DescType type, const void* data, Size size) {
    return AEPutKeyPtr(event, key, type, data, size);
}

OSErr AEGetParamDesc(const AppleEvent* event, AEKeyword key, DescType desiredType, AEDesc* out) {
    return AEGetKeyDesc(event, key, desiredType, out);
}

OSErr AEGetParamPtr(const AppleEvent* event, AEKeyword key, DescType desiredType,
                    DescType* actualType, void* buffer, Size maxSize, Size* actualSize) {
    return AEGetKeyPtr(event, key, desiredType, actualType, buffer, maxSize, actualSize);
}

OSErr AEDeleteParam(AppleEvent* event, AEKeyword key) {
    return AEDeleteKeyDesc(event, key);
}

OSErr AESizeOfParam(const AppleEvent* event, AEKeyword key, DescType* type, Size* size) {
    OSErr err = CheckKeyed(event);
    if (err != noErr) return err;
    const AEItem* item = ae::FindKey(ae::Contents(*event).items, key);
    if (item == nullptr) return errAEDescNotFound;
    if (type != nullptr) *type = item->desc.descriptorType;
    if (size != nullptr) *size = AEGetDescDataSize(&item->desc);
    return noErr;
}

OSErr AEPutAttributeDesc(AppleEvent* event, AEKeyword key, const AEDesc* desc) {
    if (desc == nullptr) return paramErr;
    OSErr err = CheckEvent(event);
    if (err != noErr) return err;
    AEDesc value = ae::NullDesc();
    err = NormaliseAttribute(key, desc, &value);
    if (err != noErr) return err;
    ae::PutKeyAdopt(ae::MutableContents(event->dataHandle).attributes, key, &value);
    return noErr;
}

OSErr AEPutAttributePtr(AppleEvent* event, AEKeyword key, DescType type, const void* data,
                        Size size) {
    AEDesc value = ae::NullDesc();
    OSErr err = AECreateDesc(type, data, size, &value);
    if (err != noErr) return err;
    err = AEPutAttributeDesc(event, key, &value);
    AEDisposeDesc(&value);
    return err;
}

OSErr AEGetAttributeDesc(const AppleEvent* event, AEKeyword key, DescType desiredType,
                         AEDesc* out) {
    if (out == nullptr) return paramErr;
    *out = ae::NullDesc();
    OSErr err = CheckEvent(event);
    if (err != noErr) return err;
    const AEItem* item = ae::FindKey(ae::Contents(*event).attributes, key);
    if (item == nullptr) return errAEDescNotFound;
    return GetCoerced(item->desc, desiredType, out);
}

OSErr AEGetAttributePtr(const AppleEvent* event, AEKeyword key, DescType desiredType,
                        DescType* actualType, void* buffer, Size maxSize, Size* actualSize) {
    OSErr err = CheckEvent(event);
    if (err != noErr) return err;
    const AEItem* item = ae::FindKey(ae::Contents(*event).attributes, key);
    if (item == nullptr) return errAEDescNotFound;
    return GetCoercedPtr(item->desc, desiredType, actualType, buffer, maxSize, actualSize);
}

// --- Object specifiers -------------------------------------------------------

OSErr CreateObjSpecifier(DescType desiredClass, AEDesc* container, DescType keyForm,
                         AEDesc* keyData, Boolean disposeInputs, AEDesc* out) {
    if (out == nullptr) return paramErr;
    *out = ae::NullDesc();
    if (keyData == nullptr) return paramErr;
    AEDesc spec = ae::MakeContainer(typeObjectSpecifier, AEStorageKind::Record);
    auto& items = spec.dataHandle->contents->items;
    AEDesc value = ae::MakeScalar(typeType, &desiredClass, 4);
    ae::PutKeyAdopt(items, keyAEDesiredClass, &value);
    value = container != nullptr ? ae::Clone(*container) : ae::NullDesc();
    ae::PutKeyAdopt(items, keyAEContainer, &value);
    value = ae::MakeScalar(typeEnumerated, &keyForm, 4);
    ae::PutKeyAdopt(items, keyAEKeyForm, &value);
    value = ae::Clone(*keyData);
    ae::PutKeyAdopt(items, keyAEKeyData, &value);
    if (disposeInputs) {
        if (container != nullptr) AEDisposeDesc(container);
        AEDisposeDesc(keyData);
    }
    *out = spec;
    return noErr;
}
