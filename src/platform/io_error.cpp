#include "platform/io_error.h"

#include <cerrno>

namespace kastra {

int WindowsIoError(int errnoValue)
{
    switch (errnoValue) {
    case ENOENT:
        return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
#ifdef ELOOP
    case ELOOP:
#endif
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return 5;
    case EBUSY:
        return 32;
    default:
        // ENOSPC, EDQUOT, EFBIG, EIO and whatever else stops a write.
        return 101;
    }
}

} // namespace kastra
