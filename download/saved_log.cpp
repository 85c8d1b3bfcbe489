// Joining the parts of the converter's lines that came in separate echoes.
#include "download/saved_log.h"

#include <utility>

namespace comsetup {

SavedLog::SavedLog(std::function<void(const std::string&)> onLine) : onLine_(std::move(onLine)) {}

void SavedLog::Echoed(const std::string& line) {
    onLine_(held_ + line);
    held_.clear();
}

void SavedLog::Own(const std::string& line) {
    Flush();
    onLine_(line);
}

void SavedLog::Unended(const std::string& part) {
    held_ += part;
}

void SavedLog::Flush() {
    if (!held_.empty()) {
        Echoed({});
    }
}

} // namespace comsetup
