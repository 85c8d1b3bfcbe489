// SIGINT handling: first interrupt cancels, second ends the process at once.
#include "cli/interrupt.h"

#include "cli/exit_codes.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace comsetup::cli {

namespace {

constexpr int kSlots = 1024;
std::array<std::atomic<std::atomic<bool>*>, kSlots> g_flags{};
std::atomic<int> g_interrupts{0};
struct sigaction g_previous {};

static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

void WriteAll(const char* text) {
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text += written;
        left -= static_cast<std::size_t>(written);
    }
}

void OnInterrupt(int) {
    const int savedErrno = errno;
    const int count = g_interrupts.fetch_add(1) + 1;
    if (count >= 2) {
        WriteAll("\nInterrupted: ended at once, port closed.\n");
        ::_exit(kExitInterrupted);
    }
    for (auto& slot : g_flags) {
        if (std::atomic<bool>* flag = slot.load()) {
            flag->store(true);
        }
    }
    WriteAll("\nCancel requested (press Ctrl+C again to end at once).\n");
    errno = savedErrno;
}

} // namespace

InterruptHandler::InterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &g_previous);
}

InterruptHandler::~InterruptHandler() {
    sigaction(SIGINT, &g_previous, nullptr);
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
