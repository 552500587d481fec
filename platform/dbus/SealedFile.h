// Large replies travel as sealed memory files: the receiver gets a file
// descriptor whose contents can no longer change.
#pragma once

#include <QByteArray>
#include <QDBusUnixFileDescriptor>

namespace swbus {

// A sealed memfd holding `bytes`, or an invalid descriptor (errno set) on failure.
QDBusUnixFileDescriptor SealedMemoryFile(const char* name, const char* bytes, qint64 size);
// The whole contents of the file behind `fd` from its start; false on a read
// error or when it is larger than `limit` bytes.
bool ReadWholeFile(int fd, qint64 limit, QByteArray* out);

}  // namespace swbus
