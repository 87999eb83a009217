# Writes the page's service-worker.js from TEMPLATE into PAGE_DIR, its
# @RELEASE@ the VERSION and the start of a SHA-256 over every other file of
# the page in PAGE_DIR, in a fixed order.
file(GLOB files RELATIVE ${PAGE_DIR} ${PAGE_DIR}/*)
list(REMOVE_ITEM files service-worker.js)
list(SORT files)
set(sums "")
foreach(file IN LISTS files)
  file(SHA256 ${PAGE_DIR}/${file} sum)
  string(APPEND sums "${sum}  ${file}\n")
endforeach()
string(SHA256 hash "${sums}")
string(SUBSTRING ${hash} 0 12 hash)
set(RELEASE ${VERSION}-${hash})
configure_file(${TEMPLATE} ${PAGE_DIR}/service-worker.js @ONLY)
