# Installation as a desktop program, and the Debian package made from it.
#   bin/Kordane, bin/kordane-makedb        the program and the database maker
#   bin/kordane-report                     the reports, through the same driver
#   lib/kordane/libdbxfb.so                the driver, found through the program's RUNPATH
#   <sysconfdir>/kordane/dbxdrivers.ini    the default drivers file (/etc/kordane for /usr)
#   share/applications, share/icons        desktop entry and icons
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

if(TARGET Kordane AND TARGET dbxfb)
  set_target_properties(Kordane PROPERTIES INSTALL_RPATH "$ORIGIN/../${KORDANE_INSTALL_DRIVERDIR}")
  # The driver needs nothing beside itself: it loads the Firebird client by name.
  set_target_properties(dbxfb PROPERTIES INSTALL_RPATH "")
  install(TARGETS Kordane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS dbxfb LIBRARY DESTINATION ${KORDANE_INSTALL_DRIVERDIR})
  set_target_properties(kordane-report PROPERTIES INSTALL_RPATH "$ORIGIN/../${KORDANE_INSTALL_DRIVERDIR}")
  install(TARGETS kordane-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES dist/dbxdrivers.ini DESTINATION ${kordane_sysconf_destination})
  install(FILES dist/kordane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES app/icons/kordane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  file(GLOB icon_pngs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/app/icons/kordane-*.png)
  foreach(png IN LISTS icon_pngs)
    string(REGEX REPLACE ".*kordane-([0-9]+)\\.png$" "\\1" size ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kordane.png)
  endforeach()
endif()
if(TARGET makedemo)
  # Built with the RUNPATH $ORIGIN, which points at nothing it needs once installed.
  install(PROGRAMS $<TARGET_FILE:makedemo> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME kordane-makedb)
endif()

# The installed tree checked in a scratch prefix: layout, a start on an empty database.
if(TARGET Kordane AND TARGET dbxfb AND TARGET makedemo)
  set(prefix ${CMAKE_BINARY_DIR}/install-test)
  add_test(NAME install_layout COMMAND bash -c
    "rm -rf '${prefix}' && cmake --install '${CMAKE_BINARY_DIR}' --prefix '${prefix}' >/dev/null && bash '${PROJECT_SOURCE_DIR}/scripts/check-installed.sh' '${prefix}' '${prefix}/etc/kordane/dbxdrivers.ini' --name-drivers")
  set_tests_properties(install_layout PROPERTIES LABELS install TIMEOUT 300 ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kordane)
set(CPACK_PACKAGE_VENDOR Kordane)
set(CPACK_PACKAGE_CONTACT "Kordane maintainers <kordane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Staff daily attendance records in a Firebird database")
set(CPACK_PACKAGE_DESCRIPTION "Clerks key in and correct the time on and off duty of each employee for a date, in one keyboard-first window in Traditional Chinese.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_STRIP_FILES ON)
# Debian 12's own packages, named here rather than found by dpkg-shlibdeps: the Firebird
# client and its embedded engine are loaded at run time, where no tool can see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libfbclient2 (>= 3.0), firebird3.0-server-core (>= 3.0), fonts-arphic-uming")
# Wayland sessions, and the input-method plugins a clerk keys Chinese names through.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-qpa-plugins")
if(IS_ABSOLUTE ${KORDANE_INSTALL_SYSCONFDIR} AND KORDANE_INSTALL_SYSCONFDIR MATCHES "^/etc/")
  # An administrator's edits to the drivers file survive upgrades; purge removes it.
  file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "${KORDANE_INSTALL_SYSCONFDIR}/dbxdrivers.ini\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
