// Causes of serial errors from errno values.
#include "serial/error_causes.h"

#include <cerrno>
#include <cstring>

namespace comsetup {

std::string OpenErrorCause(int code) {
    switch (code) {
    case -1:
        return "not a serial device";
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
    case EIO: // a ttyS node with no port behind it
        return "no such device";
    case ELOOP:
        return "a loop of symbolic links, no device at its end";
    case EBUSY:
        return "in use by another program";
    case EACCES:
    case EPERM:
        return "permission denied: add yourself to the group dialout";
    default:
        return code > 0 ? std::string(std::strerror(code))
                        : std::string("error " + std::to_string(code));
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
