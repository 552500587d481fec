// Finder information as a folder listing gives it: the listing checks every
// "._x" file once and keeps what it holds, so reading an item's Finder
// information must still follow the store order, item by item.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "MetaTestSupport.h"
#include "platform/Files.h"
#include "platform/posix/Metadata.h"

using namespace metatest;

namespace {

class ListedFinderInfo : public ScratchDir {
  protected:
    // Type of every listed item, by name (ASCII names only).
    std::map<std::string, OSType> ListedTypes() {
        std::map<std::string, OSType> types;
        FSRef folder{};
        const std::string path = dir_.string();
        EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &folder, nullptr),
                  noErr);
        FSIterator it = nullptr;
        EXPECT_EQ(FSOpenIterator(&folder, kFSIterateFlat, &it), noErr);
        if (it == nullptr) return types;
        FSCatalogInfo infos[4];
        HFSUniStr255 names[4];
        OSErr err = noErr;
        while (err == noErr) {
            UInt32 n = 0;
            err =
                FSGetCatalogInfoBulk(it, 4, &n, nullptr, kFSCatInfoNodeFlags | kFSCatInfoFinderInfo,
                                     infos, nullptr, nullptr, names);
            for (UInt32 i = 0; i < n; ++i) {
                const std::string name(names[i].unicode, names[i].unicode + names[i].length);
                types[name] = FSCatalogInfoFileType(&infos[i]);
            }
        }
        EXPECT_EQ(err, errFSNoMoreItems);
        EXPECT_EQ(FSCloseIterator(it), noErr);
        return types;
    }
};

TEST_F(ListedFinderInfo, StoreOrderHoldsWithSidecarsCheckedByTheListing) {
    // An attribute wins over the sidecar.
    WriteFile("both", FromString("data"));
    SKIP_WITHOUT_USER_XATTRS(
        SetXattr("both", "user.com.apple.FinderInfo", FinderInfo("APPL", "abcd", 0)));
    WriteFile("._both", MakeAppleDouble({{9, FinderInfo("PICT", "8BIM", 0)}}));
    // Only the sidecar.
    WriteFile("pict", FromString("data"));
    WriteFile("._pict", MakeAppleDouble({{9, FinderInfo("PICT", "8BIM", 0)}}));
    // A genuine sidecar without Finder information: the next store has it.
    WriteFile("netatalk", FromString("data"));
    WriteFile("._netatalk", MakeAppleDouble({{4, FromString("a comment")}}));
    MakeDir(".AppleDouble");
    WriteFile(".AppleDouble/netatalk", MakeAppleDouble({{9, FinderInfo("TEXT", "ttxt", 0)}}));
    // A "._" file that is no sidecar: listed, and its namesake has no type.
    WriteFile("plain", FromString("data"));
    WriteFile("._plain", FromString("not AppleDouble at all"));
    // Bigger than the sidecar's first read: its Finder information is read later.
    WriteFile("big", FromString("data"));
    WriteFile("._big",
              MakeAppleDouble({{2, Bytes(9000, 0x42)}, {9, FinderInfo("BIGG", "size", 0)}}));

    const std::map<std::string, OSType> types = ListedTypes();
    EXPECT_EQ(types.size(), 6u);  // both, pict, netatalk, plain, ._plain, big
    EXPECT_EQ(types.at("both"), FourCC("APPL"));
    EXPECT_EQ(types.at("pict"), FourCC("PICT"));
    EXPECT_EQ(types.at("netatalk"), FourCC("TEXT"));
    EXPECT_EQ(types.at("plain"), 0u);
    EXPECT_EQ(types.count("._plain"), 1u);
    EXPECT_EQ(types.at("big"), FourCC("BIGG"));
    EXPECT_EQ(types.count("._pict"), 0u);
}

}  // namespace
