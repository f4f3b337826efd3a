# Calibration: reference points and transforms, the calibration files beside
# map pictures, the blank map; and tarvo-map run as a process.
tarvo_add_test(NAME test_map_calibration
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_map_calibration.cpp ${CMAKE_CURRENT_LIST_DIR}/test_map_calibration_files.cpp)
tarvo_add_test(NAME test_map_calibration_tool SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_map_calibration_tool.cpp)
add_dependencies(test_map_calibration_tool tarvo-map)
