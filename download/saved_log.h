// The monitor log as it is kept (the log file, the journal): every byte the converter sent.
// The monitor's own lines follow the rule the verdict reads them by: the end of an echo that
// no line feed closed (a prompt waiting for its answer, "Local port (10001) ? ") is dropped.
// Where one echo ends depends on timing, so that rule loses a prompt now and then; the kept
// log holds that part back and puts it before the next line an echo brings, so the prompt
// and the answer echoed after it stay one line, whatever the timing was.
#pragma once

#include "download/views.h"

#include <functional>
#include <string>

namespace comsetup {

class SavedLog {
public:
    // onLine is told every line of the kept log, in order.
    explicit SavedLog(std::function<void(const std::string&)> onLine);

    // A line an echo brought: the part held back, then line.
    void Echoed(const std::string& line);
    // A line of the download's own (a cause, the port search): the part held back goes
    // before it as a line of its own.
    void Own(const std::string& line);
    // The end of an echo that no line feed closed.
    void Unended(const std::string& part);
    // The download has ended: the part held back, if any, as the last line.
    void Flush();

private:
    std::function<void(const std::string&)> onLine_;
    std::string held_;
};

// A monitor log kept beside the monitor it stands for: every line goes on to that monitor
// (whose lines the verdict reads) as before, and the kept log gathers the converter's bytes.
class KeptMonitorLog final : public MonitorLog {
public:
    explicit KeptMonitorLog(MonitorLog& monitor) : monitor_(monitor) {}
    void Add(const std::string& line) override;
    void AddEchoed(const std::string& line) override;
    void AddUnended(const std::string& part) override;
    int Count() const override { return monitor_.Count(); }
    std::string Line(int index) const override { return monitor_.Line(index); }

    // The kept log once the download has ended: each line with its line end, the part still
    // held last.
    std::string Finish();

private:
    MonitorLog& monitor_;
    std::string text_;
    SavedLog saved_{[this](const std::string& line) { text_ += line + "\n"; }};
};

} // namespace comsetup
