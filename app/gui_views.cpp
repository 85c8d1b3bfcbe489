// The windows as the download sees them. The converter's bytes are carried into the log as
// Latin-1, so that every byte (also one above 127) shows as one character and comes back
// unchanged when the download reads a line.
#include "app/gui_views.h"

#include "ui_tfprog.h"

#include "app/tfmonitor.h"
#include "app/tfprog.h"
#include "widgets/message_box.h"

namespace comsetup {

void ProgressDialogView::SetText(const std::string& text) {
    dialog_.SetText(QString::fromStdString(text));
}

void ProgressDialogView::SetDetail(const std::string& text) {
    dialog_.SetDetail(QString::fromStdString(text));
}

void ProgressDialogView::ShowCancel(bool visible) {
    dialog_.Form().BtnCancel->setVisible(visible);
    if (visible) // the keyboard's Enter and Space cancel, rather than reach another control
        dialog_.Form().BtnCancel->setFocus(Qt::OtherFocusReason);
}

void ProgressDialogView::ShowOk(bool visible) {
    dialog_.Form().btnOK->setVisible(visible);
}

void ProgressDialogView::BringToFront() {
    dialog_.show();
    dialog_.raise();
    dialog_.activateWindow();
}

void ProgressDialogView::OnProgress(const DownloadProgress& progress) {
    dialog_.ShowProgress(progress);
}

void MonitorWindowLog::Add(const std::string& line) {
    monitor_.Lines().Add(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
}

int MonitorWindowLog::Count() const {
    return monitor_.Lines().Count();
}

std::string MonitorWindowLog::Line(int index) const {
    return monitor_.Lines().Line(index).toLatin1().toStdString();
}

void MessageBoxSink::ShowError(const std::string& text) {
    ShowErrorMessage(QString::fromStdString(text));
}

} // namespace comsetup
