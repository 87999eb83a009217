# The release's facts, read once: the version (project()), the project's
# identity from identity.conf (QUORVAST_HOMEPAGE, QUORVAST_CONTACT,
# QUORVAST_BUGS, QUORVAST_SIGNING_KEY,
# QUORVAST_ARCHIVE_KEYS) and the web page's files
# (QUORVAST_PAGE_FILES). Every configure writes them to build/release.env,
# one name='value' a line: shell scripts source it, Python ones read it
# with packaging/release_env.py, instead of parsing CMakeLists.txt or
# identity.conf again. Editing identity.conf configures
# the build again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/identity.conf)
file(STRINGS ${PROJECT_SOURCE_DIR}/identity.conf identity_lines REGEX "^[a-z_]+ =")
set(QUORVAST_SIGNING_KEY "")
set(QUORVAST_ARCHIVE_KEYS "")
foreach(line IN LISTS identity_lines)
  string(REGEX MATCH "^([a-z_]+) = ?(.*)$" _ "${line}")
  string(TOUPPER "${CMAKE_MATCH_1}" key)
  set(QUORVAST_${key} "${CMAKE_MATCH_2}")
endforeach()

# The values go into a C string, the installer's properties, HTML and shell
# words: none may hold what any of them would read otherwise.
foreach(key IN ITEMS HOMEPAGE CONTACT BUGS)
  if(NOT QUORVAST_${key} OR QUORVAST_${key} MATCHES "[\"'\\\\<>&` ]")
    string(TOLOWER ${key} name)
    message(FATAL_ERROR "identity.conf: '${name}' must be set, without quotes, backslashes, <, >, & or spaces")
  endif()
endforeach()
if(NOT QUORVAST_HOMEPAGE MATCHES "^https?://[^/]+/(.*/)?$")
  message(FATAL_ERROR "identity.conf: the homepage must be an http(s) address ending in /, not '${QUORVAST_HOMEPAGE}'")
endif()
# CMake's expressions have no {n}: hexadecimal capitals, then the length.
string(LENGTH "${QUORVAST_SIGNING_KEY}" key_length)
if(NOT QUORVAST_SIGNING_KEY MATCHES "^[0-9A-F]*$" OR NOT key_length MATCHES "^(0|40)$")
  message(FATAL_ERROR "identity.conf: signing_key must be a full fingerprint, 40 hexadecimal capitals, or nothing")
endif()
string(REPEAT "[0-9A-F]" 40 hex40)
if(NOT QUORVAST_ARCHIVE_KEYS MATCHES "^(${hex40}( ${hex40})*)?$")
  message(FATAL_ERROR "identity.conf: archive_keys must be full fingerprints separated by spaces, or nothing")
endif()

# The web page: every file a browser may ask for, with where it comes from
# (quorvast.js and .wasm from the link, README.html from the README), but
# the worker script, which names the release they make.
set(QUORVAST_PAGE_SOURCES
  index.html=src/web/index.html page.js=src/web/page.js pane.js=src/web/pane.js typed_input.js=src/web/typed_input.js
  controls.js=src/web/controls.js program.js=src/web/program.js release_client.js=src/web/release_client.js
  page.css=src/web/page.css
  manifest.webmanifest=src/web/manifest.webmanifest favicon.ico=resources/favicon.ico
  icon-192.png=resources/quorvast-192.png icon-512.png=resources/quorvast-512.png
  icon-maskable-192.png=resources/quorvast-maskable-192.png icon-maskable-512.png=resources/quorvast-maskable-512.png
  LICENSE.txt=LICENSE diameters.svg=doc/diameters.svg README.html=README.md
  quorvast.js=link quorvast.wasm=link)
set(QUORVAST_PAGE_FILES ${QUORVAST_PAGE_SOURCES})
list(TRANSFORM QUORVAST_PAGE_FILES REPLACE "=.*" "")
string(JOIN " " page_files ${QUORVAST_PAGE_FILES})
# Single quotes make each line a shell assignment: no value holds one.
set(facts "version='${PROJECT_VERSION}'\nhomepage='${QUORVAST_HOMEPAGE}'\ncontact='${QUORVAST_CONTACT}'\n")
string(APPEND facts "bugs='${QUORVAST_BUGS}'\nsigning_key='${QUORVAST_SIGNING_KEY}'\n")
string(APPEND facts "archive_keys='${QUORVAST_ARCHIVE_KEYS}'\npage_files='${page_files}'\n")

# The fingerprint as people compare it, in groups of four, for the shipped
# READMEs.
set(QUORVAST_SIGNING_FINGERPRINT "not published yet: see the download page")
if(QUORVAST_SIGNING_KEY)
  string(REGEX REPLACE "(....)" "\\1 " QUORVAST_SIGNING_FINGERPRINT "${QUORVAST_SIGNING_KEY}")
  string(STRIP "${QUORVAST_SIGNING_FINGERPRINT}" QUORVAST_SIGNING_FINGERPRINT)
endif()

# Written only when it changes: no needless rebuilds of what depends on it.
function(write_if_changed output text)
  set(old "")
  if(EXISTS ${output})
    file(READ ${output} old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE ${output} "${text}")
  endif()
endfunction()
write_if_changed(${PROJECT_SOURCE_DIR}/build/release.env "${facts}")

# The README names the placeholder addresses, as identity.conf has them
# before a publisher sets them, and a placeholder for the signing key's
# fingerprint; copies that ship name the addresses and the key set.
# The bugs address goes first: the homepage is a prefix of it.
function(fill_in_identity input output)
  file(READ ${input} text)
  # The line saying the addresses are placeholders goes once they are not.
  if(NOT QUORVAST_HOMEPAGE MATCHES "example\\.org")
    string(REGEX REPLACE "\n[^\n]*are placeholders from the source's[^\n]*\n" "\n" text "${text}")
  endif()
  string(REPLACE "https://quorvast.example.org/issues" "${QUORVAST_BUGS}" text "${text}")
  string(REPLACE "https://quorvast.example.org/" "${QUORVAST_HOMEPAGE}" text "${text}")
  string(REPLACE "quorvast@example.org" "${QUORVAST_CONTACT}" text "${text}")
  set(fingerprint "${QUORVAST_SIGNING_FINGERPRINT}")
  if(QUORVAST_SIGNING_KEY)
    set(fingerprint "`${fingerprint}`")
  endif()
  string(REPLACE "QUORVAST-SIGNING-KEY-FINGERPRINT" "${fingerprint}" text "${text}")
  write_if_changed(${output} "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
endfunction()
