// MapImage cases the corpora do not hold: a failed load keeps the picture,
// the size limit comes before any allocation, the nearest-pixel mapping of
// ScaleRegion, and the kind taken from a file name.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/map/map_image.h"

namespace tarvo {
namespace {

void Put32(std::vector<std::uint8_t>& v, size_t at, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

// A 24-bit bottom-up bitmap whose pixel (x, y) is 0xRRGGBB = colour(x, y);
// `claimedWidth`/`claimedHeight` overwrite the header's size when given.
template <typename Colour>
std::vector<std::uint8_t> MakeBmp(int width, int height, Colour colour, int claimedWidth = 0, int claimedHeight = 0) {
  const size_t rowBytes = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
  std::vector<std::uint8_t> v(54 + rowBytes * height, 0);
  v[0] = 'B';
  v[1] = 'M';
  Put32(v, 2, static_cast<std::uint32_t>(v.size()));
  Put32(v, 10, 54);
  Put32(v, 14, 40);
  Put32(v, 18, static_cast<std::uint32_t>(claimedWidth != 0 ? claimedWidth : width));
  Put32(v, 22, static_cast<std::uint32_t>(claimedHeight != 0 ? claimedHeight : height));
  v[26] = 1;
  v[28] = 24;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = v.data() + 54 + rowBytes * (height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = colour(x, y);
      row[3 * x] = static_cast<std::uint8_t>(c);
      row[3 * x + 1] = static_cast<std::uint8_t>(c >> 8);
      row[3 * x + 2] = static_cast<std::uint8_t>(c >> 16);
    }
  }
  return v;
}

// Pixel (x, y) of the test pictures: x in the red byte, y in the green one.
std::uint32_t Coordinates(int x, int y) { return static_cast<std::uint32_t>(x << 16 | y << 8); }

TEST(MapImage, FailedLoadsKeepThePictureHeldBefore) {
  MapImage image;
  EXPECT_FALSE(image.IsValid());
  EXPECT_FALSE(image.LoadFromFile("/nonexistent/map.bmp", ImageKind::Bmp));
  EXPECT_EQ(image.LastError().reason, ImageError::CannotOpen);
  EXPECT_FALSE(image.IsValid());

  const std::vector<std::uint8_t> good = MakeBmp(5, 4, Coordinates);
  ASSERT_TRUE(image.LoadFromMemory(good.data(), good.size(), ImageKind::Bmp));
  ASSERT_EQ(image.Width(), 5);
  ASSERT_EQ(image.Height(), 4);

  // Wrong kind, cut header, missing file, directory: the 5 x 4 picture stays.
  EXPECT_FALSE(image.LoadFromMemory(good.data(), good.size(), ImageKind::Png));
  EXPECT_EQ(image.LastError().reason, ImageError::UnknownKind);
  EXPECT_FALSE(image.LoadFromMemory(good.data(), 30, ImageKind::Bmp));
  EXPECT_EQ(image.LastError().reason, ImageError::Truncated);
  EXPECT_FALSE(image.LoadFromFile("/nonexistent/map.bmp", ImageKind::Bmp));
  EXPECT_FALSE(image.LoadFromFile(std::filesystem::temp_directory_path().string(), ImageKind::Bmp));
  EXPECT_EQ(image.LastError().reason, ImageError::CannotOpen);
  EXPECT_TRUE(image.IsValid());
  EXPECT_EQ(image.Width(), 5);
  EXPECT_EQ(image.Height(), 4);
  EXPECT_EQ(image.PixelAt(4, 3), 0xFF000000u | Coordinates(4, 3));
}

TEST(MapImage, SizesAboveTheLimitAreRefusedBeforeAllocating) {
  // 16,385 x 16,384 is one row over 2^28 pixels; the file holds 2 x 2.
  const std::vector<std::uint8_t> big = MakeBmp(2, 2, Coordinates, 16385, 16384);
  MapImage image;
  EXPECT_FALSE(image.LoadFromMemory(big.data(), big.size(), ImageKind::Bmp));
  EXPECT_EQ(image.LastError().reason, ImageError::TooLarge);

  // A GIF image far larger than its screen.
  const std::vector<std::uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF,
                                         0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 2, 0x44, 0x0A, 0, 0x3B};
  EXPECT_FALSE(image.LoadFromMemory(gif.data(), gif.size(), ImageKind::Gif));
  EXPECT_EQ(image.LastError().reason, ImageError::TooLarge);

  // A lower limit of the caller's applies the same way; the picture is
  // decoded within it.
  const std::vector<std::uint8_t> small = MakeBmp(100, 100, Coordinates);
  DecodeOptions options;
  options.maxPixels = 9999;
  EXPECT_FALSE(image.LoadFromMemory(small.data(), small.size(), ImageKind::Bmp, options));
  EXPECT_EQ(image.LastError().reason, ImageError::TooLarge);
  options.maxPixels = 10000;
  EXPECT_TRUE(image.LoadFromMemory(small.data(), small.size(), ImageKind::Bmp, options));

  // A claimed size within the limit but far beyond the data: a cut picture
  // whose missing rows are black, not stale memory.
  const std::vector<std::uint8_t> cut = MakeBmp(4, 2, [](int, int) { return 0xFFFFFFu; }, 4, 1000);
  ASSERT_TRUE(image.LoadFromMemory(cut.data(), cut.size(), ImageKind::Bmp));
  EXPECT_TRUE(image.IsPartial());
  EXPECT_EQ(image.Height(), 1000);
  EXPECT_EQ(image.PixelAt(0, 999), 0xFFFFFFFFu);  // bottom-up: the file's first row is the last
  EXPECT_EQ(image.PixelAt(0, 0), 0xFF000000u);
}

TEST(MapImage, ScaleRegionTakesTheNearestSourcePixel) {
  const std::vector<std::uint8_t> bmp = MakeBmp(8, 6, Coordinates);
  MapImage image;
  std::vector<std::uint32_t> out(64 * 64, 0xDEADBEEF);
  EXPECT_FALSE(image.ScaleRegion({0, 0, 4, 4}, 4, 4, out.data(), 16));  // nothing loaded
  ASSERT_TRUE(image.LoadFromMemory(bmp.data(), bmp.size(), ImageKind::Bmp));
  auto at = [&](int x, int y, int stride) { return out[static_cast<size_t>(y) * stride + x] & 0xFFFFFFu; };

  // Zoom 2: every source pixel becomes a 2 x 2 block.
  ASSERT_TRUE(image.ScaleRegion({2, 1, 3, 2}, 6, 4, out.data(), 6 * 4));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(at(x, y, 6), Coordinates(2 + x / 2, 1 + y / 2)) << x << "," << y;
  }
  // Zoom 0.5: every second row and column is dropped, starting with the first kept.
  ASSERT_TRUE(image.ScaleRegion({0, 0, 8, 6}, 4, 3, out.data(), 4 * 4));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(at(x, y, 4), Coordinates(2 * x, 2 * y));
  }
  // Zoom 1.5: destination column i takes source column floor(i * 8 / 12).
  ASSERT_TRUE(image.ScaleRegion({0, 0, 8, 1}, 12, 1, out.data(), 12 * 4));
  const int expected[12] = {0, 0, 1, 2, 2, 3, 4, 4, 5, 6, 6, 7};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(at(i, 0, 12), Coordinates(expected[i], 0));
  // Source pixels outside the picture are transparent; the stride is honoured
  // and the bytes past each row are left alone.
  std::fill(out.begin(), out.end(), 0xDEADBEEF);
  ASSERT_TRUE(image.ScaleRegion({-1, 5, 3, 2}, 3, 2, out.data(), 10 * 4));
  EXPECT_EQ(out[0], 0u);
  EXPECT_EQ(out[1], 0xFF000000u | Coordinates(0, 5));
  EXPECT_EQ(out[2], 0xFF000000u | Coordinates(1, 5));
  EXPECT_EQ(out[3], 0xDEADBEEFu);
  EXPECT_EQ(out[10], 0u);
  EXPECT_EQ(out[11], 0u);
  EXPECT_FALSE(image.ScaleRegion({0, 0, 0, 4}, 4, 4, out.data(), 16));
  EXPECT_FALSE(image.ScaleRegion({0, 0, 4, 4}, 4, 0, out.data(), 16));
}

TEST(MapImage, KindComesFromTheLastEndingOfTheName) {
  EXPECT_EQ(ImageKindFromFileName("maps/Alps.BMP"), ImageKind::Bmp);
  EXPECT_EQ(ImageKindFromFileName("a.tar.jpg"), ImageKind::Jpeg);
  EXPECT_EQ(ImageKindFromFileName("theworld.gif"), ImageKind::Gif);
  EXPECT_EQ(ImageKindFromFileName("x.Png"), ImageKind::Png);
  EXPECT_EQ(ImageKindFromFileName("photo.jpeg"), std::nullopt);
  EXPECT_EQ(ImageKindFromFileName("noending"), std::nullopt);
  EXPECT_EQ(ImageKindFromFileName("map.png.bak"), std::nullopt);
}

}  // namespace
}  // namespace tarvo
