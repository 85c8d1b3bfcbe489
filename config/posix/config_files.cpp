// POSIX configuration files: read with a size limit, device numbers as identity, written
// beside and renamed over.
#include "config/config_files.h"

#include "config/config_json.h"
#include "config/setup_options.h"
#include "core/posix/file_kind.h"
#include "core/printable_text.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif

namespace comsetup::config {

// The whole file as text, refused before parsing when it is not a plain readable file or is
// larger than any configuration could be.
std::string ReadConfigurationText(const std::string& path) {
    const std::string shown = PrintableDeviceName(path);
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
        const int error = errno;
        struct stat named {};
        // open() says ENXIO for a socket: the file says what it is.
        if (error == ENXIO && ::stat(path.c_str(), &named) == 0 && S_ISSOCK(named.st_mode)) {
            throw ValueError(shown + ": is a socket, not a file");
        }
        throw ValueError(shown + ": cannot be read (" + std::strerror(error) + ")");
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (known && S_ISDIR(info.st_mode)) {
        throw ValueError(shown + ": is a directory, not a configuration file");
    }
    std::string text = ReadWithinLimit(shown, [&](char* buffer, std::size_t size) {
        for (;;) {
            const ssize_t got = ::read(fd, buffer, size);
            if (got >= 0) {
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                throw ValueError(shown + ": cannot be read (" + std::strerror(errno) + ")");
            }
        }
    });
    // Said as what it is: an empty file and a pipe nobody wrote to are different mistakes.
    if (text.empty() && known && S_ISFIFO(info.st_mode)) {
        throw ValueError(shown + ": is a named pipe that nothing was written to");
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

// True when name lies in the system's view of running programs (/proc, where /dev/fd and
// /dev/stdout lead), asked of the file system itself, so that no spelling of the path
// (//proc, /dev//fd, ../../proc, a link to /proc/self/fd) gets past.
bool InProcessView(const std::string& name) {
#ifdef __linux__
    struct statfs info {};
    return ::statfs(name.empty() ? "." : name.c_str(), &info) == 0 &&
           info.f_type == PROC_SUPER_MAGIC;
#else
    const std::string normal = std::filesystem::path(name).lexically_normal().string();
    return normal.starts_with("/proc/") || normal.starts_with("/dev/fd/");
#endif
}

// The file a save replaces: path with its symbolic links followed. A name whose folder lies
// in /proc names a file the program holds open (/dev/stdout, /dev/stderr) or the system's
// own records: replacing it would cut that stream off, so it is refused.
std::string SaveTarget(const std::string& path, const std::string& shown) {
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        if (InProcessView(std::filesystem::path(target).parent_path().string())) {
            throw ValueError(shown +
                             ": names a stream this program has open or another entry "
                             "of /proc (" +
                             PrintableDeviceName(target) + "), not a file; nothing was written");
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
    throw ValueError(shown + ": a loop of symbolic links; nothing was written");
}

// The temporary name beside target: target's name and a unique suffix, the name cut so that
// the whole stays within the longest name a folder takes (a 250-letter name is saved too).
std::string TemporaryName(const std::string& target) {
    constexpr std::size_t kSuffix = 7; // ".XXXXXX"
    const std::filesystem::path place(target);
    std::string name = place.filename().string();
    if (name.size() + kSuffix > NAME_MAX) {
        name.resize(NAME_MAX - kSuffix);
    }
    return (place.parent_path() / (name + ".XXXXXX")).string();
}

} // namespace

void WriteFileAtomically(const std::string& path, const std::string& text) {
    const std::string shown = PrintableDeviceName(path);
    // Only a regular file, or a name not taken yet, is replaced: a device, a pipe or a folder
    // would be swapped for a plain file, and a protected file is the user's to unprotect.
    const std::string target = SaveTarget(path, shown);
    const std::string readOnlySystem = ": is on a read-only file system; nothing was written";
    mode_t mode = 0;
    struct stat existing {};
    const bool existed = ::stat(target.c_str(), &existing) == 0;
    if (existed) {
        if (!S_ISREG(existing.st_mode)) {
            throw ValueError(shown + ": is " + NonRegularKind(existing.st_mode) +
                             ", not a regular file; it was left as it was");
        }
        const bool writable = (existing.st_mode & 0222) != 0;
        if (writable && ::access(target.c_str(), W_OK) != 0 && errno == EROFS) {
            throw ValueError(shown + readOnlySystem);
        }
        if (!writable || ::access(target.c_str(), W_OK) != 0) {
            throw ValueError(shown + ": read-only: the file is protected against writing; remove "
                                     "the protection to overwrite it");
        }
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    // Only a file that was there can be said to be left as it was.
    const std::string kept =
        existed ? "; the file there was left as it was" : "; nothing was written";
    std::string temporary = TemporaryName(target);
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        const int error = errno;
        if (error == EROFS) {
            throw ValueError(shown + readOnlySystem);
        }
        const std::string folder = std::filesystem::path(target).parent_path().string();
        std::error_code ignored;
        if (error == ENOENT && !folder.empty() && !std::filesystem::exists(folder, ignored)) {
            throw ValueError(shown + ": the folder " + PrintableDeviceName(folder) +
                             " does not exist; nothing was written");
        }
        throw ValueError(shown + ": cannot be written (" + std::strerror(error) + ")" + kept);
    }
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw ValueError(shown + ": cannot be written (" + std::strerror(error) + ")" + kept);
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
        throw ValueError(shown + ": cannot be written (" + std::strerror(error) + ")" + kept);
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw ValueError(shown + ": cannot be written (" + std::strerror(error) + ")" + kept);
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
