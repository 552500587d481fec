// AppleDouble / AppleSingle headers and the extended-attribute ("ATTR") block
// that macOS appends to the Finder information of its "._name" files.
// Pure functions over bytes: no system calls, so that fuzzers and tests can
// drive them directly. Internal to platform/posix.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace sw::posix {

inline constexpr std::uint32_t kAppleDoubleMagic = 0x00051607;
inline constexpr std::uint32_t kAppleSingleMagic = 0x00051600;
inline constexpr std::size_t kAppleDoubleHeaderSize = 26;  // before the entry table

enum AppleDoubleEntryId : std::uint32_t {
    kADDataFork = 1,
    kADResourceFork = 2,
    kADRealName = 3,
    kADComment = 4,
    kADFileDates = 8,
    kADFinderInfo = 9,
};

struct AppleDoubleEntry {
    std::uint32_t id;
    std::uint32_t offset;
    std::uint32_t length;
};

struct AppleDoubleHeader {
    bool single = false;  // AppleSingle rather than AppleDouble
    std::uint32_t version = 0;
    std::vector<AppleDoubleEntry> entries;

    const AppleDoubleEntry* Find(std::uint32_t id) const;
};

// Bytes needed to validate a header whose first 26 bytes are `prefix`: the
// header and its entry table (nullopt when the prefix is already wrong).
std::optional<std::size_t> AppleDoubleTableSize(std::span<const std::uint8_t> prefix,
                                                bool allowSingle);

// Validates a header against a file of `fileSize` bytes, of which `head` holds
// at least the header and entry table: magic, version 1 or 2, at least one
// entry, no id 0, every entry inside the file, Finder information at least 32
// bytes. Anything else is "not AppleDouble" (nullopt).
std::optional<AppleDoubleHeader> ParseAppleDouble(std::span<const std::uint8_t> head,
                                                  std::uint64_t fileSize, bool allowSingle);

// The bytes of entry `id` when `whole` is the complete file.
std::optional<std::span<const std::uint8_t>> AppleDoubleEntryBytes(
    const AppleDoubleHeader& header, std::span<const std::uint8_t> whole, std::uint32_t id);

// One extended attribute stored in an ATTR block: its name and its value, a
// view into the bytes given to ParseAttrBlock.
struct AttrBlockItem {
    std::string_view name;
    std::span<const std::uint8_t> value;
};

// The attributes of the ATTR block that follows the 32 bytes of Finder
// information in a macOS "._name" file (`whole` is that complete file).
// Empty when there is no block or it is malformed.
std::vector<AttrBlockItem> ParseAttrBlock(const AppleDoubleHeader& header,
                                          std::span<const std::uint8_t> whole);

// Creation date of an AppleDouble file-dates entry (16 bytes) in seconds since
// 1970-01-01 UTC; nullopt when unknown (0x80000000) or too short.
std::optional<std::int64_t> AppleDoubleCreationDate(std::span<const std::uint8_t> dates);

// Big-endian readers; the caller checks bounds.
inline std::uint16_t Be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

}  // namespace sw::posix
