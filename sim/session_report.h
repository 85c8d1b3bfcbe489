// Plain-text and JSON forms of what the converter stand-in received in a session: the
// decoded configuration, how far the session got, whatever a correct download would not
// have sent, and (JSON only) every received byte with its monotonic time in microseconds.
#pragma once

#include "sim/converter_model.h"

#include <string>
#include <vector>

namespace comsetup::sim {

// Starts with "download <n>: <end>" and ends with "end of download <n>", one
// "  <name>  <value>" line per item in between.
std::string FormatReport(const SessionReport& r);

// The JSON document for all sessions so far.
std::string ReportsToJson(const std::vector<SessionReport>& sessions, Firmware firmware,
                          FailMode fail);

} // namespace comsetup::sim
