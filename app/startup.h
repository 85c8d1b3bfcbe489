// Start-up of the program: the four windows, created from their forms in this order (the
// wizard, the main setup window, the monitor, the progress dialog), the wizard as the main
// window and the other three hidden. The window references (F_selmode, Fmain, Fmonitor,
// fprog) point at them while they live.
//
// What the user first sees comes first: the wizard is built with only its mode page and
// shown; its settings pages and the three hidden windows follow shortly after it has been
// drawn, or as soon as anything needs one of them (the wizard's settings pages, an accessor
// below).
#pragma once

#include "app/combo_choice.h"

#include <functional>
#include <memory>

class TF_selmode;
class TFmain;
class TFmonitor;
class Tfprog;
class QApplication;

namespace comsetup {

class ConverterSeries;

class AppWindows {
public:
    // The serial devices `findDevices` returns follow "COM1".."COM9" in the port lists of
    // both windows, with their descriptions; it is called once, when the lists are filled with
    // the rest. Builds the wizard with its mode page only.
    explicit AppWindows(std::function<PortEntries()> findDevices);
    // Destroys the windows in reverse order and clears the references.
    ~AppWindows();
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    // Builds the wizard's settings pages and the three hidden windows, once.
    void BuildRest();
    bool RestBuilt() const { return main_ != nullptr; }

    TF_selmode& Wizard() { return *selmode_; }
    // Each builds the rest first if it is not yet.
    TFmain& Main();
    TFmonitor& Monitor();
    Tfprog& Progress();
    // "Next converter" of the progress dialog.
    ConverterSeries& Series();

private:
    // Runs when the wizard's settings pages have been built, whoever asked for them: the
    // hidden windows and both port lists.
    void BuildHiddenWindows();

    std::function<PortEntries()> findDevices_;
    std::unique_ptr<TF_selmode> selmode_;
    std::unique_ptr<TFmain> main_;
    std::unique_ptr<TFmonitor> monitor_;
    std::unique_ptr<Tfprog> progress_;
    ConverterSeries* series_ = nullptr;
};

// Shows the wizard centred on the screen; its show event puts it on the mode page. Shortly
// after its first paint, the event loop builds the rest (BuildRest).
void ShowWizard(AppWindows& windows);

// Everything the program does before its event loop: the application's look and icon, the
// four windows (with the serial devices found in the port lists), the end of the program
// when the wizard closes, and the wizard shown.
std::unique_ptr<AppWindows> StartProgram(QApplication& app);

} // namespace comsetup
