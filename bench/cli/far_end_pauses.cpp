// Far-end pause precision of a download run elsewhere (comsetup-cli.exe under Wine, say): the
// stand-in's JSON (its byte arrival times) is lined up with the bytes the download's values
// call for, and each stated pause is compared with the gap the stand-in saw.
//
//   comsetup_far_end_pauses STAND_IN_JSON FIRMWARE download ARGS...
//     (ARGS: the same value options the download was given, e.g. --ip 10.20.30.40 --baud 38400)
#include "cli/arguments.h"
#include "pause_alignment.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace comsetup;

namespace {

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(i, values.size() - 1)];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s STAND_IN_JSON FIRMWARE download ARGS...\n", argv[0]);
        return 2;
    }
    const auto parsed = cli::ParseCommandLine(std::vector<std::string>(argv + 3, argv + argc));
    if (!parsed.arguments) {
        std::fprintf(stderr, "%s", parsed.err.c_str());
        return 2;
    }
    std::ifstream in(argv[1]);
    std::stringstream text;
    text << in.rdbuf();
    const auto doc = nlohmann::json::parse(text.str(), nullptr, false);
    if (!doc.is_object() || !doc.contains("sessions") || doc["sessions"].empty()) {
        std::fprintf(stderr, "%s: no session recorded\n", argv[1]);
        return 1;
    }
    std::vector<bench::TimedByte> received;
    for (const auto& b : doc["sessions"][0]["received"])
        received.push_back({b["t_us"].get<std::int64_t>(), b["byte"].get<std::uint8_t>()});
    const auto variant =
        std::string(argv[2]) == "01.8" ? FirmwareVariant::V01_8 : FirmwareVariant::V6_5_0_7;
    const auto plan = bench::PlanStream(config::ToSetupValues(parsed.arguments->setup), variant);
    std::vector<double> excesses;
    std::string why;
    if (!bench::PauseExcesses(plan, received, excesses, why) || excesses.empty()) {
        std::fprintf(stderr, "the stand-in's bytes do not match the download: %s\n", why.c_str());
        return 1;
    }
    const auto shorts =
        std::count_if(excesses.begin(), excesses.end(), [](double e) { return e < 0; });
    std::printf("far end: pauses %zu short %ld (least %.3f ms) excess median %.3f ms p99 %.3f ms "
                "max %.3f ms\n",
                excesses.size(), static_cast<long>(shorts),
                *std::min_element(excesses.begin(), excesses.end()), Percentile(excesses, 0.5),
                Percentile(excesses, 0.99), *std::max_element(excesses.begin(), excesses.end()));
    return 0;
}
