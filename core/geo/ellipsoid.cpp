#include "core/geo/ellipsoid.h"

#include <cmath>

namespace tarvo {

const Ellipsoid* FindEllipsoid(EllipsoidId id) {
  const auto row = static_cast<int32_t>(id);
  if (row < 1 || row >= kEllipsoidCount) return nullptr;
  return &kEllipsoids[static_cast<size_t>(row)];
}

double RoundHalfUp(double x) {
  const double f = std::floor(x);
  return f + 0.5 > x ? f : std::ceil(x);
}

double RoundToDecimals(double x, int n) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const double p = (n >= 0 && n <= 15) ? kPowers[n] : std::pow(10.0, n);
  const double scaled = x * p;
  // Beyond 2^52 a double has no digits after the point to round away (and the
  // scaling may even overflow): the value is already rounded.
  if (!(std::fabs(scaled) < 4503599627370496.0)) return x;
  return RoundHalfUp(scaled) / p;
}

}  // namespace tarvo
