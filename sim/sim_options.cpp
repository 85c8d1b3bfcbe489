#include "sim/sim_options.h"

#include <charconv>

namespace comsetup::sim {
namespace {

// Milliseconds: digits only, at most one day.
std::optional<std::int64_t> ParseMs(const std::string& text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 0 || value > 86'400'000)
        return std::nullopt;
    return value;
}

} // namespace

std::string SimUsage() {
    return "usage: comsetup-sim --firmware 01.8|V6.5.0.7 [--link PATH] [--off-time MS]\n"
           "                    [--json FILE] [--fail MODE] [--once] [--quiet]\n"
           "                    [--restart-time MS] [--idle-time MS] [--no-realtime] [--spin]\n"
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
           "                   (for measuring pauses; implies --no-realtime)\n";
}

ParseResult ParseSimOptions(const std::vector<std::string>& args) {
    SimOptions o;
    bool firmwareGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--once") {
            o.once = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--no-realtime") {
            o.realtime = false;
        } else if (a == "--spin") {
            o.spin = true;
            o.realtime = false; // a spinning real-time task would starve the kernel's pty work
        } else if (a == "--firmware" || a == "--link" || a == "--json" || a == "--fail" ||
                   a == "--off-time" || a == "--restart-time" || a == "--idle-time") {
            if (!value(v))
                return {std::nullopt, a + " needs a value"};
            if (a == "--firmware") {
                const auto f = ParseFirmware(v);
                if (!f)
                    return {std::nullopt, "unknown firmware \"" + v + "\" (01.8 or V6.5.0.7)"};
                o.model.firmware = *f;
                firmwareGiven = true;
            } else if (a == "--fail") {
                const auto m = ParseFailMode(v);
                if (!m)
                    return {std::nullopt, "unknown failure mode \"" + v + "\""};
                o.model.fail = *m;
            } else if (a == "--link") {
                if (v.empty())
                    return {std::nullopt, "--link needs a path"};
                o.linkPath = v;
            } else if (a == "--json") {
                if (v.empty())
                    return {std::nullopt, "--json needs a file name"};
                o.jsonPath = v;
            } else {
                const auto ms = ParseMs(v);
                if (!ms)
                    return {std::nullopt,
                            a + " needs milliseconds from 0 to 86400000, not \"" + v + "\""};
                if (a == "--off-time")
                    o.model.offTimeUs = *ms * 1000;
                else if (a == "--restart-time")
                    o.model.restartTimeUs = *ms * 1000;
                else if (*ms == 0)
                    return {std::nullopt, "--idle-time must be above 0"};
                else
                    o.model.idleTimeUs = *ms * 1000;
            }
        } else {
            return {std::nullopt, "unknown argument \"" + a + "\""};
        }
    }
    if (!firmwareGiven && !o.help && !o.version)
        return {std::nullopt, "--firmware is required (01.8 or V6.5.0.7)"};
    return {o, {}};
}

} // namespace comsetup::sim
