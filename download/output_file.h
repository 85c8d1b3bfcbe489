// Files a download appends to (the monitor log of comsetup-cli, the byte trace): only a
// regular file, or a new name, is written. A device, a named pipe, a socket or a folder is
// refused with the reason: a pipe nobody reads would hold the download in open() for ever,
// and a device is not where a record belongs.
#pragma once

#include <cstdio>
#include <string>

namespace comsetup {

struct AppendFile {
    std::FILE* file = nullptr; // open for appending, or nullptr
    std::string error;         // why not: "is a named pipe, not a regular file", ...
};

// Opens path for appending, creating it when missing. A terminal is taken as well when
// terminalAllowed (a log followed live on a console).
AppendFile OpenForAppending(const std::string& path, bool terminalAllowed);

} // namespace comsetup
