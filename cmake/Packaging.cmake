# Installation as a desktop program, and the Debian package made from it.
#   bin/Kordane, bin/kordane-admin         the program and the admin tool
#   bin/kordane-makedb                     the admin tool's init under its earlier name
#   bin/kordane-report                     the reports, through the program's driver
#   lib/kordane/libdbxfb.so                the driver, found through the program's RUNPATH
#   <sysconfdir>/kordane/dbxdrivers.ini    the default drivers file (/etc/kordane for /usr)
#   share/applications, share/icons        desktop entry and icons
#   share/man/man1                         the programs' manual pages, gzipped
#   lib/systemd/user                       the daily backup's timer and service, the punches'
#                                          folder watch (none enabled)
#   share/doc/kordane                      copyright and changelog.Debian.gz
include(GNUInstallDirs)

set(KORDANE_INSTALL_DRIVERDIR lib/kordane)
set(KORDANE_INSTALL_SYSCONFDIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/kordane)
# Relative to the prefix where it can be, so that `cmake --install --prefix` moves it too;
# /usr's configuration directory is /etc.
if(CMAKE_INSTALL_FULL_SYSCONFDIR STREQUAL "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_SYSCONFDIR}")
  set(kordane_sysconf_destination ${CMAKE_INSTALL_SYSCONFDIR}/kordane)
else()
  set(kordane_sysconf_destination ${KORDANE_INSTALL_SYSCONFDIR})
endif()

# The look-up of the configuration files falls back to the installed drivers file.
target_compile_definitions(kordane_data PRIVATE KORDANE_SYSCONFDIR="${KORDANE_INSTALL_SYSCONFDIR}")

# Everything the install rules take from the build: the package build builds only this.
add_custom_target(kordane_installed ALL)
set(kordane_docdir ${CMAKE_INSTALL_DATADIR}/doc/kordane)

# A copy of `source` at `output` (in the build tree), gzipped as Debian ships documentation:
# the best compression, no name or time stamp inside.
function(kordane_gzip source output)
  add_custom_command(OUTPUT ${output}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${output}
    COMMAND gzip -9nf ${output}
    DEPENDS ${source} VERBATIM)
  target_sources(kordane_installed PRIVATE ${output}.gz)
endfunction()

# The binaries of the package, listed for dpkg-shlibdeps.
function(kordane_binary target)
  add_dependencies(kordane_installed ${target})
  set_property(GLOBAL APPEND PROPERTY kordane_binaries $<TARGET_FILE:${target}>)
endfunction()

# An installed program and its manual page, dist/man/NAME.1 for the program's file NAME.
# A program that loads the driver finds it through its RUNPATH, built in as installed:
# rewriting it at install would need room that CMake makes with empty entries, and an
# empty entry searches the current directory. The others (the Firebird client comes from
# the system) carry none. In the build a program finds its driver beside itself.
function(kordane_program target)
  cmake_parse_arguments(ARG "DRIVER" "" "" ${ARGN})
  if(ARG_DRIVER)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/../${KORDANE_INSTALL_DRIVERDIR}"
                                               BUILD_WITH_INSTALL_RPATH ON)
  else()
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "" SKIP_BUILD_RPATH ON)
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  kordane_binary(${target})
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(page ${CMAKE_BINARY_DIR}/man/${name}.1)
  configure_file(${PROJECT_SOURCE_DIR}/dist/man/${name}.1 ${CMAKE_BINARY_DIR}/man/source/${name}.1 @ONLY)
  kordane_gzip(${CMAKE_BINARY_DIR}/man/source/${name}.1 ${page})
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# The driver needs nothing beside itself: it loads the Firebird client by name.
set_target_properties(dbxfb PROPERTIES INSTALL_RPATH "" SKIP_BUILD_RPATH ON)
kordane_program(Kordane DRIVER)
install(TARGETS dbxfb LIBRARY DESTINATION ${KORDANE_INSTALL_DRIVERDIR})
kordane_binary(dbxfb)
install(FILES dist/dbxdrivers.ini DESTINATION ${kordane_sysconf_destination})
install(FILES dist/kordane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES app/icons/kordane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size IN LISTS KORDANE_ICON_SIZES)
  install(FILES app/icons/kordane-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kordane.png)
endforeach()
kordane_program(makedemo)
kordane_program(kordane-admin)
kordane_program(kordane-report DRIVER)

# User units: the backup runs as the admin who set the site up, in that user's engine set-up.
configure_file(dist/systemd/kordane-backup.service ${CMAKE_BINARY_DIR}/systemd/kordane-backup.service @ONLY)
configure_file(dist/systemd/kordane-punches.service ${CMAKE_BINARY_DIR}/systemd/kordane-punches.service @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/systemd/kordane-backup.service dist/systemd/kordane-backup.timer
              ${CMAKE_BINARY_DIR}/systemd/kordane-punches.service
        DESTINATION lib/systemd/user)
install(FILES dist/debian/copyright DESTINATION ${kordane_docdir})
install(FILES dist/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kordane)
kordane_gzip(${PROJECT_SOURCE_DIR}/dist/debian/changelog ${CMAKE_BINARY_DIR}/doc/changelog.Debian)
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz DESTINATION ${kordane_docdir})

# The installed tree checked in a scratch prefix: layout, a start on an empty database.
set(prefix ${CMAKE_BINARY_DIR}/install-test)
add_test(NAME install_layout COMMAND bash -c
  "rm -rf '${prefix}' && cmake --install '${CMAKE_BINARY_DIR}' --prefix '${prefix}' >/dev/null && bash '${PROJECT_SOURCE_DIR}/scripts/check-installed.sh' '${prefix}' '${prefix}/etc/kordane/dbxdrivers.ini' --name-drivers")
set_tests_properties(install_layout PROPERTIES LABELS install TIMEOUT 300 ENVIRONMENT "${KORDANE_SANITIZER_ENV}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kordane)
set(CPACK_PACKAGE_VENDOR Kordane)
# The project's own address, the one its commits carry: a reserved domain that no mail
# can reach by mistake.
set(CPACK_PACKAGE_CONTACT "Kordane maintainers <maintainers@users.noreply.c-seed-e0845e09.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "staff daily attendance records in a Firebird database")
set(CPACK_PACKAGE_DESCRIPTION [=[
Kordane keeps, for each date and employee, the time on duty and the time off
duty. Clerks key the records in and correct them in one keyboard-first window
in Traditional Chinese, with a day grid and add, modify and delete commands;
at every start it fills in the missing employee names of the last 35 days.

The database is Firebird 3, through the embedded engine on one desk or a
Firebird server for a team. kordane-makedb makes a new site's database and its
configuration files.]=])
# The version is the changelog's latest entry, which must be for this release.
file(STRINGS dist/debian/changelog changelog_top LIMIT_COUNT 1)
string(REPLACE "." "\\." version_pattern ${PROJECT_VERSION})
if(NOT changelog_top MATCHES "^kordane \\(${version_pattern}-([^)]+)\\) ")
  message(FATAL_ERROR "dist/debian/changelog has no entry for ${PROJECT_VERSION} on top: ${changelog_top}")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_1})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Stripped as dh_strip strips, which also drops the compiler's comment and note sections.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebStrip.cmake)
# What is loaded at run time no tool can see: the Firebird client and its embedded engine,
# and the font. The libraries the binaries link are added at cpack time by dpkg-shlibdeps
# (CPack's own option for it would also make the package run ldconfig for the driver,
# which lies outside the linker's path).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libfbclient2 (>= 3.0), firebird3.0-server-core (>= 3.0), fonts-arphic-uming")
get_property(kordane_binaries GLOBAL PROPERTY kordane_binaries)
set(CPACK_KORDANE_BINARIES ${CMAKE_BINARY_DIR}/debian/binaries.cmake)
file(GENERATE OUTPUT ${CPACK_KORDANE_BINARIES} CONTENT "set(kordane_binaries \"${kordane_binaries}\")\n")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/DebShlibdeps.cmake)
# Wayland sessions, the input-method plugins a clerk keys Chinese names through, and Qt's
# own texts (the fields' context menus) in Traditional Chinese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-qpa-plugins, qt6-translations-l10n")
if(IS_ABSOLUTE ${KORDANE_INSTALL_SYSCONFDIR} AND KORDANE_INSTALL_SYSCONFDIR MATCHES "^/etc/")
  # An administrator's edits to the drivers file survive upgrades; purge removes it.
  file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "${KORDANE_INSTALL_SYSCONFDIR}/dbxdrivers.ini\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
