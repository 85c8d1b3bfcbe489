// Exit codes of comsetup-cli: one per way a download can end, so that scripts can tell the
// outcomes apart without reading the text.
#pragma once

namespace comsetup::cli {

enum ExitCode : int {
    kExitComplete = 0,        // "Setup Complete"
    kExitErrorOnSetup = 1,    // "ERROR ON SETUP" (also a serial error during the script)
    kExitBadArguments = 2,    // bad option, value or file: nothing was sent
    kExitPortError = 3,       // the port could not be opened, or failed before any setting
    kExitNoAnswer = 4,        // no banner within the wake-up limit
    kExitCancelled = 5,       // cancelled (first Ctrl+C) before the banner or before the
                              // converter had answered its restart
    kExitFirmwareUnknown = 6, // banner read, firmware not recognised
    kExitLogIncomplete = 7,   // setup complete, but the monitor log (--log, --log-dir) could
                              // not be written completely
    kExitTerminated = 8,      // SIGTERM or SIGHUP: ended at once, port closed, result printed
    kExitInternalError = 9,   // an unexpected failure of the tool itself
    kExitNotOnLan = 10,       // --lan-check=strict: setup complete, converter not found on the
                              // LAN at its new address
    kExitInterrupted = 130,   // second Ctrl+C: ended at once, port closed
};

// Short stable name of an exit code, used in the JSON result and the batch table.
const char* ExitCodeName(int code);

} // namespace comsetup::cli
