# Builds the Windows .zip with CPack and checks that it holds kartconv.exe,
# the README and the licence, and nothing else.
#
# BUILD_DIR: the configured Windows build; WORK_DIR: scratch space.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND cpack --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}
                RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(failed)
  message(FATAL_ERROR "cpack failed:\n${out}")
endif()
file(GLOB zip ${WORK_DIR}/*.zip)
if(NOT zip)
  message(FATAL_ERROR "CPack made no .zip in ${WORK_DIR}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zip} OUTPUT_VARIABLE entries)
string(REGEX REPLACE "[^\n]*/" "" names "${entries}")
string(REGEX REPLACE "\n+" ";" names "${names}")
list(REMOVE_ITEM names "")
list(SORT names)
if(NOT names STREQUAL "LICENSE;README.md;kartconv.exe")
  message(SEND_ERROR "the .zip holds:\n${entries}\nexpected kartconv.exe, README.md and LICENSE")
endif()
