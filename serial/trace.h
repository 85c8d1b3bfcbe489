// A trace of the component's calls and bytes on stderr, for diagnosing a download in the
// field: off by default, on when the environment variable COMSETUP_SERIAL_TRACE is set (to
// anything but "0"). Each line: milliseconds since the first traced call, the device, the event.
#pragma once

#include <string>

namespace comsetup {

bool SerialTraceOn(); // read once from the environment
void SerialTrace(const std::string& device, const std::string& what);
void SerialTraceBytes(const std::string& device, const char* what, const void* data, int count);

} // namespace comsetup
