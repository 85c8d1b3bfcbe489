// The wizard's settings as a setup profile, the same values and JSON files as comsetup-cli's
// --config / --save-config: read from the wizard's controls with the command line's checks,
// and put back into them.
#pragma once

#include "config/setup_options.h"

namespace Ui {
class TF_selmode;
}

namespace comsetup {

// The values on the settings page `page` (1..3) as its fields show them (a value the page
// does not show, such as the peer of a Remote COM port, is the profile's default; the remote
// port, which no page shows, is the one the last profile loaded gave the hidden port_rem).
// Throws
// config::ValueError naming the key and the value that is refused (a typed baud rate not in
// the list, an address byte of 300).
config::SetupProfile ProfileFromWizard(Ui::TF_selmode& wizard, int page);

// Fills the wizard's controls from a profile; the caller then shows the profile's mode page.
void ProfileToWizard(const config::SetupProfile& profile, Ui::TF_selmode& wizard);

} // namespace comsetup
