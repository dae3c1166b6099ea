# check-pictures.cmake - draws the demo pictures afresh and checks that they are byte for byte
# the committed ones, and that no picture is missing or left over on either side.
# Variables: MKPICTURES, SCRAMBLE (the tools), EXPECTED (committed folder), OUT (work folder).
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
execute_process(COMMAND "${MKPICTURES}" "${OUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "mkpictures failed: ${status}")
endif()
# The game shows the loft scrambled; the plain drawing is only the tool's input.
execute_process(COMMAND "${SCRAMBLE}" "${OUT}/loft-plain.png" "${OUT}/loft.png"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "scramble failed: ${status}")
endif()
file(REMOVE "${OUT}/loft-plain.png")

file(GLOB made RELATIVE "${OUT}" "${OUT}/*")
file(GLOB committed RELATIVE "${EXPECTED}" "${EXPECTED}/*")
list(SORT made)
list(SORT committed)
if(NOT made STREQUAL committed)
  message(FATAL_ERROR "pictures made: ${made}\npictures committed: ${committed}")
endif()
set(differ "")
foreach(name IN LISTS made)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT}/${name}" "${EXPECTED}/${name}"
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    list(APPEND differ "${name}")
  endif()
endforeach()
if(differ)
  message(FATAL_ERROR "pictures that differ from the committed ones: ${differ}\n"
    "(run the tools into ${EXPECTED} again if the drawings were changed on purpose)")
endif()
list(LENGTH made count)
message(STATUS "${count} pictures match")
