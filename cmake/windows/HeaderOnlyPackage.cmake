# A host header-only library offered to the Windows build: its headers are reached through a
# folder of links of their own, so the host's /usr/include (glibc's headers) never enters the
# target's include path.
function(comsetup_header_only_package target)
  set(root ${CMAKE_BINARY_DIR}/host-headers/${target})
  foreach(dir IN LISTS ARGN)
    get_filename_component(name ${dir} NAME)
    if(NOT EXISTS ${root}/${name})
      file(MAKE_DIRECTORY ${root})
      file(CREATE_LINK ${dir} ${root}/${name} SYMBOLIC)
    endif()
  endforeach()
  if(NOT TARGET ${target})
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${root})
  endif()
endfunction()
