// Reading the Mac metadata stores that Linux tools leave beside or on files.
// Internal to platform/: the catalog (Catalog.cpp) calls these per entry, only
// when a caller actually needs the value. Every reader treats corrupt data as
// absent and never fails the entry.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sw::posix {

// Where one entry lives: an open directory descriptor and the entry's name in it.
// `sidecarHint` is true when the folder listing contains "._<name>" or a
// ".AppleDouble" folder (so that absent sidecars cost no system call).
// What checking a "._name" file showed; a listing that has checked it keeps
// this, so that reading the item's Finder information need not open it again.
struct KnownSidecar {
    bool valid = false;          // a genuine sidecar
    bool hasFinderInfo = false;  // holding 32 bytes of Finder information
    std::array<std::uint8_t, 32> finderInfo{};
};

struct EntryLocation {
    int dirfd;
    std::string_view name;
    bool isDirectory;
    bool mayHaveDotUnderscore;   // "._<name>" was seen in the same listing
    bool mayHaveAppleDoubleDir;  // ".AppleDouble" was seen in the same listing
    // "._<name>" as the listing checked it; null when it was not checked.
    const KnownSidecar* dotUnderscore = nullptr;
};

// The 32 bytes of Finder information, big-endian, from the first store that has it.
std::optional<std::array<std::uint8_t, 32>> ReadFinderInfo(const EntryLocation& at);

// The whole resource fork from the first store that has it (empty when none).
std::vector<std::uint8_t> ReadResourceFork(const EntryLocation& at);
std::uint64_t ResourceForkSize(const EntryLocation& at);

// The desktop-database ("classic") comment: AppleDouble entry 4, Netatalk metadata.
std::optional<std::string> ReadClassicComment(const EntryLocation& at);
// The Finder comment: user.xdg.comment (UTF-8), else the kMDItemFinderComment plist.
std::optional<std::u16string> ReadFinderComment(const EntryLocation& at);

// Creation date as seconds since 1970-01-01 UTC from the AppleDouble / Netatalk
// stores (birth time from statx is handled by the catalog).
std::optional<std::int64_t> ReadStoredCreationDate(const EntryLocation& at);

// True when `name` in `dirfd` is a genuine AppleDouble sidecar ("._x" that
// validates), i.e. metadata and not an item to list.
// `learnt`, when given, receives what the file showed.
bool IsAppleDoubleSidecar(int dirfd, std::string_view name, KnownSidecar* learnt = nullptr);

// The attribute half of the readers above, over any attribute set (tests use
// tables for the namespaces that only the hfs and hfsplus drivers can write).
class AttrSource;
std::optional<std::array<std::uint8_t, 32>> FinderInfoFromAttributes(const AttrSource& attrs);
std::vector<std::uint8_t> ResourceForkFromAttributes(const AttrSource& attrs);

}  // namespace sw::posix
