// tarvo-coord: converts positions between WGS-84 latitude/longitude and the
// program's 19 coordinate formats, one position a line, like cs2cs.
//
//   tarvo-coord --format N            "lat lon" (decimal degrees, WGS-84) per line ->
//                                     label1 TAB value1 TAB label2 TAB value2 TAB zone
//                                     TAB first number TAB second number
//   tarvo-coord --format N --inverse  the format's fields per line -> lat TAB lon
//   tarvo-coord --list                the format names with their index
//
// A bad line gets a message on standard error with its line number; the
// conversion goes on with the next line, and the exit status is then 1.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/geo/coord_format.h"
#include "core/geo/edit_fields.h"
#include "core/geo/number_text.h"

namespace {

using namespace tarvo;

constexpr const char* kUsage =
    "usage: tarvo-coord [--format N] [--inverse] < input\n"
    "       tarvo-coord --list\n"
    "\n"
    "Forward (default): each input line is \"latitude longitude\" in decimal degrees\n"
    "(WGS-84, north and east positive). Each output line holds the texts the\n"
    "program shows (label, value, label, value, UTM zone) and the two unrounded\n"
    "numbers (northing and easting, or X and Y, or latitude and longitude),\n"
    "separated by tabs.\n"
    "\n"
    "Inverse: each line holds what the location dialog takes for the format:\n"
    "  0, 17  deg min sec N|S deg min sec E|W    1  deg min N|S deg min E|W\n"
    "  2      deg N|S deg E|W                   (hemispheres may be left out)\n"
    "  3, 4   northing easting zone             other grids: the two numbers\n"
    "and the output is \"latitude TAB longitude\" (WGS-84, full precision).\n"
    "\n"
    "Options: --format N (0..18, default 0), --inverse, --list, --help.\n";

// Buffered line reader over a FILE*, for inputs of millions of lines.
class LineReader {
 public:
  explicit LineReader(std::FILE* in) : in_(in), buffer_(1 << 20) {}
  bool Next(std::string_view& line) {
    for (;;) {
      const char* begin = buffer_.data() + start_;
      const char* end = buffer_.data() + filled_;
      const char* newline = static_cast<const char*>(std::memchr(begin, '\n', static_cast<size_t>(end - begin)));
      if (newline != nullptr) {
        line = std::string_view(begin, static_cast<size_t>(newline - begin));
        start_ = static_cast<size_t>(newline - buffer_.data()) + 1;
        return true;
      }
      if (eof_) {
        if (start_ == filled_) return false;
        line = std::string_view(begin, filled_ - start_);
        start_ = filled_;
        return true;
      }
      // Move the partial line to the front and read more.
      std::memmove(buffer_.data(), begin, filled_ - start_);
      filled_ -= start_;
      start_ = 0;
      if (filled_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
      const size_t got = std::fread(buffer_.data() + filled_, 1, buffer_.size() - filled_, in_);
      filled_ += got;
      if (got == 0) eof_ = true;
    }
  }

 private:
  std::FILE* in_;
  std::vector<char> buffer_;
  size_t start_ = 0, filled_ = 0;
  bool eof_ = false;
};

// The blank- or comma-separated words of a line (at most kMaxTokens + 1 kept,
// so that "too many" can still be told).
constexpr size_t kMaxTokens = 8;
struct TokenList {
  std::string_view items[kMaxTokens + 1];
  size_t count = 0;
  size_t size() const { return count; }
  bool empty() const { return count == 0; }
  const std::string_view& operator[](size_t i) const { return items[i]; }
  void push_back(std::string_view t) {
    if (count <= kMaxTokens) items[count] = t;
    ++count;
  }
};

TokenList Tokens(std::string_view line) {
  TokenList out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == ',' || line[i] == '\r')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != ',' && line[i] != '\r') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

std::optional<double> Number(std::string_view text) {
  double v = 0;
  const char* first = text.data();
  if (!text.empty() && text[0] == '+') ++first;
  const auto r = std::from_chars(first, text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

bool IsHemisphere(std::string_view t) { return t.size() == 1 && std::strchr("NSEWnsew", t[0]) != nullptr; }

// Fills the dialog's fields from the tokens of one inverse line.
std::optional<EditFields> FieldsFromTokens(int format, const TokenList& t, std::string& why) {
  EditFields f;
  const int perAxis = (format == 0 || format == 17) ? 3 : (format == 1 ? 2 : 1);
  if (format <= 2 || format == 17) {
    const size_t withHemi = static_cast<size_t>(2 * (perAxis + 1)), without = static_cast<size_t>(2 * perAxis);
    if (t.size() != withHemi && t.size() != without) {
      why = "expected " + std::to_string(without) + " numbers, each axis optionally followed by its hemisphere";
      return std::nullopt;
    }
    const bool hemis = t.size() == withHemi;
    size_t k = 0;
    for (int axis = 0; axis < 2; ++axis) {
      for (int i = 0; i < perAxis; ++i) f.axes[axis].fields[i] = std::string(t[k++]);
      if (hemis) {
        if (!IsHemisphere(t[k])) {
          why = "bad hemisphere \"" + std::string(t[k]) + "\"";
          return std::nullopt;
        }
        f.axes[axis].hemisphere = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(t[k][0]))));
        ++k;
      }
    }
    return f;
  }
  if (format == 3 || format == 4) {
    if (t.size() != 3) {
      why = "expected \"northing easting zone\"";
      return std::nullopt;
    }
    f.axes[0].fields[0] = std::string(t[0]);
    f.axes[1].fields[0] = std::string(t[1]);
    f.axes[0].fields[1] = std::string(t[2]);
    return f;
  }
  if (t.size() != 2) {
    why = "expected two numbers";
    return std::nullopt;
  }
  f.axes[0].fields[0] = std::string(t[0]);
  f.axes[1].fields[0] = std::string(t[1]);
  return f;
}

void Flush(std::string& out) {
  std::fwrite(out.data(), 1, out.size(), stdout);
  out.clear();
}

int Run(int format, bool inverse) {
  LineReader reader(stdin);
  std::string out;
  out.reserve(1 << 21);
  std::string_view line;
  long long number = 0;
  bool anyBad = false;
  PositionText t;
  while (reader.Next(line)) {
    ++number;
    const TokenList tokens = Tokens(line);
    if (tokens.empty() || tokens[0][0] == '#') continue;
    std::string why;
    if (!inverse) {
      std::optional<double> lat, lon;
      if (tokens.size() == 2) {
        lat = Number(tokens[0]);
        lon = Number(tokens[1]);
      }
      if (!lat || !lon) {
        why = "expected \"latitude longitude\" in decimal degrees";
      } else if (const auto n = PositionNumbers(format, *lat, *lon)) {
        FormatPositionNumbersInto(t, format, *n, PositionLayout::TwoField);
        for (const std::string* s : {&t.label1, &t.value1, &t.label2, &t.value2, &t.zone}) {
          out += *s;
          out += '\t';
        }
        AppendShortest(out, n->first);
        out += '\t';
        AppendShortest(out, n->second);
        out += '\n';
      } else {
        why = "no value in this format";
      }
    } else {
      const std::optional<EditFields> fields = FieldsFromTokens(format, tokens, why);
      if (fields) {
        if (const auto p = ReadEditFields(format, *fields)) {
          AppendShortest(out, p->latitude);
          out += '\t';
          AppendShortest(out, p->longitude);
          out += '\n';
        } else {
          why = "no position (unreadable number, bad zone or outside the grid)";
        }
      }
    }
    if (!why.empty()) {
      Flush(out);
      std::fflush(stdout);
      std::fprintf(stderr, "tarvo-coord: line %lld: %s\n", number, why.c_str());
      anyBad = true;
    }
    if (out.size() > (1 << 20)) Flush(out);
  }
  Flush(out);
  return anyBad ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  int format = 0;
  bool inverse = false, list = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--format" && i + 1 < argc) {
      const std::string_view value = argv[++i];
      const auto r = std::from_chars(value.data(), value.data() + value.size(), format);
      if (r.ec != std::errc() || r.ptr != value.data() + value.size() || format < 0 || format >= kCoordFormatCount) {
        std::fprintf(stderr, "tarvo-coord: format must be 0..18, not \"%s\"\n", argv[i]);
        return 2;
      }
    } else if (arg == "--inverse") {
      inverse = true;
    } else if (arg == "--list") {
      list = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      std::fprintf(stderr, "tarvo-coord: unknown argument \"%s\"\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (list) {
    for (int f = 0; f < kCoordFormatCount; ++f)
      std::printf("%d\t%.*s\n", f, static_cast<int>(CoordFormatName(f).size()), CoordFormatName(f).data());
    return 0;
  }
  return Run(format, inverse);
}
