// What a file that is no regular file is, for the messages that refuse it.
#pragma once

#include <sys/stat.h>

namespace comsetup {

// "a folder", "a pipe", "a socket", "a device", or "not a regular file".
inline const char* NonRegularKind(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "not a regular file";
}

} // namespace comsetup
