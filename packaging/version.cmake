# Included right after project() (CMAKE_PROJECT_Axo_INCLUDE) by scripts/package --version X.Y:
# the program, its --version and the package are then version X.Y, and CMakeLists.txt keeps the
# version of the sources.
if(AXO_VERSION)
  if(NOT AXO_VERSION MATCHES "^[0-9]+(\\.[0-9]+)+$")
    message(FATAL_ERROR "AXO_VERSION '${AXO_VERSION}' is not a version such as 0.66")
  endif()
  set(PROJECT_VERSION ${AXO_VERSION})
  set(Axo_VERSION ${AXO_VERSION})
  set(CMAKE_PROJECT_VERSION ${AXO_VERSION})
  string(REPLACE "." ";" axo_version_parts ${AXO_VERSION})
  list(GET axo_version_parts 0 PROJECT_VERSION_MAJOR)
  list(GET axo_version_parts 1 PROJECT_VERSION_MINOR)
  set(Axo_VERSION_MAJOR ${PROJECT_VERSION_MAJOR})
  set(Axo_VERSION_MINOR ${PROJECT_VERSION_MINOR})
endif()
