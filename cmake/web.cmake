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
target_link_options(quorvast_page PRIVATE -sASYNCIFY=1 -sMODULARIZE=1 -sEXPORT_NAME=createQuorvast
                    -sENVIRONMENT=web -sDYNAMIC_EXECUTION=0 -sFILESYSTEM=0 -sINCOMING_MODULE_JS_API=[instantiateWasm,print,printErr])

# Beside the program: the page, which names the version and where to report
# a problem, the app manifest and icons, the licence and README that the
# page links to, and the offline worker.
foreach(file IN ITEMS index.html manifest.webmanifest)
  configure_file(src/web/${file} ${page_dir}/${file} @ONLY)
endforeach()
foreach(file IN ITEMS page.js page.css)
  configure_file(src/web/${file} ${page_dir}/${file} COPYONLY)
endforeach()
configure_file(resources/quorvast.ico ${page_dir}/favicon.ico COPYONLY)
foreach(icon IN ITEMS 192 512 maskable-192 maskable-512)
  configure_file(resources/quorvast-${icon}.png ${page_dir}/icon-${icon}.png COPYONLY)
endforeach()
configure_file(LICENSE ${page_dir}/LICENSE.txt COPYONLY)
configure_file(doc/diameters.svg ${page_dir}/diameters.svg COPYONLY)
# The README as a page of its own, its pictures and links pointed at the
# page's folder, the development guide at the site's.
fill_in_identity(${PROJECT_SOURCE_DIR}/README.md ${PROJECT_BINARY_DIR}/README.md)
add_custom_command(OUTPUT ${page_dir}/README.html
  COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/doc/markdown_page.py ${PROJECT_BINARY_DIR}/README.md
          ${page_dir}/README.html "Quorvast: README" resources/quorvast-32.png=icon-192.png
          doc/diameters.svg=diameters.svg LICENSE=LICENSE.txt
          doc/development.md=${QUORVAST_HOMEPAGE}development.html
  DEPENDS ${PROJECT_BINARY_DIR}/README.md doc/markdown_page.py
  COMMENT "Writing the page's README")

# The worker's cache is named for the release: the version and a hash of
# every other file of the page, so that any change to the page is a new
# release to the browsers that kept the old one.
add_custom_command(OUTPUT ${page_dir}/service-worker.js
  COMMAND ${CMAKE_COMMAND} -D PAGE_DIR=${page_dir} -D VERSION=${PROJECT_VERSION}
          -D TEMPLATE=${PROJECT_SOURCE_DIR}/src/web/service-worker.js -P ${PROJECT_SOURCE_DIR}/cmake/page_release.cmake
  DEPENDS quorvast_page src/web/service-worker.js cmake/page_release.cmake ${page_dir}/index.html
          ${page_dir}/page.js ${page_dir}/page.css ${page_dir}/manifest.webmanifest ${page_dir}/README.html
  COMMENT "Naming the page's release")
add_custom_target(page_release ALL DEPENDS ${page_dir}/service-worker.js)
