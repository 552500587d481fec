#include "platform/posix/ResourceFork.h"

#include "platform/posix/AppleDouble.h"

namespace sw::posix {
namespace {

constexpr std::size_t kForkHeaderSize = 16;
constexpr std::size_t kMapFixedSize = 28;  // header copy, next map, file ref, attrs, 2 offsets
constexpr std::size_t kTypeEntrySize = 8;
constexpr std::size_t kRefEntrySize = 12;

std::uint32_t Be24(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | std::uint32_t{p[2]};
}

}  // namespace

OSErr ResourceForkMap::Parse(std::span<const std::uint8_t> fork, ResourceForkMap& out) {
    out.resources_.clear();
    if (fork.empty()) return eofErr;
    if (fork.size() < kForkHeaderSize) return mapReadErr;
    const std::uint8_t* base = fork.data();
    const std::uint64_t size = fork.size();
    const std::uint64_t dataStart = Be32(base);
    const std::uint64_t mapStart = Be32(base + 4);
    const std::uint64_t dataLength = Be32(base + 8);
    const std::uint64_t mapLength = Be32(base + 12);
    if (dataStart + dataLength > size || mapStart + mapLength > size) return mapReadErr;
    if (mapLength < kMapFixedSize) return mapReadErr;
    // The map's copy of the header, next-map handle, file reference and
    // attributes are reserved: real files carry junk there, so they are ignored.
    const std::uint8_t* map = base + mapStart;
    const std::uint64_t typeListOffset = Be16(map + 24);
    const std::uint64_t nameListOffset = Be16(map + 26);
    if (typeListOffset + 2 > mapLength || nameListOffset > mapLength) return mapReadErr;
    const std::uint8_t* typeList = map + typeListOffset;
    const std::size_t typeCount = (Be16(typeList) + 1u) & 0xFFFFu;  // stored minus one
    if (typeListOffset + 2 + typeCount * kTypeEntrySize > mapLength) return mapReadErr;

    // Every reference occupies its own 12 bytes of the map; a map that claims
    // more (type entries sharing one list) is corrupt and would cost unbounded work.
    std::uint64_t totalRefs = 0;
    for (std::size_t t = 0; t < typeCount; ++t) {
        const std::uint8_t* te = typeList + 2 + t * kTypeEntrySize;
        totalRefs += Be16(te + 4) + 1u;
    }
    if (totalRefs * kRefEntrySize > mapLength) return mapReadErr;

    std::vector<ResourceInfo> resources;
    resources.reserve(static_cast<std::size_t>(totalRefs));
    for (std::size_t t = 0; t < typeCount; ++t) {
        const std::uint8_t* te = typeList + 2 + t * kTypeEntrySize;
        const ResType type = Be32(te);
        const std::uint64_t count = Be16(te + 4) + 1u;
        const std::uint64_t refListOffset = typeListOffset + Be16(te + 6);
        if (refListOffset + count * kRefEntrySize > mapLength) return mapReadErr;
        for (std::uint64_t r = 0; r < count; ++r) {
            const std::uint8_t* re = map + refListOffset + r * kRefEntrySize;
            ResourceInfo info;
            info.type = type;
            info.id = static_cast<SInt16>(Be16(re));
            const std::uint16_t nameOffset = Be16(re + 2);
            info.attributes = re[4];
            const std::uint64_t dataOffset = Be24(re + 5);
            if (dataOffset + 4 > dataLength) return mapReadErr;
            const std::uint64_t length = Be32(base + dataStart + dataOffset);
            if (dataOffset + 4 + length > dataLength) return mapReadErr;
            info.dataOffset = static_cast<std::uint32_t>(dataStart + dataOffset + 4);
            info.dataLength = static_cast<std::uint32_t>(length);
            if (nameOffset != 0xFFFF) {
                const std::uint64_t at = nameListOffset + nameOffset;
                if (at + 1 > mapLength || at + 1 + map[at] > mapLength) return mapReadErr;
                info.name.assign(reinterpret_cast<const char*>(map + at + 1), map[at]);
            }
            resources.push_back(std::move(info));
        }
    }
    out.resources_ = std::move(resources);
    return noErr;
}

const ResourceInfo* ResourceForkMap::Find(ResType type, SInt16 id) const {
    for (const auto& r : resources_)
        if (r.type == type && r.id == id) return &r;
    return nullptr;
}

std::size_t ResourceForkMap::Count(ResType type) const {
    std::size_t n = 0;
    for (const auto& r : resources_) n += r.type == type;
    return n;
}

std::optional<std::string> VersShortString(std::span<const std::uint8_t> vers) {
    if (vers.size() < 7) return std::nullopt;
    std::size_t len = vers[6];
    if (7 + len > vers.size()) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(vers.data() + 7), len);
}

}  // namespace sw::posix
