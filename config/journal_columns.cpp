// The journal's columns as one table.
#include "config/journal_columns.h"

#include <algorithm>

namespace comsetup::config {

namespace {

using Row = const JournalRow&;
using Value = const JournalValue&;

JournalValue TextOrNull(const std::string& text) {
    return text.empty() ? JournalValue() : JournalValue(text);
}

std::string AsText(Value value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        return std::to_string(*number);
    }
    return {};
}

std::int64_t AsInteger(Value value) {
    const auto* number = std::get_if<std::int64_t>(&value);
    return number != nullptr ? *number : 0;
}

int AsInt(Value value) {
    return static_cast<int>(AsInteger(value));
}

// Stored by this program in its own text forms; a value edited by hand keeps the default.
template <typename Apply> void Parsed(Apply apply) {
    try {
        apply();
    } catch (const ValueError&) {
    }
}

using W = JournalWrite;
using F = JournalForm;

constexpr JournalColumn kColumns[] = {
    {"id", "INTEGER PRIMARY KEY", 1, W::kKey, F::kNumber,
     [](Row r) -> JournalValue { return r.id; },
     [](JournalRow& r, Value v) { r.id = AsInteger(v); }},
    {"started_utc", "TEXT NOT NULL", 1, W::kAtBegin, F::kText,
     [](Row r) -> JournalValue { return r.startedUtc; },
     [](JournalRow& r, Value v) { r.startedUtc = AsText(v); }},
    {"ended_utc", "TEXT", 1, W::kAtFinish, F::kText,
     [](Row r) -> JournalValue { return r.endedUtc; },
     [](JournalRow& r, Value v) { r.endedUtc = AsText(v); }},
    {"front_end", "TEXT NOT NULL", 1, W::kAtBegin, F::kText,
     [](Row r) -> JournalValue { return r.start.frontEnd; },
     [](JournalRow& r, Value v) { r.start.frontEnd = AsText(v); }},
    {"version", "TEXT NOT NULL", 1, W::kAtBegin, F::kText,
     [](Row r) -> JournalValue { return r.start.version; },
     [](JournalRow& r, Value v) { r.start.version = AsText(v); }},
    {"port", "TEXT NOT NULL", 1, W::kFound, F::kText,
     [](Row r) -> JournalValue { return r.start.setup.port; },
     [](JournalRow& r, Value v) { r.start.setup.port = AsText(v); },
     [](Row r) { return TextOrNull(r.end.portFound); }},
    {"device", "TEXT NOT NULL", 1, W::kFound, F::kText,
     [](Row r) -> JournalValue { return r.start.device; },
     [](JournalRow& r, Value v) { r.start.device = AsText(v); },
     [](Row r) { return TextOrNull(r.end.deviceFound); }},
    {"mode", "TEXT NOT NULL", 1, W::kAtBegin, F::kText,
     [](Row r) -> JournalValue { return ModeName(r.start.setup.mode); },
     [](JournalRow& r, Value v) { Parsed([&] { r.start.setup.mode = ParseMode(AsText(v)); }); }},
    {"master", "INTEGER NOT NULL", 1, W::kAtBegin, F::kFlag,
     [](Row r) -> JournalValue { return std::int64_t{r.start.setup.master ? 1 : 0}; },
     [](JournalRow& r, Value v) { r.start.setup.master = AsInteger(v) != 0; }},
    {"ip", "TEXT NOT NULL", 1, W::kAtBegin, F::kText,
     [](Row r) -> JournalValue { return FormatIpv4(r.start.setup.ip); },
     [](JournalRow& r, Value v) { Parsed([&] { r.start.setup.ip = ParseIpv4(AsText(v)); }); }},
    {"mask", "TEXT NOT NULL", 1, W::kAtBegin, F::kText,
     [](Row r) -> JournalValue { return FormatIpv4(r.start.setup.mask); },
     [](JournalRow& r, Value v) { Parsed([&] { r.start.setup.mask = ParseIpv4(AsText(v)); }); }},
    {"local_port", "INTEGER NOT NULL", 1, W::kAtBegin, F::kNumber,
     [](Row r) -> JournalValue { return std::int64_t{r.start.setup.localPort}; },
     [](JournalRow& r, Value v) { r.start.setup.localPort = AsInt(v); }},
    {"gateway", "TEXT", 1, W::kAtBegin, F::kText,
     [](Row r) {
         const auto& gateway = r.start.setup.gateway;
         return gateway ? JournalValue(FormatIpv4(*gateway)) : JournalValue();
     },
     [](JournalRow& r, Value v) {
         Parsed([&] { r.start.setup.gateway = ParseGateway(AsText(v)); });
     }},
    {"baud", "INTEGER NOT NULL", 1, W::kAtBegin, F::kNumber,
     [](Row r) -> JournalValue { return std::int64_t{r.start.setup.baud}; },
     [](JournalRow& r, Value v) { r.start.setup.baud = AsInt(v); }},
    {"parity", "TEXT NOT NULL", 1, W::kAtBegin, F::kText,
     [](Row r) -> JournalValue { return ParityName(r.start.setup.parityIndex); },
     [](JournalRow& r, Value v) {
         Parsed([&] { r.start.setup.parityIndex = ParseParity(AsText(v)); });
     }},
    {"stop_bits", "TEXT NOT NULL", 1, W::kAtBegin, F::kText,
     [](Row r) -> JournalValue { return StopBitName(r.start.setup.stopBitsIndex); },
     [](JournalRow& r, Value v) {
         Parsed([&] { r.start.setup.stopBitsIndex = ParseStopBits(AsText(v)); });
     }},
    {"flow", "TEXT NOT NULL", 1, W::kAtBegin, F::kText,
     [](Row r) -> JournalValue { return FlowName(r.start.setup.flowIndex); },
     [](JournalRow& r, Value v) {
         Parsed([&] { r.start.setup.flowIndex = ParseFlow(AsText(v)); });
     }},
    {"peer", "TEXT NOT NULL", 1, W::kAtBegin, F::kText,
     [](Row r) -> JournalValue { return FormatIpv4(r.start.setup.peer); },
     [](JournalRow& r, Value v) { Parsed([&] { r.start.setup.peer = ParseIpv4(AsText(v)); }); }},
    {"peer_sent", "TEXT", 1, W::kAtBegin, F::kText,
     [](Row r) { return TextOrNull(r.start.peerSent); },
     [](JournalRow& r, Value v) { r.start.peerSent = AsText(v); }},
    {"firmware", "TEXT", 1, W::kAtFinish, F::kText,
     [](Row r) -> JournalValue { return r.end.firmware; },
     [](JournalRow& r, Value v) { r.end.firmware = AsText(v); }},
    {"verdict", "TEXT", 1, W::kAtFinish, F::kText,
     [](Row r) -> JournalValue { return r.end.verdict; },
     [](JournalRow& r, Value v) { r.end.verdict = AsText(v); }},
    // A row that never ended has no outcome stored; it is shown as "unfinished".
    {"outcome", "TEXT", 1, W::kAtFinish, F::kText,
     [](Row r) -> JournalValue {
         return r.endedUtc.empty() ? std::string("unfinished") : r.end.outcome;
     },
     [](JournalRow& r, Value v) { r.end.outcome = AsText(v); }},
    {"exit_code", "INTEGER", 1, W::kAtFinish, F::kNumber,
     [](Row r) {
         return r.end.exitCode ? JournalValue(std::int64_t{*r.end.exitCode}) : JournalValue();
     },
     [](JournalRow& r, Value v) {
         if (!std::holds_alternative<std::monostate>(v)) {
             r.end.exitCode = AsInt(v);
         }
     }},
    {"cause", "TEXT", 1, W::kAtFinish, F::kText, [](Row r) { return TextOrNull(r.end.cause); },
     [](JournalRow& r, Value v) { r.end.cause = AsText(v); }},
    {"written", "TEXT", 1, W::kAtFinish, F::kText, [](Row r) { return TextOrNull(r.end.written); },
     [](JournalRow& r, Value v) { r.end.written = AsText(v); }},
    {"log", "TEXT", 1, W::kAtFinish, F::kTextEvenEmpty,
     [](Row r) -> JournalValue { return r.end.log; },
     [](JournalRow& r, Value v) { r.end.log = AsText(v); }},
    {"plan", "TEXT", 3, W::kAtBegin, F::kText, [](Row r) { return TextOrNull(r.start.plan); },
     [](JournalRow& r, Value v) { r.start.plan = AsText(v); }},
    {"plan_row", "INTEGER", 3, W::kAtBegin, F::kNumber,
     [](Row r) {
         return r.start.planRow > 0 ? JournalValue(std::int64_t{r.start.planRow}) : JournalValue();
     },
     [](JournalRow& r, Value v) { r.start.planRow = AsInt(v); }},
    // The LAN check's columns are NULL where it was off; the first one says whether it was on.
    {"lan_answered", "INTEGER", 4, W::kAtFinish, F::kFlag,
     [](Row r) {
         return r.end.lan ? JournalValue(std::int64_t{r.end.lan->answered ? 1 : 0})
                          : JournalValue();
     },
     [](JournalRow& r, Value v) {
         if (!std::holds_alternative<std::monostate>(v)) {
             r.end.lan.emplace().answered = AsInteger(v) != 0;
         }
     }},
    {"lan_mac", "TEXT", 4, W::kAtFinish, F::kText,
     [](Row r) { return r.end.lan ? TextOrNull(r.end.lan->mac) : JournalValue(); },
     [](JournalRow& r, Value v) {
         if (r.end.lan) {
             r.end.lan->mac = AsText(v);
         }
     }},
    {"lan_tcp", "TEXT", 4, W::kAtFinish, F::kText,
     [](Row r) { return r.end.lan ? JournalValue(r.end.lan->tcp) : JournalValue(); },
     [](JournalRow& r, Value v) {
         if (r.end.lan) {
             r.end.lan->tcp = AsText(v);
         }
     }},
    {"lan_waited_ms", "INTEGER", 4, W::kAtFinish, F::kNumber,
     [](Row r) {
         return r.end.lan ? JournalValue(std::int64_t{r.end.lan->waitedMs}) : JournalValue();
     },
     [](JournalRow& r, Value v) {
         if (r.end.lan) {
             r.end.lan->waitedMs = AsInt(v);
         }
     }},
    // The peer's port; before it was recorded every peer was sent 10001, the profile's default.
    {"remote_port", "INTEGER", 5, W::kAtBegin, F::kNumber,
     [](Row r) -> JournalValue { return std::int64_t{r.start.setup.remotePort}; },
     [](JournalRow& r, Value v) {
         if (std::holds_alternative<std::int64_t>(v)) {
             r.start.setup.remotePort = AsInt(v);
         }
     }},
};

constexpr bool EveryVersionUpToTheSchemasIsThere() {
    int highest = 0;
    for (const JournalColumn& column : kColumns) {
        highest = std::max(highest, column.since);
    }
    return highest <= kJournalSchemaVersion;
}
static_assert(EveryVersionUpToTheSchemasIsThere(),
              "a new column comes with a new schema version (kJournalSchemaVersion)");

// What a version brings besides its columns: the look-ups' indexes.
const char* IndexesOf(int version) {
    switch (version) {
    case 2: // the look-ups of the listing and of an address used before
        return "CREATE INDEX downloads_ip ON downloads (ip);"
               "CREATE INDEX downloads_started ON downloads (started_utc);";
    case 3: // the plan and row a download belongs to, so that a plan can be resumed
        return "CREATE INDEX downloads_plan ON downloads (plan, plan_row);";
    default:
        return "";
    }
}

} // namespace

std::span<const JournalColumn> JournalColumns() {
    return kColumns;
}

std::string JournalMigration(int version) {
    std::string sql;
    for (const JournalColumn& column : kColumns) {
        if (column.since != version) {
            continue;
        }
        const std::string declared = std::string(column.name) + " " + column.declaration;
        if (version == 1) {
            sql += (sql.empty() ? "CREATE TABLE downloads (" : ", ") + declared;
        } else {
            sql += "ALTER TABLE downloads ADD COLUMN " + declared + ";";
        }
    }
    if (version == 1) {
        sql += ");";
    }
    return sql + IndexesOf(version);
}

std::string JournalSelectList(int version) {
    std::string list;
    for (const JournalColumn& column : kColumns) {
        list += (list.empty() ? "" : ", ") +
                (column.since <= version ? std::string(column.name) : std::string("NULL"));
    }
    return list;
}

int JournalColumnSince(std::string_view name) {
    const auto* column = std::find_if(std::begin(kColumns), std::end(kColumns),
                                      [&](const JournalColumn& c) { return c.name == name; });
    return column != std::end(kColumns) ? column->since : 0;
}

std::string JournalText(const JournalValue& value) {
    return AsText(value);
}

} // namespace comsetup::config
