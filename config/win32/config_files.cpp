// Windows configuration files: read with a size limit, the full path as identity (COM names
// compare without case), written beside and moved over the old file.
#include "config/config_files.h"

#include "config/config_json.h"
#include "config/setup_options.h"
#include "serial/platform.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <windows.h>

namespace comsetup::config {

std::string ReadConfigurationText(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        throw ValueError(path + ": is a directory, not a configuration file");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw ValueError(path + ": cannot be read (" +
                         SystemErrorText(static_cast<int>(GetLastError())) + ")");
    }
    return ReadWithinLimit(path, [&](char* buffer, std::size_t size) {
        in.read(buffer, static_cast<std::streamsize>(size));
        return static_cast<std::size_t>(in.gcount());
    });
}

std::string DeviceIdentity(const std::string& device) {
    std::string name = device;
    for (char& c : name) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (name.rfind("\\\\.\\", 0) == 0) {
        name = name.substr(4); // \\.\COM12 and COM12 are one port
    }
    if (name.rfind("COM", 0) == 0) {
        return "port " + name;
    }
    std::error_code ignored;
    const auto resolved = std::filesystem::weakly_canonical(device, ignored);
    return "path " + (ignored ? device : resolved.string());
}

void WriteFileAtomically(const std::string& path, const std::string& text) {
    // Only a disk file, or a name not taken yet, is replaced; a protected file is the user's
    // to unprotect.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            throw ValueError(path + ": is a folder, not a regular file; it was left as it was");
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            throw ValueError(path + ": read-only: the file is protected against writing; remove "
                                    "the protection to overwrite it");
        }
        HANDLE existing = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
        if (existing != INVALID_HANDLE_VALUE) {
            const DWORD type = GetFileType(existing);
            CloseHandle(existing);
            if (type != FILE_TYPE_DISK) {
                throw ValueError(path + ": is a device, not a regular file; it was left as it was");
            }
        }
    }
    // Only a file that was there can be said to be left as it was.
    const std::string kept = attributes != INVALID_FILE_ATTRIBUTES
                                 ? "; the file there was left as it was"
                                 : "; nothing was written";
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            DeleteFileA(temporary.c_str());
            throw ValueError(path + ": cannot be written" + kept);
        }
    }
    if (!MoveFileExA(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileA(temporary.c_str());
        throw ValueError(path + ": cannot be written (" + SystemErrorText(static_cast<int>(error)) +
                         ")" + kept);
    }
}

} // namespace comsetup::config
