// The file trace of a download.
#include "download/trace.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace comsetup {

namespace {

double Seconds(std::chrono::nanoseconds t) {
    return static_cast<double>(t.count()) / 1e9;
}

} // namespace

FileTrace::FileTrace(std::FILE* file) : file_(file) {}

FileTrace::~FileTrace() {
    if (file_ != nullptr && file_ != stderr && file_ != stdout) {
        std::fclose(file_);
    } else if (file_ != nullptr) {
        std::fflush(file_);
    }
}

void FileTrace::OnSend(std::uint8_t byte, std::chrono::nanoseconds at) {
    std::fprintf(file_, "%.6f send %02X\n", Seconds(at), byte);
}

void FileTrace::OnDelay(int ms, std::chrono::nanoseconds start, std::chrono::nanoseconds end) {
    std::fprintf(file_, "%.6f delay %d ms (%.3f)\n", Seconds(start), ms,
                 static_cast<double>((end - start).count()) / 1e6);
}

void FileTrace::OnReceive(std::span<const std::uint8_t> bytes, std::chrono::nanoseconds at) {
    std::fprintf(file_, "%.6f recv %zu:", Seconds(at), bytes.size());
    for (std::uint8_t b : bytes) {
        std::fprintf(file_, " %02X", b);
    }
    std::fputc('\n', file_);
}

std::unique_ptr<DownloadTrace> TraceFromEnvironment() {
    const char* path = std::getenv("COMSETUP_TRACE");
    if (path == nullptr || *path == '\0') {
        return nullptr;
    }
    if (std::string(path) == "-") {
        return std::make_unique<FileTrace>(stderr);
    }
    std::FILE* file = std::fopen(path, "a");
    if (file == nullptr) {
        // Said once per process, however often a trace is asked for.
        static std::atomic<bool> told{false};
        if (!told.exchange(true)) {
            std::fprintf(stderr, "COMSETUP_TRACE: %s cannot be opened (%s); no trace is written\n",
                         path, std::strerror(errno));
        }
        return nullptr;
    }
    return std::make_unique<FileTrace>(file);
}

} // namespace comsetup
