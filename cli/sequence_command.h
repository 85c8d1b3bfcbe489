// The sequence command of comsetup-cli: the plan read and checked, then its converters one
// after another on --port (cli/sequence.h), prompts and answers on the console.
#pragma once

#include "cli/arguments.h"
#include "cli/command_runner.h"

#include <ostream>

namespace comsetup::cli {

int RunSequenceCommand(const Arguments& arguments, std::ostream& out, std::ostream& err,
                       const ConsoleInfo& console);

} // namespace comsetup::cli
