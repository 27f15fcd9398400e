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
  "known star, stops everything at once (Arrêt général, F12), keeps a night log"
  "and its configuration in an Axo.ini settings file. Its texts are in French."
  ""
  "The hardware is reached through micro-controller boards on two parallel"
  "ports, 6420 stepper boxes on serial lines and an EIK120 encoder card."
  "Planetarium programs (KStars and Cartes du Ciel through INDI, SkySafari) can"
  "show the telescope over an LX200 position link. A simulated observatory,"
  "started from the desktop action or with axo-demo, lets anyone drive it"
  "without the hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# The package's history is packaging/debian/changelog, kept by hand, one entry per package built
# for an observatory. Its newest entry names the Debian revision of the project's version. A
# version it does not describe (scripts/package --version X.Y) is packed as X.Y-1, under an
# entry that says it is no release (packaging/CMakeLists.txt writes it).
set(AXO_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${AXO_CHANGELOG})
file(STRINGS ${AXO_CHANGELOG} axo_changelog_top LIMIT_COUNT 1)
if(NOT axo_changelog_top MATCHES "^axo \\(([0-9.]+)-([0-9]+)\\) ")
  message(FATAL_ERROR "${AXO_CHANGELOG} does not start with an entry 'axo (VERSION-REVISION) ...'")
endif()
if(CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_2})
  set(AXO_CHANGELOG_DESCRIBES_VERSION ON)
else()
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(AXO_CHANGELOG_DESCRIBES_VERSION OFF)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the libraries the executable links (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without Qt's translations the toolkit's own dialogs are in English (the program says so); the
# position link's documented clients are INDI's LX200 drivers.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS indi-bin)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The full Debian version, for the changelog that lintian wants to match the package.
set(AXO_DEBIAN_VERSION "${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")

include(CPack)
