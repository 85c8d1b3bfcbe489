// The refusal a configuration file meets, as text: "" when the file was taken.
#pragma once

#include "config/config_json.h"

#include <string>

namespace comsetup::test {

inline std::string LoadError(const std::string& path) {
    config::SetupProfile setup;
    try {
        config::LoadSetupFile(path, setup);
    } catch (const config::ValueError& error) {
        return error.what();
    }
    return {};
}

inline std::string SaveError(const std::string& path) {
    try {
        config::SaveSetupFile(path, config::SetupProfile{});
    } catch (const config::ValueError& error) {
        return error.what();
    }
    return {};
}

} // namespace comsetup::test
