// Random field texts in every coordinate format must never crash or hang
// ReadEditFields, and whatever position it accepts must fill the fields again.
//
// Input: first byte = format (mod 19); the rest is split at '\n' into up to
// eight texts: axis 1 fields 1-3 and hemisphere, then axis 2 the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/geo/coord_format.h"
#include "core/geo/edit_fields.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const tarvo::CoordFormat format = *tarvo::CoordFormatFromIndex(data[0] % tarvo::kCoordFormatCount);
  tarvo::EditFields fields;
  std::string* slots[8] = {&fields.axes[0].fields[0], &fields.axes[0].fields[1], &fields.axes[0].fields[2],
                           &fields.axes[0].hemisphere, &fields.axes[1].fields[0], &fields.axes[1].fields[1],
                           &fields.axes[1].fields[2], &fields.axes[1].hemisphere};
  size_t slot = 0;
  for (size_t i = 1; i < size && slot < 8; ++i) {
    if (data[i] == '\n')
      ++slot;
    else
      slots[slot]->push_back(static_cast<char>(data[i]));
  }
  const auto position = tarvo::ReadEditFields(format, fields);
  if (position) {
    const tarvo::EditFields again = tarvo::FillEditFields(format, position->latitude, position->longitude);
    (void)tarvo::ReadEditFields(format, again);
    (void)tarvo::FormatPosition(format, position->latitude, position->longitude, tarvo::PositionLayout::OneLine);
  }
  return 0;
}
