// A byte-and-time trace of a download, for field diagnosis and for measuring the pacing:
// every byte sent, every pause with its start and end, every read with its bytes. Off by
// default; TraceFromEnvironment() turns it on when COMSETUP_TRACE names a file ("-" for
// standard error). Times are monotonic nanoseconds of the download's pacer.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace comsetup {

class DownloadTrace {
public:
    virtual ~DownloadTrace() = default;
    virtual void OnSend(std::uint8_t byte, std::chrono::nanoseconds at) = 0;
    virtual void OnDelay(int ms, std::chrono::nanoseconds start, std::chrono::nanoseconds end) = 0;
    virtual void OnReceive(std::span<const std::uint8_t> bytes, std::chrono::nanoseconds at) = 0;
};

// Writes one line per event: "<seconds.micro> send 78", "... delay 500 ms (500.062)",
// "... recv 12: 53 4F 46 ...".
class FileTrace final : public DownloadTrace {
public:
    // Takes ownership of file unless it is stderr / stdout. name is the file's name in the
    // one message that tells of a write that failed (a full disk): the trace stops there.
    explicit FileTrace(std::FILE* file, std::string name = "-");
    ~FileTrace() override;
    FileTrace(const FileTrace&) = delete;
    FileTrace& operator=(const FileTrace&) = delete;

    void OnSend(std::uint8_t byte, std::chrono::nanoseconds at) override;
    void OnDelay(int ms, std::chrono::nanoseconds start, std::chrono::nanoseconds end) override;
    void OnReceive(std::span<const std::uint8_t> bytes, std::chrono::nanoseconds at) override;

private:
    void CheckWritten(); // after each line: tells once of a failed write and stops

    std::FILE* file_;
    std::string name_;
    bool failed_ = false;
};

// A FileTrace when COMSETUP_TRACE is set and names a regular file (or a terminal) that can
// be opened, else nullptr; a file that cannot be opened or is no regular file (a named pipe,
// a device) is said once on standard error.
std::unique_ptr<DownloadTrace> TraceFromEnvironment();

} // namespace comsetup
