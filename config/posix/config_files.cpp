// POSIX configuration files: read with a size limit, device numbers as identity, written
// beside and renamed over.
#include "config/config_files.h"

#include "config/config_json.h"
#include "config/setup_options.h"
#include "core/posix/file_kind.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace comsetup::config {

// The whole file as text, refused before parsing when it is not a plain readable file or is
// larger than any configuration could be.
std::string ReadConfigurationText(const std::string& path) {
    // Opened without waiting, so that a named pipe nobody writes to reads as empty instead of
    // hanging; reads then wait as usual (a pipe being written to is read to its end).
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    if (fd < 0) {
        throw ValueError(path + ": cannot be read (" + std::strerror(errno) + ")");
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (known && S_ISDIR(info.st_mode)) {
        throw ValueError(path + ": is a directory, not a configuration file");
    }
    std::string text = ReadWithinLimit(path, [&](char* buffer, std::size_t size) {
        for (;;) {
            const ssize_t got = ::read(fd, buffer, size);
            if (got >= 0) {
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                throw ValueError(path + ": cannot be read (" + std::strerror(errno) + ")");
            }
        }
    });
    // Said as what it is: an empty file and a pipe nobody wrote to are different mistakes.
    if (text.empty() && known && S_ISFIFO(info.st_mode)) {
        throw ValueError(path + ": is a named pipe that nothing was written to");
    }
    return text;
}

// What tells two devices apart: the device numbers of a device node, so that links, other
// names and copies of one node compare equal; the file's identity for other files; the path
// with links resolved as far as they lead for names that do not exist (yet).
std::string DeviceIdentity(const std::string& device) {
    struct stat info {};
    if (::stat(device.c_str(), &info) == 0) {
        if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
            return "device " + std::to_string(static_cast<unsigned long long>(info.st_rdev));
        }
        return "file " + std::to_string(static_cast<unsigned long long>(info.st_dev)) + ":" +
               std::to_string(static_cast<unsigned long long>(info.st_ino));
    }
    std::error_code ignored;
    const auto resolved = std::filesystem::weakly_canonical(device, ignored);
    return "path " + (ignored ? device : resolved.string());
}

// Writes text to a new file beside path and renames it over path once it is complete on
// disk, so that a full disk or a quota leaves the old file as it was. A symbolic link is
// followed: the file it names is replaced, the link stays.
namespace {

// The file a save replaces: path with its symbolic links followed. A link that leads through
// /proc or /dev/fd names a file the program holds open (/dev/stdout, /dev/stderr): replacing
// it would cut that stream off, so it is refused.
std::string SaveTarget(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        if (target.starts_with("/proc/") || target.starts_with("/dev/fd/")) {
            throw ValueError(path + ": names a stream this program has open (" + target +
                             "), not a file; a setup is saved to a regular file");
        }
        std::error_code error;
        if (!std::filesystem::is_symlink(target, error)) {
            return target;
        }
        const auto next = std::filesystem::read_symlink(target, error);
        if (error) {
            return target;
        }
        target = (next.is_absolute() ? next : std::filesystem::path(target).parent_path() / next)
                     .lexically_normal()
                     .string();
    }
    throw ValueError(path + ": a loop of symbolic links; nothing was written");
}

} // namespace

void WriteFileAtomically(const std::string& path, const std::string& text) {
    // Only a regular file, or a name not taken yet, is replaced: a device, a pipe or a folder
    // would be swapped for a plain file, and a protected file is the user's to unprotect.
    const std::string target = SaveTarget(path);
    mode_t mode = 0;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            throw ValueError(path + ": is " + NonRegularKind(existing.st_mode) +
                             ", not a regular file; it was left as it was");
        }
        if ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
            throw ValueError(path + ": read-only: the file is protected against writing; remove "
                                    "the protection to overwrite it");
        }
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        throw ValueError(path + ": cannot be written (" + std::strerror(errno) + ")");
    }
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw ValueError(path + ": cannot be written (" + std::strerror(error) +
                         "); the file there was left as it was");
    };
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t done = ::write(fd, text.data() + written, text.size() - written);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            fail(done < 0 ? errno : ENOSPC);
        }
        written += static_cast<std::size_t>(done);
    }
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
        fail(errno);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw ValueError(path + ": cannot be written (" + std::string(std::strerror(error)) +
                         "); the file there was left as it was");
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw ValueError(path + ": cannot be written (" + std::string(std::strerror(error)) +
                         "); the file there was left as it was");
    }
    // The rename itself reaches the disk with the folder's entry.
    const std::string folder = std::filesystem::path(target).parent_path().string();
    const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace comsetup::config
