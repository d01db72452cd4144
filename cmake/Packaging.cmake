# Packages of the program and its manual page: a Debian package (.deb) and a
# plain archive (.tar.gz) of what `cmake --install` puts under a prefix.
# `make package` builds them from a program-only build; `cpack` in a build
# folder does the same after `cmake --build <build> --target wexla`.
# contrib/bbedit is packaged only when it is installed with the program
# (WEXLA_INSTALL_BBEDIT=ON).

set(WEXLA_PACKAGE_MAINTAINER "The Wexla developers <dev@wexla.invalid>"
  CACHE STRING "Maintainer field of the Debian package (name <email>)")

set(CPACK_PACKAGE_NAME wexla)
set(CPACK_PACKAGE_VENDOR "The Wexla developers")
set(CPACK_PACKAGE_CONTACT "${WEXLA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "best fit, WSS table and parameter summary of a Kalvor run")
set(CPACK_PACKAGE_DESCRIPTION
"Wexla reads the results file that a Kalvor model-fitting run has written,
prints a table of every fit's weighted sum of squares with the best so far,
copies the best fit's whole output section to BEST.OUT, writes a parameter
summary to WexlaP.OUT and counts the fits within a percentage of the best.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)
# Directories in the packages are 755 whatever the umask of the packager.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The archive unpacks to wexla-<version>-<system>/{bin,share}; the Debian
# package installs under /usr.
set(CPACK_GENERATOR TGZ)
set(CPACK_DEBIAN_PACKAGE_NAME wexla)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${WEXLA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without dpkg-shlibdeps the .deb would claim no dependencies at all, so the
# Debian package is made only where the tool is found (dpkg-dev).
find_program(WEXLA_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(WEXLA_DPKG_SHLIBDEPS)
  list(APPEND CPACK_GENERATOR DEB)
endif()

# Debian's layout, applied to the staged files of the .deb only: the manual
# page gzipped and the copyright file in /usr/share/doc/wexla.
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/DebianLayout.cmake")
set(CPACK_WEXLA_SOURCE_DIR "${PROJECT_SOURCE_DIR}")

# `make package_source`: the tracked tree, without build folders and the
# fuzzers' working copies.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/[.]git/" "/[.]git$" "/build[^/]*/" "/fuzz/corpus-work/")

include(CPack)
