# The Debian package: `cpack -G DEB` in a configured and built folder (scripts/test uses the ci
# preset's Release build). The program, its desktop file, AppStream metadata and icon come from the
# install() rules in FerrowickApp/; the package's documents are added here.

include(GNUInstallDirs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ferrowick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ferrowick")
set(CPACK_PACKAGE_CONTACT "Ferrowick developers <developers@ferrowick.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "link shortener and paste tool in the system tray")
# CPack indents the lines as dpkg wants them.
set(CPACK_PACKAGE_DESCRIPTION
    "Ferrowick lives in the system tray and puts three web services one keystroke
away: it shortens the link on the clipboard, sends text to a paste service from
a floating panel, and opens your upload batches. Credentials are kept in the
desktop's keyring.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://ferrowick.app/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads these as plugins, so no library scan finds them: the SVG plugins draw the status icon
# (the program stops at start without them), the Wayland platform serves Wayland sessions.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-wayland")

# A native package's changelog and copyright, which Debian policy asks of every package.
set(FERROWICK_PACKAGE_DOCS ${CMAKE_CURRENT_BINARY_DIR}/package-docs)
string(TIMESTAMP FERROWICK_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${FERROWICK_PACKAGE_DOCS}/changelog
    @ONLY)
# -n: no time stamp in the archive, so equal changelogs give equal files.
execute_process(COMMAND gzip -9nf ${FERROWICK_PACKAGE_DOCS}/changelog COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${FERROWICK_PACKAGE_DOCS}/changelog.gz ${CMAKE_CURRENT_LIST_DIR}/debian/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})

include(CPack)
