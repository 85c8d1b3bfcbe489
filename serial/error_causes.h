// Plain words for the error codes the serial component reports, for a technician who has to
// act on them: what the code means for the port, beside the component's own message with
// its number. Each platform maps its own codes (posix/error_causes.cpp: errno values).
#pragma once

#include <string>

namespace comsetup {

// Why a port could not be opened: "no such device", "in use by another program",
// "permission denied: add yourself to the group dialout", ...; -1 (the component refusing a
// device that is no terminal) gives "not a serial device". Never empty.
std::string OpenErrorCause(int code);

// Why a read or write failed on an open port, when the code tells more than the message:
// "the device went away: unplugged adapter?" for a device that vanished; otherwise "".
std::string TransferErrorCause(int code);

} // namespace comsetup
