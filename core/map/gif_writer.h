// A small GIF89a writer for palette pictures: one frame, one global colour
// table, LZW compressed. Used for the built-in blank map.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tarvo {

struct GifColour {
  uint8_t red = 0, green = 0, blue = 0;
};

// The GIF89a file of a width x height picture (1..65535 each) whose pixels
// are palette indexes, row by row from the top. The palette holds 1..256
// colours; it is padded with black to the next power of two (at least 2).
// Empty when the sizes do not fit, the pixel count is not width x height, or
// an index is not in the palette.
std::vector<uint8_t> EncodeGif(int width, int height, std::span<const uint8_t> pixels,
                               std::span<const GifColour> palette);

}  // namespace tarvo
