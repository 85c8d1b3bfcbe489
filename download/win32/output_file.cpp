// Opening a record file on Windows: a disk file, or a console when allowed; devices such as
// NUL or COM1 and pipes are refused.
#include "download/output_file.h"

#include <cerrno>
#include <cstring>
#include <io.h>
#include <windows.h>

namespace comsetup {

AppendFile OpenForAppending(const std::string& path, bool terminalAllowed) {
    AppendFile result;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        result.error = "is a folder, not a regular file";
        return result;
    }
    result.file = std::fopen(path.c_str(), "a");
    if (result.file == nullptr) {
        result.error = std::strerror(errno);
        return result;
    }
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(result.file)));
    const DWORD type = GetFileType(handle);
    if (type != FILE_TYPE_DISK && !(terminalAllowed && type == FILE_TYPE_CHAR)) {
        std::fclose(result.file);
        result.file = nullptr;
        result.error = type == FILE_TYPE_PIPE ? "is a pipe, not a regular file"
                                              : "is a device, not a regular file";
    }
    return result;
}

} // namespace comsetup
