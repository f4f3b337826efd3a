// Which sentence carries the position. RMC does, unless the receiver sends
// far more GGA than RMC (some send RMC only every few seconds), or GGA and no
// RMC at all: then GGA does. The connection controller applies this to the
// live stream, tarvo-track to a whole log.
#pragma once

#include <cstdint>

namespace tarvo {

// Whether a receiver that has sent `gga` GGA and `rmc` RMC sentences so far
// should have GGA as its position source: once more than ten of either have
// come, when there are more than eleven GGA to each RMC, or no RMC at all.
constexpr bool PreferGgaPositions(uint64_t gga, uint64_t rmc) {
  if (gga <= 10 && rmc <= 10) return false;
  return rmc == 0 || gga / rmc > 11;
}

}  // namespace tarvo
