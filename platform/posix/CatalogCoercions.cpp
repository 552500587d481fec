// Coercions from the file descriptor forms to FSRef ('fsrf', 80 bytes), so
// that a location list holding file specifications or aliases can be read
// item by item as FSRefs.
#include <cstring>

#include "platform/AppleEvents.h"
#include "platform/Files.h"
#include "platform/Memory.h"

namespace {

OSErr RefDesc(const FSSpec& spec, AEDesc* out) {
    FSRef ref;
    if (OSErr err = FSpMakeFSRef(&spec, &ref); err != noErr) return err;
    return AECreateDesc(typeFSRef, &ref, sizeof ref, out);
}

OSErr SpecToRef(const AEDesc* from, DescType toType, AEDesc* out) {
    if (toType != typeFSRef || AEGetDescDataSize(from) != static_cast<Size>(sizeof(FSSpec))) {
        return errAECoercionFail;
    }
    FSSpec spec;
    if (AEGetDescData(from, &spec, sizeof spec) != noErr) return errAECoercionFail;
    return RefDesc(spec, out);
}

OSErr AliasToRef(const AEDesc* from, DescType toType, AEDesc* out) {
    const Size size = AEGetDescDataSize(from);
    if (toType != typeFSRef || size <= 0) return errAECoercionFail;
    Handle alias = NewHandle(size);
    if (!alias) return memFullErr;
    OSErr err = AEGetDescData(from, *alias, size);
    FSSpec spec;
    Boolean changed = false;
    if (err == noErr) err = ResolveAlias(nullptr, alias, &spec, &changed);
    DisposeHandle(alias);
    if (err != noErr) return err;
    return RefDesc(spec, out);
}

OSErr RefToSpec(const AEDesc* from, DescType toType, AEDesc* out) {
    if (toType != typeFSS || AEGetDescDataSize(from) != static_cast<Size>(sizeof(FSRef))) {
        return errAECoercionFail;
    }
    FSRef ref;
    FSSpec spec;
    if (AEGetDescData(from, &ref, sizeof ref) != noErr) return errAECoercionFail;
    if (OSErr err = FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr);
        err != noErr) {
        return err;
    }
    return AECreateDesc(typeFSS, &spec, sizeof spec, out);
}

}  // namespace

OSErr InstallFileCoercions() {
    OSErr err = AEInstallCoercionHandler(typeFSS, typeFSRef, SpecToRef);
    if (err == noErr) err = AEInstallCoercionHandler(typeAlias, typeFSRef, AliasToRef);
    if (err == noErr) err = AEInstallCoercionHandler(typeFSRef, typeFSS, RefToSpec);
    return err;
}
