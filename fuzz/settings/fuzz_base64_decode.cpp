// Base64: decoding any text never crashes; what decodes is canonical, so it
// encodes back to the same text; and any bytes survive encoding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/settings/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (const auto decoded = tarvo::Base64Decode(input)) {
    if (tarvo::Base64Encode(*decoded) != input) std::abort();
  }
  const auto back = tarvo::Base64Decode(tarvo::Base64Encode(input));
  if (!back || *back != input) std::abort();
  return 0;
}
