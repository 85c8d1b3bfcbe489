// COM port test helpers (see com_port_fixture.h).
#include "tests/serial/win32/com_port_fixture.h"

#include <cstdlib>
#include <windows.h>

namespace comsetup::test {

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string EnvPort(const char* variable, int index) {
    const char* value = std::getenv(variable);
    if (value == nullptr)
        return {};
    std::string list = value;
    for (int i = 0; i < index; ++i) {
        const auto comma = list.find(',');
        if (comma == std::string::npos)
            return {};
        list = list.substr(comma + 1);
    }
    return list.substr(0, list.find(','));
}

bool AwaitQueue(TCustomComm& comm, int n) {
    for (int i = 0; i < 200 && comm.InQueCount() < n; ++i)
        comm.WaitForInput(10);
    return comm.InQueCount() >= n;
}

unsigned long ProcessHandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

} // namespace comsetup::test
