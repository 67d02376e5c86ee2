# cpack -G DEB with BUILD_DIRECTORY's configuration, into SCRATCH: the
# package is vexlor_VERSION_ARCH.deb, holds the binary, the compressed
# manual page, copyright and changelog, and depends on the libxml2 and
# libcurl runtime packages.
file(REMOVE_RECURSE ${SCRATCH})
execute_process(COMMAND ${CPACK} -G DEB --config ${BUILD_DIRECTORY}/CPackConfig.cmake -B ${SCRATCH}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed: ${result}\n${output}")
endif()

execute_process(COMMAND dpkg --print-architecture
  OUTPUT_VARIABLE architecture OUTPUT_STRIP_TRAILING_WHITESPACE)
set(package ${SCRATCH}/vexlor_${VERSION}_${architecture}.deb)
if(NOT EXISTS ${package})
  file(GLOB made ${SCRATCH}/*.deb)
  message(FATAL_ERROR "no ${package}; cpack made: ${made}")
endif()

execute_process(COMMAND dpkg-deb --contents ${package} OUTPUT_VARIABLE contents RESULT_VARIABLE result)
foreach(file
    "./usr/bin/vexlor" "./usr/share/man/man1/vexlor.1.gz"
    "./usr/share/doc/vexlor/copyright" "./usr/share/doc/vexlor/changelog.gz")
  string(REPLACE "." "\\." pattern "${file}")
  if(NOT contents MATCHES " ${pattern}\n")
    message(FATAL_ERROR "the package lacks ${file}:\n${contents}")
  endif()
endforeach()

execute_process(COMMAND dpkg-deb --field ${package} Package Depends Section Maintainer Description
  OUTPUT_VARIABLE fields RESULT_VARIABLE result)
foreach(pattern
    "Package: vexlor\n" "Depends: [^\n]*libxml2 \\(>= " "Depends: [^\n]*libcurl[^ ,]* \\(>= "
    "Section: [a-z]" "Maintainer: [^\n]+ <[^>]+@" "Description: [^\n]+\n [^\n]+")
  if(NOT fields MATCHES "${pattern}")
    message(FATAL_ERROR "the control fields do not match '${pattern}':\n${fields}")
  endif()
endforeach()
