#include "platform/posix/AppleDouble.h"

namespace sw::posix {
namespace {

constexpr std::uint32_t kVersion1 = 0x00010000;
constexpr std::uint32_t kVersion2 = 0x00020000;
constexpr std::uint32_t kAttrMagic = 0x41545452;  // 'ATTR'
constexpr std::size_t kAttrHeaderSize = 36;
constexpr std::size_t kAttrEntryFixed = 11;  // offset, length, flags, name length
constexpr std::int32_t kUnknownDate = static_cast<std::int32_t>(0x80000000u);
constexpr std::int64_t kSeconds1970To2000 = 946684800;

bool MagicOk(std::uint32_t magic, bool allowSingle) {
    return magic == kAppleDoubleMagic || (allowSingle && magic == kAppleSingleMagic);
}

}  // namespace

const AppleDoubleEntry* AppleDoubleHeader::Find(std::uint32_t id) const {
    for (const auto& e : entries)
        if (e.id == id) return &e;
    return nullptr;
}

std::optional<std::size_t> AppleDoubleTableSize(std::span<const std::uint8_t> prefix,
                                                bool allowSingle) {
    if (prefix.size() < kAppleDoubleHeaderSize) return std::nullopt;
    if (!MagicOk(Be32(prefix.data()), allowSingle)) return std::nullopt;
    std::size_t n = Be16(prefix.data() + 24);
    if (n == 0) return std::nullopt;
    return kAppleDoubleHeaderSize + 12 * n;
}

std::optional<AppleDoubleHeader> ParseAppleDouble(std::span<const std::uint8_t> head,
                                                  std::uint64_t fileSize, bool allowSingle) {
    if (fileSize < kAppleDoubleHeaderSize || head.size() < kAppleDoubleHeaderSize)
        return std::nullopt;
    const std::uint8_t* p = head.data();
    std::uint32_t magic = Be32(p);
    std::uint32_t version = Be32(p + 4);
    if (!MagicOk(magic, allowSingle)) return std::nullopt;
    if (version != kVersion1 && version != kVersion2) return std::nullopt;
    std::size_t n = Be16(p + 24);
    std::uint64_t tableEnd = kAppleDoubleHeaderSize + 12 * std::uint64_t{n};
    if (n == 0 || tableEnd > fileSize || tableEnd > head.size()) return std::nullopt;

    AppleDoubleHeader h;
    h.single = magic == kAppleSingleMagic;
    h.version = version;
    h.entries.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* e = p + kAppleDoubleHeaderSize + 12 * i;
        AppleDoubleEntry entry{Be32(e), Be32(e + 4), Be32(e + 8)};
        if (entry.id == 0) return std::nullopt;
        if (std::uint64_t{entry.offset} + entry.length > fileSize) return std::nullopt;
        if (entry.id == kADFinderInfo && entry.length < 32) return std::nullopt;
        h.entries.push_back(entry);
    }
    return h;
}

std::optional<std::span<const std::uint8_t>> AppleDoubleEntryBytes(
    const AppleDoubleHeader& header, std::span<const std::uint8_t> whole, std::uint32_t id) {
    const AppleDoubleEntry* e = header.Find(id);
    if (e == nullptr) return std::nullopt;
    if (std::uint64_t{e->offset} + e->length > whole.size()) return std::nullopt;
    return whole.subspan(e->offset, e->length);
}

std::vector<AttrBlockItem> ParseAttrBlock(const AppleDoubleHeader& header,
                                          std::span<const std::uint8_t> whole) {
    std::vector<AttrBlockItem> items;
    const AppleDoubleEntry* fi = header.Find(kADFinderInfo);
    if (fi == nullptr || fi->length <= 32) return items;
    // The block follows the Finder information, aligned to 4 bytes.
    std::uint64_t start = (std::uint64_t{fi->offset} + 32 + 3) & ~std::uint64_t{3};
    std::uint64_t entryEnd = std::uint64_t{fi->offset} + fi->length;
    if (entryEnd > whole.size() || start + kAttrHeaderSize > entryEnd) return items;
    const std::uint8_t* b = whole.data() + start;
    if (Be32(b) != kAttrMagic) return items;
    std::uint64_t total = Be32(b + 8);
    // The block's own size bounds everything it describes (offsets count from
    // the file start); a size beyond the file is corrupt.
    if (total > whole.size() || total < start + kAttrHeaderSize) return items;
    std::size_t count = Be16(b + 34);
    std::uint64_t pos = start + kAttrHeaderSize;
    for (std::size_t i = 0; i < count; ++i) {
        if (pos + kAttrEntryFixed > total) return {};
        const std::uint8_t* e = whole.data() + pos;
        std::uint32_t off = Be32(e);
        std::uint32_t len = Be32(e + 4);
        std::size_t nameLen = e[10];  // counts the terminating NUL
        if (nameLen == 0 || pos + kAttrEntryFixed + nameLen > total) return {};
        if (std::uint64_t{off} + len > total) return {};
        const char* name = reinterpret_cast<const char*>(e + kAttrEntryFixed);
        std::string_view nm(name, nameLen);
        if (auto nul = nm.find('\0'); nul != std::string_view::npos) nm = nm.substr(0, nul);
        items.push_back({nm, whole.subspan(off, len)});
        pos = (pos + kAttrEntryFixed + nameLen + 3) & ~std::uint64_t{3};
    }
    return items;
}

std::optional<std::int64_t> AppleDoubleCreationDate(std::span<const std::uint8_t> dates) {
    if (dates.size() < 4) return std::nullopt;
    auto created = static_cast<std::int32_t>(Be32(dates.data()));
    if (created == kUnknownDate) return std::nullopt;
    return kSeconds1970To2000 + created;
}

}  // namespace sw::posix
