# The project's own compile options, linked by every target it builds. Qt's implicit
# conversions between bytes and text are off: each conversion names its code page.
add_library(kordane_options INTERFACE)
# Everything is built position independent, as Qt asks; no symbol of ours is meant to be
# replaced at load time, so calls within a library may be inlined as in a program.
target_compile_options(kordane_options INTERFACE
  -Wall -Wextra -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -pedantic
  -fno-semantic-interposition
  $<$<BOOL:${KORDANE_WERROR}>:-Werror>)
# Includes name their file's path from the repository root: "data/sql/SqlConnection.h".
target_include_directories(kordane_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_definitions(kordane_options INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY)

# Every compiled target of the directory `dir` and below links the options above.
function(kordane_check_options dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(libs ${target} LINK_LIBRARIES)
    if(type MATCHES "^(STATIC|SHARED|MODULE)_LIBRARY$|^EXECUTABLE$" AND NOT "kordane_options" IN_LIST libs)
      message(FATAL_ERROR "${target} does not link kordane_options")
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    kordane_check_options(${sub})
  endforeach()
endfunction()
