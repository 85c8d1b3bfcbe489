// Reading and writing the JSON forms of the setup values.
#include "config/config_json.h"

#include "config/config_files.h"
#include "core/printable_text.h"
#include "serial/port_names.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

namespace comsetup::config {

namespace {

// A JSON value as messages show it: a short prefix only, so that a huge value is not echoed.
std::string ShortDump(const nlohmann::json& value) {
    const std::string text = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    constexpr std::size_t kShown = 40;
    return text.size() <= kShown
               ? text
               : text.substr(0, kShown) + "... (" + std::to_string(text.size()) + " characters)";
}

// A JSON scalar as the text the field parsers take. Whole numbers are given as written, also
// those beyond the range of any field, so that the refusal quotes what the file says.
std::string ScalarText(const nlohmann::json& value, const std::string& where,
                       const std::string& key) {
    if (value.is_string()) {
        return value.get<std::string>();
    }
    if (value.is_number_unsigned()) {
        return std::to_string(value.get<std::uint64_t>());
    }
    if (value.is_number_integer()) {
        return std::to_string(value.get<std::int64_t>());
    }
    if (value.is_null() && key == "gateway") {
        return "none";
    }
    throw ValueError(where + ": \"" + key + "\" must be a text" +
                     (key == "gateway" ? ", a whole number or null" : " or a whole number") +
                     ", not " + ShortDump(value));
}

// The JSON library's parse error as messages show it: without its "[json.exception...]"
// tag, and with the token it read last (which may be a whole huge string) quoted short.
std::string ParseErrorText(const std::string& what) {
    const auto tag = what.find("] ");
    std::string text = tag == std::string::npos ? what : what.substr(tag + 2);
    const std::string lastRead = "last read: '";
    const auto start = text.find(lastRead);
    if (start == std::string::npos) {
        // The library's own words only: short, but cut and escaped all the same.
        const bool plain = text.size() <= 200 && std::none_of(text.begin(), text.end(), [](char c) {
                               return static_cast<unsigned char>(c) < 0x20;
                           });
        return plain ? text : QuoteForMessage(text);
    }
    const auto tokenStart = start + lastRead.size();
    // The token may hold "'; expected " itself: the library's own tail is the last one.
    auto tokenEnd = text.rfind("'; expected ");
    if (tokenEnd == std::string::npos || tokenEnd < tokenStart) {
        tokenEnd = text.rfind('\'');
    }
    if (tokenEnd == std::string::npos || tokenEnd < tokenStart) {
        tokenEnd = text.size();
    }
    std::string rest = tokenEnd < text.size() ? text.substr(tokenEnd + 1) : "";
    const bool plainRest = rest.size() <= 80 && std::none_of(rest.begin(), rest.end(), [](char c) {
                               return static_cast<unsigned char>(c) < 0x20;
                           });
    if (!plainRest) {
        // No tail of the library's after all: all of it up to the last quote is the token.
        tokenEnd = std::max(text.rfind('\''), tokenStart);
        rest.clear();
    }
    return text.substr(0, start) +
           "last read: " + QuoteForMessage(text.substr(tokenStart, tokenEnd - tokenStart)) + rest;
}

// The text of every number the JSON library reads as a floating-point value, in the order of
// the file: a whole number beyond 64 bits becomes one, and a refusal should quote it as
// written ("100000000000000000000", not "1e+20"). Reading stops where the nesting limit is
// passed; the value parser then says why.
class FloatTexts final : public nlohmann::json::json_sax_t {
public:
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t& text) override {
        texts.push_back(text);
        return true;
    }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return ++depth_ <= kMaxConfigNesting; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return --depth_ >= 0; }
    bool start_array(std::size_t) override { return ++depth_ <= kMaxConfigNesting; }
    bool end_array() override { return --depth_ >= 0; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception&) override {
        return false;
    }

    std::vector<std::string> texts;

private:
    int depth_ = 0;
};

// "123", "-123": a whole number as JSON writes one.
bool IsWholeNumberText(const std::string& text) {
    const std::size_t digits = text.starts_with('-') ? 1 : 0;
    return text.size() > digits && std::all_of(text.begin() + static_cast<long>(digits), text.end(),
                                               [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

nlohmann::json ParseConfigurationText(const std::string& text, const std::string& path) {
    if (text.size() > kMaxConfigFileBytes) {
        throw ValueError(path + ": larger than " + std::to_string(kMaxConfigFileBytes) +
                         " bytes; a configuration file is far smaller, is this the right file?");
    }
    // A NUL would end what the JSON reader sees, and whatever follows would go unread.
    if (const auto nul = text.find('\0'); nul != std::string::npos) {
        throw ValueError(path + ": holds a NUL byte at offset " + std::to_string(nul) +
                         "; a configuration file is plain text");
    }
    FloatTexts floats;
    try {
        nlohmann::json::sax_parse(text, &floats);
    } catch (const nlohmann::json::exception&) {
        // The value parser below meets the same fault and says what it is.
    }
    std::size_t nextFloat = 0;
    // The key being read, for the message of a number that overflows while it is parsed.
    std::string lastKey;
    // The keys of each object being read: a key given twice is refused, as neither value can
    // be known to be the one meant.
    std::vector<std::set<std::string>> keysSeen;
    const auto watch = [&](int depth, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
        using Event = nlohmann::json::parse_event_t;
        if (event == Event::object_start) {
            keysSeen.emplace_back();
        } else if (event == Event::object_end && !keysSeen.empty()) {
            keysSeen.pop_back();
        } else if (event == Event::key && !keysSeen.empty() &&
                   !keysSeen.back().insert(parsed.get<std::string>()).second) {
            throw ValueError(path + ": the key " + QuoteForMessage(parsed.get<std::string>()) +
                             " is given twice in one object; give each value once");
        }
        if ((event == Event::object_start || event == Event::array_start) &&
            depth >= kMaxConfigNesting) {
            throw ValueError(path + ": values nested more than " +
                             std::to_string(kMaxConfigNesting) +
                             " levels deep; a configuration is a flat object" +
                             (lastKey.empty() ? "" : " (at " + lastKey + ")"));
        }
        if (event == Event::key) {
            lastKey = QuoteForMessage(parsed.get<std::string>());
        }
        if (event == Event::value && parsed.is_number_float() && nextFloat < floats.texts.size()) {
            // A whole number too large for 64 bits is kept as written: no field takes it, and
            // its refusal quotes what the file says.
            const std::string& written = floats.texts[nextFloat++];
            if (IsWholeNumberText(written)) {
                parsed = written;
            }
        }
        return true;
    };
    try {
        return nlohmann::json::parse(text, watch);
    } catch (const nlohmann::json::parse_error& error) {
        throw ValueError(path + ": not valid JSON (" + ParseErrorText(error.what()) + ")");
    } catch (const nlohmann::json::out_of_range& error) {
        // Only a number beyond the range of a double ends a parse this way; the library's
        // message quotes the number as written ("number overflow parsing '1e999'").
        const std::string what = error.what();
        const auto open = what.find('\'');
        const auto close = what.rfind('\'');
        const std::string number = open != std::string::npos && close > open
                                       ? what.substr(open + 1, close - open - 1)
                                       : std::string("a number");
        throw ValueError(path + ": " + (lastKey.empty() ? "" : lastKey + ": ") +
                         QuoteForMessage(number) + " is out of range for any value");
    } catch (const nlohmann::json::exception& error) {
        throw ValueError(path + ": not a usable JSON file (" + QuoteForMessage(error.what()) + ")");
    }
}

namespace {

nlohmann::json ParseFile(const std::string& path) {
    // The name as messages show it: a name is outside text like any other.
    return ParseConfigurationText(ReadConfigurationText(path), PrintableDeviceName(path));
}

} // namespace

void ApplyJson(const nlohmann::json& object, SetupProfile& setup, const std::string& where) {
    if (!object.is_object()) {
        throw ValueError(where + ": expected a JSON object with the setup values, not " +
                         std::string(object.type_name()));
    }
    for (const auto& [key, value] : object.items()) {
        if (key == "master") {
            if (!value.is_boolean()) {
                throw ValueError(where + ": \"master\" must be true or false, not " +
                                 ShortDump(value));
            }
            setup.master = value.get<bool>();
            continue;
        }
        const SetupField* field = nullptr;
        for (const auto& candidate : SetupFields()) {
            if (key == candidate.key) {
                field = &candidate;
            }
        }
        if (field == nullptr) {
            std::string keys = "master";
            for (const auto& candidate : SetupFields()) {
                keys += std::string(", ") + candidate.key;
            }
            throw ValueError(where + ": unknown key " + QuoteForMessage(key) +
                             "; accepted keys: " + keys);
        }
        try {
            field->apply(setup, ScalarText(value, where, key));
        } catch (const ValueError& error) {
            const std::string message = error.what();
            if (message.rfind(where, 0) == 0) {
                throw;
            }
            throw ValueError(where + ": \"" + key + "\": " + message);
        }
    }
}

nlohmann::json SetupToJson(const SetupProfile& setup) {
    nlohmann::json object = nlohmann::json::object();
    for (const auto& field : SetupFields()) {
        const std::string key = field.key;
        if (key == "local_port" || key == "remote_port" || key == "baud") {
            object[key] = std::stoi(FieldText(setup, field));
        } else if (key == "stop_bits") {
            object[key] = setup.stopBitsIndex + 1;
        } else if (key == "gateway" && !setup.gateway) {
            object[key] = nullptr;
        } else {
            object[key] = FieldText(setup, field);
        }
    }
    object["master"] = setup.master;
    return object;
}

void LoadSetupFile(const std::string& path, SetupProfile& setup) {
    ApplyJson(ParseFile(path), setup, PrintableDeviceName(path));
}

SetupProfile LoadWholeSetupFile(const std::string& path) {
    SetupProfile setup;
    LoadSetupFile(path, setup);
    if (const std::string problem = CheckConsistency(setup); !problem.empty()) {
        throw ValueError(PrintableDeviceName(path) + ": " + problem);
    }
    return setup;
}

void SaveSetupFile(const std::string& path, const SetupProfile& setup) {
    WriteFileAtomically(path, SetupToJson(setup).dump(2) + "\n");
}

std::vector<SetupProfile> LoadBatchFile(const std::string& path) {
    return BatchFromJson(ParseFile(path), PrintableDeviceName(path));
}

std::vector<SetupProfile> BatchFromJson(nlohmann::json document, const std::string& path) {
    if (document.is_object() && document.contains("downloads")) {
        document = document["downloads"];
    }
    if (!document.is_array() || document.empty()) {
        throw ValueError(path + ": expected a non-empty JSON array of downloads (or an "
                                "object with such an array under \"downloads\")");
    }
    if (document.size() > kMaxBatchDownloads) {
        throw ValueError(path + ": " + std::to_string(document.size()) +
                         " downloads; a batch takes at most " + std::to_string(kMaxBatchDownloads));
    }
    std::vector<SetupProfile> setups;
    std::map<std::string, std::size_t> devices; // device identity -> entry number
    for (std::size_t i = 0; i < document.size(); ++i) {
        const std::string where = path + ": download " + std::to_string(i + 1);
        const auto& entry = document[i];
        if (entry.is_object() && !entry.contains("port")) {
            throw ValueError(where + ": \"port\" is required in every download");
        }
        SetupProfile setup;
        ApplyJson(entry, setup, where);
        if (const std::string problem = CheckConsistency(setup); !problem.empty()) {
            throw ValueError(where + ": " + problem);
        }
        const std::string device = ResolvePortName(setup.port);
        const std::string identity = DeviceIdentity(device);
        if (const auto seen = devices.find(identity); seen != devices.end()) {
            const SetupProfile& first = setups[seen->second - 1];
            // Port names are checked by now: short and free of control characters.
            throw ValueError(where + ": port \"" + setup.port + "\"" +
                             (device == setup.port ? "" : " (" + device + ")") +
                             " is already used by download " + std::to_string(seen->second) +
                             " (port \"" + first.port + "\"): both lead to one device");
        }
        devices[identity] = i + 1;
        setups.push_back(setup);
    }
    return setups;
}

} // namespace comsetup::config
