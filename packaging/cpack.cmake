# The Debian package, built by `cpack -G DEB` (scripts/package). Included from the top-level
# CMakeLists.txt: CPack reads these variables from the top-level scope.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME axo)
set(CPACK_PACKAGE_VENDOR "The Axo developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Axo developers <axo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program of an observatory telescope")
# Debian wants the long description in lines of at most 80 characters: wrapped here by hand.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Axo drives an observatory from one window: the telescope on its two axes"
  "with an on-screen hand paddle (three speeds, locks, stop, sidereal tracking),"
  "the dome (zero, rest, rotation, following the telescope), the focuser and a"
  "colour filter. It reads the position from the coders, calibrates it on a"
  "known star and keeps its configuration in an Axo.ini settings file. Its"
  "texts are in French."
  ""
  "The hardware is reached through micro-controller boards on two parallel"
  "ports. A simulated observatory, started from the desktop action or with"
  "axo-demo, lets anyone drive it without the hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the libraries the executable links (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The full Debian version, for the changelog that lintian wants to match the package.
set(AXO_DEBIAN_VERSION "${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")

include(CPack)
