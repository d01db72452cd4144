# Run by CPack on the staged files of each package before it is made. The
# Debian package gets Debian's layout: manual pages gzipped, the licence
# in /usr/share/doc/<package>/copyright in Debian's machine-readable format,
# and a Debian changelog (changelog.Debian.gz) that names this release.
# Other packages keep the files as `cmake --install` puts them.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(staged "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")

# gzip -n leaves out the file name and time, so the same page always packs
# to the same bytes.
find_program(WEXLA_GZIP gzip REQUIRED)
file(GLOB_RECURSE manual_pages "${staged}/share/man/man*/*.[1-9]")
foreach(page IN LISTS manual_pages)
  execute_process(COMMAND "${WEXLA_GZIP}" -9 -n -f "${page}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${page} failed: ${status}")
  endif()
endforeach()

# The licence text after its title and copyright line becomes the License
# paragraph: each line indented by one blank, an empty line written " .".
file(READ "${CPACK_RESOURCE_FILE_LICENSE}" license)
if(NOT license MATCHES "^MIT License\n\nCopyright \\(c\\) ([^\n]+)\n\n(.+)$")
  message(FATAL_ERROR "${CPACK_RESOURCE_FILE_LICENSE}: expected an MIT licence with a copyright line")
endif()
set(holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "\n+$" "" body "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " body " ${body}")
string(APPEND body "\n")
# Twice, for runs of empty lines: each pass marks every other one.
string(REPLACE "\n \n" "\n .\n" body "${body}")
string(REPLACE "\n \n" "\n .\n" body "${body}")

set(doc "${staged}/share/doc/${CPACK_DEBIAN_PACKAGE_NAME}")
file(MAKE_DIRECTORY "${doc}")
file(WRITE "${doc}/copyright"
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${CPACK_DEBIAN_PACKAGE_NAME}
Upstream-Contact: ${CPACK_DEBIAN_PACKAGE_MAINTAINER}

Files: *
Copyright: ${holder}
License: Expat
${body}")
file(CHMOD "${doc}/copyright" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# A package with a Debian revision carries a Debian changelog. Its date is
# the manual page's, so that the same sources make the same package.
file(STRINGS "${CPACK_WEXLA_SOURCE_DIR}/man/wexla.1" title REGEX "^[.]TH " LIMIT_COUNT 1)
if(NOT title MATCHES " ([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]) ")
  message(FATAL_ERROR "man/wexla.1: no date on its .TH line")
endif()
execute_process(COMMAND date -u -d "${CMAKE_MATCH_1}" "+%a, %d %b %Y 00:00:00 +0000"
  OUTPUT_VARIABLE changelog_date OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "date could not read the manual page's date ${CMAKE_MATCH_1}")
endif()
file(WRITE "${doc}/changelog.Debian"
"${CPACK_DEBIAN_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}) unstable; urgency=medium

  * Wexla ${CPACK_PACKAGE_VERSION}.

 -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${changelog_date}
")
execute_process(COMMAND "${WEXLA_GZIP}" -9 -n -f "${doc}/changelog.Debian" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip ${doc}/changelog.Debian failed: ${status}")
endif()
file(CHMOD "${doc}/changelog.Debian.gz" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
