// Plans run in series against the stand-in's model in virtual time, with a real SQLite journal
// in a temporary folder: a failing unit offered again, rows done skipped on the next run, the
// plan's state read back, addresses written before named, and an older journal carried on.
#include "model_converter.h"
#include "tests/support/child_process.h"

#include "cli/exit_codes.h"
#include "cli/sequence.h"
#include "config/journal.h"
#include "config/plan_journal.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <deque>
#include <fstream>
#include <map>
#include <memory>

using namespace comsetup::cli;
using comsetup::test::ModelConverter;
using comsetup::test::TempFolder;
namespace config = comsetup::config;
namespace sim = comsetup::sim;

namespace {

const char* const kPlanText = "ip,mode,peer\n"
                              "10.0.0.1,point-to-point,pair\n"
                              "10.0.0.2,point-to-point,pair\n"
                              "10.0.0.3,remote-com,\n";

// A sequence driven as through a pipe: the given lines, then the end of the input. Each
// attempt gets its own converter, failing as fails says for (row, attempt).
struct PipedRun {
    PipedRun(const std::string& journal, std::deque<std::string> input,
             std::map<std::pair<std::size_t, int>, sim::FailMode> fails = {})
        : lines(std::move(input)) {
        options.readLine = [this]() -> std::optional<std::string> {
            if (lines.empty()) {
                return std::nullopt;
            }
            std::string line = lines.front();
            lines.pop_front();
            return line;
        };
        options.progressOut = &progress;
        options.journalPath = journal;
        options.lineFor = [this, fails](std::size_t row, int attempt) {
            const auto fail = fails.find({row, attempt});
            converters.push_back(std::make_unique<ModelConverter>(
                sim::Firmware::V01_8, fail == fails.end() ? sim::FailMode::Healthy : fail->second));
            return converters.back()->Line();
        };
    }
    SequenceResult operator()(const config::Plan& plan) { return RunSequence(plan, options); }

    std::deque<std::string> lines;
    std::ostringstream progress;
    SequenceOptions options;
    std::vector<std::unique_ptr<ModelConverter>> converters;
};

std::vector<RowVerdict> Verdicts(const SequenceResult& result) {
    std::vector<RowVerdict> verdicts;
    for (const auto& row : result.rows) {
        verdicts.push_back(row.verdict);
    }
    return verdicts;
}

TEST(Sequence, FailedUnitIsRetriedAndDoneRowsAreSkippedNextTime) {
    TempFolder folder;
    const std::string journal = folder.File("journal.sqlite");
    const config::Plan plan = config::ParsePlan(kPlanText, "units.csv", config::SetupProfile{});

    // Unit 2 fails once (firmware not recognised), is retried and completes; then "q".
    PipedRun first(journal, {"", "", "", "q"}, {{{1, 0}, sim::FailMode::UnknownFirmware}});
    const SequenceResult stopped = first(plan);
    EXPECT_EQ(Verdicts(stopped),
              (std::vector{RowVerdict::Done, RowVerdict::Done, RowVerdict::NotRun}));
    EXPECT_EQ(stopped.rows[1].attempts, 2);
    EXPECT_EQ(SequenceExitCode(stopped), kExitCancelled);
    const std::string said = first.progress.str();
    EXPECT_NE(said.find("Connect converter 2 of 3 (10.0.0.2) and switch it off and on, then "
                        "press Enter"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("Converter 2 (10.0.0.2) failed: firmware-unknown"), std::string::npos);
    EXPECT_NE(said.find("Retry? [Y/n]"), std::string::npos);
    EXPECT_NE(said.find("Stopped before converter 3."), std::string::npos);
    // The pair's peers reached the converters.
    EXPECT_EQ(first.converters[0]->Session()["config"]["remote"], "10.0.0.2");

    // The journal tells the wizard's plan window the same.
    const auto states = config::PlanRowStates(*config::Journal::Open(journal), plan);
    EXPECT_EQ(states, (std::vector{config::RowState::Done, config::RowState::Done,
                                   config::RowState::NotTried}));
    EXPECT_EQ(config::FirstRowNotDone(states), 2u);

    // Resumed: rows 1 and 2 are skipped without asking for Enter; row 3 fails and is given
    // up ("n").
    PipedRun second(journal, {"", "n"}, {{{2, 0}, sim::FailMode::UnknownFirmware}});
    const SequenceResult resumed = second(plan);
    EXPECT_EQ(Verdicts(resumed),
              (std::vector{RowVerdict::DoneBefore, RowVerdict::DoneBefore, RowVerdict::Failed}));
    EXPECT_EQ(second.converters.size(), 1u);
    EXPECT_EQ(SequenceExitCode(resumed), kExitFirmwareUnknown);
    EXPECT_NE(second.progress.str().find("Converter 1 (10.0.0.1) is done already"),
              std::string::npos);
    const std::string table = SequenceTable(resumed);
    EXPECT_NE(table.find("3    10.0.0.3  failed"), std::string::npos) << table;
    EXPECT_NE(table.find("2 of 3 converters done"), std::string::npos) << table;
    EXPECT_EQ(config::PlanRowStates(*config::Journal::Open(journal), plan)[2],
              config::RowState::Failed);

    const auto json = SequenceJson(plan, resumed);
    EXPECT_EQ(json["rows"][2]["result"], "failed");
    EXPECT_EQ(json["rows"][2]["download"]["exit_code"], kExitFirmwareUnknown);
    EXPECT_EQ(json["plan_id"], plan.id);

    // --all runs the rows done too (their addresses allowed again); q at the retry question
    // stops the plan there.
    PipedRun third(journal, {"", "q"}, {{{0, 0}, sim::FailMode::UnknownFirmware}});
    third.options.all = true;
    third.options.reuseIp = true;
    const SequenceResult again = third(plan);
    EXPECT_EQ(Verdicts(again),
              (std::vector{RowVerdict::Failed, RowVerdict::NotRun, RowVerdict::NotRun}));
    EXPECT_NE(third.progress.str().find("use it again? yes (--reuse-ip)"), std::string::npos);
    EXPECT_EQ(config::PlanRowStates(*config::Journal::Open(journal), plan)[0],
              config::RowState::Failed);

    // A row added to the plan leaves the rows done before as they were.
    const config::Plan edited =
        config::ParsePlan(std::string(kPlanText) + "10.0.0.4,remote-com,\n", "units.csv", {});
    EXPECT_EQ(config::PlanRowStates(*config::Journal::Open(journal), edited),
              (std::vector{config::RowState::Failed, config::RowState::Done,
                           config::RowState::Failed, config::RowState::NotTried}));
}

// Rows are known by their values: an edited row is written again and the others stay done,
// whichever front end resumes (both take config::RowsToRun), with rows recorded under the
// plan's older id (its name and a hash of the whole text) counted by their values too.
TEST(Sequence, AnEditedRowIsWrittenAgainAndTheOthersStayDone) {
    TempFolder folder;
    const std::string journal = folder.File("journal.sqlite");
    const char* const text = "ip,mode,baud\n10.0.0.1,remote-com,9600\n10.0.0.2,remote-com,9600\n"
                             "10.0.0.3,remote-com,9600\n";
    const config::Plan plan = config::ParsePlan(text, "units.csv", {});
    PipedRun first(journal, {"", "", ""});
    EXPECT_EQ(SequenceExitCode(first(plan)), kExitComplete);
    // Row 3 as an older version recorded it.
    {
        sqlite3* db = nullptr;
        sqlite3_open(journal.c_str(), &db);
        sqlite3_exec(db, "UPDATE downloads SET plan = 'units.csv:8c1f0e5a93b2d407' WHERE id = 3",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    const config::Plan edited =
        config::ParsePlan("ip,mode,baud\n10.0.0.1,remote-com,9600\n10.0.0.2,remote-com,19200\n"
                          "10.0.0.3,remote-com,9600\n",
                          "units.csv", {});
    const auto states = config::PlanRowStates(*config::Journal::Open(journal), edited);
    EXPECT_EQ(states, (std::vector{config::RowState::Done, config::RowState::NotTried,
                                   config::RowState::Done}));
    EXPECT_EQ(config::RowsToRun(states), std::vector<std::size_t>{1});
    EXPECT_EQ(config::RowsToRun(states, true), (std::vector<std::size_t>{0, 1, 2}));
    // Another plan of the same name in another folder is the same plan; one of another name
    // has nothing done.
    EXPECT_EQ(config::PlanRowStates(*config::Journal::Open(journal),
                                    config::ParsePlan(text, "elsewhere/units.csv", {})),
              std::vector(3, config::RowState::Done));
    EXPECT_EQ(config::PlanRowStates(*config::Journal::Open(journal),
                                    config::ParsePlan(text, "units-b.csv", {})),
              std::vector(3, config::RowState::NotTried));

    // Only the edited row runs; its address, written before, is asked about once.
    PipedRun second(journal, {"y", ""});
    second.options.inputIsTerminal = true;
    const SequenceResult resumed = second(edited);
    EXPECT_EQ(Verdicts(resumed),
              (std::vector{RowVerdict::DoneBefore, RowVerdict::Done, RowVerdict::DoneBefore}));
    ASSERT_EQ(second.converters.size(), 1u);
    EXPECT_EQ(second.converters[0]->Session()["config"]["baud"], "19200");
}

// The address question is asked once for the plan, naming every address; a "no" skips
// those rows and writes the others.
TEST(Sequence, TheReuseQuestionIsAskedOnceAndNoSkipsThoseRows) {
    TempFolder folder;
    const std::string journal = folder.File("journal.sqlite");
    PipedRun before(journal, {"", ""});
    before(config::ParsePlan("ip\n10.0.0.1\n10.0.0.3\n", "old.csv", {}));

    const config::Plan plan =
        config::ParsePlan("ip\n10.0.0.1\n10.0.0.2\n10.0.0.3\n", "new.csv", {});
    PipedRun run(journal, {"n", ""});
    run.options.inputIsTerminal = true;
    const SequenceResult result = run(plan);
    const std::string said = run.progress.str();
    EXPECT_NE(said.find("These addresses were written to converters before:\n10.0.0.1 (row 1) on "),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("\n10.0.0.3 (row 3) on "), std::string::npos) << said;
    EXPECT_NE(said.find("Use them again? No skips those rows. [y/N] "), std::string::npos) << said;
    EXPECT_EQ(Verdicts(result),
              (std::vector{RowVerdict::Skipped, RowVerdict::Done, RowVerdict::Skipped}));
    ASSERT_EQ(run.converters.size(), 1u);
    EXPECT_EQ(run.converters[0]->Session()["config"]["ip"], "10.0.0.2");
    EXPECT_EQ(SequenceExitCode(result), kExitCancelled);
    EXPECT_NE(SequenceTable(result).find("1    10.0.0.1  skipped"), std::string::npos)
        << SequenceTable(result);
}

// Addresses written before are named; without a terminal they are refused unless allowed,
// and nothing is sent.
TEST(Sequence, AddressesWrittenBeforeAreAskedAboutOrRefused) {
    const config::Plan plan = config::ParsePlan(kPlanText, "units.csv", config::SetupProfile{});
    // 10.0.0.2 written to a converter; 10.0.0.3 tried without an answer (no question).
    const auto seed = [](const std::string& path) {
        const auto j = config::Journal::Open(path);
        config::JournalStart start{"comsetup", "3", "/dev/ttyS0", {}, "", "", 0};
        start.setup.ip = {10, 0, 0, 2};
        config::JournalEnd end;
        end.outcome = "complete";
        j->Finish(j->Begin(start), end);
        start.setup.ip = {10, 0, 0, 3};
        end.outcome = "no-answer";
        j->Finish(j->Begin(start), end);
        // "2026-12-07T10:14:03Z" -> "2026-12-07 10:14"
        return "10.0.0.2 was written to a converter on " +
               j->Get(1)->endedUtc.substr(0, 16).replace(10, 1, " ") + "; use it again?";
    };

    struct Case {
        bool terminal;
        bool reuseIp;
        std::deque<std::string> input;
        bool runs;
        bool unreadable = false; // a journal that cannot be read: the guard cannot look
        std::size_t written = 3; // units written when it runs
    };
    const Case cases[] = {
        {false, false, {"", "", ""}, false},          {false, true, {"", "", ""}, true},
        {true, false, {"N", "", ""}, true, false, 2}, // 10.0.0.2's row skipped
        {true, false, {"y", "", "", ""}, true},       {true, false, {"y", "", "", ""}, false, true},
        {false, true, {"", "", ""}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.terminal) + std::to_string(c.reuseIp) +
                     std::to_string(c.unreadable));
        TempFolder folder;
        const std::string journal = folder.File("journal.sqlite");
        std::string question = "journal.sqlite: damaged";
        if (c.unreadable) {
            std::ofstream(journal) << std::string(8192, 'x');
        } else {
            question = seed(journal);
        }
        PipedRun run(journal, c.input);
        run.options.inputIsTerminal = c.terminal;
        run.options.reuseIp = c.reuseIp;
        const SequenceResult result = run(plan);
        EXPECT_NE((run.progress.str() + result.refused).find(question), std::string::npos)
            << run.progress.str() << result.refused;
        EXPECT_EQ(result.refused.empty(), c.runs) << result.refused;
        EXPECT_EQ(run.converters.size(), c.runs ? c.written : 0u);
        EXPECT_EQ(SequenceExitCode(result), !c.runs         ? kExitBadArguments
                                            : c.written < 3 ? kExitCancelled
                                                            : kExitComplete);
    }
}

// A journal of the second schema gains the plan columns; its rows stay readable and count as
// addresses written before.
TEST(Sequence, JournalOfTheSecondSchemaIsCarriedForward) {
    TempFolder folder;
    const std::string path = folder.File("v2.sqlite");
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        ASSERT_EQ(sqlite3_exec(
                      db,
                      "CREATE TABLE downloads (id INTEGER PRIMARY KEY, started_utc TEXT NOT NULL,"
                      " ended_utc TEXT, front_end TEXT NOT NULL, version TEXT NOT NULL,"
                      " port TEXT NOT NULL, device TEXT NOT NULL, mode TEXT NOT NULL,"
                      " master INTEGER NOT NULL, ip TEXT NOT NULL, mask TEXT NOT NULL,"
                      " local_port INTEGER NOT NULL, gateway TEXT, baud INTEGER NOT NULL,"
                      " parity TEXT NOT NULL, stop_bits TEXT NOT NULL, flow TEXT NOT NULL,"
                      " peer TEXT NOT NULL, peer_sent TEXT, firmware TEXT, verdict TEXT,"
                      " outcome TEXT, exit_code INTEGER, cause TEXT, written TEXT, log TEXT);"
                      "CREATE INDEX downloads_ip ON downloads (ip);"
                      "CREATE INDEX downloads_started ON downloads (started_utc);"
                      "INSERT INTO downloads VALUES (1, '2026-12-07T10:13:40Z',"
                      " '2026-12-07T10:14:22Z', 'comsetup-cli', '1.0', 'COM3', '/dev/ttyS2',"
                      " 'remote-com', 0, '192.168.1.203', '255.255.255.0', 10001, NULL, 9600,"
                      " 'none', '1', 'none', '192.168.1.201', NULL, '01.8', 'Setup Complete',"
                      " 'complete', 0, NULL, 'w', 'log');"
                      "PRAGMA user_version = 2;",
                      nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    const auto journal = config::Journal::Open(path);
    const auto row = journal->Get(1);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->start.plan, "");
    EXPECT_EQ(row->start.planRow, 0);
    EXPECT_EQ(row->end.verdict, "Setup Complete");
    const config::Plan plan = config::ParsePlan("ip\n192.168.1.203\n", "p.csv", {});
    const auto used = config::AddressesUsedBefore(*journal, plan, {0});
    ASSERT_EQ(used.size(), 1u);
    EXPECT_EQ(used[0].question,
              "192.168.1.203 was written to a converter on 2026-12-07 10:14; use it again?");
    EXPECT_EQ(config::PlanRowStates(*journal, plan), std::vector{config::RowState::NotTried});
}

} // namespace
