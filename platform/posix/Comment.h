// Decoding of the stored forms of Finder comments. Pure functions; internal to
// platform/posix.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sw::posix {

// The string root object of a binary property list ("bplist00"): ASCII
// (0x5N), UTF-16BE (0x6N) or UTF-8 (0x7N) strings, with long lengths as an
// integer object after an 0xF nibble. Trailer, offset table and object bounds
// are checked; anything else (another root type, bad offsets) is nullopt.
std::optional<std::u16string> ParseBplistString(std::span<const std::uint8_t> bytes);

// UTF-8 to UTF-16; malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

}  // namespace sw::posix
