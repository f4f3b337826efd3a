// The current POI file: choosing its format from the path, loading it into
// the list, saving the list back (whole or not at all), starting a new one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/poi/poi_formats.h"
#include "core/poi/poi_list.h"

namespace tarvo {

// The file name the list uses when no file has been chosen, in the
// program's folder.
inline constexpr std::string_view kDefaultPoiFileName = "Location.csv";

// The outcome of a file operation; reason and place for the caller to word.
struct PoiFileResult {
  PoiError error = PoiError::None;
  int errorNumber = 0;  // errno of a failed open, read, write, sync or rename
  int line = 0;         // where a malformed file stopped (1-based), else 0
  int column = 0;
  size_t read = 0;      // records found in the file
  size_t kept = 0;      // records now in the list
  size_t written = 0;   // records written by a save
  std::string detail;   // the XML parser's words for a fault

  bool ok() const { return error == PoiError::None; }
};

// The format of a path: ".loc", then ".gpx", then ".asc" searched anywhere
// in the path, case-sensitive; none of them is CSV ("trip.locations.csv" is
// LOC).
PoiFileFormat ChooseFormat(std::string_view path);

// Reads `path` (created empty when it does not exist) in `format`. On an
// open or read error nothing is read. A malformed XML file gives the
// records before the fault, with the place of the fault.
PoiReadResult ReadPoiFile(const std::string& path, PoiFileFormat format, int* errorNumber = nullptr);

// Writes `records` to `path` in `format` whole or not at all: a temporary
// file in the same folder, synced and renamed over the old file (which
// keeps its permissions; a link is followed to its file). A read-only file
// is not replaced.
PoiFileResult WritePoiFile(const std::string& path, const std::vector<PoiRecord>& records,
                           PoiFileFormat format);

// Replaces the list by the file at `path` in the format ChooseFormat gives,
// and makes it the current file; `modified` is cleared. When the file
// cannot be opened or read the list stays as it was. A malformed file
// leaves the list holding the records before the fault, marked partial().
PoiFileResult LoadPoiFile(PoiList& list, const std::string& path);

// Writes the list to its file in its format when it is modified (an empty
// list writes a file without records). On success `modified` is cleared;
// on failure the old file and `modified` stay. A partial list is not
// written unless replacePartial is set (the caller has asked the user).
PoiFileResult SavePoiFile(PoiList& list, bool replacePartial = false);

// Makes `path` the current file, emptied (a file without records in its
// format), and empties the list. On failure nothing changes.
PoiFileResult NewPoiFile(PoiList& list, const std::string& path);

}  // namespace tarvo
