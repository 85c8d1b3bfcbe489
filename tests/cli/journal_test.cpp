// The journal of downloads: real SQLite files in a temporary folder. Rows written at the start
// and completed at the end, concurrent writers losing nothing, files that cannot be used
// reported and left as they were, an older schema migrated, the CSV export read back.
#include "model_converter.h"
#include "tests/support/child_process.h"
#include "tests/support/full_disk.h"

#include "cli/batch.h"
#include "cli/download_job.h"
#include "cli/exit_codes.h"
#include "config/journal.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace comsetup::cli;
using comsetup::test::FullDisk;
using SetupProfile = comsetup::config::SetupProfile;
using comsetup::test::ModelConverter;
using comsetup::test::ReadFile;
using comsetup::test::TempFolder;
namespace config = comsetup::config;
namespace sim = comsetup::sim;

namespace {

DownloadResult Download(const std::string& journal, const std::string& port, const std::string& ip,
                        sim::FailMode fail = sim::FailMode::Healthy) {
    ModelConverter converter(sim::Firmware::V01_8, fail);
    std::ostringstream progress;
    JobOptions options;
    options.progressOut = &progress;
    options.line = converter.Line();
    options.journalPath = journal;
    SetupProfile setup;
    setup.port = port;
    setup.ip = config::ParseIpv4(ip);
    std::atomic<bool> cancel{false};
    return RunDownloadJob(setup, options, cancel);
}

// A filter with one thing set: Filter([](auto& f) { f.ip = "10.0.0.8"; }).
template <typename Set> config::JournalFilter Filter(Set set) {
    config::JournalFilter filter;
    set(filter);
    return filter;
}

const config::JournalFilter kAll = Filter([](auto& f) { f.limit = 0; });

std::size_t RowCount(const std::string& path) {
    return config::Journal::Open(path)->List(kAll).size();
}

// RFC 4180 as a spreadsheet reads it: quoted fields may hold commas, quotes and line ends.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(field);
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.back().push_back(field);
            field.clear();
            rows.emplace_back();
            ++i;
        } else {
            field += c;
        }
    }
    rows.pop_back(); // after the last CRLF
    return rows;
}

TEST(Journal, EachDownloadIsOneRowWithItsValuesVerdictAndLog) {
    TempFolder folder;
    const std::string path = folder.File("data/comsetup/journal.sqlite"); // folders made
    const DownloadResult done = Download(path, "COM3", "10.0.0.7");
    const DownloadResult failed =
        Download(path, "COM4", "10.0.0.8", sim::FailMode::UnknownFirmware);
    EXPECT_EQ(done.journalError, "");
    EXPECT_EQ(done.journalId, 1);
    EXPECT_EQ(failed.journalId, 2);

    const auto journal = config::Journal::Open(path);
    const auto row = journal->Get(1);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->start.setup.port, "COM3");
    EXPECT_EQ(config::FormatIpv4(row->start.setup.ip), "10.0.0.7");
    EXPECT_EQ(row->start.frontEnd, "comsetup-cli");
    EXPECT_EQ(row->end.outcome, "complete");
    EXPECT_EQ(row->end.verdict, "Setup Complete");
    EXPECT_EQ(row->end.firmware, "01.8");
    EXPECT_EQ(row->end.written, done.written);
    EXPECT_NE(row->end.log.find("Exit without"), std::string::npos);
    EXPECT_FALSE(row->endedUtc.empty());

    // Filters, newest first; a row begun and never finished says so.
    const std::int64_t open = journal->Begin({"test", "0", "/dev/x", SetupProfile{}, "", "", 0});
    struct Filtered {
        config::JournalFilter filter;
        std::vector<std::int64_t> ids;
    };
    const Filtered cases[] = {
        {kAll, {open, 2, 1}},
        {Filter([](auto& f) { f.ip = "10.0.0.8"; }), {2}},
        {Filter([](auto& f) { f.port = "COM3"; }), {1}},
        {Filter([](auto& f) { f.outcome = "complete"; }), {1}},
        {Filter([](auto& f) { f.outcome = "firmware-unknown"; }), {2}},
        {Filter([](auto& f) { f.outcome = "unfinished"; }), {open}},
        {Filter([](auto& f) { f.since = "2999-01-01"; }), {}},
        {Filter([](auto& f) { f.limit = 1; }), {open}},
    };
    for (const Filtered& c : cases) {
        std::vector<std::int64_t> ids;
        for (const auto& r : journal->List(c.filter)) {
            ids.push_back(r.id);
        }
        EXPECT_EQ(ids, c.ids) << c.filter.ip << c.filter.port << c.filter.outcome;
    }
}

// 32 downloads of a batch and a second process write at once: no row is lost.
TEST(Journal, ConcurrentWritersLoseNoRow) {
    TempFolder folder;
    const std::string path = folder.File("journal.sqlite");
    constexpr int kOtherRows = 100;
    const pid_t other = ::fork();
    if (other == 0) {
        int status = 0;
        try {
            const auto journal = config::Journal::Open(path);
            for (int i = 0; i < kOtherRows; ++i) {
                journal->Finish(journal->Begin({"other", "0", "/dev/y", SetupProfile{}, "", "", 0}),
                                {});
            }
        } catch (const std::exception&) {
            status = 1;
        }
        ::_exit(status);
    }
    std::vector<std::unique_ptr<ModelConverter>> converters;
    std::vector<SetupProfile> setups;
    for (int i = 0; i < 32; ++i) {
        converters.push_back(
            std::make_unique<ModelConverter>(sim::Firmware::V01_8, sim::FailMode::Healthy));
        SetupProfile setup;
        setup.port = "/dev/unit" + std::to_string(i);
        setups.push_back(setup);
    }
    std::ostringstream progress;
    BatchOptions options;
    options.progressOut = &progress;
    options.journalPath = path;
    options.stagger = std::chrono::milliseconds(0);
    options.lineFor = [&](std::size_t i) { return converters[i]->Line(); };
    const auto results = RunBatch(setups, options);
    int status = -1;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const auto& r : results) {
        EXPECT_EQ(r.exitCode, kExitComplete);
        EXPECT_EQ(r.journalError, "") << r.port;
    }
    const auto rows = config::Journal::Open(path)->List(kAll);
    EXPECT_EQ(rows.size(), 32u + kOtherRows);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [](const auto& r) { return r.start.frontEnd == "comsetup-cli batch"; }),
              32);
}

// A journal that cannot be used never stops the download: it ends as it would have, and the
// cause is said once; the file is left as it was and no new journal replaces it.
TEST(Journal, UnusableJournalsAreNamedAndTheDownloadGoesOn) {
    TempFolder folder;
    const std::string damaged = folder.File("damaged.sqlite");
    std::ofstream(damaged) << std::string(8192, 'x');
    const std::string protectedFile = folder.File("protected.sqlite");
    config::Journal::Open(protectedFile).reset();
    ::chmod(protectedFile.c_str(), 0444);
    const std::string newer = folder.File("newer.sqlite");
    {
        sqlite3* db = nullptr;
        sqlite3_open(newer.c_str(), &db);
        sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    struct Row {
        std::string path;
        std::string said;
        bool fullDisk = false;
    };
    const Row rows[] = {
        {damaged, "damaged (file is not a database); it was left as it is"},
        {protectedFile, "read-only; nothing was recorded"},
        {newer, "written by a newer comsetup (journal version 99)"},
        {folder.File("full.sqlite"), "cannot be", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        const std::string before = ReadFile(r.path);
        DownloadResult result;
        {
            std::optional<FullDisk> full;
            if (r.fullDisk) {
                full.emplace();
            }
            result = Download(r.path, "COM3", "10.0.0.7");
        }
        EXPECT_EQ(result.exitCode, kExitComplete);
        EXPECT_EQ(result.verdict, "Setup Complete");
        EXPECT_NE(result.journalError.find(r.said), std::string::npos) << result.journalError;
        EXPECT_EQ(ResultToJson(result)["journal_error"], result.journalError);
        if (!r.fullDisk) {
            EXPECT_EQ(ReadFile(r.path), before);
        }
    }
}

// A journal of the first schema (no indexes, no plan columns) is brought forward with its
// rows kept.
TEST(Journal, OlderSchemaIsMigratedKeepingItsRows) {
    TempFolder folder;
    const std::string path = folder.File("old.sqlite");
    Download(path, "COM3", "10.0.0.7");
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db,
                     "DROP INDEX downloads_ip; DROP INDEX downloads_started; "
                     "DROP INDEX downloads_plan; ALTER TABLE downloads DROP COLUMN plan; "
                     "ALTER TABLE downloads DROP COLUMN plan_row; "
                     "ALTER TABLE downloads DROP COLUMN lan_answered; "
                     "ALTER TABLE downloads DROP COLUMN lan_mac; "
                     "ALTER TABLE downloads DROP COLUMN lan_tcp; "
                     "ALTER TABLE downloads DROP COLUMN lan_waited_ms; PRAGMA user_version = 1",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    Download(path, "COM4", "10.0.0.8");
    EXPECT_EQ(RowCount(path), 2u);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT (SELECT user_version FROM pragma_user_version), "
                       "(SELECT count(*) FROM sqlite_master WHERE type = 'index')",
                       -1, &query, nullptr);
    ASSERT_EQ(sqlite3_step(query), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(query, 0), config::kJournalSchemaVersion);
    EXPECT_EQ(sqlite3_column_int(query, 1), 3);
    sqlite3_finalize(query);
    sqlite3_close(db);
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
    const auto csv = ParseCsv(config::JournalCsv(rows));
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
}

// The LAN check's findings go with the row's end, read back and exported: the MAC beside the
// address, whether it answered, its port, the wait.
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
