// The list of points of interest: the records in file order, the file they
// live in and its format, the modified flag, and the edits the POI page and
// the map page make (add, edit, delete, move up and down, hide and show, the
// sorted display order).
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/geo/coordinates.h"

namespace tarvo {

// Longest name and abbreviation, in bytes of UTF-8 (cut at a character
// boundary). Names read from CSV keep one byte less.
inline constexpr size_t kPoiNameMax = 255;
inline constexpr size_t kPoiCsvNameMax = 254;
inline constexpr size_t kPoiAbbreviationMax = 9;

// The map pixel pair of a record that has no place on the current map.
inline constexpr int32_t kPoiNoMapPosition = std::numeric_limits<int32_t>::max();

// One point of interest.
struct PoiRecord {
  int number = 0;          // 1-based place in the file, renumbered after a delete
  bool hidden = false;     // left out of the page's list (outside the map), still saved
  double latitude = 0.0;   // degrees, WGS-84, north positive
  double longitude = 0.0;  // degrees, WGS-84, east positive
  int32_t mapX = 0;        // pixel on the map page's image, kPoiNoMapPosition when none
  int32_t mapY = 0;
  std::string name;          // UTF-8, at most kPoiNameMax bytes
  std::string abbreviation;  // UTF-8, at most kPoiAbbreviationMax bytes
};

enum class PoiFileFormat { Csv = 0, Loc = 1, Gpx = 2, Asc = 3 };

// The columns the page's list can be sorted by, with their stored numbers
// (the sort-type setting).
enum class PoiSortKey { Number = 0, Name = 1, Direction = 2, Bearing = 3, Distance = 4 };
inline constexpr int kPoiSortKeyCount = 5;

// The page's sort choice: a column and, per column, whether it sorts
// descending (bit k of orderMask for column k), as the two sort settings
// store them.
struct PoiSort {
  int type = 0;       // 0..4, PoiSortKey
  int orderMask = 0;  // bit k set: column k descending

  // The column; a stored type outside 0..4 sorts by number.
  PoiSortKey Key() const;
  bool Descending() const;
  // A click on a column heading: the current column reverses its order,
  // another column becomes current with the order it had.
  void ClickColumn(int column);
};

// Makes `text` fit for a record: invalid UTF-8 bytes are taken as
// Windows-1252 (the code page of older files) and converted, and so are the
// C1 controls U+0080..U+009F (Windows-1252 bytes read as ISO-8859-1); other
// control characters become blanks; the result is cut to `maxBytes`
// without splitting a character.
std::string CleanPoiText(std::string_view text, size_t maxBytes);

// Direction sector of a bearing for the arrow column and its sort: bearing /
// 45 rounded to the nearest integer, 8 taken as 0 (0 north, clockwise).
int PoiDirectionSector(double bearingDegrees);

class PoiList {
 public:
  const std::vector<PoiRecord>& records() const { return records_; }
  size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  const PoiRecord& at(size_t index) const { return records_.at(index); }

  // Set by every change below, cleared by a load or a successful save.
  bool modified() const { return modified_; }
  void setModified(bool modified) { modified_ = modified; }

  const std::string& path() const { return path_; }
  PoiFileFormat format() const { return format_; }
  // True while the list holds only the records before a fault in its file:
  // a save would drop the rest, so SavePoiFile refuses unless told otherwise.
  bool partial() const { return partial_; }

  // Appends a record at the end of the file order with number count + 1
  // (name and abbreviation cleaned, not hidden). Returns its index.
  size_t Add(double latitude, double longitude, std::string_view name, std::string_view abbreviation,
             int32_t mapX = 0, int32_t mapY = 0);
  // Replaces position and texts of record `index`. False for a bad index.
  bool Edit(size_t index, double latitude, double longitude, std::string_view name,
            std::string_view abbreviation);
  // The map page's "Move Waypoint": a new position and map pixel.
  bool Move(size_t index, double latitude, double longitude, int32_t mapX, int32_t mapY);
  bool SetMapPosition(size_t index, int32_t mapX, int32_t mapY);  // not a change of the file
  // Removes record `index` and renumbers the rest 1..n in file order.
  bool Remove(size_t index);
  // The record exchanges its location (position, hidden, map pixel, name,
  // abbreviation) with its predecessor or successor; numbers stay in place.
  // False (and nothing changes) for the first record up, the last down.
  bool MoveUp(size_t index);
  bool MoveDown(size_t index);
  // Hides every record whose map pixel lies outside 0..width x 0..height
  // (bounds included). Returns how many were hidden. Hiding is not a change
  // of the file.
  size_t HideOutside(int32_t width, int32_t height);
  // Shows every hidden record again; returns their indices in file order
  // (the page appends them to its list before sorting).
  std::vector<size_t> ShowAll();

  // Indices of the shown records in the order of `sort`, with direction,
  // bearing and distance taken from `here` (degrees; at 0/0 every bearing
  // and distance is 0). Equal keys keep file order.
  std::vector<size_t> DisplayOrder(const PoiSort& sort, LatLon here) const;

  // After a successful save: not modified, not partial.
  void MarkSaved() {
    modified_ = false;
    partial_ = false;
  }
  // Replaces everything, for the file functions.
  void Reset(std::string path, PoiFileFormat format, std::vector<PoiRecord> records, bool partial);

 private:
  void Renumber();

  std::vector<PoiRecord> records_;
  std::string path_;
  PoiFileFormat format_ = PoiFileFormat::Csv;
  bool modified_ = false;
  bool partial_ = false;
};

}  // namespace tarvo
