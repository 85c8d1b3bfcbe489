// Scratch folders and whole-file reads for tests.
#include "tests/support/files.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace comsetup::test {

namespace {

// A name no other test process picks: the clock's ticks and a count within this process.
std::string UniqueName() {
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return "comsetup-test-" + std::to_string(ticks) + "-" + std::to_string(++counter);
}

} // namespace

TempFolder::TempFolder() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / UniqueName();
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate.generic_string();
            return;
        }
    }
    throw std::runtime_error("no scratch folder could be made in " + base.string());
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::Write(const std::string& name, const std::string& content) const {
    const std::string path = File(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace comsetup::test
