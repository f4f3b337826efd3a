# Regenerates the demo drive into a temporary folder and checks that it is
# byte for byte the committed data/demo/demo-drive.nmea.
#   cmake -DGENERATOR=<tarvo-demo-drive> -DEXPECTED=<committed file> -DWORK=<folder> -P check_demo.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${GENERATOR}" "${WORK}/demo-drive.nmea" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "tarvo-demo-drive failed: ${result}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/demo-drive.nmea" "${EXPECTED}" RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "${EXPECTED} is not what tools/demo-drive writes now; "
                      "regenerate it: tarvo-demo-drive data/demo/demo-drive.nmea")
endif()
file(REMOVE_RECURSE "${WORK}")
