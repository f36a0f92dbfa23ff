# Writes the manual page from the built program's own --help and --version:
# cmake -DPROGRAM=... -DCONVERTER=... -DDATE=... -DOUT=.../fenban.1 -P ManPage.cmake
# and OUT.gz beside it for the package.
execute_process(COMMAND "${PROGRAM}" --version OUTPUT_VARIABLE version RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT version MATCHES "^fenban ([^\n]+)\n$")
  message(FATAL_ERROR "${PROGRAM} --version: ${status} '${version}'")
endif()
set(version "${CMAKE_MATCH_1}")
execute_process(COMMAND "${PROGRAM}" --help COMMAND "${CONVERTER}" "${version}" "${DATE}"
                OUTPUT_FILE "${OUT}" RESULTS_VARIABLE statuses)
if(NOT statuses STREQUAL "0;0")
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "the manual page was not written: ${statuses}")
endif()
# No name or time in the gzip header: the same page gives the same bytes.
execute_process(COMMAND gzip -9nc "${OUT}" OUTPUT_FILE "${OUT}.gz" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed: ${status}")
endif()
