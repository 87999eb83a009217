# Reads platforms.conf, the table of Linux platforms: quorvast_platform(NAME
# PREFIX) sets PREFIX_TRIPLE, PREFIX_DEBIAN and PREFIX_UNAME (a list) from
# NAME's row; quorvast_platform_of_processor(PROCESSOR PREFIX) the same for
# the row whose uname column names PROCESSOR (PREFIX_DEBIAN empty where
# none does).
set(QUORVAST_PLATFORMS_TABLE ${CMAKE_CURRENT_LIST_DIR}/../platforms.conf)

function(quorvast_platform_rows out)
  file(STRINGS ${QUORVAST_PLATFORMS_TABLE} rows REGEX "^[a-z0-9]")
  set(${out} "${rows}" PARENT_SCOPE)
endfunction()

macro(quorvast_platform_fields row prefix)
  string(REGEX REPLACE " *[|] *" ";" fields "${row}")
  list(GET fields 0 ${prefix}_NAME)
  list(GET fields 1 ${prefix}_TRIPLE)
  list(GET fields 2 ${prefix}_DEBIAN)
  list(GET fields 3 ${prefix}_UNAME)
  string(REPLACE "," ";" ${prefix}_UNAME "${${prefix}_UNAME}")
endmacro()

function(quorvast_platform name prefix)
  quorvast_platform_rows(rows)
  foreach(row IN LISTS rows)
    quorvast_platform_fields("${row}" p)
    if(p_NAME STREQUAL name)
      foreach(field IN ITEMS TRIPLE DEBIAN UNAME)
        set(${prefix}_${field} "${p_${field}}" PARENT_SCOPE)
      endforeach()
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "no platform '${name}' in platforms.conf")
endfunction()

function(quorvast_platform_of_processor processor prefix)
  quorvast_platform_rows(rows)
  set(${prefix}_DEBIAN "" PARENT_SCOPE)
  foreach(row IN LISTS rows)
    quorvast_platform_fields("${row}" p)
    if(processor IN_LIST p_UNAME)
      set(${prefix}_DEBIAN "${p_DEBIAN}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()
