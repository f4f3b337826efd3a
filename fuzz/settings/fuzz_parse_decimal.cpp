// The decimal reader on any text: never crashes, keeps at most the asked
// number of decimals, agrees with its own reading of the digits it used, and
// a value written with FormatFixed reads back unchanged.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/settings/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int decimals = data[0] % 8;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const double value = tarvo::ParseDecimal(text, decimals);
  if (std::isnan(value)) std::abort();
  if (std::isfinite(value) && std::fabs(value) < 1e15) {
    // Formatting with the same decimals and reading again is stable.
    const std::string written = tarvo::FormatFixed(value, decimals);
    if (tarvo::ParseDecimal(written, decimals) != value) std::abort();
  }
  return 0;
}
