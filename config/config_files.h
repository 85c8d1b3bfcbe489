// The files behind the JSON configurations, as each platform reads, writes and tells them
// apart (config/posix/, config/win32/config_files.cpp). Refusals are ValueErrors naming the path.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace comsetup::config {

// The whole file as text, refused before parsing when it is not a plain readable file or is
// larger than any configuration could be (kMaxConfigFileBytes).
std::string ReadConfigurationText(const std::string& path);

// For the platform files: the text readSome hands over until it gives 0 (it throws its own
// errors), refused as soon as it grows larger than kMaxConfigFileBytes.
std::string ReadWithinLimit(const std::string& path,
                            const std::function<std::size_t(char*, std::size_t)>& readSome);

// What tells two devices apart, so that two names of one device compare equal.
std::string DeviceIdentity(const std::string& device);

// Writes text to a new file beside path and puts it in place of path once it is complete on
// disk, so that a full disk or a quota leaves the old file as it was.
void WriteFileAtomically(const std::string& path, const std::string& text);

} // namespace comsetup::config
