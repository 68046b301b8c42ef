# Builds the Debian package from debian/ as a Debian packager does
# (dpkg-buildpackage in a scratch copy of the source, so the checkout stays
# clean), holds it and its .changes to lintian, installs it into a scratch
# root with `dpkg -x` and converts the sample export with the installed
# program; the result must be the sample's expected BibTeX file. Then builds
# the .tar.gz with CPack and checks what it holds.
#
# SOURCE_DIR: the source tree; BUILD_DIR: the configured build; VERSION: the
# project's version; EXPORT, EXPECTED_BIB: the sample; WORK_DIR: scratch space.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/root)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(failed)
    message(FATAL_ERROR "${ARGN} failed:\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

foreach(tool dpkg-buildpackage dh lintian dpkg-deb readelf gzip)
  find_program(found_${tool} ${tool})
  if(NOT found_${tool})
    message(FATAL_ERROR "${tool} is missing: the Debian package needs dpkg-dev, debhelper and "
                        "lintian; run scripts/install-deps as root to install them")
  endif()
endforeach()

# The source without Git's data and without build trees (the CMake builds,
# dpkg-buildpackage's obj-* folder), which would only slow the copy down.
set(source ${WORK_DIR}/kartconv-${VERSION})
file(GLOB entries LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
foreach(entry IN LISTS entries)
  set(path ${SOURCE_DIR}/${entry})
  string(FIND "${BUILD_DIR}/" "${path}/" build_dir_inside)
  if(entry MATCHES "^(\\.git|build.*|obj-.*)$" OR EXISTS ${path}/CMakeCache.txt
     OR build_dir_inside EQUAL 0)
    continue()
  endif()
  file(COPY ${path} DESTINATION ${source})
endforeach()

# dpkg-buildpackage writes the packages beside the source folder.
execute_process(COMMAND dpkg-buildpackage -us -uc -b -Jauto
                WORKING_DIRECTORY ${source}
                RESULT_VARIABLE failed OUTPUT_FILE ${WORK_DIR}/build.log ERROR_FILE ${WORK_DIR}/build.log)
if(failed)
  file(READ ${WORK_DIR}/build.log log)
  message(FATAL_ERROR "dpkg-buildpackage -us -uc -b failed (${WORK_DIR}/build.log):\n${log}")
endif()
run(dpkg --print-architecture)
string(STRIP "${output}" arch)
file(GLOB deb ${WORK_DIR}/kartconv_${VERSION}-*_${arch}.deb)
file(GLOB changes ${WORK_DIR}/kartconv_${VERSION}-*_${arch}.changes)
if(NOT deb OR NOT changes)
  file(GLOB made ${WORK_DIR}/*.deb)
  message(FATAL_ERROR "dpkg-buildpackage made no kartconv_${VERSION}-*_${arch}.deb and .changes "
                      "(debian/changelog must name the project's version ${VERSION}); it made: ${made}")
endif()

# The .changes holds the package, its debug symbols package and the build
# information; lintian checks all three. Overrides in debian/ must say why.
execute_process(COMMAND lintian --fail-on error,warning --display-info ${changes}
                RESULT_VARIABLE failed OUTPUT_VARIABLE tags ERROR_VARIABLE lintian_errors)
if(failed)
  message(FATAL_ERROR "lintian finds errors or warnings in ${changes}:\n${tags}${lintian_errors}")
endif()
if(NOT tags STREQUAL "")
  message(STATUS "lintian's remaining informational tags:\n${tags}")
endif()

run(dpkg-deb --field ${deb} Package Version Section Depends)
foreach(field "Package: kartconv\n" "Version: ${VERSION}-" "Section: tex\n" "Depends: .*libc6")
  if(NOT output MATCHES "${field}")
    message(SEND_ERROR "the package control data lack '${field}':\n${output}")
  endif()
endforeach()

run(dpkg -x ${deb} ${WORK_DIR}/root)
set(program ${WORK_DIR}/root/usr/bin/kartconv)
set(manual ${WORK_DIR}/root/usr/share/man/man1/kartconv.1.gz)
set(copyright ${WORK_DIR}/root/usr/share/doc/kartconv/copyright)
foreach(installed ${program} ${manual} ${copyright})
  if(NOT EXISTS ${installed})
    message(FATAL_ERROR "the package does not install ${installed}")
  endif()
endforeach()
file(GLOB_RECURSE man_pages RELATIVE ${WORK_DIR}/root ${WORK_DIR}/root/usr/share/man/*)
if(NOT man_pages STREQUAL "usr/share/man/man1/kartconv.1.gz")
  message(SEND_ERROR "the package's manual pages are ${man_pages}, not the one compressed page")
endif()

# Stripped at install: no symbol table and no debug information left; those
# go to the -dbgsym package.
run(readelf --section-headers --wide ${program})
if(output MATCHES "\\.symtab|\\.debug_")
  message(SEND_ERROR "the installed program is not stripped:\n${output}")
endif()

# The manual page must render without a warning.
find_program(GROFF groff)
if(GROFF)
  execute_process(COMMAND gzip -dc ${manual} OUTPUT_FILE ${WORK_DIR}/kartconv.1)
  run(${GROFF} -man -Tutf8 -ww -z ${WORK_DIR}/kartconv.1)
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

# The .tar.gz holds the program, the manual page and the licence.
run(cpack --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/cpack)
file(GLOB tgz ${WORK_DIR}/cpack/*.tar.gz)
if(NOT tgz)
  message(FATAL_ERROR "CPack made no .tar.gz in ${WORK_DIR}/cpack")
endif()
run(${CMAKE_COMMAND} -E tar tf ${tgz})
foreach(entry "bin/kartconv\n" "share/man/man1/kartconv.1\n" "share/doc/kartconv/LICENSE\n")
  string(FIND "${output}" "${entry}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "the .tar.gz lacks ${entry}:\n${output}")
  endif()
endforeach()
