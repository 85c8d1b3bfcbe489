// The small text forms every reader of values shares: case folded, blanks around cut.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace comsetup {

inline std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// a and b alike but for the case of the ASCII letters A..Z (no locale: a port name or a
// keyword is ASCII, and the program's locale must not change what matches).
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return fold(x) == fold(y); });
}

// text without the blanks around it (spaces and tabs unless told).
inline std::string Trim(const std::string& text, const char* blanks = " \t") {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace comsetup
