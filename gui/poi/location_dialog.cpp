#include "gui/poi/location_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "core/poi/poi_list.h"
#include "gui/window/datum_text.h"

namespace tarvo {

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The typed text without double quotes (they would break the CSV files), at
// most `maxChars` characters.
std::string WithoutQuotes(const QString& text, int maxChars) {
  QString t = text.left(maxChars);
  t.remove(QLatin1Char('"'));
  return t.toStdString();
}

QString FailureText(GeoFailure failure) {
  switch (failure) {
    case GeoFailure::BadNumber:
      return LocationDialog::tr("A field holds no number.");
    case GeoFailure::BadZone:
      return LocationDialog::tr("The zone is not a UTM zone (1 to 60 and a letter C to X).");
    case GeoFailure::OutsideGrid:
      return LocationDialog::tr("The numbers lie outside the grid.");
    default:
      break;
  }
  return LocationDialog::tr("The fields give no position.");
}

constexpr int kNameMaxChars = 255;
constexpr int kAbbreviationMaxChars = 9;

}  // namespace

CoordFormat DialogFormatFor(CoordFormat current) {
  return static_cast<int>(current) <= static_cast<int>(CoordFormat::UtmWgs84) ? current : CoordFormat::WgsDms;
}

LocationValues LocationDialog::ReferencePointValues(LatLon position, CoordFormat current) {
  LocationValues v;
  v.latitude = position.latitude;
  v.longitude = position.longitude;
  v.format = DialogFormatFor(current);
  v.positionOnly = true;
  return v;
}

LocationDialog::LocationDialog(const LocationValues& values, LatLon here, const PoiList* pois,
                               std::vector<size_t> order, QWidget* parent)
    : QDialog(parent), values_(values), here_(here), pois_(pois), order_(std::move(order)) {
  setObjectName(QStringLiteral("locationDialog"));
  setWindowTitle(tr("Add/Edit Location"));
  auto* v = new QVBoxLayout(this);

  auto* top = new QGridLayout;
  top->addWidget(new QLabel(tr("Coordinates:"), this), 0, 0);
  formatBox_ = new QComboBox(this);
  formatBox_->setObjectName(QStringLiteral("formatBox"));
  for (const CoordFormat f : kAllCoordFormats) formatBox_->addItem(Q(CoordFormatName(f)));
  top->addWidget(formatBox_, 0, 1);
  datum_ = new QLabel(this);
  datum_->setObjectName(QStringLiteral("datumLine"));
  top->addWidget(datum_, 1, 1);
  top->addWidget(new QLabel(tr("Select\nwaypoint:"), this), 2, 0);
  waypointBox_ = new QComboBox(this);
  waypointBox_->setObjectName(QStringLiteral("waypointBox"));
  waypointBox_->addItem(tr("Select Waypoint"));
  waypointBox_->addItem(tr("* Current Position"));
  if (pois_) {
    for (const size_t i : order_) {
      if (i < pois_->size()) waypointBox_->addItem(Q(pois_->at(i).name));
    }
  }
  waypointBox_->setCurrentIndex(0);
  top->addWidget(waypointBox_, 2, 1);
  v->addLayout(top);
  v->addWidget(new QLabel(tr("or edit manually:"), this));

  auto* grid = new QGridLayout;
  for (int c = 0; c < 3; ++c) {
    columnCaptions_[c] = new QLabel(this);
    columnCaptions_[c]->setAlignment(Qt::AlignCenter);
    grid->addWidget(columnCaptions_[c], 0, 1 + c);
  }
  for (int a = 0; a < 2; ++a) {
    axisCaptions_[a] = new QLabel(this);
    grid->addWidget(axisCaptions_[a], 1 + a, 0);
    for (int c = 0; c < 3; ++c) {
      fields_[a][c] = new QLineEdit(this);
      fields_[a][c]->setObjectName(QStringLiteral("field%1%2").arg(a).arg(c));
      grid->addWidget(fields_[a][c], 1 + a, 1 + c);
    }
    hemispheres_[a] = new QPushButton(a == 0 ? QStringLiteral("N") : QStringLiteral("E"), this);
    hemispheres_[a]->setObjectName(QStringLiteral("hemisphere%1").arg(a));
    hemispheres_[a]->setAutoDefault(false);
    hemispheres_[a]->setFixedWidth(32);
    grid->addWidget(hemispheres_[a], 1 + a, 4);
    connect(hemispheres_[a], &QPushButton::clicked, this, [this, a] { ToggleHemisphere(a); });
  }
  v->addLayout(grid);

  auto* names = new QGridLayout;
  nameLabel_ = new QLabel(tr("Name:"), this);
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("name"));
  abbreviationLabel_ = new QLabel(tr("Abbreviation:"), this);
  abbreviation_ = new QLineEdit(this);
  abbreviation_->setObjectName(QStringLiteral("abbreviation"));
  names->addWidget(nameLabel_, 0, 0);
  names->addWidget(name_, 0, 1);
  names->addWidget(abbreviationLabel_, 1, 0);
  names->addWidget(abbreviation_, 1, 1);
  v->addLayout(names);
  if (values_.positionOnly) {
    nameLabel_->hide();
    name_->hide();
    abbreviationLabel_->hide();
    abbreviation_->hide();
  } else {
    name_->setMaxLength(kNameMaxChars);
    abbreviation_->setMaxLength(kAbbreviationMaxChars);
    name_->setText(Q(values_.name));
    abbreviation_->setText(Q(values_.abbreviation));
  }

  error_ = new QLabel(this);
  error_->setObjectName(QStringLiteral("errorLine"));
  error_->setStyleSheet(QStringLiteral("color: #c00000"));
  error_->setWordWrap(true);
  error_->hide();
  v->addWidget(error_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &LocationDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &LocationDialog::reject);
  v->addWidget(buttons);

  formatBox_->setCurrentIndex(static_cast<int>(values_.format));
  FillFields();
  connect(formatBox_, &QComboBox::activated, this, &LocationDialog::ChooseFormat);
  connect(waypointBox_, &QComboBox::activated, this, &LocationDialog::ChooseWaypoint);
}

void LocationDialog::FillFields() {
  shown_ = FillEditFields(DatumModeOf(values_.accurateDatum), values_.format, values_.latitude, values_.longitude);
  datum_->setText(DatumModeShortText(values_.accurateDatum, values_.format));
  datum_->setToolTip(DatumModeDescription(values_.accurateDatum, values_.format));
  for (int c = 0; c < 3; ++c) columnCaptions_[c]->setText(Q(shown_.columnCaptions[c]));
  for (int a = 0; a < 2; ++a) {
    const EditAxis& axis = shown_.axes[a];
    axisCaptions_[a]->setText(Q(shown_.axisCaptions[a]));
    for (int c = 0; c < 3; ++c) {
      fields_[a][c]->setText(Q(axis.fields[c]));
      fields_[a][c]->setVisible(axis.fieldUsed[c]);
    }
    hemispheres_[a]->setText(Q(axis.hemisphere.empty() ? (a == 0 ? "N" : "E") : axis.hemisphere));
    hemispheres_[a]->setVisible(axis.hemisphereUsed);
  }
}

EditFields LocationDialog::FieldsFromControls() const {
  EditFields f = shown_;
  for (int a = 0; a < 2; ++a) {
    for (int c = 0; c < 3; ++c) f.axes[a].fields[c] = fields_[a][c]->text().trimmed().toStdString();
    f.axes[a].hemisphere = hemispheres_[a]->text().toStdString();
  }
  return f;
}

bool LocationDialog::ReadFields() {
  const GeoResult<LatLon> read =
      ReadEditFields(DatumModeOf(values_.accurateDatum), values_.format, FieldsFromControls());
  QString problem;
  if (!read) {
    problem = FailureText(read.error());
  } else if (!(std::fabs(read->latitude) <= 90.0) || !(std::fabs(read->longitude) <= 180.0)) {
    problem = tr("The position lies outside the globe (latitude -90 to 90, longitude -180 to 180).");
  }
  if (!problem.isEmpty()) {
    error_->setText(problem);
    error_->show();
    return false;
  }
  error_->hide();
  values_.latitude = read->latitude;
  values_.longitude = read->longitude;
  return true;
}

void LocationDialog::accept() {
  if (!ReadFields()) return;
  if (!values_.positionOnly) {
    values_.name = WithoutQuotes(name_->text(), kNameMaxChars);
    values_.abbreviation = WithoutQuotes(abbreviation_->text(), kAbbreviationMaxChars);
  }
  QDialog::accept();
}

void LocationDialog::ChooseFormat(int index) {
  const std::optional<CoordFormat> format = CoordFormatFromIndex(index);
  if (!format) return;
  // The shown position is converted, not reset; fields that cannot be read
  // keep the position they were filled with.
  ReadFields();
  if (!values_.positionOnly) {
    values_.name = name_->text().toStdString();
    values_.abbreviation = abbreviation_->text().toStdString();
  }
  values_.format = *format;
  if (formatBox_->currentIndex() != index) formatBox_->setCurrentIndex(index);
  FillFields();
}

void LocationDialog::ChooseWaypoint(int entry) {
  if (entry == 1) {
    values_.latitude = here_.latitude;
    values_.longitude = here_.longitude;
  } else if (entry >= 2 && pois_) {
    const size_t row = static_cast<size_t>(entry - 2);
    if (row >= order_.size() || order_[row] >= pois_->size()) return;
    const PoiRecord& r = pois_->at(order_[row]);
    values_.latitude = r.latitude;
    values_.longitude = r.longitude;
  } else {
    return;
  }
  if (waypointBox_->currentIndex() != entry) waypointBox_->setCurrentIndex(entry);
  error_->hide();
  FillFields();
}

void LocationDialog::ToggleHemisphere(int axis) {
  QPushButton* b = hemispheres_[axis];
  if (axis == 0) {
    b->setText(b->text() == QLatin1String("N") ? QStringLiteral("S") : QStringLiteral("N"));
  } else {
    b->setText(b->text() == QLatin1String("E") ? QStringLiteral("W") : QStringLiteral("E"));
  }
}

}  // namespace tarvo
