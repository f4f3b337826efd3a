// The built-in blank map: a white 500 x 500 picture with light grey grid
// lines, shown around the current position when the user has no map.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tarvo {

inline constexpr int kBlankMapSize = 500;  // pixels, width and height
// Rows and columns that carry a one-pixel grid line.
inline constexpr std::array<int, 6> kBlankMapGridLines{0, 99, 199, 299, 399, 499};
inline constexpr uint8_t kBlankMapGridGrey = 192;  // RGB 192, 192, 192 on white

// The blank map as a GIF89a file with a two-colour palette (0 white, 1 grey),
// made once and kept for the program's lifetime.
std::span<const uint8_t> BlankMapGif();

}  // namespace tarvo
