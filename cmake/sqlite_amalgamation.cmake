# SQLite compiled from its amalgamation in COMSETUP_SQLITE_AMALGAMATION, as the target
# SQLite::SQLite3 that a system SQLite would give. Threads are safe (the batch records from
# several threads, each with its own connection). What the journal never uses is left out
# (extension loading, JSON, shared cache, progress callbacks, column declared types, memory
# statistics) and the library is compiled for size: it is a third of the program's own share of
# the Windows exe, and no journal query is bound by its speed.
if(NOT EXISTS ${COMSETUP_SQLITE_AMALGAMATION}/sqlite3.c)
  message(FATAL_ERROR "No sqlite3.c in COMSETUP_SQLITE_AMALGAMATION (${COMSETUP_SQLITE_AMALGAMATION})")
endif()
enable_language(C)
add_library(comsetup_sqlite3 STATIC ${COMSETUP_SQLITE_AMALGAMATION}/sqlite3.c)
target_include_directories(comsetup_sqlite3 SYSTEM PUBLIC ${COMSETUP_SQLITE_AMALGAMATION})
target_compile_definitions(comsetup_sqlite3 PRIVATE
  SQLITE_THREADSAFE=1 SQLITE_DQS=0 SQLITE_OMIT_LOAD_EXTENSION=1 SQLITE_OMIT_DEPRECATED=1
  SQLITE_OMIT_JSON=1 SQLITE_OMIT_SHARED_CACHE=1 SQLITE_OMIT_PROGRESS_CALLBACK=1
  SQLITE_OMIT_DECLTYPE=1 SQLITE_DEFAULT_MEMSTATUS=0)
# Third-party code: built as it is shipped, whatever this project's warning settings.
set_target_properties(comsetup_sqlite3 PROPERTIES C_STANDARD 99 COMPILE_WARNING_AS_ERROR OFF)
target_compile_options(comsetup_sqlite3 PRIVATE $<IF:$<C_COMPILER_ID:MSVC>,/w,-w>
                       $<IF:$<C_COMPILER_ID:MSVC>,/O1,-Os>)
add_library(SQLite::SQLite3 ALIAS comsetup_sqlite3)
message(STATUS "SQLite: compiled from ${COMSETUP_SQLITE_AMALGAMATION}")
