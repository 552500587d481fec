// Fixtures for the metadata tests: a scratch folder on a file system that
// keeps user extended attributes, and builders for AppleDouble files and
// resource forks.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <list>
#include <string>
#include <vector>

#include "platform/posix/Metadata.h"
#include "platform/posix/Xattr.h"

namespace metatest {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}
inline void Append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}
inline Bytes FromString(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

struct Entry {
    std::uint32_t id;
    Bytes data;
};

// An AppleDouble (or AppleSingle) file with the given entries laid out after
// the entry table, in order.
inline Bytes MakeAppleDouble(const std::vector<Entry>& entries, std::uint32_t magic = 0x00051607,
                             std::uint32_t version = 0x00020000) {
    Bytes b;
    Put32(b, 0, magic);
    Put32(b, 4, version);
    for (int i = 0; i < 16; ++i) b.push_back(' ');
    Put16(b, 24, static_cast<std::uint16_t>(entries.size()));
    std::uint32_t offset = 26 + 12 * static_cast<std::uint32_t>(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Put32(b, 26 + 12 * i, entries[i].id);
        Put32(b, 30 + 12 * i, offset);
        Put32(b, 34 + 12 * i, static_cast<std::uint32_t>(entries[i].data.size()));
        offset += static_cast<std::uint32_t>(entries[i].data.size());
    }
    for (const auto& e : entries) Append(b, e.data);
    return b;
}

// 32 bytes of Finder information for a file.
inline Bytes FinderInfo(std::string_view type, std::string_view creator, std::uint16_t flags) {
    Bytes b(32, 0);
    for (int i = 0; i < 4; ++i) {
        b[i] = static_cast<std::uint8_t>(type[i]);
        b[4 + i] = static_cast<std::uint8_t>(creator[i]);
    }
    Put16(b, 8, flags);
    return b;
}

struct Resource {
    std::string type;
    std::int16_t id;
    Bytes data;
    std::string name;  // empty: none
};

// A resource fork laid out as the Resource Manager writes it: header, data
// at 256, map after the data (type list at 28, then references, then names).
inline Bytes MakeResourceFork(const std::vector<Resource>& resources) {
    std::vector<std::string> types;
    for (const auto& r : resources)
        if (std::find(types.begin(), types.end(), r.type) == types.end()) types.push_back(r.type);
    Bytes data;
    std::vector<std::uint32_t> dataOffsets;
    for (const auto& r : resources) {
        dataOffsets.push_back(static_cast<std::uint32_t>(data.size()));
        Put32(data, data.size(), static_cast<std::uint32_t>(r.data.size()));
        Append(data, r.data);
    }
    Bytes map(28, 0);
    Put16(map, 24, 28);
    std::size_t typeList = 28;
    Put16(map, typeList, static_cast<std::uint16_t>(types.size() - 1));
    std::size_t refs = typeList + 2 + 8 * types.size();
    Bytes names;
    std::size_t refPos = refs;
    for (std::size_t t = 0; t < types.size(); ++t) {
        std::size_t te = typeList + 2 + 8 * t;
        for (int i = 0; i < 4; ++i) {
            if (map.size() < te + 4) map.resize(te + 4);
            map[te + i] = static_cast<std::uint8_t>(types[t][i]);
        }
        std::uint16_t count = 0;
        std::size_t first = refPos;
        for (std::size_t r = 0; r < resources.size(); ++r) {
            if (resources[r].type != types[t]) continue;
            Put16(map, refPos, static_cast<std::uint16_t>(resources[r].id));
            if (resources[r].name.empty()) {
                Put16(map, refPos + 2, 0xFFFF);
            } else {
                Put16(map, refPos + 2, static_cast<std::uint16_t>(names.size()));
                names.push_back(static_cast<std::uint8_t>(resources[r].name.size()));
                Append(names, FromString(resources[r].name));
            }
            Put32(map, refPos + 4, dataOffsets[r]);  // attributes byte 0, then 3 bytes
            Put32(map, refPos + 8, 0);
            refPos += 12;
            ++count;
        }
        Put16(map, te + 4, static_cast<std::uint16_t>(count - 1));
        Put16(map, te + 6, static_cast<std::uint16_t>(first - typeList));
    }
    map.resize(refPos);
    Put16(map, 26, static_cast<std::uint16_t>(map.size()));
    Append(map, names);
    Bytes fork(256, 0);
    Append(fork, data);
    std::uint32_t mapOffset = static_cast<std::uint32_t>(fork.size());
    Append(fork, map);
    Put32(fork, 0, 256);
    Put32(fork, 4, mapOffset);
    Put32(fork, 8, static_cast<std::uint32_t>(data.size()));
    Put32(fork, 12, static_cast<std::uint32_t>(map.size()));
    // The map's header copy is reserved; leave junk there as real files do.
    for (int i = 0; i < 16; ++i) fork[mapOffset + i] = static_cast<std::uint8_t>(0xA5 ^ i);
    return fork;
}

// A 'vers' resource: 1.0.2 final, region 0, short and long version strings.
inline Bytes MakeVers(std::string_view shortVersion, std::string_view longVersion) {
    Bytes b = {0x01, 0x02, 0x80, 0x00, 0x00, 0x00};
    b.push_back(static_cast<std::uint8_t>(shortVersion.size()));
    Append(b, FromString(shortVersion));
    b.push_back(static_cast<std::uint8_t>(longVersion.size()));
    Append(b, FromString(longVersion));
    return b;
}

inline Bytes ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A scratch folder under the build tree (ext4 here, unlike a tmpfs /tmp)
// with an open descriptor for the *at calls.
class ScratchDir : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string templ = (std::filesystem::current_path() / "meta-scratch-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr) << templ;
        dir_ = templ;
        dirfd_ = open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(dirfd_, 0);
    }
    void TearDown() override {
        if (dirfd_ >= 0) close(dirfd_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    void WriteFile(const std::string& rel, const Bytes& bytes) {
        std::ofstream out(dir_ / rel, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good()) << rel;
    }
    void MakeDir(const std::string& rel) { std::filesystem::create_directories(dir_ / rel); }

    // Sets a user attribute; false (and the test should skip) when the file
    // system refuses user attributes.
    bool SetXattr(const std::string& rel, const std::string& attr, const Bytes& value) {
        return sw::posix::RawSetXattrAt(dirfd_, rel.c_str(), attr.c_str(), value.data(),
                                        value.size()) == 0;
    }

    sw::posix::EntryLocation At(const std::string& name, bool dotUnderscore = true,
                                bool appleDoubleDir = true, bool isDirectory = false) {
        names_.push_back(name);
        return {dirfd_, names_.back(), isDirectory, dotUnderscore, appleDoubleDir};
    }

    std::filesystem::path dir_;
    int dirfd_ = -1;
    std::list<std::string> names_;  // EntryLocation views into these
};

#define SKIP_WITHOUT_USER_XATTRS(call) \
    if (!(call))                       \
    GTEST_SKIP() << "this file system refuses user extended attributes (" << #call << ")"

}  // namespace metatest
