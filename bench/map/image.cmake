# Map pictures: bench_map_image.sh makes a 16,000 x 16,000 JPEG map and large
# GIF and BMP files at bench time (in a temporary folder) and measures
# tarvo-image against djpeg and ImageMagick's convert on them, then runs
# bench_map_image (ScaleRegion at each zoom) on the JPEG.
add_executable(bench_map_image bench_map_image.cpp)
target_link_libraries(bench_map_image PRIVATE tarvo_core benchmark::benchmark)
find_package(JPEG REQUIRED)
add_executable(bench_map_image_make bench_map_image_make.cpp)
target_link_libraries(bench_map_image_make PRIVATE JPEG::JPEG)
add_executable(bench_map_image_measure bench_map_image_measure.cpp)
