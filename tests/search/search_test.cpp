#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "command/ProgressWindow.h"
#include "platform/Events.h"
#include "platform/Memory.h"
#include "search/CriterionTests.h"
#include "search/SearchFixture.h"

using namespace sw::test;

namespace {

std::set<std::string> AsSet(const std::vector<std::string>& v) {
    return {v.begin(), v.end()};
}

// root/ a.txt b.txt .dotfile hidden.txt(flag) sidecar.txt(+ ._sidecar.txt, flag)
//       link -> sub, café.txt, Привет.txt, bad\xFF.txt, a:b.txt
//       sub/ c.txt deeper/ d.txt
//       hiddendir(flag)/ e.txt
class SearchTree : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!SupportsUserXattrs(dir_.path())) GTEST_SKIP() << "no user extended attributes here";
        root_ = dir_ / "root";
        MakeDir(root_);
        for (const char* name :
             {"a.txt", "b.txt", ".dotfile", "hidden.txt", "sidecar.txt", "caf\xC3\xA9.txt",
              "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt", "bad\xFF.txt", "a:b.txt"})
            WriteFile(root_ + "/" + name, "x");
        ASSERT_TRUE(
            SetXattr(root_ + "/hidden.txt", "user.com.apple.FinderInfo", FinderInfo(0x4000)));
        WriteFile(root_ + "/._sidecar.txt", AppleDoubleWithFinderInfo(FinderInfo(0x4000)));
        MakeDir(root_ + "/sub");
        WriteFile(root_ + "/sub/c.txt", "c");
        MakeDir(root_ + "/sub/deeper");
        WriteFile(root_ + "/sub/deeper/d.txt", "d");
        MakeDir(root_ + "/hiddendir");
        WriteFile(root_ + "/hiddendir/e.txt", "e");
        ASSERT_TRUE(
            SetXattr(root_ + "/hiddendir", "user.com.apple.FinderInfo", FinderInfo(0x4000)));
        Symlink("sub", root_ + "/link");
    }
    void TearDown() override { ClearCommandPeriod(); }

    std::string P(const std::string& relative) const { return root_ + "/" + relative; }
    std::set<std::string> TopFiles() const {
        return {P("a.txt"),           P("b.txt"),
                P(".dotfile"),        P("hidden.txt"),
                P("sidecar.txt"),     P("link"),
                P("caf\xC3\xA9.txt"), P("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt"),
                P("bad\xFF.txt"),     P("a:b.txt")};
    }

    TempDir dir_;
    std::string root_;
};

TEST_F(SearchTree, DefaultOptionsGiveTheFilesDirectlyInsideTheRoot) {
    DefaultParameters(FourCC("pat2"));
    WalkResult r = Walk(root_);
    ASSERT_EQ(r.err, noErr);
    EXPECT_EQ(AsSet(r.texts), TopFiles());
    EXPECT_EQ(r.texts.size(), TopFiles().size());  // each once; the sidecar is not an item
    EXPECT_EQ(SearchState.filesScanned, 10);
    EXPECT_EQ(SearchState.foldersScanned, 2);
    EXPECT_EQ(SearchState.itemsScanned, 12);
    EXPECT_EQ(SearchState.filesMatched, 10);
    EXPECT_EQ(SearchState.itemsMatched, 10);
    EXPECT_EQ(SearchState.foldersMatched, 0);
    EXPECT_FALSE(AsSet(r.texts).count(root_)) << "the root is never a result";
}

TEST_F(SearchTree, SubfoldersAreWalkedButLinksAreNotFollowed) {
    DefaultParameters(FourCC("pat2"));
    SearchParameters.wantSubfolders = 1;
    WalkResult r = Walk(root_);
    ASSERT_EQ(r.err, noErr);
    std::set<std::string> expected = TopFiles();
    expected.insert({P("sub/c.txt"), P("sub/deeper/d.txt"), P("hiddendir/e.txt")});
    EXPECT_EQ(AsSet(r.texts), expected);
    EXPECT_EQ(r.texts.size(), expected.size());
    EXPECT_EQ(SearchState.foldersScanned, 3);
    EXPECT_EQ(SearchState.foldersMatched, 0) << "folders are walked, not returned, by default";
}

TEST_F(SearchTree, FoldersOnlyComeBeforeTheirContents) {
    DefaultParameters(FourCC("pat2"));
    SearchParameters.wantSubfolders = 1;
    SearchParameters.wantFolders = 1;
    SearchParameters.wantFiles = 0;
    WalkResult r = Walk(root_);
    ASSERT_EQ(r.err, noErr);
    EXPECT_EQ(AsSet(r.texts), (std::set<std::string>{P("sub"), P("sub/deeper"), P("hiddendir")}));
    auto at = [&](const std::string& s) { return std::find(r.texts.begin(), r.texts.end(), s); };
    EXPECT_LT(at(P("sub")), at(P("sub/deeper")));
    EXPECT_EQ(SearchState.filesMatched, 0);
    EXPECT_EQ(SearchState.filesScanned, 13);
}

TEST_F(SearchTree, InvisiblesAreLeftOutByFinderFlagOnlyAndHiddenFoldersAreStillWalked) {
    DefaultParameters(FourCC("pat2"));
    SearchParameters.wantSubfolders = 1;
    SearchParameters.wantFolders = 1;
    SearchParameters.wantInvisibles = 0;
    WalkResult r = Walk(root_);
    ASSERT_EQ(r.err, noErr);
    const std::set<std::string> got = AsSet(r.texts);
    EXPECT_FALSE(got.count(P("hidden.txt"))) << "flag in the extended attribute";
    EXPECT_FALSE(got.count(P("sidecar.txt"))) << "flag in the AppleDouble sidecar";
    EXPECT_FALSE(got.count(P("hiddendir")));
    EXPECT_TRUE(got.count(P("hiddendir/e.txt"))) << "an invisible folder is still descended into";
    EXPECT_TRUE(got.count(P(".dotfile"))) << "a leading dot does not make an item invisible";
    EXPECT_TRUE(got.count(P("sub")));
    EXPECT_EQ(SearchState.itemsScanned, 16);
    EXPECT_EQ(SearchState.itemsMatched, 13);
}

TEST_F(SearchTree, NamesWithoutARomanFormComeAsUnicodeText) {
    DefaultParameters(FourCC("pat2"));
    WalkResult r = Walk(root_);
    ASSERT_EQ(r.err, noErr);
    auto find = [&](const std::string& path) -> const Element* {
        for (const Element& e : r.elements)
            if (e.text == path) return &e;
        return nullptr;
    };
    struct Row {
        const char* name;
        std::string path;
        DescType type;
    } rows[] = {
        {"ascii", P("a.txt"), typeChar},
        {"accented (Roman 0x8E)", P("caf\xC3\xA9.txt"), typeChar},
        {"cyrillic", P("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt"), typeUnicodeText},
        {"not UTF-8", P("bad\xFF.txt"), typeUnicodeText},
        {"colon in the POSIX name", P("a:b.txt"), typeChar},
    };
    for (const Row& row : rows) {
        const Element* e = find(row.path);
        ASSERT_NE(e, nullptr) << row.name;
        EXPECT_EQ(e->type, row.type) << row.name;
    }
    const Element* cafe = find(P("caf\xC3\xA9.txt"));
    ASSERT_NE(cafe, nullptr);
    EXPECT_NE(cafe->bytes.find('\x8E'), std::string::npos) << "é is one Mac OS Roman byte";
}

// Every form reads back to the same items.
TEST_F(SearchTree, EveryResultFormNamesTheSameItems) {
    DefaultParameters(FourCC("pat2"));
    WalkResult posix = Walk(root_);
    ASSERT_EQ(posix.err, noErr);

    auto pathOfRef = [](const FSRef& ref) {
        UInt8 buffer[4096];
        return FSRefMakePath(&ref, buffer, sizeof buffer) == noErr
                   ? std::string(reinterpret_cast<char*>(buffer))
                   : std::string("<no path>");
    };
    auto pathOfSpec = [&](const FSSpec& spec) {
        FSRef ref;
        if (FSpMakeFSRef(&spec, &ref) != noErr) return std::string("<no ref>");
        return pathOfRef(ref);
    };

    {
        DefaultParameters(FourCC("path"));
        WalkResult r = Walk(root_);
        ASSERT_EQ(r.err, noErr);
        ASSERT_EQ(r.elements.size(), 10u);
        std::set<std::string> readBack;
        for (const Element& e : r.elements) {
            if (e.type != typeChar) continue;  // colon paths without a Roman form are text only
            ASSERT_LE(e.bytes.size(), 255u);
            Str255 pascal;
            pascal[0] = static_cast<unsigned char>(e.bytes.size());
            std::memcpy(pascal + 1, e.bytes.data(), e.bytes.size());
            FSSpec spec;
            ASSERT_EQ(FSMakeFSSpec(0, 0, pascal, &spec), noErr) << e.text;
            readBack.insert(pathOfSpec(spec));
        }
        std::set<std::string> expected = TopFiles();
        expected.erase(P("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt"));
        expected.erase(P("bad\xFF.txt"));
        EXPECT_EQ(readBack, expected);
        bool colonName = false;
        for (const Element& e : r.elements) colonName |= e.text.ends_with(":a/b.txt");
        EXPECT_TRUE(colonName) << "a POSIX ':' reads '/' in a colon path";
    }
    {
        DefaultParameters(FourCC("name"));
        WalkResult r = Walk(root_);
        ASSERT_EQ(r.err, noErr);
        EXPECT_EQ(AsSet(r.texts),
                  (std::set<std::string>{"a.txt", "b.txt", ".dotfile", "hidden.txt", "sidecar.txt",
                                         "link", "caf\xC3\xA9.txt",
                                         "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt",
                                         "bad\xFF.txt", "a/b.txt"}));
    }
    {
        DefaultParameters(FourCC("alis"));
        WalkResult r = Walk(root_);
        ASSERT_EQ(r.err, noErr);
        std::set<std::string> resolved;
        for (const Element& e : r.elements) {
            ASSERT_EQ(e.type, typeAlias);
            Handle alias = NewHandle(static_cast<Size>(e.bytes.size()));
            std::memcpy(*alias, e.bytes.data(), e.bytes.size());
            FSSpec spec;
            Boolean changed = 0;
            EXPECT_EQ(ResolveAlias(nullptr, alias, &spec, &changed), noErr);
            resolved.insert(pathOfSpec(spec));
            DisposeHandle(alias);
        }
        std::set<std::string> expected = TopFiles();
        EXPECT_EQ(resolved, expected);
    }
    {
        DefaultParameters(FourCC("file"));
        WalkResult r = Walk(root_);
        ASSERT_EQ(r.err, noErr);
        std::set<std::string> resolved;
        for (const Element& e : r.elements) {
            ASSERT_EQ(e.type, typeFSS);
            ASSERT_EQ(e.bytes.size(), 70u);
            FSSpec spec;
            std::memcpy(&spec, e.bytes.data(), sizeof spec);
            resolved.insert(pathOfSpec(spec));
        }
        EXPECT_EQ(resolved, TopFiles());
    }
    {
        DefaultParameters(FourCC("xxxx"));
        WalkResult r = Walk(root_);
        EXPECT_TRUE(r.elements.empty()) << "an unknown form appends nothing";
        EXPECT_EQ(SearchState.filesMatched, 10) << "but the matches are counted";
    }
}

// A symbolic link is an item of its own: its alias and file specification
// must name the link, not what it points to.
TEST_F(SearchTree, ALinkReadsBackAsTheLinkItself) {
    DefaultParameters(FourCC("file"));
    WalkResult r = Walk(root_);
    ASSERT_EQ(r.err, noErr);
    bool sawLink = false;
    for (const Element& e : r.elements) {
        FSSpec spec;
        std::memcpy(&spec, e.bytes.data(), sizeof spec);
        if (std::string(reinterpret_cast<char*>(spec.name + 1), spec.name[0]) != "link") continue;
        sawLink = true;
        FSRef ref;
        ASSERT_EQ(FSpMakeFSRef(&spec, &ref), noErr);
        UInt8 buffer[4096];
        ASSERT_EQ(FSRefMakePath(&ref, buffer, sizeof buffer), noErr);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), P("link"));
    }
    EXPECT_TRUE(sawLink);
}

// The same for the link's alias and colon path: resolving them must not
// follow a link in the last component to the folder it points to.
TEST_F(SearchTree, ALinkAliasAndColonPathNameTheLink) {
    for (OSType form : {FourCC("alis"), FourCC("path")}) {
        DefaultParameters(form);
        WalkResult r = Walk(root_);
        ASSERT_EQ(r.err, noErr);
        for (const Element& e : r.elements) {
            FSSpec spec;
            if (form == FourCC("alis")) {
                Handle alias = NewHandle(static_cast<Size>(e.bytes.size()));
                std::memcpy(*alias, e.bytes.data(), e.bytes.size());
                Boolean changed = 0;
                ASSERT_EQ(ResolveAlias(nullptr, alias, &spec, &changed), noErr);
                DisposeHandle(alias);
            } else {
                if (!e.text.ends_with(":link")) continue;
                Str255 pascal;
                pascal[0] = static_cast<unsigned char>(e.bytes.size());
                std::memcpy(pascal + 1, e.bytes.data(), e.bytes.size());
                ASSERT_EQ(FSMakeFSSpec(0, 0, pascal, &spec), noErr);
            }
            EXPECT_NE(std::string(reinterpret_cast<char*>(spec.name + 1), spec.name[0]), "sub")
                << "the link's " << (form == FourCC("alis") ? "alias" : "colon path")
                << " names what it points to";
        }
    }
}

TEST_F(SearchTree, ThePosixRootGetsNoSecondSeparator) {
    DefaultParameters(FourCC("pat2"));
    SearchParameters.wantSubfolders = 1;
    WalkResult r = Walk(root_, "/");
    ASSERT_EQ(r.err, noErr);
    const std::set<std::string> got = AsSet(r.texts);
    EXPECT_TRUE(got.count("/a.txt"));
    EXPECT_TRUE(got.count("/sub/c.txt")) << "descending from / gives /sub";
    EXPECT_TRUE(got.count("/sub/deeper/d.txt"));
    for (const std::string& t : r.texts) EXPECT_EQ(t.find("//"), std::string::npos) << t;
}

TEST_F(SearchTree, CommandPeriodStopsAfterTheEntryBeingEvaluated) {
    DefaultParameters(FourCC("pat2"));
    PostCommandPeriod();
    WalkResult r = Walk(root_);
    EXPECT_EQ(r.err, noErr);
    EXPECT_TRUE(SearchState.userAborted);
    EXPECT_EQ(SearchState.itemsScanned, 1) << "no entry after the poll is evaluated";
}

// Finder information is read only when a test looks at it: with invisibles
// wanted nothing does, with invisibles excluded the visibility test does.
TEST(Traversal, FinderInformationIsReadOnlyWhenATestNeedsIt) {
    TempDir dir;
    WriteFile(dir / "f");
    FSRef folder;
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(dir.path().c_str()), &folder, nullptr),
              noErr);
    for (bool wantInvisibles : {true, false}) {
        DefaultParameters(FourCC("pat2"));
        SearchParameters.wantInvisibles = wantInvisibles;
        SearchState.searchActive = 1;
        SearchState.userAborted = 0;
        SearchState.itemsMatched = SearchState.filesMatched = SearchState.foldersMatched = 0;
        SearchState.itemsScanned = SearchState.filesScanned = SearchState.foldersScanned = 0;
        AECreateList(nullptr, 0, false, &SearchState.resultList);
        SearchState.currentRootPath = CFStringCreateMutableCopy(nullptr, 0, CFSTR("/x"));
        FSIterator iterator = nullptr;
        ASSERT_EQ(FSOpenIterator(&folder, kFSIterateFlat, &iterator), noErr);
        FSCatalogInfo info;
        FSRef ref;
        HFSUniStr255 name;
        UInt32 count = 0;
        FSGetCatalogInfoBulk(iterator, 1, &count, nullptr,
                             kFSCatInfoNodeFlags | kFSCatInfoFinderInfo, &info, &ref, nullptr,
                             &name);
        ASSERT_EQ(count, 1u);
        ASSERT_NE(info.lazy, nullptr) << "the bulk read itself reads no Finder information";
        EvaluateItem(&info, &ref, &name);
        if (wantInvisibles)
            EXPECT_NE(info.lazy, nullptr) << "no test needed it";
        else
            EXPECT_EQ(info.lazy, nullptr) << "the visibility test read it";
        EXPECT_EQ(SearchState.filesMatched, 1);
        FSCloseIterator(iterator);
        CFRelease(SearchState.currentRootPath);
        SearchState.currentRootPath = nullptr;
        AEDisposeDesc(&SearchState.resultList);
    }
}

TEST(CriterionTable, TellsWhichParametersItTests) {
    EXPECT_TRUE(CriterionIsTested(FourCC("invs")));
    EXPECT_FALSE(CriterionIsTested(FourCC("zzzz")));
    EXPECT_FALSE(CriterionIsTested(0)) << "unused keyword slots match nothing";
}

TEST(CommandPeriodDown, FollowsTheKeyState) {
    ClearCommandPeriod();
    EXPECT_FALSE(CommandPeriodDown());
    PostCommandPeriod();
    EXPECT_TRUE(CommandPeriodDown());
    ClearCommandPeriod();
    EXPECT_FALSE(CommandPeriodDown());
}

TEST(Traversal, EveryEntryOfEveryBatchIsEvaluatedOnce) {
    for (int count : {0, 1, 112, 113, 114, 226, 227}) {
        TempDir dir;
        for (int i = 0; i < count; ++i) WriteFile(dir / ("f" + std::to_string(i)));
        DefaultParameters(FourCC("pat2"));
        WalkResult r = Walk(dir.path());
        EXPECT_EQ(r.err, noErr) << count;
        EXPECT_EQ(SearchState.itemsScanned, count) << count;
        EXPECT_EQ(AsSet(r.texts).size(), static_cast<std::size_t>(count)) << count;
    }
}

TEST(Traversal, MaximumReachedInsideABatchStopsBeforeTheRest) {
    TempDir dir;
    for (int i = 0; i < 10; ++i) WriteFile(dir / ("f" + std::to_string(i)));
    MakeDir(dir / "more");
    for (int i = 0; i < 10; ++i) WriteFile(dir / ("more/g" + std::to_string(i)));
    for (int max : {1, 5}) {
        DefaultParameters(FourCC("pat2"));
        SearchParameters.maxMatches = max;
        SearchParameters.wantFiles = 1;
        WalkResult r = Walk(dir.path());
        EXPECT_EQ(r.err, noErr) << max;
        EXPECT_EQ(r.texts.size(), static_cast<std::size_t>(max)) << max;
        EXPECT_EQ(SearchState.itemsMatched, max) << max;
        EXPECT_FALSE(SearchState.searchActive) << max;
        // Only the folder may have been scanned without matching.
        EXPECT_LE(SearchState.itemsScanned, max + 1) << max;
        EXPECT_EQ(SearchState.filesScanned, max) << "later entries of the batch are not counted";
    }
}

TEST(Traversal, ARootThatIsAFileIsAnError) {
    TempDir dir;
    WriteFile(dir / "plain");
    DefaultParameters(FourCC("pat2"));
    WalkResult r = Walk(dir / "plain");
    EXPECT_NE(r.err, noErr);
    EXPECT_EQ(SearchState.itemsScanned, 0);
}

TEST(Traversal, AStoppedSearchDoesNotOpenTheFolder) {
    TempDir dir;
    WriteFile(dir / "f");
    DefaultParameters(FourCC("pat2"));
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(dir.path().c_str()), &ref, nullptr),
              noErr);
    SearchState.searchActive = 0;
    SearchState.itemsScanned = 0;
    EXPECT_EQ(IterateFolder(&ref), noErr);
    EXPECT_EQ(SearchState.itemsScanned, 0);
}

TEST(PathComponents, FollowTheRuleOfPathResults) {
    struct Row {
        const char* name;
        const char* path;
        const char* component;
        bool hfs;
        const char* expected;
    } rows[] = {
        {"posix", "/x", "a", false, "/x/a"},
        {"posix root", "/", "a", false, "/a"},
        {"colon form", "Disk", "a", true, "Disk:a"},
        {"colon form of a POSIX ':'", "Disk", "a/b", true, "Disk:a/b"},
        {"POSIX ':' shown as '/'", "/x", "a/b", false, "/x/a:b"},
    };
    for (const Row& row : rows) {
        CFStringRef start = CFStringCreateWithCString(nullptr, row.path, kCFStringEncodingUTF8);
        CFMutableStringRef path = CFStringCreateMutableCopy(nullptr, 0, start);
        CFStringRef name = CFStringCreateWithCString(nullptr, row.component, kCFStringEncodingUTF8);
        const CFIndex added = AppendPathComponent(path, name, row.hfs);
        char out[256];
        ASSERT_TRUE(CFStringGetCString(path, out, sizeof out, kCFStringEncodingUTF8)) << row.name;
        EXPECT_STREQ(out, row.expected) << row.name;
        CFStringDelete(path, CFRangeMake(CFStringGetLength(path) - added, added));
        EXPECT_EQ(CFStringCompare(path, start, 0), kCFCompareEqualTo)
            << row.name << ": cutting the appended units restores the path";
        CFRelease(name);
        CFRelease(path);
        CFRelease(start);
    }
}

// Counts what the display is given, to check when it is called.
struct RecordingDisplay final : ProgressDisplay {
    void Open() override { ++opens; }
    void Update(CFStringRef, CFStringRef, SInt32 filesScanned, SInt32 foldersScanned, SInt32,
                SInt32, const char* criteria) override {
        counts.push_back(filesScanned + foldersScanned);
        lastCriteria = criteria;
    }
    void Close() override { ++closes; }
    int opens = 0, closes = 0;
    std::vector<int> counts;
    std::string lastCriteria;
};

TEST(Progress, OneUpdatePerEntryWithTheCountsBeforeIt) {
    TempDir dir;
    for (int i = 0; i < 5; ++i) WriteFile(dir / ("f" + std::to_string(i)));
    RecordingDisplay display;
    ProgressDisplay* previous = SetProgressDisplay(&display);
    for (bool wanted : {false, true}) {
        display.counts.clear();
        DefaultParameters(FourCC("pat2"));
        SearchParameters.wantDisplay = wanted;
        std::strcpy(SearchState.criteriaText, "result type: POSIX paths");
        if (wanted) OpenProgressWindow();
        Walk(dir.path());
        if (wanted) CloseProgressWindow();
        if (!wanted) {
            EXPECT_TRUE(display.counts.empty()) << "no display, no update";
            continue;
        }
        EXPECT_EQ(display.counts, (std::vector<int>{0, 1, 2, 3, 4}));
        EXPECT_EQ(display.lastCriteria, "result type: POSIX paths");
    }
    EXPECT_EQ(display.opens, 1);
    EXPECT_EQ(display.closes, 1);
    SetProgressDisplay(previous);
}

}  // namespace
