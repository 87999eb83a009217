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

# Beside the program: the page, its offline worker (its cache named for the
# version), the app manifest and icons, and the licence and README that the
# page links to.
set(page_files index.html page.js page.css manifest.webmanifest)
foreach(file IN LISTS page_files)
  configure_file(src/web/${file} ${page_dir}/${file} COPYONLY)
endforeach()
configure_file(src/web/service-worker.js ${page_dir}/service-worker.js @ONLY)
configure_file(resources/quorvast.ico ${page_dir}/favicon.ico COPYONLY)
configure_file(resources/quorvast-192.png ${page_dir}/icon-192.png COPYONLY)
configure_file(resources/quorvast-512.png ${page_dir}/icon-512.png COPYONLY)
configure_file(LICENSE ${page_dir}/LICENSE COPYONLY)
fill_in_identity(${PROJECT_SOURCE_DIR}/README.md ${page_dir}/README.md)
configure_file(doc/diameters.svg ${page_dir}/diameters.svg COPYONLY)
