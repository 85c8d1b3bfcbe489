// Opening a record file on POSIX: without waiting, then checked by what was opened.
#include "download/output_file.h"

#include "core/posix/file_kind.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace comsetup {

AppendFile OpenForAppending(const std::string& path, bool terminalAllowed) {
    AppendFile result;
    // A protected file is the user's to unprotect, as for a saved setup: root could write it.
    const char* const kProtected =
        "read-only: the file is protected against writing; remove the protection to add to it";
    if (struct stat before{}; ::stat(path.c_str(), &before) == 0 && S_ISREG(before.st_mode) &&
                              (before.st_mode & 0222) == 0) {
        result.error = kProtected;
        return result;
    }
    // O_NONBLOCK: a named pipe with no reader fails at once (ENXIO) instead of waiting.
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                    0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        struct stat named {};
        // open() says ENXIO for a socket as for a pipe nobody reads: the file tells them apart.
        const bool socket =
            error == ENXIO && ::stat(path.c_str(), &named) == 0 && S_ISSOCK(named.st_mode);
        result.error = socket            ? "is a socket, not a regular file"
                       : error == ENXIO  ? "is a named pipe that nobody reads, not a regular file"
                       : error == EISDIR ? "is a folder, not a regular file"
                       : error == EROFS  ? "is on a read-only file system"
                                         : std::strerror(error);
        return result;
    }
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (!known || !(S_ISREG(info.st_mode) || (terminalAllowed && ::isatty(fd) == 1))) {
        result.error =
            known ? std::string("is ") + NonRegularKind(info.st_mode) + ", not a regular file"
                  : std::string("cannot be examined");
        ::close(fd);
        return result;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    result.file = ::fdopen(fd, "a");
    if (result.file == nullptr) {
        result.error = std::strerror(errno);
        ::close(fd);
    }
    return result;
}

} // namespace comsetup
