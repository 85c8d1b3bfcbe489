// Windows: standard output of a GUI program, attached to the starting console when it was
// not redirected (see parent_console.h).
#include "app/parent_console.h"

#include <windows.h>

#include <cstdio>

namespace comsetup {

void WriteToParentConsole() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN)
        return; // a file, pipe or console given by the caller: written there as it is
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return; // started from Explorer: nowhere to write
    FILE* console = nullptr;
    freopen_s(&console, "CONOUT$", "w", stdout);
}

} // namespace comsetup
