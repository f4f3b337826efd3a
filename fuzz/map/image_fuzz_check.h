// What every map picture decoder guarantees on arbitrary bytes, through
// MapImage as the map page loads pictures: it never reads outside the input,
// and a picture it accepts has a size within the limit and answers
// ScaleRegion over its whole area and beyond its edges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/map/map_image.h"

namespace tarvo::fuzzing {

// A lower pixel limit than the program's keeps every run small (16 MB).
inline constexpr std::uint64_t kFuzzMaxPixels = 4u << 20;

inline void Check(bool ok) {
  if (!ok) std::abort();
}

// One input through the decoder of `kind`.
inline int DecodeMapImage(const std::uint8_t* data, std::size_t size, tarvo::ImageKind kind) {
  tarvo::DecodeOptions options;
  options.maxPixels = kFuzzMaxPixels;
  tarvo::MapImage image;
  if (!image.LoadFromMemory(data, size, kind, options)) {
    Check(!image.IsValid() && image.LastError().reason != tarvo::ImageError::None);
    return 0;
  }
  Check(image.Width() > 0 && image.Height() > 0);
  Check(static_cast<std::uint64_t>(image.Width()) * static_cast<std::uint64_t>(image.Height()) <= kFuzzMaxPixels);
  std::vector<std::uint32_t> out(64 * 64);
  Check(image.ScaleRegion({0, 0, image.Width(), image.Height()}, 64, 64, out.data(), 64 * 4));
  Check(image.ScaleRegion({-10, -10, image.Width() + 20, 3}, 64, 3, out.data(), 64 * 4));
  volatile std::uint32_t sink = 0;
  for (const std::uint32_t pixel : out) sink = sink + pixel;
  return 0;
}

}  // namespace tarvo::fuzzing
