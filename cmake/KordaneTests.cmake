# Every tests/<area>/tst_*.cpp is one test executable, linked to all of the project's
# libraries (kordane_add_tests) or to those it names (kordane_add_test). A file named tst_srv_*.cpp needs the private Firebird server, which the
# fixture below starts once for the whole run and stops by its PID.
set(KORDANE_FBSERVER_DIR ${CMAKE_BINARY_DIR}/fbserver)
set(KORDANE_FBSERVER_PORT 33050 CACHE STRING "Port of the private test server")
set(KORDANE_FBSERVER_PASSWORD kordane-test)

function(kordane_add_tests area)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(src IN LISTS sources)
    get_filename_component(name ${src} NAME_WE)
    kordane_add_test(${area} ${name} LIBS kordane_testsupport)
  endforeach()
endfunction()

# One test executable, tests/<area>/<name>.cpp, linked to the libraries given.
function(kordane_add_test area name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  set(target ${area}_${name})
  add_executable(${target} ${name}.cpp)
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} Qt6::Test)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  add_test(NAME ${target} COMMAND ${target})
  set(env
    "QT_QPA_PLATFORM=offscreen"
    "KORDANE_TEST_SERVER=127.0.0.1/${KORDANE_FBSERVER_PORT}"
    "KORDANE_TEST_PASSWORD=${KORDANE_FBSERVER_PASSWORD}"
    "KORDANE_TEST_SERVER_DIR=${KORDANE_FBSERVER_DIR}"
    "KORDANE_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    # Leaks fail a sanitized run; those inside the platform's libraries are suppressed.
    "ASAN_OPTIONS=detect_leaks=1"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
  set_tests_properties(${target} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300 LABELS ${area})
  if(name MATCHES "^tst_srv_")
    set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED firebird_server RESOURCE_LOCK firebird_server)
  endif()
endfunction()

# A static library of every .cpp in the calling directory (less those named in EXCLUDE).
function(kordane_library name)
  cmake_parse_arguments(ARG "" "" "EXCLUDE;LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(ex IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${ex})
  endforeach()
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  if(sources)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
  endif()
endfunction()
