// Start-up of the program.
#include "app/startup.h"

#include "ui_tfmain.h"

#include "app/combo_choice.h"
#include "app/converter_series.h"
#include "app/embedded_pictures.h"
#include "app/form_look.h"
#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "app/tfmonitor.h"
#include "app/tfprog.h"
#include "app/window_geometry.h"
#include "app/wizard_form.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QTimer>

#include <chrono>
#include <utility>

namespace comsetup {

AppWindows::AppWindows(std::function<PortEntries()> findDevices)
    : findDevices_(std::move(findDevices)) {
    selmode_ = std::make_unique<TF_selmode>();
    F_selmode = selmode_.get();
    QObject::connect(selmode_.get(), &TF_selmode::settingsPagesBuilt, selmode_.get(),
                     [this] { BuildHiddenWindows(); });
}

void AppWindows::BuildRest() {
    selmode_->BuildSettingsPages(); // announces them, which builds the hidden windows
}

void AppWindows::BuildHiddenWindows() {
    if (main_)
        return;
    main_ = std::make_unique<TFmain>();
    Fmain = main_.get();
    monitor_ = std::make_unique<TFmonitor>();
    Fmonitor = monitor_.get();
    // Owned by the wizard, so the window system keeps it above the wizard, not behind it.
    progress_ = std::make_unique<Tfprog>(selmode_.get());
    fprog = progress_.get();

    // One list for both windows: the wizard hands the port over by its position.
    const PortEntries ports = PortListEntries(findDevices_());
    for (QWidget* window : std::initializer_list<QWidget*>{selmode_.get(), main_.get()})
        KeepOffGroupFrames(window);
    for (QComboBox* box : {selmode_->Form().cb_com, main_->Form().cb_com}) {
        SetPortListEntries(box, ports);
        ShowStartOfName(box);
    }
    QObject::connect(main_.get(), &TFmain::downloadEnded, selmode_.get(),
                     &TF_selmode::DownloadEnded);
    series_ = new ConverterSeries(*selmode_, *main_, *progress_); // owned by the dialog
    selmode_->SetSeries(series_);
}

ConverterSeries& AppWindows::Series() {
    BuildRest();
    return *series_;
}

TFmain& AppWindows::Main() {
    BuildRest();
    return *main_;
}

TFmonitor& AppWindows::Monitor() {
    BuildRest();
    return *monitor_;
}

Tfprog& AppWindows::Progress() {
    BuildRest();
    return *progress_;
}

AppWindows::~AppWindows() {
    fprog = nullptr;
    progress_.reset();
    Fmonitor = nullptr;
    monitor_.reset();
    Fmain = nullptr;
    main_.reset();
    F_selmode = nullptr;
    selmode_.reset();
}

namespace {

// Builds the rest of the windows shortly after the wizard's first paint event: meanwhile the
// display server puts that first drawing on the screen without this process competing for
// the CPU, and no user acts that soon (whatever needs the rest earlier builds it at once).
constexpr std::chrono::milliseconds kRestAfterFirstPaint{30};

class BuildRestAfterFirstPaint : public QObject {
public:
    explicit BuildRestAfterFirstPaint(AppWindows& windows)
        : QObject(&windows.Wizard()), windows_(windows) {
        windows.Wizard().installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(kRestAfterFirstPaint, parent(),
                               [&windows = windows_] { windows.BuildRest(); });
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    AppWindows& windows_;
};

} // namespace

void ShowWizard(AppWindows& windows) {
    CentreOnScreen(&windows.Wizard());
    if (!windows.RestBuilt())
        new BuildRestAfterFirstPaint(windows); // owned by the wizard
    windows.Wizard().show();
}

std::unique_ptr<AppWindows> StartProgram(QApplication& app) {
    ApplyApplicationLook(app);
    QApplication::setWindowIcon(AlphaIcon(QStringLiteral("comsetup"), kIconSize));
    // The program ends when the wizard is closed, whatever other window is still open (the
    // progress dialog, say); the wizard defers that close while a download runs.
    QApplication::setQuitOnLastWindowClosed(false);
    auto windows = std::make_unique<AppWindows>(SerialDevicesFound);
    QObject::connect(&windows->Wizard(), &TF_selmode::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    ShowWizard(*windows);
    return windows;
}

} // namespace comsetup
