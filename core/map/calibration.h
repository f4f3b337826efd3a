// The reference points that tie map picture pixels to latitude/longitude, and
// the two transforms built from them.
//
// Pixels: x is the picture column (0 = left edge), y the row (0 = top edge,
// growing downward), as int32. Positions: decimal degrees, north and east
// positive, on whatever datum the user's reference points were taken in
// (WGS-84 for positions from the receiver).
//
// Two reference points make a north-up map with one scale per axis; three
// points make the exact affine transform through them (rotated, sheared or
// unequally scaled maps). Fewer than two points leave the map uncalibrated.
#pragma once

#include <array>
#include <cstdint>

#include "core/geo/coordinates.h"

namespace tarvo {

// The pixel coordinate that means "not set": an empty reference point slot,
// or a position with no place on the map (both coordinates are then this).
inline constexpr int32_t kNoPixel = 2147483647;  // INT32_MAX

// Reference point slots of a map; numbered 1..3 in files and menus.
inline constexpr int kRefPointSlots = 3;

// A picture pixel, or kNoPixel twice for "none".
struct MapPixel {
  int32_t x = kNoPixel;
  int32_t y = kNoPixel;

  bool IsSet() const { return x != kNoPixel && y != kNoPixel; }
  bool operator==(const MapPixel&) const = default;
};

// One reference point. An empty slot has x = y = kNoPixel and 0/0 degrees.
struct RefPoint {
  int32_t x = kNoPixel;
  int32_t y = kNoPixel;
  double latitude = 0.0;   // degrees, north positive
  double longitude = 0.0;  // degrees, east positive

  // Set when both x and y are set (the degrees may be 0).
  bool IsSet() const { return x != kNoPixel && y != kNoPixel; }
  bool operator==(const RefPoint&) const = default;
};

// A 3x3 affine matrix in the row-vector convention: a point (a, b) is the
// row (a, b, 1) times the matrix; the last column is (0, 0, 1) and the
// bottom row holds the translation.
using AffineMatrix = std::array<std::array<double, 3>, 3>;

inline constexpr AffineMatrix kIdentityMatrix{{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}};

// Whether the reference points calibrate the map, and if not, why not. The
// map page words these on its information line.
enum class CalibrationState {
  NoRefPoints,   // no leading slot set: "Need 2 or more ref points"
  OneRefPoint,   // only slot 1 counts: "Need 1 or more ref points"
  SharedValue,   // exactly two points that share an x, y, latitude or longitude
                 // (the two-point scales would divide by zero), see SharedAxisOfPair():
                 // "Ref points 1 and 2 need different x, y, latitude and longitude"
  Calibrated,    // two distinct points, or three
};

// What the two reference points of a SharedValue map have in common (the
// first of x, y, latitude, longitude that is equal).
enum class SharedAxis { None, X, Y, Latitude, Longitude };

// The reference points of one map and the transforms between its pixels and
// positions. Slots are indexed 0..2 here (slot numbers 1..3 minus one).
class MapCalibration {
 public:
  // The slot at index 0..2 (an empty point for any other index).
  RefPoint RefPointAt(int index) const;

  // Stores p in the slot at index 0..2 (other indexes do nothing) and
  // recounts. The matrices are not rebuilt: call RecomputeAffine().
  void SetRefPoint(int index, const RefPoint& p);

  // Puts p in the first slot after the counted ones. False (nothing changed)
  // when three are counted already or p has no pixel.
  bool AddRefPoint(const RefPoint& p);

  // Removes the slot at index 0..2: the later slots move down one place and
  // the last slot is emptied. False when the index is out of range.
  bool DeleteRefPoint(int index);

  // Empties all slots (the matrices stay as they are).
  void ClearRefPoints();

  // Number of leading slots (1, 2, 3 in order) whose x and y are set,
  // 0..3: counting stops at the first empty slot.
  int RefPointCount() const { return count_; }

  CalibrationState State() const;
  bool IsCalibrated() const { return State() == CalibrationState::Calibrated; }
  // For a SharedValue map, what its two points share; None otherwise.
  SharedAxis SharedAxisOfPair() const;

  // Position (degrees) -> picture pixel. Uncalibrated maps, and positions
  // whose pixel does not fit in int32, give kNoPixel twice. Two points:
  // x = round(|x1 - x2| (lon - lon1) / |lon1 - lon2|) + x1, and y likewise
  // from lat1 - lat, halves rounded up (-2.5 -> -2), so x grows eastward and
  // y southward whichever point is further east or north. Three points: the
  // geo-to-pixel matrix, truncated toward zero.
  MapPixel GeoToPixel(double latitude, double longitude) const;

  // Picture pixel -> position in degrees, unrounded. Uncalibrated maps, or x
  // or y kNoPixel, give 0/0. Two points: the inverse of the scales above;
  // three points: the pixel-to-geo matrix.
  LatLon PixelToGeo(int32_t x, int32_t y) const;

  // With exactly three counted points, rebuilds both matrices as the exact
  // affine transforms through the three pairs. A direction whose three source
  // points lie on one line (determinant exactly 0), or whose result is not
  // finite, keeps its previous matrix (identity if never built). Does nothing
  // with fewer points.
  void RecomputeAffine();

  const AffineMatrix& PixelToGeoMatrix() const { return pixelToGeo_; }
  const AffineMatrix& GeoToPixelMatrix() const { return geoToPixel_; }

  bool operator==(const MapCalibration&) const = default;

 private:
  void Recount();

  std::array<RefPoint, kRefPointSlots> slots_{};
  int count_ = 0;
  AffineMatrix pixelToGeo_ = kIdentityMatrix;
  AffineMatrix geoToPixel_ = kIdentityMatrix;
};

}  // namespace tarvo
