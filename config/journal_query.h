// What a journal listing may ask for, the same in the command line and the journal window:
// the outcomes a row can hold (one table for the listing's filter, its help, the JSON
// results and the window's list), and the texts of the filters, checked before any file is
// opened. No SQLite: the command line checks its arguments in every build.
#pragma once

#include <string>
#include <vector>

namespace comsetup::config {

// Every outcome a row holds, as the command line's JSON "outcome" names it, then
// "unfinished" (a row whose download never ended).
const std::vector<std::string>& JournalOutcomes();

// A --since text: an ISO date or date-time in local time (2026-12-07, 2026-12-07T10:00,
// 2026-12-07 10:00:30), as the journal compares it: the same moment in UTC,
// "2026-12-07T09:00:00Z". Throws ValueError for any other text or an impossible date.
std::string SinceUtc(const std::string& text);

// An outcome filter checked against JournalOutcomes(). Throws ValueError.
std::string ParseOutcome(const std::string& text);

} // namespace comsetup::config
