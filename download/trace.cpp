// The file trace of a download.
#include "download/trace.h"

#include "core/printable_text.h"
#include "download/output_file.h"

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

FileTrace::FileTrace(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {}

FileTrace::~FileTrace() {
    if (file_ == nullptr) {
        return;
    }
    const bool own = file_ != stderr && file_ != stdout;
    if ((own ? std::fclose(file_) : std::fflush(file_)) != 0 && !failed_) {
        file_ = nullptr;
        failed_ = true;
        std::fprintf(stderr, "COMSETUP_TRACE: %s: could not be written completely (%s)\n",
                     name_.c_str(), std::strerror(errno));
    }
}

void FileTrace::CheckWritten() {
    // Buffered lines fail when a buffer is flushed: with a full disk, at the first 4 KiB.
    if (failed_ || std::ferror(file_) == 0) {
        return;
    }
    failed_ = true;
    std::fprintf(stderr,
                 "COMSETUP_TRACE: %s: could not be written completely (%s); the trace stops "
                 "here, the download goes on\n",
                 name_.c_str(), errno != 0 ? std::strerror(errno) : "write error");
}

void FileTrace::OnSend(std::uint8_t byte, std::chrono::nanoseconds at) {
    if (failed_) {
        return;
    }
    std::fprintf(file_, "%.6f send %02X\n", Seconds(at), byte);
    CheckWritten();
}

void FileTrace::OnDelay(int ms, std::chrono::nanoseconds start, std::chrono::nanoseconds end) {
    if (failed_) {
        return;
    }
    std::fprintf(file_, "%.6f delay %d ms (%.3f)\n", Seconds(start), ms,
                 static_cast<double>((end - start).count()) / 1e6);
    CheckWritten();
}

void FileTrace::OnReceive(std::span<const std::uint8_t> bytes, std::chrono::nanoseconds at) {
    if (failed_) {
        return;
    }
    std::fprintf(file_, "%.6f recv %zu:", Seconds(at), bytes.size());
    for (std::uint8_t b : bytes) {
        std::fprintf(file_, " %02X", b);
    }
    std::fputc('\n', file_);
    CheckWritten();
}

std::unique_ptr<DownloadTrace> TraceFromEnvironment() {
    const char* path = std::getenv("COMSETUP_TRACE");
    if (path == nullptr || *path == '\0') {
        return nullptr;
    }
    if (std::string(path) == "-") {
        return std::make_unique<FileTrace>(stderr);
    }
    const AppendFile opened = OpenForAppending(path, true);
    if (opened.file == nullptr) {
        // Said once per process, however often a trace is asked for.
        static std::atomic<bool> told{false};
        if (!told.exchange(true)) {
            std::fprintf(stderr, "COMSETUP_TRACE: %s: %s; no trace is written\n",
                         PrintableDeviceName(path).c_str(), opened.error.c_str());
        }
        return nullptr;
    }
    return std::make_unique<FileTrace>(opened.file, PrintableDeviceName(path));
}

} // namespace comsetup
