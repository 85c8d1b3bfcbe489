// comsetup: configures an Ethernet-to-RS232/485 converter through a PC serial port. The
// wizard collects the settings; the hidden main setup window holds them and runs the download.
#include "app/combo_choice.h"
#include "app/comsetup_application.h"
#include "app/form_look.h"
#include "app/startup.h"
#include "app/tf_selmode.h"

#include <QIcon>

int main(int argc, char** argv) {
    comsetup::ComsetupApplication app(argc, argv);
    comsetup::ApplyApplicationLook(app);
    app.setWindowIcon(QIcon(QStringLiteral(":/pictures/comsetup.png")));
    // The program ends when the wizard is closed, whatever other window is still open (the
    // progress dialog, say); the wizard defers that close while a download runs.
    app.setQuitOnLastWindowClosed(false);

    comsetup::AppWindows windows(comsetup::SerialDevicesFound());
    QObject::connect(&windows.Wizard(), &TF_selmode::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    comsetup::ShowWizard(windows);
    return app.exec();
}
