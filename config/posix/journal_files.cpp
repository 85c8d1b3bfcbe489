// The journal's place and names on POSIX systems.
#include "config/journal_files.h"

#include <cstdlib>

namespace comsetup::config {

std::string UserJournalPath() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/') {
        return std::string(data) + "/comsetup/journal.sqlite";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::string(home) + "/.local/share/comsetup/journal.sqlite";
    }
    return {};
}

std::string SqliteFileName(const std::string& path) {
    return path; // bytes as the system has them
}

std::tm UtcTime(std::time_t time) {
    std::tm utc{};
    gmtime_r(&time, &utc);
    return utc;
}

} // namespace comsetup::config
