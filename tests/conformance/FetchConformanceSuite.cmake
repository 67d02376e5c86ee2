# Puts the npm package PACKAGE, unpacked, into DESTINATION/package, unless it
# is already there. Run with: cmake -DNPM=npm -DPACKAGE=name@version
# -DDESTINATION=dir -P FetchConformanceSuite.cmake
set(marker "${DESTINATION}/package/cleaned/xmlconf-flattened.xml")
if(EXISTS "${marker}")
  message(STATUS "Conformance suite present in ${DESTINATION}")
  return()
endif()

# Unpack beside the destination and move it in last, so an interrupted fetch
# never leaves a half-unpacked tree that looks complete.
set(staging "${DESTINATION}/staging")
file(REMOVE_RECURSE "${staging}" "${DESTINATION}/package")
file(MAKE_DIRECTORY "${staging}")
execute_process(
  COMMAND "${NPM}" pack "${PACKAGE}" --cache "${DESTINATION}/npm-cache"
  WORKING_DIRECTORY "${staging}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors)
file(GLOB tarballs "${staging}/*.tgz")
list(LENGTH tarballs count)
if(NOT result EQUAL 0 OR NOT count EQUAL 1)
  message(FATAL_ERROR "npm pack ${PACKAGE} failed (${result}):\n${output}\n${errors}")
endif()

file(ARCHIVE_EXTRACT INPUT "${tarballs}" DESTINATION "${staging}")
if(NOT EXISTS "${staging}/package/cleaned/xmlconf-flattened.xml")
  message(FATAL_ERROR "${tarballs} does not hold package/cleaned/xmlconf-flattened.xml")
endif()
file(RENAME "${staging}/package" "${DESTINATION}/package")
file(REMOVE_RECURSE "${staging}" "${DESTINATION}/npm-cache")
message(STATUS "Conformance suite unpacked into ${DESTINATION}")
