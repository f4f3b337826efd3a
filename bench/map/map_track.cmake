# The map page's repaint with a whole 1,000,000-point track on a 1920 x 1080
# map area at each zoom, against the same repaint without the track
# (bench_map_track [repeats]).
if(TARVO_BUILD_GUI AND TARGET tarvo_gui)
  find_package(GTest REQUIRED)
  add_executable(bench_map_track ${CMAKE_CURRENT_LIST_DIR}/bench_map_track.cpp)
  set_target_properties(bench_map_track PROPERTIES AUTOMOC ON)
  target_include_directories(bench_map_track PRIVATE ${CMAKE_SOURCE_DIR}/tests/gui)
  target_link_libraries(bench_map_track PRIVATE tarvo_gui GTest::gtest)
endif()
