// A full disk (or a quota) for the files this process writes, while the object lives: every
// write that would make a file larger than the limit fails (EFBIG; SIGXFSZ ignored meanwhile).
// POSIX only.
#pragma once

#include <sys/resource.h>

namespace comsetup::test {

class FullDisk {
public:
    explicit FullDisk(rlim_t bytes = 0);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace comsetup::test
