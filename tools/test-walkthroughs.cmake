# test-walkthroughs.cmake - runs an example adventure's walkthroughs with umb --test --coverage in
# a fresh copy of its folder (the listing is written there), after checking that it compiles
# cleanly with -c; the output must name the source and end with every walkthrough passed.
# Variables: UMB (the program), EXAMPLE (the example's folder), GAME (game name), PASSED (the
# number of walkthroughs that must pass), WORK (a scratch folder).
file(REMOVE_RECURSE "${WORK}")
file(COPY "${EXAMPLE}/" DESTINATION "${WORK}")

# The headless driver: "Conversion complete" goes to standard error, never to a box that waits.
execute_process(COMMAND ${CMAKE_COMMAND} -E env UMB_DRIVER=headless "${UMB}" -c "${GAME}"
  WORKING_DIRECTORY "${WORK}"
  OUTPUT_VARIABLE said ERROR_VARIABLE said RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT said MATCHES "Conversion complete" OR NOT EXISTS "${WORK}/${GAME}.umb")
  message(FATAL_ERROR "compiling ${GAME} failed (${status}):\n${said}")
endif()

execute_process(COMMAND "${UMB}" --test --coverage "${GAME}" WORKING_DIRECTORY "${WORK}"
  OUTPUT_VARIABLE said ERROR_VARIABLE errors RESULT_VARIABLE status)
message("${said}")
if(NOT status EQUAL 0 OR NOT errors STREQUAL "" OR NOT said MATCHES "\n${PASSED} passed, 0 failed\n$"
   OR NOT said MATCHES "^${GAME}\\.adv: ${PASSED} walkthroughs\n"
   OR NOT EXISTS "${WORK}/${GAME}.coverage")
  message(FATAL_ERROR "the walkthroughs of ${GAME} failed (${status}):\n${errors}")
endif()
