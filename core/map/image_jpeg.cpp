// JPEG through libjpeg (libjpeg-turbo's libjpeg 6.2 interface). Rows are
// decoded straight into the final 3-byte RGB buffer, so the peak memory of a
// load is the pixels plus libjpeg's own working rows (plus its coefficient
// arrays for progressive files). libjpeg's fatal errors come back through
// longjmp to the one setjmp below; every path ends in jpeg_destroy_decompress.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "core/map/image_decoders.h"

namespace tarvo::image {

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool dataEnded;    // libjpeg ran out of data and made up the rest
  int warnings;
};

[[noreturn]] void OnError(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, manager->message);
  std::longjmp(manager->jump, 1);
}

// Warnings (corrupt data, premature end) are counted, never printed.
void OnMessage(j_common_ptr info, int level) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  if (level < 0) {
    ++manager->warnings;
    if (info->err->msg_code == JWRN_JPEG_EOF) manager->dataEnded = true;
  }
}

// CMYK rows from libjpeg to RGB. Adobe files store the inks inverted (255 =
// no ink), which is what libjpeg hands out for them; other CMYK files are
// taken as plain ink amounts.
void CmykRowToRgb(const JSAMPLE* cmyk, std::uint8_t* rgb, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    rgb[0] = static_cast<std::uint8_t>((c * k + 127) / 255);
    rgb[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
    rgb[2] = static_cast<std::uint8_t>((y * k + 127) / 255);
  }
}

// Everything the setjmp function changes after setjmp and reads after a
// longjmp lives here, in memory, not in registers.
struct JpegRun {
  jpeg_decompress_struct info;
  ErrorManager errors;
  std::unique_ptr<JSAMPLE[]> cmykRow;
  bool created = false;
};

bool Run(JpegRun& run, std::span<const std::uint8_t> data, DecodedPicture& out, ImageLoadError& error,
         const DecodeOptions& options) {
  jpeg_decompress_struct& info = run.info;
  info.err = jpeg_std_error(&run.errors.base);
  run.errors.base.error_exit = OnError;
  run.errors.base.emit_message = OnMessage;
  run.errors.dataEnded = false;
  run.errors.warnings = 0;
  run.errors.message[0] = '\0';
  if (setjmp(run.errors.jump) != 0) {
    // A fatal error: the pixels decoded so far are dropped with `out`.
    error.reason = ImageError::Corrupt;
    const char* m = run.errors.message;
    if (std::strstr(m, "Unsupported") != nullptr || std::strstr(m, "not supported") != nullptr) {
      error.reason = ImageError::Unsupported;
    }
    error.detail = m;
    return false;
  }
  jpeg_create_decompress(&info);
  run.created = true;
  jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    return Fail(error, ImageError::Truncated, "no picture in the data");
  }
  if (run.errors.dataEnded) return Fail(error, ImageError::Truncated, "the data ends inside the header");
  const std::uint64_t pixelCount = std::uint64_t{info.image_width} * info.image_height;
  if (info.image_width == 0 || info.image_height == 0 || pixelCount > options.maxPixels) {
    error.reason = ImageError::TooLarge;
    error.detail = std::to_string(info.image_width) + " x " + std::to_string(info.image_height) +
                   " pixels is 0 or more than the limit of " + std::to_string(options.maxPixels);
    return false;
  }
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(&info);
  const auto width = static_cast<int>(info.output_width);
  const auto height = static_cast<int>(info.output_height);
  // libjpeg writes every row (made-up grey ones after a premature end), so
  // the buffer need not be cleared first.
  if (!out.Allocate(width, height, PixelLayout::Rgb888, false, options.maxPixels, error)) {
    jpeg_abort_decompress(&info);
    return false;
  }
  if (cmyk) {
    run.cmykRow.reset(new (std::nothrow) JSAMPLE[static_cast<std::size_t>(width) * 4]);
    if (!run.cmykRow) {
      jpeg_abort_decompress(&info);
      return Fail(error, ImageError::OutOfMemory, "no memory for a row");
    }
  }
  constexpr int kRowsAtOnce = 16;
  JSAMPROW rows[kRowsAtOnce];
  while (info.output_scanline < info.output_height) {
    const int y = static_cast<int>(info.output_scanline);
    if (cmyk) {
      rows[0] = run.cmykRow.get();
      if (jpeg_read_scanlines(&info, rows, 1) != 1) break;
      CmykRowToRgb(run.cmykRow.get(), out.Row(y), info.output_width, info.saw_Adobe_marker != 0);
      continue;
    }
    const int want = std::min(kRowsAtOnce, height - y);
    for (int i = 0; i < want; ++i) rows[i] = out.Row(y + i);
    if (jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(want)) == 0) break;
  }
  if (info.output_scanline < info.output_height) {
    // Cannot happen with a memory source, which makes up data at the end.
    jpeg_abort_decompress(&info);
    return Fail(error, ImageError::Truncated, "the data ends inside the pixels");
  }
  // The rest of the file (later markers, EOI) does not matter for the picture.
  jpeg_abort_decompress(&info);
  out.partial = run.errors.dataEnded || run.errors.warnings > 0;
  return true;
}

}  // namespace

bool DecodeJpeg(std::span<const std::uint8_t> data, DecodedPicture& out, ImageLoadError& error,
                const DecodeOptions& options) {
  if (data.size() < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF) {
    return Fail(error, data.size() < 3 ? ImageError::Truncated : ImageError::UnknownKind, "no JPEG start marker");
  }
  auto run = std::make_unique<JpegRun>();
  std::memset(&run->info, 0, sizeof run->info);
  const bool ok = Run(*run, data, out, error, options);
  if (run->created) jpeg_destroy_decompress(&run->info);
  return ok;
}

}  // namespace tarvo::image
