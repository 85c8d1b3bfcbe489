// What both platforms' configuration files share: the size-limited read.
#include "config/config_files.h"

#include "config/config_json.h"
#include "config/setup_options.h"

namespace comsetup::config {

std::string ReadWithinLimit(const std::string& path,
                            const std::function<std::size_t(char*, std::size_t)>& readSome) {
    std::string text;
    char buffer[65536];
    for (;;) {
        const std::size_t got = readSome(buffer, sizeof buffer);
        if (got == 0) {
            return text;
        }
        if (text.size() + got > kMaxConfigFileBytes) {
            throw ValueError(path + ": larger than " + std::to_string(kMaxConfigFileBytes) +
                             " bytes; a configuration file is far smaller, is this the right "
                             "file?");
        }
        text.append(buffer, got);
    }
}

} // namespace comsetup::config
