#include "platform/dbus/SealedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace swbus {

QDBusUnixFileDescriptor SealedMemoryFile(const char* name, const char* bytes, qint64 size) {
    const int fd = ::memfd_create(name, MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) return {};
    qint64 written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, bytes + written, static_cast<size_t>(size - written));
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return {};
        }
        written += n;
    }
    if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0 ||
        ::lseek(fd, 0, SEEK_SET) != 0) {
        ::close(fd);
        return {};
    }
    QDBusUnixFileDescriptor descriptor(fd);  // keeps a duplicate
    ::close(fd);
    return descriptor;
}

bool ReadWholeFile(int fd, qint64 limit, QByteArray* out) {
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (info.st_size < 0 || info.st_size > limit) return false;
    try {
        out->resize(static_cast<qsizetype>(info.st_size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    qint64 done = 0;
    while (done < info.st_size) {
        const ssize_t n = ::pread(fd, out->data() + done, static_cast<size_t>(info.st_size - done),
                                  static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;  // shorter than it said: a truncated file is not a reply
        done += n;
    }
    return done == info.st_size;
}

}  // namespace swbus
