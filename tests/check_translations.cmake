# Fails when a text marked for translation under SOURCE_DIR has no finished Simplified
# Chinese translation in TS_FILE, or when a translation drops or adds a placeholder.
#
# The committed file is copied and updated from the sources into WORK_DIR, so texts
# added since it was last updated show up as unfinished; the committed file is never
# touched. Inputs: LUPDATE, SOURCE_DIR, TS_FILE, WORK_DIR.

cmake_minimum_required(VERSION 3.25)

foreach(var LUPDATE SOURCE_DIR TS_FILE WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_translations: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(checked "${WORK_DIR}/current.ts")
file(COPY_FILE "${TS_FILE}" "${checked}")

execute_process(
  COMMAND "${LUPDATE}" -silent -no-obsolete "${SOURCE_DIR}" -ts "${checked}"
  RESULT_VARIABLE lupdate_result
  OUTPUT_VARIABLE lupdate_output
  ERROR_VARIABLE lupdate_output)
if(NOT lupdate_result EQUAL 0)
  message(FATAL_ERROR "lupdate failed (${lupdate_result}):\n${lupdate_output}")
endif()

# The text between `open` and `close` inside `block`, or "" when absent.
function(text_between block open close out)
  string(FIND "${block}" "${open}" start)
  if(start EQUAL -1)
    set(${out} "" PARENT_SCOPE)
    return()
  endif()
  string(LENGTH "${open}" open_length)
  math(EXPR start "${start} + ${open_length}")
  string(SUBSTRING "${block}" ${start} -1 rest)
  string(FIND "${rest}" "${close}" end) # -1 takes the rest
  string(SUBSTRING "${rest}" 0 ${end} result)
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# The printf-style placeholders of `text`, positions dropped and sorted ("%1$@" is "%@").
function(placeholders text out)
  string(REGEX MATCHALL "%([0-9]+\\$)?(ll|l|h|q|z)?[diu@s]" found "${text}")
  set(result "")
  foreach(p IN LISTS found)
    string(REGEX REPLACE "^%[0-9]+\\$" "%" p "${p}")
    list(APPEND result "${p}")
  endforeach()
  list(SORT result)
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

file(READ "${checked}" content)
set(untranslated "")
set(mismatched "")
set(count 0)
while(TRUE)
  string(FIND "${content}" "<message" start)
  if(start EQUAL -1)
    break()
  endif()
  string(SUBSTRING "${content}" ${start} -1 content)
  string(FIND "${content}" "</message>" end)
  if(end EQUAL -1)
    message(FATAL_ERROR "unterminated <message> in the updated translations file")
  endif()
  string(SUBSTRING "${content}" 0 ${end} block)
  math(EXPR end "${end} + 10")
  string(SUBSTRING "${content}" ${end} -1 content)
  math(EXPR count "${count} + 1")

  text_between("${block}" "<source>" "</source>" source)
  text_between("${block}" "<translation" "</translation>" translation)
  if(translation MATCHES "type=\"(unfinished|vanished|obsolete)\"" OR NOT translation MATCHES ">.+")
    string(APPEND untranslated "  ${source}\n")
    continue()
  endif()
  placeholders("${source}" expected)
  placeholders("${translation}" actual)
  if(NOT "${expected}" STREQUAL "${actual}")
    string(APPEND mismatched "  ${source}  (placeholders ${expected} vs ${actual})\n")
  endif()
endwhile()

if(untranslated OR mismatched)
  set(report "")
  if(untranslated)
    string(APPEND report "Texts without a finished Simplified Chinese translation in ${TS_FILE}:\n${untranslated}")
  endif()
  if(mismatched)
    string(APPEND report "Translations whose placeholders differ from their English text:\n${mismatched}")
  endif()
  string(APPEND report "Update the file with the update_translations target (or lupdate) and translate these.")
  message(FATAL_ERROR "${report}")
endif()
message(STATUS "${count} texts, all translated")
