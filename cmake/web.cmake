# The WebAssembly builds (emscripten): the console program for node, and the
# web page's program with the page's files beside it in page/.

# Under node: raw bytes on the real standard streams (NODERAWFS), the .wasm
# inside the .js so node needs no fetch, and the exit status passed on.
target_link_options(quorvast PRIVATE -sNODERAWFS=1 -sSINGLE_FILE=1 -sEXIT_RUNTIME=1 -sENVIRONMENT=node)

# The page: the same dialogue over its own entry. A browser cannot block in
# a read, so Asyncify lets a read wait for the line the user sends. No eval
# (the page's Content-Security-Policy allows none), no file system.
add_executable(quorvast_page src/web/web_page.cpp)
target_link_libraries(quorvast_page PRIVATE quorvast_core)
set(page_dir ${PROJECT_BINARY_DIR}/page)
set_target_properties(quorvast_page PROPERTIES OUTPUT_NAME quorvast RUNTIME_OUTPUT_DIRECTORY ${page_dir})
# An ES module whose default export makes an instance (program.js imports it).
target_link_options(quorvast_page PRIVATE -sASYNCIFY=1 -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createQuorvast
                    -sENVIRONMENT=web -sDYNAMIC_EXECUTION=0 -sFILESYSTEM=0
                    -sINCOMING_MODULE_JS_API=[instantiateWasm,onAbort,print,printErr])

# Beside the program: the page, which names the version and where to report
# a problem, the app manifest and icons, the licence and README that the
# page links to, and the offline worker.
foreach(pair IN LISTS QUORVAST_PAGE_SOURCES)
  string(REGEX MATCH "^(.*)=(.*)$" _ ${pair})
  set(file ${CMAKE_MATCH_1})
  set(source ${CMAKE_MATCH_2})
  if(source MATCHES "^(link|README.md)$")
    continue()  # built below
  elseif(file MATCHES "[.](html|webmanifest)$")
    configure_file(${source} ${page_dir}/${file} @ONLY)  # they name the version and addresses
  else()
    configure_file(${source} ${page_dir}/${file} COPYONLY)
  endif()
endforeach()
# The README as a page of its own, its pictures and links pointed at the
# page's folder, the development guide at the site's.
fill_in_identity(${PROJECT_SOURCE_DIR}/README.md ${PROJECT_BINARY_DIR}/README.md)
add_custom_command(OUTPUT ${page_dir}/README.html
  COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/packaging/markdown_page.py --home ${QUORVAST_HOMEPAGE} ${PROJECT_BINARY_DIR}/README.md
          ${page_dir}/README.html "Quorvast: README" resources/quorvast-32.png=icon-192.png
          doc/diameters.svg=diameters.svg LICENSE=LICENSE.txt
          doc/development.md=${QUORVAST_HOMEPAGE}development.html SECURITY.md=${QUORVAST_HOMEPAGE}security.html
          CONTRIBUTING.md=${QUORVAST_HOMEPAGE}contributing.html CHANGELOG.md=${QUORVAST_HOMEPAGE}changelog.txt
  DEPENDS ${PROJECT_BINARY_DIR}/README.md packaging/markdown_page.py
  COMMENT "Writing the page's README")

# The worker holds the release's name, the version and the start of a hash
# over every file's sum, and each file's SHA-256: any change to the page is
# a new release, and only whole releases are kept.
set(page_paths ${QUORVAST_PAGE_FILES})
list(TRANSFORM page_paths PREPEND ${page_dir}/)
string(JOIN "," page_files_word ${QUORVAST_PAGE_FILES})  # a list in one command-line word
add_custom_command(OUTPUT ${page_dir}/service-worker.js
  COMMAND ${CMAKE_COMMAND} -D PAGE_DIR=${page_dir} -D VERSION=${PROJECT_VERSION} -D FILES=${page_files_word}
          -D TEMPLATE=${PROJECT_SOURCE_DIR}/src/web/service-worker.js -P ${PROJECT_SOURCE_DIR}/cmake/page_release.cmake
  DEPENDS quorvast_page src/web/service-worker.js cmake/page_release.cmake ${page_paths}
  COMMENT "Naming the page's release")
add_custom_target(page_release ALL DEPENDS ${page_dir}/service-worker.js)

# The page's folder holds its files and nothing else: what an earlier build
# left there under another name goes.
file(GLOB left_over RELATIVE ${page_dir} ${page_dir}/*)
list(REMOVE_ITEM left_over ${QUORVAST_PAGE_FILES} service-worker.js)
list(TRANSFORM left_over PREPEND ${page_dir}/)
if(left_over)
  file(REMOVE_RECURSE ${left_over})
endif()
