include(${CMAKE_CURRENT_LIST_DIR}/HeaderOnlyPackage.cmake)
comsetup_header_only_package(nlohmann_json::nlohmann_json /usr/include/nlohmann)
set(nlohmann_json_FOUND TRUE)
set(nlohmann_json_VERSION 3.11.2)
