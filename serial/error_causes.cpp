// The words for the causes of a failed open, the same on every platform.
#include "serial/error_causes.h"

#include "serial/platform.h"

namespace comsetup {

std::string_view OpenFailureText(OpenFailure failure) {
    switch (failure) {
    case OpenFailure::NoSuchDevice:
        return "no such device";
    case OpenFailure::LinkLoop:
        return "a loop of symbolic links, no device at its end";
    case OpenFailure::InUse:
        return "in use by another program";
    case OpenFailure::PermissionDenied:
        return "permission denied: add yourself to the group dialout";
    case OpenFailure::NotSerialDevice:
        return "not a serial device";
    case OpenFailure::Other:
        break;
    }
    return {};
}

std::string OpenErrorCause(int code) {
    const std::string_view text = OpenFailureText(ClassifyOpenError(code));
    if (!text.empty()) {
        return std::string(text);
    }
    return code > 0 ? SystemErrorText(code) : "error " + std::to_string(code);
}

} // namespace comsetup
