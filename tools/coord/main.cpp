// tarvo-coord: converts positions between WGS-84 latitude/longitude and the
// program's 19 coordinate formats, one position a line, like cs2cs.
//
//   tarvo-coord --format N            "lat lon" (decimal degrees, WGS-84) per line ->
//                                     label1 TAB value1 TAB label2 TAB value2 TAB zone
//                                     TAB first number TAB second number
//   tarvo-coord --format N --inverse  the format's fields per line -> lat TAB lon
//   tarvo-coord --list                the format names with their index
//   --accurate                        the national grids through PROJ with the
//                                     published datum transformations (the
//                                     transformation used is named on stderr)
//
// Output line N belongs to input line N: blank lines and comment lines
// ("#" first) are passed through as they are, as cs2cs does, and a line
// that cannot be converted prints "*\t*" and gets a message on
// standard error with its line number; the conversion goes on with the next
// line. Exit status: 0 all lines converted, 1 some line refused, 2 bad
// arguments or no accurate transformation, 3 standard input could not be read or standard output not written.
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/geo/coord_format.h"
#include "core/geo/edit_fields.h"
#include "core/geo/nz.h"
#include "core/geo/number_text.h"
#include "core/geo/tm_grid.h"
#include "core/proj/accurate_datum.h"

namespace {

using namespace tarvo;

constexpr const char* kUsage =
    "usage: tarvo-coord [--format N] [--inverse] [--accurate] < input\n"
    "       tarvo-coord --list [--accurate]\n"
    "\n"
    "Forward (default): each input line is \"latitude longitude\" in decimal degrees\n"
    "(WGS-84, north and east positive, latitude -90..90, longitude -180..180). Each\n"
    "output line holds the texts the program shows (label, value, label, value, UTM\n"
    "zone) and the two unrounded numbers (northing and easting, or X and Y, or\n"
    "latitude and longitude), separated by tabs.\n"
    "\n"
    "Inverse: each line holds what the location dialog takes for the format:\n"
    "  0, 17  deg min sec N|S deg min sec E|W    1  deg min N|S deg min E|W\n"
    "  2      deg N|S deg E|W                   (hemispheres may be left out)\n"
    "  3, 4   northing easting zone             other grids: the two numbers\n"
    "and the output is \"latitude TAB longitude\" (WGS-84, full precision).\n"
    "\n"
    "A line that cannot be converted (or is longer than 4096 bytes) prints \"*\\t*\"\n"
    "and a message on standard error. Exit status: 0 all converted, 1 some line\n"
    "refused, 2 bad arguments, 3 read or write error.\n"
    "\n"
    "--accurate converts the national grids through PROJ with the published\n"
    "datum transformation (the one cs2cs picks for the same EPSG codes, no network),\n"
    "instead of the built-in shifts; standard error names the transformation, and\n"
    "--list shows each format's EPSG code. Degrees, UTM and SWEREF93 are unchanged.\n"
    "\n"
    "Options: --format N (0..18, default 0), --inverse, --accurate, --list, --help.\n";

constexpr int kExitBadLine = 1;
constexpr int kExitIoError = 3;

// Longest line read, in bytes without the line end; the rest of a longer
// line is skipped and the line refused.
constexpr size_t kMaxLine = 4096;
// Bytes of a refused line quoted in its message.
constexpr size_t kQuotedBytes = 40;

// A line for a message: its first kQuotedBytes bytes, "..." when there is
// more, control and non-ASCII bytes as \xHH.
std::string Quote(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (size_t i = 0; i < text.size() && i < kQuotedBytes; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c >= 0x7F || c == '\\' || c == '"') {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (text.size() > kQuotedBytes) out += "...";
  out += '"';
  return out;
}

// Lines of standard input, read in large blocks. A line longer than kMaxLine
// is handed out as its first bytes with tooLong set, and the rest of it is
// skipped, so memory stays bounded whatever the input.
class LineReader {
 public:
  LineReader() : buffer_(new char[kSize]) {}

  // False at the end of the input or on a read error (error() then non-zero).
  bool Next(std::string_view& line, bool& tooLong) {
    tooLong = false;
    for (;;) {
      const char* begin = buffer_.get() + start_;
      const size_t available = filled_ - start_;
      const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', available));
      if (newline != nullptr) {
        const auto length = static_cast<size_t>(newline - begin);
        start_ += length + 1;
        tooLong = length > kMaxLine;
        line = std::string_view(begin, tooLong ? kMaxLine : length);
        return true;
      }
      if (error_ != 0) return false;
      if (eof_) {
        if (available == 0) return false;
        start_ = filled_;
        tooLong = available > kMaxLine;
        line = std::string_view(begin, tooLong ? kMaxLine : available);
        return true;
      }
      if (available > kMaxLine) {
        SkipRestOfLine();
        if (error_ != 0) return false;
        tooLong = true;
        line = prefix_;
        return true;
      }
      // Move the partial line to the front and read more.
      std::memmove(buffer_.get(), begin, available);
      filled_ = available;
      start_ = 0;
      Fill();
    }
  }

  int error() const { return error_; }

 private:
  static constexpr size_t kSize = 1 << 20;  // well above kMaxLine

  void Fill() {
    for (;;) {
      const ssize_t got = ::read(STDIN_FILENO, buffer_.get() + filled_, kSize - filled_);
      if (got > 0) {
        filled_ += static_cast<size_t>(got);
        return;
      }
      if (got == 0) {
        eof_ = true;
        return;
      }
      if (errno != EINTR) {
        error_ = errno;
        return;
      }
    }
  }

  // The buffer holds the start of an overlong line and no line end: keep a
  // few bytes of it for the message and drop input up to its line end.
  void SkipRestOfLine() {
    prefix_.assign(buffer_.get() + start_, kQuotedBytes + 1);
    for (;;) {
      start_ = filled_ = 0;
      Fill();
      if (error_ != 0) return;
      if (eof_) return;
      const auto* newline = static_cast<const char*>(std::memchr(buffer_.get(), '\n', filled_));
      if (newline != nullptr) {
        start_ = static_cast<size_t>(newline - buffer_.get()) + 1;
        return;
      }
    }
  }

  std::unique_ptr<char[]> buffer_;
  size_t start_ = 0, filled_ = 0;
  bool eof_ = false;
  int error_ = 0;
  std::string prefix_;
};

// Standard output through one large buffer written with write(2). Each line
// is formatted straight into the buffer: Room() leaves at least kLineRoom
// bytes free, more than any output line takes.
class Output {
 public:
  static constexpr size_t kLineRoom = 8192;  // room for the longest line kept, echoed

  Output() : buffer_(new char[kSize + kLineRoom]) {}

  char* Room() {
    if (used_ >= kSize) Flush();
    return buffer_.get() + used_;
  }
  void Done(char* end) { used_ = static_cast<size_t>(end - buffer_.get()); }

  // Writes out the buffer; false (and error() non-zero) when writing failed.
  bool Flush() {
    size_t written = 0;
    while (written < used_ && error_ == 0) {
      const ssize_t n = ::write(STDOUT_FILENO, buffer_.get() + written, used_ - written);
      if (n >= 0)
        written += static_cast<size_t>(n);
      else if (errno != EINTR)
        error_ = errno;
    }
    used_ = 0;
    return error_ == 0;
  }
  int error() const { return error_; }

 private:
  static constexpr size_t kSize = 1 << 20;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  int error_ = 0;
};

char* Put(char* p, std::string_view text) {
  if (text.empty()) return p;  // an empty view may have no data at all
  std::memcpy(p, text.data(), text.size());
  return p + text.size();
}

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

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }

TokenList Tokens(std::string_view line) {
  TokenList out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsSeparator(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !IsSeparator(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

// A decimal number as std::from_chars reads it (after an optional '+'),
// finite. Plain "[-]digits[.digits]" with at most 15 significant digits is
// read here: the digits as an exact integer divided by an exact power of ten
// is the correctly rounded value, the same double from_chars gives.
std::optional<double> Number(std::string_view text) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const char* first = text.data();
  const char* const end = text.data() + text.size();
  if (first != end && *first == '+') ++first;
  {
    const char* p = first;
    const bool negative = p != end && *p == '-';
    if (negative) ++p;
    uint64_t mantissa = 0;
    int significant = 0, decimals = 0, digits = 0;
    bool point = false, plain = true;
    for (; p != end; ++p) {
      const char c = *p;
      if (c >= '0' && c <= '9') {
        ++digits;
        if (point) ++decimals;
        if (mantissa != 0 || c != '0') ++significant;
        mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
      } else if (c == '.' && !point) {
        point = true;
      } else {
        plain = false;
        break;
      }
    }
    if (plain && digits > 0 && significant <= 15 && decimals <= 22) {
      const double v = static_cast<double>(mantissa) / kPowers[decimals];
      return negative ? -v : v;
    }
  }
  double v = 0;
  const auto r = std::from_chars(first, end, v);
  if (r.ec != std::errc() || r.ptr != end || !std::isfinite(v)) return std::nullopt;
  return v;
}

bool LatLonInRange(double lat, double lon) {
  return lat >= -90.0 && lat <= 90.0 && lon >= -180.0 && lon <= 180.0;
}

bool IsHemisphere(std::string_view t) { return t.size() == 1 && std::strchr("NSEWnsew", t[0]) != nullptr; }

// The number fields per axis of a degree format (3, 2 or 1); 0 for a grid.
int DegreeFieldsPerAxis(CoordFormat format) {
  switch (format) {
    case CoordFormat::WgsDms:
    case CoordFormat::Nzgd49:
      return 3;
    case CoordFormat::WgsDm:
      return 2;
    case CoordFormat::WgsDeg:
      return 1;
    default:
      return 0;
  }
}

bool IsUtm(CoordFormat format) {
  return format == CoordFormat::UtmWgs84 || format == CoordFormat::UtmInternational;
}

// The grids whose first number is the east-counting X.
bool IsXyGrid(CoordFormat format) {
  return format == CoordFormat::Netherlands || format == CoordFormat::Switzerland || format == CoordFormat::Nzmg;
}

// Fills the dialog's fields from the tokens of one inverse line.
std::optional<EditFields> FieldsFromTokens(CoordFormat format, const TokenList& t, std::string& why) {
  EditFields f;
  const int perAxis = DegreeFieldsPerAxis(format);
  if (perAxis > 0) {
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
          why = "bad hemisphere " + Quote(t[k]);
          return std::nullopt;
        }
        f.axes[axis].hemisphere = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(t[k][0]))));
        ++k;
      }
    }
    return f;
  }
  if (IsUtm(format)) {
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

// Minutes and seconds of the degree formats must be at least 0 and below 60
// (the dialog's fields take any number). Empty when they are, else why not.
std::string AngleFieldsProblem(CoordFormat format, const EditFields& f) {
  const int perAxis = DegreeFieldsPerAxis(format);
  if (perAxis < 2) return {};
  for (const EditAxis& axis : f.axes) {
    const std::optional<double> minutes = perAxis == 2 ? ParseDecimalField(axis.fields[1])
                                                       : std::optional<double>(ParseIntegerField(axis.fields[1]));
    if (minutes && !(*minutes >= 0.0 && *minutes < 60.0)) return "minutes must be at least 0 and below 60";
    if (perAxis == 3) {
      const std::optional<double> seconds = ParseDecimalField(axis.fields[2]);
      if (seconds && !(*seconds >= 0.0 && *seconds < 60.0)) return "seconds must be at least 0 and below 60";
    }
  }
  return {};
}

// The forward conversion of one position into its output line at p; empty
// (and why set) when the position has no value in the format.
char* PutForward(char* p, DatumMode mode, CoordFormat format, double lat, double lon, PositionText& t,
                 std::string& why) {
  if (!LatLonInRange(lat, lon)) {
    why = "latitude must be -90..90 and longitude -180..180";
    return nullptr;
  }
  if (format == CoordFormat::Nzmg) {
    int status = 0;
    if (!NzmgFromLatLon(lat, lon, &status) || status != 0) {
      why = "outside the New Zealand Map Grid";
      return nullptr;
    }
  }
  const GeoResult<FormatNumbers> n = PositionNumbers(mode, format, lat, lon);
  if (!n) {
    why = "no value in this format";
    return nullptr;
  }
  // The grids are written here, as FormatPositionNumbersInto words them;
  // the degree formats take their texts from it.
  if (IsUtm(format)) {
    p = Put(p, "N\t");
    p = WriteFixed(p, n->first, 2);
    p = Put(p, "\tE\t");
    p = WriteFixed(p, n->second, 2);
    *p++ = '\t';
    p = Put(p, n->zone);
  } else if (IsXyGrid(format) || FindTmGrid(format) != nullptr) {
    const bool xy = IsXyGrid(format);
    *p++ = xy ? 'X' : 'N';
    *p++ = '\t';
    p = WriteFixed(p, n->first, 1, 7);
    *p++ = '\t';
    *p++ = xy ? 'Y' : 'E';
    *p++ = '\t';
    p = WriteFixed(p, n->second, 1, 7);
    *p++ = '\t';
  } else {
    FormatPositionNumbersInto(t, format, *n, PositionLayout::TwoField);
    for (const std::string* s : {&t.label1, &t.value1, &t.label2, &t.value2}) {
      p = Put(p, *s);
      *p++ = '\t';
    }
    p = Put(p, t.zone);
  }
  *p++ = '\t';
  p = WriteShortest(p, n->first);
  *p++ = '\t';
  p = WriteShortest(p, n->second);
  *p++ = '\n';
  return p;
}

// The message of an inverse line that gave no position. Every reason keeps
// the one wording the tool has always printed, which names them all, so that
// scripts reading the messages go on matching; a new reason must be placed here.
const char* NoPositionText(GeoFailure reason) {
  switch (reason) {
    case GeoFailure::BadNumber:
    case GeoFailure::BadZone:
    case GeoFailure::OutsideGrid:
    case GeoFailure::NotFinite:
    case GeoFailure::UnknownFormat:
    case GeoFailure::UnusableEllipsoid:
      break;
  }
  return "no position (unreadable number, bad zone or outside the grid)";
}

char* PutInverse(char* p, DatumMode mode, CoordFormat format, const TokenList& tokens, std::string& why) {
  const std::optional<EditFields> fields = FieldsFromTokens(format, tokens, why);
  if (!fields) return nullptr;
  const GeoResult<LatLon> pos = ReadEditFields(mode, format, *fields);
  if (!pos) {
    why = NoPositionText(pos.error());
    return nullptr;
  }
  why = AngleFieldsProblem(format, *fields);
  if (!why.empty()) return nullptr;
  // UTM zones 1 and 60 and the New Zealand grids reach the 180th meridian:
  // a longitude a little beyond it is the same place on the other side.
  double lon = pos->longitude;
  const bool reaches180 = IsUtm(format) || format == CoordFormat::Nzgd49 || format == CoordFormat::Nzmg;
  if (reaches180 && std::fabs(lon) > 180.0 && std::fabs(lon) < 186.0) lon += lon > 0 ? -360.0 : 360.0;
  if (!LatLonInRange(pos->latitude, lon)) {
    why = "the position is beyond latitude -90..90 or longitude -180..180 (outside the grid)";
    return nullptr;
  }
  p = WriteShortest(p, pos->latitude);
  *p++ = '\t';
  p = WriteShortest(p, lon);
  *p++ = '\n';
  return p;
}

int WriteError(int error) {
  std::fprintf(stderr, "tarvo-coord: cannot write standard output: %s\n", std::strerror(error));
  return kExitIoError;
}

int Run(DatumMode mode, CoordFormat format, bool inverse) {
  LineReader reader;
  Output out;
  std::string_view line;
  bool tooLong = false;
  long long number = 0;
  bool anyBad = false;
  PositionText texts;
  std::string why;
  while (reader.Next(line, tooLong)) {
    ++number;
    char* p = out.Room();
    char* end = nullptr;
    if (tooLong) {
      why = "longer than " + std::to_string(kMaxLine) + " bytes";
    } else {
      const TokenList tokens = Tokens(line);
      if (tokens.empty() || tokens[0][0] == '#') {
        // Blank and comment lines keep their place in the output.
        out.Done(Put(Put(p, tokens.empty() ? std::string_view() : line), "\n"));
        continue;
      }
      if (inverse) {
        end = PutInverse(p, mode, format, tokens, why);
      } else {
        std::optional<double> lat, lon;
        if (tokens.size() == 2) {
          lat = Number(tokens[0]);
          lon = Number(tokens[1]);
        }
        if (lat && lon)
          end = PutForward(p, mode, format, *lat, *lon, texts, why);
        else
          why = "expected \"latitude longitude\" in decimal degrees";
      }
    }
    if (end != nullptr) {
      out.Done(end);
      continue;
    }
    // Refused: a placeholder keeps the output lines beside their input lines.
    out.Done(Put(p, "*\t*\n"));
    if (!out.Flush()) return WriteError(out.error());
    std::fprintf(stderr, "tarvo-coord: line %lld: %s: %s\n", number, why.c_str(), Quote(line).c_str());
    anyBad = true;
  }
  if (!out.Flush()) return WriteError(out.error());
  if (reader.error() != 0) {
    std::fprintf(stderr, "tarvo-coord: cannot read standard input (after line %lld): %s\n", number,
                 std::strerror(reader.error()));
    return kExitIoError;
  }
  return anyBad ? kExitBadLine : 0;
}

// Names on standard error what the accurate mode uses for the format; false
// (after saying why) when PROJ has no transformation for it.
bool AnnounceAccurate(CoordFormat format) {
  const std::string_view name = CoordFormatName(format);
  const int code = AccurateCrsCode(format);
  if (code == 0) {
    std::fprintf(stderr, "tarvo-coord: accurate datum: %.*s keeps its WGS-84 numbers\n", static_cast<int>(name.size()),
                 name.data());
    return true;
  }
  const AccurateOperation op = DescribeAccurate(format);
  if (!op.available) {
    std::fprintf(stderr, "tarvo-coord: no accurate transformation for %.*s (EPSG:%d): %s\n",
                 static_cast<int>(name.size()), name.data(), code, op.problem.c_str());
    return false;
  }
  std::string accuracy;
  if (op.accuracyMetres >= 0) {
    accuracy = " (";
    AppendShortest(accuracy, op.accuracyMetres);
    accuracy += " m)";
  }
  const std::string_view version = ProjVersion();
  std::fprintf(stderr, "tarvo-coord: accurate datum through PROJ %.*s: EPSG:4326 -> EPSG:%d, %s%s\n",
               static_cast<int>(version.size()), version.data(), code, op.operation.c_str(), accuracy.c_str());
  if (!op.missingGrid.empty())
    std::fprintf(stderr,
                 "tarvo-coord: the grid file %s of the better transformation is not installed; %.*s falls back "
                 "to the transformation above\n",
                 op.missingGrid.c_str(), static_cast<int>(name.size()), name.data());
  return true;
}

// Ends a run that printed through stdio: a failed write is an error too.
int FinishStdout() {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return WriteError(errno);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CoordFormat format = CoordFormat::WgsDms;
  bool inverse = false, list = false;
  DatumMode mode = DatumMode::BuiltIn;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--format" && i + 1 < argc) {
      const std::string_view value = argv[++i];
      int index = -1;
      const auto r = std::from_chars(value.data(), value.data() + value.size(), index);
      const std::optional<CoordFormat> chosen = CoordFormatFromIndex(index);
      if (r.ec != std::errc() || r.ptr != value.data() + value.size() || !chosen) {
        std::fprintf(stderr, "tarvo-coord: format must be 0..18, not \"%s\"\n", argv[i]);
        return 2;
      }
      format = *chosen;
    } else if (arg == "--inverse") {
      inverse = true;
    } else if (arg == "--accurate") {
      mode = DatumMode::Accurate;
    } else if (arg == "--list") {
      list = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return FinishStdout();
    } else {
      std::fprintf(stderr, "tarvo-coord: unknown argument \"%s\"\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (list) {
    for (const CoordFormat f : kAllCoordFormats) {
      const std::string_view name = CoordFormatName(f);
      std::printf("%d\t%.*s", static_cast<int>(f), static_cast<int>(name.size()), name.data());
      if (mode == DatumMode::Accurate && AccurateCrsCode(f) != 0) std::printf("\tEPSG:%d", AccurateCrsCode(f));
      std::printf("\n");
    }
    return FinishStdout();
  }
  if (mode == DatumMode::Accurate && !AnnounceAccurate(format)) return 2;
  return Run(mode, format, inverse);
}
