# MODE=clear empties the test programs' home folder before they run;
# MODE=check fails when they left anything in it outside test mode's
# .qttest folder, that is where a user's own files would have been.
if(MODE STREQUAL "clear")
  file(REMOVE_RECURSE "${HOME}")
  file(MAKE_DIRECTORY "${HOME}")
  return()
endif()
file(GLOB_RECURSE written LIST_DIRECTORIES false RELATIVE "${HOME}" "${HOME}/*")
list(FILTER written EXCLUDE REGEX "^\\.qttest/")
if(written)
  list(JOIN written "\n  " shown)
  message(FATAL_ERROR
          "Tests wrote outside test mode's folders, where a user's files are:\n  ${shown}")
endif()
message(STATUS "Nothing written outside ${HOME}/.qttest")
