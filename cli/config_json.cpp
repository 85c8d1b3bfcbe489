// Reading and writing the JSON forms of the setup values.
#include "cli/config_json.h"

#include "serial/port_names.h"

#include <fstream>
#include <map>
#include <sstream>

namespace comsetup::cli {

namespace {

// A JSON scalar as the text the field parsers take.
std::string ScalarText(const nlohmann::json& value, const std::string& where,
                       const std::string& key) {
    if (value.is_string()) {
        return value.get<std::string>();
    }
    if (value.is_number_integer()) {
        return std::to_string(value.get<long long>());
    }
    if (value.is_null() && key == "gateway") {
        return "none";
    }
    throw ValueError(where + ": \"" + key + "\" must be a text" +
                     (key == "gateway" ? ", a whole number or null" : " or a whole number") +
                     ", not " + value.dump());
}

nlohmann::json ParseFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw ValueError(path + ": cannot be read (missing or not readable)");
    }
    std::stringstream text;
    text << in.rdbuf();
    try {
        return nlohmann::json::parse(text.str());
    } catch (const nlohmann::json::parse_error& error) {
        throw ValueError(path + ": not valid JSON (" + error.what() + ")");
    }
}

} // namespace

void ApplyJson(const nlohmann::json& object, CliSetup& setup, const std::string& where) {
    if (!object.is_object()) {
        throw ValueError(where + ": expected a JSON object with the setup values, not " +
                         std::string(object.type_name()));
    }
    for (const auto& [key, value] : object.items()) {
        if (key == "master") {
            if (!value.is_boolean()) {
                throw ValueError(where + ": \"master\" must be true or false, not " + value.dump());
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
            throw ValueError(where + ": unknown key \"" + key + "\"; accepted keys: " + keys);
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

nlohmann::json SetupToJson(const CliSetup& setup) {
    nlohmann::json object = nlohmann::json::object();
    for (const auto& field : SetupFields()) {
        const std::string key = field.key;
        if (key == "local_port" || key == "baud") {
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

void LoadSetupFile(const std::string& path, CliSetup& setup) {
    ApplyJson(ParseFile(path), setup, path);
}

void SaveSetupFile(const std::string& path, const CliSetup& setup) {
    std::ofstream out(path, std::ios::trunc);
    out << SetupToJson(setup).dump(2) << "\n";
    out.close();
    if (!out) {
        throw ValueError(path + ": cannot be written");
    }
}

std::vector<CliSetup> LoadBatchFile(const std::string& path) {
    nlohmann::json document = ParseFile(path);
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
    std::vector<CliSetup> setups;
    std::map<std::string, std::size_t> devices; // resolved device -> entry number
    for (std::size_t i = 0; i < document.size(); ++i) {
        const std::string where = path + ": download " + std::to_string(i + 1);
        const auto& entry = document[i];
        if (entry.is_object() && !entry.contains("port")) {
            throw ValueError(where + ": \"port\" is required in every download");
        }
        CliSetup setup;
        ApplyJson(entry, setup, where);
        if (const std::string problem = CheckConsistency(setup); !problem.empty()) {
            throw ValueError(where + ": " + problem);
        }
        const std::string device = ResolvePortName(setup.port);
        if (const auto seen = devices.find(device); seen != devices.end()) {
            throw ValueError(where + ": port " + setup.port + " (" + device +
                             ") is already used by download " + std::to_string(seen->second));
        }
        devices[device] = i + 1;
        setups.push_back(setup);
    }
    return setups;
}

} // namespace comsetup::cli
