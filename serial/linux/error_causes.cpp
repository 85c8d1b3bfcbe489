// Causes of serial errors from errno values.
#include "serial/error_causes.h"

#include <cerrno>

namespace comsetup {

OpenFailure ClassifyOpenError(int code) {
    switch (code) {
    case -1:
        return OpenFailure::NotSerialDevice;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
    case ENAMETOOLONG: // no device has such a name
    case EIO:          // a ttyS node with no port behind it
        return OpenFailure::NoSuchDevice;
    case ELOOP:
        return OpenFailure::LinkLoop;
    case EBUSY:
        return OpenFailure::InUse;
    case EACCES:
    case EPERM:
        return OpenFailure::PermissionDenied;
    default:
        return OpenFailure::Other;
    }
}

std::string TransferErrorCause(int code) {
    switch (code) {
    case EIO:
    case ENXIO:
    case ENODEV:
        return "the device went away: unplugged adapter?";
    default:
        return {};
    }
}

} // namespace comsetup
