// Child-process handling for comsetup-sim.
#include "sim_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace comsetup::testing {

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& args) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<std::string> argvStrings{program};
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvStrings) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
    if (rc != 0) {
        close(out_);
        throw std::runtime_error("cannot start " + program);
    }
    // The first line is the device path.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (output_.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        Drain(100);
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
    }
    const auto eol = output_.find('\n');
    if (eol == std::string::npos) {
        Stop();
        throw std::runtime_error(program + " printed no device path");
    }
    ptyPath_ = output_.substr(0, eol);
    output_.erase(0, eol + 1);
}

SimProcess::~SimProcess() {
    Stop();
    if (out_ >= 0) {
        close(out_);
    }
}

int SimProcess::Drain(int timeoutMs) {
    pollfd p{out_, POLLIN, 0};
    int r;
    while ((r = poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    if (r <= 0) {
        return 0;
    }
    char buffer[4096];
    ssize_t n;
    while ((n = read(out_, buffer, sizeof buffer)) < 0 && errno == EINTR) {
    }
    if (n > 0) {
        output_.append(buffer, static_cast<std::size_t>(n));
    }
    return n > 0 ? static_cast<int>(n) : 0;
}

bool SimProcess::WaitExit(std::chrono::milliseconds timeout) {
    if (pid_ < 0) {
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Drain(20);
        int status = 0;
        pid_t r;
        while ((r = waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
        }
        if (r == pid_) {
            pid_ = -1;
            while (Drain(0) > 0) {
            }
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
    }
}

void SimProcess::Stop() {
    if (pid_ < 0) {
        return;
    }
    kill(pid_, SIGTERM);
    if (!WaitExit(std::chrono::seconds(5))) {
        kill(pid_, SIGKILL);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
}

std::string SimProcess::Output() {
    Drain(0);
    return output_;
}

std::string TempPath(const std::string& stem) {
    const char* dir = std::getenv("TMPDIR");
    static int counter = 0;
    return std::string(dir != nullptr ? dir : "/tmp") + "/" + stem + "-" +
           std::to_string(getpid()) + "-" + std::to_string(++counter);
}

} // namespace comsetup::testing
