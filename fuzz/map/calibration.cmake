# The calibration file readers (.ini and .wcd key=value text, .gmi lines).
tarvo_add_fuzzer(map_calibration ${CMAKE_CURRENT_LIST_DIR}/map_calibration_fuzz.cpp)
