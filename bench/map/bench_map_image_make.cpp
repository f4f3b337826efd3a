// Makes the pictures of the map benchmarks, row by row, without holding a
// whole picture in memory:
//
//   bench_map_image_make jpeg OUT SIDE      SIDE x SIDE JPEG (quality 85, 4:2:0)
//   bench_map_image_make bmp24 OUT SIDE     SIDE x SIDE 24-bit bottom-up BMP
//   bench_map_image_make bmp8 OUT SIDE      SIDE x SIDE 8-bit palette BMP
//   bench_map_image_make gif OUT SIDE       SIDE x SIDE GIF89a (one 256-colour image)
//
// The content looks like a scanned topographic map: land shades and water
// from smooth waves, contour lines, a kilometre grid, roads and dense small
// "lettering", so it compresses like a real map (not like a flat colour).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace {

struct Rgb {
  std::uint8_t r, g, b;
};

// 256 colours: 0..199 land shades, 200..239 water, 240.. ink colours.
std::vector<Rgb> Palette() {
  std::vector<Rgb> p(256);
  for (int i = 0; i < 200; ++i) {
    p[i] = {static_cast<std::uint8_t>(200 + i / 4), static_cast<std::uint8_t>(230 - i / 3),
            static_cast<std::uint8_t>(170 - i / 2)};
  }
  for (int i = 200; i < 240; ++i) {
    p[i] = {static_cast<std::uint8_t>(150 - (i - 200)), static_cast<std::uint8_t>(190 - (i - 200)), 235};
  }
  const Rgb ink[16] = {{0, 0, 0},     {120, 60, 20}, {200, 30, 30}, {40, 40, 200}, {0, 120, 0},  {90, 90, 90},
                       {160, 100, 40}, {255, 200, 0}, {120, 0, 120}, {0, 150, 150}, {60, 30, 10}, {220, 120, 120},
                       {30, 30, 30},  {250, 250, 250}, {180, 180, 180}, {0, 0, 90}};
  for (int i = 0; i < 16; ++i) p[240 + i] = ink[i];
  return p;
}

// Palette index of map pixel (x, y) of a side x side map.
std::uint8_t MapIndex(int x, int y, int side) {
  const double u = static_cast<double>(x) / side * 40.0;
  const double v = static_cast<double>(y) / side * 40.0;
  const double height = std::sin(u * 0.9) * std::cos(v * 0.7) + 0.6 * std::sin(u * 0.23 + v * 0.41) +
                        0.3 * std::sin(u * 2.1 - v * 1.7);
  if ((x % 1000) < 2 || (y % 1000) < 2) return 243;  // grid
  if (std::abs(x - y / 2 - side / 4) < 3 || std::abs(y - (x * 3) / 5 - side / 5) < 4) return 242;  // roads
  // Lettering: short dark strokes in cells of 24 x 16 pixels, some cells only.
  const unsigned cell = static_cast<unsigned>((x / 24) * 7919u + (y / 16) * 104729u);
  if ((cell * 2654435761u >> 28) == 3) {
    const int cx = x % 24;
    const int cy = y % 16;
    if (cy > 3 && cy < 13 && ((cx * 5 + cy * 3 + static_cast<int>(cell)) % 7 == 0 || cx % 6 == 0)) return 240;
  }
  if (height < -0.9) return static_cast<std::uint8_t>(200 + std::lround((height + 2.0) * 30) % 40);  // water
  const double level = (height + 0.9) * 60.0;
  if (std::fabs(level - std::round(level / 8.0) * 8.0) < 0.25) return 241;  // contour
  return static_cast<std::uint8_t>(std::lround(level) % 200);
}

void Put16(std::FILE* f, unsigned v) {
  std::fputc(static_cast<int>(v & 0xFF), f);
  std::fputc(static_cast<int>((v >> 8) & 0xFF), f);
}
void Put32(std::FILE* f, std::uint32_t v) {
  Put16(f, v & 0xFFFF);
  Put16(f, v >> 16);
}

bool WriteJpeg(std::FILE* f, int side) {
  const std::vector<Rgb> palette = Palette();
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, f);
  info.image_width = static_cast<JDIMENSION>(side);
  info.image_height = static_cast<JDIMENSION>(side);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 85, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<std::uint8_t> row(static_cast<size_t>(side) * 3);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const Rgb c = palette[MapIndex(x, y, side)];
      // A little scanner noise, as on a real scan.
      const int n = static_cast<int>((static_cast<unsigned>(x * 73856093) ^ static_cast<unsigned>(y * 19349663)) % 7) - 3;
      row[3 * x] = static_cast<std::uint8_t>(std::clamp(c.r + n, 0, 255));
      row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(c.g + n, 0, 255));
      row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(c.b + n, 0, 255));
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

bool WriteBmp(std::FILE* f, int side, int bits) {
  const std::vector<Rgb> palette = Palette();
  const std::uint32_t rowBytes = (static_cast<std::uint32_t>(side) * bits / 8 + 3) / 4 * 4;
  const std::uint32_t paletteBytes = bits == 8 ? 1024 : 0;
  const std::uint32_t offset = 54 + paletteBytes;
  std::fputc('B', f);
  std::fputc('M', f);
  Put32(f, offset + rowBytes * static_cast<std::uint32_t>(side));
  Put32(f, 0);
  Put32(f, offset);
  Put32(f, 40);
  Put32(f, static_cast<std::uint32_t>(side));
  Put32(f, static_cast<std::uint32_t>(side));
  Put16(f, 1);
  Put16(f, static_cast<unsigned>(bits));
  for (int i = 0; i < 6; ++i) Put32(f, 0);
  for (std::uint32_t i = 0; i < paletteBytes / 4; ++i) {
    std::fputc(palette[i].b, f);
    std::fputc(palette[i].g, f);
    std::fputc(palette[i].r, f);
    std::fputc(0, f);
  }
  std::vector<std::uint8_t> row(rowBytes, 0);
  for (int y = side - 1; y >= 0; --y) {
    for (int x = 0; x < side; ++x) {
      const std::uint8_t index = MapIndex(x, y, side);
      if (bits == 8) {
        row[x] = index;
      } else {
        row[3 * x] = palette[index].b;
        row[3 * x + 1] = palette[index].g;
        row[3 * x + 2] = palette[index].r;
      }
    }
    std::fwrite(row.data(), 1, row.size(), f);
  }
  return true;
}

// LZW codes into 255-byte sub-blocks.
class GifCodeWriter {
 public:
  explicit GifCodeWriter(std::FILE* f) : f_(f) {}
  void Put(unsigned code, int size) {
    bits_ |= static_cast<std::uint64_t>(code) << count_;
    count_ += size;
    while (count_ >= 8) {
      Byte(static_cast<std::uint8_t>(bits_));
      bits_ >>= 8;
      count_ -= 8;
    }
  }
  void Finish() {
    if (count_ > 0) Byte(static_cast<std::uint8_t>(bits_));
    Flush();
    std::fputc(0, f_);
  }

 private:
  void Byte(std::uint8_t b) {
    block_[used_++] = b;
    if (used_ == 255) Flush();
  }
  void Flush() {
    if (used_ == 0) return;
    std::fputc(used_, f_);
    std::fwrite(block_, 1, static_cast<size_t>(used_), f_);
    used_ = 0;
  }
  std::FILE* f_;
  std::uint64_t bits_ = 0;
  int count_ = 0;
  std::uint8_t block_[255];
  int used_ = 0;
};

bool WriteGif(std::FILE* f, int side) {
  const std::vector<Rgb> palette = Palette();
  std::fwrite("GIF89a", 1, 6, f);
  Put16(f, static_cast<unsigned>(side));
  Put16(f, static_cast<unsigned>(side));
  std::fputc(0xF7, f);  // global table of 256
  std::fputc(0, f);
  std::fputc(0, f);
  for (const Rgb& c : palette) {
    std::fputc(c.r, f);
    std::fputc(c.g, f);
    std::fputc(c.b, f);
  }
  std::fputc(0x2C, f);
  Put16(f, 0);
  Put16(f, 0);
  Put16(f, static_cast<unsigned>(side));
  Put16(f, static_cast<unsigned>(side));
  std::fputc(0, f);
  std::fputc(8, f);  // minimum code size
  constexpr unsigned kClear = 256;
  constexpr unsigned kEnd = 257;
  std::vector<std::uint16_t> child(4096 * 256, 0);  // (prefix, byte) -> code, 0 = none
  GifCodeWriter out(f);
  unsigned next = 258;
  int size = 9;
  out.Put(kClear, size);
  int prefix = -1;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const std::uint8_t k = MapIndex(x, y, side);
      if (prefix < 0) {
        prefix = k;
        continue;
      }
      const size_t slot = static_cast<size_t>(prefix) * 256 + k;
      if (child[slot] != 0) {
        prefix = child[slot];
        continue;
      }
      out.Put(static_cast<unsigned>(prefix), size);
      if (next < 4096) {
        child[slot] = static_cast<std::uint16_t>(next++);
        if (next > (1u << size) && size < 12) ++size;
      } else {
        out.Put(kClear, size);
        std::fill(child.begin(), child.end(), 0);
        next = 258;
        size = 9;
      }
      prefix = k;
    }
  }
  if (prefix >= 0) out.Put(static_cast<unsigned>(prefix), size);
  out.Put(kEnd, size);
  out.Finish();
  std::fputc(0x3B, f);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_map_image_make jpeg|bmp24|bmp8|gif OUT SIDE\n");
    return 2;
  }
  const std::string kind = argv[1];
  const int side = std::atoi(argv[3]);
  if (side <= 0 || side > 65535) return 2;
  const std::string temporary = std::string(argv[2]) + ".part";
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (f == nullptr) {
    std::perror(temporary.c_str());
    return 1;
  }
  bool ok = false;
  if (kind == "jpeg") ok = WriteJpeg(f, side);
  if (kind == "bmp24") ok = WriteBmp(f, side, 24);
  if (kind == "bmp8") ok = WriteBmp(f, side, 8);
  if (kind == "gif") ok = WriteGif(f, side);
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), argv[2]) != 0) {
    std::remove(temporary.c_str());
    std::fprintf(stderr, "bench_map_image_make: %s not written\n", argv[2]);
    return 1;
  }
  return 0;
}
