// Test helper: a pseudo-terminal pair. The test plays the far end on the master side; the
// component opens the slave by path.
#pragma once

#include <string>

namespace comsetup::test {

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }

    void Send(const std::string& bytes);                          // far end -> component
    std::string Receive(std::size_t count, int timeoutMs = 2000); // component -> far end
    std::string ReceiveAvailable();
    void CloseMaster(); // the far end hangs up
    // `stty -a` run as a separate program on this terminal (through the master side, which
    // reads the slave's settings).
    std::string SttyAll() const;
    // The slave's termios2 output speed as the kernel holds it.
    unsigned KernelSpeed() const;

private:
    int master_ = -1;
    std::string slavePath_;
};

} // namespace comsetup::test
