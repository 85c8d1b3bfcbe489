// The journal's place and names on Windows.
#include "config/journal_files.h"

#include <windows.h>

#include <cstdlib>

namespace comsetup::config {

std::string UserJournalPath() {
    if (const char* local = std::getenv("LOCALAPPDATA"); local != nullptr && *local != '\0') {
        return std::string(local) + "\\comsetup\\journal.sqlite";
    }
    return {};
}

// comsetup's names are in the ANSI code page, as the system gives them (a user folder such as
// C:\Users\Jürgen); SQLite takes UTF-8.
std::string SqliteFileName(const std::string& path) {
    const int size = static_cast<int>(path.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, path.data(), size, nullptr, 0);
    if (wide <= 0) {
        return path;
    }
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), size, text.data(), wide);
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

std::tm UtcTime(std::time_t time) {
    std::tm utc{};
    gmtime_s(&utc, &time);
    return utc;
}

} // namespace comsetup::config
