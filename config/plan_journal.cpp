// Rows done and addresses used before, from the journal.
#include "config/plan_journal.h"

#include <algorithm>

namespace comsetup::config {

namespace {

// The values a download of the row writes; the PC's port is the run's, not the row's.
bool SameValues(const SetupProfile& recorded, const SetupProfile& row) {
    SetupProfile values = recorded;
    values.port = row.port;
    return values == row;
}

} // namespace

std::vector<RowState> PlanRowStates(const Journal& journal, const Plan& plan) {
    std::vector<RowState> states(plan.rows.size(), RowState::NotTried);
    JournalFilter filter;
    filter.plan = plan.id;
    filter.limit = 0;
    const std::vector<JournalRow> downloads = journal.List(filter); // newest first
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        // The row's latest attempt: the newest download that wrote its values.
        const auto latest =
            std::find_if(downloads.begin(), downloads.end(), [&](const JournalRow& download) {
                return SameValues(download.start.setup, plan.rows[i].setup);
            });
        if (latest == downloads.end()) {
            continue;
        }
        const bool complete = !latest->endedUtc.empty() && latest->end.outcome == "complete";
        states[i] = complete ? RowState::Done : RowState::Failed;
    }
    return states;
}

std::size_t FirstRowNotDone(const std::vector<RowState>& states) {
    return static_cast<std::size_t>(
        std::find_if(states.begin(), states.end(),
                     [](RowState state) { return state != RowState::Done; }) -
        states.begin());
}

std::vector<std::size_t> RowsToRun(const std::vector<RowState>& states, bool all) {
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < states.size(); ++i) {
        if (all || states[i] != RowState::Done) {
            rows.push_back(i);
        }
    }
    return rows;
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

std::string ReuseQuestion(const std::vector<AddressUsed>& used) {
    if (used.size() == 1) {
        return used[0].question;
    }
    std::string text = "These addresses were written to converters before:";
    for (const AddressUsed& address : used) {
        text +=
            "\n" + address.ip + " (row " + std::to_string(address.row) + ") on " + address.whenUtc;
    }
    return text + "\nUse them again? No skips those rows.";
}

std::vector<std::size_t> RowsNotUsedBefore(const Plan& plan, const std::vector<std::size_t>& rows,
                                           const std::vector<AddressUsed>& used) {
    std::vector<std::size_t> left;
    for (const std::size_t i : rows) {
        const bool usedBefore = std::any_of(used.begin(), used.end(), [&](const AddressUsed& a) {
            return a.row == plan.rows.at(i).number;
        });
        if (!usedBefore) {
            left.push_back(i);
        }
    }
    return left;
}

} // namespace comsetup::config
