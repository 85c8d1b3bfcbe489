// Other holders of a terminal, found by comparing device numbers under /proc/<pid>/fd.
#include "serial/linux/device_users.h"

#include <cctype>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace comsetup::posix {

namespace {

bool AllDigits(const char* name) {
    if (*name == '\0')
        return false;
    for (; *name != '\0'; ++name) {
        if (!std::isdigit(static_cast<unsigned char>(*name)))
            return false;
    }
    return true;
}

// True when one of the process's descriptors is the character device `device`.
bool HoldsDevice(const std::string& fdFolder, dev_t device) {
    DIR* fds = ::opendir(fdFolder.c_str()); // another user's process: not readable, skipped
    if (fds == nullptr)
        return false;
    bool holds = false;
    while (const dirent* entry = ::readdir(fds)) {
        if (entry->d_name[0] == '.')
            continue;
        struct stat info {};
        const std::string link = fdFolder + "/" + entry->d_name;
        if (::stat(link.c_str(), &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == device) {
            holds = true;
            break;
        }
    }
    ::closedir(fds);
    return holds;
}

std::string ProgramName(const std::string& pid) {
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "a program" : name;
}

} // namespace

std::vector<std::string> ProgramsWithDeviceOpen(int fd) {
    struct stat own {};
    if (::fstat(fd, &own) != 0 || !S_ISCHR(own.st_mode))
        return {};
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return {};
    const std::string self = std::to_string(::getpid());
    std::vector<std::string> found;
    while (const dirent* entry = ::readdir(proc)) {
        const std::string pid = entry->d_name;
        if (!AllDigits(entry->d_name) || pid == self)
            continue;
        if (HoldsDevice("/proc/" + pid + "/fd", own.st_rdev))
            found.push_back(ProgramName(pid) + " (pid " + pid + ")");
    }
    ::closedir(proc);
    return found;
}

} // namespace comsetup::posix
