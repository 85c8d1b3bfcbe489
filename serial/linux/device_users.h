// Which other programs have a terminal open: one that opened it without locking it shares
// what the converter sends with us, whichever reads first.
#pragma once

#include <string>
#include <vector>

namespace comsetup::posix {

// The programs other than this one with the device behind fd open, as "minicom (pid 4242)",
// as far as /proc shows them (processes of other users are not visible; none without /proc).
std::vector<std::string> ProgramsWithDeviceOpen(int fd);

} // namespace comsetup::posix
