// The CSV reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/poi/poi_formats.h"
#include "fuzz/poi/poi_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tarvo::CheckPoiRead(tarvo::ReadCsv(text, tarvo::CsvOrder::NameLatLon), tarvo::PoiFileFormat::Csv);
  tarvo::CheckPoiRead(tarvo::ReadAsc(text), tarvo::PoiFileFormat::Asc);
  return 0;
}
