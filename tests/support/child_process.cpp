// Child processes for the tests and benchmarks of the executables.
#include "tests/support/child_process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace comsetup::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, bool pipedOut) {
    const std::string outPath = dir_.File("out");
    const std::string errPath = dir_.File("err");
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        environment.emplace_back(*e);
    }
    environment.insert(environment.end(), env.begin(), env.end());
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : environment) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    int pipe[2] = {-1, -1};
    if (pipedOut && ::pipe2(pipe, O_CLOEXEC) != 0) {
        pipe[0] = pipe[1] = -1;
    }

    pid_ = ::fork();
    if (pid_ == 0) {
        const int out =
            pipe[1] >= 0 ? pipe[1] : ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::setpgid(0, 0); // signals sent to the test's own group do not reach it
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    if (pipe[0] >= 0) {
        ::close(pipe[1]);
        ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
        outPipe_ = pipe[0];
    }
}

void ChildProcess::CloseOut() {
    if (outPipe_ >= 0) {
        Out(); // keeps what had arrived
        ::close(outPipe_);
        outPipe_ = -1;
    }
}

ChildProcess::~ChildProcess() {
    CloseOut();
    if (pid_ > 0 && !ended_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

bool ChildProcess::Running() {
    if (ended_ || pid_ <= 0) {
        return false;
    }
    int status = 0;
    pid_t done = 0;
    do {
        done = ::waitpid(pid_, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == pid_) {
        ended_ = true;
        status_ = status;
        return false;
    }
    return true;
}

bool ChildProcess::WaitForText(const std::string& text, std::chrono::milliseconds limit,
                               bool fromErr) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if ((fromErr ? Err() : Out()).find(text) != std::string::npos) {
            return true;
        }
        if (!Running()) {
            return (fromErr ? Err() : Out()).find(text) != std::string::npos;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string ChildProcess::FirstLine(std::chrono::milliseconds limit) {
    if (!WaitForText("\n", limit)) {
        return {};
    }
    const std::string out = Out();
    return out.substr(0, out.find('\n'));
}

int ChildProcess::Wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            while (Running()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status_)) {
        return WEXITSTATUS(status_);
    }
    return WIFSIGNALED(status_) ? 128 + WTERMSIG(status_) : -1;
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0 && !ended_) {
        ::kill(pid_, signal);
    }
}

std::string ChildProcess::Out() const {
    if (outPipe_ < 0 && piped_.empty()) {
        return ReadFile(dir_.File("out"));
    }
    char buf[4096];
    ssize_t n = 0;
    while (outPipe_ >= 0 &&
           ((n = ::read(outPipe_, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))) {
        if (n > 0) {
            piped_.append(buf, static_cast<std::size_t>(n));
        }
    }
    return piped_;
}
std::string ChildProcess::Err() const {
    return ReadFile(dir_.File("err"));
}

} // namespace comsetup::test
