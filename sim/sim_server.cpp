#include "sim/sim_server.h"

#include "config/config_files.h"

#include "sim/lan_presence.h"
#include "sim/pty_endpoint.h"
#include "sim/session_report.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <memory>
#include <poll.h>
#include <sched.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <unistd.h>

namespace comsetup::sim {
namespace {

constexpr std::size_t kMaxQueuedOutput = 64 * 1024;
constexpr std::int64_t kHangUpCheckUs = 10'000;

volatile std::sig_atomic_t gStopSignal = 0;

void OnStopSignal(int sig) {
    gStopSignal = sig;
}

std::int64_t NowUs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

class Server {
public:
    Server(const SimOptions& o, std::FILE* out, std::FILE* log)
        : opt_(o), out_(out), log_(o.quiet ? nullptr : log), model_(o.model) {}

    int Run();

private:
    void Log(const char* fmt, const std::string& a = {}, const std::string& b = {});
    void ReadLine(std::int64_t now);
    void OnHangUp();
    void OnReopen();
    void WriteLine();
    void AfterModel();
    void Publish(std::vector<SessionReport> sessions);
    void WriteJson();
    static void LogLan(void* self, const std::string& text) {
        static_cast<Server*>(self)->Log("%s%s", text);
    }

    SimOptions opt_;
    std::FILE* out_;
    std::FILE* log_;
    ConverterModel model_;
    std::unique_ptr<PtyEndpoint> pty_;
    std::unique_ptr<PtyLink> link_;
    std::string pending_;
    std::uint64_t dropped_ = 0;
    std::vector<SessionReport> done_;
    Stage lastStage_ = Stage::SwitchedOff;
    bool wasInSession_ = false;
    bool hungUp_ = true; // until a program opens the line
    bool finishedOne_ = false;
    std::int64_t t0_ = NowUs();
    std::unique_ptr<LanPresence> lan_; // last: it leaves the LAN before the rest goes
};

void Server::Log(const char* fmt, const std::string& a, const std::string& b) {
    if (!log_)
        return;
    std::fprintf(log_, "[%9.3f] ", static_cast<double>(NowUs() - t0_) / 1e6);
    std::fprintf(log_, fmt, a.c_str(), b.c_str());
    std::fputc('\n', log_);
    std::fflush(log_);
}

void Server::ReadLine(std::int64_t now) {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(pty_->MasterFd(), buf, sizeof buf);
        if (n > 0) {
            model_.Receive(std::string_view(buf, static_cast<std::size_t>(n)), now);
            AfterModel();
            now = NowUs(); // later reads of this wake-up hold bytes that came in since
            if (!pty_->IsOpen())
                return;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EIO)
            OnHangUp(); // the other end closed the line
        return;         // EAGAIN: all read
    }
}

void Server::OnHangUp() {
    if (hungUp_)
        return;
    hungUp_ = true;
    // Closing a serial port drops what it had not read; do the same for the next opener.
    pending_.clear();
    if (!pty_->DiscardUnread())
        Log("could not discard what the other end left unread: %s", std::strerror(errno));
    Log("the other end closed the line%s");
}

void Server::OnReopen() {
    if (!hungUp_)
        return;
    hungUp_ = false;
    Log("the other end opened the line%s");
}

void Server::WriteLine() {
    while (!pending_.empty() && pty_->IsOpen() && !hungUp_) {
        const ssize_t n = ::write(pty_->MasterFd(), pending_.data(), pending_.size());
        if (n > 0) {
            pending_.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return; // EAGAIN: the other end's input queue is full; wait for POLLOUT
    }
}

void Server::AfterModel() {
    const bool inSession = model_.InSession();
    if (inSession && !wasInSession_) {
        lastStage_ = Stage::SwitchedOff;
        Log("session %s started", std::to_string(model_.Current().number));
    }
    wasInSession_ = inSession;
    if (inSession && model_.Current().stage != lastStage_) {
        lastStage_ = model_.Current().stage;
        Log("session %s: %s", std::to_string(model_.Current().number), StageName(lastStage_));
    }
    std::string out = model_.TakeOutput();
    if (hungUp_)
        out.clear(); // nobody listens: what the converter says now is lost
    const std::size_t room =
        pending_.size() < kMaxQueuedOutput ? kMaxQueuedOutput - pending_.size() : 0;
    if (out.size() > room) {
        dropped_ += out.size() - room;
        out.resize(room);
    }
    pending_ += out;
    WriteLine();
    Publish(model_.TakeFinishedSessions());
    if (model_.Vanished() && pty_->IsOpen()) {
        pty_->Close();
        if (link_)
            link_->Remove();
        Log("the line vanished%s");
    }
}

void Server::Publish(std::vector<SessionReport> sessions) {
    if (sessions.empty())
        return;
    const std::size_t first = done_.size();
    for (SessionReport& r : sessions)
        done_.push_back(std::move(r));
    // The JSON file first: whoever reads the report on stdout may open the file at once.
    WriteJson();
    for (std::size_t i = first; i < done_.size(); ++i) {
        const SessionReport& r = done_[i];
        Log("session %s ended: %s", std::to_string(r.number), SessionEndName(r.end));
        if (lan_ && r.end == SessionEnd::Complete)
            lan_->Restart(r.settings);
        std::fputs(FormatReport(r).c_str(), out_);
        std::fflush(out_);
    }
    finishedOne_ = true;
}

void Server::WriteJson() {
    if (opt_.jsonPath.empty())
        return;
    // Written beside the target, flushed to disk and renamed over it, so a reader never sees
    // half a file and a full disk leaves the last report whole.
    try {
        config::WriteFileAtomically(opt_.jsonPath,
                                    ReportsToJson(done_, opt_.model.firmware, opt_.model.fail));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "comsetup-sim: %s\n", e.what());
    }
}

int Server::Run() {
    try {
        pty_ = std::make_unique<PtyEndpoint>();
        if (!opt_.linkPath.empty())
            link_ = std::make_unique<PtyLink>(opt_.linkPath, pty_->SlavePath());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "comsetup-sim: %s\n", e.what());
        return 1;
    }
    if (!opt_.lan.interface.empty())
        lan_ = std::make_unique<LanPresence>(opt_.lan, &Server::LogLan, this);
    std::fprintf(out_, "%s\n", pty_->SlavePath().c_str());
    std::fflush(out_);
    Log("serving firmware %s on %s", FirmwareName(opt_.model.firmware), pty_->SlavePath());
    if (opt_.realtime) {
        // The loop only ever blocks in ppoll(), so a real-time priority costs the machine
        // nothing but lets a received byte be timestamped when it arrives, also on a busy
        // machine. Refused without the privilege: then the normal priority serves.
        sched_param sp{};
        sp.sched_priority = 10;
        if (::sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &sp) != 0)
            Log("real-time priority refused (%s); timestamps may lag on a busy machine",
                std::strerror(errno));
    }
    if (opt_.model.fail != FailMode::Healthy)
        Log("failure mode %s%s", FailModeName(opt_.model.fail));

    // The stop signals are blocked except inside ppoll(), so none is lost between checks.
    sigset_t blocked, waitMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGHUP);

    while (gStopSignal == 0 && pty_->IsOpen() && !(opt_.once && finishedOne_)) {
        const bool writing = !pending_.empty() && !hungUp_;
        pollfd p{pty_->MasterFd(), static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0};
        // While nobody has the line open the master reports a hang-up at once, so the wait
        // becomes a short sleep, then a look at the line. Bytes of the first write after an
        // open may thus be timestamped up to that sleep late; all later ones on arrival.
        std::int64_t waitUs = hungUp_ ? kHangUpCheckUs : -1;
        // A sleeping reader is woken tens to hundreds of microseconds after a byte arrives
        // (more on a virtual machine whose idle core must be woken first); a spinning one
        // stamps it within microseconds, also the first byte after the line is opened.
        if (opt_.spin)
            waitUs = 0;
        if (const auto next = model_.NextEventUs()) {
            const std::int64_t untilNext = std::max<std::int64_t>(0, *next - NowUs());
            waitUs = waitUs < 0 ? untilNext : std::min(waitUs, untilNext);
        }
        timespec timeout{waitUs / 1'000'000, (waitUs % 1'000'000) * 1000};
        int rc;
        if (hungUp_) {
            rc = ::ppoll(nullptr, 0, &timeout, &waitMask);
            if (rc >= 0)
                rc = ::poll(&p, 1, 0);
        } else {
            rc = ::ppoll(&p, 1, waitUs < 0 ? nullptr : &timeout, &waitMask);
        }
        const std::int64_t now = NowUs();
        if (rc < 0 && errno != EINTR) {
            std::fprintf(stderr, "comsetup-sim: ppoll: %s\n", std::strerror(errno));
            return 1;
        }
        if (rc >= 0 && !(p.revents & POLLHUP))
            OnReopen(); // (a time-out while the line is up changes nothing)
        if (rc > 0 && (p.revents & POLLIN))
            ReadLine(now);
        if (!pty_->IsOpen())
            break;
        if (rc > 0 && (p.revents & POLLHUP))
            OnHangUp();
        if (rc > 0 && (p.revents & POLLOUT) && !hungUp_)
            WriteLine();
        model_.Advance(now);
        AfterModel();
    }
    if (auto r = model_.Interrupt(NowUs())) {
        std::vector<SessionReport> last;
        last.push_back(std::move(*r));
        Publish(std::move(last));
    }
    if (dropped_ > 0)
        Log("%s bytes of output dropped: the other end did not read them",
            std::to_string(dropped_));
    if (gStopSignal != 0)
        Log("stopped by signal %s", std::to_string(gStopSignal));
    if (link_)
        link_->Remove();
    lan_.reset(); // off the LAN before the process ends
    return 0;
}

} // namespace

int RunSimServer(const SimOptions& options, std::FILE* out, std::FILE* log) {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); // wake on time for the deadlines
    Server server(options, out, log);
    return server.Run();
}

} // namespace comsetup::sim
