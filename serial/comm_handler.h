// An event handler property of the serial component (OnRxChar, OnCts, ...). It reads and calls
// like the std::function it holds, and tells its component whenever it changes between empty
// and assigned: the event thread watches only the events that have a handler, so a port whose
// owner listens to nothing costs no wake-ups and no deliveries.
//
// Threads: assigned on the component's owner thread, like every other property.
#pragma once

#include <functional>
#include <utility>

class TCustomComm;

namespace comsetup {

// Defined with the component: re-derives the watched events after a handler changed.
void HandlerAssignmentChanged(TCustomComm& comm);

template <typename Fn> class CommHandler {
public:
    explicit CommHandler(TCustomComm& comm) : comm_(comm) {}
    CommHandler(const CommHandler&) = delete;

    CommHandler& operator=(const CommHandler&) = delete;
    CommHandler& operator=(Fn fn) {
        const bool had = static_cast<bool>(fn_);
        fn_ = std::move(fn);
        if (had != static_cast<bool>(fn_))
            HandlerAssignmentChanged(comm_);
        return *this;
    }

    explicit operator bool() const { return static_cast<bool>(fn_); }
    const Fn& Get() const { return fn_; }
    template <typename... Args> void operator()(Args&&... args) const {
        fn_(std::forward<Args>(args)...);
    }

private:
    TCustomComm& comm_;
    Fn fn_;
};

} // namespace comsetup
