// The command line of comsetup-cli: subcommands download, dry-run, list-ports, batch, journal
// and sequence, and
// the setup values taken from defaults, then --config FILE, then the value options. Parsing
// does no I/O beyond reading the configuration file; the caller runs the command.
#pragma once

#include "cli/profile.h"
#include "config/lan_check.h"

#include <optional>
#include <string>
#include <vector>

namespace comsetup::cli {

enum class Command { Download, DryRun, ListPorts, Batch, Journal, Sequence };

// What the journal command does.
enum class JournalAction { List, Show, Export };

struct Arguments {
    Command command = Command::Download;
    SetupProfile setup;         // download, dry-run; sequence: the values a plan leaves out
    std::string firmware;       // dry-run: "01.8" or "V6.5.0.7"
    std::string saveConfigPath; // download, dry-run: write the values here first
    std::string logPath;        // download: the monitor log
    std::string logDir;         // batch: one monitor log per download
    std::string batchPath;      // batch: the list of downloads
    std::string planPath;       // sequence: the CSV plan
    bool all = false;           // sequence: run rows done before too
    bool reuseIp = false;       // sequence: write addresses used before without asking
    std::string journalPath;    // download, batch, journal: the journal ("": the default place)
    bool noJournal = false;     // download, batch: record nothing
    JournalAction journalAction = JournalAction::List;
    std::string since, ip, port, outcome; // journal: filters of the listing
    int limit = -1;       // journal: newest rows listed (0: all; -1: 50, or all for export)
    long long showId = 0; // journal show
    std::string csvPath;  // journal export --csv
    bool json = false;    // machine-readable result on standard output
    bool plain = false;   // plain progress lines even on a terminal

    config::LanCheckOptions lan; // download, batch, sequence: --lan-check, --lan-wait
};

// Result of parsing: either arguments to run, or an exit code with text to print (help,
// or the message of a bad argument).
struct ParsedCommandLine {
    std::optional<Arguments> arguments;
    int exitCode = 0;
    std::string out; // for standard output (help)
    std::string err; // for standard error (the message of a bad argument)
};

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args); // without argv[0]

} // namespace comsetup::cli
