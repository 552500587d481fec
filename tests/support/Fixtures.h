// Real temporary file trees for tests: folders, files, symbolic links and
// extended attributes. Every helper fails the current test (ADD_FAILURE) when
// the file system refuses, so a fixture never silently lacks a piece.
#pragma once

#include <string>
#include <string_view>

namespace sw::test {

// A fresh folder removed with everything in it (permissions restored first)
// when the object goes away. `base` must exist; the default is a folder on a
// file system with user extended attributes (/var/tmp, else /tmp).
class TempDir {
  public:
    explicit TempDir(std::string_view base = {});
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::string& path() const { return path_; }
    // path() + "/" + relative
    std::string operator/(std::string_view relative) const;

  private:
    std::string path_;
};

void MakeDir(const std::string& path);
void WriteFile(const std::string& path, std::string_view content = {});
void Symlink(const std::string& target, const std::string& path);
// false (with no test failure) when the file system keeps no user attributes.
bool SetXattr(const std::string& path, const std::string& name, std::string_view value);
// True when `dir` accepts user.* extended attributes.
bool SupportsUserXattrs(const std::string& dir);
// Removes a tree, making folders writable and searchable first.
void RemoveTree(const std::string& path);

}  // namespace sw::test
