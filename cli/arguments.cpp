// Command line of comsetup-cli, built on CLI11. The value options are kept as texts and
// parsed by the same functions as the JSON files, so messages name the option and list the
// accepted values whichever way a value came in.
#include "cli/arguments.h"

#include "cli/exit_codes.h"
#include "cli/platform.h"
#include "cli/profile.h"

#include <CLI/CLI.hpp>

#include "config/journal_query.h"
#include "core/plain_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <sstream>

namespace comsetup::cli {

namespace {

const char* const kFirmwareNames[] = {"01.8", "V6.5.0.7"};
const std::string kCommandNames[] = {"download", "dry-run", "list-ports",
                                     "batch",    "journal", "sequence"};

// --journal FILE and --no-journal of the commands that record.
void AddJournalOptions(CLI::App& command, Arguments& parsed) {
    command
        .add_option("--journal", parsed.journalPath,
                    "record the download in this journal file instead of the default one "
                    "(COMSETUP_JOURNAL, else the user's data folder)")
        ->type_name("FILE");
    command.add_flag("--no-journal", parsed.noJournal, "record nothing in the journal");
}

// --lan-check[=MODE] and --lan-wait SECONDS of the commands that download. One set of texts
// serves them all: only one command is parsed.
struct LanOptionTexts {
    std::string mode; // "" when not given
    std::string wait;

    void AddTo(CLI::App& command) {
        command.add_flag("--lan-check{on}", mode,
                         "check the converter's address on this PC's network: before the "
                         "write, is it on a local subnet and does something answer there "
                         "already; after \"Setup Complete\", wait for the converter to answer "
                         "at it. --lan-check=strict refuses an address off this PC's networks or "
                         "already answering (exit 2, nothing sent) and ends with exit 10 when "
                         "the converter is not found. Sends packets only with this option, and "
                         "only to an address on one of this PC's subnets");
        command
            .add_option("--lan-wait", wait,
                        "with --lan-check: how long to wait for the converter after the write "
                        "[default: 30]")
            ->type_name("SECONDS");
    }

    // Throws ValueError.
    void Apply(config::LanCheckOptions& lan) const {
        if (mode == "on" || mode == "strict") {
            lan.on = true;
            lan.strict = mode == "strict";
        } else if (!mode.empty() && mode != "off") {
            throw ValueError("--lan-check: \"" + mode +
                             "\" is not accepted; accepted values: on, strict, off");
        }
        if (!wait.empty()) {
            int seconds = -1;
            const auto [end, ec] = std::from_chars(wait.data(), wait.data() + wait.size(), seconds);
            if (ec != std::errc() || end != wait.data() + wait.size() || seconds < 1 ||
                seconds > 3600) {
                throw ValueError("--lan-wait: \"" + wait +
                                 "\" is not accepted; give whole seconds from 1 to 3600");
            }
            if (!lan.on) {
                throw ValueError("--lan-wait needs --lan-check");
            }
            lan.wait = std::chrono::seconds(seconds);
        }
    }
};

const char* TypeName(const std::string& option) {
    if (option == "ip" || option == "mask" || option == "peer" || option == "gateway") {
        return "A.B.C.D";
    }
    if (option == "local-port" || option == "remote-port" || option == "baud" ||
        option == "stop-bits") {
        return "N";
    }
    return option == "port" ? "NAME" : "CHOICE";
}

// The value options of one subcommand, and where their texts land.
struct ValueOptions {
    std::map<std::string, std::string> texts; // option name -> text given
    std::map<std::string, CLI::Option*> options;
    bool master = false;
    CLI::Option* masterOption = nullptr;
    std::string configPath;
    CLI::Option* configOption = nullptr;

    void AddTo(CLI::App& command) {
        const SetupProfile defaults;
        configOption = command
                           .add_option("--config", configPath,
                                       "read the values from this JSON file first; options "
                                       "given here override them")
                           ->type_name("FILE");
        for (const auto& field : SetupFields()) {
            const std::string name = field.option;
            options[name] =
                command
                    .add_option("--" + name, texts[name],
                                field.help + " [default: " + FieldText(defaults, field) + "]")
                    ->type_name(TypeName(name));
        }
        masterOption = command.add_flag(
            "--master", master,
            "\"MASTER SIDE\" of a point-to-multipoint tunnel: the peer address becomes the "
            "broadcast address of the converter's network");
    }

    // Defaults, then the configuration file, then the options given. Throws ValueError.
    SetupProfile Collect() const {
        SetupProfile setup;
        if (configOption->count() > 0) {
            LoadSetupFile(configPath, setup);
        }
        for (const auto& field : SetupFields()) {
            const std::string name = field.option;
            if (options.at(name)->count() == 0) {
                continue;
            }
            try {
                field.apply(setup, texts.at(name));
            } catch (const ValueError& error) {
                throw ValueError("--" + name + ": " + error.what());
            }
        }
        if (masterOption->count() > 0) {
            setup.master = master;
        }
        if (std::string problem = CheckConsistency(setup); !problem.empty()) {
            // The rule names the key ("remote_port: ..."); the command line names its option.
            const auto keyEnd = std::min(problem.find(':'), problem.size());
            std::replace(problem.begin(), problem.begin() + static_cast<std::ptrdiff_t>(keyEnd),
                         '_', '-');
            throw ValueError("--" + problem);
        }
        return setup;
    }
};

// One subcommand of the command line: its CLI11 command, and what it sets in the arguments
// once it is the one given (throws ValueError for values that do not go together).
struct Subcommand {
    CLI::App* command;
    std::function<void(Arguments&)> finish;
};

void AddProgramOptions(CLI::App& app) {
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "help on every command");
    app.set_version_flag("--version", std::string("comsetup-cli ") + COMSETUP_VERSION,
                         "print the version and exit");
    app.footer("Exit codes: 0 setup complete, 1 error on setup, 2 bad arguments (nothing sent), "
               "3 port error, 4 no answer, 5 cancelled, 6 firmware not recognised, 7 setup "
               "complete but the log not written completely, 8 ended by SIGTERM or SIGHUP, 9 "
               "internal error, 10 setup complete, converter not found on the LAN "
               "(--lan-check=strict), 130 ended by a second Ctrl+C.\n" +
               std::string(PortNamesHelp()));
}

Subcommand AddDownload(CLI::App& app, Arguments& parsed, ValueOptions& values,
                       LanOptionTexts& lan) {
    auto* download = app.add_subcommand(
        "download", "write the setup into the converter on --port (switch it off and on "
                    "when asked)");
    values.AddTo(*download);
    download
        ->add_option("--save-config", parsed.saveConfigPath,
                     "write the values to this JSON file before the download")
        ->type_name("FILE");
    download->add_option("--log", parsed.logPath, "write the monitor log to this file")
        ->type_name("FILE");
    download->add_flag("--json", parsed.json,
                       "print the result as JSON on standard output (progress goes to "
                       "standard error)");
    download->add_flag("--plain", parsed.plain, "plain progress lines, no live line");
    AddJournalOptions(*download, parsed);
    lan.AddTo(*download);
    return {download, [&values, &lan](Arguments& a) {
                a.command = Command::Download;
                a.setup = values.Collect();
                lan.Apply(a.lan);
            }};
}

Subcommand AddDryRun(CLI::App& app, Arguments& parsed, ValueOptions& values) {
    auto* dryRun = app.add_subcommand(
        "dry-run", "print the bytes and pauses a download would send, and the total time, "
                   "without a port");
    values.AddTo(*dryRun);
    dryRun->add_option("--firmware", parsed.firmware, "firmware of the converter: 01.8 or V6.5.0.7")
        ->type_name("VERSION")
        ->required();
    dryRun->add_option("--save-config", parsed.saveConfigPath, "write the values to this JSON file")
        ->type_name("FILE");
    return {dryRun, [&values](Arguments& a) {
                a.command = Command::DryRun;
                if (a.firmware != kFirmwareNames[0] && a.firmware != kFirmwareNames[1]) {
                    throw ValueError("--firmware: \"" + a.firmware +
                                     "\" is not accepted; accepted values: 01.8, V6.5.0.7");
                }
                a.setup = values.Collect();
            }};
}

Subcommand AddListPorts(CLI::App& app, Arguments& parsed) {
    auto* listPorts = app.add_subcommand(
        "list-ports", "list the serial devices found and the device each COM name opens");
    listPorts->add_flag("--json", parsed.json, "print the list as JSON");
    return {listPorts, [](Arguments& a) { a.command = Command::ListPorts; }};
}

Subcommand AddBatch(CLI::App& app, Arguments& parsed, LanOptionTexts& lan) {
    auto* batch = app.add_subcommand(
        "batch", "run several downloads at once, each on its own port with its own values, "
                 "and print a table of the results");
    batch
        ->add_option("FILE", parsed.batchPath,
                     "JSON array of downloads, each an object like a --config file with a "
                     "\"port\"")
        ->required();
    batch
        ->add_option("--log-dir", parsed.logDir,
                     "write each download's monitor log into this folder")
        ->type_name("DIR");
    batch->add_flag("--json", parsed.json, "print the results as JSON on standard output");
    AddJournalOptions(*batch, parsed);
    lan.AddTo(*batch);
    return {batch, [&lan](Arguments& a) {
                a.command = Command::Batch;
                lan.Apply(a.lan);
            }};
}

// The journal command's texts as given, checked when the command is finished: each refusal is
// one sentence naming the option.
struct JournalTexts {
    std::string since, ip, outcome, limit, showId;
};

// A whole number within 0..max, digits only; nothing otherwise.
std::optional<long long> Count(const std::string& text, long long max) {
    const std::string digits = Trim(text);
    if (digits.empty() || digits.size() > 18 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const long long value = std::stoll(digits);
    return value <= max ? std::optional<long long>(value) : std::nullopt;
}

Subcommand AddJournal(CLI::App& app, Arguments& parsed, JournalTexts& texts) {
    auto* journal = app.add_subcommand(
        "journal", "list the downloads recorded in the journal, newest first (show ID: one "
                   "with its log; export: all of them as CSV or JSON)");
    journal->add_option("--journal", parsed.journalPath, "the journal file to read")
        ->type_name("FILE");
    journal
        ->add_option("--since", texts.since,
                     "only downloads started on or after this date or time, in local time "
                     "(2026-12-07, 2026-12-07T10:00)")
        ->type_name("DATE");
    journal->add_option("--ip", texts.ip, "only downloads that wrote this address")
        ->type_name("A.B.C.D");
    journal->add_option("--port", parsed.port, "only downloads on this port")->type_name("NAME");
    journal
        ->add_option("--verdict", texts.outcome,
                     "only downloads with this outcome: " + JoinAccepted(JournalOutcomes()))
        ->type_name("OUTCOME");
    journal->add_option("--limit", texts.limit, "at most this many rows (0: all; default 50)")
        ->type_name("N");
    journal->add_flag("--json", parsed.json, "print the rows as JSON");
    auto* show = journal->add_subcommand("show", "print one download with its monitor log");
    show->fallthrough(); // the journal's options may follow the action too
    show->add_option("ID", texts.showId, "the download's number in the listing")->required();
    show->add_flag("--json", parsed.json, "print it as JSON");
    auto* exportRows = journal->add_subcommand(
        "export", "write the downloads (with the filters above) as CSV or JSON");
    exportRows->fallthrough();
    exportRows
        ->add_option("--csv", parsed.csvPath,
                     "write a CSV file with a header row (RFC 4180, opens in a spreadsheet)")
        ->type_name("FILE");
    exportRows->add_flag("--json", parsed.json, "print them as JSON on standard output");
    return {journal, [show, exportRows, &texts, journal](Arguments& a) {
                a.command = Command::Journal;
                const auto given = [journal](const char* option) {
                    return journal->get_option(option)->count() > 0;
                };
                try {
                    if (given("--since")) {
                        a.since = SinceUtc(texts.since);
                    }
                } catch (const ValueError& error) {
                    throw ValueError(std::string("journal --since: ") + error.what());
                }
                if (given("--ip")) {
                    try {
                        a.ip = FormatIpv4(ParseIpv4(texts.ip));
                    } catch (const ValueError& error) {
                        throw ValueError(std::string("journal --ip: ") + error.what());
                    }
                }
                if (given("--verdict")) {
                    try {
                        a.outcome = ParseOutcome(texts.outcome);
                    } catch (const ValueError& error) {
                        throw ValueError(std::string("journal --verdict: ") + error.what());
                    }
                }
                if (given("--limit")) {
                    const auto limit = Count(texts.limit, 1000000000);
                    if (!limit) {
                        throw ValueError("journal --limit: " + QuoteForMessage(texts.limit) +
                                         " is not a number of rows; give a whole number, 0 for "
                                         "all of them");
                    }
                    a.limit = static_cast<int>(*limit);
                }
                if (show->parsed()) {
                    a.journalAction = JournalAction::Show;
                    const auto id = Count(texts.showId, std::numeric_limits<std::int64_t>::max());
                    if (!id || *id == 0) {
                        throw ValueError("journal show: " + QuoteForMessage(texts.showId) +
                                         " is not a download's number; give the number the "
                                         "listing shows in its ID column, such as 12");
                    }
                    a.showId = *id;
                } else if (exportRows->parsed()) {
                    a.journalAction = JournalAction::Export;
                    if (a.csvPath.empty() == !a.json) {
                        throw ValueError("journal export: give --csv FILE or --json");
                    }
                }
            }};
}

Subcommand AddSequence(CLI::App& app, Arguments& parsed, ValueOptions& values,
                       LanOptionTexts& lan) {
    auto* sequence = app.add_subcommand(
        "sequence", "set up the converters of a CSV plan one after another on --port, waiting "
                    "for Enter between units; rows done before (journal) are skipped");
    values.AddTo(*sequence);
    sequence
        ->add_option("--plan", parsed.planPath,
                     "CSV plan: a header row naming the keys of a --config file (and group), "
                     "then one row per converter; the values it leaves out come from --config "
                     "and the options")
        ->type_name("FILE")
        ->required();
    sequence->add_flag("--all", parsed.all, "run the rows done before too");
    sequence->add_flag("--reuse-ip", parsed.reuseIp,
                       "write addresses the journal has as written to a converter before "
                       "without asking (needed when standard input is no terminal)");
    sequence
        ->add_option("--log-dir", parsed.logDir,
                     "write each attempt's monitor log into this folder (row004-1.log)")
        ->type_name("DIR");
    sequence->add_flag("--json", parsed.json,
                       "print the results as JSON on standard output (prompts and progress go "
                       "to standard error)");
    sequence->add_flag("--plain", parsed.plain, "plain progress lines, no live line");
    AddJournalOptions(*sequence, parsed);
    lan.AddTo(*sequence);
    return {sequence, [&values, &lan](Arguments& a) {
                lan.Apply(a.lan);
                a.command = Command::Sequence;
                if (values.options.at("port")->count() == 0) {
                    throw ValueError("sequence: --port is required (every converter of the "
                                     "plan is set up on it)");
                }
                a.setup = values.Collect();
            }};
}

// A missing or unknown command, said before CLI11 would answer with its whole help.
std::optional<std::string> CommandError(const std::vector<std::string>& args) {
    const std::string commands = "download, dry-run, list-ports, batch, journal, sequence";
    if (args.empty()) {
        return "comsetup-cli: a command is required: " + commands + " (--help tells more)\n";
    }
    if (!args[0].empty() && args[0][0] != '-' &&
        std::find(std::begin(kCommandNames), std::end(kCommandNames), args[0]) ==
            std::end(kCommandNames)) {
        return "comsetup-cli: unknown command \"" + args[0] + "\"; accepted commands: " + commands +
               "\n";
    }
    return std::nullopt;
}

} // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CLI::App app{"comsetup-cli: writes a setup into an Ethernet-to-RS232/485 converter "
                 "through a serial port, without a GUI",
                 "comsetup-cli"};
    AddProgramOptions(app);
    Arguments parsed;
    ValueOptions downloadValues;
    ValueOptions dryRunValues;
    ValueOptions sequenceValues;
    JournalTexts journalTexts;
    LanOptionTexts lan;
    // In the order --help lists them.
    const Subcommand subcommands[] = {AddDownload(app, parsed, downloadValues, lan),
                                      AddDryRun(app, parsed, dryRunValues),
                                      AddListPorts(app, parsed),
                                      AddBatch(app, parsed, lan),
                                      AddJournal(app, parsed, journalTexts),
                                      AddSequence(app, parsed, sequenceValues, lan)};

    ParsedCommandLine result;
    if (auto error = CommandError(args)) {
        result.err = *error;
        result.exitCode = kExitBadArguments;
        return result;
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend()); // CLI11 takes them reversed
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        std::ostringstream out;
        std::ostringstream err;
        const int code = app.exit(error, out, err);
        result.out = out.str();
        result.err = err.str();
        result.exitCode = code == 0 ? kExitComplete : kExitBadArguments;
        return result;
    }
    try {
        for (const Subcommand& subcommand : subcommands) {
            if (subcommand.command->parsed()) {
                subcommand.finish(parsed);
            }
        }
    } catch (const ValueError& error) {
        result.err = std::string("comsetup-cli: ") + error.what() + "\n";
        result.exitCode = kExitBadArguments;
        return result;
    }
    result.arguments = parsed;
    return result;
}

} // namespace comsetup::cli
