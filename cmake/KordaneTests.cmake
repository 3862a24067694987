# How a sanitized run is told to check leaks: leaks fail it; those inside the platform's
# libraries are suppressed. Clang 14's leak checker, tracking the dynamic thread-local
# storage that the Firebird client (loaded with dlopen) sets up under Debian 12's glibc,
# can crash at exit ("Tracer caught signal 11"): it is told not to intercept it.
set(KORDANE_SANITIZER_ENV
  "ASAN_OPTIONS=detect_leaks=1"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0:intercept_tls_get_addr=0")

# Test executables and the project's libraries. A test named tst_srv_* needs the private
# Firebird server, which the fixture below starts once for the whole run and stops by its PID.
set(KORDANE_FBSERVER_DIR ${CMAKE_BINARY_DIR}/fbserver)
set(KORDANE_FBSERVER_PORT 33050 CACHE STRING "Port of the private test server")
set(KORDANE_FBSERVER_PASSWORD kordane-test)

# kordane_add_test(area tst_name LIBS libraries...): tests/<area>/tst_name.cpp, linked to
# the library it tests and the test support it uses, and nothing else.
function(kordane_add_test area name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  set(target ${area}_${name})
  add_executable(${target} ${name}.cpp)
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} Qt6::Test kordane_options)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  add_test(NAME ${target} COMMAND ${target})
  set(env
    "QT_QPA_PLATFORM=offscreen"
    "KORDANE_TEST_SERVER=127.0.0.1/${KORDANE_FBSERVER_PORT}"
    "KORDANE_TEST_PASSWORD=${KORDANE_FBSERVER_PASSWORD}"
    "KORDANE_TEST_SERVER_DIR=${KORDANE_FBSERVER_DIR}"
    "KORDANE_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    ${KORDANE_SANITIZER_ENV})
  set_tests_properties(${target} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300 LABELS ${area})
  if(name MATCHES "^tst_srv_")
    set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED firebird_server RESOURCE_LOCK firebird_server)
  endif()
endfunction()

# kordane_library(name SOURCES files... LIBS libraries...): a static library of the calling
# directory's files.
function(kordane_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS} kordane_options)
endfunction()
