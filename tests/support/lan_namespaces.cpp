// The PC and LAN namespaces of the LAN tests.
#include "tests/support/lan_namespaces.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace comsetup::test {

namespace {

ino_t NamespaceOf(const std::string& path) {
    struct stat s {};
    return ::stat(path.c_str(), &s) == 0 ? s.st_ino : 0;
}

// Waits until pid has left our network namespace and runs its final program (sleep).
bool Settled(int pid) {
    const ino_t ours = NamespaceOf("/proc/self/ns/net");
    for (int i = 0; i < 500; ++i) {
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        std::getline(comm, name);
        const ino_t theirs = NamespaceOf("/proc/" + std::to_string(pid) + "/ns/net");
        if (name == "sleep" && theirs != 0 && theirs != ours) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

std::string SystemProgram(const std::string& name) {
    for (const char* dir : {"/usr/sbin/", "/usr/bin/", "/sbin/", "/bin/"}) {
        const std::string path = dir + name;
        if (::access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return {};
}

std::unique_ptr<LanNamespaces> LanNamespaces::Make(std::string& whyNot) {
    const std::string unshare = SystemProgram("unshare");
    const std::string nsenter = SystemProgram("nsenter");
    const std::string ip = SystemProgram("ip");
    const std::string sleep = SystemProgram("sleep");
    if (unshare.empty() || nsenter.empty() || ip.empty() || sleep.empty()) {
        whyNot = "unshare, nsenter (util-linux) and ip (iproute2) are needed";
        return nullptr;
    }
    std::unique_ptr<LanNamespaces> n(new LanNamespaces);
    n->userNamespace_ = ::geteuid() != 0;
    if (n->userNamespace_) {
        n->pc_ = std::make_unique<ChildProcess>(std::vector<std::string>{
            unshare, "--user", "--map-root-user", "--net", sleep, "infinity"});
    } else {
        n->pc_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{unshare, "--net", sleep, "infinity"});
    }
    if (!Settled(n->pc_->Pid())) {
        whyNot = n->userNamespace_
                     ? "no root, and unprivileged user namespaces are refused: " + n->pc_->Err()
                     : "unshare --net failed: " + n->pc_->Err();
        return nullptr;
    }
    // The LAN namespace in the same user namespace (if any), so the veth can join both.
    std::vector<std::string> lanArgv{unshare, "--net", sleep, "infinity"};
    n->lan_ = std::make_unique<ChildProcess>(n->userNamespace_ ? n->Enter(n->pc_->Pid(), lanArgv)
                                                               : lanArgv);
    if (!Settled(n->lan_->Pid())) {
        whyNot = "the second namespace could not be made: " + n->lan_->Err();
        return nullptr;
    }
    const std::string lanPid = std::to_string(n->lan_->Pid());
    const std::string noIpv6 = "echo 1 > /proc/sys/net/ipv6/conf/all/disable_ipv6; "
                               "echo 1 > /proc/sys/net/ipv6/conf/default/disable_ipv6; ";
    const bool made =
        n->RunInLan(noIpv6) &&
        n->RunInPc(noIpv6 + ip + " link set lo up && " + ip +
                   " link add pc0 address 02:00:5e:10:00:02 type veth peer name lan0 address " +
                   kLanMac + " netns " + lanPid + " && " + ip + " addr add " + kPcAddress +
                   "/24 dev pc0 && " + ip + " link set pc0 up") &&
        n->RunInLan("echo 1 > /proc/sys/net/ipv4/conf/lan0/promote_secondaries && " + ip +
                    " link set lo up && " + ip + " link set lan0 up");
    if (!made) {
        whyNot = "the veth pair between the namespaces could not be made";
        return nullptr;
    }
    return n;
}

LanNamespaces::~LanNamespaces() = default; // the holders are killed: the namespaces go

std::vector<std::string> LanNamespaces::Enter(int pid, const std::vector<std::string>& argv) const {
    std::vector<std::string> full{SystemProgram("nsenter"), "--target", std::to_string(pid),
                                  "--net"};
    if (userNamespace_) {
        full.insert(full.end(), {"--user", "--preserve-credentials"});
    }
    full.insert(full.end(), argv.begin(), argv.end());
    return full;
}

std::vector<std::string> LanNamespaces::InPc(const std::vector<std::string>& argv) const {
    return Enter(pc_->Pid(), argv);
}

std::vector<std::string> LanNamespaces::InLan(const std::vector<std::string>& argv) const {
    return Enter(lan_->Pid(), argv);
}

bool LanNamespaces::Run(int pid, const std::string& command) const {
    ChildProcess shell(Enter(pid, {SystemProgram("sh"), "-c", command}));
    return shell.Wait(std::chrono::seconds(10)) == 0;
}

bool LanNamespaces::RunInLan(const std::string& command) const {
    return Run(lan_->Pid(), command);
}

bool LanNamespaces::RunInPc(const std::string& command) const {
    return Run(pc_->Pid(), command);
}

std::uint64_t LanNamespaces::PcPacketsSent() const {
    // /proc/PID/net is the network namespace of PID: no need to enter it.
    std::ifstream dev("/proc/" + std::to_string(pc_->Pid()) + "/net/dev");
    std::string line;
    while (std::getline(dev, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos ||
            line.substr(0, colon).find(kPcInterface) == std::string::npos) {
            continue;
        }
        std::istringstream fields(line.substr(colon + 1));
        std::uint64_t value = 0;
        for (int i = 0; i < 10 && fields >> value; ++i) {
        } // receive: bytes packets errs drop fifo frame compressed multicast; send: bytes packets
        return value;
    }
    return ~std::uint64_t{0};
}

LanNamespaces::Entered::~Entered() {
    ::setns(original_, CLONE_NEWNET);
    ::close(original_);
}

std::unique_ptr<LanNamespaces::Entered> LanNamespaces::EnterPc(std::string& whyNot) const {
    return EnterNamespaceOf(pc_->Pid(), whyNot);
}

std::unique_ptr<LanNamespaces::Entered> LanNamespaces::EnterLan(std::string& whyNot) const {
    return EnterNamespaceOf(lan_->Pid(), whyNot);
}

std::unique_ptr<LanNamespaces::Entered> LanNamespaces::EnterNamespaceOf(int pid,
                                                                        std::string& whyNot) const {
    if (userNamespace_) {
        whyNot = "entering the namespace from within the test needs root";
        return nullptr;
    }
    const int original = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const std::string target = "/proc/" + std::to_string(pid) + "/ns/net";
    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    const bool entered = original >= 0 && fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0 &&
                         NamespaceOf("/proc/thread-self/ns/net") == NamespaceOf(target);
    if (fd >= 0) {
        ::close(fd);
    }
    if (!entered) {
        whyNot = "could not enter the test's namespace";
        if (original >= 0) {
            ::setns(original, CLONE_NEWNET);
            ::close(original);
        }
        return nullptr;
    }
    return std::make_unique<Entered>(original);
}

} // namespace comsetup::test
