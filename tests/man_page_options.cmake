# Every option that a program's help lists is in its manual page, so that a new option cannot
# go without its line there.
#   cmake -DPROGRAM=<executable> -DHELP=<help option> -DPAGE=<docs/man/x.1.in> -P man_page_options.cmake
execute_process(COMMAND ${PROGRAM} ${HELP} OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ${HELP} ended with ${rc}")
endif()
string(REGEX MATCHALL "--[a-z][a-z-]*" help_options "${help}")
list(REMOVE_DUPLICATES help_options)
list(LENGTH help_options count)
if(count LESS 2)
  message(FATAL_ERROR "${PROGRAM} ${HELP} lists no options:\n${help}")
endif()

file(READ ${PAGE} page)
string(REPLACE "\\-" "-" page "${page}") # troff writes a minus as \-
string(REGEX MATCHALL "--[a-z][a-z-]*" page_options "${page}")

set(missing)
foreach(option IN LISTS help_options)
  list(FIND page_options ${option} at)
  if(at EQUAL -1)
    list(APPEND missing ${option})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "${PAGE} does not describe: ${missing}")
endif()
message(STATUS "${PAGE}: all ${count} options of ${HELP} are described")
