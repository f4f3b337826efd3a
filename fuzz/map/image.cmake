# One target per picture decoder, through MapImage.
tarvo_add_fuzzer(map_bmp map_bmp_fuzz.cpp)
tarvo_add_fuzzer(map_gif map_gif_fuzz.cpp)
tarvo_add_fuzzer(map_jpeg map_jpeg_fuzz.cpp)
tarvo_add_fuzzer(map_png map_png_fuzz.cpp)
