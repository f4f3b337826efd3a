// The PNG decoder on arbitrary bytes, through MapImage as the map page loads
// pictures: it must never read outside the input, and a picture it accepts
// must have a size within the limit and answer ScaleRegion over its whole
// area and beyond its edges.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/map/map_image.h"

namespace {

// A lower pixel limit than the program's keeps every run small (16 MB).
constexpr std::uint64_t kFuzzMaxPixels = 4u << 20;

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarvo::DecodeOptions options;
  options.maxPixels = kFuzzMaxPixels;
  tarvo::MapImage image;
  if (!image.LoadFromMemory(data, size, tarvo::ImageKind::Png, options)) {
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
