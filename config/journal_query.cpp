// The journal listing's outcomes and filter texts.
#include "config/journal_query.h"

#include "config/journal_files.h"
#include "config/setup_options.h"
#include "core/outcomes.h"
#include "core/plain_text.h"

#include <algorithm>
#include <cctype>
#include <ctime>

namespace comsetup::config {

const std::vector<std::string>& JournalOutcomes() {
    static const std::vector<std::string> outcomes = [] {
        std::vector<std::string> names;
        for (const OutcomeEntry& entry : kOutcomes) {
            if (entry.recorded) {
                names.emplace_back(entry.name);
            }
        }
        names.emplace_back("unfinished"); // a row whose download has not ended (yet)
        return names;
    }();
    return outcomes;
}

std::string ParseOutcome(const std::string& text) {
    const std::string wanted = Lower(Trim(text));
    const auto& outcomes = JournalOutcomes();
    if (std::find(outcomes.begin(), outcomes.end(), wanted) == outcomes.end()) {
        throw ValueError(QuoteForMessage(text) +
                         " is not an outcome; accepted values: " + JoinAccepted(outcomes));
    }
    return wanted;
}

namespace {

// The digits of text[at, at + count) as a number, or -1.
int Digits(const std::string& text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) {
        return -1;
    }
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            return -1;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::string SinceUtc(const std::string& given) {
    const std::string text = Trim(given);
    const auto refuse = [&]() -> std::string {
        throw ValueError(QuoteForMessage(given) +
                         " is not accepted; accepted values: a date or a date and time in local "
                         "time, such as 2026-12-07 or 2026-12-07T10:00");
    };
    // YYYY-MM-DD, then optionally T or a blank and HH:MM, then optionally :SS.
    if (text.size() != 10 && text.size() != 16 && text.size() != 19) {
        return refuse();
    }
    std::tm local{};
    const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    if (year < 1970 || text[4] != '-' || text[7] != '-' || month < 1 || month > 12 || day < 1) {
        return refuse();
    }
    int hour = 0, minute = 0, second = 0;
    if (text.size() > 10) {
        hour = Digits(text, 11, 2);
        minute = Digits(text, 14, 2);
        if ((text[10] != 'T' && text[10] != ' ') || text[13] != ':' || hour < 0 || hour > 23 ||
            minute < 0 || minute > 59) {
            return refuse();
        }
    }
    if (text.size() > 16) {
        second = Digits(text, 17, 2);
        if (text[16] != ':' || second < 0 || second > 59) {
            return refuse();
        }
    }
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::tm asked = local;
    const std::time_t moment = std::mktime(&local);
    // mktime carries 2026-02-30 into March: a day the month does not have is refused.
    if (moment == static_cast<std::time_t>(-1) || local.tm_mday != asked.tm_mday ||
        local.tm_mon != asked.tm_mon) {
        return refuse();
    }
    const std::tm utc = UtcTime(moment);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buffer;
}

} // namespace comsetup::config
