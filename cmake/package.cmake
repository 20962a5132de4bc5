# The Debian package: `cpack -G DEB` in a build tree, or scripts/package,
# which builds it, checks it with the validators and installs it on a clean
# Debian 12. Its dependencies are computed from the binaries (dpkg-shlibdeps),
# so a library that a program starts to link is picked up by itself; only
# what Qt loads at run time is named here.
set(VESTRIM_MAINTAINER "Vestrim developers <packages@vestrim.org>" CACHE STRING
  "Maintainer of the Debian package")
set(VESTRIM_HOMEPAGE "https://vestrim.org/" CACHE STRING "Home page named by the package")

# The package's own documents: copyright and Debian changelog.
set(VESTRIM_DEBIAN_CHANGELOG ${PROJECT_BINARY_DIR}/packaging/changelog.Debian)
add_custom_command(OUTPUT ${VESTRIM_DEBIAN_CHANGELOG}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${VESTRIM_PACKAGING}/debian/changelog ${VESTRIM_DEBIAN_CHANGELOG}
  COMMAND ${VESTRIM_GZIP} -9nf ${VESTRIM_DEBIAN_CHANGELOG}
  DEPENDS ${VESTRIM_PACKAGING}/debian/changelog
  VERBATIM)
add_custom_target(vestrim_debian_changelog ALL DEPENDS ${VESTRIM_DEBIAN_CHANGELOG}.gz)
# In the package's own name's folder, where Debian looks for them (the
# project's name would give share/doc/Vestrim).
install(FILES ${VESTRIM_PACKAGING}/debian/copyright ${VESTRIM_DEBIAN_CHANGELOG}.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vestrim)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vestrim)
set(CPACK_PACKAGE_VENDOR "The Vestrim developers")
set(CPACK_PACKAGE_CONTACT ${VESTRIM_MAINTAINER})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service and data tool for steam-steriliser control boards")
set(CPACK_PACKAGE_DESCRIPTION
"Vestrim talks to a steam steriliser's control board over a USB-serial
adapter: it reads the board's catalogue of stored files, uploads the cycle
records and seals them into a dated archive, shows and prints cycle reports,
writes firmware, message and data files into the board and erases its memory.
.
The package holds the desktop application vestrim, the command-line twin
vestrim-cli and the device simulator vestrim-devsim, with udev rules that give
the logged-in user the adapter, keep ModemManager away from it and set its
latency timer to 1 ms.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VESTRIM_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VESTRIM_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so no binary names them: the SVG icon engine and
# image plugin (the windows' icons), and the face that stands in for
# "Courier New" in reports.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, fonts-liberation2")
# Qt's own dialogs (file, print, Yes/No) in the chosen language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${VESTRIM_PACKAGING}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
