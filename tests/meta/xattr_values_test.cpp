// Attribute values of every size read back exactly, through the system calls
// and through the /proc/self/fd fallback, and names that cannot name an entry
// or an attribute read as absent.
#include <gtest/gtest.h>

#include "MetaTestSupport.h"
#include "platform/posix/Xattr.h"

using namespace metatest;
namespace posix = sw::posix;

namespace {

class XattrValues : public ScratchDir {};

Bytes Pattern(std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + size);
    return b;
}

TEST_F(XattrValues, EverySizeReadsBackExactly) {
    // Around the buffer sizes the reader uses first, and beyond them where the
    // file system takes such values (ext4 keeps one block per file).
    const std::size_t sizes[] = {0, 1, 32, 511, 512, 513, 2000, 3500, 4095, 4096, 4097, 20000};
    int checked = 0;
    for (std::size_t size : sizes) {
        const std::string file = "doc" + std::to_string(size);
        WriteFile(file, FromString("x"));
        const std::string attr = "user.test.value";
        const Bytes value = Pattern(size);
        if (!SetXattr(file, attr, value)) {
            if (size <= 32) GTEST_SKIP() << "this file system refuses user extended attributes";
            continue;  // larger than the file system allows
        }
        ++checked;
        for (bool fallback : {false, true}) {
            posix::ForceXattrPathFallback(fallback);
            const posix::XattrNames names(dirfd_, file);
            const auto listed = names.Get(attr);
            const auto direct = posix::GetXattrAt(dirfd_, file, attr);
            const auto sized = names.Size(attr);
            const auto capped = posix::GetXattrAt(dirfd_, file, attr, size == 0 ? 0 : size - 1);
            posix::ForceXattrPathFallback(false);
            const std::string row = std::to_string(size) + (fallback ? " (fallback)" : "");
            ASSERT_TRUE(listed) << row;
            EXPECT_EQ(*listed, value) << row;
            ASSERT_TRUE(direct) << row;
            EXPECT_EQ(*direct, value) << row;
            ASSERT_TRUE(sized) << row;
            EXPECT_EQ(*sized, size) << row;
            EXPECT_EQ(capped.has_value(), size == 0) << row << ": larger than the bound";
        }
    }
    EXPECT_GE(checked, 7) << "values up to 2000 bytes fit every file system with user attributes";
}

TEST_F(XattrValues, NamesThatNameNothingReadAsAbsent) {
    WriteFile("doc", FromString("x"));
    SKIP_WITHOUT_USER_XATTRS(SetXattr("doc", "user.a", FromString("v")));
    // A NUL inside the entry name must not be cut to "doc".
    const std::string withNul("doc\0x", 5);
    const posix::XattrNames cut(dirfd_, withNul);
    EXPECT_TRUE(cut.Empty());
    EXPECT_FALSE(cut.Get("user.a"));
    EXPECT_FALSE(posix::GetXattrAt(dirfd_, withNul, "user.a"));
    // Nor inside the attribute name.
    const posix::XattrNames doc(dirfd_, "doc");
    EXPECT_FALSE(doc.Empty());
    EXPECT_FALSE(doc.Get(std::string_view("user.a\0b", 8)));
    EXPECT_FALSE(posix::GetXattrAt(dirfd_, "doc", std::string_view("user.a\0b", 8)));
    EXPECT_FALSE(posix::GetXattrAt(dirfd_, "doc", std::string(300, 'u')));
    // A name longer than any the file system allows is looked up as it is.
    const posix::XattrNames tooLong(dirfd_, std::string(300, 'n'));
    EXPECT_TRUE(tooLong.Empty());
}

}  // namespace
