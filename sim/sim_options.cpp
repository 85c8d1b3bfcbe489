// comsetup-sim's command line, read by CLI11 as comsetup-cli's is; the values are checked
// here, so that each refusal names the option and what it takes.
#include "sim/sim_options.h"

#include <CLI/CLI.hpp>

#include <charconv>

namespace comsetup::sim {
namespace {

constexpr std::int64_t kMaxMs = 86'400'000; // one day

// Milliseconds: digits only, at most one day.
std::optional<std::int64_t> ParseMs(const std::string& text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 0 || value > kMaxMs)
        return std::nullopt;
    return value;
}

// The texts as given; empty where an option was not given.
struct GivenTexts {
    std::string firmware, fail, link, json, offTime, restartTime, idleTime, lan, bootTime, lanFail;
};

// The check of a value: an error text, or "" when it is taken.
std::string Apply(const CLI::App& app, const GivenTexts& given, SimOptions& o) {
    if (app.count("--firmware") > 0) {
        const auto f = ParseFirmware(given.firmware);
        if (!f)
            return "unknown firmware \"" + given.firmware + "\" (01.8 or V6.5.0.7)";
        o.model.firmware = *f;
    } else if (!o.help && !o.version) {
        return "--firmware is required (01.8 or V6.5.0.7)";
    }
    if (app.count("--fail") > 0) {
        const auto m = ParseFailMode(given.fail);
        if (!m)
            return "unknown failure mode \"" + given.fail + "\"";
        o.model.fail = *m;
    }
    if (app.count("--link") > 0 && given.link.empty())
        return "--link needs a path";
    if (app.count("--json") > 0 && given.json.empty())
        return "--json needs a file name";
    o.linkPath = given.link;
    o.jsonPath = given.json;
    const std::pair<const char*, const std::string*> times[] = {
        {"--off-time", &given.offTime},
        {"--restart-time", &given.restartTime},
        {"--idle-time", &given.idleTime}};
    for (const auto& [name, text] : times) {
        if (app.count(name) == 0)
            continue;
        const auto ms = ParseMs(*text);
        if (!ms)
            return std::string(name) + " needs milliseconds from 0 to " + std::to_string(kMaxMs) +
                   ", not \"" + *text + "\"";
        if (name == std::string("--off-time"))
            o.model.offTimeUs = *ms * 1000;
        else if (name == std::string("--restart-time"))
            o.model.restartTimeUs = *ms * 1000;
        else if (*ms == 0)
            return "--idle-time must be above 0";
        else
            o.model.idleTimeUs = *ms * 1000;
    }
    if (app.count("--lan") > 0 && given.lan.empty())
        return "--lan needs an interface name";
    o.lan.interface = given.lan;
    if (app.count("--boot-time") > 0) {
        const auto ms = ParseMs(given.bootTime);
        if (!ms)
            return "--boot-time needs milliseconds from 0 to " + std::to_string(kMaxMs) +
                   ", not \"" + given.bootTime + "\"";
        o.lan.bootTime = std::chrono::milliseconds(*ms);
    }
    if (app.count("--lan-fail") > 0) {
        if (given.lanFail == "silent")
            o.lan.fail = LanFail::Silent;
        else if (given.lanFail == "wrong-subnet")
            o.lan.fail = LanFail::WrongSubnet;
        else
            return "unknown LAN failure \"" + given.lanFail + "\" (silent or wrong-subnet)";
    }
    if ((app.count("--boot-time") > 0 || app.count("--lan-fail") > 0) && o.lan.interface.empty())
        return "--boot-time and --lan-fail need --lan IFACE";
    if (o.spin)
        o.realtime = false; // a spinning real-time task would starve the kernel's pty work
    return {};
}

} // namespace

std::string SimUsage() {
    return "usage: comsetup-sim --firmware 01.8|V6.5.0.7 [--link PATH] [--off-time MS]\n"
           "                    [--json FILE] [--fail MODE] [--once] [--quiet]\n"
           "                    [--restart-time MS] [--idle-time MS] [--no-realtime] [--spin]\n"
           "                    [--lan IFACE [--boot-time MS] [--lan-fail MODE]]\n"
           "       comsetup-sim --help | --version\n"
           "Serves a converter stand-in on a pseudo-terminal and prints its path first.\n"
           "  --firmware V     firmware version shown in the banner (01.8 or V6.5.0.7)\n"
           "  --link PATH      create the symlink PATH to the pseudo-terminal\n"
           "  --off-time MS    switched-off period from the first byte (default 2000)\n"
           "  --restart-time MS silence after \"9\" before the restart answer (default 2400)\n"
           "  --idle-time MS   silence that abandons a session (default 10000)\n"
           "  --json FILE      write every session and received byte to FILE\n"
           "  --fail MODE      none | short | unknown-firmware | garbage | no-restart |\n"
           "                   no-exit-without | flood | vanish\n"
           "  --once           exit when the first session ends\n"
           "  --quiet          no event log on stderr\n"
           "  --no-realtime    do not ask for a real-time priority (asked by default, so\n"
           "                   that received bytes are timestamped as they arrive)\n"
           "  --spin           watch the line without sleeping: each byte is stamped\n"
           "                   within microseconds of its arrival, at the cost of a core\n"
           "                   (for measuring pauses; implies --no-realtime)\n"
           "  --lan IFACE      after a complete download, come up on the network interface\n"
           "                   IFACE at the address and prefix written, listening on the\n"
           "                   local port written (needs CAP_NET_ADMIN: run it only in a\n"
           "                   network namespace of its own)\n"
           "  --boot-time MS   time from the download's end to the address (default 1000)\n"
           "  --lan-fail MODE  silent (never comes up) | wrong-subnet (comes up in the\n"
           "                   neighbouring subnet)\n";
}

ParseResult ParseSimOptions(const std::vector<std::string>& args) {
    SimOptions o;
    GivenTexts given;
    bool noRealtime = false;
    CLI::App app;
    app.set_help_flag(); // --help is an answer of its own (SimUsage), not CLI11's page
    app.allow_extras();
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_flag("-h,--help", o.help);
    app.add_flag("--version", o.version);
    app.add_flag("--once", o.once);
    app.add_flag("--quiet", o.quiet);
    app.add_flag("--no-realtime", noRealtime);
    app.add_flag("--spin", o.spin);
    app.add_option("--firmware", given.firmware);
    app.add_option("--fail", given.fail);
    app.add_option("--link", given.link);
    app.add_option("--json", given.json);
    app.add_option("--off-time", given.offTime);
    app.add_option("--restart-time", given.restartTime);
    app.add_option("--idle-time", given.idleTime);
    app.add_option("--lan", given.lan);
    app.add_option("--boot-time", given.bootTime);
    app.add_option("--lan-fail", given.lanFail);
    std::vector<std::string> reversed(args.rbegin(), args.rend()); // CLI11 takes them so
    try {
        app.parse(reversed);
    } catch (const CLI::ArgumentMismatch& error) {
        // "--firmware: 1 required TEXT missing": the option that came without its value.
        const std::string what = error.what();
        return {std::nullopt, what.substr(0, what.find(':')) + " needs a value"};
    } catch (const CLI::ParseError& error) {
        return {std::nullopt, error.what()};
    }
    if (const auto extras = app.remaining(); !extras.empty())
        return {std::nullopt, "unknown argument \"" + extras.front() + "\""};
    o.realtime = !noRealtime;
    if (std::string error = Apply(app, given, o); !error.empty())
        return {std::nullopt, error};
    return {o, {}};
}

} // namespace comsetup::sim
