// stderr trace of serial calls (see trace.h).
#include "serial/trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace comsetup {
namespace {

std::mutex& TraceMutex() {
    static std::mutex m;
    return m;
}

double ElapsedMs() {
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

bool SerialTraceOn() {
    static const bool on = [] {
        const char* v = std::getenv("COMSETUP_SERIAL_TRACE");
        return v != nullptr && *v != 0 && std::string(v) != "0";
    }();
    return on;
}

void SerialTrace(const std::string& device, const std::string& what) {
    std::lock_guard lock(TraceMutex());
    std::fprintf(stderr, "[serial %10.3f ms] %s: %s\n", ElapsedMs(), device.c_str(), what.c_str());
}

void SerialTraceBytes(const std::string& device, const char* what, const void* data, int count) {
    // Printable bytes as they are, the others as <hex>.
    std::string text = std::string(what) + " " + std::to_string(count) + ": ";
    const auto* p = static_cast<const unsigned char*>(data);
    for (int i = 0; i < count; ++i) {
        if (p[i] >= 0x20 && p[i] < 0x7F && p[i] != '<') {
            text += static_cast<char>(p[i]);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", p[i]);
            text += hex;
        }
    }
    SerialTrace(device, text);
}

} // namespace comsetup
