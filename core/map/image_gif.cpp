// GIF 87a and 89a: the first frame of the file on a canvas of the logical
// screen size. The canvas starts transparent; images with their local or the
// global colour table are drawn on it (clipped to it), the transparent index
// of a Graphic Control Extension leaving the canvas as it is. The first frame
// holds the first image and the images that follow it until the next Graphic
// Control Extension, or, in files without one, until an image that covers the
// whole screen again (such files are animations too). LZW data that ends
// early, holds a code the table does not have, or lacks its end code leaves
// the pixels read so far; extra pixels are ignored.
#include <array>
#include <cstring>
#include <string>

#include "core/map/image_decoders.h"

namespace tarvo::image {

namespace {

constexpr int kMaxCodes = 4096;  // 12-bit LZW codes
constexpr int kMaxMinimumCodeSize = 11;  // 12 would leave no room for a single new code

class Bytes {
 public:
  explicit Bytes(std::span<const std::uint8_t> data) : data_(data) {}
  bool Has(std::size_t n) const { return data_.size() - pos_ >= n; }
  bool AtEnd() const { return pos_ >= data_.size(); }
  std::uint8_t U8() { return data_[pos_++]; }
  unsigned U16() {
    const unsigned v = data_[pos_] | (unsigned{data_[pos_ + 1]} << 8);
    pos_ += 2;
    return v;
  }
  const std::uint8_t* Take(std::size_t n) {
    const std::uint8_t* p = data_.data() + pos_;
    pos_ += n;
    return p;
  }
  // Skips data sub-blocks up to and including the terminator; false when the
  // data ends first.
  bool SkipSubBlocks() {
    while (Has(1)) {
      const std::size_t n = U8();
      if (n == 0) return true;
      if (!Has(n)) {
        pos_ = data_.size();
        return false;
      }
      pos_ += n;
    }
    return false;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

using Palette = std::array<std::uint32_t, 256>;

// Reads a colour table of `entries` entries; false when the data ends first.
bool ReadPalette(Bytes& in, int entries, Palette& palette, int& count) {
  if (!in.Has(static_cast<std::size_t>(entries) * 3)) return false;
  palette.fill(0xFF000000u);
  const std::uint8_t* p = in.Take(static_cast<std::size_t>(entries) * 3);
  for (int i = 0; i < entries; ++i, p += 3) {
    palette[static_cast<std::size_t>(i)] = 0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
  }
  count = entries;
  return true;
}

// Where the decoded pixels of one image go: row by row, or in the four
// passes of an interlaced image, clipped to the canvas.
class PixelSink {
 public:
  PixelSink(DecodedPicture& canvas, int left, int top, int width, int height, bool interlaced, const Palette& palette,
            int paletteSize, int transparent)
      : canvas_(canvas), left_(left), top_(top), width_(width), height_(height), interlaced_(interlaced),
        palette_(palette), paletteSize_(paletteSize), transparent_(transparent) {
    if (top_ >= canvas_.height) row_ = height_;  // wholly below the canvas
  }

  bool Full() const { return row_ >= height_; }

  void Put(std::uint8_t index) {
    if (row_ >= height_) return;
    const int cx = left_ + column_;
    const int cy = top_ + row_;
    if (index != transparent_ && cx < canvas_.width && cy < canvas_.height) {
      // An index past the colour table shows as opaque black.
      const std::uint32_t colour = index < paletteSize_ ? palette_[index] : 0xFF000000u;
      std::memcpy(canvas_.Row(cy) + 4 * static_cast<std::size_t>(cx), &colour, 4);
    }
    if (++column_ < width_) return;
    column_ = 0;
    if (!interlaced_) {
      ++row_;
      // Rows below the canvas are never shown: the image is done.
      if (top_ + row_ >= canvas_.height) row_ = height_;
      return;
    }
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    row_ += kStep[pass_];
    // The rest of a pass below the canvas is skipped, so a huge image on a
    // small canvas costs no more than the part that shows.
    while ((row_ >= height_ || top_ + row_ >= canvas_.height) && pass_ < 3) {
      ++pass_;
      row_ = kStart[pass_];
    }
    if (top_ + row_ >= canvas_.height) row_ = height_;
  }

 private:
  DecodedPicture& canvas_;
  int left_, top_, width_, height_;
  bool interlaced_;
  const Palette& palette_;
  int paletteSize_;
  int transparent_;
  int column_ = 0;
  int row_ = 0;
  int pass_ = 0;
};

enum class LzwEnd { Done, DataEnded, BadCode };

// Decodes the LZW sub-blocks of one image into `sink`, then skips to the end
// of the sub-blocks.
LzwEnd DecodeLzw(Bytes& in, int minimumCodeSize, PixelSink& sink) {
  std::array<std::uint16_t, kMaxCodes> prefix{};
  std::array<std::uint8_t, kMaxCodes> suffix{};
  std::array<std::uint8_t, kMaxCodes> first{};
  std::array<std::uint8_t, kMaxCodes> stack{};
  const int clear = 1 << minimumCodeSize;
  const int endCode = clear + 1;
  for (int i = 0; i < clear; ++i) {
    suffix[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    first[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  }
  int next = clear + 2;
  int codeSize = minimumCodeSize + 1;
  int previous = -1;
  std::uint32_t bits = 0;
  int bitCount = 0;
  std::size_t blockLeft = 0;
  LzwEnd result = LzwEnd::Done;

  for (;;) {
    while (bitCount < codeSize) {
      if (blockLeft == 0) {
        if (!in.Has(1)) return LzwEnd::DataEnded;
        blockLeft = in.U8();
        if (blockLeft == 0) return LzwEnd::Done;  // the terminator came before the end code
      }
      if (!in.Has(1)) return LzwEnd::DataEnded;
      bits |= std::uint32_t{in.U8()} << bitCount;
      bitCount += 8;
      --blockLeft;
    }
    const int code = static_cast<int>(bits & ((1u << codeSize) - 1));
    bits >>= codeSize;
    bitCount -= codeSize;

    if (code == clear) {
      next = clear + 2;
      codeSize = minimumCodeSize + 1;
      previous = -1;
      continue;
    }
    if (code == endCode) break;
    if (previous < 0) {
      if (code >= clear) {
        result = LzwEnd::BadCode;
        break;
      }
      sink.Put(static_cast<std::uint8_t>(code));
      previous = code;
      continue;
    }
    int emit = code;
    int depth = 0;
    std::uint8_t head;
    if (code < next) {
      head = first[static_cast<std::size_t>(code)];
    } else if (code == next && next < kMaxCodes) {
      head = first[static_cast<std::size_t>(previous)];
      stack[static_cast<std::size_t>(depth++)] = head;
      emit = previous;
    } else {
      result = LzwEnd::BadCode;
      break;
    }
    while (emit >= clear) {
      stack[static_cast<std::size_t>(depth++)] = suffix[static_cast<std::size_t>(emit)];
      emit = prefix[static_cast<std::size_t>(emit)];
    }
    stack[static_cast<std::size_t>(depth++)] = static_cast<std::uint8_t>(emit);
    while (depth > 0) sink.Put(stack[static_cast<std::size_t>(--depth)]);
    if (next < kMaxCodes) {
      prefix[static_cast<std::size_t>(next)] = static_cast<std::uint16_t>(previous);
      suffix[static_cast<std::size_t>(next)] = head;
      first[static_cast<std::size_t>(next)] = first[static_cast<std::size_t>(previous)];
      ++next;
      if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
    }
    previous = code;
    if (sink.Full()) break;
  }
  // Pixels beyond the image and the end code: skip the rest of the blocks.
  if (blockLeft > 0) {
    if (!in.Has(blockLeft)) return LzwEnd::DataEnded;
    in.Take(blockLeft);
  }
  return in.SkipSubBlocks() ? result : LzwEnd::DataEnded;
}

}  // namespace

bool DecodeGif(std::span<const std::uint8_t> data, DecodedPicture& out, ImageLoadError& error,
               const DecodeOptions& options) {
  if (data.size() < 6) return Fail(error, ImageError::Truncated, "shorter than a GIF signature");
  if (std::memcmp(data.data(), "GIF87a", 6) != 0 && std::memcmp(data.data(), "GIF89a", 6) != 0) {
    return Fail(error, ImageError::UnknownKind, "no GIF87a or GIF89a signature");
  }
  Bytes in(data);
  in.Take(6);
  if (!in.Has(7)) return Fail(error, ImageError::Truncated, "the data ends inside the screen descriptor");
  const int screenWidth = static_cast<int>(in.U16());
  const int screenHeight = static_cast<int>(in.U16());
  const std::uint8_t screenFlags = in.U8();
  in.Take(2);  // background index (uncovered pixels stay transparent), aspect ratio
  Palette global{};
  int globalCount = 0;
  if ((screenFlags & 0x80) != 0 && !ReadPalette(in, 2 << (screenFlags & 7), global, globalCount)) {
    return Fail(error, ImageError::Truncated, "the data ends inside the global colour table");
  }
  if (!out.Allocate(screenWidth, screenHeight, PixelLayout::Argb32, true, options.maxPixels, error)) return false;

  int transparent = -1;   // transparent index of the pending control extension
  bool controlPending = false;
  bool frameHasImage = false;
  bool anyImage = false;
  bool ended = false;     // trailer or end of the first frame reached
  while (!ended) {
    if (!in.Has(1)) {
      out.partial = true;
      break;
    }
    const std::uint8_t introducer = in.U8();
    if (introducer == 0x3B) break;
    if (introducer == 0x21) {
      if (!in.Has(1)) {
        out.partial = true;
        break;
      }
      const std::uint8_t label = in.U8();
      if (label == 0xF9) {
        if (in.Has(6)) {
          const std::uint8_t size = in.U8();
          if (size >= 4) {
            const std::uint8_t* p = in.Take(4);
            transparent = (p[0] & 1) != 0 ? p[3] : -1;
            controlPending = true;
            if (size > 4) {
              if (!in.Has(size - 4u)) {
                out.partial = true;
                break;
              }
              in.Take(size - 4u);
            }
          } else {
            if (!in.Has(size)) {
              out.partial = true;
              break;
            }
            in.Take(size);
          }
        }
      }
      if (!in.SkipSubBlocks()) {
        out.partial = true;
        break;
      }
      continue;
    }
    if (introducer != 0x2C) {
      // Not a block of any kind: what was drawn so far is the picture.
      out.partial = true;
      break;
    }
    if (!in.Has(9)) {
      out.partial = true;
      break;
    }
    const int left = static_cast<int>(in.U16());
    const int top = static_cast<int>(in.U16());
    const int width = static_cast<int>(in.U16());
    const int height = static_cast<int>(in.U16());
    const std::uint8_t flags = in.U8();
    const bool coversScreen = left == 0 && top == 0 && width >= screenWidth && height >= screenHeight;
    if (frameHasImage && !controlPending && coversScreen) break;  // an animation without control blocks
    Palette local{};
    int localCount = 0;
    if ((flags & 0x80) != 0 && !ReadPalette(in, 2 << (flags & 7), local, localCount)) {
      out.partial = true;
      break;
    }
    if (!in.Has(1)) {
      out.partial = true;
      break;
    }
    const int minimumCodeSize = in.U8();
    if (minimumCodeSize < 1 || minimumCodeSize > kMaxMinimumCodeSize) {
      error.reason = ImageError::Corrupt;
      error.detail = "LZW minimum code size " + std::to_string(minimumCodeSize);
      return false;
    }
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > options.maxPixels) {
      error.reason = ImageError::TooLarge;
      error.detail = "image of " + std::to_string(width) + " x " + std::to_string(height) +
                     " pixels is more than the limit of " + std::to_string(options.maxPixels);
      return false;
    }
    const bool useLocal = (flags & 0x80) != 0;
    PixelSink sink(out, left, top, width, height, (flags & 0x40) != 0, useLocal ? local : global,
                   useLocal ? localCount : globalCount, transparent);
    const LzwEnd end = width > 0 && height > 0 ? DecodeLzw(in, minimumCodeSize, sink)
                                               : (in.SkipSubBlocks() ? LzwEnd::Done : LzwEnd::DataEnded);
    anyImage = true;
    frameHasImage = true;
    if (controlPending) ended = true;  // an image with its own control block is a frame of its own
    controlPending = false;
    transparent = -1;
    if (end == LzwEnd::DataEnded) {
      out.partial = true;
      break;
    }
    if (end == LzwEnd::BadCode) out.partial = true;
  }
  if (!anyImage) return Fail(error, in.AtEnd() ? ImageError::Truncated : ImageError::Corrupt, "no image in the file");
  return true;
}

}  // namespace tarvo::image
