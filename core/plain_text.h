// The small text forms every reader of values shares: case folded, blanks around cut.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

namespace comsetup::config {

inline std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// text without the blanks around it (spaces and tabs unless told).
inline std::string Trim(const std::string& text, const char* blanks = " \t") {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace comsetup::config
