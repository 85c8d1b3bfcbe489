// Start-up of the program: the four windows, created from their forms in this order (the
// wizard, the main setup window, the monitor, the progress dialog), the wizard as the main
// window and the other three hidden. The window references (F_selmode, Fmain, Fmonitor,
// fprog) point at them while they live.
#pragma once

#include <QStringList>

#include <memory>

class TF_selmode;
class TFmain;
class TFmonitor;
class Tfprog;
class QApplication;

namespace comsetup {

class FontConfigurationLoad;

class AppWindows {
public:
    // `devicesFound` follow "COM1".."COM9" in the port lists of both windows.
    explicit AppWindows(const QStringList& devicesFound);
    // Destroys the windows in reverse order and clears the references.
    ~AppWindows();
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    TF_selmode& Wizard() { return *selmode_; }
    TFmain& Main() { return *main_; }
    TFmonitor& Monitor() { return *monitor_; }
    Tfprog& Progress() { return *progress_; }

private:
    std::unique_ptr<TF_selmode> selmode_;
    std::unique_ptr<TFmain> main_;
    std::unique_ptr<TFmonitor> monitor_;
    std::unique_ptr<Tfprog> progress_;
};

// Shows the wizard centred on the screen; its show event puts it on the mode page.
void ShowWizard(AppWindows& windows);

// Everything the program does before its event loop: the application's look and icon, the
// four windows (with the serial devices found in the port lists), the end of the program
// when the wizard closes, and the wizard shown. `fonts`, the font configuration being read
// since before the application object, is waited for just before the windows are built.
std::unique_ptr<AppWindows> StartProgram(QApplication& app, FontConfigurationLoad* fonts = nullptr);

} // namespace comsetup
