// Cancel flags, interrupt count and termination report shared by both platforms' handlers.
#include "cli/interrupt_state.h"

#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/journal_record.h"

#include <array>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <mutex>

namespace comsetup::cli {

namespace {

constexpr int kSlots = 1024;
std::array<std::atomic<std::atomic<bool>*>, kSlots> g_flags{};
std::atomic<int> g_interrupts{0};
std::atomic<bool> g_endingAtOnce{false};
std::mutex g_reportLock;
std::function<void(const char*)> g_report; // guarded by g_reportLock
bool g_outputClaimed = false;              // guarded by g_reportLock

static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

} // namespace

namespace interrupt_state {

int CountInterrupt() {
    return g_interrupts.fetch_add(1) + 1;
}

void CancelAll() {
    for (auto& slot : g_flags) {
        if (std::atomic<bool>* flag = slot.load()) {
            flag->store(true);
        }
    }
}

bool BeginEndingAtOnce() {
    return !g_endingAtOnce.exchange(true);
}

bool EndingAtOnce() {
    return g_endingAtOnce.load();
}

void EndingAtOnceDropped() {
    g_endingAtOnce.store(false);
}

void EndWithTerminationReport(const char* name, void (*end)(int)) {
    std::unique_lock lock(g_reportLock);
    if (g_outputClaimed) {
        return; // the command is printing its own results, its rows are written
    }
    if (g_report) {
        g_report(name);
    } else {
        std::cerr << "\nTerminated by " << name << ": ended at once." << std::endl;
    }
    std::cout.flush();
    std::cerr.flush();
    FinishRowsEndedAtOnce(kExitTerminated, name);
    end(kExitTerminated);
}

void EndInterrupted(void (*end)(int)) {
    FinishRowsEndedAtOnce(kExitInterrupted, "a second Ctrl+C");
    end(kExitInterrupted);
    std::abort(); // end() does not return
}

} // namespace interrupt_state

TerminationReport::TerminationReport(std::function<void(const char*)> report) {
    std::lock_guard lock(g_reportLock);
    g_report = std::move(report);
    g_outputClaimed = false;
}

TerminationReport::~TerminationReport() {
    std::lock_guard lock(g_reportLock);
    g_report = nullptr;
}

void TerminationReport::ClaimOutput() {
    std::lock_guard lock(g_reportLock);
    g_outputClaimed = true;
}

CancelRegistration::CancelRegistration(std::atomic<bool>& flag) {
    for (int i = 0; i < kSlots; ++i) {
        std::atomic<bool>* expected = nullptr;
        if (g_flags[i].compare_exchange_strong(expected, &flag)) {
            slot_ = i;
            break;
        }
    }
    if (InterruptRequested()) {
        flag.store(true);
    }
}

CancelRegistration::~CancelRegistration() {
    if (slot_ >= 0) {
        g_flags[slot_].store(nullptr);
    }
}

bool InterruptRequested() {
    return g_interrupts.load() > 0;
}

void ResetInterruptsForTest() {
    g_interrupts.store(0);
}

} // namespace comsetup::cli
