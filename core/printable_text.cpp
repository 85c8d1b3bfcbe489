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

namespace {

// The length of the well-formed UTF-8 letter at text[i], or 0 when the byte there starts
// none (a byte of another code page, a cut or overlong sequence, a surrogate).
std::size_t Utf8LetterLength(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : low;
        high = lead == 0xed ? 0x9f : high;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : low;
        high = lead == 0xf4 ? 0x8f : high;
    } else {
        return 0;
    }
    if (i + length > text.size() || at(i + 1) < low || at(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (at(i + k) < 0x80 || at(i + k) > 0xbf) {
            return 0;
        }
    }
    return length;
}

} // namespace

EscapedText EscapeControls(std::string_view text, std::size_t maxLetters) {
    EscapedText out;
    std::size_t shown = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (shown >= maxLetters) {
            out.cut = true;
            break;
        }
        ++shown;
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = Utf8LetterLength(text, i);
        if (length == 0 || byte < 0x20 || byte == 0x7f) {
            AppendEscapedByte(out.text, byte);
            ++i;
        } else {
            out.text.append(text.substr(i, length));
            i += length;
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
