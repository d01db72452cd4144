# GoogleTest for the test suite: the installed one when there is one,
# otherwise sources fetched with FetchContent. Sets WEXLA_GTEST_READY.
#
# Fetching is tried by hand first (file(DOWNLOAD) with time limits) so that a
# machine without network gets a one-line note within seconds instead of a
# failed configure. Local sources skip the download:
#   -DFETCHCONTENT_SOURCE_DIR_GOOGLETEST=/usr/src/googletest   (Debian's googletest package)
#   -DWEXLA_GTEST_URL=file:///path/googletest.tar.gz -DWEXLA_GTEST_SHA256=<hash or empty>
# -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON skips the installed one, which is
# needed when it was built for another standard library (clang's libc++).
set(WEXLA_GTEST_URL "https://github.com/google/googletest/archive/refs/tags/v1.14.0.tar.gz"
    CACHE STRING "Where to fetch GoogleTest's sources from when it is not installed")
set(WEXLA_GTEST_SHA256 "8ad598c73ad796e0d8280b082cebd82a630d73e73cd3c70057938a6501bba5d7"
    CACHE STRING "SHA-256 of the archive at WEXLA_GTEST_URL (empty: not checked)")

set(WEXLA_GTEST_READY OFF)
set(wexla_gtest_hint "install GoogleTest (apt-get install libgtest-dev; brew install googletest)\
 or point -DFETCHCONTENT_SOURCE_DIR_GOOGLETEST at its sources; -DWEXLA_TESTS=OFF leaves the tests out")

find_package(GTest QUIET)
if(GTest_FOUND AND TARGET GTest::gtest AND TARGET GTest::gtest_main)
  set(WEXLA_GTEST_READY ON)
  return()
endif()

include(FetchContent)
# An archive's files get the time of extraction, so a changed archive rebuilds.
if(POLICY CMP0135)
  cmake_policy(SET CMP0135 NEW)
endif()
set(wexla_gtest_why "")
if(NOT FETCHCONTENT_SOURCE_DIR_GOOGLETEST)
  # The archive is kept in the build folder, so a reconfigure does not fetch again.
  set(wexla_gtest_archive "${CMAKE_BINARY_DIR}/_deps/googletest.tar.gz")
  set(wexla_gtest_have_archive OFF)
  if(EXISTS "${wexla_gtest_archive}")
    set(wexla_gtest_have_archive ON)
  else()
    file(DOWNLOAD "${WEXLA_GTEST_URL}" "${wexla_gtest_archive}.part"
         STATUS wexla_gtest_status TIMEOUT 120 INACTIVITY_TIMEOUT 15)
    list(GET wexla_gtest_status 0 wexla_gtest_code)
    if(wexla_gtest_code EQUAL 0)
      file(RENAME "${wexla_gtest_archive}.part" "${wexla_gtest_archive}")
      set(wexla_gtest_have_archive ON)
    else()
      file(REMOVE "${wexla_gtest_archive}.part")
      list(GET wexla_gtest_status 1 wexla_gtest_why)
      set(wexla_gtest_why "fetching ${WEXLA_GTEST_URL} failed (${wexla_gtest_why})")
    endif()
  endif()
  if(wexla_gtest_have_archive AND NOT WEXLA_GTEST_SHA256 STREQUAL "")
    file(SHA256 "${wexla_gtest_archive}" wexla_gtest_hash)
    if(NOT wexla_gtest_hash STREQUAL WEXLA_GTEST_SHA256)
      file(REMOVE "${wexla_gtest_archive}")
      set(wexla_gtest_have_archive OFF)
      set(wexla_gtest_why "${WEXLA_GTEST_URL} has SHA-256 ${wexla_gtest_hash}, not ${WEXLA_GTEST_SHA256}")
    endif()
  endif()
  if(NOT wexla_gtest_have_archive)
    set(WEXLA_GTEST_WHY "GoogleTest not found and ${wexla_gtest_why}: ${wexla_gtest_hint}")
    return()
  endif()
  FetchContent_Declare(googletest URL "${wexla_gtest_archive}")
else()
  if(NOT EXISTS "${FETCHCONTENT_SOURCE_DIR_GOOGLETEST}/CMakeLists.txt")
    set(WEXLA_GTEST_WHY "GoogleTest not found and ${FETCHCONTENT_SOURCE_DIR_GOOGLETEST} holds no sources: ${wexla_gtest_hint}")
    return()
  endif()
  FetchContent_Declare(googletest URL "${WEXLA_GTEST_URL}")
endif()

# Built here for the tests only: never installed, no GoogleMock.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
FetchContent_MakeAvailable(googletest)
if(TARGET GTest::gtest AND TARGET GTest::gtest_main)
  set(WEXLA_GTEST_READY ON)
else()
  set(WEXLA_GTEST_WHY "the fetched GoogleTest has no GTest::gtest target: ${wexla_gtest_hint}")
endif()
