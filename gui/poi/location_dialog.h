// The "Add/Edit Location" dialog: one position typed in any of the nineteen
// coordinate formats, taken from the current GPS position or copied from a
// POI, and for a POI also its name and abbreviation. The map page uses the
// position-only form for its reference points.
#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "core/geo/coord_format.h"
#include "core/geo/coordinates.h"
#include "core/geo/edit_fields.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvo {

class PoiList;

// What the caller puts in and reads back after OK.
struct LocationValues {
  double latitude = 0.0;   // degrees, WGS-84
  double longitude = 0.0;
  std::string name;          // at most 255 characters
  std::string abbreviation;  // at most 9 characters
  CoordFormat format = CoordFormat::WgsDms;
  bool positionOnly = false;  // no name fields (map reference points)
  bool accurateDatum = false;  // setting AccurateDatum: the grids through PROJ
};

// The format the dialog opens in for the window's current format: the three
// kinds of degrees and UTM WGS-84 stay, the others open in D°MM'SS".
CoordFormat DialogFormatFor(CoordFormat current);

class LocationDialog : public QDialog {
  Q_OBJECT
 public:
  // `here` is the current GPS position; `pois` and `order` (indices in
  // display order) fill the waypoint list; without `pois` it holds only
  // its two first entries.
  LocationDialog(const LocationValues& values, LatLon here, const PoiList* pois,
                 std::vector<size_t> order, QWidget* parent = nullptr);

  // The map page's reference-point form: position only, no waypoint names.
  static LocationValues ReferencePointValues(LatLon position, CoordFormat current);

  const LocationValues& values() const { return values_; }

  // Reads the fields like OK does; false, with the reason shown in the
  // dialog, when a field cannot be read or the position is outside the globe.
  bool ReadFields();
  // OK: reads the fields and closes only when they could be read.
  void accept() override;

  // Choosing a format (0..18) and a waypoint entry, as the lists do.
  void ChooseFormat(int index);
  void ChooseWaypoint(int entry);

  // The controls, for the window's tests.
  QComboBox* formatBox() const { return formatBox_; }
  QComboBox* waypointBox() const { return waypointBox_; }
  QLineEdit* field(int axis, int column) const { return fields_[axis][column]; }
  QPushButton* hemisphereButton(int axis) const { return hemispheres_[axis]; }
  QLabel* axisCaption(int axis) const { return axisCaptions_[axis]; }
  QLineEdit* nameEdit() const { return name_; }
  QLineEdit* abbreviationEdit() const { return abbreviation_; }
  QLabel* errorLine() const { return error_; }
  QLabel* datumLine() const { return datum_; }

 private:
  void FillFields();
  EditFields FieldsFromControls() const;
  void ToggleHemisphere(int axis);

  LocationValues values_;
  LatLon here_;
  const PoiList* pois_;
  std::vector<size_t> order_;
  EditFields shown_;

  QComboBox* formatBox_ = nullptr;
  QComboBox* waypointBox_ = nullptr;
  std::array<std::array<QLineEdit*, 3>, 2> fields_{};
  std::array<QPushButton*, 2> hemispheres_{};
  std::array<QLabel*, 2> axisCaptions_{};
  std::array<QLabel*, 3> columnCaptions_{};
  QLabel* nameLabel_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLabel* abbreviationLabel_ = nullptr;
  QLineEdit* abbreviation_ = nullptr;
  QLabel* error_ = nullptr;
  QLabel* datum_ = nullptr;
};

}  // namespace tarvo
