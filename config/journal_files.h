// What the journal asks of the platform: the user's data folder, the file name SQLite takes,
// and the clock in UTC. Each platform's own (posix/, win32/).
#pragma once

#include <ctime>
#include <string>

namespace comsetup::config {

// The journal in the user's data folder ($XDG_DATA_HOME/comsetup, ~/.local/share/comsetup;
// %LOCALAPPDATA%\comsetup), or "" when none is known.
std::string UserJournalPath();

// path as SQLite takes it (UTF-8).
std::string SqliteFileName(const std::string& path);

// time as UTC.
std::tm UtcTime(std::time_t time);

} // namespace comsetup::config
