# Run by cpack on the Debian package's files before it packs them (see
# packaging.cmake): what Debian's policy asks and CPack does not do.
set(root ${CPACK_TEMPORARY_DIRECTORY}/usr)
set(doc ${root}/share/doc/scanmerge)

# man pages compressed, gzip -9n (no name or time stamp in the header)
file(GLOB pages ${root}/share/man/man1/*.1)
foreach(page ${pages})
  execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${page} failed")
  endif()
endforeach()

# changelog.gz, in Debian's layout, the one entry of this version, dated as
# CHANGELOG.md dates it; what changed stays in CHANGELOG.md beside it
file(STRINGS ${CPACK_SCANMERGE_SOURCE_DIR}/CHANGELOG.md heading ENCODING UTF-8
  REGEX "^## ${CPACK_SCANMERGE_VERSION} ")
string(REGEX MATCH "[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]" day "${heading}")
if(NOT day)
  message(FATAL_ERROR "CHANGELOG.md has no dated heading for ${CPACK_SCANMERGE_VERSION}")
endif()
execute_process(COMMAND date -u -R -d "${day} 12:00" OUTPUT_VARIABLE date
  OUTPUT_STRIP_TRAILING_WHITESPACE)
file(WRITE ${doc}/changelog "scanmerge (${CPACK_SCANMERGE_VERSION}) unstable; urgency=medium

  * Version ${CPACK_SCANMERGE_VERSION}: CHANGELOG.md in this folder says what changed.

 -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}
")
execute_process(COMMAND gzip -9nf ${doc}/changelog)

# scanmerge is linked statically on purpose (README, "Performance"): it
# starts sooner and needs half the memory
file(WRITE ${root}/share/lintian/overrides/scanmerge
  "# linked statically for speed and memory; Built-Using names the libraries\n"
  "scanmerge: statically-linked-binary [usr/bin/scanmerge]\n")
