// The pacer of downloads started from the windows: pauses that keep the windows alive (the
// event loop runs during every wait, so "Cancel" and repaints are handled) and still end on
// time. A pause runs a nested event loop until shortly before its deadline, then sleeps to
// the deadline itself with the download's precise sleep (download/precise_clock.h); the GUI
// thread asks for precise wake-ups so the operating system wakes it up promptly. A pause never ends
// early, also when the application is quitting (nested event loops then return at once, so the rest
// is slept in short slices that keep processing events).
#pragma once

#include "download/pacer.h"

#include <chrono>

namespace comsetup {

class GuiPacer final : public Pacer {
public:
    using Clock = std::chrono::steady_clock;

    // GUI thread only (it also lowers that thread's timer slack).
    GuiPacer();

    // Waits at least ms milliseconds (nothing for ms <= 0) while the GUI keeps running.
    void Delay(int ms) override;
    // Runs the GUI's pending events (and thus the owner thread's pending calls) once.
    void ProcessMessages() override;
    std::chrono::nanoseconds Now() override;

    void WaitUntil(Clock::time_point deadline);

    // How early the nested event loop hands over to the final sleep; it covers the event
    // loop's timer rounding (up to 1 ms) and its wake-up latency.
    static constexpr std::chrono::microseconds kHandOver{2500};
};

} // namespace comsetup
