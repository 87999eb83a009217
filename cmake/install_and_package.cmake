# Install layout (bin, man page, docs) and the Debian package built by CPack.
include(GNUInstallDirs)

# The man page and the README name the version and the project's addresses.
configure_file(doc/quorvast.1.in ${PROJECT_BINARY_DIR}/quorvast.1 @ONLY)
fill_in_identity(${PROJECT_SOURCE_DIR}/README.md ${PROJECT_BINARY_DIR}/README.md)
fill_in_identity(${PROJECT_SOURCE_DIR}/doc/copyright ${PROJECT_BINARY_DIR}/copyright)
# Debian's changelog, made from the users' CHANGELOG.md.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog
  COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/packaging/debian_changelog.py ${PROJECT_SOURCE_DIR}/CHANGELOG.md
          ${PROJECT_BINARY_DIR}/changelog "Quorvast authors <${QUORVAST_CONTACT}>"
  DEPENDS CHANGELOG.md packaging/debian_changelog.py
  COMMENT "Writing Debian's changelog" VERBATIM)
# What the Windows zip and installer ship as README.txt.
configure_file(doc/windows-readme.txt ${PROJECT_BINARY_DIR}/README.txt @ONLY)

# Debian wants the man page and the changelog compressed, reproducibly (-n).
set(compressed_man ${PROJECT_BINARY_DIR}/quorvast.1.gz)
set(compressed_changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${compressed_man} ${compressed_changelog}
  COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/quorvast.1 > ${compressed_man}
  COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/changelog > ${compressed_changelog}
  DEPENDS ${PROJECT_BINARY_DIR}/quorvast.1 ${PROJECT_BINARY_DIR}/changelog
  COMMENT "Compressing the man page and changelog")
add_custom_target(compressed_docs ALL DEPENDS ${compressed_man} ${compressed_changelog})

# Three components: `program` is what every install has (`make install`
# takes only it); `license` is the LICENSE file, which the Debian package
# leaves out because its copyright file carries the same text; `debian` is
# what only the Debian package has.
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvast)
# Folders made by an install or the package are 0755 whatever the
# builder's umask: 0775 under an umask of 002 would change the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
install(TARGETS quorvast RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(FILES ${compressed_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
# The site shows the security policy and the contributors' guide too.
fill_in_identity(${PROJECT_SOURCE_DIR}/SECURITY.md ${PROJECT_BINARY_DIR}/SECURITY.md)
fill_in_identity(${PROJECT_SOURCE_DIR}/CONTRIBUTING.md ${PROJECT_BINARY_DIR}/CONTRIBUTING.md)
# An install has none of the files the README links beside it (the package
# carries the licence as its copyright file): the installed README links
# the site's copies.
file(READ ${PROJECT_BINARY_DIR}/README.md installed_readme)
foreach(pair LICENSE=LICENSE.txt SECURITY.md=security.html CONTRIBUTING.md=contributing.html
        CHANGELOG.md=changelog.txt)
  string(REGEX MATCH "^(.*)=(.*)$" _ ${pair})
  string(REPLACE "](${CMAKE_MATCH_1})" "](${QUORVAST_HOMEPAGE}${CMAKE_MATCH_2})" installed_readme "${installed_readme}")
endforeach()
write_if_changed(${PROJECT_BINARY_DIR}/installed/README.md "${installed_readme}")
install(FILES ${PROJECT_BINARY_DIR}/installed/README.md ${compressed_changelog} DESTINATION ${doc_dir} COMPONENT program)
# The README shows the icon and the diameter picture, and links the
# development guide; they go beside it so its links hold.
install(FILES resources/quorvast-32.png
        DESTINATION ${doc_dir}/resources COMPONENT program)
install(FILES doc/diameters.svg doc/development.md DESTINATION ${doc_dir}/doc COMPONENT program)
install(FILES LICENSE DESTINATION ${doc_dir} COMPONENT license)
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${doc_dir} COMPONENT debian)
# The static executable is deliberate (see CMakeLists.txt); tell lintian so.
install(FILES doc/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
        RENAME quorvast COMPONENT debian)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL program debian)
set(CPACK_PACKAGE_NAME quorvast)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Debian's name for the processor the program is built for, from
# platforms.conf: a cross build's row, or the row naming this processor.
# Elsewhere CPack asks dpkg, which names the build machine's: right only
# for a native build. File dates in the package come from SOURCE_DATE_EPOCH
# when it is set (make dist sets it).
include(cmake/platforms.cmake)
if(QUORVAST_PLATFORM)
  quorvast_platform("${QUORVAST_PLATFORM}" platform)
else()
  quorvast_platform_of_processor("${CMAKE_SYSTEM_PROCESSOR}" platform)
endif()
if(platform_DEBIAN)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${platform_DEBIAN})
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quorvast authors <${QUORVAST_CONTACT}>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUORVAST_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "asteroid size estimates from the absolute magnitude H")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorvast asks for an asteroid's name and its absolute magnitude H and prints
the largest and smallest plausible diameter (for albedos 0.02 and 0.25) in
kilometres and miles, and a best estimate (albedo 0.15) in kilometres, miles
and whole metres, each figure to 3 significant digits.")
# A static executable: it needs no shared library, so no Depends.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
include(CPack)
