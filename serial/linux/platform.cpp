// POSIX error numbers and texts; the event thread's priority.
#include "serial/platform.h"

#include <cerrno>
#include <cstring>

namespace comsetup {

int OsErrorBadHandle() {
    return EBADF;
}

int OsErrorInvalidArgument() {
    return EINVAL;
}

int OsErrorDeviceGone() {
    return EIO;
}

std::string SystemErrorText(int code) {
    return std::strerror(code);
}

void RaiseEventThreadPriority() {
    // An unprivileged process cannot raise a thread above its peers here; the thread's waits
    // are short and its wake-ups prompt without it.
}

} // namespace comsetup
