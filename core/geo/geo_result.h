// Why a geodesy conversion gave no position, and the small result type that
// carries either the value or that reason. Functions whose only failure is a
// non-finite value return std::optional; those that can fail for several
// reasons return GeoResult. The reasons are not texts: the caller words them.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

namespace tarvo {

enum class GeoFailure : uint8_t {
  NotFinite,          // an input or the result is NaN or infinite (a datum shift at a pole, too)
  OutsideGrid,        // grid numbers outside the grid's range, or at no place on the globe
  BadZone,            // a UTM zone text that is no zone 1..60 with a band letter C..X
  BadNumber,          // a typed field that is not a plain decimal number (or not an integer)
  UnknownFormat,      // a CoordFormat value that is none of the nineteen, or not of this grid
  UnusableEllipsoid,  // an EllipsoidId with no table row, or a row without a flattening
};

// A value or the reason there is none; reads like std::optional.
template <class T>
class GeoResult {
 public:
  GeoResult(T value) : value_(std::move(value)) {}            // NOLINT: implicit, as optional
  GeoResult(GeoFailure failure) : failure_(failure) {}        // NOLINT

  explicit operator bool() const { return value_.has_value(); }
  bool has_value() const { return value_.has_value(); }
  const T& operator*() const { return *value_; }
  T& operator*() { return *value_; }
  const T* operator->() const { return &*value_; }
  T* operator->() { return &*value_; }

  // The reason; meaningful only when there is no value.
  GeoFailure error() const { return failure_; }

  // The value alone, for callers that do not need the reason.
  operator std::optional<T>() const { return value_; }  // NOLINT

 private:
  std::optional<T> value_;
  GeoFailure failure_ = GeoFailure::NotFinite;
};

}  // namespace tarvo
