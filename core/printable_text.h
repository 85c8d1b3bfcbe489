// Text from outside the program made safe to print: converter bytes in log files, device
// paths from the environment in messages. A terminal acts on control characters (an escape
// sequence can retitle the window, clear the screen or make the terminal type a reply), so
// they are written as visible escapes ("\x1b") instead.
#pragma once

#include <string>
#include <string_view>

namespace comsetup {

// Appends byte as "\n", "\r", "\t" or "\xhh" (two lower-case hex digits).
void AppendEscapedByte(std::string& out, unsigned char byte);

// A log line as it may be written to a file: control characters other than TAB, CR and LF
// escaped, C0, DEL and the 8-bit controls 0x80..0x9f alike (the log holds the converter's
// bytes one for one, not UTF-8).
std::string EscapeLogText(std::string_view text);

// text with every control character (C0 and DEL) and every byte that is no part of a UTF-8
// letter (a file name in another code page, binary data) escaped, cut after maxLetters
// characters (never inside a letter); cut says whether anything was left off.
struct EscapedText {
    std::string text;
    bool cut = false;
};
EscapedText EscapeControls(std::string_view text, std::size_t maxLetters);

// " ... (N characters)": what follows a text cut by EscapeControls.
std::string CutNote(std::size_t fullLength);

// A device or file path for a message: every control character and raw byte escaped (a
// newline could fake a verdict line), and cut after kShownPathLength characters with its full
// length given.
std::string PrintableDeviceName(std::string_view path);

inline constexpr std::size_t kShownPathLength = 120;

} // namespace comsetup
