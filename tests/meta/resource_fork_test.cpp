// The resource fork parser on hand-built forks, corrupt maps and t1mac output.
#include <gtest/gtest.h>

#include <functional>

#include "MetaTestSupport.h"
#include "platform/posix/AppleDouble.h"
#include "platform/posix/ResourceFork.h"

using namespace metatest;
using sw::posix::ResourceForkMap;

namespace {

Bytes SampleFork() {
    return MakeResourceFork({
        {"vers", 1, MakeVers("1.0.2", "1.0.2, \xA9 Example"), ""},
        {"vers", 2, MakeVers("2.0", "suite"), ""},
        {"POST", 501, {1, 0, '%', '!'}, "first"},
        {"POST", 502, {5, 0}, ""},
        {"STR ", -16396, FromString("\x05hello"), "neg id"},
    });
}

TEST(ResourceFork, ParsesAHandBuiltFork) {
    Bytes fork = SampleFork();
    ResourceForkMap map;
    ASSERT_EQ(ResourceForkMap::Parse(fork, map), noErr);
    EXPECT_EQ(map.Resources().size(), 5u);
    EXPECT_EQ(map.Count(FourCC("vers")), 2u);
    EXPECT_EQ(map.Count(FourCC("POST")), 2u);
    EXPECT_EQ(map.Count(FourCC("FOND")), 0u);
    const auto* vers = map.Find(FourCC("vers"), 1);
    ASSERT_NE(vers, nullptr);
    auto bytes = std::span(fork).subspan(vers->dataOffset, vers->dataLength);
    EXPECT_EQ(sw::posix::VersShortString(bytes), "1.0.2");
    EXPECT_EQ(bytes[0], 0x01);
    EXPECT_EQ(bytes[2], 0x80) << "release stage";
    const auto* post = map.Find(FourCC("POST"), 501);
    ASSERT_NE(post, nullptr);
    EXPECT_EQ(post->name, "first");
    EXPECT_EQ(post->dataLength, 4u);
    const auto* str = map.Find(FourCC("STR "), -16396);
    ASSERT_NE(str, nullptr);
    EXPECT_EQ(str->name, "neg id");
    EXPECT_EQ(map.Find(FourCC("vers"), 3), nullptr);
}

TEST(ResourceFork, EmptyForkAndEmptyMap) {
    ResourceForkMap map;
    EXPECT_EQ(ResourceForkMap::Parse({}, map), eofErr);
    // A map with no types: the count is stored as 0xFFFF (minus one).
    Bytes fork(256 + 30, 0);
    Put32(fork, 0, 256);
    Put32(fork, 4, 256);
    Put32(fork, 8, 0);
    Put32(fork, 12, 30);
    Put16(fork, 256 + 24, 28);
    Put16(fork, 256 + 26, 30);
    Put16(fork, 256 + 28, 0xFFFF);
    ASSERT_EQ(ResourceForkMap::Parse(fork, map), noErr);
    EXPECT_TRUE(map.Resources().empty());
}

TEST(ResourceFork, VersShortStringBounds) {
    EXPECT_FALSE(sw::posix::VersShortString(Bytes(6, 0)));
    Bytes cut = MakeVers("1.0.2", "");
    cut.resize(9);  // length byte says 5, only 2 follow
    EXPECT_FALSE(sw::posix::VersShortString(cut));
    EXPECT_EQ(sw::posix::VersShortString(MakeVers("", "")), "");
}

TEST(ResourceFork, CorruptMapsAreRejected) {
    const Bytes good = SampleFork();
    const std::uint32_t mapOffset = (good[4] << 24) | (good[5] << 16) | (good[6] << 8) | good[7];
    const std::size_t typeList = mapOffset + 28;
    const std::size_t firstType = typeList + 2;
    const std::size_t firstRef = typeList + 2 + 8 * 3;
    struct Row {
        const char* name;
        std::function<void(Bytes&)> spoil;
    };
    const Row rows[] = {
        {"data area past the end", [](Bytes& b) { Put32(b, 8, 0x00FFFFFF); }},
        {"map past the end", [](Bytes& b) { Put32(b, 4, 0xFFFFFFF0); }},
        {"map length too small", [](Bytes& b) { Put32(b, 12, 20); }},
        {"type list offset past the map",
         [mapOffset](Bytes& b) { Put16(b, mapOffset + 24, 0xFFF0); }},
        {"name list offset past the map",
         [mapOffset](Bytes& b) { Put16(b, mapOffset + 26, 0xFFF0); }},
        {"type count past the map", [typeList](Bytes& b) { Put16(b, typeList, 0x4000); }},
        {"reference count past the map",
         [firstType](Bytes& b) { Put16(b, firstType + 4, 0x2000); }},
        {"reference list offset past the map",
         [firstType](Bytes& b) { Put16(b, firstType + 6, 0xFF00); }},
        {"data offset past the data", [firstRef](Bytes& b) { b[firstRef + 5] = 0x7F; }},
        {"data length past the data",
         [](Bytes& b) { Put32(b, 256, 0x00100000); }},  // first resource's length word
        {"name offset past the map",
         [firstRef](Bytes& b) { Put16(b, firstRef + 12 * 2 + 2, 0x7000); }},
        {"types sharing one reference list claim more references than fit",
         [firstType](Bytes& b) {
             Put16(b, firstType + 4, 0x00FF);
             Put16(b, firstType + 8 + 4, 0x00FF);
         }},
    };
    for (const auto& row : rows) {
        Bytes b = good;
        row.spoil(b);
        ResourceForkMap map;
        EXPECT_EQ(ResourceForkMap::Parse(b, map), mapReadErr) << row.name;
        EXPECT_TRUE(map.Resources().empty()) << row.name;
    }
    for (std::size_t n = 1; n < good.size(); ++n) {
        ResourceForkMap map;
        EXPECT_EQ(ResourceForkMap::Parse(std::span(good).first(n), map), mapReadErr)
            << "cut to " << n;
    }
}

TEST(ResourceFork, IgnoresJunkInTheReservedMapFields) {
    Bytes fork = SampleFork();
    const std::uint32_t mapOffset = (fork[4] << 24) | (fork[5] << 16) | (fork[6] << 8) | fork[7];
    for (std::size_t i = 0; i < 24; ++i) fork[mapOffset + i] = static_cast<std::uint8_t>(0x5A + i);
    ResourceForkMap map;
    EXPECT_EQ(ResourceForkMap::Parse(fork, map), noErr);
    EXPECT_EQ(map.Resources().size(), 5u);
}

// t1mac wrote this fork: POST resources from ID 501 on, each starting with a
// section type (1 text, 2 binary, 5 end), the text holding the PostScript.
TEST(ResourceFork, ReadsT1macPostResources) {
    Bytes file = ReadFile(std::string(SW_TEST_DATA) + "/appledouble/zapfdr.appledouble");
    auto header = sw::posix::ParseAppleDouble(file, file.size(), false);
    ASSERT_TRUE(header);
    auto fork = sw::posix::AppleDoubleEntryBytes(*header, file, 2);
    ASSERT_TRUE(fork);
    ResourceForkMap map;
    ASSERT_EQ(ResourceForkMap::Parse(*fork, map), noErr);
    const std::size_t posts = map.Count(FourCC("POST"));
    ASSERT_GT(posts, 1u);
    std::string text;
    int lastKind = 0;
    for (SInt16 id = 501; id < 501 + static_cast<SInt16>(posts); ++id) {
        const auto* r = map.Find(FourCC("POST"), id);
        ASSERT_NE(r, nullptr) << id;
        ASSERT_GE(r->dataLength, 2u) << id;
        const auto body = fork->subspan(r->dataOffset, r->dataLength);
        lastKind = body[0];
        if (body[0] == 1) text.append(body.begin() + 2, body.end());
    }
    EXPECT_EQ(lastKind, 5) << "the last POST resource ends the font";
    EXPECT_NE(text.find("/FontName/ZapfDingbats"), std::string::npos);
}

}  // namespace
