// The start-up as the X server sees it, from an X client of the benchmark's own: the first
// top-level window mapped after Reset, and the first drawing into it (the DAMAGE extension
// reports it once the window's contents change). Times are the monotonic clock when each
// report arrived. The watcher does not touch the watched program.
#pragma once

#include <cstdint>
#include <vector>

struct xcb_connection_t;

class XWatch {
public:
    XWatch() = default;
    ~XWatch();
    XWatch(const XWatch&) = delete;
    XWatch& operator=(const XWatch&) = delete;

    // Connects to $DISPLAY and watches the root window; false when there is no display or no
    // DAMAGE extension.
    bool Open();
    int Fd() const;
    // Forgets the last launch's windows.
    void Reset();
    // Handles every report that has arrived, stamping it with nowNs.
    void Process(long long nowNs);

    long long MappedNs() const { return mappedNs_; }
    long long DrawnNs() const { return drawnNs_; }

private:
    xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
    std::uint8_t damageEvent_ = 0;
    std::uint32_t mapped_ = 0; // the first window mapped since Reset
    long long mappedNs_ = -1;
    long long drawnNs_ = -1;
};
