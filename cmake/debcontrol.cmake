# Run by cpack on the Debian package it made (see packaging.cmake): adds the
# Built-Using field, which CPack does not write, by unpacking the package,
# adding the line to its control file and packing it again (dpkg-deb).
if(NOT CPACK_SCANMERGE_BUILT_USING)
  return()
endif()
foreach(deb ${CPACK_PACKAGE_FILES})
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-deb -R ${deb} failed")
  endif()
  # (CPack ends the control file with a blank line, which would start a
  # second paragraph)
  file(READ ${tree}/DEBIAN/control control)
  string(STRIP "${control}" control)
  file(WRITE ${tree}/DEBIAN/control
    "${control}\nBuilt-Using: ${CPACK_SCANMERGE_BUILT_USING}\n")
  execute_process(COMMAND dpkg-deb --root-owner-group -b ${tree} ${deb}
    OUTPUT_QUIET RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-deb -b ${deb} failed")
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
