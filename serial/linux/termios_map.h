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
int ReadLine(int fd, const ControlBlock& shadow, ControlBlock& dcb);
// Applies dcb to the line. A setting the line cannot take gives EINVAL and changes nothing.
// Modem lines (DTR, RTS) follow the control values; a device without them (a pseudo-terminal)
// is not an error. Returns 0 or errno.
int ApplyLine(int fd, const ControlBlock& dcb);

// The kernel's input flow limits: it throttles the far end when fewer than 128 bytes of its
// receive buffer are free and releases it when fewer than 128 are queued.
constexpr uint16_t kKernelXoffLim = 128;
constexpr uint16_t kKernelXonLim = 128;
// EINVAL for a control block that asks for something a terminal cannot do (and would
// otherwise be accepted without effect), 0 when every field can be in effect.
int RefuseWhatTermiosCannotDo(const ControlBlock& dcb);

} // namespace comsetup::posix
