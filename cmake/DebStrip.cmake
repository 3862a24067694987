# Run by CPack on the staged package tree: strips every ELF file as dh_strip does, all
# symbols and the compiler's .comment and .note sections; a shared object keeps the
# symbols it exports.
file(GLOB_RECURSE files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS files)
  if(IS_SYMLINK ${file})
    continue()
  endif()
  file(READ ${file} magic LIMIT 4 HEX)
  if(NOT magic STREQUAL "7f454c46")
    continue()
  endif()
  set(options --remove-section=.comment --remove-section=.note)
  if(file MATCHES "\\.so(\\.[0-9]+)*$")
    list(APPEND options --strip-unneeded)
  endif()
  execute_process(COMMAND strip ${options} ${file} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
