// Feeds arbitrary bytes to the AppleDouble, ATTR block and binary property
// list readers, as they would meet a hostile "._" file.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/posix/AppleDouble.h"
#include "platform/posix/Comment.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    (void)sw::posix::ParseBplistString(bytes);
    auto header = sw::posix::ParseAppleDouble(bytes, size, true);
    if (!header) return 0;
    for (const auto& e : header->entries) {
        auto entry = sw::posix::AppleDoubleEntryBytes(*header, bytes, e.id);
        if (entry && e.id == sw::posix::kADFileDates)
            (void)sw::posix::AppleDoubleCreationDate(*entry);
    }
    for (const auto& item : sw::posix::ParseAttrBlock(*header, bytes))
        (void)sw::posix::ParseBplistString(item.value);
    return 0;
}
