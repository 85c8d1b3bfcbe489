// Elsewhere a program's standard output is the console's already (see parent_console.h).
#include "app/parent_console.h"

namespace comsetup {

void WriteToParentConsole() {}

} // namespace comsetup
