// The map document: which picture is shown, its calibration file beside it,
// the built-in blank map and its geographic zoom, and who is told when the
// calibration changes.
//
// A map picture "area.north.png" keeps its reference points in
// "area.north.ini" in the same folder (the file name up to its last "."
// plus ".ini"). When there is no ".ini", a ".gmi" and then a ".wcd" of the
// same name are read instead; only ".ini" is ever written.
//
// ".ini" and ".wcd" are key=value lines: x1..x3, y1..y3 (pixels), lat1..lat3,
// lon1..lon3 (degrees), sx, sy (the scroll position). ".gmi" is eight lines of
// one number each: x1, y1, x2, y2, lon1, lat1, lon2, lat2.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/geo/coordinates.h"
#include "core/map/calibration.h"

namespace tarvo {

// The contents of one calibration file.
struct CalibrationData {
  std::array<RefPoint, kRefPointSlots> refPoints{};  // slots 1..3 (empty: kNoPixel)
  int32_t scrollX = 0;  // picture pixel at the view's top-left corner
  int32_t scrollY = 0;

  bool operator==(const CalibrationData&) const = default;
};

// Bytes of a calibration file that are read; the rest of a larger file is
// ignored (real files are a few hundred bytes).
inline constexpr size_t kCalibrationFileLimit = 1 << 20;

// Reads key=value calibration text (".ini", ".wcd"). Lines are read in
// pieces of at most 79 characters (a longer line goes on as the next piece);
// a piece without "=" is ignored; key = text before the first "=", value =
// the text after it; every blank (' ') is removed from both and line feeds
// from the value. Keys are matched without regard to case: x1..x3, y1..y3
// (leading decimal integer, non-numeric text 0), lat1..lat3, lon1..lon3
// (leading decimal number, non-numeric or non-finite text 0), sx, sy; any
// other key (x4, lat11) is ignored; the last of repeated keys wins.
CalibrationData ParseKeyValueCalibration(std::string_view text);

// Reads ".gmi" text: up to eight lines, one leading number each, in the
// order x1, y1, x2, y2, lon1, lat1, lon2, lat2. Lines that are missing leave
// their value unset (a point without x or y is no point); scroll 0, 0.
CalibrationData ParseGmiCalibration(std::string_view text);

// The ".ini" text written for data: for every slot whose x and y are set,
// "x%d=%d", "y%d=%d", "lat%d=%.6f", "lon%d=%.6f" (its own slot number, so a
// file may hold slots 1 and 3 only), then "sx=%d" and "sy=%d"; "\n" after
// each line; numbers always with a decimal point, whatever the locale.
std::string FormatIniCalibration(const CalibrationData& data);

// The calibration file name of a map picture without its ending: the path up
// to the last "." of its file name. Empty when the file name has no ".".
std::filesystem::path CalibrationBase(const std::filesystem::path& mapPath);

enum class CalibrationFileKind { None, Ini, Gmi, Wcd };

// What LoadCalibrationFile found.
struct LoadedCalibration {
  CalibrationData data;  // empty slots, scroll 0, 0 when nothing was read
  CalibrationFileKind kind = CalibrationFileKind::None;
  std::filesystem::path file;  // the file read; empty when none
};

// Reads the calibration beside mapPath: the first of base.ini, base.gmi,
// base.wcd that opens as a readable regular file; the others are not
// consulted. Nothing is read when mapPath's file name has no ".".
LoadedCalibration LoadCalibrationFile(const std::filesystem::path& mapPath);

// Writes FormatIniCalibration(data) as base.ini of mapPath. The file on disk
// is always either the old one or the new one, whole: a temporary file in
// the same folder is written, synced and renamed over it. An existing file
// keeps its permissions; a file that is not writable is left as it is.
// Returns 0 or the errno of the failure (ENOENT when mapPath's file name has
// no ".").
int SaveCalibrationFile(const std::filesystem::path& mapPath, const CalibrationData& data);

enum class SaveOutcome {
  Saved,
  NotSaved,  // blank map, no map path or no "." in its file name: nothing to write
  Failed,    // the file could not be written; the old one is unchanged
};

enum class BlankMapOutcome {
  Shown,
  NoPosition,      // position 0/0: "You must have a valid GPS position in order to use
                   // this function. Connect to your GPS and wait for a position lock."
  PictureFailed,   // the blank picture did not load: "Error: cannot open file!"
};

// Half the blank map's extent per zoom-out step (degrees), and the extent
// (degrees of latitude and of longitude) a zoom-in needs to exceed.
inline constexpr double kBlankMapHalfExtent = 0.01;  // 0.02 degrees across at first
inline constexpr double kBlankZoomStep = 0.005;      // degrees, times the step factor
inline constexpr double kBlankZoomInMinExtent = 0.011;

// The map document the map page owns: the picture's path, its calibration
// and scroll position, and the blank map. Pictures themselves are decoded by
// the page; this class never touches them.
class MapDocument {
 public:
  // Told after every change of the reference points or transforms, with the
  // new calibration: the track recorder rebuilds its pixel route, the POI
  // page its POI pixels.
  using Listener = std::function<void(const MapCalibration&)>;

  // Returns an id for RemoveListener. Listeners may add or remove listeners
  // while being told; those take effect from the next change.
  int AddListener(Listener listener);
  void RemoveListener(int id);

  const std::filesystem::path& MapPath() const { return mapPath_; }
  void SetMapPath(std::filesystem::path path) { mapPath_ = std::move(path); }

  const MapCalibration& Calibration() const { return calibration_; }
  MapCalibration& Calibration() { return calibration_; }

  bool IsBlankMap() const { return blankMode_; }
  double BlankStep() const { return blankStep_; }

  int32_t ScrollX() const { return scrollX_; }
  int32_t ScrollY() const { return scrollY_; }
  void SetScroll(int32_t x, int32_t y) {
    scrollX_ = x;
    scrollY_ = y;
  }

  // Empties the slots, sets the scroll position to 0, 0 and reads the
  // calibration file beside MapPath() (see LoadCalibrationFile). Returns
  // what was read. The matrices are not rebuilt and nobody is told.
  LoadedCalibration LoadCalibration();

  // Writes the calibration file of MapPath() (see SaveCalibrationFile).
  // Nothing is written for the blank map, an empty path, or a file name
  // without "."; error (if given) gets the errno of a failure.
  SaveOutcome SaveCalibration(int* error = nullptr) const;

  // After the picture at MapPath() was decoded: leaves the blank map, reads
  // its calibration, rebuilds the transforms and tells the listeners.
  LoadedCalibration MapPictureLoaded();

  // After a reference point was added, edited, moved or deleted: with two or
  // more counted points, rebuilds the transforms and tells the listeners.
  void CalibrationChanged();

  // Shows the blank map around position (degrees): loadPicture gets the
  // blank GIF (BlankMapGif()) and says whether the page decoded it. Then the
  // slots become its north-west (0, 0), south-west (0, 499) and south-east
  // (499, 499) corners, 0.01 degrees from position each way, the scroll
  // position 0, 0, the transforms are rebuilt and the listeners told.
  // Nothing changes when the position is 0/0 or the picture does not load.
  // The path is kept, so the last real map is loaded at the next start.
  BlankMapOutcome UseBlankMap(LatLon position, const std::function<bool(std::span<const uint8_t>)>& loadPicture);

  // Widens (zoomIn false) or narrows the blank map's extent, keeping the
  // slots' pixels: out by blankStep x 0.005 degrees at each corner, then the
  // step doubles; in (only while both extents exceed 0.011 degrees) the step
  // halves first while above 1, then the corners move in by step x 0.005.
  // A zoom-in to an extent below 0.005 degrees is refused (a large step kept
  // from an earlier blank map would close it to nothing). Then the
  // transforms are rebuilt and the listeners told. False when nothing
  // changed (also when the blank map is not shown).
  bool BlankMapZoom(bool zoomIn);

 private:
  void Notify();

  std::filesystem::path mapPath_;
  MapCalibration calibration_;
  bool blankMode_ = false;
  double blankStep_ = 1.0;
  int32_t scrollX_ = 0, scrollY_ = 0;
  std::vector<std::pair<int, Listener>> listeners_;
  int nextListenerId_ = 1;
};

}  // namespace tarvo
