// What pages ask of each other, through the window (PageHost): the map page
// shows positions and draws the POIs and the track; the POI page adds, edits
// and selects POIs and holds the go-to target; the service page searches.
// The window hands out the page that implements each, or null while that page
// is absent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/geo/coordinates.h"

namespace tarvo {

class MapCalibration;
class PoiList;

class MapCommands {
 public:
  virtual ~MapCommands() = default;
  // Makes the map page the active page with `position` in the middle of its
  // view ("View POI on Map", gps: smap); false when the map is uncalibrated
  // or the position lies outside the picture.
  virtual bool CenterOnPosition(LatLon position) = 0;
  // The labelled marker at `position` (empty label: no marker).
  virtual void ShowMarker(LatLon position, const std::string& label) = 0;
  // The calibration of the picture shown, for the map positions of POIs.
  virtual const MapCalibration& calibration() const = 0;
  // The POI list or its map positions changed: the map redraws.
  virtual void PoisChanged() = 0;
};

class PoiCommands {
 public:
  virtual ~PoiCommands() = default;
  // The records, in file order.
  virtual const PoiList& list() const = 0;
  // The page's rows in display order, as indices into list().
  virtual std::vector<std::size_t> displayOrder() const = 0;
  // Index into list() of the selected row; -1 when none.
  virtual int selectedIndex() const = 0;
  virtual void SelectLocation(std::size_t index) = 0;
  // The location dialog, pre-filled with `position` (and `name`); true when
  // the user added the record.
  virtual bool AddLocation(LatLon position, const std::string& name = {}) = 0;
  // The location dialog for record `index`; true when it changed.
  virtual bool EditLocation(std::size_t index) = 0;
  // Asks, then deletes record `index`; true when it was deleted.
  virtual bool DeleteLocation(std::size_t index) = 0;
  // Moves record `index` to `position` ("Move Waypoint"); saved at once.
  virtual bool MoveLocation(std::size_t index, LatLon position) = 0;
  // The go-to target (gps: takeme), shown on the POI page.
  virtual void SetGoToTarget(LatLon position, const std::string& name) = 0;
  // The map's calibration changed: every record's map position again.
  virtual void RecomputeMapPositions() = 0;
};

class ServiceCommands {
 public:
  virtual ~ServiceCommands() = default;
  // Searches the location service near `position` from result `offset` and
  // makes the service page the active page.
  virtual void Search(int offset, LatLon position) = 0;
};

// The recorded track as the map draws it: the positions of the track file,
// and a number that changes whenever they change.
class TrackOverlay {
 public:
  virtual ~TrackOverlay() = default;
  virtual const std::vector<LatLon>& trackPositions() const = 0;
  virtual uint64_t trackRevision() const = 0;
};

}  // namespace tarvo
