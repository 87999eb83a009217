# Install layout (bin, man page, docs) and the Debian package built by CPack.
include(GNUInstallDirs)

# Debian wants the man page and the changelog compressed, reproducibly (-n).
set(compressed_man ${PROJECT_BINARY_DIR}/quorvast.1.gz)
set(compressed_changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${compressed_man} ${compressed_changelog}
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/doc/quorvast.1 > ${compressed_man}
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/doc/changelog > ${compressed_changelog}
  DEPENDS doc/quorvast.1 doc/changelog
  COMMENT "Compressing the man page and changelog")
add_custom_target(compressed_docs ALL DEPENDS ${compressed_man} ${compressed_changelog})

set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvast)
install(TARGETS quorvast RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${compressed_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE doc/copyright ${compressed_changelog} DESTINATION ${doc_dir})
# The static executable is deliberate (see CMakeLists.txt); tell lintian so.
install(FILES doc/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME quorvast)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvast)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quorvast authors <quorvast@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorvast.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "asteroid size estimates from the absolute magnitude H")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorvast asks for an asteroid's name and its absolute magnitude H and prints
the largest and smallest plausible diameter (for albedos 0.02 and 0.25) in
kilometres and miles, and a best estimate (albedo 0.15) in kilometres, miles
and whole metres, each figure to 3 significant digits.")
# A static executable: it needs no shared library, so no Depends.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
include(CPack)
