// A read-only resource fork parser. Pure: it takes the fork's bytes and checks
// every offset and length before use, so corrupt or hostile forks are
// rejected (mapReadErr) and never read out of bounds. Internal to
// platform/posix; no dependency on the catalog, so fuzzers can link it alone.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/MacTypes.h"

namespace sw::posix {

struct ResourceInfo {
    ResType type;
    SInt16 id;
    UInt8 attributes;
    std::uint32_t dataOffset;  // of the resource's bytes, from the fork's start
    std::uint32_t dataLength;
    std::string name;  // Mac OS Roman; empty when the resource has none
};

class ResourceForkMap {
  public:
    // Parses `fork`; mapReadErr when its header, map, type list, reference
    // lists, names or data lengths are inconsistent, eofErr when it is empty.
    static OSErr Parse(std::span<const std::uint8_t> fork, ResourceForkMap& out);

    const std::vector<ResourceInfo>& Resources() const { return resources_; }
    const ResourceInfo* Find(ResType type, SInt16 id) const;
    std::size_t Count(ResType type) const;

  private:
    std::vector<ResourceInfo> resources_;
};

// Opens an already-read fork as the current resource file of the Resource
// Manager calls (FSpOpenResFile's second half): its reference number, or -1
// with ResError() set when the map is corrupt (mapReadErr) or empty (eofErr).
ResFileRefNum OpenResFileFromBytes(std::vector<std::uint8_t> fork);

// The short version string of a 'vers' resource (the Pascal string at byte 6),
// nullopt when the resource is too short for it.
std::optional<std::string> VersShortString(std::span<const std::uint8_t> vers);

}  // namespace sw::posix
