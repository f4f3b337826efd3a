// tarvo-poi: converts a POI file to another of the four formats through the
// program's own readers and writers, or lists one.
//
//   tarvo-poi IN OUT [--from F] [--to F]   F: csv, asc, loc or gpx; without
//                                          them the format follows each path
//                                          as the program chooses it
//   tarvo-poi --list FILE                  name TAB latitude TAB longitude TAB
//                                          abbreviation, one line per record
//
// A conversion prints "read N, kept N, written N": records found in IN,
// records that passed the keep rule, records written to OUT. OUT is
// replaced whole or not at all, and not at all when IN is malformed.
// Exit status: 0 done, 1 IN malformed or not a POI file (--list still
// prints the records before the fault), 2 bad arguments, 3 a file could not
// be read or written.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/geo/number_text.h"
#include "core/poi/poi_file.h"

namespace {

using namespace tarvo;

constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;
constexpr int kExitIoError = 3;

constexpr const char* kUsage =
    "usage: tarvo-poi IN OUT [--from FORMAT] [--to FORMAT]\n"
    "       tarvo-poi --list FILE\n"
    "\n"
    "Converts a POI file between the formats csv (\"name\",lat,lon,\"abbr\"), asc\n"
    "(lon,lat,\"name\"), loc and gpx (GPX 1.0), or lists one as\n"
    "name TAB latitude TAB longitude TAB abbreviation per record.\n"
    "Without --from/--to the format comes from the path: \".loc\", \".gpx\" or\n"
    "\".asc\" anywhere in it, else csv. A conversion prints how many records were\n"
    "read, kept (named, not at 0/0) and written. OUT is replaced whole, and left\n"
    "alone when IN is malformed.\n"
    "Exit status: 0 done, 1 malformed input, 2 bad arguments, 3 read or write error.\n";

std::optional<PoiFileFormat> FormatByName(std::string_view name) {
  if (name == "csv") return PoiFileFormat::Csv;
  if (name == "asc") return PoiFileFormat::Asc;
  if (name == "loc") return PoiFileFormat::Loc;
  if (name == "gpx") return PoiFileFormat::Gpx;
  return std::nullopt;
}

int Usage(const char* message) {
  if (message != nullptr) std::fprintf(stderr, "tarvo-poi: %s\n", message);
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

// Reads IN without creating it (the program makes a missing file; this tool
// reports it). Returns an exit status, 0 when every record was read.
int Read(const std::string& path, PoiFileFormat format, PoiReadResult& result) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    std::fprintf(stderr, "tarvo-poi: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return kExitIoError;
  }
  int err = 0;
  result = ReadPoiFile(path, format, &err);
  switch (result.error) {
    case PoiError::None: return 0;
    case PoiError::CannotOpen:
      std::fprintf(stderr, "tarvo-poi: cannot read %s: %s\n", path.c_str(), std::strerror(err));
      return kExitIoError;
    case PoiError::TooLarge:
      std::fprintf(stderr, "tarvo-poi: %s is larger than %zu bytes\n", path.c_str(), kPoiMaxFileBytes);
      return kExitIoError;
    case PoiError::NotPoiFile:
      std::fprintf(stderr, "tarvo-poi: %s: not a %s file (%s)\n", path.c_str(),
                   format == PoiFileFormat::Loc ? "LOC" : "GPX", result.detail.c_str());
      return kExitBadInput;
    default:
      std::fprintf(stderr, "tarvo-poi: %s:%d:%d: %s; stopped after %zu records\n", path.c_str(), result.line,
                   result.column, result.detail.c_str(), result.records.size());
      return kExitBadInput;
  }
}

int List(const std::string& path) {
  PoiReadResult result;
  const int status = Read(path, ChooseFormat(path), result);
  if (status == kExitIoError) return status;
  std::string line;
  for (const PoiRecord& r : result.records) {
    line.assign(r.name).append("\t");
    AppendFixed(line, r.latitude, 6);
    line += '\t';
    AppendFixed(line, r.longitude, 6);
    line.append("\t").append(r.abbreviation).append("\n");
    if (std::fputs(line.c_str(), stdout) == EOF) return kExitIoError;
  }
  if (std::fflush(stdout) != 0) return kExitIoError;
  return status;
}

int Convert(const std::string& in, const std::string& out, PoiFileFormat from, PoiFileFormat to) {
  PoiReadResult result;
  if (const int status = Read(in, from, result); status != 0) return status;
  const PoiFileResult written = WritePoiFile(out, result.records, to);
  if (!written.ok()) {
    std::fprintf(stderr, "tarvo-poi: cannot write %s: %s (left as it was)\n", out.c_str(),
                 std::strerror(written.errorNumber));
    return kExitIoError;
  }
  std::printf("read %zu, kept %zu, written %zu\n", result.read, result.records.size(), written.written);
  return std::fflush(stdout) == 0 ? 0 : kExitIoError;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> paths;
  std::optional<PoiFileFormat> from, to;
  std::optional<std::string> listPath;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--from" || arg == "--to" || arg == "--list") {
      if (i + 1 >= argc) return Usage("option needs a value");
      const std::string_view value = argv[++i];
      if (arg == "--list") {
        listPath = std::string(value);
        continue;
      }
      const auto format = FormatByName(value);
      if (!format) return Usage("format must be csv, asc, loc or gpx");
      (arg == "--from" ? from : to) = format;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option");
    } else {
      paths.emplace_back(arg);
    }
  }
  if (listPath) {
    if (!paths.empty() || from || to) return Usage("--list takes one file and nothing else");
    return List(*listPath);
  }
  if (paths.size() != 2) return Usage("give an input and an output file");
  return Convert(paths[0], paths[1], from.value_or(ChooseFormat(paths[0])), to.value_or(ChooseFormat(paths[1])));
}
