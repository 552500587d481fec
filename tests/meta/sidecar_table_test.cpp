// Sidecars are recognised from one read of their start when the entry table
// is small; a table longer than that first read is read to its end, and a
// file that ends inside its table is no sidecar.
#include <gtest/gtest.h>

#include "MetaTestSupport.h"
#include "platform/posix/Metadata.h"

using namespace metatest;
namespace posix = sw::posix;

namespace {

class SidecarTable : public ScratchDir {};

// A sidecar with Finder information and `extra` more (small) entries.
Bytes SidecarWithEntries(std::size_t extra) {
    std::vector<Entry> entries{{9, FinderInfo("TEXT", "ttxt", 0)}};
    for (std::size_t i = 0; i < extra; ++i)
        entries.push_back({static_cast<std::uint32_t>(100 + i), FromString("x")});
    return MakeAppleDouble(entries);
}

TEST_F(SidecarTable, TablesOfEverySizeAroundTheFirstRead) {
    struct Row {
        const char* name;
        std::size_t extra;  // table bytes: 26 + 12 * (1 + extra)
    };
    const Row rows[] = {
        {"one entry", 0},       {"table ends at 506", 39}, {"table ends at 518", 40},
        {"table of 1238", 100}, {"table of 8426", 700},
    };
    for (const Row& row : rows) {
        const std::string name = std::string("doc") + std::to_string(row.extra);
        WriteFile(name, FromString("data"));
        WriteFile("._" + name, SidecarWithEntries(row.extra));
        EXPECT_TRUE(posix::IsAppleDoubleSidecar(dirfd_, "._" + name)) << row.name;
        const auto fi = posix::ReadFinderInfo(At(name, true, false));
        ASSERT_TRUE(fi) << row.name;
        EXPECT_EQ((*fi)[0], 'T') << row.name;
        EXPECT_EQ((*fi)[4], 't') << row.name;
    }
}

TEST_F(SidecarTable, AFileEndingInsideItsTableIsNoSidecar) {
    for (std::size_t cut : {30u, 300u, 511u, 512u, 513u, 900u}) {
        Bytes bytes = SidecarWithEntries(100);  // table of 1238 bytes
        bytes.resize(cut);
        const std::string name = "._cut" + std::to_string(cut);
        WriteFile(name, bytes);
        EXPECT_FALSE(posix::IsAppleDoubleSidecar(dirfd_, name)) << "cut at " << cut;
    }
}

}  // namespace
