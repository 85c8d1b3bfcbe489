// The journal's rows against real SQLite files: every column a row holds comes back as it
// went in, through the column table's own statements and reader; files of every older schema
// version are read as they are; the CSV and JSON exports.
#include "tests/support/files.h"

#include "config/journal.h"
#include "config/journal_columns.h"
#include "config/plan.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

namespace config = comsetup::config;
using SetupProfile = comsetup::config::SetupProfile;
using comsetup::test::TempFolder;

namespace {

// A row in which every column holds something other than its default.
config::JournalRow FullRow() {
    config::JournalRow row;
    row.startedUtc = "2026-12-01T10:00:00Z";
    row.endedUtc = "2026-12-01T10:01:00Z";
    config::SetupProfile& s = row.start.setup;
    s.port = "Auto";
    s.mode = config::Mode::PointToMultipoint;
    s.master = true;
    s.ip = {10, 1, 2, 3};
    s.mask = {255, 255, 0, 0};
    s.localPort = 4001;
    s.remotePort = 4002;
    s.gateway = config::Ipv4{10, 1, 0, 1};
    s.baud = 115200;
    s.parityIndex = 2;
    s.stopBitsIndex = 1;
    s.flowIndex = 3;
    s.peer = {10, 1, 255, 255};
    row.start.frontEnd = "comsetup-cli batch";
    row.start.version = "9.8";
    row.start.device = "/dev/ttyUSB7";
    row.start.peerSent = "10.1.255.255";
    row.start.plan = "plan-7";
    row.start.planRow = 12;
    row.end.firmware = "V6.5.0.7";
    row.end.verdict = "ERROR ON SETUP";
    row.end.outcome = "error-on-setup";
    row.end.exitCode = 4;
    row.end.cause = "said \"no\", twice";
    row.end.written = "10.1.2.3/16";
    row.end.log = "line 1\r\nline 2, \"quoted\"\n";
    row.end.portFound = "/dev/ttyUSB1";
    row.end.deviceFound = "/dev/ttyUSB1";
    row.end.lan = config::JournalLan{true, "02:00:5e:10:00:01", "refused", 1500};
    return row;
}

// The row as written: begun, then finished.
config::JournalRow WriteAndReadBack(config::Journal& journal, const config::JournalRow& row) {
    const std::int64_t id = journal.Begin(row.start);
    journal.Finish(id, row.end);
    const auto back = journal.Get(id);
    EXPECT_TRUE(back);
    return back.value_or(config::JournalRow{});
}

std::vector<std::string> Names(sqlite3* db) {
    std::vector<std::string> names;
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info('downloads') ORDER BY cid", -1,
                       &query, nullptr);
    while (sqlite3_step(query) == SQLITE_ROW) {
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(query, 0)));
    }
    sqlite3_finalize(query);
    return names;
}

TEST(JournalColumns, EveryColumnComesBackAsItWentIn) {
    TempFolder folder;
    const auto journal = config::Journal::Open(folder.File("j.sqlite"));
    config::JournalRow full = FullRow();
    config::JournalRow empty; // the LAN check off, no exit code, no plan, nothing found
    empty.start.frontEnd = "comsetup";
    empty.end.outcome = "complete";
    for (const config::JournalRow& written : {full, empty}) {
        const config::JournalRow back = WriteAndReadBack(*journal, written);
        config::JournalRow expected = written;
        expected.id = back.id;
        expected.startedUtc = back.startedUtc;
        expected.endedUtc = back.endedUtc;
        if (!written.end.portFound.empty()) { // "Auto" is replaced by the port it found
            expected.start.setup.port = written.end.portFound;
            expected.start.device = written.end.deviceFound;
        }
        EXPECT_FALSE(back.startedUtc.empty());
        EXPECT_FALSE(back.endedUtc.empty());
        for (const config::JournalColumn& column : config::JournalColumns()) {
            EXPECT_EQ(config::JournalText(column.value(back)),
                      config::JournalText(column.value(expected)))
                << column.name << " of the row of " << written.start.frontEnd;
        }
        // Nothing of the row is lost on the way, whether or not a column shows it.
        EXPECT_EQ(back.start.setup, expected.start.setup);
        EXPECT_EQ(back.end.lan.has_value(), written.end.lan.has_value());
        EXPECT_EQ(back.end.exitCode, written.end.exitCode);
    }
    // Every field of the full row differs from an empty row's: a column whose value or reader
    // lost its field would show the default and fail above.
    const config::JournalRow none;
    for (const config::JournalColumn& column : config::JournalColumns()) {
        if (column.write != config::JournalWrite::kKey) {
            EXPECT_NE(config::JournalText(column.value(full)),
                      config::JournalText(column.value(none)))
                << column.name;
        }
    }
}

// A file of each older version is read without being changed: the columns it lacks read as
// nothing, the ones it has as written; a new journal has the table's columns in its order.
TEST(JournalColumns, OlderFilesAreReadAsTheyAre) {
    TempFolder folder;
    { const auto journal = config::Journal::Open(folder.File("new.sqlite")); }
    sqlite3* db = nullptr;
    sqlite3_open(folder.File("new.sqlite").c_str(), &db);
    std::vector<std::string> expected;
    for (const config::JournalColumn& column : config::JournalColumns()) {
        expected.emplace_back(column.name);
    }
    EXPECT_EQ(Names(db), expected);
    sqlite3_close(db);

    for (int version = 1; version <= config::kJournalSchemaVersion; ++version) {
        SCOPED_TRACE("version " + std::to_string(version));
        const std::string path = folder.File("v" + std::to_string(version) + ".sqlite");
        sqlite3_open(path.c_str(), &db);
        for (int step = 1; step <= version; ++step) {
            ASSERT_EQ(
                sqlite3_exec(db, config::JournalMigration(step).c_str(), nullptr, nullptr, nullptr),
                SQLITE_OK);
        }
        sqlite3_exec(db, ("PRAGMA user_version = " + std::to_string(version)).c_str(), nullptr,
                     nullptr, nullptr);
        sqlite3_exec(db,
                     "INSERT INTO downloads (started_utc, front_end, version, port, device, mode, "
                     "master, ip, mask, local_port, baud, parity, stop_bits, flow, peer) VALUES "
                     "('2026-12-01T10:00:00Z', 'comsetup', '1', 'COM2', '/dev/ttyS1', "
                     "'point-to-point', 0, '10.0.0.7', '255.0.0.0', 10001, 4800, 'odd', '2', "
                     "'none', '10.0.0.8')",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        const std::string before = comsetup::test::ReadFile(path);

        const auto journal = config::Journal::OpenForReading(path);
        ASSERT_TRUE(journal);
        const auto rows = journal->List({});
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].start.setup.port, "COM2");
        EXPECT_EQ(rows[0].start.setup.baud, 4800);
        EXPECT_EQ(config::FormatIpv4(rows[0].start.setup.ip), "10.0.0.7");
        EXPECT_EQ(rows[0].start.plan, "");
        EXPECT_FALSE(rows[0].end.lan);
        EXPECT_EQ(journal
                      ->List([] {
                          config::JournalFilter plan;
                          plan.plan = "p";
                          return plan;
                      }())
                      .size(),
                  0u);
        EXPECT_EQ(comsetup::test::ReadFile(path), before);
    }
}

// The CSV export opens in a spreadsheet: a header row, then each field as it was, however
// many commas, quotes and line ends it holds; a field that looks like a formula stays text.
TEST(Journal, CsvExportReadsBackFieldByField) {
    TempFolder folder;
    const auto journal = config::Journal::Open(folder.File("j.sqlite"));
    const std::int64_t id =
        journal->Begin({"comsetup", "3", "/dev/ttyS0", SetupProfile{}, "", "", 0});
    config::JournalEnd end;
    end.outcome = "error-on-setup";
    end.cause = "said \"no\", then stopped";
    end.log = "line 1, with a comma\r\n=HYPERLINK(\"x\")\n";
    journal->Finish(id, end);
    const auto rows = journal->List({});
    // Read back as a spreadsheet reads it, by the plans' RFC 4180 reader.
    std::vector<std::vector<std::string>> csv;
    for (const config::CsvRecord& record : config::ReadCsv(config::JournalCsv(rows), "export")) {
        csv.push_back(record.fields);
    }
    ASSERT_EQ(csv.size(), 2u);
    ASSERT_EQ(csv[0].size(), csv[1].size());
    const auto column = [&](const std::string& name) {
        const auto at = std::find(csv[0].begin(), csv[0].end(), name);
        return at == csv[0].end() ? std::string("(no column)") : csv[1][at - csv[0].begin()];
    };
    EXPECT_EQ(column("id"), std::to_string(id));
    EXPECT_EQ(column("cause"), end.cause);
    EXPECT_EQ(column("log"), end.log);
    EXPECT_EQ(column("ip"), "192.168.1.200");
    EXPECT_EQ(column("outcome"), "error-on-setup");
    const auto json = config::JournalJson(rows);
    EXPECT_EQ(json[0]["cause"], end.cause);
    EXPECT_EQ(json[0]["gateway"], nullptr);
    EXPECT_EQ(json[0]["lan_answered"], nullptr); // the check was off
    EXPECT_EQ(column("lan_mac"), "");

    // Every start a spreadsheet could take for a formula is kept as text, and only those.
    const std::pair<std::string, std::string> fields[] = {
        {"=1+1", "'=1+1"}, {"+1", "'+1"},         {"-1", "'-1"},  {"@SUM(A1)", "'@SUM(A1)"},
        {"\t=1", "'\t=1"}, {"\r=1", "\"'\r=1\""}, {"1=1", "1=1"}, {" =1", " =1"},
    };
    for (const auto& [cause, expected] : fields) {
        config::JournalRow row;
        row.end.cause = cause;
        const std::string csv = config::JournalCsv({row});
        EXPECT_NE(csv.find("," + expected + ","), std::string::npos) << cause << "\n" << csv;
    }
}

// The LAN check's findings go with the row's end, read back and exported: the MAC beside the
// address, whether it answered, its port, the wait. Plain values: no check runs and nothing
// is sent (probes run only in `unshare --net` namespaces: tests/lan, tests/cli).
TEST(Journal, LanCheckIsRecordedReadBackAndExported) {
    TempFolder folder;
    const auto journal = config::Journal::Open(folder.File("j.sqlite"));
    const std::int64_t found =
        journal->Begin({"comsetup", "3", "/dev/ttyS0", SetupProfile{}, "", "", 0});
    config::JournalEnd end;
    end.outcome = "complete";
    end.lan = config::JournalLan{true, "02:00:5e:10:00:01", "open", 4200};
    journal->Finish(found, end);
    const std::int64_t missing =
        journal->Begin({"comsetup", "3", "/dev/ttyS0", SetupProfile{}, "", "", 0});
    end.outcome = "not-on-lan";
    end.lan = config::JournalLan{false, "", "no answer", 30000};
    journal->Finish(missing, end);

    const auto row = journal->Get(found);
    ASSERT_TRUE(row && row->end.lan);
    EXPECT_TRUE(row->end.lan->answered);
    EXPECT_EQ(row->end.lan->mac, "02:00:5e:10:00:01");
    EXPECT_EQ(row->end.lan->tcp, "open");
    EXPECT_EQ(row->end.lan->waitedMs, 4200);
    const auto json = config::JournalJson(journal->List({}));
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["lan_answered"], false); // newest first
    EXPECT_EQ(json[0]["lan_mac"], nullptr);
    EXPECT_EQ(json[0]["lan_waited_ms"], 30000);
    EXPECT_EQ(json[1]["lan_answered"], true);
    EXPECT_EQ(json[1]["lan_mac"], "02:00:5e:10:00:01");
    EXPECT_EQ(json[1]["lan_tcp"], "open");
    EXPECT_NE(config::JournalCsv(journal->List({})).find(",02:00:5e:10:00:01,open,4200"),
              std::string::npos);
}

} // namespace
