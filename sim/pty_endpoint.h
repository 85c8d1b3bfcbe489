// The converter's end of the serial line: a pseudo-terminal master, non-blocking, with the
// line in raw mode. While no program has the slave open the master reports a hang-up; the
// server then discards what is left on the line, as closing a serial port does (a pty would
// otherwise hand those bytes to the next program that opens it).
#pragma once

#include <string>

namespace comsetup::sim {

class PtyEndpoint {
public:
    // Throws std::runtime_error naming the failing call and the OS error.
    PtyEndpoint();
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }

    // Drops bytes written to the line that the other end has not read. False if the line
    // could not be reached (another program holds it exclusively).
    bool DiscardUnread();
    // Closes the line: the other end sees it vanish.
    void Close();
    bool IsOpen() const { return master_ >= 0; }

private:
    int master_ = -1;
    std::string slavePath_;
};

// A symlink to the pseudo-terminal, removed on destruction if it still points there.
// An existing symlink at the path is replaced; any other existing file is an error.
class PtyLink {
public:
    PtyLink(const std::string& linkPath, const std::string& target); // throws runtime_error
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;
    void Remove();

private:
    std::string path_;
    std::string target_;
};

} // namespace comsetup::sim
