// JSON forms of the setup values: the --config / --save-config files of comsetup-cli, the
// wizard's "Open..." / "Save..." profiles (the same files), and the list of downloads of
// comsetup-cli's batch command. Keys are those of SetupFields() plus "master"
// (true/false); numbers may be written as JSON numbers or texts; unknown keys are refused so
// that a misspelt key is not silently ignored.
#pragma once

#include "config/setup_options.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace comsetup::config {

// Applies the keys of a JSON object to setup. where names the source in messages (a file
// name, or a file name and entry number). Throws ValueError naming where and the key.
void ApplyJson(const nlohmann::json& object, SetupProfile& setup, const std::string& where);

// Every value, in the field order; gateway is null when no gateway is set.
nlohmann::json SetupToJson(const SetupProfile& setup);

// Limits of configuration and batch files, checked before anything is built from them: a
// setup is a flat object of short values and a batch an array of at most kMaxBatchDownloads
// of them, so larger or deeper files are mistakes or attacks.
inline constexpr std::size_t kMaxConfigFileBytes = 1024 * 1024;
inline constexpr int kMaxConfigNesting = 8;

// Reads a configuration file onto setup. Throws ValueError (unreadable file, a directory, too
// large, too deeply nested, bad JSON, a number out of range, bad value), naming the file and
// quoting at most a short prefix of any value.
void LoadSetupFile(const std::string& path, SetupProfile& setup);

// A configuration file as a whole setup: the defaults, the file's keys on top, and the
// checks that concern more than one value (CheckConsistency), as the command line makes
// them after its options. Throws ValueError naming the file.
SetupProfile LoadWholeSetupFile(const std::string& path);

// The JSON document in text, with the limits above; path names the source in messages.
// Throws ValueError.
nlohmann::json ParseConfigurationText(const std::string& text, const std::string& path);

// Writes the values to path (indented JSON): to a new file in the same folder, flushed to
// disk and renamed over path, so that a failure leaves any old file whole. Throws ValueError
// when the file cannot be written.
void SaveSetupFile(const std::string& path, const SetupProfile& setup);

inline constexpr std::size_t kMaxBatchDownloads = 256;

// A batch file: a JSON array of objects (or an object with the array under "downloads"),
// each one a configuration applied on top of the defaults; "port" is required in each and no
// two downloads may resolve to the same device; at most kMaxBatchDownloads entries. Throws
// ValueError naming the entry.
std::vector<SetupProfile> LoadBatchFile(const std::string& path);

// The same from a parsed document.
std::vector<SetupProfile> BatchFromJson(nlohmann::json document, const std::string& path);

} // namespace comsetup::config
