// How a download, or the program that ran it, ended: the one name every front end gives it
// (comsetup-cli's JSON and tables, the journal's outcome column, the journal filter of both
// front ends) and the exit status comsetup-cli ends with for it.
#pragma once

#include <string_view>

namespace comsetup {

struct OutcomeEntry {
    std::string_view name;
    int exitCode;
    bool recorded; // can be a journal row's outcome (bad arguments start no download)
};

inline constexpr OutcomeEntry kOutcomes[] = {
    {"complete", 0, true},         {"error-on-setup", 1, true}, {"bad-arguments", 2, false},
    {"port-error", 3, true},       {"no-answer", 4, true},      {"cancelled", 5, true},
    {"firmware-unknown", 6, true}, {"log-incomplete", 7, true}, {"terminated", 8, true},
    {"interrupted", 130, true},    {"internal-error", 9, true}, {"not-on-lan", 10, true},
};

// The name of an exit status; "internal-error" for one the table does not hold.
constexpr std::string_view OutcomeOfExitCode(int code) {
    for (const OutcomeEntry& entry : kOutcomes) {
        if (entry.exitCode == code) {
            return entry.name;
        }
    }
    return "internal-error";
}

} // namespace comsetup
