# Packing a staged folder into an "LzSA" archive during the Windows build, with the host
# build's mkpak. Include this file where the function is needed:
#   include(${PROJECT_SOURCE_DIR}/tools/mkpak/mkpak.cmake)
#
# vlpdf_pack_payload(<target> DIR <folder> OUTPUT <archive> [LIST <entries.txt>] [DEPENDS <item>...])
#
#   Adds the custom target <target>, which builds <archive> (an absolute path in the build
#   tree) from the files of <folder>: those named in LIST, in its order, or all of them in
#   sorted order (see `mkpak -h` for the list format). The archive is rebuilt when the list,
#   mkpak or any DEPENDS item changes; name there the targets and files that put the files
#   into <folder> (a target also counts as a file dependency on its output). The same files
#   always give a byte-identical archive.
#
#   mkpak comes from VLPDF_MKPAK, by default build/host/tools/mkpak/mkpak: `make build`
#   builds the host preset before the Windows one.
#
# Embedding the archive as resource 1 of type RCDATA of an executable:
#   in its .rc:         1 RCDATA "<file name of the archive>"
#   in CMake:           target_include_directories(<exe> PRIVATE <folder of the archive>)
#                       set_property(SOURCE <the .rc> APPEND PROPERTY OBJECT_DEPENDS <archive>)
#                       add_dependencies(<exe> <target>)
#   windres finds the file through the include folder; OBJECT_DEPENDS recompiles the .rc
#   when the archive changes. tests/win/archive/CMakeLists.txt does exactly this.
set(VLPDF_MKPAK "${PROJECT_SOURCE_DIR}/build/host/tools/mkpak/mkpak" CACHE FILEPATH
  "The host mkpak that packs archives for the Windows build")

function(vlpdf_pack_payload target)
  cmake_parse_arguments(ARG "" "DIR;OUTPUT;LIST" "DEPENDS" ${ARGN})
  if(NOT ARG_DIR OR NOT ARG_OUTPUT)
    message(FATAL_ERROR "vlpdf_pack_payload(${target}): DIR and OUTPUT are required")
  endif()
  if(NOT EXISTS "${VLPDF_MKPAK}")
    message(WARNING "vlpdf_pack_payload(${target}): ${VLPDF_MKPAK} does not exist yet; build the host preset first")
  endif()
  set(list_args)
  set(list_dep)
  if(ARG_LIST)
    set(list_args --list ${ARG_LIST})
    set(list_dep ${ARG_LIST})
  endif()
  add_custom_command(OUTPUT ${ARG_OUTPUT}
    COMMAND ${VLPDF_MKPAK} create ${ARG_DIR} ${ARG_OUTPUT} ${list_args}
    DEPENDS ${VLPDF_MKPAK} ${list_dep} ${ARG_DEPENDS}
    COMMENT "Packing ${ARG_DIR} into ${ARG_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${ARG_OUTPUT})
endfunction()
