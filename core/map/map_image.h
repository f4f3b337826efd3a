// The map picture: one decoded raster image (BMP, GIF, JPEG or PNG) and the
// scaled copy of any rectangle of it that the map page paints.
//
// Pixels are kept in one compact buffer, rows from the top, in one of two
// layouts chosen by the decoder:
//   - Rgb888: 3 bytes a pixel (R, G, B), for pictures without transparency
//     (JPEG, PNG without alpha, most BMP). A 16,000 x 16,000 map is 768 MB
//     instead of 1 GB, and libjpeg writes its rows straight into it.
//   - Argb32: one uint32_t a pixel, 0xAARRGGBB (not premultiplied), for
//     pictures that may hold transparent pixels (GIF, PNG with alpha or tRNS,
//     BMP with alpha masks or RLE skips).
// ScaleRegion always hands out 0xAARRGGBB, which is QImage::Format_ARGB32, so
// the window code can wrap its output without a copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarvo {

enum class ImageKind { Bmp, Gif, Jpeg, Png };

// Largest picture any decoder accepts, in pixels (width x height), checked
// before the pixel buffer is allocated: 2^28 = 16,384 x 16,384, room for the
// 16,000-pixel maps the map page is made for (768 MB as RGB, 1 GB as ARGB).
inline constexpr std::uint64_t kMaxImagePixels = std::uint64_t{1} << 28;

enum class ImageError {
  None,
  CannotOpen,   // the file is missing or unreadable
  UnknownKind,  // the data does not start like a picture of the requested kind
  Truncated,    // the data ends before the picture could be decoded at all
  TooLarge,     // width x height above the limit, or a side of 0 or less
  Corrupt,      // the data breaks the format's rules
  Unsupported,  // a valid variant this program does not decode (e.g. 12-bit JPEG)
  OutOfMemory,  // the pixel buffer could not be allocated
};

// Short English name of a reason ("cannot open", "too large", ...), for
// tools and logs; the window code words its own messages.
std::string_view ImageErrorName(ImageError error);

struct ImageLoadError {
  ImageError reason = ImageError::None;
  std::string detail;  // what exactly was wrong, e.g. "bits per pixel 30000"
};

enum class PixelLayout { Rgb888, Argb32 };

// Frees pixel memory the way DecodedPicture::Allocate got it: large buffers
// are anonymous mappings of their own (zero without a clearing pass, and
// returned to the system at once when the picture goes), small ones come
// from new[].
struct PixelMemoryRelease {
  std::size_t mappedBytes = 0;
  void operator()(std::uint8_t* memory) const;
};

// A decoded picture as the decoders produce it.
struct DecodedPicture {
  int width = 0;
  int height = 0;
  PixelLayout layout = PixelLayout::Rgb888;
  std::size_t stride = 0;  // bytes from one row to the next
  std::unique_ptr<std::uint8_t[], PixelMemoryRelease> pixels;
  // The data ended (or went bad) inside the pixels: what was read is shown.
  // The BMP and GIF decoders leave the rest 0 (transparent, or black in a
  // 3-byte picture), libjpeg fills it with grey; a cut PNG is refused.
  bool partial = false;

  // Allocates width x height pixels after the size check; `zeroed` fills them
  // with 0 (transparent black) for decoders that may leave pixels unwritten.
  bool Allocate(int w, int h, PixelLayout l, bool zeroed, std::uint64_t maxPixels, ImageLoadError& error);
  std::uint8_t* Row(int y) { return pixels.get() + static_cast<std::size_t>(y) * stride; }
  const std::uint8_t* Row(int y) const { return pixels.get() + static_cast<std::size_t>(y) * stride; }
};

// Decoder options. Fuzzers lower the pixel limit to keep their runs small.
struct DecodeOptions {
  std::uint64_t maxPixels = kMaxImagePixels;
};

// Decodes `data` as `kind` into `out`. Never reads outside `data`. On false,
// `error` says why and `out` holds nothing of use.
bool DecodePicture(std::span<const std::uint8_t> data, ImageKind kind, DecodedPicture& out, ImageLoadError& error,
                   const DecodeOptions& options = {});

// The kind the map page takes from a file name: the text from the last "."
// on, without regard to case: ".bmp", ".jpg", ".gif", ".png". Anything else
// (".jpeg" too) has no kind.
std::optional<ImageKind> ImageKindFromFileName(std::string_view path);

// A rectangle in picture pixels, top-left origin.
struct ImageRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

class MapImage {
 public:
  // Reads the file whole and decodes it as `kind`. On failure the picture
  // held before stays as it was and LastError() says why.
  bool LoadFromFile(const std::string& path, ImageKind kind, const DecodeOptions& options = {});
  // The same for bytes in memory (the built-in blank map).
  bool LoadFromMemory(const std::uint8_t* bytes, std::size_t length, ImageKind kind,
                      const DecodeOptions& options = {});

  bool IsValid() const { return picture_.pixels != nullptr; }
  int Width() const { return picture_.width; }
  int Height() const { return picture_.height; }
  PixelLayout Layout() const { return picture_.layout; }
  // The last load decoded only part of the data (a cut or damaged file).
  bool IsPartial() const { return picture_.partial; }
  const ImageLoadError& LastError() const { return lastError_; }

  // One pixel as 0xAARRGGBB; 0 outside the picture or when none is loaded.
  std::uint32_t PixelAt(int x, int y) const;

  // Scales `source` into a dstWidth x dstHeight block of 0xAARRGGBB pixels at
  // `out`, rows `strideBytes` apart. Each destination pixel (i, j) takes the
  // source pixel (source.x + floor(i * source.width / dstWidth),
  // source.y + floor(j * source.height / dstHeight)): nearest pixel, no
  // smoothing; when shrinking, whole rows and columns are dropped. Source
  // pixels outside the picture come out as 0 (transparent). Only the
  // rectangle is read, so the cost follows the destination size, never the
  // picture size. False (nothing written) when no picture is loaded or a size
  // is not positive.
  bool ScaleRegion(const ImageRect& source, int dstWidth, int dstHeight, std::uint32_t* out,
                   std::size_t strideBytes) const;

 private:
  bool Adopt(DecodedPicture&& picture);

  DecodedPicture picture_;
  ImageLoadError lastError_;
};

}  // namespace tarvo
