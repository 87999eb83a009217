# Writes the page's service-worker.js from TEMPLATE into PAGE_DIR: @SUMS@
# the SHA-256 of each of FILES (comma-separated), @RELEASE@ the VERSION and
# the start of a SHA-256 over those sums.
cmake_minimum_required(VERSION 3.25)  # run with -P: the policies of the build
string(REPLACE "," ";" FILES "${FILES}")

# A file the page asks for but the list leaves out would be missing from
# every kept release, and one on the list but not built breaks every
# install: both stop the build. What is asked for: the page's own links
# and scripts, its manifest's icons, and the files its modules and worker
# name (service-worker.js is the one file not on the list: it names it).
foreach(file IN LISTS FILES)
  if(NOT EXISTS ${PAGE_DIR}/${file})
    message(FATAL_ERROR "the page's file list (QUORVAST_PAGE_SOURCES) names ${file}, which is not built")
  endif()
endforeach()
file(READ ${PAGE_DIR}/index.html html)
file(READ ${PAGE_DIR}/manifest.webmanifest manifest)
set(script "")
foreach(file IN LISTS FILES)
  if(file MATCHES "[.]js$" AND NOT file STREQUAL "quorvast.js")
    file(READ ${PAGE_DIR}/${file} module)
    string(APPEND script "${module}")
  endif()
endforeach()
file(READ ${TEMPLATE} worker)
string(REGEX MATCHALL "(href|src)=\"[^\":#]+\"" named "${html}")
string(REGEX MATCHALL "\"src\": *\"[^\"]+\"" icons "${manifest}")
string(REGEX MATCHALL "\"(\\./)?[A-Za-z0-9_.-]+[.](html|js|css|png|ico|svg|wasm|txt|webmanifest)\"" literals "${script}${worker}")
foreach(reference IN LISTS named icons literals)
  string(REGEX REPLACE "^.*\"(\\./)?([^\"]+)\"$" "\\2" file "${reference}")
  if(NOT file IN_LIST FILES AND NOT file STREQUAL "service-worker.js")
    message(FATAL_ERROR "the page names ${file}, which the page's file list (QUORVAST_PAGE_SOURCES) leaves out")
  endif()
endforeach()
set(sums "")
set(table "")
foreach(file IN LISTS FILES)
  file(SHA256 ${PAGE_DIR}/${file} sum)
  string(APPEND sums "${sum}  ${file}\n")
  string(APPEND table "\n  \"${file}\": \"${sum}\",")
endforeach()
string(SHA256 hash "${sums}")
string(SUBSTRING ${hash} 0 12 hash)
set(RELEASE ${VERSION}-${hash})
set(SUMS "{${table}\n}")
configure_file(${TEMPLATE} ${PAGE_DIR}/service-worker.js @ONLY)
