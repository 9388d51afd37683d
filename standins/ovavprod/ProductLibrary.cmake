# Product resource libraries "ovavprod.dll": one per component of a setup package, holding the
# component's display name (string 22006), package product code (22237, decimal), optional
# program group (20144) and folder (22013) names, and the package version as "ProductVersion".
#
#   include(${CMAKE_SOURCE_DIR}/standins/ovavprod/ProductLibrary.cmake)
#   ov_add_product_library(<target> OUTPUT_DIR <dir> NAME <display name> CODE <product code>
#                          VERSION <a.b.c.d> [GROUP <group name>] [FOLDER <folder name>])
#
# builds the resource-only <dir>/ovavprod.dll. Texts are taken literally (a CMake "\\" is one
# backslash in the string).
#
#   ov_add_resource_library(<target> OUTPUT_DIR <dir> OUTPUT_NAME <name> <rc files...>)
#
# builds any resource-only <dir>/<name>.dll from .rc files (no code, no entry point).
include_guard(GLOBAL)

function(ov_add_resource_library target)
  cmake_parse_arguments(R "" "OUTPUT_DIR;OUTPUT_NAME" "" ${ARGN})
  if(NOT R_OUTPUT_DIR OR NOT R_OUTPUT_NAME OR NOT R_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "ov_add_resource_library(${target}): OUTPUT_DIR, OUTPUT_NAME and .rc files are required")
  endif()
  add_library(${target} MODULE ${R_UNPARSED_ARGUMENTS})
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME ${R_OUTPUT_NAME} SUFFIX ".dll"
    LIBRARY_OUTPUT_DIRECTORY ${R_OUTPUT_DIR}
    LINKER_LANGUAGE C)
  # No code: the entry point is 0, so loading runs nothing.
  target_link_options(${target} PRIVATE -nostdlib -Wl,-e,0 -s)
endfunction()

# A text as an .rc string literal body: backslashes doubled, quotes doubled.
function(_ov_rc_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(ov_add_product_library target)
  cmake_parse_arguments(P "" "OUTPUT_DIR;NAME;CODE;VERSION;GROUP;FOLDER" "" ${ARGN})
  foreach(required OUTPUT_DIR NAME CODE VERSION)
    if(NOT DEFINED P_${required} OR "${P_${required}}" STREQUAL "")
      message(FATAL_ERROR "ov_add_product_library(${target}): ${required} is required")
    endif()
  endforeach()
  if(NOT P_CODE MATCHES "^[0-9]+$")
    message(FATAL_ERROR "ov_add_product_library(${target}): CODE must be a decimal number, not '${P_CODE}'")
  endif()
  if(NOT P_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "ov_add_product_library(${target}): VERSION must be a.b.c.d, not '${P_VERSION}'")
  endif()
  string(REPLACE "." ";" version_parts "${P_VERSION}")
  foreach(part IN LISTS version_parts)
    if(part GREATER 65535)
      message(FATAL_ERROR "ov_add_product_library(${target}): version parts must be at most 65535")
    endif()
  endforeach()

  _ov_rc_string(OV_PL_NAME "${P_NAME}")
  set(OV_PL_CODE "${P_CODE}")
  set(OV_PL_VERSION "${P_VERSION}")
  string(REPLACE "." "," OV_PL_VERSION_COMMAS "${P_VERSION}")
  set(OV_PL_OPTIONAL_STRINGS "")
  if(DEFINED P_GROUP)
    _ov_rc_string(group "${P_GROUP}")
    string(APPEND OV_PL_OPTIONAL_STRINGS "    20144 \"${group}\"\n")
  endif()
  if(DEFINED P_FOLDER)
    _ov_rc_string(folder "${P_FOLDER}")
    string(APPEND OV_PL_OPTIONAL_STRINGS "    22013 \"${folder}\"\n")
  endif()

  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/ProductLibrary.rc.in ${rc} @ONLY)
  ov_add_resource_library(${target} OUTPUT_DIR ${P_OUTPUT_DIR} OUTPUT_NAME ovavprod ${rc})
endfunction()
