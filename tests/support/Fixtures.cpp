#include "support/Fixtures.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sw::test {

namespace {

std::string DefaultBase() {
    struct stat st {};
    if (::stat("/var/tmp", &st) == 0 && S_ISDIR(st.st_mode) && ::access("/var/tmp", W_OK) == 0) {
        return "/var/tmp";
    }
    return "/tmp";
}

}  // namespace

TempDir::TempDir(std::string_view base) {
    std::string templ = (base.empty() ? DefaultBase() : std::string(base)) + "/sw-test-XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp " << templ << ": " << std::strerror(errno);
    }
    path_ = templ;
}

TempDir::~TempDir() {
    if (!path_.empty()) RemoveTree(path_);
}

std::string TempDir::operator/(std::string_view relative) const {
    return path_ + "/" + std::string(relative);
}

void MakeDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0) {
        ADD_FAILURE() << "mkdir " << path << ": " << std::strerror(errno);
    }
}

void WriteFile(const std::string& path, std::string_view content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        ADD_FAILURE() << "create " << path << ": " << std::strerror(errno);
        return;
    }
    if (::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size())) {
        ADD_FAILURE() << "write " << path << ": " << std::strerror(errno);
    }
    ::close(fd);
}

void Symlink(const std::string& target, const std::string& path) {
    if (::symlink(target.c_str(), path.c_str()) != 0) {
        ADD_FAILURE() << "symlink " << path << ": " << std::strerror(errno);
    }
}

bool SetXattr(const std::string& path, const std::string& name, std::string_view value) {
    if (::lsetxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) == 0) return true;
    if (errno != ENOTSUP && errno != EPERM) {
        ADD_FAILURE() << "setxattr " << path << " " << name << ": " << std::strerror(errno);
    }
    return false;
}

bool SupportsUserXattrs(const std::string& dir) {
    const std::string probe = dir + "/.xattr-probe";
    WriteFile(probe, "");
    const bool ok = ::lsetxattr(probe.c_str(), "user.sw.probe", "1", 1, 0) == 0;
    ::unlink(probe.c_str());
    return ok;
}

void RemoveTree(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        ::chmod(path.c_str(), 0755);
        if (DIR* d = ::opendir(path.c_str())) {
            while (dirent* e = ::readdir(d)) {
                if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
                RemoveTree(path + "/" + e->d_name);
            }
            ::closedir(d);
        }
        ::rmdir(path.c_str());
    } else {
        ::unlink(path.c_str());
    }
}

}  // namespace sw::test
