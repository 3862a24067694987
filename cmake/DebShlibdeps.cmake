# Read by cpack: the package depends on the libraries its binaries link, with the versions
# their symbols need, as dpkg-shlibdeps finds them.
include(${CPACK_KORDANE_BINARIES})
set(work ${CPACK_PACKAGE_DIRECTORY}/debian/shlibdeps)
# dpkg-shlibdeps reads the package's name from a source package's control file.
file(WRITE ${work}/debian/control "Source: ${CPACK_PACKAGE_NAME}\n\nPackage: ${CPACK_PACKAGE_NAME}\nArchitecture: any\n")
# Its warnings are about the build tree, where the binaries still have their build RUNPATH.
execute_process(COMMAND dpkg-shlibdeps -O ${kordane_binaries} WORKING_DIRECTORY ${work}
  RESULT_VARIABLE failed OUTPUT_VARIABLE substvars ERROR_VARIABLE warnings)
string(REGEX MATCH "shlibs:Depends=([^\n]*)" found "${substvars}")
if(failed OR NOT found)
  message(FATAL_ERROR "dpkg-shlibdeps found no libraries:\n${warnings}")
endif()
string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${CMAKE_MATCH_1}")
