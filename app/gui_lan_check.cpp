#include "app/gui_lan_check.h"

#include "app/converter_series.h"
#include "app/tfprog.h"
#include "lan/interfaces.h"
#include "ui_tfprog.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSettings>

#include <algorithm>
#include <memory>

namespace comsetup {

namespace {

const char* const kSettingKey = "lan/check";

// The user's settings file, or the one COMSETUP_SETTINGS names (the tests': a box ticked by
// the user must never turn the check on in a test).
std::unique_ptr<QSettings> Settings() {
    const QString path = qEnvironmentVariable("COMSETUP_SETTINGS");
    if (!path.isEmpty()) {
        return std::make_unique<QSettings>(path, QSettings::IniFormat);
    }
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("comsetup"), QStringLiteral("comsetup"));
}

// The dialog's detail: the line the download left (what was written), then ours.
void ShowUnderWritten(Tfprog& dialog, const QString& written, const std::string& note) {
    dialog.SetDetail(written + (written.isEmpty() ? "" : "\n") + QString::fromStdString(note));
}

} // namespace

bool LanCheckWanted() {
    return Settings()->value(kSettingKey, false).toBool();
}

void SetLanCheckWanted(bool wanted) {
    Settings()->setValue(kSettingKey, wanted);
}

QCheckBox* MakeLanCheckBox(QWidget* wizard) {
    auto* box = new QCheckBox(QStringLiteral("Check the address on this PC's network"), wizard);
    box->setObjectName(QStringLiteral("cb_lancheck"));
    box->setToolTip(QStringLiteral(
        "Before the write: is the address on one of this PC's networks, and does something "
        "answer there already? After \"Setup Complete\": wait for the converter to answer at "
        "it. Sends packets only when ticked, and only to an address on this PC's subnets."));
    // Right of "MASTER SIDE", above the settings groups: free on every settings page. A
    // caption wider than its place (a wider face or style) grows leftwards into the free
    // space, its right edge where the form has it.
    constexpr int kRight = 418, kFormLeft = 196, kLeftmost = 126; // past "MASTER SIDE"
    const int width = std::max(kRight - kFormLeft, box->sizeHint().width());
    const int left = std::max(kLeftmost, std::min(kFormLeft, kRight - width));
    box->setGeometry(left, 188, kRight - left, 17);
    box->setChecked(LanCheckWanted());
    box->setVisible(false);
    QObject::connect(box, &QCheckBox::toggled, box, [](bool on) { SetLanCheckWanted(on); });
    return box;
}

GuiLanCheck::GuiLanCheck(const SetupValues& values, Pacer& pacer)
    : pacer_(pacer), address_(config::LanAddressOf(values.ip)),
      port_(static_cast<std::uint16_t>(std::atoi(values.localPortText.c_str()))) {
    options_.on = LanCheckWanted();
}

bool GuiLanCheck::Before(QWidget* parent) {
    if (!options_.on) {
        return true;
    }
    before_ = config::CheckBeforeWrite(address_, port_, options_, pacer_);
    if (!before_.OnLink()) {
        note_ = config::OffLinkText(address_, before_.interfaces);
        return true;
    }
    if (before_.Answered()) {
        return ConfirmWithTechnician(
            parent, QString::fromStdString(config::WriteAnywayQuestion(address_, before_)));
    }
    return true;
}

void GuiLanCheck::After(Tfprog& dialog, bool complete, std::atomic<bool>& cancel) {
    if (!options_.on) {
        return;
    }
    const QString written = dialog.Form().LabelDetail->text();
    if (complete && before_.OnLink()) {
        // The setup is complete; "Cancel" now ends only the wait.
        cancel = false;
        dialog.Form().btnOK->setVisible(false);
        dialog.Form().BtnCancel->setVisible(true);
        int shown = -1;
        after_ =
            config::WaitForConverter(address_, port_, options_, pacer_, cancel, [&](int elapsedMs) {
                if (elapsedMs / 1000 == shown) {
                    return;
                }
                shown = elapsedMs / 1000;
                ShowUnderWritten(dialog, written,
                                 config::LookingText(address_, *before_.via, elapsedMs));
            });
        note_ = config::AfterText(address_, port_, after_, options_);
        if (!after_.Found() && !after_.cancelled) {
            note_ += "\n" + config::InterfaceFacts(lan::ListInterfaces());
        }
        dialog.Form().BtnCancel->setVisible(false);
        dialog.Form().btnOK->setVisible(true);
    }
    if (!note_.empty()) {
        ShowUnderWritten(dialog, written, note_);
    }
}

} // namespace comsetup
