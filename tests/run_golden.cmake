# Runs kartconv on one export and compares the BibTeX file and the console
# bytes with the expected files, byte for byte.
#
# Either CASE_DIR (holding export.txt, expected.bib, expected.console and an
# optional `args` file with the words after the file names) or EXPORT and EXPECTED_BIB.
if(CASE_DIR)
  set(EXPORT ${CASE_DIR}/export.txt)
  set(EXPECTED_BIB ${CASE_DIR}/expected.bib)
  set(EXPECTED_CONSOLE ${CASE_DIR}/expected.console)
  if(EXISTS ${CASE_DIR}/args)
    # The words after the two file names, separated by blanks.
    file(READ ${CASE_DIR}/args OPTION_WORD)
    string(STRIP "${OPTION_WORD}" OPTION_WORD)
    separate_arguments(OPTION_WORD UNIX_COMMAND "${OPTION_WORD}")
  endif()
endif()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(BIB ${WORK_DIR}/out.bib)

separate_arguments(emulator NATIVE_COMMAND "${EMULATOR}")
# The cases convert a few records each, in well under a second; a run that
# has not ended after this many seconds loops, and is ended here (before
# the test's own time limit) so that the failure says so.
set(program_timeout 40)
macro(run_program)
  execute_process(
    COMMAND ${emulator} ${PROGRAM} ${EXPORT} ${BIB} ${OPTION_WORD}
    OUTPUT_FILE ${WORK_DIR}/console
    ERROR_VARIABLE errors
    RESULT_VARIABLE exit_code
    TIMEOUT ${program_timeout})
  if(exit_code MATCHES "timeout")
    message(FATAL_ERROR "${PROGRAM} did not end within ${program_timeout} s (${exit_code})")
  endif()
endmacro()
run_program()
# kartconv writes its banner before anything else, so a run that failed with
# no output at all never started. Wine now and then fails to start a program
# that way (seen once: exit code 127, silent); such a run is started once
# more, and the second start is noted for the Windows stage to report.
file(SIZE ${WORK_DIR}/console console_size)
if(EMULATOR AND NOT exit_code STREQUAL "0" AND console_size EQUAL 0 AND errors STREQUAL "")
  file(APPEND ${WORK_DIR}/../restarted.txt
       "${WORK_DIR}: exit code ${exit_code} with no output; started again\n")
  run_program()
endif()

set(failed FALSE)
if(NOT exit_code STREQUAL "0")
  message(SEND_ERROR "exit code ${exit_code}, expected 0")
  set(failed TRUE)
endif()
if(NOT errors STREQUAL "")
  message(SEND_ERROR "unexpected output on standard error:\n${errors}")
  set(failed TRUE)
endif()

function(compare actual expected)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${actual} ${expected}
                  RESULT_VARIABLE different)
  if(different)
    find_program(DIFF diff)
    if(DIFF)
      execute_process(COMMAND ${DIFF} -u --text ${expected} ${actual} OUTPUT_VARIABLE shown)
    endif()
    message(SEND_ERROR "${actual} differs from ${expected}\n${shown}")
  endif()
endfunction()

compare(${BIB} ${EXPECTED_BIB})
if(EXPECTED_CONSOLE)
  compare(${WORK_DIR}/console ${EXPECTED_CONSOLE})
endif()
