// The terminals this process holds open, each with the settings it had before the open, in a
// fixed table that a signal handler can walk (ReleaseOpenPortsForExit, port_release.h).
// The device registers a terminal before it makes it exclusive, and gives it back (settings
// restored, exclusivity cleared) before it closes it, at every close.
#pragma once

namespace comsetup::posix {

// Takes a table slot for fd and remembers its settings as they are now. Returns the slot
// (>= 0), or -errno: EMFILE when every slot is taken, or why the settings could not be read.
int RegisterPort(int fd);

// Call after each change to the terminal (its open included): when the process is ending
// (the table may have been walked for its end before the change), gives it back again.
void ReleaseIfEnding(int slot);

// Restores the remembered settings, clears exclusivity and frees the slot; the caller then
// closes the descriptor. Returns 0 or the errno of the failed restore.
int GiveBackPort(int slot);

} // namespace comsetup::posix
