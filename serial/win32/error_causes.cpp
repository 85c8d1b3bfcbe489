// Causes of serial errors from Windows error codes.
#include "serial/error_causes.h"

#include <windows.h>

namespace comsetup {

OpenFailure ClassifyOpenError(int code) {
    switch (code) {
    case -1:
        return OpenFailure::NotSerialDevice;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return OpenFailure::NoSuchDevice;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // Windows has no group to join: a denied port is one another program holds.
        return OpenFailure::InUse;
    default:
        return OpenFailure::Other;
    }
}

std::string TransferErrorCause(int code) {
    switch (code) {
    case ERROR_BAD_COMMAND:
    case ERROR_NOT_READY: // a pseudo-terminal's far end closed, under Wine
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_GEN_FAILURE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_BROKEN_PIPE:
        return "the device went away: unplugged adapter?";
    default:
        return {};
    }
}

} // namespace comsetup
