// The journal of downloads as the command line's downloads and readers use it: real SQLite
// files in a temporary folder. Rows written at the start and completed at the end, concurrent
// writers losing nothing, files that cannot be used reported and left as they were, an older
// schema migrated, readers that change nothing. The journal's own rows and exports are tested
// in tests/config.
#include "model_converter.h"
#include "tests/support/child_process.h"
#include "tests/support/full_disk.h"

#include "cli/batch.h"
#include "cli/command_runner.h"
#include "cli/download_job.h"
#include "cli/exit_codes.h"
#include "config/journal.h"
#include "config/plan.h"
#include "config/plan_journal.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
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
    // Every byte the converter sent: each prompt with the answer echoed after it, also where
    // the prompt ended one echo (the monitor's lines, which the verdict reads, drop it).
    for (const char* asked : {"Flow control code (00) ? ", "Local port (10001) ? 10001\n"}) {
        EXPECT_NE(row->end.log.find(asked), std::string::npos) << asked << "\n" << row->end.log;
    }
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
        {folder.File("full.sqlite"), "full.sqlite: disk full; the journal could not be written",
         true},
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
        if (r.fullDisk) {
            EXPECT_FALSE(std::filesystem::exists(r.path)); // no empty journal left behind
        } else {
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
                     "ALTER TABLE downloads DROP COLUMN lan_waited_ms; "
                     "ALTER TABLE downloads DROP COLUMN remote_port; PRAGMA user_version = 1",
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

} // namespace

namespace {

// Every file of a folder with its bytes.
std::map<std::string, std::string> FolderBytes(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files[entry.path().filename().string()] =
            entry.is_regular_file() ? ReadFile(entry.path().string()) : "(not a file)";
    }
    return files;
}

int RunCli(std::vector<std::string> args, std::string* said = nullptr) {
    std::ostringstream out, err;
    const int code = comsetup::cli::RunCommandLine(args, out, err);
    if (said != nullptr) {
        *said = out.str() + err.str();
    }
    return code;
}

} // namespace

// Reading never writes: every reader (listing, show, both exports, the look-ups of a sequence
// and of the plan window) leaves the journal's bytes as they were and creates nothing beside
// it, for a journal of this schema or an older one, a read-only file or a read-only folder.
// A download's writer leaves the file whole by itself, so a copy of it alone has every row.
TEST(Journal, ReadersChangeNothing) {
    TempFolder folder;
    const std::string written = folder.File("written/journal.sqlite");
    Download(written, "COM3", "10.0.0.7");
    Download(written, "COM4", "10.0.0.8");
    EXPECT_FALSE(std::filesystem::exists(written + "-wal"));
    std::filesystem::create_directories(folder.File("copy"));
    std::filesystem::copy_file(written, folder.File("copy/journal.sqlite"));
    EXPECT_EQ(
        config::Journal::OpenForReading(folder.File("copy/journal.sqlite"))->List(kAll).size(), 2u);

    std::filesystem::create_directories(folder.File("old"));
    std::filesystem::copy_file(written, folder.File("old/journal.sqlite"));
    {
        sqlite3* db = nullptr;
        sqlite3_open(folder.File("old/journal.sqlite").c_str(), &db);
        sqlite3_exec(db,
                     "PRAGMA journal_mode = DELETE; DROP INDEX downloads_plan; "
                     "ALTER TABLE downloads DROP COLUMN plan; "
                     "ALTER TABLE downloads DROP COLUMN plan_row; PRAGMA user_version = 2",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    // Schema 3: the plan's columns, none of the LAN check's or the remote port's.
    std::filesystem::create_directories(folder.File("v3"));
    std::filesystem::copy_file(written, folder.File("v3/journal.sqlite"));
    {
        sqlite3* db = nullptr;
        sqlite3_open(folder.File("v3/journal.sqlite").c_str(), &db);
        sqlite3_exec(db,
                     "PRAGMA journal_mode = DELETE; "
                     "ALTER TABLE downloads DROP COLUMN lan_answered; "
                     "ALTER TABLE downloads DROP COLUMN lan_mac; "
                     "ALTER TABLE downloads DROP COLUMN lan_tcp; "
                     "ALTER TABLE downloads DROP COLUMN lan_waited_ms; "
                     "ALTER TABLE downloads DROP COLUMN remote_port; PRAGMA user_version = 3",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    std::filesystem::create_directories(folder.File("protected"));
    std::filesystem::copy_file(written, folder.File("protected/journal.sqlite"));
    ::chmod(folder.File("protected/journal.sqlite").c_str(), 0444);
    std::filesystem::create_directories(folder.File("closed"));
    std::filesystem::copy_file(written, folder.File("closed/journal.sqlite"));
    ::chmod(folder.File("closed").c_str(), 0555);

    const std::string plan = folder.Write("plan.csv", "ip\n10.0.0.7\n");
    const std::string csv = folder.File("rows.csv");
    for (const char* name : {"written", "old", "v3", "protected", "closed"}) {
        SCOPED_TRACE(name);
        const std::string dir = folder.File(name);
        const std::string path = dir + "/journal.sqlite";
        const auto before = FolderBytes(dir);
        std::string said;
        EXPECT_EQ(RunCli({"journal", "--journal", path}, &said), kExitComplete) << said;
        EXPECT_NE(said.find("10.0.0.8"), std::string::npos) << said;
        EXPECT_EQ(RunCli({"journal", "show", "1", "--journal", path}, &said), kExitComplete)
            << said;
        EXPECT_EQ(RunCli({"journal", "export", "--json", "--journal", path}, &said), kExitComplete)
            << said;
        EXPECT_EQ(RunCli({"journal", "export", "--csv", csv, "--journal", path}, &said),
                  kExitComplete)
            << said;
        // No terminal to ask on: refused once the look-ups found 10.0.0.7 written before.
        EXPECT_EQ(RunCli({"sequence", "--plan", plan, "--port", "COM9", "--journal", path}, &said),
                  kExitBadArguments);
        EXPECT_NE(said.find("10.0.0.7 was written to a converter on"), std::string::npos) << said;
        const auto journal = config::Journal::OpenForReading(path);
        ASSERT_NE(journal, nullptr);
        const config::Plan parsed = config::LoadPlanFile(plan, SetupProfile{});
        EXPECT_EQ(config::PlanRowStates(*journal, parsed).size(), 1u);
        // Every peer was sent 10001 before the remote port had a column.
        EXPECT_EQ(journal->List(kAll).at(0).start.setup.remotePort, 10001);
        EXPECT_EQ(FolderBytes(dir), before);
    }
    ::chmod(folder.File("closed").c_str(), 0755);
    std::string said;
    EXPECT_EQ(
        RunCli({"journal", "export", "--csv", csv, "--limit", "1", "--journal", written}, &said),
        kExitComplete);
    EXPECT_NE(said.find("journal: 1 download written to"), std::string::npos) << said;
    EXPECT_EQ(config::Journal::OpenForReading(folder.File("none.sqlite")), nullptr);
    EXPECT_FALSE(std::filesystem::exists(folder.File("none.sqlite")));
}

// An export's refusals speak of the export: where the rows were to go and why not, never of a
// setup saved, a log or a download sent; each leaves what was there as it was.
TEST(Journal, ExportRefusalsSpeakOfAnExport) {
    TempFolder folder;
    const std::string path = folder.File("journal.sqlite");
    Download(path, "COM3", "10.0.0.7");
    ASSERT_EQ(::mkfifo(folder.File("fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(folder.File("folder"));
    const std::string csv = folder.File("rows.csv");
    struct Row {
        std::vector<std::string> args;
        std::string said;
    };
    const std::vector<Row> rows{
        {{"--csv", folder.File("fifo")}, "journal export: " + folder.File("fifo") + ": is a pipe"},
        {{"--csv", folder.File("folder")}, ": is a folder, not a regular file"},
        {{"--csv", "//proc/self/fd/1"}, ": names a stream this program has open"},
        {{"--csv", folder.File("none/rows.csv")},
         "the folder " + folder.File("none") + " does not exist; nothing was written"},
        {{"--csv", csv, "--journal", folder.File("none/journal.sqlite")},
         "the folder " + folder.File("none") +
             " does not exist (a journal named here is not given a folder of its own); nothing "
             "was exported"},
    };
    for (const Row& r : rows) {
        std::vector<std::string> args{"journal", "export"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        if (std::find(args.begin(), args.end(), "--journal") == args.end()) {
            args.insert(args.end(), {"--journal", path});
        }
        std::string said;
        EXPECT_EQ(RunCli(args, &said), kExitBadArguments) << said;
        EXPECT_NE(said.find(r.said), std::string::npos) << said;
        for (const char* word : {"sent", "save", " setup", " log"}) {
            EXPECT_EQ(said.find(word), std::string::npos) << word << ": " << said;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(csv));
    EXPECT_TRUE(std::filesystem::is_empty(folder.File("folder")));
}

// The peer's port goes into its column and comes back in every reader's form.
TEST(Journal, RemotePortIsRecordedAndShown) {
    TempFolder folder;
    const std::string path = folder.File("j.sqlite");
    {
        const auto journal = config::Journal::Open(path);
        config::JournalStart start{"comsetup-cli", "3", "/dev/ttyS0", {}, "10.0.0.9", "", 0};
        start.setup.mode = config::Mode::PointToPoint;
        start.setup.peer = {10, 0, 0, 9};
        start.setup.remotePort = 10002;
        config::JournalEnd end;
        end.outcome = "complete";
        journal->Finish(journal->Begin(start), end);
    }
    const auto journal = config::Journal::OpenForReading(path);
    EXPECT_EQ(journal->Get(1)->start.setup.remotePort, 10002);
    EXPECT_EQ(config::JournalJson(journal->List(kAll))[0]["remote_port"], 10002);
    EXPECT_NE(config::JournalCsv(journal->List(kAll)).find(",remote_port\r\n"), std::string::npos);
    std::string said;
    EXPECT_EQ(RunCli({"journal", "show", "1", "--journal", path}, &said), kExitComplete);
    EXPECT_NE(said.find("peer sent  10.0.0.9 port 10002\n"), std::string::npos) << said;
}

// A journal path that is no regular file is refused by name before SQLite opens it, by the
// writer and by every reader, and nothing is created beside it.
TEST(Journal, PathsThatAreNoFileAreRefusedByName) {
    TempFolder folder;
    std::filesystem::create_directories(folder.File("paths/folder"));
    ASSERT_EQ(::mkfifo(folder.File("paths/fifo").c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = folder.File("paths/socket");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_symlink("/dev/null", folder.File("paths/device-link"));
    std::filesystem::create_directory_symlink(folder.File("paths/folder"),
                                              folder.File("paths/folder-link"));
    const std::pair<const char*, const char*> rows[] = {
        {"folder", "a folder"},      {"fifo", "a FIFO (named pipe)"}, {"socket", "a socket"},
        {"device-link", "a device"}, {"folder-link", "a folder"},
    };
    const auto before = FolderBytes(folder.File("paths"));
    for (const auto& [name, kind] : rows) {
        SCOPED_TRACE(name);
        const std::string path = folder.File("paths/") + name;
        const std::string said = path + ": " + kind + ", not a journal file";
        const DownloadResult result = Download(path, "COM3", "10.0.0.7");
        EXPECT_EQ(result.exitCode, kExitComplete);
        EXPECT_NE(result.journalError.find(said), std::string::npos) << result.journalError;
        std::string text;
        EXPECT_EQ(RunCli({"journal", "--journal", path}, &text), kExitBadArguments);
        EXPECT_NE(text.find(said), std::string::npos) << text;
        try {
            config::Journal::OpenForReading(path);
            ADD_FAILURE() << "read";
        } catch (const config::JournalError& error) {
            EXPECT_NE(std::string(error.what()).find(said), std::string::npos) << error.what();
        }
    }
    EXPECT_EQ(FolderBytes(folder.File("paths")), before);
    EXPECT_TRUE(std::filesystem::is_empty(folder.File("paths/folder")));
    ::close(sock);
}

// A journal another program keeps locked across a download's start and beyond the busy
// timeout at its end: the download runs at once, and once the lock is gone its row is
// written as the complete download it was, never as one that did not finish.
TEST(Journal, LockedJournalStillRecordsTheCompleteDownload) {
    TempFolder folder;
    const std::string path = folder.File("journal.sqlite");
    Download(path, "COM3", "10.0.0.7");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread holder([other] {
        std::this_thread::sleep_for(
            std::chrono::milliseconds(config::kJournalBusyTimeoutMs + 1000));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    });
    const DownloadResult result = Download(path, "COM4", "10.0.0.8");
    holder.join();
    EXPECT_EQ(result.exitCode, kExitComplete);
    EXPECT_EQ(result.journalError, "");
    const auto rows =
        config::Journal::OpenForReading(path)->List(Filter([](auto& f) { f.ip = "10.0.0.8"; }));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NE(rows[0].endedUtc, "");
    EXPECT_EQ(rows[0].end.outcome, "complete");
    EXPECT_EQ(rows[0].end.verdict, "Setup Complete");
}
