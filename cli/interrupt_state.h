// The state both platforms' interrupt handlers share (cli/posix/interrupt.cpp,
// cli/win32/interrupt.cpp on Windows): the registered cancel flags, the interrupt count and the
// termination report in force. Internal to the interrupt handlers.
#pragma once

namespace comsetup::cli::interrupt_state {

// Counts one more interrupt and returns the count. Lock-free: safe in a signal handler.
int CountInterrupt();

// Sets every registered cancel flag. Lock-free: safe in a signal handler.
void CancelAll();

// True for the first end at once (SIGTERM, SIGHUP, a second Ctrl+C) only: a signal that comes
// while one is under way ends the process at once in its handler. Lock-free.
bool BeginEndingAtOnce();
// An end at once is under way. Lock-free.
bool EndingAtOnce();
// The end at once under way ended nothing (the command had claimed its output).
void EndingAtOnceDropped();

// Unless the command has claimed its output, prints the termination report in force for name
// ("SIGTERM", "closing the console"), completes the journal rows still open as terminated and
// ends the process through end(kExitTerminated) while still holding the report's lock, so the
// command cannot print its own results as well. Returns only when the output was claimed.
void EndWithTerminationReport(const char* name, void (*end)(int));

// A second Ctrl+C: completes the journal rows still open as interrupted (the report of an
// end at once prints nothing more), then ends the process through end(kExitInterrupted).
[[noreturn]] void EndInterrupted(void (*end)(int));

} // namespace comsetup::cli::interrupt_state
