// The text of a settings file: INI style, one "Key=value" line per key.
//
//   # comment            lines starting with "#" or ";" are comments
//   [Pathlet]            a section header (written for the reader's sake; ignored
//                        when read: one file holds one section)
//   Speed=4800
//   PortName=/dev/ttyUSB0
//
// Keys are letters, digits and "_"; blanks around the key and the value are
// ignored. Values are escaped so that any byte survives:
//   \\  backslash        \n  line feed       \r  carriage return
//   \t  tab              \xHH  any byte as two hex digits
// The writer uses \xHH for the other control bytes (0x00-0x1F, 0x7F) and for
// a blank at the start or end of a value; every other byte, UTF-8 included,
// is written as it is. A line that does not follow these rules (no "=", a
// bad key, a bad escape) is skipped and the rest of the file still read; so
// is a last line without its line feed (a cut-off file). Of a key given twice
// the last value counts.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tarvo {

using SettingsValues = std::map<std::string, std::string, std::less<>>;

std::string EscapeSettingValue(std::string_view value);
// nullopt for a bad escape.
std::optional<std::string> UnescapeSettingValue(std::string_view escaped);

// Every well-formed "Key=value" line of `text`; `skipped`, when given, counts
// the lines skipped as garbled.
SettingsValues ParseSettingsText(std::string_view text, std::size_t* skipped = nullptr);

// The file text for `values`, under a "[section]" header.
std::string FormatSettingsText(std::string_view section, const SettingsValues& values);

}  // namespace tarvo
