# The Debian package: `cpack -G DEB` in a configured build directory makes vendrix_VERSION_ARCH.deb
# with the files installed under /usr, stripped, and library dependencies from dpkg-shlibdeps.
# scripts/package.sh configures a Release build, builds it and runs cpack.
include(GNUInstallDirs)

set(VENDRIX_PACKAGE_MAINTAINER "Vendrix developers <vendrix@korpla.com>"
    CACHE STRING "Maintainer field of the Debian package")

# The package's documentation directory: copyright and changelog as Debian expects them.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vendrix)
execute_process(COMMAND env LC_ALL=C date -u -R -d "${VENDRIX_RELEASE_DATE} 12:00"
    OUTPUT_VARIABLE VENDRIX_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
    COMMENT "Compressing the package changelog")
add_custom_target(vendrix_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vendrix)
set(CPACK_PACKAGE_VENDOR "The Vendrix developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VENDRIX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast tabbed editor for plain text and source code")
# The extended description, in lines short enough for Debian's 80 columns (the synopsis is the
# summary above).
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vendrix edits plain text and source code in the tabs of a single window,"
    "with a Turkish user interface. It stays responsive on files of tens of"
    "megabytes and on one-line documents of millions of characters, opens and"
    "saves UTF-8, UTF-16, Windows-1254, ISO-8859-9 and ISO-8859-1 files in their"
    "own encoding and line ending, colours thirteen languages, finds and replaces"
    "across tabs and keeps every tab, unsaved text included, across restarts."
    ""
    "The package also holds vendrix-cli, which offers the editor's decoding,"
    "formatting, line and search operations to scripts.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Wayland platform plug-in is loaded at run time, so dpkg-shlibdeps cannot see it. (A Turkish
# dictionary, hunspell-tr, belongs here too once the editor checks spelling.)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_SET_DESTDIR OFF)
include(CPack)
