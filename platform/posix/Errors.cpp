// The single place where system errors become result codes, so that every
// catalog call reports the same condition the same way.
#include <cerrno>

#include "platform/posix/CatalogInternal.h"

namespace sw::posix {

OSErr OSErrFromErrno(int err) {
    switch (err) {
        case 0:
            return noErr;
        case ENOENT:
        case ELOOP:  // a path that loops names nothing reachable
            return fnfErr;
        case ENOTDIR:
            return errFSNotAFolder;
        case EACCES:
        case EPERM:
            return afpAccessDenied;
        case ENAMETOOLONG:
            return bdNamErr;
        case EMFILE:
        case ENFILE:
            return tmfoErr;
        case ENOMEM:
            return memFullErr;
        case EROFS:
            return wPrErr;
        case EEXIST:
        case ENOTEMPTY:
            return dupFNErr;
        case EBUSY:
        case ETXTBSY:
            return fBsyErr;
        case EINVAL:
        case EBADF:
            return paramErr;
        case ENODEV:
        case ENXIO:
        case ESTALE:
            return nsvErr;
        default:
            return ioErr;
    }
}

}  // namespace sw::posix
