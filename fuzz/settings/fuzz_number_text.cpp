// The number reading of number text keys: any text gives either nothing or
// a number within the key's range, and the store reads an Int key only as an
// allowed value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/settings/keys.h"
#include "core/settings/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (std::size_t i = 0; i < tarvo::kKeyCount; ++i) {
    const auto key = static_cast<tarvo::Key>(i);
    const tarvo::KeyInfo& info = tarvo::Info(key);
    if (const auto value = tarvo::ReadNumberText(key, text)) {
      if (info.number == tarvo::TextNumber::None || !(*value >= info.min && *value <= info.max)) std::abort();
      if (info.number == tarvo::TextNumber::Whole && *value != std::trunc(*value)) std::abort();
    }
  }
  if (const auto value = tarvo::ParseLeadingDecimal(text); value && !std::isfinite(*value)) std::abort();
  return 0;
}
