# Puts every product file into the stage folder in its archive layout.
#   cmake -DENTRIES=<entries.txt> -DFILES=<map> -DSTAGE=<dir> -DSTAMP=<file> -P stage.cmake
# ENTRIES is the ordered list of archive names (backslash-separated); FILES maps each name
# to the file that provides it, one "name|path" per line. Every listed name must have a
# file and every file must be listed, so the list and the build cannot drift apart. Files
# in the stage that are no longer listed are removed.
cmake_minimum_required(VERSION 3.25)

file(STRINGS "${ENTRIES}" entries)
file(STRINGS "${FILES}" mapping)

set(names "")
foreach(line IN LISTS mapping)
  string(FIND "${line}" "|" bar)
  string(SUBSTRING "${line}" 0 ${bar} name)
  math(EXPR from "${bar} + 1")
  string(SUBSTRING "${line}" ${from} -1 path)
  list(APPEND names "${name}")
  # Variables are keyed by the '/' form of the name: a backslash in a variable reference
  # would be read as an escape.
  string(REPLACE "\\" "/" key "${name}")
  set("source_of_${key}" "${path}")
endforeach()

set(errors "")
set(staged "")
foreach(entry IN LISTS entries)
  if(entry STREQUAL "")
    continue()
  endif()
  string(REPLACE "\\" "/" rel "${entry}")
  if(NOT DEFINED "source_of_${rel}")
    string(APPEND errors "  '${entry}' is listed but nothing builds it\n")
    continue()
  endif()
  list(APPEND staged "${rel}")
  get_filename_component(dir "${STAGE}/${rel}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  file(COPY_FILE "${source_of_${rel}}" "${STAGE}/${rel}" ONLY_IF_DIFFERENT)
endforeach()
foreach(name IN LISTS names)
  if(NOT name IN_LIST entries)
    string(APPEND errors "  '${name}' is built but not listed in ${ENTRIES}\n")
  endif()
endforeach()
if(errors)
  message(FATAL_ERROR "product stage:\n${errors}")
endif()

file(GLOB_RECURSE present RELATIVE "${STAGE}" "${STAGE}/*")
foreach(rel IN LISTS present)
  if(NOT rel IN_LIST staged)
    file(REMOVE "${STAGE}/${rel}")
  endif()
endforeach()
file(TOUCH "${STAMP}")
