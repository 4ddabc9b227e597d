# The release everywhere it is written, from project(VERSION).
#  - config/version.cpp: kVersion ("2.9.0") for --version, and kProductVersion,
#    the same release as the About box writes it, the minor number in two
#    digits ("2.09").
#  - The Debian changelog's newest entry, the collection's galaxy.yml and the
#    newest release of the AppStream metadata are written by hand (they carry
#    dates and notes); configuring stops when one of them names another
#    version, so they cannot drift apart.

if(PROJECT_VERSION_MINOR LESS 10)
  set(KELVANE_PRODUCT_VERSION "${PROJECT_VERSION_MAJOR}.0${PROJECT_VERSION_MINOR}")
else()
  set(KELVANE_PRODUCT_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
endif()
set(KELVANE_VERSION_SOURCE ${CMAKE_BINARY_DIR}/generated/config/version.cpp)
configure_file(${PROJECT_SOURCE_DIR}/config/version.cpp.in ${KELVANE_VERSION_SOURCE} @ONLY)
# Compiled on its own, so the unity batches of the core stay as they are.
set_source_files_properties(${KELVANE_VERSION_SOURCE} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)

# kelvane_expect_version(FILE REGEX): the first match of REGEX in FILE (its
# first group) is the project's version.
function(kelvane_expect_version file regex)
  file(STRINGS ${PROJECT_SOURCE_DIR}/${file} lines REGEX "${regex}")
  set(CMAKE_MATCH_1 "")
  if(lines)
    list(GET lines 0 first)
    string(REGEX MATCH "${regex}" _ "${first}")
  endif()
  if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "${file} names version \"${CMAKE_MATCH_1}\", the project ${PROJECT_VERSION}: "
                        "give both the same version")
  endif()
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${file})
endfunction()
kelvane_expect_version(cmake/debian/changelog "^kelvane \\(([^)]*)\\)")
kelvane_expect_version(ansible/kelvane/modems/galaxy.yml "^version: *\"?([^\" ]*)")
kelvane_expect_version(res/desktop/invalid.dalmarin.kelvane.metainfo.xml "<release version=\"([^\"]*)\"")
kelvane_expect_version(ansible/kelvane/modems/changelogs/changelog.yaml "^  ([0-9][^:]*):$")
