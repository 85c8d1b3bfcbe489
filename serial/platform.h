// What the serial layer asks of the platform besides the device: the error numbers the
// component itself uses, the platform's text for a code, and the event thread's priority.
// POSIX codes are errno values; Windows codes are GetLastError values.
#pragma once

#include <string>

namespace comsetup {

// A transfer on a closed port, and an invalid argument (negative count, an event the device
// cannot report).
int OsErrorBadHandle();
int OsErrorInvalidArgument();
// What a device that went away (unplugged adapter) answers: EIO; ERROR_BAD_COMMAND.
int OsErrorDeviceGone();

// The system's own text for a code, for any file or device ("system error <code>" where the
// system has none).
std::string SystemErrorText(int code);

// Called by the event thread on itself: one step above normal where the platform lets a
// process raise its own threads (Windows); nothing elsewhere.
void RaiseEventThreadPriority();

} // namespace comsetup
