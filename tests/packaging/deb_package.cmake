# Builds the Debian package and the .tar.gz with CPack, installs the package
# into a scratch root with `dpkg -x` and converts the sample export with the
# installed program; the result must be the sample's expected BibTeX file.
#
# BUILD_DIR: the configured build; EXPORT, EXPECTED_BIB: the sample;
# WORK_DIR: scratch space.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/root)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(failed)
    message(FATAL_ERROR "${ARGN} failed:\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

run(cpack --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/packages)
file(GLOB deb ${WORK_DIR}/packages/*.deb)
file(GLOB tgz ${WORK_DIR}/packages/*.tar.gz)
if(NOT deb OR NOT tgz)
  message(FATAL_ERROR "CPack made no .deb or no .tar.gz in ${WORK_DIR}/packages")
endif()

run(dpkg-deb --field ${deb} Package Version Depends)
foreach(field "Package: kartconv" "Version: 1.7.0" "Depends: .*libc6")
  if(NOT output MATCHES "${field}")
    message(SEND_ERROR "the package control data lack '${field}':\n${output}")
  endif()
endforeach()

run(dpkg -x ${deb} ${WORK_DIR}/root)
set(program ${WORK_DIR}/root/usr/bin/kartconv)
set(manual ${WORK_DIR}/root/usr/share/man/man1/kartconv.1)
foreach(installed ${program} ${manual})
  if(NOT EXISTS ${installed})
    message(FATAL_ERROR "the package does not install ${installed}")
  endif()
endforeach()

# The manual page must render without a warning.
find_program(GROFF groff)
if(GROFF)
  run(${GROFF} -man -Tutf8 -ww -z ${manual})
  if(NOT output STREQUAL "")
    message(SEND_ERROR "groff warns about the manual page:\n${output}")
  endif()
endif()

execute_process(COMMAND ${program} ${EXPORT} ${WORK_DIR}/out.bib
                RESULT_VARIABLE exit_code OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT exit_code STREQUAL "0" OR NOT errors STREQUAL "")
  message(FATAL_ERROR "the installed program ended with ${exit_code}:\n${errors}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/out.bib ${EXPECTED_BIB}
                RESULT_VARIABLE different)
if(different)
  message(SEND_ERROR "the installed program's BibTeX file differs from ${EXPECTED_BIB}")
endif()

# The .tar.gz holds the same two files under the same names.
run(${CMAKE_COMMAND} -E tar tf ${tgz})
foreach(entry "bin/kartconv\n" "share/man/man1/kartconv.1\n")
  string(FIND "${output}" "${entry}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "the .tar.gz lacks ${entry}:\n${output}")
  endif()
endforeach()
