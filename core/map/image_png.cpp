// PNG through libpng. Every colour type and depth is turned into 8-bit RGB
// (3 bytes a pixel) or, when the file has alpha or a tRNS chunk, into
// 0xAARRGGBB words; libpng writes the rows straight into the final buffer,
// de-interlacing as it goes. Colours are taken as stored (no gamma or colour
// management: those chunks are not even read). libpng's errors come back
// through longjmp to the one setjmp below, and png_destroy_read_struct runs
// on every path.
#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <string>

#include "core/map/image_decoders.h"

namespace tarvo::image {

namespace {

static_assert(std::endian::native == std::endian::little,
              "the B, G, R, A byte order libpng writes is 0xAARRGGBB only on little-endian machines");

// Largest ancillary chunk libpng will hold in memory (text, profiles).
constexpr png_alloc_size_t kMaxChunkBytes = 8 * 1024 * 1024;

struct PngRun {
  std::span<const std::uint8_t> data;
  std::size_t position = 0;
  bool ranOut = false;
  std::string message;
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::unique_ptr<png_bytep[]> rows;
};

void OnRead(png_structp png, png_bytep target, png_size_t length) {
  auto* run = static_cast<PngRun*>(png_get_io_ptr(png));
  if (length > run->data.size() - run->position) {
    run->ranOut = true;
    png_error(png, "the data ends early");
  }
  std::memcpy(target, run->data.data() + run->position, length);
  run->position += length;
}

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  auto* run = static_cast<PngRun*>(png_get_error_ptr(png));
  run->message = message != nullptr ? message : "libpng error";
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool Run(PngRun& run, DecodedPicture& out, ImageLoadError& error, const DecodeOptions& options) {
  if (setjmp(png_jmpbuf(run.png)) != 0) {
    error.reason = run.ranOut ? ImageError::Truncated : ImageError::Corrupt;
    error.detail = run.message;
    return false;
  }
  png_set_read_fn(run.png, &run, OnRead);
  png_set_chunk_malloc_max(run.png, kMaxChunkBytes);
  // Only IHDR, PLTE, tRNS, IDAT and IEND matter for the pixels; every other
  // chunk is skipped unread (CRC still checked). libpng would otherwise
  // allocate a text, eXIf or sPLT chunk's declared length (up to 2 GB) before
  // finding that the data is not there.
  png_set_keep_unknown_chunks(run.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_read_info(run.png, run.info);
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int depth = 0;
  int colourType = 0;
  int interlace = 0;
  png_get_IHDR(run.png, run.info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
  if (std::uint64_t{width} * height > options.maxPixels) {
    error.reason = ImageError::TooLarge;
    error.detail = std::to_string(width) + " x " + std::to_string(height) + " pixels is more than the limit of " +
                   std::to_string(options.maxPixels);
    return false;
  }
  const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(run.png, run.info, PNG_INFO_tRNS) != 0;
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(run.png);
  if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(run.png);
  if (png_get_valid(run.png, run.info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(run.png);
  if (depth == 16) png_set_scale_16(run.png);
  if ((colourType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(run.png);
  if (alpha) png_set_bgr(run.png);
  png_set_interlace_handling(run.png);
  png_read_update_info(run.png, run.info);
  const std::size_t rowBytes = png_get_rowbytes(run.png, run.info);
  const PixelLayout layout = alpha ? PixelLayout::Argb32 : PixelLayout::Rgb888;
  if (!out.Allocate(static_cast<int>(width), static_cast<int>(height), layout, false, options.maxPixels, error)) {
    return false;
  }
  if (rowBytes != out.stride) return Fail(error, ImageError::Corrupt, "unexpected row size after conversion");
  run.rows.reset(new (std::nothrow) png_bytep[height]);
  if (!run.rows) return Fail(error, ImageError::OutOfMemory, "no memory for the row table");
  for (png_uint_32 y = 0; y < height; ++y) run.rows[y] = out.Row(static_cast<int>(y));
  // Interlaced pictures are put together in the buffer pass by pass, so the
  // later passes read it: start from zero there.
  if (interlace != PNG_INTERLACE_NONE) std::memset(out.pixels.get(), 0, out.stride * height);
  png_read_image(run.png, run.rows.get());
  // What follows the pixels (text, time, the end chunk) is not needed.
  return true;
}

}  // namespace

bool DecodePng(std::span<const std::uint8_t> data, DecodedPicture& out, ImageLoadError& error,
               const DecodeOptions& options) {
  if (data.size() < 8) return Fail(error, ImageError::Truncated, "shorter than a PNG signature");
  if (png_sig_cmp(data.data(), 0, 8) != 0) return Fail(error, ImageError::UnknownKind, "no PNG signature");
  auto run = std::make_unique<PngRun>();
  run->data = data;
  run->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, run.get(), OnError, OnWarning);
  if (run->png == nullptr) return Fail(error, ImageError::OutOfMemory, "libpng could not start");
  run->info = png_create_info_struct(run->png);
  bool ok = false;
  if (run->info == nullptr) {
    Fail(error, ImageError::OutOfMemory, "libpng could not start");
  } else {
    ok = Run(*run, out, error, options);
  }
  png_destroy_read_struct(&run->png, run->info != nullptr ? &run->info : nullptr, nullptr);
  return ok;
}

}  // namespace tarvo::image
