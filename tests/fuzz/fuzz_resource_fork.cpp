// Feeds arbitrary bytes to the resource fork parser, then reads every
// resource it reports: all offsets must lie inside the input.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/posix/ResourceFork.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> fork(data, size);
    sw::posix::ResourceForkMap map;
    if (sw::posix::ResourceForkMap::Parse(fork, map) != noErr) return 0;
    unsigned sum = 0;
    for (const auto& r : map.Resources()) {
        auto bytes = fork.subspan(r.dataOffset, r.dataLength);
        for (std::uint8_t b : bytes) sum += b;
        sum += static_cast<unsigned>(map.Count(r.type));
        if (r.type == FourCC("vers")) (void)sw::posix::VersShortString(bytes);
    }
    return static_cast<int>(sum & 0);
}
