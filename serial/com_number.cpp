// The number in a "COMn" port name, the same on every platform.
#include "serial/port_names.h"

#include <cctype>

namespace comsetup {

// "COM<n>" in any case with n >= 1 gives n, anything else 0.
int ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6)
        return 0;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return 0;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

} // namespace comsetup
