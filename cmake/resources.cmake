# koralin_resource_table(<target> ENTRIES NAME|TYPE|PATH ...): a static library holding those files as the
# module's resource table (an object library, so the table is linked whatever the order). Each module links one.
function(koralin_resource_table target)
  cmake_parse_arguments(ARG "" "" "ENTRIES" ${ARGN})
  set(out "${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp")
  set(deps "")
  foreach(entry IN LISTS ARG_ENTRIES)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 2 path)
    list(APPEND deps "${path}")
  endforeach()
  string(REPLACE ";" "\\;" entries_arg "${ARG_ENTRIES}")
  add_custom_command(OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} "-DOUT=${out}" "-DENTRIES=${entries_arg}" -P "${PROJECT_SOURCE_DIR}/cmake/embed_resources.cmake"
    DEPENDS ${deps} "${PROJECT_SOURCE_DIR}/cmake/embed_resources.cmake"
    COMMENT "Embedding resources for ${target}" VERBATIM)
  add_library(${target} OBJECT "${out}")
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}")
endfunction()
