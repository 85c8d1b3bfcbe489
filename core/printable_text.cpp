// Escaping of outside text before it reaches a terminal or a file.
#include "core/printable_text.h"

namespace comsetup {

void AppendEscapedByte(std::string& out, unsigned char byte) {
    switch (byte) {
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    default:
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xf];
    }
}

std::string EscapeLogText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool kept = c == '\t' || c == '\r' || c == '\n';
        if (!kept && (byte < 0x20 || (byte >= 0x7f && byte <= 0x9f))) {
            AppendEscapedByte(out, byte);
        } else {
            out += c;
        }
    }
    return out;
}

EscapedText EscapeControls(std::string_view text, std::size_t maxLetters) {
    EscapedText out;
    std::size_t shown = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (shown >= maxLetters && (byte & 0xc0) != 0x80) {
            out.cut = true;
            break;
        }
        ++shown;
        if (byte < 0x20 || byte == 0x7f) {
            AppendEscapedByte(out.text, byte);
        } else {
            out.text += c;
        }
    }
    return out;
}

std::string CutNote(std::size_t fullLength) {
    return "... (" + std::to_string(fullLength) + " characters)";
}

std::string PrintableDeviceName(std::string_view path) {
    EscapedText shown = EscapeControls(path, kShownPathLength);
    return shown.cut ? shown.text + CutNote(path.size()) : shown.text;
}

} // namespace comsetup
