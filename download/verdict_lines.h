// The line below each verdict of a download: why it did not complete, in words a technician
// can act on, or what a complete one wrote; and the header of a download's part of the log.
// Pure functions of what the download saw.
#pragma once

#include "core/setup_values.h"
#include "download/banner.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace comsetup {

// No banner within the limit. ports: the port polled ("COM1"), or the ports searched;
// otherUsers: other programs holding the port, which may have taken the answer.
// "no answer on COM1 in 15 s: check the cable and that the converter was switched off and on"
std::string NoAnswerCause(const std::vector<std::string>& ports,
                          const std::vector<std::string>& otherUsers);

// Fewer bytes than a banner waited at the limit: "the converter answered 9 bytes, not a banner".
std::string ShortAnswerCause(int bytes, const std::vector<std::string>& otherUsers);

// A banner whose firmware is not recognised: the version seen, or what was missing.
// "firmware V7.0.0.1 is not one this program knows (01.8, V6.5.0.7)"
std::string FirmwareCause(std::span<const std::uint8_t> banner,
                          const std::vector<std::string>& otherUsers);

// A version as a banner gave it, readable whatever bytes it holds and at most 20 characters
// (then "...").
std::string ReadableVersion(const std::string& version);

// What a complete download wrote:
// "192.168.1.200/24, 9600 8N1, port 10001, saved by firmware 01.8"
std::string WrittenSummary(const SetupValues& values, FirmwareVariant variant);

// The two lines that open a download's part of the monitor log, so that one download's lines
// do not run into the next one's: when it started, the port and the verdict (or that it is
// still running), then the values it sends.
// "==== 2024-05-01 10:32:05  COM1  Setup Complete"
std::string LogHeadline(const std::string& started, const std::string& port,
                        std::string_view verdict);
// "==== 192.168.1.200/24, 9600 8N1, port 10001, peer 192.168.1.201:10001"
std::string LogValuesLine(const SetupValues& values);

} // namespace comsetup
