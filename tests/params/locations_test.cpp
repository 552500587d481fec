// The search locations: "in disks" and "in folders" into lists of file
// specifications, and the default list of every mounted volume.

#include <filesystem>

#include "IntakeFixture.h"
#include "params/Getters.h"
#include "platform/Memory.h"

namespace intake_test {
namespace {

class LocationsTest : public IntakeTest {
  protected:
    FSSpec SpecOf(const char* hfsPath) {
        Str255 path;
        path[0] = static_cast<unsigned char>(std::strlen(hfsPath));
        std::memcpy(path + 1, hfsPath, path[0]);
        FSSpec spec{};
        EXPECT_EQ(FSMakeFSSpec(0, 0, path, &spec), noErr) << hfsPath;
        return spec;
    }
    // The alias record of an existing item, as a script would send it.
    std::string AliasData(const char* hfsPath) {
        FSSpec spec = SpecOf(hfsPath);
        AliasHandle alias = nullptr;
        EXPECT_EQ(NewAlias(nullptr, &spec, &alias), noErr) << hfsPath;
        if (alias == nullptr) return {};
        std::string data(*alias, static_cast<std::size_t>(GetHandleSize(alias)));
        DisposeHandle(alias);
        return data;
    }
    // What the find command handler does with every item: read it as an FSRef.
    static void ExpectEveryItemIsARoot(const AEDescList& list, const char* rowName) {
        long count = CountItems(list);
        for (long i = 1; i <= count; ++i) {
            FSRef ref;
            AEKeyword keyword = 0;
            DescType type = 0;
            Size size = 0;
            EXPECT_EQ(AEGetNthPtr(&list, i, typeFSRef, &keyword, &type, &ref, sizeof ref, &size),
                      noErr)
                << rowName << " item " << i;
        }
    }
    static std::string PathAlert(const std::string& path) {
        return "Could not convert \"" + path + "\" into a file specification.";
    }
    static constexpr const char* kPathWhy =
        "Please verify that the path is correctly formatted and that the target file or folder "
        "actually exists.\n\nFSpLocationFromFullPath() returned error: ";

    const SearchParametersRecord& R = SearchParameters;
};

TEST_F(LocationsTest, NeitherGivenSearchesEveryMountedVolume) {
    FindEvent event;
    EXPECT_EQ(MyGetSearchLocationsParam(event.get(), &SearchParameters.searchDisks,
                                        &SearchParameters.searchFolders),
              noErr);
    EXPECT_TRUE(alerts_.alerts().empty());
    EXPECT_EQ(R.searchFolders.dataHandle, nullptr);
    ASSERT_EQ(CountItems(R.searchDisks), 2);
    // Alias items, in volume order, each resolving to its volume's root.
    const char* roots[] = {"TestDisk:", "OtherDisk:"};
    for (long i = 1; i <= 2; ++i) {
        EXPECT_EQ(ItemType(R.searchDisks, i), typeAlias);
        AEDesc item;
        AEKeyword keyword = 0;
        ASSERT_EQ(AEGetNthDesc(&R.searchDisks, i, typeAlias, &keyword, &item), noErr);
        Size size = AEGetDescDataSize(&item);
        AliasHandle alias = NewHandle(size);
        ASSERT_NE(alias, nullptr);
        AEGetDescData(&item, *alias, size);
        FSSpec resolved{};
        Boolean changed = false;
        EXPECT_EQ(ResolveAlias(nullptr, alias, &resolved, &changed), noErr);
        EXPECT_TRUE(SameSpec(resolved, SpecOf(roots[i - 1]))) << roots[i - 1];
        DisposeHandle(alias);
        AEDisposeDesc(&item);
    }
    ExpectEveryItemIsARoot(R.searchDisks, "default volumes");
}

TEST_F(LocationsTest, TextPathOfAnExistingFolderBecomesAFileSpecification) {
    ListBuilder folders;
    folders.Text("TestDisk:Docs:");
    FindEvent event;
    event.Desc(keySearchFolders, folders.get());
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    EXPECT_TRUE(alerts_.alerts().empty());
    EXPECT_EQ(R.searchDisks.dataHandle, nullptr);
    ASSERT_EQ(CountItems(R.searchFolders), 1);
    EXPECT_EQ(ItemType(R.searchFolders, 1), typeFSS);
    EXPECT_TRUE(SameSpec(ItemSpec(R.searchFolders, 1), SpecOf("TestDisk:Docs")));
}

TEST_F(LocationsTest, SingleTextPathIsTakenAsAListOfOne) {
    FindEvent event;
    event.Text(keySearchFolders, "TestDisk:Music:");
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    EXPECT_TRUE(alerts_.alerts().empty());
    ASSERT_EQ(CountItems(R.searchFolders), 1);
    EXPECT_TRUE(SameSpec(ItemSpec(R.searchFolders, 1), SpecOf("TestDisk:Music")));
}

TEST_F(LocationsTest, AliasAndFileSpecificationItems) {
    std::string alias = AliasData("TestDisk:Docs:Inner");
    FSSpec music = SpecOf("TestDisk:Music");
    ListBuilder folders;
    folders.Item(typeAlias, alias.data(), Size(alias.size())).Item(typeFSS, &music, sizeof music);
    FindEvent event;
    event.Desc(keySearchFolders, folders.get());
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    EXPECT_TRUE(alerts_.alerts().empty());
    ASSERT_EQ(CountItems(R.searchFolders), 2);
    EXPECT_EQ(ItemType(R.searchFolders, 1), typeFSS);
    EXPECT_TRUE(SameSpec(ItemSpec(R.searchFolders, 1), SpecOf("TestDisk:Docs:Inner")));
    EXPECT_EQ(ItemType(R.searchFolders, 2), typeFSS);  // passed through untouched
    EXPECT_TRUE(SameSpec(ItemSpec(R.searchFolders, 2), music));
    ExpectEveryItemIsARoot(R.searchFolders, "alias and spec");
}

TEST_F(LocationsTest, MissingFolderIsReportedAndTheOtherItemsKept) {
    ListBuilder folders;
    folders.Text("TestDisk:Docs:").Text("TestDisk:Nope:").Text("TestDisk:Music:");
    FindEvent event;
    event.Desc(keySearchFolders, folders.get());
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    ASSERT_EQ(alerts_.alerts().size(), 1u);
    EXPECT_EQ(alerts_.alerts()[0].type, kAlertStopAlert);
    EXPECT_EQ(alerts_.alerts()[0].textBytes, PathAlert("TestDisk:Nope:"));
    EXPECT_EQ(alerts_.alerts()[0].explanationBytes.rfind(kPathWhy, 0), 0u)
        << alerts_.alerts()[0].explanationBytes;
    EXPECT_NE(alerts_.alerts()[0].explanationBytes, kPathWhy);  // a code follows
    ASSERT_EQ(CountItems(R.searchFolders), 2);
    EXPECT_TRUE(SameSpec(ItemSpec(R.searchFolders, 1), SpecOf("TestDisk:Docs")));
    EXPECT_TRUE(SameSpec(ItemSpec(R.searchFolders, 2), SpecOf("TestDisk:Music")));
    ExpectEveryItemIsARoot(R.searchFolders, "missing folder");
}

// A list with a bad item never widens the search to every volume, whichever
// place the bad item has; a list with no usable item searches nothing.
TEST_F(LocationsTest, BadItemsNeverTurnIntoEveryVolume) {
    struct Row {
        const char* name;
        std::vector<const char*> folders;
        long kept;
    } rows[] = {
        {"good, bad", {"TestDisk:Docs:", "TestDisk:Gone:"}, 1},
        {"bad, good", {"TestDisk:Gone:", "TestDisk:Docs:"}, 1},
        {"all bad", {"TestDisk:Gone:", "NoSuchDisk:Docs:"}, 0},
    };
    for (const Row& row : rows) {
        ClearSearchParameters();
        alerts_.Clear();
        ListBuilder folders;
        for (const char* path : row.folders) folders.Text(path);
        FindEvent event;
        event.Desc(keySearchFolders, folders.get());
        EXPECT_EQ(MyGetAllParameters(event.get()), noErr) << row.name;
        EXPECT_EQ(R.searchDisks.dataHandle, nullptr) << row.name;  // no default list
        ASSERT_NE(R.searchFolders.dataHandle, nullptr) << row.name;
        EXPECT_EQ(CountItems(R.searchFolders), row.kept) << row.name;
        if (row.kept == 1) {
            EXPECT_TRUE(SameSpec(ItemSpec(R.searchFolders, 1), SpecOf("TestDisk:Docs")))
                << row.name;
        }
        ASSERT_EQ(alerts_.alerts().size(), row.folders.size() - row.kept) << row.name;
        for (const RecordedAlert& alert : alerts_.alerts())
            EXPECT_EQ(alert.textBytes.rfind("Could not convert \"", 0), 0u) << row.name;
        ExpectEveryItemIsARoot(R.searchFolders, row.name);
    }
}

TEST_F(LocationsTest, BadDisksAndBadFoldersSearchNothing) {
    ListBuilder disks;
    disks.Text("NoSuchDisk:");
    ListBuilder folders;
    folders.Text("TestDisk:Gone:");
    FindEvent event;
    event.Desc(keySearchDisks, disks.get()).Desc(keySearchFolders, folders.get());
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    EXPECT_EQ(alerts_.alerts().size(), 2u);
    EXPECT_EQ(CountItems(R.searchDisks), 0);
    EXPECT_EQ(CountItems(R.searchFolders), 0);
}

TEST_F(LocationsTest, EmptyDiskListSearchesNothing) {
    ListBuilder disks;
    FindEvent event;
    event.Desc(keySearchDisks, disks.get());
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    EXPECT_TRUE(alerts_.alerts().empty());
    EXPECT_EQ(CountItems(R.searchDisks), 0);
    EXPECT_EQ(R.searchFolders.dataHandle, nullptr);
}

TEST_F(LocationsTest, DiskGivenByNameIsItsRoot) {
    ListBuilder disks;
    disks.Text("OtherDisk:");
    FindEvent event;
    event.Desc(keySearchDisks, disks.get());
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    EXPECT_TRUE(alerts_.alerts().empty());
    ASSERT_EQ(CountItems(R.searchDisks), 1);
    EXPECT_TRUE(SameSpec(ItemSpec(R.searchDisks, 1), SpecOf("OtherDisk:")));
}

TEST_F(LocationsTest, AliasThatNoLongerResolvesIsReportedOnceAndDropped) {
    std::filesystem::create_directories(root_ / "disk" / "Brief");
    std::string alias = AliasData("TestDisk:Brief");
    std::filesystem::remove(root_ / "disk" / "Brief");
    ListBuilder folders;
    folders.Item(typeAlias, alias.data(), Size(alias.size())).Text("TestDisk:Music:");
    FindEvent event;
    event.Desc(keySearchFolders, folders.get());
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    ASSERT_EQ(alerts_.alerts().size(), 1u);
    EXPECT_EQ(alerts_.alerts()[0].textBytes, "Could not resolve an alias.");
    const std::string& why = alerts_.alerts()[0].explanationBytes;
    EXPECT_EQ(why.rfind("ResolveAlias() returned error: -", 0), 0u) << why;
    const std::string tail = " in MyConvertListItemsToFSSpec().";
    ASSERT_GT(why.size(), tail.size());
    EXPECT_EQ(why.substr(why.size() - tail.size()), tail) << why;
    ASSERT_EQ(CountItems(R.searchFolders), 1);
    EXPECT_TRUE(SameSpec(ItemSpec(R.searchFolders, 1), SpecOf("TestDisk:Music")));
    EXPECT_EQ(R.searchDisks.dataHandle, nullptr);
}

TEST_F(LocationsTest, ItemsOfOtherTypesPassThroughWithoutAlert) {
    ListBuilder folders;
    folders.Long(42).Text("TestDisk:Docs:");
    ASSERT_EQ(MyConvertListItemsToFSSpec(folders.ptr()), noErr);
    EXPECT_TRUE(alerts_.alerts().empty());
    ASSERT_EQ(CountItems(folders.get()), 2);
    EXPECT_EQ(ItemType(folders.get(), 1), typeSInt32);
    EXPECT_EQ(ItemType(folders.get(), 2), typeFSS);
}

TEST_F(LocationsTest, ConversionReportsTheLastFailure) {
    ListBuilder folders;
    folders.Text("TestDisk:Gone:").Text("TestDisk:Docs:");
    OSErr err = MyConvertListItemsToFSSpec(folders.ptr());
    EXPECT_NE(err, noErr);
    EXPECT_EQ(CountItems(folders.get()), 1);
}

TEST_F(LocationsTest, LongPathAlertStaysWithin255BytesAndKeepsItsEnd) {
    std::string path = "TestDisk:" + std::string(300, 'q') + ":";
    ListBuilder folders;
    folders.Text(path);
    FindEvent event;
    event.Desc(keySearchFolders, folders.get());
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    ASSERT_EQ(alerts_.alerts().size(), 1u);
    const std::string& error = alerts_.alerts()[0].textBytes;
    EXPECT_EQ(error.size(), 255u);
    EXPECT_EQ(error.rfind("Could not convert \"TestDisk:qqq", 0), 0u);
    const std::string tail = "\" into a file specification.";
    EXPECT_EQ(error.substr(error.size() - tail.size()), tail);
}

TEST_F(LocationsTest, FullPathToFileSpecification) {
    const char good[] = "TestDisk:Docs:Inner";
    FSSpec spec{};
    EXPECT_EQ(FSpLocationFromFullPath(SInt16(sizeof good - 1), good, &spec), noErr);
    EXPECT_TRUE(SameSpec(spec, SpecOf("TestDisk:Docs:Inner")));

    const char unknownVolume[] = "NoSuchDisk:Docs";
    spec.vRefNum = 5;
    OSErr err = FSpLocationFromFullPath(SInt16(sizeof unknownVolume - 1), unknownVolume, &spec);
    EXPECT_NE(err, noErr);
    if (spec.vRefNum == 0) {
        SInt32 parID = spec.parID;  // packed field: no reference to it
        EXPECT_EQ(parID, 0);
        EXPECT_EQ(spec.name[0], 0);
    }
}

}  // namespace
}  // namespace intake_test

namespace intake_test {
namespace {

// Conversion works on intake's own list: the event keeps what the caller sent.
TEST_F(LocationsTest, EventKeepsTheCallersItems) {
    ListBuilder folders;
    folders.Text("TestDisk:Docs:").Text("TestDisk:Gone:");
    FindEvent event;
    event.Desc(keySearchFolders, folders.get());
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    EXPECT_EQ(CountItems(SearchParameters.searchFolders), 1);
    AEDescList sent;
    ASSERT_EQ(AEGetParamDesc(event.get(), keySearchFolders, typeAEList, &sent), noErr);
    ASSERT_EQ(CountItems(sent), 2);
    EXPECT_EQ(ItemType(sent, 1), typeChar);
    EXPECT_EQ(ItemType(sent, 2), typeChar);
    AEDisposeDesc(&sent);
}

}  // namespace
}  // namespace intake_test

namespace intake_test {
namespace {

// Unicode text is a path as much as Mac OS Roman text is.
TEST_F(LocationsTest, UnicodeTextPaths) {
    std::filesystem::create_directories(root_ / "disk" / "Caf\xC3\xA9");
    const std::string cafe = "TestDisk:Caf\xC3\xA9:";
    const std::string noRoman = "TestDisk:\xE6\x97\xA5\xE6\x9C\xAC:";  // two CJK characters
    ListBuilder folders;
    folders.Item(typeUTF8Text, cafe.data(), Size(cafe.size()))
        .Item(typeUTF8Text, noRoman.data(), Size(noRoman.size()));
    FindEvent event;
    event.Desc(keySearchFolders, folders.get());
    EXPECT_EQ(MyGetAllParameters(event.get()), noErr);
    ASSERT_EQ(CountItems(SearchParameters.searchFolders), 1);
    EXPECT_TRUE(SameSpec(ItemSpec(SearchParameters.searchFolders, 1), SpecOf("TestDisk:Caf\x8E")));
    ASSERT_EQ(alerts_.alerts().size(), 1u);
    EXPECT_EQ(alerts_.alerts()[0].textBytes, PathAlert(noRoman));
    const std::string tail = "AEGetNthDesc() returned error: -1700";
    const std::string& why = alerts_.alerts()[0].explanationBytes;
    ASSERT_GT(why.size(), tail.size());
    EXPECT_EQ(why.substr(why.size() - tail.size()), tail) << why;
}

}  // namespace
}  // namespace intake_test

namespace intake_test {
namespace {

// Silence (set by an earlier step) leaves the location alerts out, not the work.
TEST_F(LocationsTest, SilenceLeavesOutTheAlertsButStillDropsBadItems) {
    SearchParameters.wantSilence = true;
    ListBuilder folders;
    folders.Text("TestDisk:Gone:").Text("TestDisk:Docs:");
    FindEvent event;
    event.Desc(keySearchFolders, folders.get());
    EXPECT_EQ(MyGetSearchLocationsParam(event.get(), &SearchParameters.searchDisks,
                                        &SearchParameters.searchFolders),
              noErr);
    EXPECT_TRUE(alerts_.alerts().empty());
    ASSERT_EQ(CountItems(SearchParameters.searchFolders), 1);
    EXPECT_TRUE(SameSpec(ItemSpec(SearchParameters.searchFolders, 1), SpecOf("TestDisk:Docs")));
    EXPECT_EQ(SearchParameters.searchDisks.dataHandle, nullptr);
}

}  // namespace
}  // namespace intake_test
