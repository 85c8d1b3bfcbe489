// The mode-selection wizard.
#include "app/tf_selmode.h"

#include "ui_tfmain.h"

#include "app/address_fields.h"
#include "app/combo_choice.h"
#include "app/comsetup_application.h"
#include "app/converter_series.h"
#include "app/embedded_pictures.h"
#include "app/file_choice.h"
#include "app/gui_lan_check.h"
#include "app/gui_views.h"
#include "app/journal_window.h"
#include "app/plan_window.h"
#include "app/tfmain.h"
#include "app/tfmonitor.h"
#include "app/tfprog.h"
#include "app/window_geometry.h"
#include "app/wizard_form.h"
#include "app/wizard_profile.h"
#include "config/config_json.h"
#include "download/port_search.h"
#include "download/setup_rules.h"
#include "widgets/message_box.h"
#include "widgets/range_edit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <vector>

int stat_wiz = 0;
TF_selmode* F_selmode = nullptr;

namespace {

// Outer size of the wizard on every page, and the client area its forms need at least.
constexpr QSize kWizardOuterSize{429, 520};
constexpr QSize kWizardMinimumClient{423, 492};
constexpr int kBandHeight = 41;

// While a download runs, "DownLoad" waits for its end and the title names the port written:
// the progress dialog may be out of sight, and a value edited meanwhile is for the next one.
// Nothing that opens a modal loop ("Open...", "Save...", "Journal...", "Open plan...", the port
// list with "Auto", the plan and journal windows, the wizard's message boxes) may run
// meanwhile: such a loop holds the download's pauses, and the converter, until it closes.
// Messages wait for the end; the keyboard goes to the dialog's "Cancel", and afterwards back to
// "DownLoad", so that Enter repeats the download.
class DownloadUnderway {
public:
    DownloadUnderway(TF_selmode& wizard, Ui::TF_selmode& ui, const QString& port)
        : wizard_(wizard), button_(*ui.Button1), title_(wizard.windowTitle()) {
        std::vector<QWidget*> controls{ui.Button1,    ui.BtnOpen, ui.BtnSave,
                                       ui.BtnJournal, ui.BtnPlan, ui.cb_com};
        for (QWidget* window : wizard.findChildren<comsetup::JournalWindow*>())
            controls.push_back(window);
        for (QWidget* window : wizard.findChildren<comsetup::PlanWindow*>())
            controls.push_back(window);
        if (QWidget* focused = wizard.focusWidget();
            focused && std::find(controls.begin(), controls.end(), focused) != controls.end())
            focused->clearFocus(); // a disabled control would pass it to the next one
        for (QWidget* control : controls)
            if (control->isEnabled()) {
                control->setEnabled(false);
                disabled_.emplace_back(control);
            }
        const QString what =
            comsetup::IsAutoPort(port.toStdString()) ? QStringLiteral("the port Auto finds") : port;
        wizard_.setWindowTitle(title_.trimmed() + QStringLiteral(" - writing ") + what);
    }
    ~DownloadUnderway() {
        for (const QPointer<QWidget>& control : disabled_)
            if (control)
                control->setEnabled(true);
        wizard_.setWindowTitle(title_);
        button_.setFocus(Qt::OtherFocusReason);
    }
    DownloadUnderway(const DownloadUnderway&) = delete;
    DownloadUnderway& operator=(const DownloadUnderway&) = delete;

private:
    comsetup::ScopedHeldMessages held_; // shown once the controls are back
    QWidget& wizard_;
    QWidget& button_;
    QString title_;
    std::vector<QPointer<QWidget>> disabled_;
};

// A numeric field whose value reaches the converter, with the range the converter takes.
struct RangeCheck {
    TRangeEdit* field;
    QString name;
    int min;
    int max;
};

// The fields a download sends, in the order of the window: the converter's address, mask and
// local port always; the gateway when it is used; the peer address in the tunnel modes unless
// the master side replaces it.
std::vector<RangeCheck> FieldsSent(Ui::TF_selmode& w) {
    std::vector<RangeCheck> checks;
    const auto bytes = [&checks](std::initializer_list<TRangeEdit*> fields, const char* what) {
        int n = 1;
        for (TRangeEdit* f : fields)
            checks.push_back(
                {f, QStringLiteral("%1 byte %2").arg(QLatin1String(what)).arg(n++), 0, 255});
    };
    bytes({w.re_ipb1, w.re_ipb2, w.re_ipb3, w.re_ipb4}, "IP address");
    bytes({w.re_smb1, w.re_smb2, w.re_smb3, w.re_smb4}, "Subnet mask");
    checks.push_back({w.RangeEdit1, QStringLiteral("Local port"), comsetup::kLocalPortMin,
                      comsetup::kLocalPortMax});
    if (w.CB_UseGateway->isChecked())
        bytes({w.RE_Gat1, w.RE_Gat2, w.RE_Gat3, w.RE_Gat4}, "Gateway");
    if (stat_wiz == 2 || (stat_wiz == 3 && !w.cb_broadcast->isChecked()))
        bytes({w.are_ipb1, w.are_ipb2, w.are_ipb3, w.are_ipb4}, "Remote IP");
    return checks;
}

// The mode pictures, each into its label.
void SetPictures(std::initializer_list<std::pair<QLabel*, const char*>> pictures, qreal ratio) {
    for (const auto& [image, name] : pictures)
        image->setPixmap(comsetup::ModePicture(QLatin1String(name), ratio));
}

// A mode box lies on its picture, whose colours are the same under every theme: its caption
// takes a colour that reads on the picture under it (the theme's own where that one does), so
// that a dark theme's light text is not drawn on the picture's light panel.
void ReadOnPicture(QCheckBox* box, const QLabel* image) {
    const QPixmap pixmap = image->pixmap();
    const QImage picture = pixmap.toImage();
    if (picture.isNull())
        return;
    const QPointF under =
        QPointF(box->geometry().center() - image->geometry().topLeft()) * pixmap.devicePixelRatio();
    const QPoint at(std::clamp(int(under.x()), 0, picture.width() - 1),
                    std::clamp(int(under.y()), 0, picture.height() - 1));
    QPalette p = box->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        p.setColor(group, QPalette::WindowText,
                   ReadableTextColor(picture.pixelColor(at), p.color(group, QPalette::WindowText)));
    box->setPalette(p);
}

} // namespace

TF_selmode::TF_selmode(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TF_selmode>()) {
    ui->TF_selmodeFrame::setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    comsetup::SetOuterSize(this, kWizardOuterSize, kWizardMinimumClient, true);

    SetPictures({{ui->Image1, "mode_remote_com"},
                 {ui->Image2, "mode_point_to_point"},
                 {ui->Image3, "mode_point_to_multipoint"}},
                devicePixelRatioF());
    ReadOnPicture(ui->cb_m1, ui->Image1);
    ReadOnPicture(ui->cb_m2, ui->Image2);
    ReadOnPicture(ui->cb_m3, ui->Image3);

    connect(ui->Button1, &QPushButton::clicked, this,
            [this] { comsetup::RunReporting([this] { Button1Click(ui->Button1); }); });
    for (QCheckBox* box : {ui->cb_m1, ui->cb_m2, ui->cb_m3})
        connect(box, &QCheckBox::toggled, this, [this, box] { cb_m1Click(box); });
    connect(ui->BtnBack, &QPushButton::clicked, this, [this] { BtnBackClick(ui->BtnBack); });
    connect(ui->BtnOpen, &QPushButton::clicked, this,
            [this] { comsetup::RunReporting([this] { BtnOpenClick(ui->BtnOpen); }); });
    connect(ui->BtnSave, &QPushButton::clicked, this,
            [this] { comsetup::RunReporting([this] { BtnSaveClick(ui->BtnSave); }); });
    connect(ui->BtnLog, &QPushButton::clicked, this, [this] { BtnLogClick(ui->BtnLog); });
    connect(ui->BtnPlan, &QPushButton::clicked, this,
            [this] { comsetup::RunReporting([this] { BtnPlanClick(ui->BtnPlan); }); });
    connect(ui->BtnJournal, &QPushButton::clicked, this,
            [this] { comsetup::RunReporting([this] { BtnJournalClick(ui->BtnJournal); }); });

    // Enter and Return press a focused button as Space does (Qt gives them that by itself only
    // in dialogs); on the mode page they press "Next -->" from a mode box too.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(true);
    for (QCheckBox* box : {ui->cb_m1, ui->cb_m2, ui->cb_m3})
        box->installEventFilter(this);
    SetTabOrder();
}

void TF_selmode::SetTabOrder() {
    // Tab follows the window from top to bottom: the top band, the mode boxes or the settings
    // (the left column, LAN then gateway, before the right one, serial then tunnel), the
    // bottom band from left to right. Hidden controls are passed over.
    std::vector<QWidget*> order{ui->BtnPlan, ui->BtnOpen, ui->BtnSave, ui->BtnJournal,
                                ui->BtnLog,  ui->cb_m1,   ui->cb_m2,   ui->cb_m3};
    if (settingsBuilt_)
        order.insert(order.end(),
                     {ui->cb_broadcast,  ui->re_ipb1,   ui->re_ipb2,  ui->re_ipb3,  ui->re_ipb4,
                      ui->re_smb1,       ui->re_smb2,   ui->re_smb3,  ui->re_smb4,  ui->RangeEdit1,
                      ui->CB_UseGateway, ui->RE_Gat1,   ui->RE_Gat2,  ui->RE_Gat3,  ui->RE_Gat4,
                      ui->cb_br,         ui->ComboBox3, ui->cb_pa,    ui->cb_sb,    ui->cb_fc,
                      ui->are_ipb1,      ui->are_ipb2,  ui->are_ipb3, ui->are_ipb4, ui->port_rem});
    if (lanCheckBox_)
        order.insert(order.begin() + 9, lanCheckBox_); // beside "MASTER SIDE", above the groups
    order.insert(order.end(), {ui->BtnBack, ui->cb_com, ui->Button1});
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

bool TF_selmode::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && stat_wiz == 0) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ui->Button1->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TF_selmode::BuildSettingsPages() {
    if (settingsBuilt_)
        return;
    settingsBuilt_ = true;
    // Children added to a window already shown stay hidden until ShowSettingsPage below
    // shows those of the current page.
    ui->TF_selmodeSettings::setupUi(this);
    SetPictures({{ui->Image4, "page_remote_com"},
                 {ui->Image5, "page_point_to_point"},
                 {ui->Image6, "page_point_to_multipoint"}},
                devicePixelRatioF());
    for (TRangeEdit* field : findChildren<TRangeEdit*>())
        field->SetColor(Qt::white);
    // The port box, shown only on these pages, gets its line edit (the window's first text
    // field, which is costly to build) only now.
    ui->cb_com->setEditable(true);
    comsetup::ShowTextWithoutChoice(ui->cb_com, QStringLiteral("COM1"));
    comsetup::ShowTextWithoutChoice(ui->cb_br, QStringLiteral("9600"));
    comsetup::ShowTextWithoutChoice(ui->ComboBox3, QStringLiteral("8"));
    for (QComboBox* box : {ui->cb_com, ui->cb_br, ui->ComboBox3})
        comsetup::ForgetChoiceWhenTyped(box);
    connect(ui->cb_broadcast, &QCheckBox::toggled, this,
            [this] { cb_broadcastClick(ui->cb_broadcast); });
    lanCheckBox_ = comsetup::MakeLanCheckBox(this);
    // The gateway's address counts only when the gateway is used.
    const auto gatewayInUse = [this](bool used) {
        for (TRangeEdit* field : {ui->RE_Gat1, ui->RE_Gat2, ui->RE_Gat3, ui->RE_Gat4})
            field->setEnabled(used);
    };
    connect(ui->CB_UseGateway, &QCheckBox::toggled, this, gatewayInUse);
    gatewayInUse(ui->CB_UseGateway->isChecked());
    // The master side's peer follows the converter's own address and mask; it is shown on
    // the window's own background, as a value that cannot be typed into.
    QPalette shown = ui->ed_peer_sent->palette();
    shown.setColor(QPalette::Base, shown.color(QPalette::Window));
    ui->ed_peer_sent->setPalette(shown);
    for (TRangeEdit* field : {ui->re_ipb1, ui->re_ipb2, ui->re_ipb3, ui->re_ipb4, ui->re_smb1,
                              ui->re_smb2, ui->re_smb3, ui->re_smb4})
        connect(field, &QLineEdit::textChanged, this, [this] { ShowPeerSent(); });
    SetTabOrder();
    ShowSettingsPage(stat_wiz);
    emit settingsPagesBuilt();
}

Ui::TF_selmode& TF_selmode::Form() {
    BuildSettingsPages();
    return *ui;
}

Ui::TF_selmodeFrame& TF_selmode::Frame() {
    return *ui;
}

TF_selmode::~TF_selmode() = default;

void TF_selmode::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow(this);
}

void TF_selmode::resizeEvent(QResizeEvent* event) {
    // The two bands span the window's width, one at the top and one at the bottom.
    ui->Panel1->setGeometry(0, 0, width(), kBandHeight);
    ui->Panel2->setGeometry(0, height() - kBandHeight, width(), kBandHeight);
    QWidget::resizeEvent(event);
}

void TF_selmode::closeEvent(QCloseEvent* event) {
    if (Fmain && Fmain->DownloadRunning()) {
        // Ending the event loop now would end the download's waits too: the close happens
        // when the download has ended, once the user has said to cancel it. The question is
        // not a modal loop, which would hold the download while it is open.
        event->ignore();
        if (closePending_ || findChild<QMessageBox*>(QStringLiteral("quitQuestion")))
            return;
        const QString port = Fmain->Form().cb_com->currentText();
        auto* question = new QMessageBox(
            QMessageBox::Question, windowTitle(),
            QStringLiteral("A download is running on %1. Cancel it and quit?").arg(port),
            QMessageBox::Yes | QMessageBox::No, this);
        question->setObjectName(QStringLiteral("quitQuestion"));
        question->setDefaultButton(QMessageBox::No);
        question->setAttribute(Qt::WA_DeleteOnClose);
        connect(question, &QMessageBox::finished, this, [this, question] {
            if (question->clickedButton() != question->button(QMessageBox::Yes))
                return;
            if (!Fmain->DownloadRunning()) {
                QTimer::singleShot(0, this, [this] { close(); });
                return;
            }
            closePending_ = true;
            CancelSetup = true;
        });
        connect(Fmain, &TFmain::downloadEnded, question, &QMessageBox::reject);
        question->open();
        return;
    }
    event->accept();
    emit closed();
}

void TF_selmode::DownloadEnded() {
    if (!closePending_)
        return;
    closePending_ = false;
    QTimer::singleShot(0, this, [this] { close(); });
}

void TF_selmode::FormShow(QObject* /*Sender*/) {
    stat_wiz = 0;
    upd_stat_wiz();
}

void TF_selmode::upd_stat_wiz() {
    const int page = stat_wiz;
    const bool settings = page > 0;
    ui->pan_mode->setVisible(page == 0);
    if (settingsBuilt_)
        ShowSettingsPage(page);
    else if (settings)
        BuildSettingsPages(); // and shows this page's controls
    if (settings) {
        ui->Label8->setVisible(true);
        ui->cb_com->setVisible(true);
        ui->Label1->setText(QStringLiteral("Configuration Parameters"));
    }
    for (QWidget* button : {ui->BtnBack, ui->BtnOpen, ui->BtnSave, ui->BtnLog})
        button->setVisible(settings);
    ui->BtnPlan->setVisible(!settings); // a plan gives each row its own mode
    if (page == 0)
        ui->pan_mode->move(0, 40);
    comsetup::SetOuterSize(this, kWizardOuterSize, kWizardMinimumClient, true);
    // The keyboard starts where the page starts: the mode chosen (the first mode when none
    // is), or the converter's address; never "DownLoad", which Enter would press at once.
    if (page == 0) {
        QCheckBox* chosen = ui->cb_m2->isChecked()   ? ui->cb_m2
                            : ui->cb_m3->isChecked() ? ui->cb_m3
                                                     : ui->cb_m1;
        chosen->setFocus(Qt::OtherFocusReason);
    } else {
        ui->re_ipb1->setFocus(Qt::OtherFocusReason);
        ui->re_ipb1->selectAll(); // typing replaces the address's first byte
    }
}

void TF_selmode::ShowSettingsPage(int page) {
    const bool settings = page > 0;
    ui->pan_remcom->setVisible(page == 1);
    ui->pan_pp->setVisible(page == 2);
    ui->pan_pm->setVisible(page == 3);
    for (QWidget* group : std::initializer_list<QWidget*>{ui->gb_lan, ui->gb_ser, ui->GB_Gateway})
        group->setVisible(settings);
    ui->gb_tun->setVisible(page >= 2);
    if (lanCheckBox_)
        lanCheckBox_->setVisible(settings);
    // "MASTER SIDE" belongs to the multipoint page only, also after "<-- Back" from there.
    ui->cb_broadcast->setVisible(page == 3);
    ShowPeerSent();
    if (page == 3) {
        ui->gb_lan->setTitle(QStringLiteral("CLIENT LAN CONFIG"));
        ui->gb_tun->setTitle(QStringLiteral("MASTER IP"));
        if (ui->cb_broadcast->isChecked())
            cb_broadcastClick(ui->cb_broadcast); // kept from an earlier visit by "<-- Back"
    } else if (settings) {
        // The form's captions, which an earlier visit to page 3 may have changed.
        ui->gb_lan->setTitle(QStringLiteral("EtherNet to RS232/485 LAN config"));
        ui->gb_tun->setTitle(QStringLiteral("Tunneling"));
        ui->Label20->setVisible(true);
    }
    for (TRangeEdit* field : {ui->re_smb1, ui->re_smb2, ui->re_smb3, ui->re_smb4})
        field->setEnabled(true);
    QWidget* const panels[] = {ui->pan_remcom, ui->pan_pp, ui->pan_pm};
    if (page >= 1 && page <= 3)
        panels[page - 1]->move(0, 40);
}

void TF_selmode::cb_m1Click(QObject* Sender) {
    QCheckBox* const boxes[] = {ui->cb_m1, ui->cb_m2, ui->cb_m3};
    for (QCheckBox* box : boxes) {
        if (box != Sender || !box->isChecked())
            continue;
        for (QCheckBox* other : boxes)
            if (other != box)
                other->setChecked(false); // runs this handler again, which then does nothing
    }
}

void TF_selmode::ShowPeerSent() {
    using namespace comsetup;
    const bool master = stat_wiz == 3 && ui->cb_broadcast->isChecked();
    ui->gb_peer_sent->setVisible(master);
    if (!master)
        return;
    const AddressBytes ip = ReadAddress({ui->re_ipb1, ui->re_ipb2, ui->re_ipb3, ui->re_ipb4});
    const AddressBytes mask = ReadAddress({ui->re_smb1, ui->re_smb2, ui->re_smb3, ui->re_smb4});
    // A mask the download would refuse has no broadcast address to show.
    ui->ed_peer_sent->setText(CheckSubnetMask(mask) ? QStringLiteral("(mask refused)")
                                                    : QString::fromStdString(config::FormatIpv4(
                                                          DirectedBroadcast(ip, mask))));
}

void TF_selmode::cb_broadcastClick(QObject* /*Sender*/) {
    if (stat_wiz != 3)
        return; // a profile sets the box before its page is shown, which then applies it
    ShowPeerSent();
    if (ui->cb_broadcast->isChecked()) {
        ui->gb_tun->setVisible(false);
        ui->Label20->setVisible(false);
        ui->gb_lan->setTitle(QStringLiteral("MASTER LAN CONFIG"));
    } else {
        ui->Label20->setVisible(true);
        ui->gb_lan->setTitle(QStringLiteral("CLIENT LAN CONFIG"));
        ui->gb_tun->setVisible(true);
        ui->gb_tun->setTitle(QStringLiteral("MASTER IP"));
    }
}

void TF_selmode::BtnBackClick(QObject* /*Sender*/) {
    stat_wiz = 0;
    upd_stat_wiz();
    // As the mode page was before a mode was chosen; the mode box stays checked.
    ui->Label1->setText(QStringLiteral("Select the Operating Modality"));
    ui->Button1->setText(QStringLiteral("Next -->"));
    ui->Label8->setVisible(false);
    ui->cb_com->setVisible(false);
}

namespace {
const QString kProfileFilter = QStringLiteral("Setup files (*.json);;All files (*)");
} // namespace

void TF_selmode::BtnOpenClick(QObject* /*Sender*/) {
    using namespace comsetup;
    BuildSettingsPages();
    const QString path =
        ChooseFile(this, FileChoiceKind::Open, QStringLiteral("Open setup"), kProfileFilter);
    if (path.isEmpty())
        return;
    config::SetupProfile profile; // keys the file leaves out take the wizard's defaults
    try {
        profile = config::LoadWholeSetupFile(path.toStdString());
    } catch (const config::ValueError& error) {
        ShowMessage(QString::fromStdString(error.what()));
        return;
    }
    LoadProfile(profile);
}

void TF_selmode::LoadProfile(const comsetup::config::SetupProfile& profile) {
    BuildSettingsPages();
    comsetup::ProfileToWizard(profile, *ui);
    stat_wiz = static_cast<int>(profile.mode);
    upd_stat_wiz();
    ui->Button1->setText(QStringLiteral("DownLoad"));
}

void TF_selmode::BtnPlanClick(QObject* /*Sender*/) {
    using namespace comsetup;
    BuildSettingsPages();
    // Values the plan leaves out are the defaults, never what an earlier download or mode left
    // in the wizard; only the PC's port, when the plan names none, is the one last chosen.
    config::SetupProfile base;
    try {
        base.port = config::ParsePortName(ui->cb_com->currentText().trimmed().toStdString());
    } catch (const config::ValueError&) {
        // the default port
    }
    const QString path = ChooseFile(this, FileChoiceKind::Open, QStringLiteral("Open plan"),
                                    QStringLiteral("Plans (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    PlanWindow* window = OpenPlan(this, path.toStdString(), base,
                                  [this](std::vector<config::SetupProfile> units,
                                         std::string planId, std::vector<int> rows, int planRows) {
                                      if (Fmain && Fmain->DownloadRunning())
                                          return; // the running download's dialog is in front
                                      series_->StartPlanned(std::move(units), std::move(planId),
                                                            std::move(rows), planRows);
                                  });
    if (window != nullptr)
        connect(Fmain, &TFmain::downloadEnded, window, &PlanWindow::Refresh);
}

void TF_selmode::BtnJournalClick(QObject* /*Sender*/) {
    comsetup::ShowJournalWindow(this);
}

void TF_selmode::BtnSaveClick(QObject* /*Sender*/) {
    using namespace comsetup;
    BuildSettingsPages();
    // Read as "DownLoad" reads it: a field it would refuse is refused here with its message.
    const auto profile = SendableProfile();
    if (!profile)
        return;
    const QString path =
        ChooseFile(this, FileChoiceKind::Save, QStringLiteral("Save setup"), kProfileFilter);
    if (path.isEmpty())
        return;
    try {
        config::SaveSetupFile(path.toStdString(), *profile);
    } catch (const config::ValueError& error) {
        ShowMessage(QString::fromStdString(error.what()));
    }
}

void TF_selmode::BtnLogClick(QObject* /*Sender*/) {
    if (Fmonitor)
        Fmonitor->ShowLog();
}

void TF_selmode::Button1Click(QObject* /*Sender*/) {
    if (stat_wiz > 0) {
        BuildSettingsPages(); // the page a profile or a caller chose may not have built them
        CopyAndDownload();
        return;
    }
    const bool m1 = ui->cb_m1->isChecked(), m2 = ui->cb_m2->isChecked(),
               m3 = ui->cb_m3->isChecked();
    if (!m1 && !m2 && !m3) {
        comsetup::ShowMessage(QStringLiteral("Select One Option"));
        return;
    }
    if (m1)
        stat_wiz = 1;
    if (m2)
        stat_wiz = 2;
    if (m3)
        stat_wiz = 3;
    upd_stat_wiz();
    ui->Button1->setText(QStringLiteral("DownLoad"));
}

bool TF_selmode::ValuesAreSendable() {
    using namespace comsetup;
    // A field's value model falls back to its last good value for a text out of range (300
    // typed in a byte reads as 30): refuse here, so that what is sent is what is shown.
    for (const RangeCheck& c : FieldsSent(*ui)) {
        if (WholeNumberIn(c.field->text().toStdString(), c.min, c.max))
            continue;
        c.field->setFocus(Qt::OtherFocusReason);
        c.field->FlashError();
        ShowWarningMessage(QString::fromStdString(
            FieldRangeMessage(c.name.toStdString(), c.field->text().toStdString(), c.min, c.max)));
        return false;
    }
    // The port is checked with the other values, before the progress dialog opens.
    const QString port = ui->cb_com->currentText().trimmed();
    if (!IsAutoPort(port.toStdString())) {
        QString refusal;
        if (port.isEmpty()) {
            refusal = QStringLiteral("COM port setup is empty: type or pick a port, such as COM1");
        } else {
            try {
                config::ParsePortName(port.toStdString());
            } catch (const config::ValueError& error) {
                refusal = QStringLiteral("COM port setup: ") + QString::fromStdString(error.what());
            }
        }
        if (!refusal.isEmpty()) {
            ui->cb_com->setFocus(Qt::OtherFocusReason);
            ShowWarningMessage(refusal);
            return false;
        }
    }
    // A baud rate typed instead of picked goes out as typed: digits within the rates a serial
    // line runs at.
    if (ui->cb_br->currentIndex() < 0 &&
        !IsBaudRateText(ui->cb_br->currentText().trimmed().toStdString())) {
        ui->cb_br->setFocus(Qt::OtherFocusReason);
        ui->cb_br->lineEdit()->selectAll();
        ShowWarningMessage(QString::fromLatin1(kBaudRateMessage.data(),
                                               static_cast<qsizetype>(kBaudRateMessage.size())));
        return false;
    }
    return true;
}

std::optional<comsetup::config::SetupProfile> TF_selmode::SendableProfile() {
    using namespace comsetup;
    if (!ValuesAreSendable())
        return std::nullopt;
    // Every byte must be an allowed mask byte and the ones must be contiguous: a mask such as
    // 255.0.255.0 would otherwise reach the converter as a different mask.
    const AddressBytes mask = ReadAddress({ui->re_smb1, ui->re_smb2, ui->re_smb3, ui->re_smb4});
    if (const auto refusal = CheckSubnetMask(mask)) {
        ShowWarningMessage(QString::fromStdString(*refusal));
        return std::nullopt;
    }
    try {
        return ProfileFromWizard(*ui, stat_wiz);
    } catch (const config::ValueError& error) {
        ShowWarningMessage(QString::fromStdString(error.what()));
        return std::nullopt;
    }
}

void TF_selmode::CopyAndDownload() {
    if (Fmain->DownloadRunning()) {
        // No second download inside the running one: it would share the port and the dialog.
        comsetup::ProgressDialogView(*fprog).BringToFront();
        return;
    }
    if (!ValuesAreSendable())
        return;
    // As the original wizard does, the converter's address reaches the main window before the
    // mask is checked; every other value only with the download, from its profile.
    using comsetup::ReadAddress, comsetup::WriteAddress;
    Ui::TFmain& m = Fmain->Form();
    WriteAddress({m.re_ipb1, m.re_ipb2, m.re_ipb3, m.re_ipb4},
                 ReadAddress({ui->re_ipb1, ui->re_ipb2, ui->re_ipb3, ui->re_ipb4}));
    const auto profile = SendableProfile();
    if (!profile)
        return;
    // A rate off the usual list goes out as typed, with the warning the command line gives.
    if (const std::string warning = comsetup::config::BaudRateWarning(profile->baud);
        !warning.empty())
        comsetup::ShowWarningMessage(QString::fromStdString(warning));
    DownloadProfile(*profile);
}

void TF_selmode::DownloadProfile(const comsetup::config::SetupProfile& profile,
                                 const comsetup::JournalPlanRow& planRow) {
    if (Fmain->DownloadRunning()) {
        comsetup::ProgressDialogView(*fprog).BringToFront();
        return;
    }
    DownloadUnderway underway(*this, *ui, QString::fromStdString(profile.port));
    Fmain->DownloadSetup(profile, planRow);
}
