#include "core/map/blank_map.h"

#include <vector>

#include "core/map/gif_writer.h"

namespace tarvo {

std::span<const uint8_t> BlankMapGif() {
  static const std::vector<uint8_t> gif = [] {
    constexpr size_t kSide = kBlankMapSize;
    std::vector<uint8_t> pixels(kSide * kSide, 0);
    for (const int line : kBlankMapGridLines) {
      const auto at = static_cast<size_t>(line);
      for (size_t i = 0; i < kSide; ++i) {
        pixels[at * kSide + i] = 1;  // the row
        pixels[i * kSide + at] = 1;  // the column
      }
    }
    const GifColour palette[] = {{255, 255, 255}, {kBlankMapGridGrey, kBlankMapGridGrey, kBlankMapGridGrey}};
    return EncodeGif(kBlankMapSize, kBlankMapSize, pixels, palette);
  }();
  return gif;
}

}  // namespace tarvo
