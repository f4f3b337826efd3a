#include "core/map/gif_writer.h"

#include <array>

namespace tarvo {

namespace {

constexpr int kMaxSide = 65535;
constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;  // 4096 table entries

void PutWord(std::vector<uint8_t>& out, int v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

// Packs variable-width codes, least significant bit first, into data
// sub-blocks of at most 255 bytes.
class CodeWriter {
 public:
  explicit CodeWriter(std::vector<uint8_t>& out) : out_(out) {}

  void Put(int code, int bits) {
    accumulator_ |= static_cast<uint32_t>(code) << filled_;
    filled_ += bits;
    while (filled_ >= 8) {
      Byte(static_cast<uint8_t>(accumulator_ & 0xFF));
      accumulator_ >>= 8;
      filled_ -= 8;
    }
  }

  // Writes the last partial byte and the block terminator.
  void Finish() {
    if (filled_ > 0) Byte(static_cast<uint8_t>(accumulator_ & 0xFF));
    FlushBlock();
    out_.push_back(0);
  }

 private:
  void Byte(uint8_t b) {
    block_[blockSize_++] = b;
    if (blockSize_ == 255) FlushBlock();
  }
  void FlushBlock() {
    if (blockSize_ == 0) return;
    out_.push_back(static_cast<uint8_t>(blockSize_));
    out_.insert(out_.end(), block_.begin(), block_.begin() + blockSize_);
    blockSize_ = 0;
  }

  std::vector<uint8_t>& out_;
  uint32_t accumulator_ = 0;
  int filled_ = 0;
  std::array<uint8_t, 255> block_{};
  int blockSize_ = 0;
};

}  // namespace

std::vector<uint8_t> EncodeGif(int width, int height, std::span<const uint8_t> pixels,
                               std::span<const GifColour> palette) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return {};
  if (pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) return {};
  if (palette.empty() || palette.size() > 256) return {};
  for (const uint8_t p : pixels)
    if (p >= palette.size()) return {};

  int tableBits = 1;  // the colour table holds 2^tableBits entries
  while ((size_t{1} << tableBits) < palette.size()) ++tableBits;
  const int minCodeSize = tableBits < 2 ? 2 : tableBits;

  std::vector<uint8_t> out;
  out.reserve(pixels.size() / 4 + 1024);
  for (const char c : {'G', 'I', 'F', '8', '9', 'a'}) out.push_back(static_cast<uint8_t>(c));
  PutWord(out, width);
  PutWord(out, height);
  // Global colour table present, 8 bits per primary, not sorted, its size.
  out.push_back(static_cast<uint8_t>(0x80 | 0x70 | (tableBits - 1)));
  out.push_back(0);  // background colour index
  out.push_back(0);  // no pixel aspect ratio
  for (size_t i = 0; i < (size_t{1} << tableBits); ++i) {
    const GifColour c = i < palette.size() ? palette[i] : GifColour{};
    out.push_back(c.red);
    out.push_back(c.green);
    out.push_back(c.blue);
  }
  // Image descriptor: the whole screen, no local table, not interlaced.
  out.push_back(0x2C);
  PutWord(out, 0);
  PutWord(out, 0);
  PutWord(out, width);
  PutWord(out, height);
  out.push_back(0);
  out.push_back(static_cast<uint8_t>(minCodeSize));

  // LZW: the table maps (prefix code, next index) to a code; a flat array
  // indexed by prefix * 256 + index, 0 meaning "no entry" (no entry can be
  // code 0, which is a root).
  const int clearCode = 1 << minCodeSize;
  const int endCode = clearCode + 1;
  std::vector<uint16_t> table(static_cast<size_t>(kMaxCodes) * 256, 0);
  std::vector<int> used;  // table slots filled since the last clear
  used.reserve(kMaxCodes);
  int nextCode = endCode + 1;
  int codeBits = minCodeSize + 1;

  CodeWriter writer(out);
  writer.Put(clearCode, codeBits);
  int prefix = pixels[0];
  for (size_t i = 1; i < pixels.size(); ++i) {
    const int k = pixels[i];
    const size_t slot = static_cast<size_t>(prefix) * 256 + static_cast<size_t>(k);
    if (table[slot] != 0) {
      prefix = table[slot];
      continue;
    }
    writer.Put(prefix, codeBits);
    if (nextCode < kMaxCodes) {
      table[slot] = static_cast<uint16_t>(nextCode);
      used.push_back(static_cast<int>(slot));
      // The reader widens its codes once its table reaches 2^codeBits
      // entries, one code after us: widen when this entry was that one.
      if (nextCode == (1 << codeBits) && codeBits < kMaxCodeBits) ++codeBits;
      ++nextCode;
    } else {
      // Table full: start again.
      writer.Put(clearCode, codeBits);
      for (const int s : used) table[static_cast<size_t>(s)] = 0;
      used.clear();
      nextCode = endCode + 1;
      codeBits = minCodeSize + 1;
    }
    prefix = k;
  }
  writer.Put(prefix, codeBits);
  writer.Put(endCode, codeBits);
  writer.Finish();
  out.push_back(0x3B);  // trailer
  return out;
}

}  // namespace tarvo
