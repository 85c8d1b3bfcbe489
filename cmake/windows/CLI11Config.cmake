include(${CMAKE_CURRENT_LIST_DIR}/HeaderOnlyPackage.cmake)
comsetup_header_only_package(CLI11::CLI11 /usr/include/CLI)
set(CLI11_FOUND TRUE)
