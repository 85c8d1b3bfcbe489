// Reading and checking a plan of converters.
#include "config/plan.h"

#include "config/config_files.h"
#include "core/plain_text.h"
#include "core/printable_text.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <utility>

namespace comsetup::config {

namespace {

bool ParseYesNo(const std::string& text) {
    const std::string value = Lower(Trim(text));
    if (value == "true" || value == "yes" || value == "1") {
        return true;
    }
    if (value == "false" || value == "no" || value == "0") {
        return false;
    }
    throw ValueError(QuoteForMessage(text) + " is not accepted; accepted values: true, false");
}

bool NeedsPeer(const SetupProfile& setup) {
    return setup.mode == Mode::PointToPoint ||
           (setup.mode == Mode::PointToMultipoint && !setup.master);
}

// The problems found so far, each with the file's name and the row's line in front.
class Problems {
public:
    explicit Problems(std::string name) : name_(std::move(name)) {}
    void Add(int line, const std::string& text) {
        list_.emplace_back(line, name_ + " line " + std::to_string(line) + ", " + text);
    }
    void AddForFile(const std::string& text) { list_.emplace_back(0, name_ + ": " + text); }
    // True when a problem of the line's key is listed already.
    bool Has(int line, const std::string& key) const {
        const std::string start = name_ + " line " + std::to_string(line) + ", " + key + ": ";
        return std::any_of(list_.begin(), list_.end(),
                           [&](const auto& problem) { return problem.second.starts_with(start); });
    }
    // In the order of the file, each line's problems in the order they were found.
    void ThrowIfAny() {
        if (list_.empty()) {
            return;
        }
        std::stable_sort(list_.begin(), list_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::string text;
        for (const auto& problem : list_) {
            text += (text.empty() ? "" : "\n") + problem.second;
        }
        throw ValueError(text);
    }

private:
    std::string name_;
    std::vector<std::pair<int, std::string>> list_;
};

// The keys of a plan's header: those of a setup file but the port, which is the sequence's.
std::vector<std::string> AcceptedKeys() {
    std::vector<std::string> keys{"master", "group"};
    for (const auto& field : SetupFields()) {
        if (std::string(field.key) != "port") {
            keys.emplace_back(field.key);
        }
    }
    return keys;
}

// A row as it is read from the file, with what only the reading needs.
struct RowRead {
    PlanRow row;
    std::string group; // its group cell
    bool readable = true;
};

// A row whose peer is another row of the plan sends to that row's address and, unless it
// names its own, to the port that row listens on.
void TakePeer(PlanRow& row, const PlanRow& peer) {
    row.setup.peer = peer.setup.ip;
    if (!row.remotePortGiven) {
        row.setup.remotePort = peer.setup.localPort;
    }
}

// Pairs within each run of consecutive "pair" rows: 1st with 2nd, 3rd with 4th.
void ResolvePairs(std::vector<RowRead>& rows, Problems& problems) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].row.peerCell != "pair") {
            continue;
        }
        if (i + 1 < rows.size() && rows[i + 1].row.peerCell == "pair") {
            TakePeer(rows[i].row, rows[i + 1].row);
            TakePeer(rows[i + 1].row, rows[i].row);
            ++i;
            continue;
        }
        problems.Add(rows[i].row.line,
                     "peer: pair has no partner (pair rows go two by two: within consecutive "
                     "pair rows the 1st with the 2nd, the 3rd with the 4th, ...)");
    }
}

// A slave's "master" becomes the address of its group's one master row.
void ResolveMasters(std::vector<RowRead>& rows, bool hasGroupColumn, Problems& problems) {
    std::vector<std::string> groupOf(rows.size());
    int run = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].row.setup.mode != Mode::PointToMultipoint) {
            continue;
        }
        const bool named = hasGroupColumn && !rows[i].group.empty();
        const bool continuesRun = i > 0 && rows[i - 1].row.setup.mode == Mode::PointToMultipoint &&
                                  !(hasGroupColumn && !rows[i - 1].group.empty());
        if (!named && !continuesRun) {
            ++run;
        }
        groupOf[i] = named ? "named " + rows[i].group : "run " + std::to_string(run);
    }
    std::map<std::string, std::size_t> masterOf; // group -> its first master row
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (groupOf[i].empty() || !rows[i].row.setup.master) {
            continue;
        }
        const auto [at, first] = masterOf.emplace(groupOf[i], i);
        if (!first) {
            problems.Add(rows[i].row.line, "master: a second master row in one group (the first is "
                                           "on line " +
                                               std::to_string(rows[at->second].row.line) +
                                               "); start another group with the group column");
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].row.peerCell != "master") {
            continue;
        }
        if (rows[i].row.setup.mode != Mode::PointToMultipoint || rows[i].row.setup.master) {
            problems.Add(rows[i].row.line,
                         "peer: master is for the slave rows of point-to-multipoint, not for " +
                             std::string(rows[i].row.setup.master
                                             ? "a master row"
                                             : "a " + ModeName(rows[i].row.setup.mode) + " row"));
            continue;
        }
        const auto master = masterOf.find(groupOf[i]);
        if (master == masterOf.end()) {
            problems.Add(rows[i].row.line, "peer: master, but the row's group has no master row "
                                           "(master = true)");
            continue;
        }
        TakePeer(rows[i].row, rows[master->second].row);
    }
}

// The checks of each row and across rows; rows that could not be read are left out, so that
// their base values raise no second problem.
void CheckRows(const std::vector<RowRead>& rows, Problems& problems) {
    std::map<Ipv4, int> lineOfAddress;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].readable) {
            continue;
        }
        const PlanRow& row = rows[i].row;
        const SetupProfile& s = row.setup;
        const bool peerMissing = NeedsPeer(s) && row.peerCell.empty();
        // A row without its peer (none given, a pair or master not found) is told so; the
        // base setup's peer it still holds says nothing about the row.
        if (const std::string problem = CheckConsistency(s);
            !problem.empty() &&
            !(problem.starts_with("peer: ") && (peerMissing || problems.Has(row.line, "peer")))) {
            problems.Add(row.line, problem);
        }
        if (peerMissing) {
            problems.Add(row.line, "peer: " + ModeName(s.mode) +
                                       " needs a peer here: an address, pair or master");
        }
        if (row.peerCell == "pair" && s.mode != Mode::PointToPoint) {
            problems.Add(row.line,
                         "peer: pair is for point-to-point rows, not " + ModeName(s.mode));
        }
        if (const auto [at, first] = lineOfAddress.emplace(s.ip, row.line); !first) {
            problems.Add(row.line, "ip: " + FormatIpv4(s.ip) + " is already the address on line " +
                                       std::to_string(at->second));
        }
    }
}

} // namespace

std::vector<CsvRecord> ReadCsv(const std::string& text, const std::string& name) {
    std::vector<CsvRecord> records;
    CsvRecord record;
    std::string field;
    bool quoted = false;    // inside a quoted field
    bool wasQuoted = false; // the current field was quoted (only a separator may follow)
    bool anything = false;  // the record has a character or a separator
    int line = 1;
    std::size_t i = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    record.line = line;
    const auto endRecord = [&] {
        record.fields.push_back(field);
        if (anything || !field.empty()) {
            records.push_back(record);
        }
        record = CsvRecord{};
        record.line = line;
        field.clear();
        wasQuoted = anything = false;
    };
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
                wasQuoted = true;
            } else {
                line += c == '\n' ? 1 : 0;
                field += c;
            }
            continue;
        }
        if (c == ',') {
            record.fields.push_back(field);
            field.clear();
            wasQuoted = false;
            anything = true;
        } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            i += c == '\r' ? 1 : 0;
            ++line;
            endRecord();
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = true;
            anything = true;
        } else if (wasQuoted) {
            throw ValueError(name + " line " + std::to_string(line) +
                             ": text after a quoted field's closing quote");
        } else if (c == '"') {
            throw ValueError(name + " line " + std::to_string(line) +
                             ": a quote inside an unquoted field; quote the field and write "
                             "the quote twice");
        } else {
            field += c;
        }
    }
    if (quoted) {
        throw ValueError(name + " line " + std::to_string(record.line) +
                         ": a quoted field is not closed before the end of the file");
    }
    if (anything || !field.empty()) {
        endRecord();
    }
    return records;
}

std::string PlanId(const std::string& name) {
    return std::filesystem::path(name).filename().string();
}

namespace {

// The header's keys, lower case, in their columns' order.
std::vector<std::string> ReadHeader(const CsvRecord& header, Problems& problems) {
    const std::vector<std::string> accepted = AcceptedKeys();
    std::vector<std::string> columns;
    for (const std::string& cell : header.fields) {
        const std::string key = Lower(Trim(cell));
        if (key.empty()) {
            // A spreadsheet saves columns it once touched with no name; they must stay empty.
        } else if (key == "port") {
            // A row's own port would write a converter other than the one the sequence names.
            problems.Add(header.line, "header: port is not a plan key; every converter of a plan "
                                      "is set up on the one port the sequence is given");
        } else if (std::find(accepted.begin(), accepted.end(), key) == accepted.end()) {
            // A spreadsheet set to a language with a decimal comma saves CSV with semicolons.
            const std::string hint =
                cell.find(';') != std::string::npos
                    ? " (the separator of a plan is a comma, not a semicolon: save the plan as "
                      "CSV with commas)"
                    : "";
            problems.Add(header.line, "header: unknown key " + QuoteForMessage(cell) + hint +
                                          "; accepted keys: " + JoinAccepted(accepted));
        } else if (std::find(columns.begin(), columns.end(), key) != columns.end()) {
            problems.Add(header.line, "header: the key " + key + " is given twice");
        }
        columns.push_back(key);
    }
    return columns;
}

// One cell of a row: the base setup's value stays where the cell is empty.
void ReadCell(RowRead& read, const std::string& key, const std::string& value) {
    PlanRow& row = read.row;
    if (key.empty()) {
        if (!value.empty()) {
            throw ValueError(QuoteForMessage(value) +
                             " under no key; a column the header does not name stays empty");
        }
    } else if (key == "group") {
        read.group = value;
    } else if (key == "peer" && (Lower(value) == "pair" || Lower(value) == "master")) {
        row.peerCell = Lower(value);
    } else if (value.empty()) {
        return;
    } else if (key == "master") {
        row.setup.master = ParseYesNo(value);
    } else {
        if (key == "peer") {
            row.peerCell = value;
        }
        row.remotePortGiven = row.remotePortGiven || key == "remote_port";
        for (const auto& field : SetupFields()) {
            if (key == field.key) {
                field.apply(row.setup, value);
            }
        }
    }
}

// One converter's row; every cell that cannot be read is a problem of its own.
RowRead ReadRow(const CsvRecord& record, const std::vector<std::string>& columns, int number,
                const SetupProfile& base, Problems& problems) {
    RowRead read;
    read.row.number = number;
    read.row.line = record.line;
    read.row.setup = base;
    if (record.fields.size() != columns.size()) {
        problems.Add(record.line, std::to_string(record.fields.size()) +
                                      " fields where the header names " +
                                      std::to_string(columns.size()));
        read.readable = false;
        return read;
    }
    for (std::size_t c = 0; c < columns.size(); ++c) {
        try {
            ReadCell(read, columns[c], Trim(record.fields[c]));
        } catch (const ValueError& error) {
            problems.Add(record.line,
                         (columns[c].empty() ? "column " + std::to_string(c + 1) : columns[c]) +
                             ": " + error.what());
            read.readable = false;
        }
    }
    return read;
}

} // namespace

Plan ParsePlan(const std::string& text, const std::string& name, const SetupProfile& base) {
    // The name as messages show it: a file name is outside text like any other.
    const std::string shown = PrintableDeviceName(name);
    // What is not text at all is said so, before its bytes are read as a header.
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        throw ValueError(shown + ": not a text file the plan reader takes (UTF-16); save the "
                                 "plan as CSV in UTF-8");
    }
    if (const auto nul = text.find('\0'); nul != std::string::npos) {
        throw ValueError(shown + ": not a text file (a NUL byte at offset " + std::to_string(nul) +
                         "); a plan is CSV text, as a spreadsheet saves it");
    }
    const std::vector<CsvRecord> records = ReadCsv(text, shown);
    Plan plan;
    plan.name = name;
    plan.id = PlanId(name);
    Problems problems(shown);
    if (records.empty()) {
        problems.AddForFile("empty: a header row naming the keys, then one row per converter");
        problems.ThrowIfAny();
    }
    if (records.size() - 1 > kMaxPlanRows) {
        problems.AddForFile(std::to_string(records.size() - 1) + " rows; a plan takes at most " +
                            std::to_string(kMaxPlanRows));
        problems.ThrowIfAny();
    }
    plan.columns = ReadHeader(records[0], problems);
    problems.ThrowIfAny(); // rows cannot be read against a header in doubt

    std::vector<RowRead> rows;
    for (std::size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& record = records[r];
        // A spreadsheet saves rows it once touched as bare separators.
        if (std::all_of(record.fields.begin(), record.fields.end(),
                        [](const std::string& field) { return Trim(field).empty(); })) {
            continue;
        }
        rows.push_back(
            ReadRow(record, plan.columns, static_cast<int>(rows.size()) + 1, base, problems));
    }
    if (rows.empty()) {
        problems.AddForFile("no converter: a header row naming the keys, then one row per "
                            "converter");
    }
    const bool hasGroupColumn =
        std::find(plan.columns.begin(), plan.columns.end(), "group") != plan.columns.end();
    ResolvePairs(rows, problems);
    ResolveMasters(rows, hasGroupColumn, problems);
    CheckRows(rows, problems);
    problems.ThrowIfAny();
    for (RowRead& read : rows) {
        plan.rows.push_back(std::move(read.row));
    }
    return plan;
}

Plan LoadPlanFile(const std::string& path, const SetupProfile& base) {
    return ParsePlan(ReadConfigurationText(path), path, base);
}

} // namespace comsetup::config
