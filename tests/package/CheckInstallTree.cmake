# cmake --install BUILD_DIRECTORY into SCRATCH: exactly the binary, the
# manual page and the README land there, and the binary validates SAMPLE
# (an absolute path) when run from another folder.
file(REMOVE_RECURSE ${SCRATCH})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIRECTORY} --prefix ${SCRATCH}/prefix
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${SCRATCH}/prefix ${SCRATCH}/prefix/*)
list(SORT installed)
set(expected bin/vexlor share/doc/vexlor/README.md share/man/man1/vexlor.1)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed: ${installed}\nexpected: ${expected}")
endif()

file(READ ${SCRATCH}/prefix/share/man/man1/vexlor.1 page LIMIT 200)
if(NOT page MATCHES "^\\.TH VEXLOR 1 ")
  message(FATAL_ERROR "the manual page does not start with .TH VEXLOR 1: ${page}")
endif()

file(MAKE_DIRECTORY ${SCRATCH}/elsewhere)
execute_process(COMMAND ${SCRATCH}/prefix/bin/vexlor ${SAMPLE}
  WORKING_DIRECTORY ${SCRATCH}/elsewhere
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT output MATCHES "\nOK-${SAMPLE}\n$")
  message(FATAL_ERROR "the installed vexlor exited ${result}\n${output}${errors}")
endif()
