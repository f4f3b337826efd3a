#include "core/settings/settings_file.h"

namespace tarvo {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool IsKeyChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string EscapeSettingValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto c = static_cast<unsigned char>(value[i]);
    const bool edge = i == 0 || i + 1 == value.size();
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F || (c == ' ' && edge)) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::optional<std::string> UnescapeSettingValue(std::string_view escaped) {
  std::string out;
  out.reserve(escaped.size());
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    const char c = escaped[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == escaped.size()) return std::nullopt;
    switch (escaped[i]) {
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        if (i + 2 >= escaped.size()) return std::nullopt;
        const int hi = HexValue(escaped[i + 1]);
        const int lo = HexValue(escaped[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi << 4 | lo);
        i += 2;
        break;
      }
      default: return std::nullopt;
    }
  }
  return out;
}

SettingsValues ParseSettingsText(std::string_view text, std::size_t* skipped) {
  SettingsValues values;
  std::size_t bad = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      // A last line without its line feed: the file was cut off here.
      if (!Trim(text).empty()) ++bad;
      break;
    }
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end + 1);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']') continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      ++bad;
      continue;
    }
    const std::string_view key = Trim(line.substr(0, eq));
    bool keyOk = !key.empty();
    for (char c : key) keyOk = keyOk && IsKeyChar(c);
    std::optional<std::string> value = UnescapeSettingValue(Trim(line.substr(eq + 1)));
    if (!keyOk || !value) {
      ++bad;
      continue;
    }
    values.insert_or_assign(std::string(key), std::move(*value));
  }
  if (skipped != nullptr) *skipped = bad;
  return values;
}

std::string FormatSettingsText(std::string_view section, const SettingsValues& values) {
  std::string out;
  out += "# Tarvo settings: one Key=value line per key. In values \\\\ is a backslash,\n";
  out += "# \\n \\r \\t are line feed, carriage return and tab, \\xHH any byte.\n";
  out += '[';
  out += section;
  out += "]\n";
  for (const auto& [key, value] : values) {
    out += key;
    out += '=';
    out += EscapeSettingValue(value);
    out += '\n';
  }
  return out;
}

}  // namespace tarvo
