# play-walkthrough.cmake - plays an example adventure headless from a key script in a fresh copy
# of its folder, and compares the transcript with the expected one (a diff on mismatch).
# Variables: UMB (the program), EXAMPLE (the example's folder), GAME (game name), KEYS, EXPECTED,
# FORM (source: play game.adv; compiled: compile, then play game.umb with the sources removed),
# WORK (a scratch folder; the game runs there so that its pictures and saved games are found
# relative to it).
file(REMOVE_RECURSE "${WORK}")
file(COPY "${EXAMPLE}/" DESTINATION "${WORK}")

if(FORM STREQUAL "compiled")
  execute_process(COMMAND "${UMB}" -c "${GAME}" WORKING_DIRECTORY "${WORK}"
    OUTPUT_VARIABLE said ERROR_VARIABLE said RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT said MATCHES "Conversion complete" OR NOT EXISTS "${WORK}/${GAME}.umb")
    message(FATAL_ERROR "compiling ${GAME} failed (${status}):\n${said}")
  endif()
  file(GLOB sources "${WORK}/*.adv")
  file(REMOVE ${sources})
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E env UMB_DRIVER=headless "${UMB}" "${GAME}"
  WORKING_DIRECTORY "${WORK}"
  INPUT_FILE "${KEYS}"
  OUTPUT_FILE "${WORK}/transcript.txt"
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
  message(FATAL_ERROR "${GAME} ended with ${status}:\n${errors}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/transcript.txt" "${EXPECTED}"
  RESULT_VARIABLE same)
if(NOT same EQUAL 0)
  execute_process(COMMAND diff -u "${EXPECTED}" "${WORK}/transcript.txt"
    OUTPUT_VARIABLE difference)
  message(FATAL_ERROR "the transcript differs from ${EXPECTED}:\n${difference}")
endif()
