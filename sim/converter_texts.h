// The converter's own texts: banner, menus, prompts and closing lines. Only two things in
// here matter to a download: the banner holds "SOFTWARE VERSION" followed by the version and
// a blank, and the lines printed after "9" put "Exit without" on the second-to-last line of
// what the download copies into its log right after that answer.
#pragma once

#include "sim/converter_model.h"

#include <string>

namespace comsetup::sim {

std::string BannerText(const std::string& version);
std::string ShortAnswerText(); // fewer than 15 bytes
std::string GarbageText();     // no banner at all, at least 15 bytes
std::string FloodChunk(std::uint64_t& lineNumber);
std::string SettingsSummary(const ConverterSettings& s);
std::string MainMenuText(bool withExitWithout);
std::string SaveAndRestartText(bool withExitWithout);
std::string LeaveWithoutSavingText();
std::string ServiceQuestion(Firmware f, int index);
int ServiceQuestionCount(Firmware f);
std::string FirmwareVersionText(Firmware f, FailMode fail);

} // namespace comsetup::sim
