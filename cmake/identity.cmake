# The project's identity from identity.conf: QUORVAST_HOMEPAGE,
# QUORVAST_CONTACT and QUORVAST_BUGS, for every file the build fills in.
# Editing identity.conf configures the build again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/identity.conf)
file(STRINGS ${PROJECT_SOURCE_DIR}/identity.conf identity_lines REGEX "^[a-z]+ = ")
foreach(line IN LISTS identity_lines)
  string(REGEX MATCH "^([a-z]+) = (.*)$" _ "${line}")
  string(TOUPPER "${CMAKE_MATCH_1}" key)
  set(QUORVAST_${key} "${CMAKE_MATCH_2}")
endforeach()

# The README names the placeholder addresses, as identity.conf has them
# before a publisher sets them; copies that ship name the addresses set.
# The bugs address goes first: the homepage is a prefix of it.
function(fill_in_identity input output)
  file(READ ${input} text)
  string(REPLACE "https://quorvast.example.org/issues" "${QUORVAST_BUGS}" text "${text}")
  string(REPLACE "https://quorvast.example.org/" "${QUORVAST_HOMEPAGE}" text "${text}")
  string(REPLACE "quorvast@example.org" "${QUORVAST_CONTACT}" text "${text}")
  set(old "")
  if(EXISTS ${output})
    file(READ ${output} old)
  endif()
  if(NOT old STREQUAL text)  # written only when it changes: no needless rebuilds
    file(WRITE ${output} "${text}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
endfunction()
