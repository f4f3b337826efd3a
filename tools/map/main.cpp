// tarvo-map: converts positions to pixels of a calibrated map picture and
// back, with the reference points the map page reads beside the picture.
//
//   tarvo-map MAPFILE --to-pixel   "latitude longitude" per line -> "x TAB y"
//                                  (the picture pixel the map page places the
//                                  position on, whole pixels)
//   tarvo-map MAPFILE --to-geo     "x y" per line -> "latitude TAB longitude"
//                                  (degrees, full precision)
//
// The calibration is MAPFILE's name up to its last "." plus ".ini", else
// ".gmi", else ".wcd"; the picture itself is not read. Output line N belongs
// to input line N: blank lines and comment lines ("#" first) pass through,
// and a line that cannot be converted prints "*\t*" with a message on
// standard error naming its line. Exit status: 0 all lines converted, 1 some
// line refused, 2 bad arguments, 3 read or write error, 4 the map is not
// calibrated (the message names the calibration file read, or says that
// none was found).
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/geo/number_text.h"
#include "core/map/map_files.h"

namespace {

using namespace tarvo;

constexpr const char* kUsage =
    "usage: tarvo-map MAPFILE --to-pixel < positions\n"
    "       tarvo-map MAPFILE --to-geo < pixels\n"
    "\n"
    "Reads the calibration beside MAPFILE as the map page does (MAPFILE's name up to\n"
    "its last \".\" plus \".ini\", else \".gmi\", else \".wcd\") and converts one line at\n"
    "a time:\n"
    "  --to-pixel  \"latitude longitude\" (decimal degrees) -> \"x TAB y\" (whole pixels,\n"
    "              column from the left, row from the top)\n"
    "  --to-geo    \"x y\" (whole pixels) -> \"latitude TAB longitude\" (full precision)\n"
    "\n"
    "A line that cannot be converted (or a position with no place on the map, or a\n"
    "line longer than 4096 bytes) prints \"*\\t*\" and a message on standard error.\n"
    "Exit status: 0 all converted, 1 some line refused, 2 bad arguments, 3 read or\n"
    "write error, 4 the map is not calibrated.\n";

constexpr int kExitBadLine = 1;
constexpr int kExitUsage = 2;
constexpr int kExitIoError = 3;
constexpr int kExitUncalibrated = 4;

constexpr size_t kMaxLine = 4096;   // longest line read, in bytes
constexpr size_t kQuotedBytes = 40;  // bytes of a refused line quoted in its message

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

// One line of standard input without its line end; tooLong when it held more
// than kMaxLine bytes (the rest is skipped). False at the end of the input.
bool ReadLine(std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  int c = 0;
  bool any = false;
  while ((c = std::getc(stdin)) != EOF) {
    any = true;
    if (c == '\n') return true;
    if (line.size() < kMaxLine)
      line += static_cast<char>(c);
    else
      tooLong = true;
  }
  return any;
}

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }

std::vector<std::string_view> Tokens(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsSeparator(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !IsSeparator(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

std::optional<double> Number(std::string_view text) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  double v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<int32_t> Pixel(std::string_view text) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  int32_t v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || v == kNoPixel) return std::nullopt;
  return v;
}

// The converted line (with its line end), or empty with why set.
std::string Convert(const MapCalibration& calibration, bool toPixel, const std::vector<std::string_view>& tokens,
                    std::string& why) {
  std::string out;
  if (tokens.size() != 2) {
    why = toPixel ? "expected \"latitude longitude\" in decimal degrees" : "expected \"x y\" in whole pixels";
    return out;
  }
  if (toPixel) {
    const std::optional<double> lat = Number(tokens[0]), lon = Number(tokens[1]);
    if (!lat || !lon) {
      why = "expected \"latitude longitude\" in decimal degrees";
      return out;
    }
    if (!(*lat >= -90.0 && *lat <= 90.0 && *lon >= -180.0 && *lon <= 180.0)) {
      why = "latitude must be -90..90 and longitude -180..180";
      return out;
    }
    const MapPixel p = calibration.GeoToPixel(*lat, *lon);
    if (!p.IsSet()) {
      why = "the position has no pixel on this map";
      return out;
    }
    out = std::to_string(p.x) + "\t" + std::to_string(p.y) + "\n";
    return out;
  }
  const std::optional<int32_t> x = Pixel(tokens[0]), y = Pixel(tokens[1]);
  if (!x || !y) {
    why = "expected \"x y\" in whole pixels";
    return out;
  }
  const LatLon g = calibration.PixelToGeo(*x, *y);
  if (!std::isfinite(g.latitude) || !std::isfinite(g.longitude)) {
    why = "the pixel has no position on this map";
    return out;
  }
  AppendShortest(out, g.latitude);
  out += '\t';
  AppendShortest(out, g.longitude);
  out += '\n';
  return out;
}

int WriteError() {
  std::fprintf(stderr, "tarvo-map: cannot write standard output: %s\n", std::strerror(errno));
  return kExitIoError;
}

const char* StateText(const MapCalibration& c) {
  switch (c.State()) {
    case CalibrationState::NoRefPoints: return "no reference points";
    case CalibrationState::OneRefPoint: return "only one reference point";
    case CalibrationState::SharedValue:
      switch (c.SharedAxisOfPair()) {
        case SharedAxis::X: return "its two reference points have the same x";
        case SharedAxis::Y: return "its two reference points have the same y";
        case SharedAxis::Latitude: return "its two reference points have the same latitude";
        default: return "its two reference points have the same longitude";
      }
    case CalibrationState::Calibrated: break;
  }
  return "calibrated";
}

int Run(const MapCalibration& calibration, bool toPixel) {
  std::string line, why;
  bool tooLong = false, anyBad = false;
  long long number = 0;
  while (ReadLine(line, tooLong)) {
    ++number;
    std::string out;
    if (tooLong) {
      why = "longer than " + std::to_string(kMaxLine) + " bytes";
    } else {
      const std::vector<std::string_view> tokens = Tokens(line);
      if (tokens.empty() || tokens[0][0] == '#') {
        // Blank and comment lines keep their place in the output.
        out = (tokens.empty() ? std::string() : line) + "\n";
        if (std::fputs(out.c_str(), stdout) == EOF) return WriteError();
        continue;
      }
      out = Convert(calibration, toPixel, tokens, why);
    }
    if (out.empty()) {
      // Refused: a placeholder keeps the output lines beside their input lines.
      if (std::fputs("*\t*\n", stdout) == EOF || std::fflush(stdout) != 0) return WriteError();
      std::fprintf(stderr, "tarvo-map: line %lld: %s: %s\n", number, why.c_str(), Quote(line).c_str());
      anyBad = true;
      continue;
    }
    if (std::fputs(out.c_str(), stdout) == EOF) return WriteError();
  }
  if (std::ferror(stdin)) {
    std::fprintf(stderr, "tarvo-map: cannot read standard input (after line %lld)\n", number);
    return kExitIoError;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return WriteError();
  return anyBad ? kExitBadLine : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* mapFile = nullptr;
  int direction = 0;  // 1 to pixel, 2 to geo
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--to-pixel" || arg == "--to-geo") {
      const int d = arg == "--to-pixel" ? 1 : 2;
      if (direction != 0 && direction != d) {
        std::fprintf(stderr, "tarvo-map: give either --to-pixel or --to-geo\n%s", kUsage);
        return kExitUsage;
      }
      direction = d;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return std::fflush(stdout) == 0 ? 0 : WriteError();
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      std::fprintf(stderr, "tarvo-map: unknown argument \"%s\"\n%s", argv[i], kUsage);
      return kExitUsage;
    } else if (mapFile == nullptr) {
      mapFile = argv[i];
    } else {
      std::fprintf(stderr, "tarvo-map: one map file only, not also \"%s\"\n%s", argv[i], kUsage);
      return kExitUsage;
    }
  }
  if (mapFile == nullptr || direction == 0) {
    std::fprintf(stderr, "tarvo-map: %s\n%s", mapFile == nullptr ? "no map file given" : "give --to-pixel or --to-geo",
                 kUsage);
    return kExitUsage;
  }

  MapDocument map;
  map.SetMapPath(mapFile);
  const LoadedCalibration loaded = map.MapPictureLoaded();
  const MapCalibration& calibration = map.Calibration();
  if (!calibration.IsCalibrated()) {
    if (loaded.kind == CalibrationFileKind::None) {
      const std::filesystem::path base = CalibrationBase(mapFile);
      if (base.empty())
        std::fprintf(stderr, "tarvo-map: %s is not calibrated: its file name has no \".\", so it has no calibration file\n",
                     mapFile);
      else
        std::fprintf(stderr, "tarvo-map: %s is not calibrated: no calibration file found (%s.ini, .gmi or .wcd)\n",
                     mapFile, base.c_str());
    } else {
      std::fprintf(stderr, "tarvo-map: %s is not calibrated: %s has %s (two or more needed)\n", mapFile,
                   loaded.file.c_str(), StateText(calibration));
    }
    return kExitUncalibrated;
  }
  return Run(calibration, direction == 1);
}
