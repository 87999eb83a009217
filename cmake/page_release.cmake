# Writes the page's service-worker.js from TEMPLATE into PAGE_DIR: @SUMS@
# the SHA-256 of each of FILES (comma-separated), @RELEASE@ the VERSION and
# the start of a SHA-256 over those sums.
string(REPLACE "," ";" FILES "${FILES}")
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
