// A plan against the journal: which of its rows are done, and which of its addresses were
// written to a converter before. The command line's sequence and the wizard's plan window
// both ask here, and run the rows by one rule (RowsToRun).
//
// A row is known by its content: it is done when the newest download recorded for the plan
// (by its file name) with exactly the row's values (the PC's port aside) completed. Editing
// one row thus leaves the others done, and a row whose values changed (its own, or its pair's
// or master's address) is to be written again. Rows recorded when a plan was known by its
// file name and a hash of its whole text ("plan.csv:0123abcd...") count by their values too:
// what they record is what was written.
#pragma once

#include "config/journal.h"
#include "config/plan.h"

#include <string>
#include <vector>

namespace comsetup::config {

enum class RowState {
    NotTried, // no download of this row in the journal
    Done,     // its latest download completed
    Failed,   // its latest download did not complete (or never finished)
};

// One state per row of the plan, from the downloads recorded for this plan's id.
std::vector<RowState> PlanRowStates(const Journal& journal, const Plan& plan);

// The index of the first row not done, or rows.size() when every row is done.
std::size_t FirstRowNotDone(const std::vector<RowState>& states);

// The rows a run writes, in the plan's order: every row not done (with all, every row).
std::vector<std::size_t> RowsToRun(const std::vector<RowState>& states, bool all = false);

// An address written to a converter before, as the user is asked about it.
struct AddressUsed {
    int row = 0;          // the plan's row that would write it again
    std::string ip;       // "192.168.1.203"
    std::string whenUtc;  // "2026-12-07 10:14", when the download that wrote it ended
    std::string question; // "192.168.1.203 was written to a converter on ...; use it again?"
};

// The rows of the plan (those in rows, indexes into plan.rows) whose address a completed
// download has written already, newest such download first for each.
std::vector<AddressUsed> AddressesUsedBefore(const Journal& journal, const Plan& plan,
                                             const std::vector<std::size_t>& rows);

// The one question asked for a plan about all its addresses used before: the address's own
// question when there is one, else a list ("These addresses were written to converters
// before: 10.0.0.2 (row 2) on ...; use them again? No skips those rows.").
std::string ReuseQuestion(const std::vector<AddressUsed>& used);

// rows without those whose address is in used: what runs after a "no".
std::vector<std::size_t> RowsNotUsedBefore(const Plan& plan, const std::vector<std::size_t>& rows,
                                           const std::vector<AddressUsed>& used);

} // namespace comsetup::config
