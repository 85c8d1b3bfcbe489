# comsetup_discover_tests(target [gtest_discover_tests arguments...])
# Each test of a GoogleTest program is its own ctest entry, as gtest_discover_tests makes it.
# A Windows build tested under Wine runs each program instead once with all its tests (or
# those of its TEST_FILTER): one Wine start per program rather than a few hundred, and
# GoogleTest's own XML report gives the counts (tests/windows/run_gtest_program.sh).
function(comsetup_discover_tests target)
  if(NOT (CMAKE_CROSSCOMPILING AND WIN32 AND CMAKE_CROSSCOMPILING_EMULATOR))
    gtest_discover_tests(${target} ${ARGN})
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "TEST_FILTER;DISCOVERY_TIMEOUT" "PROPERTIES")
  set(name ${target})
  set(report ${target})
  set(filter)
  if(arg_TEST_FILTER) # e.g. app_tests[-DownloadFlow.*], its report app_tests_not_DownloadFlow_.xml
    set(name "${target}[${arg_TEST_FILTER}]")
    string(REPLACE "-" "not-" report "${target}_${arg_TEST_FILTER}")
    string(REGEX REPLACE "[^A-Za-z0-9]+" "_" report "${report}")
    set(filter --gtest_filter=${arg_TEST_FILTER})
  endif()
  add_test(NAME ${name}
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/run_gtest_program.sh
            ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${target}>
            ${CMAKE_CURRENT_BINARY_DIR}/${report}.xml ${filter})
  if(arg_PROPERTIES)
    set_tests_properties(${name} PROPERTIES ${arg_PROPERTIES})
  endif()
  # The limit of one test becomes that of the whole program.
  set_tests_properties(${name} PROPERTIES TIMEOUT 900)
endfunction()
