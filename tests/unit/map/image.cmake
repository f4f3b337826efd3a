# Map pictures: the decoders and MapImage, the corpora of ../shared, and tarvo-image as a process.
tarvo_add_test(NAME test_map_image SOURCES test_map_image.cpp)
tarvo_add_test(NAME test_map_image_corpus SOURCES test_map_image_corpus.cpp LABELS unit corpus)
tarvo_add_test(NAME test_map_image_tool SOURCES test_map_image_tool.cpp)
add_dependencies(test_map_image_tool tarvo-image)
