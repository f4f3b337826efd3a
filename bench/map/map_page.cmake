# The map page's repaint: a 1920 x 1080 map area of a large picture at each
# zoom, with a 100,000-point track and 1,000 POIs, against Qt's own scaled
# draw of the same picture area (bench_map_page [repeats]).
if(TARVO_BUILD_GUI AND TARGET tarvo_gui)
  find_package(GTest REQUIRED)
  add_executable(bench_map_page ${CMAKE_CURRENT_LIST_DIR}/bench_map_page.cpp)
  set_target_properties(bench_map_page PROPERTIES AUTOMOC ON)
  target_include_directories(bench_map_page PRIVATE ${CMAKE_SOURCE_DIR}/tests/gui)
  target_link_libraries(bench_map_page PRIVATE tarvo_gui GTest::gtest)
endif()
