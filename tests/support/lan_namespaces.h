// Two network namespaces of the test's own, "PC" and "LAN", joined by one veth pair and
// linked to nothing else: the only place where the LAN check may send a packet in a test, a
// benchmark or a demo. Made with `unshare --net` as root, or inside a user namespace
// (`unshare --user --map-root-user --net`) where the system allows unprivileged ones;
// otherwise Make says why not and the caller skips.
//
//   PC  namespace: lo, pc0  192.168.1.1/24, MAC 02:00:5e:10:00:02
//   LAN namespace: lo, lan0 (no address),   MAC 02:00:5e:10:00:01
//
// IPv6 is off on both ends, so nothing crosses the veth that a program under test did not
// send. The namespaces live as long as the object (each is held by a sleeping process).
// POSIX (Linux) only.
#pragma once

#include "tests/support/child_process.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace comsetup::test {

class LanNamespaces {
public:
    static constexpr const char* kPcAddress = "192.168.1.1";
    static constexpr const char* kPcInterface = "pc0";
    static constexpr const char* kLanInterface = "lan0";
    static constexpr const char* kLanMac = "02:00:5e:10:00:01";

    // The namespaces, or nullptr with the reason in whyNot.
    static std::unique_ptr<LanNamespaces> Make(std::string& whyNot);
    ~LanNamespaces();
    LanNamespaces(const LanNamespaces&) = delete;
    LanNamespaces& operator=(const LanNamespaces&) = delete;

    // argv run inside the PC or the LAN namespace (argv[0] a full path).
    std::vector<std::string> InPc(const std::vector<std::string>& argv) const;
    std::vector<std::string> InLan(const std::vector<std::string>& argv) const;
    // Runs a shell command inside the LAN namespace ("ip addr add ... dev lan0"); true when
    // it succeeded.
    bool RunInLan(const std::string& command) const;
    bool RunInPc(const std::string& command) const;

    // Packets the PC namespace sent out on pc0 so far.
    std::uint64_t PcPacketsSent() const;

    // Puts the calling thread into the PC namespace until the returned object goes away, so
    // that code under test in this process (and the threads it starts meanwhile) sees only
    // pc0 and lo. Needs root; nullptr with the reason otherwise.
    class Entered {
    public:
        explicit Entered(int original) : original_(original) {}
        ~Entered();
        Entered(const Entered&) = delete;
        Entered& operator=(const Entered&) = delete;

    private:
        int original_;
    };
    std::unique_ptr<Entered> EnterPc(std::string& whyNot) const;
    // The same for the LAN namespace (a benchmark's device played in-process).
    std::unique_ptr<Entered> EnterLan(std::string& whyNot) const;

private:
    LanNamespaces() = default;
    std::vector<std::string> Enter(int pid, const std::vector<std::string>& argv) const;
    bool Run(int pid, const std::string& command) const;
    std::unique_ptr<Entered> EnterNamespaceOf(int pid, std::string& whyNot) const;

    bool userNamespace_ = false;
    std::unique_ptr<ChildProcess> pc_;
    std::unique_ptr<ChildProcess> lan_;
};

// A full path of a system program ("ip" -> "/usr/sbin/ip"), or "" when there is none.
std::string SystemProgram(const std::string& name);

} // namespace comsetup::test
