// JSON forms of the setup values: the --config / --save-config files of comsetup-cli and the
// list of downloads of its batch command. Keys are those of SetupFields() plus "master"
// (true/false); numbers may be written as JSON numbers or texts; unknown keys are refused so
// that a misspelt key is not silently ignored.
#pragma once

#include "cli/setup_options.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace comsetup::cli {

// Applies the keys of a JSON object to setup. where names the source in messages (a file
// name, or a file name and entry number). Throws ValueError naming where and the key.
void ApplyJson(const nlohmann::json& object, CliSetup& setup, const std::string& where);

// Every value, in the field order; gateway is null when no gateway is set.
nlohmann::json SetupToJson(const CliSetup& setup);

// Reads a configuration file onto setup. Throws ValueError (unreadable file, bad JSON, bad
// value), naming the file.
void LoadSetupFile(const std::string& path, CliSetup& setup);

// Writes the values to path (indented JSON). Throws ValueError when the file cannot be
// written.
void SaveSetupFile(const std::string& path, const CliSetup& setup);

inline constexpr std::size_t kMaxBatchDownloads = 256;

// A batch file: a JSON array of objects (or an object with the array under "downloads"),
// each one a configuration applied on top of the defaults; "port" is required in each and no
// two downloads may resolve to the same device; at most kMaxBatchDownloads entries. Throws
// ValueError naming the entry.
std::vector<CliSetup> LoadBatchFile(const std::string& path);

} // namespace comsetup::cli
