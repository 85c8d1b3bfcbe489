// The wizard's LAN check around one download ("Check the address on this PC's network" on the
// settings pages; remembered between runs, off at first start). Before the port opens: an
// address that already answers on one of the PC's networks asks "... Write it anyway?"; an
// address on none of them is said under the written line, and nothing is sent to it. After
// "Setup Complete": the progress dialog says "looking for ... 6 s" under the written line
// while it waits for the converter at its new address, "Cancel" ending only the wait, and then
// keeps the result there. Every unit of "Next converter" and of a plan is an ordinary download,
// so it is checked the same way.
#pragma once

#include "config/lan_check.h"
#include "core/setup_values.h"
#include "download/pacer.h"

#include <atomic>
#include <string>

class QCheckBox;
class QWidget;
class Tfprog;

namespace comsetup {

// The remembered choice of the box.
bool LanCheckWanted();
void SetLanCheckWanted(bool wanted);

// The box on the wizard's settings pages, made once by the wizard (a child of it, hidden until
// a settings page shows it); its state is the remembered choice.
QCheckBox* MakeLanCheckBox(QWidget* wizard);

class GuiLanCheck {
public:
    // Off (nothing done, nothing sent) unless the box is ticked.
    GuiLanCheck(const SetupValues& values, Pacer& pacer);

    // Before the port opens; false when the technician declined to write a taken address.
    bool Before(QWidget* parent);
    // After the verdict; waits only after "Setup Complete" and an on-link address.
    void After(Tfprog& dialog, bool complete, std::atomic<bool>& cancel);

    bool On() const { return options_.on; }
    const config::LanBefore& BeforeResult() const { return before_; }
    const config::LanAfter& AfterResult() const { return after_; }

private:
    config::LanCheckOptions options_;
    Pacer& pacer_;
    lan::Ipv4 address_;
    std::uint16_t port_;
    config::LanBefore before_;
    config::LanAfter after_;
    std::string note_; // said under the written line: the off-link refusal, the result
};

} // namespace comsetup
