// Extended attributes of a directory entry, read relative to an open directory
// and never through a symbolic link. Internal to platform/posix.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sw::posix {

// A set of named attribute values: the real attributes of an entry, or a
// table in tests (the hfs. and osx. namespaces cannot be written on ext4).
class AttrSource {
  public:
    virtual ~AttrSource() = default;
    virtual bool Has(std::string_view attr) const = 0;
    // The value of `attr` when present and at most `maxSize` bytes long.
    virtual std::optional<std::vector<std::uint8_t>> Get(std::string_view attr,
                                                         std::size_t maxSize = 1 << 20) const = 0;
    virtual std::optional<std::uint64_t> Size(std::string_view attr) const = 0;
};

// The names of the attributes of `name` in `dirfd` (NUL-separated, as the
// kernel lists them), read with one system call. Empty when the entry has none
// or the file system keeps none; nullopt only when the entry cannot be reached.
class XattrNames final : public AttrSource {
  public:
    // Lists the attributes of `name` in `dirfd` (one system call).
    XattrNames(int dirfd, std::string_view name);

    bool Has(std::string_view attr) const override;
    bool Empty() const { return list_.empty(); }

    // The value of `attr` when it is listed and at most `maxSize` bytes long.
    std::optional<std::vector<std::uint8_t>> Get(std::string_view attr,
                                                 std::size_t maxSize = 1 << 20) const override;
    // The size of `attr` when it is listed.
    std::optional<std::uint64_t> Size(std::string_view attr) const override;

  private:
    const char* Name() const { return longName_.empty() ? shortName_ : longName_.c_str(); }

    int dirfd_;
    // NUL-terminated copy of the name for the system calls: names fit
    // NAME_MAX (255) bytes, so the copy costs no allocation.
    char shortName_[256];
    std::string longName_;  // a longer name (cannot exist on Linux; kept exact)
    std::string list_;
};

// One attribute of `name` in `dirfd` without listing first; nullopt when absent
// or larger than `maxSize`.
std::optional<std::vector<std::uint8_t>> GetXattrAt(int dirfd, std::string_view name,
                                                    std::string_view attr,
                                                    std::size_t maxSize = 1 << 20);

// Low-level calls with the kernel's conventions (-1 and errno on failure).
// `name` and `attr` are NUL-terminated; a null buffer with size 0 asks for the size.
long RawGetXattrAt(int dirfd, const char* name, const char* attr, void* buffer, std::size_t size);
long RawListXattrAt(int dirfd, const char* name, char* buffer, std::size_t size);
// Writes an attribute without following a symbolic link (used by tests and tools).
int RawSetXattrAt(int dirfd, const char* name, const char* attr, const void* value,
                  std::size_t size);

// Forces the /proc/self/fd fallback instead of the *xattrat system calls
// (for tests of the fallback on kernels that have the system calls).
void ForceXattrPathFallback(bool force);

}  // namespace sw::posix
