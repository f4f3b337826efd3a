#include "core/geo/table_trig.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace tarvo {
namespace {

// sin(0°), sin(5°), ..., sin(90°) to nine decimals, as tabulated.
constexpr std::array<double, 19> kSineTable = {
    0.0,         0.087155743, 0.173648177, 0.258819045, 0.342020143,
    0.422618261, 0.499999999, 0.573576436, 0.642787609, 0.707106781,
    0.766044442, 0.819152044, 0.866025403, 0.906307786, 0.93969262,
    0.965925826, 0.984807753, 0.996194698, 1.0};

// Truncation toward zero to a 16-bit integer, as the table lookups do it.
int16_t Trunc16(double v) { return static_cast<int16_t>(static_cast<int32_t>(v)); }

}  // namespace

double SinDeg(double a) {
  if (!std::isfinite(a)) return 0.0;
  // Outside the 16-bit range the table steps would wrap; reduce exactly first.
  if (a > 32767.0 || a < -32767.0) a = std::fmod(a, 360.0);
  // Reduce to [0, 360].
  if (a >= 360.0) {
    a -= 360.0 * static_cast<double>(Trunc16(a) / 360);
  }
  if (a < 0.0) {
    a += 360.0 * static_cast<double>(Trunc16(-a) / 360 + 1);
  }
  // Fold to [0, 90] with a sign.
  double s = 1.0;
  if (a > 90.0 && a <= 180.0) {
    a = 180.0 - a;
  } else if (a > 180.0 && a <= 270.0) {
    a -= 180.0;
    s = -1.0;
  } else if (a > 270.0) {
    a = 360.0 - a;
    s = -1.0;
  }
  int k = Trunc16(a) / 5;
  if (k > 18) k = 18;  // only reachable through rounding above 90
  if (k < 0) k = 0;
  double f = (5.0 * k + 5.0 - a) * 0.2;
  double next = k < 18 ? kSineTable[k + 1] : kSineTable[18];
  return s * (f * kSineTable[k] + (1.0 - f) * next);
}

double CosDeg(double a) { return SinDeg(a + 90.0); }

}  // namespace tarvo
