// The Resource Manager calls, read-only: a stack of open resource files whose
// top is the current one. Each open file keeps the fork's bytes and its
// parsed map, so Get1Resource never reads the disk. Used from the main thread.
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/Files.h"
#include "platform/Memory.h"
#include "platform/posix/CatalogInternal.h"
#include "platform/posix/Metadata.h"
#include "platform/posix/ResourceFork.h"

namespace {

struct OpenResFile {
    ResFileRefNum refNum;
    std::vector<std::uint8_t> fork;
    sw::posix::ResourceForkMap map;
};

std::mutex gMutex;
std::vector<OpenResFile> gOpen;  // the last one is the current file
ResFileRefNum gNextRefNum = 1;
thread_local OSErr gResError = noErr;

// Reference numbers start at 1 and never reach -1 (the failure value) or 0.
ResFileRefNum NextRefNum() {
    for (;;) {
        ResFileRefNum candidate = gNextRefNum;
        gNextRefNum = gNextRefNum == 0x7FFF ? 1 : static_cast<ResFileRefNum>(gNextRefNum + 1);
        bool used = false;
        for (const auto& f : gOpen) used = used || f.refNum == candidate;
        if (!used) return candidate;
    }
}

constexpr std::size_t kMaxOpenResFiles = 4096;

}  // namespace

namespace sw::posix {

// Opens an already-read fork as the current resource file.
ResFileRefNum OpenResFileFromBytes(std::vector<std::uint8_t> fork) {
    sw::posix::ResourceForkMap map;
    OSErr err = sw::posix::ResourceForkMap::Parse(fork, map);
    if (err != noErr) {
        gResError = err;
        return -1;
    }
    std::lock_guard lock(gMutex);
    if (gOpen.size() >= kMaxOpenResFiles) {
        gResError = tmfoErr;
        return -1;
    }
    ResFileRefNum ref = NextRefNum();
    gOpen.push_back({ref, std::move(fork), std::move(map)});
    gResError = noErr;
    return ref;
}

}  // namespace sw::posix

ResFileRefNum FSpOpenResFile(const FSSpec* spec, SInt8 permission) {
    if (spec == nullptr) {
        gResError = paramErr;
        return -1;
    }
    if (permission != fsRdPerm) {
        gResError = permErr;  // resource forks are read-only here
        return -1;
    }
    sw::posix::OpenedEntry entry;
    OSErr err = sw::posix::FSSpecToEntry(*spec, entry);
    if (err != noErr) {
        gResError = err;
        return -1;
    }
    // Without a folder listing at hand, every sidecar form is looked for.
    sw::posix::EntryLocation at{entry.dirfd, entry.name, entry.isDirectory, true, true};
    std::vector<std::uint8_t> fork = sw::posix::ReadResourceFork(at);
    if (fork.empty()) {
        gResError = eofErr;  // no fork, or an empty one: nothing to open
        return -1;
    }
    return sw::posix::OpenResFileFromBytes(std::move(fork));
}

void CloseResFile(ResFileRefNum refNum) {
    std::lock_guard lock(gMutex);
    for (auto it = gOpen.begin(); it != gOpen.end(); ++it) {
        if (it->refNum == refNum) {
            gOpen.erase(it);
            gResError = noErr;
            return;
        }
    }
    gResError = resFNotFound;
}

OSErr ResError() {
    return gResError;
}

Handle Get1Resource(ResType type, SInt16 id) {
    std::lock_guard lock(gMutex);
    if (gOpen.empty()) {
        gResError = resFNotFound;
        return nullptr;
    }
    const OpenResFile& current = gOpen.back();
    const sw::posix::ResourceInfo* info = current.map.Find(type, id);
    if (info == nullptr) {
        gResError = resNotFound;
        return nullptr;
    }
    Handle h = NewHandle(static_cast<Size>(info->dataLength));
    if (h == nullptr) {
        gResError = memFullErr;
        return nullptr;
    }
    if (info->dataLength > 0)
        std::copy_n(current.fork.data() + info->dataOffset, info->dataLength,
                    reinterpret_cast<std::uint8_t*>(*h));
    gResError = noErr;
    return h;
}

void ReleaseResource(Handle resource) {
    if (resource != nullptr) DisposeHandle(resource);
    gResError = noErr;
}

SInt16 Count1Resources(ResType type) {
    std::lock_guard lock(gMutex);
    if (gOpen.empty()) {
        gResError = resFNotFound;
        return 0;
    }
    std::size_t n = gOpen.back().map.Count(type);
    gResError = noErr;
    return static_cast<SInt16>(std::min<std::size_t>(n, 0x7FFF));
}
