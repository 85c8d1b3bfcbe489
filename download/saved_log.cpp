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

void KeptMonitorLog::Add(const std::string& line) {
    monitor_.Add(line);
    saved_.Own(line);
}

void KeptMonitorLog::AddEchoed(const std::string& line) {
    monitor_.AddEchoed(line);
    saved_.Echoed(line);
}

void KeptMonitorLog::AddUnended(const std::string& part) {
    monitor_.AddUnended(part);
    saved_.Unended(part);
}

std::string KeptMonitorLog::Finish() {
    saved_.Flush();
    return text_;
}

} // namespace comsetup
