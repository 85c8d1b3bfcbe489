// The state both platforms' interrupt handlers share (cli/posix/interrupt.cpp,
// cli/win32/interrupt.cpp on Windows): the registered cancel flags, the interrupt count and the
// termination report in force. Internal to the interrupt handlers.
#pragma once

namespace comsetup::cli::interrupt_state {

// Counts one more interrupt and returns the count. Lock-free: safe in a signal handler.
int CountInterrupt();

// Sets every registered cancel flag. Lock-free: safe in a signal handler.
void CancelAll();

// Unless the command has claimed its output, prints the termination report in force for name
// ("SIGTERM", "closing the console") and ends the process through end(kExitTerminated) while
// still holding the report's lock, so the command cannot print its own results as well.
// Returns only when the output was claimed.
void EndWithTerminationReport(const char* name, void (*end)(int));

} // namespace comsetup::cli::interrupt_state
