// The windows as the download sees them: the progress dialog as its progress view, the monitor
// window's text as its log, and the application's message function as its message box.
#pragma once

#include "download/views.h"

class Tfprog;
class TFmonitor;

namespace comsetup {

// The dialog as the download's progress view and observer.
class ProgressDialogView final : public ProgressView, public DownloadObserver {
public:
    explicit ProgressDialogView(Tfprog& dialog) : dialog_(dialog) {}
    void SetText(const std::string& text) override;
    void SetDetail(const std::string& text) override;
    void ShowCancel(bool visible) override;
    void ShowOk(bool visible) override;
    void BringToFront() override;
    void OnProgress(const DownloadProgress& progress) override;

private:
    Tfprog& dialog_;
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
