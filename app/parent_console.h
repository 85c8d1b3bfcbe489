// The wizard's --help and --version answer on the console it was started from.
#pragma once

namespace comsetup {

// On Windows the wizard is a GUI program, which a console does not wait for and whose
// standard output goes nowhere unless it was redirected: the answer then goes to the
// console of the program that started it, if there is one. Elsewhere it does nothing.
void WriteToParentConsole();

} // namespace comsetup
