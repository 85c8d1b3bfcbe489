// comsetup-cli takes its setup values and JSON files from the shared setup profile module
// (config/), which the wizard's "Open..." and "Save..." use as well.
#pragma once

#include "config/config_json.h"
#include "config/setup_options.h"
#include "config/value_rules.h"

namespace comsetup::cli {
using namespace comsetup::config;
} // namespace comsetup::cli
