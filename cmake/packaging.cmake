# cpack in a build folder makes the package of that build:
#   on Linux scanmerge_VERSION_amd64.deb: the three programs, their man pages,
#     the README, the change log and the licence; the libraries' packages
#     worked out by dpkg-shlibdeps (package dpkg-dev), Python's for scanplot
#   from the MinGW-w64 cross build scanmerge-VERSION-win64.zip: scanmerge.exe,
#     the README and the licence
set(CPACK_PACKAGE_NAME scanmerge)
set(CPACK_PACKAGE_VENDOR "the scanmerge developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "merges powder diffraction step scans into files for refinement programs")
set(CPACK_PACKAGE_DESCRIPTION
  "scanmerge merges step scans onto one 2theta grid, corrects them for dead\ntime, normalises them and writes XRS82, Wyriet, PROFIN and GDAT files.\nscanimport converts instrument files to scans; scanplot draws them.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME scanmerge-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the scanmerge developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, python3-numpy, python3-matplotlib")
endif()
include(CPack)
