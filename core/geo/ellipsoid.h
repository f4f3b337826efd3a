// Reference ellipsoids, angle constants and the rounding helpers that every
// grid conversion shares. All values are the program's fixed constants; the
// grid code depends on their exact digits.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tarvo {

// Angle constants of the grid code (double precision).
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kQuarterPi = 0.7853981633974483;    // pi/4
inline constexpr double kDegToRad = 0.017453292519943295;   // pi/180
inline constexpr double kRadToDeg = 57.29577951308232;      // 180/pi

// One reference ellipsoid. inverseFlattening is 0 where no value is known.
struct Ellipsoid {
  int32_t id;                // row index (the EllipsoidId value); -1 for the placeholder row 0
  std::string_view name;     // exact names; two of them end in a blank
  double semiMajorAxis;      // metres
  double eccentricitySquared;
  double inverseFlattening;  // 0 = unknown (rows 8, 9, 10, 20, 21)
};

// The ellipsoids of the table by name. The values are their row numbers in
// kEllipsoids, which the grid case files of the tests store ("utm 23").
enum class EllipsoidId : int32_t {
  Airy1830 = 1,
  AustralianNational = 2,
  Bessel1841 = 3,
  Bessel1841Namibia = 4,
  Clarke1866 = 5,
  Clarke1880 = 6,
  Everest1830 = 7,
  Fischer1960Mercury = 8,
  Fischer1968 = 9,
  Grs1967 = 10,
  Grs1980 = 11,
  Helmert1906 = 12,
  Hough = 13,
  International1924 = 14,
  Krassovsky1940 = 15,
  ModifiedAiry = 16,
  ModifiedEverest1948 = 17,
  ModifiedFischer1960 = 18,
  SouthAmerican1969 = 19,
  Wgs60 = 20,
  Wgs66 = 21,
  Wgs72 = 22,
  Wgs84 = 23,
};

inline constexpr int kEllipsoidCount = 24;

// The ellipsoid table, indexed by id (row 0 is a placeholder with id -1).
inline constexpr std::array<Ellipsoid, kEllipsoidCount> kEllipsoids{{
    {-1, "Placeholder", 0, 0, 0},
    {1, "Airy", 6377563.396, 0.00667054, 299.3249646},
    {2, "Australian National", 6378160.0, 0.006694542, 298.25},
    {3, "Bessel 1841", 6377397.155, 0.006674372, 299.1528128},
    {4, "Bessel 1841 (Nambia) ", 6377483.865, 0.006674372, 299.1528128},
    {5, "Clarke 1866", 6378206.4, 0.006768658, 294.9786982},
    {6, "Clarke 1880", 6378249.145, 0.006803511, 293.465},
    {7, "Everest (India 1830)", 6377276.345, 0.006637847, 300.8017},
    {8, "Fischer 1960 (Mercury) ", 6378166.0, 0.006693422, 0},
    {9, "Fischer 1968", 6378150.0, 0.006693422, 0},
    {10, "GRS 1967", 6378160.0, 0.006694605, 0},
    {11, "GRS 1980", 6378137.0, 0.00669438, 298.257222101},
    {12, "Helmert 1906", 6378200.0, 0.006693422, 298.3},
    {13, "Hough", 6378270.0, 0.00672267, 297.0},
    {14, "International 1924", 6378388.0, 0.00672267, 297.0},
    {15, "Krassovsky 1940", 6378245.0, 0.006693422, 298.3},
    {16, "Modified Airy", 6377340.189, 0.00667054, 299.3249646},
    {17, "Modified Everest 1948", 6377304.063, 0.006637847, 300.8017},
    {18, "Modified Fischer 1960", 6378155.0, 0.006693422, 298.3},
    {19, "South American 1969", 6378160.0, 0.006694542, 298.25},
    {20, "WGS 60", 6378165.0, 0.006693422, 0},
    {21, "WGS 66", 6378145.0, 0.006694542, 0},
    {22, "WGS-72", 6378135.0, 0.006694318, 298.26},
    {23, "WGS-84", 6378137.0, 0.00669438, 298.257223563},
}};

// The kEllipsoids row of an ellipsoid (axes in metres), or nullptr for a
// value that names no row 1..23 (the placeholder row 0 has no axes and is
// never usable).
const Ellipsoid* FindEllipsoid(EllipsoidId id);

// Rounds halves up: floor(x) when floor(x) + 0.5 > x, else ceil(x).
// 2.5 -> 3, -2.5 -> -2. Any double; NaN stays NaN.
double RoundHalfUp(double x);

// RoundHalfUp(x * 10^n) / 10^n for n = 0..15 (the scaling itself rounds, so
// RoundToDecimals(1.234565, 5) is 1.23456: 1.234565e5 is 123456.49999999999).
double RoundToDecimals(double x, int n);

}  // namespace tarvo
