# Cross-building the Qt-free parts for 64-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64-posix: the POSIX thread model gives std::thread and std::mutex).
# Programs are linked statically, so a built .exe needs no MinGW DLLs beside it. Tests run
# under Wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(COMSETUP_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${COMSETUP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${COMSETUP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${COMSETUP_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${COMSETUP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every function and datum in its own section, and the linker keeps only those a program
# reaches (the Qt kit is compiled the same way, scripts/build-qt-windows.sh).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--gc-sections")
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
# Windows 10 and later: high-resolution waitable timers, CancelIoEx.
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections -D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -DNOMINMAX -DWIN32_LEAN_AND_MEAN")

# The header-only libraries of the host serve the target too (cmake/windows/ has their
# package files); GoogleTest is built for the target from Debian's sources.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/windows)
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/windows CACHE PATH "")
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/windows CACHE PATH "")
set(COMSETUP_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources built for the target")

find_program(COMSETUP_WINE wine)
if(COMSETUP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${COMSETUP_WINE})
endif()
