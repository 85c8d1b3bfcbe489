// Maps the device control block onto a terminal's termios settings (through termios2, so that
// any bit rate can be set) and back. Only this file's implementation sees the kernel's termios
// structures.
#pragma once

#include "serial/control_block.h"

namespace comsetup::posix {

// Puts the terminal into raw binary mode with reads that return at once. Returns 0 or errno.
int MakeRaw(int fd);
// Reads the line into dcb. Fields termios cannot hold are taken from `shadow` (the last block
// written). Returns 0 or errno.
int ReadLine(int fd, const TDCB& shadow, TDCB& dcb);
// Applies dcb to the line. A setting the line cannot take gives EINVAL and changes nothing.
// Modem lines (DTR, RTS) follow the control values; a device without them (a pseudo-terminal)
// is not an error. Returns 0 or errno.
int ApplyLine(int fd, const TDCB& dcb);

} // namespace comsetup::posix
