// Windows and OS/2 bitmaps: the OS/2 1.x core header (12 bytes), OS/2 2.x
// headers (16 to 64 bytes) and the Windows headers of 40, 52, 56, 108 and
// 124 bytes; 1, 2, 4, 8, 16, 24 and 32 bits a pixel; uncompressed, RLE8,
// RLE4, OS/2 RLE24, bit fields (with an alpha mask from the V3+ headers or
// ALPHABITFIELDS), and embedded JPEG or PNG streams; bottom-up and top-down
// rows. Rows missing at the end of a cut file stay black, pixels that RLE
// data skips or never reaches stay transparent.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/map/image_decoders.h"

namespace tarvo::image {

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiJpeg = 4;  // RLE24 in OS/2 2.x headers
constexpr std::uint32_t kBiPng = 5;
constexpr std::uint32_t kBiAlphaBitfields = 6;

constexpr std::size_t kFileHeaderBytes = 14;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

// One colour channel given by a bit mask, scaled to 0..255.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint64_t maximum = 0;

  explicit Channel(std::uint32_t m = 0) : mask(m) {
    if (m != 0) {
      shift = std::countr_zero(m);
      maximum = m >> shift;
    }
  }
  std::uint32_t Get(std::uint32_t value) const {
    if (maximum == 0) return 0;
    const std::uint64_t v = (value & mask) >> shift;
    return static_cast<std::uint32_t>((v * 255 + maximum / 2) / maximum);
  }
};

struct Header {
  std::uint32_t headerSize = 0;
  bool core = false;  // OS/2 1.x: 16-bit sizes, 3-byte palette entries
  bool os2 = false;   // OS/2 2.x: compression 4 is RLE24
  std::int64_t width = 0;
  std::int64_t height = 0;
  unsigned bitsPerPixel = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t coloursUsed = 0;
  std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  std::size_t paletteOffset = 0;
};

// Packs one row of 0xAARRGGBB pixels into the picture.
void StoreRow(DecodedPicture& out, int y, const std::uint32_t* argb) {
  std::uint8_t* row = out.Row(y);
  if (out.layout == PixelLayout::Argb32) {
    std::memcpy(row, argb, static_cast<std::size_t>(out.width) * 4);
    return;
  }
  for (int x = 0; x < out.width; ++x, row += 3) {
    row[0] = static_cast<std::uint8_t>(argb[x] >> 16);
    row[1] = static_cast<std::uint8_t>(argb[x] >> 8);
    row[2] = static_cast<std::uint8_t>(argb[x]);
  }
}

void PutPixel(DecodedPicture& out, std::int64_t x, std::int64_t fileRow, std::uint32_t colour) {
  if (x < 0 || x >= out.width || fileRow < 0 || fileRow >= out.height) return;
  const int y = out.height - 1 - static_cast<int>(fileRow);
  std::memcpy(out.Row(y) + 4 * static_cast<std::size_t>(x), &colour, 4);
}

// RLE8, RLE4 and RLE24: runs and literal stretches, rows from the bottom.
// Returns false when the data ends before the end-of-bitmap code.
bool DecodeRle(std::span<const std::uint8_t> data, unsigned bitsPerPixel, const std::array<std::uint32_t, 256>& palette,
               DecodedPicture& out) {
  std::size_t pos = 0;
  std::int64_t x = 0;
  std::int64_t row = 0;
  const std::size_t pixelBytes = bitsPerPixel == 24 ? 3 : 1;
  auto colourAt = [&](const std::uint8_t* p) {
    return 0xFF000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
  };
  while (row < out.height) {
    if (data.size() - pos < 2) return false;
    const unsigned count = data[pos];
    const unsigned value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      if (bitsPerPixel == 24) {
        // The second byte was the first of the three colour bytes.
        pos -= 1;
        if (data.size() - pos < 3) return false;
        const std::uint32_t colour = colourAt(data.data() + pos);
        pos += 3;
        for (unsigned i = 0; i < count; ++i) PutPixel(out, x++, row, colour);
      } else if (bitsPerPixel == 8) {
        for (unsigned i = 0; i < count; ++i) PutPixel(out, x++, row, palette[value]);
      } else {
        for (unsigned i = 0; i < count; ++i) PutPixel(out, x++, row, palette[(i & 1) != 0 ? value & 15 : value >> 4]);
      }
      if (x > out.width) x = out.width;  // runs past the row end are cut
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // move right and up
      if (data.size() - pos < 2) return false;
      x += data[pos];
      row += data[pos + 1];
      pos += 2;
    } else {  // `value` literal pixels, padded to an even byte count
      const std::size_t bytes = bitsPerPixel == 4 ? (value + 1) / 2 : value * pixelBytes;
      const std::size_t padded = bytes + (bytes & 1);
      const std::size_t available = std::min(bytes, data.size() - pos);
      const std::uint8_t* p = data.data() + pos;
      for (unsigned i = 0; i < value; ++i) {
        if (bitsPerPixel == 4) {
          if (i / 2 >= available) return false;
          const unsigned b = p[i / 2];
          PutPixel(out, x++, row, palette[(i & 1) != 0 ? b & 15 : b >> 4]);
        } else {
          if ((i + 1) * pixelBytes > available) return false;
          PutPixel(out, x++, row, bitsPerPixel == 24 ? colourAt(p + i * 3) : palette[p[i]]);
        }
      }
      if (x > out.width) x = out.width;
      if (data.size() - pos < padded) return false;
      pos += padded;
    }
  }
  return true;
}

bool ReadHeader(std::span<const std::uint8_t> data, Header& h, ImageLoadError& error) {
  const std::uint8_t* d = data.data();
  h.headerSize = U32(d + kFileHeaderBytes);
  if (h.headerSize < 12) return Fail(error, ImageError::Corrupt, "info header shorter than 12 bytes");
  if (data.size() < kFileHeaderBytes + std::min<std::size_t>(h.headerSize, 64)) {
    return Fail(error, ImageError::Truncated, "the data ends inside the info header");
  }
  const std::uint8_t* p = d + kFileHeaderBytes;
  if (h.headerSize == 12) {
    h.core = true;
    h.width = U16(p + 4);
    h.height = U16(p + 6);
    h.bitsPerPixel = U16(p + 10);
  } else {
    if (h.headerSize < 16) return Fail(error, ImageError::Corrupt, "info header of an unknown size");
    h.os2 = h.headerSize != 40 && h.headerSize != 52 && h.headerSize != 56 && h.headerSize <= 64;
    h.width = static_cast<std::int32_t>(U32(p + 4));
    h.height = static_cast<std::int32_t>(U32(p + 8));
    h.bitsPerPixel = U16(p + 14);
    if (h.headerSize >= 20) h.compression = U32(p + 16);
    if (h.headerSize >= 36) h.coloursUsed = U32(p + 32);
  }
  std::size_t afterHeader = kFileHeaderBytes + h.headerSize;
  const bool bitfields = !h.os2 && (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields);
  if (bitfields) {
    const int count = h.compression == kBiAlphaBitfields ? 4 : 3;
    if (h.headerSize >= 52) {
      for (int i = 0; i < 3; ++i) h.masks[i] = U32(p + 40 + 4 * i);
      if (h.headerSize >= 56) h.masks[3] = U32(p + 52);
    } else {
      if (data.size() < afterHeader + 4u * count) return Fail(error, ImageError::Truncated, "the data ends inside the masks");
      for (int i = 0; i < count; ++i) h.masks[i] = U32(d + afterHeader + 4 * i);
      afterHeader += 4u * count;
    }
  }
  h.paletteOffset = afterHeader;
  return true;
}

}  // namespace

bool DecodeBmp(std::span<const std::uint8_t> data, DecodedPicture& out, ImageLoadError& error,
               const DecodeOptions& options) {
  if (data.size() < 2) return Fail(error, ImageError::Truncated, "shorter than a bitmap signature");
  if (data[0] != 'B' || data[1] != 'M') return Fail(error, ImageError::UnknownKind, "no BM signature");
  if (data.size() < kFileHeaderBytes + 4) return Fail(error, ImageError::Truncated, "the data ends inside the file header");
  Header h;
  if (!ReadHeader(data, h, error)) return false;
  const std::size_t pixelOffset = U32(data.data() + 10);

  if (h.width <= 0) return Fail(error, ImageError::Corrupt, "width 0 or negative");
  if (h.height == 0 || h.height == INT32_MIN) return Fail(error, ImageError::Corrupt, "height 0");
  const bool topDown = h.height < 0;
  const std::int64_t height = topDown ? -h.height : h.height;
  const std::uint32_t c = h.compression;
  const unsigned bpp = h.bitsPerPixel;

  if (!h.os2 && (c == kBiJpeg || c == kBiPng)) {
    if (pixelOffset >= data.size()) return Fail(error, ImageError::Truncated, "no embedded stream");
    const auto stream = data.subspan(pixelOffset);
    return c == kBiJpeg ? DecodeJpeg(stream, out, error, options) : DecodePng(stream, out, error, options);
  }
  const bool rle24 = h.os2 && c == kBiJpeg;
  const bool rle = c == kBiRle8 || c == kBiRle4 || rle24;
  if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
    error.reason = bpp == 64 ? ImageError::Unsupported : ImageError::Corrupt;
    error.detail = "bits per pixel " + std::to_string(bpp);
    return false;
  }
  const bool validCompression = c == kBiRgb || (c == kBiRle8 && bpp == 8) || (c == kBiRle4 && bpp == 4) ||
                                (rle24 && bpp == 24) ||
                                (!h.os2 && (c == kBiBitfields || c == kBiAlphaBitfields) && (bpp == 16 || bpp == 32));
  if (!validCompression) {
    error.reason = h.os2 && c == kBiBitfields ? ImageError::Unsupported : ImageError::Corrupt;
    error.detail = "compression " + std::to_string(c) + " with " + std::to_string(bpp) + " bits per pixel";
    return false;
  }
  if (rle && topDown) return Fail(error, ImageError::Corrupt, "compressed rows cannot be top-down");
  if (pixelOffset < h.paletteOffset) return Fail(error, ImageError::Corrupt, "pixels start inside the headers");
  if (pixelOffset >= data.size()) return Fail(error, ImageError::Truncated, "the data ends before the pixels");

  // Masks: given ones, else the 5-5-5 and 8-8-8 defaults (no alpha).
  std::uint32_t masks[4] = {h.masks[0], h.masks[1], h.masks[2], h.masks[3]};
  if (c == kBiRgb && bpp == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
    masks[3] = 0;
  } else if (c == kBiRgb && bpp == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0xFF00;
    masks[2] = 0xFF;
    masks[3] = 0;
  }
  const bool hasAlpha = (bpp == 16 || bpp == 32) && masks[3] != 0;
  const PixelLayout layout = rle || hasAlpha ? PixelLayout::Argb32 : PixelLayout::Rgb888;
  if (h.width > INT32_MAX || height > INT32_MAX ||
      static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(height) > options.maxPixels) {
    error.reason = ImageError::TooLarge;
    error.detail = std::to_string(h.width) + " x " + std::to_string(height) + " pixels is more than the limit of " +
                   std::to_string(options.maxPixels);
    return false;
  }
  if (!out.Allocate(static_cast<int>(h.width), static_cast<int>(height), layout, true, options.maxPixels, error)) {
    return false;
  }

  // The palette: the entries that fit between the headers and the pixels.
  std::array<std::uint32_t, 256> palette;
  palette.fill(0xFF000000u);
  if (bpp <= 8) {
    const std::size_t entryBytes = h.core ? 3 : 4;
    std::size_t entries = h.coloursUsed != 0 ? h.coloursUsed : (std::size_t{1} << bpp);
    entries = std::min<std::size_t>(entries, std::size_t{1} << bpp);
    const std::size_t room = (std::min(pixelOffset, data.size()) - h.paletteOffset) / entryBytes;
    entries = std::min(entries, room);
    for (std::size_t i = 0; i < entries; ++i) {
      const std::uint8_t* e = data.data() + h.paletteOffset + i * entryBytes;
      palette[i] = 0xFF000000u | (std::uint32_t{e[2]} << 16) | (std::uint32_t{e[1]} << 8) | e[0];
    }
  }

  const auto pixels = data.subspan(pixelOffset);
  if (rle) {
    out.partial = !DecodeRle(pixels, bpp, palette, out);
    return true;
  }

  const Channel channels[4] = {Channel(masks[0]), Channel(masks[1]), Channel(masks[2]), Channel(masks[3])};
  const std::size_t width = static_cast<std::size_t>(h.width);
  const std::size_t rowBytes = (width * bpp + 31) / 32 * 4;
  const std::size_t usedBytes = (width * bpp + 7) / 8;
  std::vector<std::uint32_t> line(width);
  for (std::int64_t r = 0; r < height; ++r) {
    const std::size_t start = static_cast<std::size_t>(r) * rowBytes;
    if (start > pixels.size() || pixels.size() - start < usedBytes) {
      out.partial = true;
      break;
    }
    const std::uint8_t* p = pixels.data() + start;
    switch (bpp) {
      case 1:
      case 2:
      case 4:
      case 8: {
        const unsigned mask = (1u << bpp) - 1;
        for (std::size_t x = 0; x < width; ++x) {
          const std::size_t bit = x * bpp;
          const unsigned index = (p[bit / 8] >> (8 - bpp - bit % 8)) & mask;
          line[x] = palette[index];
        }
        break;
      }
      case 24:
        for (std::size_t x = 0; x < width; ++x, p += 3) {
          line[x] = 0xFF000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
        }
        break;
      default:
        for (std::size_t x = 0; x < width; ++x) {
          const std::uint32_t v = bpp == 16 ? U16(p + 2 * x) : U32(p + 4 * x);
          const std::uint32_t a = hasAlpha ? channels[3].Get(v) : 255u;
          line[x] = (a << 24) | (channels[0].Get(v) << 16) | (channels[1].Get(v) << 8) | channels[2].Get(v);
        }
        break;
    }
    const int y = topDown ? static_cast<int>(r) : static_cast<int>(height - 1 - r);
    StoreRow(out, y, line.data());
  }
  return true;
}

}  // namespace tarvo::image
