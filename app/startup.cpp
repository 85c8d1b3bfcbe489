// Start-up of the program.
#include "app/startup.h"

#include "ui_tf_selmode.h"
#include "ui_tfmain.h"

#include "app/combo_choice.h"
#include "app/embedded_pictures.h"
#include "app/font_configuration.h"
#include "app/form_look.h"
#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "app/tfmonitor.h"
#include "app/tfprog.h"
#include "app/window_geometry.h"

#include <QApplication>
#include <QIcon>

namespace comsetup {

AppWindows::AppWindows(const QStringList& devicesFound) {
    selmode_ = std::make_unique<TF_selmode>();
    F_selmode = selmode_.get();
    main_ = std::make_unique<TFmain>();
    Fmain = main_.get();
    monitor_ = std::make_unique<TFmonitor>();
    Fmonitor = monitor_.get();
    progress_ = std::make_unique<Tfprog>();
    fprog = progress_.get();

    // One list for both windows: the wizard hands the port over by its position.
    const QStringList ports = PortListEntries(devicesFound);
    SetPortListEntries(selmode_->Form().cb_com, ports);
    SetPortListEntries(main_->Form().cb_com, ports);
    KeepOffGroupFrames(selmode_.get());
    KeepOffGroupFrames(main_.get());
    ShowStartOfName(selmode_->Form().cb_com);
    ShowStartOfName(main_->Form().cb_com);

    QObject::connect(main_.get(), &TFmain::downloadEnded, selmode_.get(),
                     &TF_selmode::DownloadEnded);
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

void ShowWizard(AppWindows& windows) {
    CentreOnScreen(&windows.Wizard());
    windows.Wizard().show();
}

std::unique_ptr<AppWindows> StartProgram(QApplication& app, FontConfigurationLoad* fonts) {
    ApplyApplicationLook(app);
    QApplication::setWindowIcon(AlphaIcon(QStringLiteral("comsetup"), kIconSize));
    // The program ends when the wizard is closed, whatever other window is still open (the
    // progress dialog, say); the wizard defers that close while a download runs.
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList devicesFound = SerialDevicesFound();
    if (fonts)
        fonts->Wait(); // the windows' first caption needs the font configuration
    auto windows = std::make_unique<AppWindows>(devicesFound);
    QObject::connect(&windows->Wizard(), &TF_selmode::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    ShowWizard(*windows);
    return windows;
}

} // namespace comsetup
