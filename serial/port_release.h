// Giving the ports back when the process ends at once: a program that ends from a signal
// handler (_exit) runs no destructor, so the ports it holds would stay as it left them.
#pragma once

namespace comsetup {

// Every port this process holds open gets back the line settings it had before it was opened
// and stops being exclusive; the ports stay open (the process's end closes them). Output not
// sent yet is dropped: nothing more goes to the far end after an abnormal end. For a process
// about to end: from this call on, a port that is opened or set afterwards by another thread
// gives itself back again after each change.
//
// Async-signal-safe on POSIX (atomic loads and ioctl() only: no lock, no allocation), so a
// signal handler may call it right before _exit. On Windows it does nothing: a port handle
// is exclusive only while it is open, and the system closes it with the process.
void ReleaseOpenPortsForExit();

} // namespace comsetup
