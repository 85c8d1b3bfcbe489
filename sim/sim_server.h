// Serves the converter model on a pseudo-terminal in real time: one thread, one ppoll()
// loop over the line, the model's next deadline and SIGINT/SIGTERM/SIGHUP. Received bytes
// are timestamped with CLOCK_MONOTONIC (microseconds) as soon as ppoll() wakes. Output the
// other end does not read is queued up to a limit, beyond which it is dropped (a flooding
// converter loses bytes on the line as well).
#pragma once

#include "sim/sim_options.h"

#include <cstdio>

namespace comsetup::sim {

// Prints the pseudo-terminal path as the first line of `out`, then each session's report.
// Returns the process exit status: 0 after a signal, --once or the line vanishing, 1 when
// the line cannot be set up or served.
int RunSimServer(const SimOptions& options, std::FILE* out, std::FILE* log);

} // namespace comsetup::sim
