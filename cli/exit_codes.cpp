// Names of the exit codes.
#include "cli/exit_codes.h"

namespace comsetup::cli {

const char* ExitCodeName(int code) {
    switch (code) {
    case kExitComplete:
        return "complete";
    case kExitErrorOnSetup:
        return "error-on-setup";
    case kExitBadArguments:
        return "bad-arguments";
    case kExitPortError:
        return "port-error";
    case kExitNoAnswer:
        return "no-answer";
    case kExitCancelled:
        return "cancelled";
    case kExitFirmwareUnknown:
        return "firmware-unknown";
    case kExitLogIncomplete:
        return "log-incomplete";
    case kExitTerminated:
        return "terminated";
    case kExitNotOnLan:
        return "not-on-lan";
    case kExitInterrupted:
        return "interrupted";
    default:
        return "internal-error";
    }
}

} // namespace comsetup::cli
