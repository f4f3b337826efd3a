// The four picture decoders behind DecodePicture. Each reads only inside
// `data`, checks the size against options.maxPixels before allocating, and
// on false leaves the reason in `error`.
#pragma once

#include <cstdint>
#include <span>

#include "core/map/map_image.h"

namespace tarvo::image {

bool DecodeBmp(std::span<const std::uint8_t> data, DecodedPicture& out, ImageLoadError& error,
               const DecodeOptions& options);
bool DecodeGif(std::span<const std::uint8_t> data, DecodedPicture& out, ImageLoadError& error,
               const DecodeOptions& options);
bool DecodeJpeg(std::span<const std::uint8_t> data, DecodedPicture& out, ImageLoadError& error,
                const DecodeOptions& options);
bool DecodePng(std::span<const std::uint8_t> data, DecodedPicture& out, ImageLoadError& error,
               const DecodeOptions& options);

// Sets `error` and returns false, for one-line failure returns.
inline bool Fail(ImageLoadError& error, ImageError reason, const char* detail) {
  error.reason = reason;
  error.detail = detail;
  return false;
}

}  // namespace tarvo::image
