// The four POI file formats as texts: readers from the bytes of a file,
// writers to the bytes of a file. CSV ("name",lat,lon,"abbr"), ASC (the
// "POI Edit" list: lon,lat,"name"), LOC (XML of <waypoint> elements) and
// GPX 1.0 (<wpt> elements). Files are UTF-8; the XML readers also take
// ISO-8859-1 and Windows-1252 files by their declaration.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/poi/poi_list.h"

namespace tarvo {

// Why a read or write stopped short.
enum class PoiError {
  None,
  CannotOpen,      // the file could not be opened or read (errorNumber says why)
  CannotWrite,     // the temporary file could not be written, synced or renamed
  TooLarge,        // more bytes than kPoiMaxFileBytes
  Malformed,       // an XML file is not well-formed; line/column say where
  NotPoiFile,      // well-formed XML, but not a LOC or GPX document
  PartialList,     // the list was read only up to a fault; saving would drop the rest
};

// Largest POI file read, in bytes.
inline constexpr size_t kPoiMaxFileBytes = size_t{256} << 20;

// What a reader found. Records read = every CSV line that makes a record,
// every XML waypoint; kept = those that passed the keep rule (non-empty
// name, position not exactly 0/0; CSV keeps every one).
struct PoiReadResult {
  std::vector<PoiRecord> records;  // in file order, numbered 1..n
  size_t read = 0;
  PoiError error = PoiError::None;
  int line = 0;    // 1-based, where a malformed file stopped
  int column = 0;  // 1-based
  std::string detail;  // the parser's own words for the fault, for logs
};

// Field order of a CSV line.
enum class CsvOrder { NameLatLon, NameLonLat, LonLatName, LatLonName };

// CSV and ASC: a line of at most 511 bytes (longer lines are read in
// 511-byte pieces), fields split at commas outside double quotes, a doubled
// quote inside quotes is one quote, other quotes removed. Empty lines and
// lines whose first field starts with ";" are skipped; before the first
// record a header line ("long...", "lat...", "name[,long...]") sets the
// order; every other line makes a record. A fourth field is the abbreviation.
PoiReadResult ReadCsv(std::string_view text, CsvOrder defaultOrder);
// ASC is CSV with the default order longitude, latitude, name.
inline PoiReadResult ReadAsc(std::string_view text) { return ReadCsv(text, CsvOrder::LonLatName); }
PoiReadResult ReadLoc(std::string_view text);
PoiReadResult ReadGpx(std::string_view text);
PoiReadResult ReadPoiText(std::string_view text, PoiFileFormat format);

// Writers: every record in file order, hidden ones included. CSV keeps
// positions to 5 decimals, LOC and GPX to 6; ASC drops the abbreviation.
std::string WriteCsv(const std::vector<PoiRecord>& records, bool asAsc);
std::string WriteLoc(const std::vector<PoiRecord>& records);
std::string WriteGpx(const std::vector<PoiRecord>& records);
std::string WritePoiText(const std::vector<PoiRecord>& records, PoiFileFormat format);

// The contact addresses written into the GPX header.
inline constexpr std::string_view kPoiGpxWebAddress = "https://quillmark.example/tarvo/";
inline constexpr std::string_view kPoiGpxEmail = "tarvo@quillmark.example";

}  // namespace tarvo
