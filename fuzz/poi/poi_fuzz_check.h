// What every POI reader guarantees for any input, checked by the fuzzers:
// records numbered 1..n, texts within their limits and unchanged by
// cleaning (so valid UTF-8 without control characters), and a written file
// that reads back to the same records.
#pragma once

#include <cstdlib>
#include <string_view>

#include "core/poi/poi_formats.h"

namespace tarvo {

inline void CheckPoiRead(const PoiReadResult& r, PoiFileFormat format) {
  if (r.records.size() > r.read) std::abort();
  for (size_t i = 0; i < r.records.size(); ++i) {
    const PoiRecord& p = r.records[i];
    if (p.number != static_cast<int>(i) + 1) std::abort();
    if (p.name.size() > kPoiNameMax || p.abbreviation.size() > kPoiAbbreviationMax) std::abort();
    if (CleanPoiText(p.name, kPoiNameMax) != p.name) std::abort();
    if (CleanPoiText(p.abbreviation, kPoiAbbreviationMax) != p.abbreviation) std::abort();
  }
  if (r.error != PoiError::None && r.error != PoiError::Malformed && r.error != PoiError::NotPoiFile) std::abort();
  if (r.error == PoiError::Malformed && r.line < 1) std::abort();
  // Our own writing of what was read is read back whole.
  const PoiReadResult again = ReadPoiText(WritePoiText(r.records, format), format);
  if (again.error != PoiError::None) std::abort();
  if (format == PoiFileFormat::Loc || format == PoiFileFormat::Gpx) {
    if (again.records.size() != r.records.size()) std::abort();
    for (size_t i = 0; i < r.records.size(); ++i) {
      if (again.records[i].name != r.records[i].name) std::abort();
    }
  }
}

}  // namespace tarvo
