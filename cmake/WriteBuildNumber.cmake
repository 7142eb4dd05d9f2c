# Writes OUTPUT, a header defining OSTREVANE_BUILD_NUMBER from `git describe` of SOURCE_DIR
# (or FALLBACK when that is not a git checkout). The file is rewritten only when the
# number changes, so an unchanged checkout rebuilds nothing.
find_package(Git QUIET)
set(number "")
if(GIT_FOUND)
  execute_process(
    COMMAND ${GIT_EXECUTABLE} describe --tags --always --dirty
    WORKING_DIRECTORY ${SOURCE_DIR}
    OUTPUT_VARIABLE number
    OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    set(number "")
  endif()
endif()
if(number STREQUAL "")
  set(number "${FALLBACK}")
endif()
if(number STREQUAL "")
  set(content "// Not a git checkout and no OSTREVANE_BUILD_NUMBER given: the build number is unknown.\n")
else()
  set(content "#define OSTREVANE_BUILD_NUMBER \"${number}\"\n")
endif()
set(content "#pragma once\n${content}")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL content)
  file(WRITE ${OUTPUT} "${content}")
endif()
