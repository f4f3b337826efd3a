// The settings file reader: any text parses; what it yields, written back and
// read again, is the same; every value survives its escaping.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/settings/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const tarvo::SettingsValues values = tarvo::ParseSettingsText(text);
  const tarvo::SettingsValues again = tarvo::ParseSettingsText(tarvo::FormatSettingsText("Pathlet", values));
  if (again != values) std::abort();
  // The whole input as one value.
  const auto back = tarvo::UnescapeSettingValue(tarvo::EscapeSettingValue(text));
  if (!back || *back != text) std::abort();
  return 0;
}
