# One way to declare a library of this tree: its sources, its public headers under include/
# (tethra/<name>/...), and what it links. Nothing exports a folder above its own.
#   tethra_library(NAME SOURCES a.cpp ... [LINK_PUBLIC ...] [LINK_PRIVATE ...])
function(tethra_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK_PUBLIC;LINK_PRIVATE" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_link_libraries(${name} PUBLIC ${ARG_LINK_PUBLIC} PRIVATE ${ARG_LINK_PRIVATE})
endfunction()
