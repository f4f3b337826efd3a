# The POI page's per-fix refresh with 100,000 POIs and the page shown
# (offscreen), against working out every row's bearing and distance.
# Included from bench/poi/CMakeLists.txt; needs the window library.
if(TARVO_BUILD_GUI AND TARGET tarvo_gui)
  find_package(GTest REQUIRED)
  add_executable(bench_poi_page ${CMAKE_CURRENT_LIST_DIR}/bench_poi_page.cpp)
  set_target_properties(bench_poi_page PROPERTIES AUTOMOC ON)
  target_link_libraries(bench_poi_page PRIVATE tarvo_gui benchmark::benchmark GTest::gtest)
endif()
