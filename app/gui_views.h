// The windows as the download sees them: the progress dialog as its progress view, the monitor
// window's text as its log, and the application's message function as its message box.
#pragma once

#include "download/views.h"

#include <cstdint>
#include <functional>

class Tfprog;
class TFmonitor;

namespace comsetup {

// The dialog as the download's progress view and observer. plannedTotal, when given, is the
// whole planned time from the banner on once the firmware is known (the download's own
// figure grows as it goes), so the bar covers the whole from the banner on.
class ProgressDialogView final : public ProgressView, public DownloadObserver {
public:
    explicit ProgressDialogView(Tfprog& dialog, std::function<std::int64_t()> plannedTotal = {})
        : dialog_(dialog), plannedTotal_(std::move(plannedTotal)) {}
    void SetText(const std::string& text) override;
    void ShowCancel(bool visible) override;
    void ShowOk(bool visible) override;
    void BringToFront() override;
    void OnProgress(const DownloadProgress& progress) override;

private:
    Tfprog& dialog_;
    std::function<std::int64_t()> plannedTotal_;
};

class MonitorWindowLog final : public MonitorLog {
public:
    explicit MonitorWindowLog(TFmonitor& monitor) : monitor_(monitor) {}
    void Add(const std::string& line) override;
    int Count() const override;
    std::string Line(int index) const override;

private:
    TFmonitor& monitor_;
};

class MessageBoxSink final : public MessageSink {
public:
    void ShowError(const std::string& text) override;
};

} // namespace comsetup
