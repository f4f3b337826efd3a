// What every POI reader guarantees for any input, checked by the fuzzers:
// records numbered 1..n, texts within their limits and unchanged by
// cleaning (so valid UTF-8 without control characters), and a written file
// that reads back to the same records.
#pragma once

#include <cstdlib>
#include <string_view>

#include "core/geo/number_text.h"
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
    // A position within half a millionth of a degree of 0/0 is written as
    // 0/0 and then dropped by the keep rule, as any 0/0 waypoint is.
    size_t k = 0;
    for (const PoiRecord& p : r.records) {
      if (RoundedAsPrinted(p.latitude, 6) == 0.0 && RoundedAsPrinted(p.longitude, 6) == 0.0) continue;
      if (k >= again.records.size() || again.records[k].name != p.name) std::abort();
      ++k;
    }
    if (k != again.records.size()) std::abort();
  }
}

}  // namespace tarvo
