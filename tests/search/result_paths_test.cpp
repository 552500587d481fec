// Every result form must name the file as it is stored: a POSIX path that
// lstat finds, a colon path that FSMakeFSSpec resolves, an alias and a file
// specification that lead back to the same inode, whatever the spelling of
// the names on the way (decomposed or composed accents, Cyrillic, bytes that
// are not UTF-8, ':' in a POSIX name, symbolic links).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Memory.h"
#include "search/SearchFixture.h"

using namespace sw::test;

namespace {

// UTF-8 spellings of the names in the tree.
const std::string kDecomposed = "Cafe\xCC\x81";           // e + U+0301
const std::string kComposed = "Caf\xC3\xA9-2";            // U+00E9
const std::string kCyrillic = "\xD0\x96urnal";            // U+0416
const std::string kNotUtf8 = "bad\xFF";                   // not UTF-8
const std::string kColon = "a:b";                         // HFS name a/b
const std::string kFolder = "Dossier-e\xCC\x81";          // decomposed folder name
const std::string kInner = "Re\xCC\x81sume\xCC\x81.txt";  // decomposed, inside it
const std::string kColonFolder = "x:y";                   // a folder with ':' in its name

std::string HfsName(std::string posix) {
    for (char& c : posix)
        if (c == ':') c = '/';
    return posix;
}

// root/ Café(decomposed) Café-2(composed) Жurnal bad\xFF a:b plain
//       flink -> plain, dlink -> Dossier-é, gone -> nowhere
//       Dossier-é(decomposed)/ Résumé.txt(decomposed)
//       x:y/ z
class ResultPaths : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = dir_ / "root";
        MakeDir(root_);
        for (const std::string& name : {kDecomposed, kComposed, kCyrillic, kNotUtf8, kColon})
            WriteFile(root_ + "/" + name, "x");
        WriteFile(root_ + "/plain", "p");
        MakeDir(root_ + "/" + kFolder);
        WriteFile(root_ + "/" + kFolder + "/" + kInner, "i");
        MakeDir(root_ + "/" + kColonFolder);
        WriteFile(root_ + "/" + kColonFolder + "/z", "z");
        Symlink("plain", root_ + "/flink");
        Symlink(kFolder, root_ + "/dlink");
        Symlink("nowhere", root_ + "/gone");
        // Relative to the root: every item below it, by its POSIX path.
        for (const std::string& rel :
             {kDecomposed, kComposed, kCyrillic, kNotUtf8, kColon, std::string("plain"),
              std::string("flink"), std::string("dlink"), std::string("gone"), kFolder,
              kFolder + "/" + kInner, kColonFolder, kColonFolder + "/z"})
            items_.push_back(rel);
    }

    // Every file and folder, subfolders walked.
    WalkResult WalkAll(OSType form) {
        DefaultParameters(form);
        SearchParameters.wantSubfolders = SearchParameters.wantFolders = 1;
        return Walk(root_);
    }

    static std::string InodeOf(const std::string& path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return "<missing: " + path + ">";
        return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    }
    // lstat identities of every item, keyed by its path relative to the root.
    std::map<std::string, std::string> ExpectedIdentities() const {
        std::map<std::string, std::string> out;
        for (const std::string& rel : items_) out[rel] = InodeOf(root_ + "/" + rel);
        return out;
    }
    std::set<std::string> ExpectedInodes() const {
        std::set<std::string> out;
        for (const auto& [rel, inode] : ExpectedIdentities()) out.insert(inode);
        return out;
    }

    static std::string PathOfRef(const FSRef& ref) {
        UInt8 buffer[4096];
        if (FSRefMakePath(&ref, buffer, sizeof buffer) != noErr) return "<no path>";
        return reinterpret_cast<char*>(buffer);
    }
    static std::string PathOfSpec(const FSSpec& spec) {
        FSRef ref;
        if (FSpMakeFSRef(&spec, &ref) != noErr) return "<no ref>";
        return PathOfRef(ref);
    }

    TempDir dir_;
    std::string root_;
    std::vector<std::string> items_;
};

// A name has a 'TEXT' form only when Mac OS Roman holds it exactly.
TEST_F(ResultPaths, PosixPathsAreTheStoredBytesAndTextOnlyWhenRomanIsExact) {
    WalkResult r = WalkAll(FourCC("pat2"));
    ASSERT_EQ(r.err, noErr);
    ASSERT_EQ(r.elements.size(), items_.size());
    std::set<std::string> got;
    for (const Element& e : r.elements) {
        EXPECT_EQ(InodeOf(e.text).find("<missing"), std::string::npos)
            << "lstat does not find " << e.text;
        got.insert(e.text);
    }
    std::set<std::string> expected;
    for (const std::string& rel : items_) expected.insert(root_ + "/" + rel);
    EXPECT_EQ(got, expected);

    struct Row {
        const char* name;
        std::string relative;
        DescType type;
    } rows[] = {
        {"decomposed accent", kDecomposed, typeUnicodeText},
        {"composed accent", kComposed, typeChar},
        {"cyrillic", kCyrillic, typeUnicodeText},
        {"not UTF-8", kNotUtf8, typeUnicodeText},
        {"':' in the name", kColon, typeChar},
        {"inside a decomposed folder", kFolder + "/" + kInner, typeUnicodeText},
        {"inside a folder with ':'", kColonFolder + "/z", typeChar},
        {"link to a folder", "dlink", typeChar},
    };
    for (const Row& row : rows) {
        const Element* found = nullptr;
        for (const Element& e : r.elements)
            if (e.text == root_ + "/" + row.relative) found = &e;
        ASSERT_NE(found, nullptr) << row.name;
        EXPECT_EQ(found->type, row.type) << row.name;
    }
}

TEST_F(ResultPaths, ColonPathsResolveToTheSameFiles) {
    WalkResult r = WalkAll(FourCC("path"));
    ASSERT_EQ(r.err, noErr);
    ASSERT_EQ(r.elements.size(), items_.size());

    FSRef rootRef;
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(root_.c_str()), &rootRef, nullptr),
              noErr);
    CFURLRef url = CFURLCreateFromFSRef(nullptr, &rootRef);
    CFStringRef hfsRoot = CFURLCopyFileSystemPath(url, kCFURLHFSPathStyle);
    char rootText[1024];
    ASSERT_TRUE(CFStringGetCString(hfsRoot, rootText, sizeof rootText, kCFStringEncodingUTF8));
    CFRelease(hfsRoot);
    CFRelease(url);

    const std::map<std::string, std::string> identities = ExpectedIdentities();
    std::set<std::string> readBack;
    for (const std::string& rel : items_) {
        // The colon path carries each name exactly, a POSIX ':' as '/'.
        const std::string text =
            std::string(rootText) + ":" +
            (rel.find('/') == std::string::npos ? HfsName(rel)
                                                : HfsName(rel.substr(0, rel.find('/'))) + ":" +
                                                      HfsName(rel.substr(rel.find('/') + 1)));
        const Element* e = nullptr;
        for (const Element& candidate : r.elements)
            if (candidate.text == text) e = &candidate;
        ASSERT_NE(e, nullptr) << "no colon path " << text;

        // What a script does with it: 'TEXT' as it is, 'utxt' turned into
        // Mac OS Roman (which composes accents), then FSMakeFSSpec.
        std::string roman = e->bytes;
        if (e->type == typeUnicodeText) {
            AEDesc unicode, coerced;
            AEInitializeDesc(&coerced);
            ASSERT_EQ(AECreateDesc(typeUnicodeText, e->bytes.data(),
                                   static_cast<Size>(e->bytes.size()), &unicode),
                      noErr);
            const OSErr err = AECoerceDesc(&unicode, typeChar, &coerced);
            AEDisposeDesc(&unicode);
            if (err != noErr) {
                // No Mac OS Roman form at all (Cyrillic, bytes that are not
                // UTF-8): nothing a Str255 can carry; the exact text is checked above.
                EXPECT_TRUE(rel == kCyrillic || rel == kNotUtf8) << rel;
                continue;
            }
            roman.assign(static_cast<const char*>(AEGetDescDataPtr(&coerced)),
                         AEGetDescDataSize(&coerced));
            AEDisposeDesc(&coerced);
        }
        ASSERT_LE(roman.size(), 255u) << text;
        Str255 pascal;
        pascal[0] = static_cast<unsigned char>(roman.size());
        std::memcpy(pascal + 1, roman.data(), roman.size());
        FSSpec spec;
        ASSERT_EQ(FSMakeFSSpec(0, 0, pascal, &spec), noErr) << text;
        const std::string path = PathOfSpec(spec);
        EXPECT_EQ(path, root_ + "/" + rel) << text;
        EXPECT_EQ(InodeOf(path), identities.at(rel)) << text;
        readBack.insert(rel);
    }
    EXPECT_EQ(readBack.size(), items_.size() - 2) << "all but the two without a Roman form";
}

TEST_F(ResultPaths, NamesAreTheCatalogNamesExactly) {
    WalkResult r = WalkAll(FourCC("name"));
    ASSERT_EQ(r.err, noErr);
    std::map<std::string, DescType> got;
    for (const Element& e : r.elements) got[e.text] = e.type;
    const std::map<std::string, DescType> expected = {{kDecomposed, typeUnicodeText},
                                                      {kComposed, typeChar},
                                                      {kCyrillic, typeUnicodeText},
                                                      {kNotUtf8, typeUnicodeText},
                                                      {"a/b", typeChar},
                                                      {"plain", typeChar},
                                                      {"flink", typeChar},
                                                      {"dlink", typeChar},
                                                      {"gone", typeChar},
                                                      {kFolder, typeUnicodeText},
                                                      {kInner, typeUnicodeText},
                                                      {"x/y", typeChar},
                                                      {"z", typeChar}};
    EXPECT_EQ(got, expected);
}

TEST_F(ResultPaths, AliasesAndFileSpecificationsResolveToTheSameInodes) {
    for (OSType form : {FourCC("alis"), FourCC("file")}) {
        WalkResult r = WalkAll(form);
        ASSERT_EQ(r.err, noErr);
        std::set<std::string> paths, inodes;
        for (const Element& e : r.elements) {
            FSSpec spec;
            if (form == FourCC("alis")) {
                ASSERT_EQ(e.type, typeAlias);
                Handle alias = NewHandle(static_cast<Size>(e.bytes.size()));
                std::memcpy(*alias, e.bytes.data(), e.bytes.size());
                Boolean changed = 0;
                ASSERT_EQ(ResolveAlias(nullptr, alias, &spec, &changed), noErr);
                EXPECT_FALSE(changed);
                DisposeHandle(alias);
            } else {
                ASSERT_EQ(e.type, typeFSS);
                ASSERT_EQ(e.bytes.size(), sizeof spec);
                std::memcpy(&spec, e.bytes.data(), sizeof spec);
            }
            const std::string path = PathOfSpec(spec);
            paths.insert(path);
            inodes.insert(InodeOf(path));
        }
        std::set<std::string> expected;
        for (const std::string& rel : items_) expected.insert(root_ + "/" + rel);
        EXPECT_EQ(paths, expected) << (form == FourCC("alis") ? "aliases" : "specifications");
        EXPECT_EQ(inodes, ExpectedInodes());
    }
}

// A link is the item: its results never lead to what it points to, and a
// dangling one is found all the same.
TEST_F(ResultPaths, LinksReadBackAsTheLinks) {
    struct Row {
        const char* name;
        OSType form;
    } rows[] = {{"colon path", FourCC("path")}, {"alias", FourCC("alis")}};
    for (const Row& row : rows) {
        WalkResult r = WalkAll(row.form);
        ASSERT_EQ(r.err, noErr) << row.name;
        std::set<std::string> links;
        for (const Element& e : r.elements) {
            FSSpec spec;
            if (row.form == FourCC("path")) {
                if (e.type != typeChar) continue;
                Str255 pascal;
                pascal[0] = static_cast<unsigned char>(e.bytes.size());
                std::memcpy(pascal + 1, e.bytes.data(), e.bytes.size());
                ASSERT_EQ(FSMakeFSSpec(0, 0, pascal, &spec), noErr) << row.name << " " << e.text;
            } else {
                Handle alias = NewHandle(static_cast<Size>(e.bytes.size()));
                std::memcpy(*alias, e.bytes.data(), e.bytes.size());
                Boolean changed = 0;
                ASSERT_EQ(ResolveAlias(nullptr, alias, &spec, &changed), noErr) << row.name;
                DisposeHandle(alias);
            }
            FSRef ref;
            ASSERT_EQ(FSpMakeFSRef(&spec, &ref), noErr) << row.name;
            const std::string path = PathOfRef(ref);
            struct stat st {};
            ASSERT_EQ(::lstat(path.c_str(), &st), 0) << row.name << " " << path;
            if (S_ISLNK(st.st_mode)) {
                links.insert(path);
                EXPECT_FALSE(FSRefIsDirectory(&ref)) << row.name << ": a link is a file";
            }
        }
        EXPECT_EQ(links,
                  (std::set<std::string>{root_ + "/flink", root_ + "/dlink", root_ + "/gone"}))
            << row.name;
    }
}

}  // namespace

// The first name that differs from its form-D copy (a composed accent) may
// sit deep in the tree, below folders whose names did not differ.
TEST(ResultPathsDeep, AListedNameFirstMetSeveralLevelsDown) {
    TempDir dir;
    const std::string deep = dir / "a/b/c";
    MakeDir(dir / "a");
    MakeDir(dir / "a/b");
    MakeDir(deep);
    WriteFile(deep + "/" + kComposed);
    WriteFile(dir / ("a/" + kComposed));
    DefaultParameters(FourCC("pat2"));
    SearchParameters.wantSubfolders = 1;
    WalkResult r = Walk(dir.path());
    ASSERT_EQ(r.err, noErr);
    std::set<std::string> got(r.texts.begin(), r.texts.end());
    EXPECT_EQ(got, (std::set<std::string>{deep + "/" + kComposed, dir / ("a/" + kComposed)}));
}
