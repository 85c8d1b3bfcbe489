// comsetup-cli journal: the downloads recorded, as a table, one with its log, or exported
// as CSV or JSON.
#pragma once

#include "cli/arguments.h"

#include <ostream>

namespace comsetup::cli {

int RunJournalCommand(const Arguments& arguments, std::ostream& out, std::ostream& err);

} // namespace comsetup::cli
