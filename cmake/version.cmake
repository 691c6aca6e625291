# The one version number of the programs, read from VERSION at the top of
# the tree ("major.minor.patch", each 0 to 65535).
#
# It gives every program the same version resource and the editor's about
# box its line, through vantorel_version.h in the build folder (on the
# include path of every target):
#
#   vt_version_resource(<target> <file name> <description>)
#       adds the version resource to a program: file version
#       major.minor.patch.0, product version major.minor.patch, in language
#       1041 like its translation entry. The fourth part stays 0: in the
#       Installer it is the silent marker, which a build stamps to 1 in a
#       package.

file(STRINGS ${PROJECT_SOURCE_DIR}/VERSION VT_VERSION LIMIT_COUNT 1)
string(STRIP "${VT_VERSION}" VT_VERSION)
if(NOT VT_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "VERSION must read major.minor.patch, not \"${VT_VERSION}\"")
endif()
set(VT_VERSION_MAJOR ${CMAKE_MATCH_1})
set(VT_VERSION_MINOR ${CMAKE_MATCH_2})
set(VT_VERSION_PATCH ${CMAKE_MATCH_3})
foreach(part MAJOR MINOR PATCH)
  # Without leading zeros, and within a 16-bit field of the resource.
  math(EXPR VT_VERSION_${part} "${VT_VERSION_${part}}")
  if(VT_VERSION_${part} GREATER 65535)
    message(FATAL_ERROR "VERSION: ${VT_VERSION} has a part above 65535")
  endif()
endforeach()
set(VT_VERSION "${VT_VERSION_MAJOR}.${VT_VERSION_MINOR}.${VT_VERSION_PATCH}")
# The about box writes a version as "1.00": the minor and the patch number
# as one digit each after the point; a part of two digits or more keeps
# its points ("1.10.2").
if(VT_VERSION_MINOR LESS 10 AND VT_VERSION_PATCH LESS 10)
  set(VT_VERSION_ABOUT "${VT_VERSION_MAJOR}.${VT_VERSION_MINOR}${VT_VERSION_PATCH}")
else()
  set(VT_VERSION_ABOUT "${VT_VERSION}")
endif()
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/VERSION)

set(VT_VERSION_DIR ${CMAKE_BINARY_DIR}/version)
set(VT_VERSION_HEADER ${VT_VERSION_DIR}/vantorel_version.h)
configure_file(${CMAKE_CURRENT_LIST_DIR}/vantorel_version.h.in ${VT_VERSION_HEADER} @ONLY)
target_include_directories(vt_flags INTERFACE ${VT_VERSION_DIR})

function(vt_version_resource target file_name description)
  set(VT_FILE_NAME "${file_name}")
  set(VT_FILE_DESCRIPTION "${description}")
  get_filename_component(VT_INTERNAL_NAME "${file_name}" NAME_WE)
  set(rc ${VT_VERSION_DIR}/${target}.version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  # The target's own resource files may show the version (the about box):
  # they are compiled again when it changes.
  get_target_property(sources ${target} SOURCES)
  foreach(source IN LISTS sources)
    if(source MATCHES "\\.rc$" AND NOT source STREQUAL rc)
      set_property(SOURCE ${source} DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                   APPEND PROPERTY OBJECT_DEPENDS ${VT_VERSION_HEADER})
    endif()
  endforeach()
endfunction()
