// File URLs made from catalog references: a POSIX path, the volume it lies on
// and whether it names a folder. Both path styles are derived from the POSIX
// path on demand.
#include <cstring>
#include <string>

#include "platform/CoreFoundation.h"
#include "platform/MacRoman.h"
#include "platform/cf/CFRuntime.h"
#include "platform/posix/CatalogInternal.h"

struct OpaqueCFURL {
    CFRuntimeBase base;
    std::string path;         // POSIX, canonical, no trailing '/' except the root
    std::string volumeName;   // UTF-8
    std::size_t mountLength;  // bytes of `path` that are the volume's mount point
    bool isDirectory;
};

namespace {

void FinalizeURL(CFRuntimeBase* b) {
    delete reinterpret_cast<OpaqueCFURL*>(b);
}

CFStringRef MakeString(const std::u16string& s) {
    return CFStringCreateWithCharacters(kCFAllocatorDefault,
                                        reinterpret_cast<const UniChar*>(s.data()),
                                        static_cast<CFIndex>(s.size()));
}

}  // namespace

CFURLRef CFURLCreateFromFSRef(CFAllocatorRef, const FSRef* ref) {
    using namespace sw::posix;
    if (!ref) return nullptr;
    std::string path;
    if (FSRefToPosixPath(*ref, path) != noErr) return nullptr;
    std::optional<Volume> v = VolumeForPath(path);
    if (!v) return nullptr;
    auto* url = new OpaqueCFURL{};
    CFRuntimeInit(&url->base, FinalizeURL);
    url->path = std::move(path);
    url->volumeName = v->name;
    url->mountLength = v->mountPoint == "/" ? 0 : v->mountPoint.size();
    url->isDirectory = FSRefIsDirectory(ref);
    return url;
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle style) {
    using namespace sw::posix;
    if (!url) return nullptr;
    if (style == kCFURLPOSIXPathStyle) return MakeString(BytesToUnicode(url->path, false));
    if (style != kCFURLHFSPathStyle) return nullptr;
    // Volume name, then ":" and the HFS form of each component (':' in a
    // POSIX name reads '/').
    std::u16string out;
    if (!Utf8ToUtf16(url->volumeName, &out)) out = BytesToUnicode(url->volumeName, false);
    std::string_view rest = std::string_view(url->path).substr(url->mountLength);
    while (!rest.empty()) {
        while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
        if (rest.empty()) break;
        const std::size_t slash = rest.find('/');
        out += u':';
        out += BytesToUnicode(rest.substr(0, slash), true);
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash);
    }
    return MakeString(out);
}

Boolean CFURLHasDirectoryPath(CFURLRef url) {
    return url && url->isDirectory;
}
