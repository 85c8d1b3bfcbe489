// comsetup-sim: a converter stand-in on a pseudo-terminal, for demos, tests and benchmarks.
#include "sim/sim_options.h"
#include "sim/sim_server.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = comsetup::sim::ParseSimOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "comsetup-sim: %s\n%s", parsed.error.c_str(),
                     comsetup::sim::SimUsage().c_str());
        return 2;
    }
    if (parsed.options->version) {
        std::printf("comsetup-sim %s\n", COMSETUP_VERSION);
        return 0;
    }
    if (parsed.options->help) {
        std::fputs(comsetup::sim::SimUsage().c_str(), stdout);
        return 0;
    }
    return comsetup::sim::RunSimServer(*parsed.options, stdout, stderr);
}
