# `cpack -G DEB` in the build folder makes one Debian package of everything
# the project installs: libraries, headers, tools, manuals, the CMake package
# and the pkg-config files. The run-time dependencies are worked out from the
# binaries by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME corral)
set(CPACK_PACKAGE_VENDOR "The Corral developers")
set(CPACK_PACKAGE_CONTACT "The Corral developers <corral@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Page runtime, live-view shell and build tool for page-based learning environments")
set(CPACK_PACKAGE_DESCRIPTION
    "Corral lets short programs written by a learner run inside a page-based learning
environment and talk to it. The package holds the Corral and Stagehand libraries
with their platform layers and headers, the corral-host reference host with its
browser studio, the macrofill build tool, their manuals, a CMake package and
pkg-config files.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Building against the package needs a C++20 compiler; CMake or pkg-config
# find it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "g++ (>= 4:12) | clang (>= 1:14), cmake (>= 3.25) | pkgconf")
include(CPack)
