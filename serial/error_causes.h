// Plain words for the error codes the serial component reports, for a technician who has to
// act on them: what the code means for the port, beside the component's own message with
// its number. Each platform sorts its own codes into the few causes a user can act on
// (linux/error_causes.cpp: errno values; win32/: Windows error codes); one table words them.
#pragma once

#include <string>
#include <string_view>

namespace comsetup {

// Why a port could not be opened, whatever the platform's code.
enum class OpenFailure {
    NoSuchDevice,
    LinkLoop,
    InUse,
    PermissionDenied,
    NotSerialDevice, // -1: the component refused a device that is no terminal
    Other,           // the system's own text says it
};

OpenFailure ClassifyOpenError(int code);

// The words for a cause: "no such device", "in use by another program", ...; empty for Other.
std::string_view OpenFailureText(OpenFailure failure);

// The words for an open's error code: the table's, or the system's text for any other code.
// Never empty.
std::string OpenErrorCause(int code);

// Why a read or write failed on an open port, when the code tells more than the message:
// "the device went away: unplugged adapter?" for a device that vanished; otherwise "".
std::string TransferErrorCause(int code);

} // namespace comsetup
