// Desktop-database comments, kept on Linux in the AppleDouble comment entry
// (a "._" or ".AppleDouble" sidecar, or Netatalk's metadata attribute).
#include <algorithm>
#include <cstring>

#include "platform/Files.h"
#include "platform/posix/CatalogInternal.h"
#include "platform/posix/Metadata.h"

namespace {
// The desktop database's answer for an item that has no comment.
constexpr OSErr afpItemNotFound = -5012;
}  // namespace

OSErr PBDTGetCommentForItem(const FSSpec* spec, Str255 comment) {
    if (comment != nullptr) comment[0] = 0;
    if (spec == nullptr || comment == nullptr) return paramErr;
    sw::posix::OpenedEntry entry;
    if (OSErr err = sw::posix::FSSpecToEntry(*spec, entry); err != noErr) return err;
    sw::posix::EntryLocation at{entry.dirfd, entry.name, entry.isDirectory, true, true};
    auto text = sw::posix::ReadClassicComment(at);
    if (!text || text->empty()) return afpItemNotFound;
    const std::size_t n = std::min<std::size_t>(text->size(), 255);
    std::memcpy(comment + 1, text->data(), n);
    comment[0] = static_cast<unsigned char>(n);
    return noErr;
}
