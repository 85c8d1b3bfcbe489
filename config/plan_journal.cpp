// Rows done and addresses used before, from the journal.
#include "config/plan_journal.h"

#include <algorithm>

namespace comsetup::config {

std::vector<RowState> PlanRowStates(const Journal& journal, const Plan& plan) {
    std::vector<RowState> states(plan.rows.size(), RowState::NotTried);
    std::vector<bool> seen(plan.rows.size(), false);
    JournalFilter filter;
    filter.plan = plan.id;
    filter.limit = 0;
    // Newest first: the first download met for a row is its latest attempt.
    for (const JournalRow& download : journal.List(filter)) {
        const int row = download.start.planRow;
        if (row < 1 || row > static_cast<int>(plan.rows.size()) || seen[row - 1]) {
            continue;
        }
        seen[row - 1] = true;
        const bool complete = !download.endedUtc.empty() && download.end.outcome == "complete";
        states[row - 1] = complete ? RowState::Done : RowState::Failed;
    }
    return states;
}

std::size_t FirstRowNotDone(const std::vector<RowState>& states) {
    return static_cast<std::size_t>(
        std::find_if(states.begin(), states.end(),
                     [](RowState state) { return state != RowState::Done; }) -
        states.begin());
}

std::vector<AddressUsed> AddressesUsedBefore(const Journal& journal, const Plan& plan,
                                             const std::vector<std::size_t>& rows) {
    std::vector<AddressUsed> used;
    for (const std::size_t i : rows) {
        JournalFilter filter;
        filter.ip = FormatIpv4(plan.rows.at(i).setup.ip);
        filter.outcome = "complete";
        filter.limit = 1;
        const auto downloads = journal.List(filter);
        if (downloads.empty()) {
            continue;
        }
        // "2026-12-07T10:14:03Z" -> "2026-12-07 10:14"
        std::string when = downloads[0].endedUtc.substr(0, 16);
        std::replace(when.begin(), when.end(), 'T', ' ');
        used.push_back({plan.rows[i].number, filter.ip, when,
                        filter.ip + " was written to a converter on " + when + "; use it again?"});
    }
    return used;
}

} // namespace comsetup::config
