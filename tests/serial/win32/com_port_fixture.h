// Test helpers for COM ports on Windows. scripts/test-windows.sh names the ports in the
// environment (under Wine they are mapped to pseudo-terminals on the Linux side):
//   COMSETUP_TEST_COM_PAIR    "COM5,COM6": two ports wired to each other
//   COMSETUP_TEST_COM_STALL   a port whose far end never reads
//   COMSETUP_TEST_COM_HANGUP  a port whose far end hangs up when it receives a byte
// A test whose ports are not named is skipped with the reason.
#pragma once

#include "serial/comm.h"

#include <string>

namespace comsetup::test {

bool RunningUnderWine();
std::string EnvPort(const char* variable, int index = 0); // "" when not set
// Waits (pumping nothing) until comm sees at least n bytes, at most about two seconds.
bool AwaitQueue(TCustomComm& comm, int n);
// Handles the process holds now.
unsigned long ProcessHandleCount();

} // namespace comsetup::test

#define COMSETUP_NEED_PORT(var, name, index)                                                       \
    const std::string var = comsetup::test::EnvPort(name, index);                                  \
    if (var.empty())                                                                               \
    GTEST_SKIP() << name << " not set: run scripts/test-windows.sh"

#define COMSETUP_WINDOWS_ONLY(reason)                                                              \
    if (comsetup::test::RunningUnderWine())                                                        \
    GTEST_SKIP() << "Windows only, Wine differs: " << reason
