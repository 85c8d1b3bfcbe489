// A plan against the journal: which of its rows are done, and which of its addresses were
// written to a converter before. The command line's sequence and the wizard's plan window
// both ask here.
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

} // namespace comsetup::config
