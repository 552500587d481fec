#include "platform/Memory.h"

#include <cstdlib>
#include <cstring>

namespace {

// A handle is a master pointer followed by its block's size; the data lives in
// a separate allocation so that SetHandleSize can move it.
struct Block {
    char* data;  // must stay first: a Handle points here
    Size size;
};

thread_local OSErr lastMemError = noErr;

}  // namespace

Handle NewHandle(Size byteCount) {
    lastMemError = noErr;
    if (byteCount < 0) {
        lastMemError = paramErr;
        return nullptr;
    }
    auto* block = static_cast<Block*>(std::malloc(sizeof(Block)));
    char* data = static_cast<char*>(std::calloc(1, byteCount > 0 ? byteCount : 1));
    if (block == nullptr || data == nullptr) {
        std::free(block);
        std::free(data);
        lastMemError = memFullErr;
        return nullptr;
    }
    block->data = data;
    block->size = byteCount;
    return &block->data;
}

void DisposeHandle(Handle h) {
    if (h == nullptr) return;
    auto* block = reinterpret_cast<Block*>(h);
    std::free(block->data);
    std::free(block);
}

Size GetHandleSize(Handle h) {
    return h ? reinterpret_cast<Block*>(h)->size : 0;
}

OSErr SetHandleSize(Handle h, Size newSize) {
    if (h == nullptr || newSize < 0) return lastMemError = paramErr;
    auto* block = reinterpret_cast<Block*>(h);
    char* grown = static_cast<char*>(std::realloc(block->data, newSize > 0 ? newSize : 1));
    if (grown == nullptr) return lastMemError = memFullErr;
    if (newSize > block->size) std::memset(grown + block->size, 0, newSize - block->size);
    block->data = grown;
    block->size = newSize;
    return lastMemError = noErr;
}

void HLock(Handle) {}
void HUnlock(Handle) {}
OSErr MemError() {
    return lastMemError;
}
