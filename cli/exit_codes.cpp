// Names of the exit codes.
#include "cli/exit_codes.h"

#include "core/outcomes.h"

namespace comsetup::cli {

const char* ExitCodeName(int code) {
    return OutcomeOfExitCode(code).data(); // the table's names are literals, so terminated
}

} // namespace comsetup::cli
