# cpack in a build folder makes the package of that build:
#   on Linux scanmerge_VERSION_amd64.deb: the three programs, their man pages,
#     the README, the change log, the licence and the copyright file that
#     names what each program holds (notices/copyright); the libraries'
#     packages worked out by dpkg-shlibdeps (package dpkg-dev), Python's for
#     scanplot
#   from the MinGW-w64 cross build scanmerge-VERSION-win64.zip: scanmerge.exe,
#     the README, the licence and, in notices/, the notices of the libraries
#     linked into it (notices/windows)
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
  # Debian wants an address; .invalid is one that reaches nobody
  set(SCANMERGE_MAINTAINER "the scanmerge developers <scanmerge@example.invalid>"
    CACHE STRING "the Debian package's Maintainer, NAME <ADDRESS>")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SCANMERGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, python3-numpy, python3-matplotlib")
  # A statically linked scanmerge holds the C library and GCC's runtime:
  # Built-Using names the source packages of the static libraries the
  # compiler links, as dpkg knows them (none where dpkg is missing).
  set(CPACK_SCANMERGE_BUILT_USING "")
  find_program(SCANMERGE_DPKG dpkg)
  if(SCANMERGE_LINKS_STATIC AND SCANMERGE_DPKG)
    set(sources "")
    foreach(lib libc.a libstdc++.a libgcc.a libgcc_eh.a)
      execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${lib}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
      get_filename_component(path "${path}" REALPATH)
      execute_process(COMMAND dpkg -S "${path}" OUTPUT_VARIABLE owner
        RESULT_VARIABLE failed ERROR_QUIET)
      if(failed)
        continue()
      endif()
      # "libc6-dev:amd64: /usr/lib/..." -> libc6-dev:amd64
      string(REGEX REPLACE ": .*" "" owner "${owner}")
      execute_process(COMMAND dpkg-query -W "-f=\${source:Package} (= \${source:Version})"
        "${owner}" OUTPUT_VARIABLE source)
      list(APPEND sources "${source}")
    endforeach()
    list(REMOVE_DUPLICATES sources)
    string(REPLACE ";" ", " CPACK_SCANMERGE_BUILT_USING "${sources}")
  endif()
  # what Debian's policy asks of the files and the control fields that
  # CPack does not do itself: cmake/debfiles.cmake on the files before they
  # are packed, cmake/debcontrol.cmake on the package
  set(CPACK_SCANMERGE_SOURCE_DIR ${PROJECT_SOURCE_DIR})
  set(CPACK_SCANMERGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debfiles.cmake)
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debcontrol.cmake)
endif()
include(CPack)
