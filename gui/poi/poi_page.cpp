#include "gui/poi/poi_page.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "core/geo/coord_format.h"
#include "core/geo/distance.h"
#include "core/geo/units.h"
#include "core/map/calibration.h"
#include "core/poi/poi_file.h"
#include "core/poi/poi_goto.h"
#include "gui/poi/location_dialog.h"
#include "gui/window/datum_text.h"
#include "gui/window/dialogs.h"
#include "gui/window/settings_model.h"

namespace tarvo {

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The file dialogs' filter: description and pattern pairs.
constexpr char kPoiFileFilter[] =
    "CSV Files (*.csv)|*.csv|LOC Files (*.loc)|*.loc|GPX Files (*.gpx)|*.gpx|POI Edit (*.asc)|*.asc|All Files (*.*)|*.*||";

// Latitude/longitude held by the add operation for "the current position".
constexpr double kCurrentPositionMarker = -999.0;

constexpr int kNoDirectionSector = 8;
constexpr int kArrowSize = 9;
constexpr int kLargeMarkerSize = 11;
constexpr int kSmallMarkerSize = 6;
constexpr int kLargeCompassRadius = 80;
constexpr int kRowHeight = 18;

QLabel* MakeLabel(QWidget* parent, const QString& name, const QFont& font, Qt::Alignment align = Qt::AlignLeft) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setFont(font);
  label->setAlignment(align | Qt::AlignVCenter);
  return label;
}

QLabel* MakeCaption(QWidget* parent, const QString& text, const QFont& font) {
  auto* label = new QLabel(text, parent);
  label->setFont(font);
  return label;
}

// The target marker: a red diamond with a dark rim.
QImage MarkerImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const double h = size / 2.0;
  const QPointF pts[4] = {{h, 0.0}, {double(size), h}, {h, double(size)}, {0.0, h}};
  p.setBrush(QColor(255, 0, 0));
  p.setPen(QPen(QColor(102, 0, 0), size > 8 ? 1.0 : 0.6));
  p.drawPolygon(pts, 4);
  return image;
}

// Coordinate labels of a format: "N:"/"E:" for the UTM and Transverse
// Mercator grids, "X:"/"Y:" for the X/Y grids, "Lat:"/"Lon:" otherwise.
std::pair<QString, QString> CoordinateLabels(CoordFormat format) {
  const int f = static_cast<int>(format);
  if (f == 3 || f == 4 || (f >= 6 && f <= 15)) return {PoiPage::tr("N:"), PoiPage::tr("E:")};
  if (f == 5 || f == 16 || f == 18) return {PoiPage::tr("X:"), PoiPage::tr("Y:")};
  return {PoiPage::tr("Lat:"), PoiPage::tr("Lon:")};
}

bool IsDegreeFormat(CoordFormat f) {
  return f == CoordFormat::WgsDms || f == CoordFormat::WgsDm || f == CoordFormat::WgsDeg || f == CoordFormat::Nzgd49;
}

}  // namespace

// ---- PoiTableModel ----

PoiTableModel::PoiTableModel(PoiPage& page, QObject* parent) : QAbstractTableModel(parent), page_(page) {}

int PoiTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(page_.order_.size());
}

int PoiTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant PoiTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(page_.order_.size())) return {};
  const size_t record = page_.order_[static_cast<size_t>(index.row())];
  if (record >= page_.pois_.size()) return {};
  const PoiRecord& r = page_.pois_.at(record);
  const int column = index.column();
  if (role == Qt::TextAlignmentRole) {
    switch (column) {
      case kPlace:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
      case kDistance:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
      default:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    }
  }
  const bool live = column == kArrow || column == kBearing || column == kDistance;
  if (!live) {
    if (role != Qt::DisplayRole) return {};
    return column == kNumber ? QVariant(QString::number(r.number)) : QVariant(Q(r.name));
  }
  if (role != Qt::DisplayRole && role != Qt::DecorationRole) return {};
  if ((column == kArrow) != (role == Qt::DecorationRole)) return {};
  ++liveCells_;
  const LatLon here = page_.Here();
  const bool noPosition = here.latitude == 0.0 && here.longitude == 0.0;
  if (column == kDistance) {
    const double metres = noPosition ? 0.0 : GreatCircleDistance(here.latitude, here.longitude, r.latitude, r.longitude);
    return Q(FormatDistance(metres, page_.host().settings().values().distanceUnit));
  }
  const double bearing = noPosition ? 0.0 : InitialBearing(here.latitude, here.longitude, r.latitude, r.longitude);
  if (column == kBearing) return Q(BearingText(bearing));
  return PoiPage::ArrowImage(noPosition ? kNoDirectionSector : PoiDirectionSector(bearing));
}

QVariant PoiTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kNumber:
      return QStringLiteral("#");
    case kPlace:
      return PoiPage::tr("Place");
    case kBearing:
      return QStringLiteral("\u00B0");
    case kDistance:
      return PoiPage::tr("Distance");
    default:
      return QString();
  }
}

// ---- PoiPage ----

const QImage& PoiPage::ArrowImage(int sector) {
  static const std::array<QImage, 9> images = [] {
    std::array<QImage, 9> out;
    for (int s = 0; s < 9; ++s) {
      QImage image(kArrowSize, kArrowSize, QImage::Format_ARGB32_Premultiplied);
      image.fill(Qt::transparent);
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing);
      p.translate(kArrowSize / 2.0, kArrowSize / 2.0);
      if (s == kNoDirectionSector) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(102, 51, 0));
        p.drawEllipse(QPointF(0, 0), 2.0, 2.0);
      } else {
        p.rotate(45.0 * s);
        const QPointF pts[4] = {{0.0, -4.5}, {3.5, 4.0}, {0.0, 2.0}, {-3.5, 4.0}};
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(204, 102, 0));
        p.drawPolygon(pts, 4);
      }
      out[static_cast<size_t>(s)] = image;
    }
    return out;
  }();
  return images[static_cast<size_t>(std::clamp(sector, 0, 8))];
}

PoiPage::PoiPage(PageHost& host, PoiList& pois) : Page(host, kPoiPage, QStringLiteral("POI")), pois_(pois) {
  setObjectName(QStringLiteral("poiPage"));
  SettingsModel& settings = host.settings();
  compassMode_ = settings.pageValue(Key::TrackCompassMode) == 1 ? CompassMode::CourseUp : CompassMode::NorthUp;
  sort_.type = settings.pageValue(Key::TrackSortType);
  sort_.orderMask = settings.pageValue(Key::TrackSortOrder);

  clock = [] { return static_cast<int64_t>(std::time(nullptr)); };
  runLocationDialog = [](LocationDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
  askYesNo = [this](const QString& text) {
    return QMessageBox::question(this, QStringLiteral("Tarvo"), text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
  };
  showMessage = [this](const QString& text) { QMessageBox::warning(this, QStringLiteral("Tarvo"), text); };
  askOpenFile = [this](QString& path) { return AskOpenFile(this, path, kPoiFileFilter); };
  askSaveFile = [this](QString& path) { return AskSaveFile(this, path, kPoiFileFilter); };

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 16, 8, 8);
  model_ = new PoiTableModel(*this, this);
  BuildListView();
  BuildNavigationView();
  layout->addWidget(listView_);
  layout->addWidget(navView_);
  navView_->hide();
  connect(&settings, &SettingsModel::changed, this, [this](const std::vector<Key>& keys) {
    if (Contains(keys, Key::FmtPos)) RelabelCoordinates();
    if (Contains(keys, Key::FmtPos) || Contains(keys, Key::FmtDist) || Contains(keys, Key::AccurateDatum)) {
      RefreshGoTo();
      table_->viewport()->update();
    }
  });
  RelabelCoordinates();
  ClearGoTo();
}

PoiPage::~PoiPage() {
  if (pois_.modified()) SavePoiFile(pois_);
  WriteSettings();
}

void PoiPage::WriteSettings() {
  host_.settings().SetPageValues({{Key::TrackCompassMode, static_cast<int32_t>(compassMode_)},
                                  {Key::TrackSortOrder, sort_.orderMask},
                                  {Key::TrackSortType, sort_.type}});
}

void PoiPage::BuildListView() {
  const Palette& pal = host_.palette();
  listView_ = new QWidget(this);
  listView_->setObjectName(QStringLiteral("listView"));
  auto* h = new QHBoxLayout(listView_);
  h->setContentsMargins(0, 0, 0, 0);

  table_ = new QTableView(listView_);
  table_->setObjectName(QStringLiteral("poiTable"));
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setShowGrid(false);
  table_->setWordWrap(false);
  table_->setIconSize(QSize(kArrowSize, kArrowSize));
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  QHeaderView* header = table_->horizontalHeader();
  header->setSectionsClickable(true);
  header->setHighlightSections(false);
  const QFontMetrics fm(table_->font());
  header->setMinimumSectionSize(13);
  header->setSectionResizeMode(QHeaderView::Fixed);
  header->setSectionResizeMode(PoiTableModel::kPlace, QHeaderView::Stretch);
  header->resizeSection(PoiTableModel::kNumber, fm.horizontalAdvance(QStringLiteral("###")) + 12);
  header->resizeSection(PoiTableModel::kArrow, 13 + 6);
  header->resizeSection(PoiTableModel::kBearing, fm.horizontalAdvance(QStringLiteral("333\u00B0")) + 12);
  header->resizeSection(PoiTableModel::kDistance, std::max(60, fm.horizontalAdvance(QStringLiteral("99.99 km")) + 12));
  connect(header, &QHeaderView::sectionClicked, this, &PoiPage::ClickColumn);
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) OnRowChosen(current.row());
          });
  connect(table_, &QTableView::clicked, this, [this](const QModelIndex& index) { OnRowChosen(index.row()); });
  connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid() && index.row() < static_cast<int>(order_.size())) EditLocation(order_[index.row()]);
  });
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(table_, &QWidget::customContextMenuRequested, this, [this](QPoint pos) {
    QMenu* menu = CreatePoiMenu(false);
    menu->exec(table_->viewport()->mapToGlobal(pos));
    delete menu;
  });
  h->addWidget(table_, 1);

  auto* panel = new QWidget(listView_);
  auto* v = new QVBoxLayout(panel);
  v->setContentsMargins(0, 0, 0, 0);
  GoToLabels& g = goTo_[0];
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  g.label1 = MakeLabel(panel, QStringLiteral("label1"), pal.medium);
  g.value1 = MakeLabel(panel, QStringLiteral("value1"), pal.medium);
  g.label2 = MakeLabel(panel, QStringLiteral("label2"), pal.medium);
  g.value2 = MakeLabel(panel, QStringLiteral("value2"), pal.medium);
  g.zone = MakeLabel(panel, QStringLiteral("zone"), pal.medium);
  g.direction = MakeLabel(panel, QStringLiteral("direction"), pal.medium);
  g.distance = MakeLabel(panel, QStringLiteral("distance"), pal.medium);
  g.time = MakeLabel(panel, QStringLiteral("time"), pal.medium);
  g.arrival = MakeLabel(panel, QStringLiteral("arrival"), pal.medium);
  g.value1->setMinimumWidth(QFontMetrics(pal.medium).horizontalAdvance(QStringLiteral("N 00°00'00.0\"  ")));
  grid->addWidget(g.label1, 0, 0);
  grid->addWidget(g.value1, 0, 1);
  grid->addWidget(g.label2, 1, 0);
  grid->addWidget(g.value2, 1, 1);
  grid->addWidget(g.zone, 2, 1);
  grid->addWidget(MakeCaption(panel, tr("Dir:"), pal.medium), 3, 0);
  grid->addWidget(g.direction, 3, 1);
  grid->addWidget(MakeCaption(panel, tr("Dist:"), pal.medium), 4, 0);
  grid->addWidget(g.distance, 4, 1);
  g.timeCaption = MakeCaption(panel, tr("Time:"), pal.medium);
  grid->addWidget(g.timeCaption, 5, 0);
  grid->addWidget(g.time, 5, 1);
  g.arrivalCaption = MakeCaption(panel, tr("Arrive:"), pal.medium);
  grid->addWidget(g.arrivalCaption, 6, 0);
  grid->addWidget(g.arrival, 6, 1);
  v->addLayout(grid);

  compassFrame_ = new QWidget(panel);
  compassFrame_->setObjectName(QStringLiteral("compassFrame"));
  compassFrame_->setMinimumSize(150, 150);
  compassFrame_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  compassFrame_->setAttribute(Qt::WA_TransparentForMouseEvents);
  v->addWidget(compassFrame_, 1);

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(MakeCaption(panel, tr("File:"), pal.normal));
  fileName_ = MakeLabel(panel, QStringLiteral("fileName"), pal.normal);
  fileRow->addWidget(fileName_, 1);
  v->addLayout(fileRow);
  auto* group = new QGroupBox(tr("Waypoints"), panel);
  auto* buttons = new QHBoxLayout(group);
  loadButton_ = new QPushButton(tr("Load File"), group);
  newButton_ = new QPushButton(tr("New File"), group);
  buttons->addWidget(loadButton_);
  buttons->addWidget(newButton_);
  connect(loadButton_, &QPushButton::clicked, this, [this] {
    QString path = Q(pois_.path());
    if (askOpenFile(path)) LoadFile(path.toStdString());
  });
  connect(newButton_, &QPushButton::clicked, this, [this] {
    QString path = Q(pois_.path());
    if (askSaveFile(path)) NewFile(path.toStdString());
  });
  v->addWidget(group);
  h->addWidget(panel);
}

void PoiPage::BuildNavigationView() {
  const Palette& pal = host_.palette();
  const QFont big = PaletteFont(26, 800);
  navView_ = new QWidget(this);
  navView_->setObjectName(QStringLiteral("navigationView"));
  auto* v = new QVBoxLayout(navView_);
  v->setContentsMargins(0, 0, 0, 0);
  GoToLabels& g = goTo_[1];
  auto* grid = new QGridLayout;
  g.label1 = MakeLabel(navView_, QStringLiteral("navLabel1"), pal.huge);
  g.value1 = MakeLabel(navView_, QStringLiteral("navValue1"), big);
  g.label2 = MakeLabel(navView_, QStringLiteral("navLabel2"), pal.huge);
  g.value2 = MakeLabel(navView_, QStringLiteral("navValue2"), big);
  g.zone = MakeLabel(navView_, QStringLiteral("navZone"), pal.huge);
  g.time = MakeLabel(navView_, QStringLiteral("navTime"), pal.huge);
  g.arrival = MakeLabel(navView_, QStringLiteral("navArrival"), pal.huge);
  g.timeCaption = MakeCaption(navView_, tr("Time:"), pal.huge);
  g.arrivalCaption = MakeCaption(navView_, tr("Arrive:"), pal.huge);
  grid->addWidget(g.label1, 0, 0);
  grid->addWidget(g.value1, 0, 1);
  grid->addWidget(g.zone, 0, 2, 2, 1);
  grid->addWidget(g.label2, 1, 0);
  grid->addWidget(g.value2, 1, 1);
  grid->addWidget(g.timeCaption, 2, 0);
  grid->addWidget(g.time, 2, 1);
  grid->addWidget(g.arrivalCaption, 3, 0);
  grid->addWidget(g.arrival, 3, 1);
  grid->setColumnStretch(3, 1);
  v->addLayout(grid);
  auto* area = new QWidget(navView_);
  area->setObjectName(QStringLiteral("navCompassArea"));
  area->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  area->setAttribute(Qt::WA_TransparentForMouseEvents);
  v->addWidget(area, 1);
  auto* bottom = new QHBoxLayout;
  bottom->setContentsMargins(10, 0, 10, 5);
  g.distance = MakeLabel(navView_, QStringLiteral("navDistance"), big);
  g.direction = MakeLabel(navView_, QStringLiteral("navDirection"), big, Qt::AlignRight);
  bottom->addWidget(g.distance);
  bottom->addStretch(1);
  bottom->addWidget(g.direction);
  v->addLayout(bottom);
}

void PoiPage::OnCreate() {
  // The stored file, else "Location.csv" in the user's data folder.
  LoadFile(host_.settings().pagePath(Key::TrkFile).string());
}

Page::ToolbarState PoiPage::toolbarState() const {
  ToolbarState s;
  s.zoomIn = !navigationView_;
  s.zoomOut = navigationView_;
  s.pageMenu = true;
  return s;
}

void PoiPage::OnActivate() {
  Page::OnActivate();
  RelabelCoordinates();
  RefreshGoTo();
  table_->viewport()->update();
}

void PoiPage::Zoom(bool zoomIn) {
  navigationView_ = zoomIn;
  listView_->setVisible(!zoomIn);
  navView_->setVisible(zoomIn);
  host_.SetToolbarState(toolbarState());
  RelabelCoordinates();
  RefreshGoTo();
  update();
}

void PoiPage::ShowPageMenu() {
  QMenu* menu = CreatePoiMenu(true);
  menu->exec(QCursor::pos());
  delete menu;
}

QMenu* PoiPage::CreatePoiMenu(bool fromPageMenu) {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("poiMenu"));
  const bool selected = selectedIndex() >= 0;
  auto add = [&](const QString& text, bool enabled, auto slot) {
    QAction* a = menu->addAction(text);
    a->setEnabled(enabled);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  add(tr("Add POI"), true, [this] { AddLocation(LatLon{kCurrentPositionMarker, kCurrentPositionMarker}); });
  add(tr("Edit POI"), selected, [this] {
    if (selectedIndex() >= 0) EditLocation(static_cast<size_t>(selectedIndex()));
  });
  add(tr("Delete POI"), selected, [this] {
    if (selectedIndex() >= 0) DeleteLocation(static_cast<size_t>(selectedIndex()));
  });
  menu->addSeparator();
  add(tr("Move POI Up"), selected, [this] { MoveSelectedUp(); });
  add(tr("Move POI Down"), selected, [this] { MoveSelectedDown(); });
  menu->addSeparator();
  add(tr("Show All POI"), !fromPageMenu || hiddenMode_, [this] { ShowAll(); });
  add(tr("Hide POI not Visible on Map"), !fromPageMenu || !hiddenMode_, [this] { HideOutsideMap(); });
  add(tr("View POI on Map"), !fromPageMenu || selected, [this] { ViewOnMap(); });
  menu->addSeparator();
  add(tr("Search POI Location on Hopla"), !fromPageMenu || selected, [this] { SearchSelected(); });
  return menu;
}

QMenu* PoiPage::CreateFormatMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("coordMenu"));
  auto* group = new QActionGroup(menu);
  group->setExclusive(true);
  for (const CoordFormat format : kAllCoordFormats) {
    if (format == CoordFormat::UtmWgs84) menu->addSeparator();
    QAction* action = menu->addAction(Q(CoordFormatMenuText(format)));
    action->setCheckable(true);
    action->setChecked(format == host_.settings().values().coordFormat);
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, format] { SetCoordFormat(format); });
  }
  return menu;
}

void PoiPage::ShowFormatMenu(QPoint globalPos) {
  QMenu* menu = CreateFormatMenu();
  menu->exec(globalPos);
  delete menu;
}

void PoiPage::SetCoordFormat(CoordFormat format) {
  host_.settings().Change([format](Settings& s) { s.coordFormat = format; });
  host_.settings().Save({Key::FmtPos});
}

// ---- fixes and the go-to display ----

int64_t PoiPage::Now() const { return clock ? clock() : static_cast<int64_t>(std::time(nullptr)); }

LatLon PoiPage::Here() const { return host_.currentFix().position; }

void PoiPage::OnFix(const Fix&, FixChanges changes) {
  if (!(changes & (kFixPosition | kFixMotion))) return;
  // Only the active page follows the fix; activation catches up.
  if (!IsActivePage()) return;
  RefreshGoTo();
  // Only the rows on screen are drawn again, and only they work out their
  // bearing and distance.
  if (!navigationView_) table_->viewport()->update();
}

void PoiPage::FlushPendingRefresh() {}

void PoiPage::RelabelCoordinates() {
  const auto [first, second] = CoordinateLabels(host_.settings().values().coordFormat);
  for (GoToLabels& g : goTo_) {
    g.label1->setText(first);
    g.label2->setText(second);
    g.zone->clear();
  }
}

void PoiPage::ClearGoTo() {
  target_.reset();
  targetRecord_.reset();
  for (GoToLabels& g : goTo_) {
    g.value1->clear();
    g.value2->clear();
    g.zone->clear();
    g.direction->clear();
    g.distance->clear();
    g.time->setText(QStringLiteral("-"));
    g.arrival->setText(QStringLiteral("-"));
  }
  update();
}

void PoiPage::RefreshGoTo() {
  if (targetRecord_ && *targetRecord_ < pois_.size()) {
    const PoiRecord& r = pois_.at(*targetRecord_);
    target_ = LatLon{r.latitude, r.longitude};
  }
  if (!target_) {
    ClearGoTo();
    return;
  }
  const Settings& s = host_.settings().values();
  const Fix& fix = host_.currentFix();
  const GoToTexts t = GoToFor(Here(), *target_, fix.speedKnots, s.distanceUnit, Now());
  const PositionText pos = FormatPosition(DatumModeOf(s.accurateDatum), s.coordFormat, target_->latitude,
                                          target_->longitude, PositionLayout::TwoField);
  const bool degrees = IsDegreeFormat(s.coordFormat);
  const QString v1 = degrees ? Q(pos.label1) + QLatin1Char(' ') + Q(pos.value1) : Q(pos.value1).trimmed();
  const QString v2 = degrees ? Q(pos.label2) + QLatin1Char(' ') + Q(pos.value2) : Q(pos.value2).trimmed();
  for (GoToLabels& g : goTo_) {
    g.value1->setText(v1);
    g.value2->setText(v2);
    g.zone->setText(Q(pos.zone));
    g.direction->setText(Q(t.direction));
    g.distance->setText(Q(t.distance));
    g.time->setText(Q(t.timeToGo));
    g.arrival->setText(Q(t.arrival));
  }
  lastBearing_ = t.bearing;
  update(CompassRect(nullptr).adjusted(-20, -20, 20, 20));
}

QString PoiPage::goToText(const char* name) const {
  const QLabel* label = findChild<QLabel*>(QString::fromLatin1(name));
  return label ? label->text() : QString();
}

QString PoiPage::cellText(int row, int column) const {
  return model_->data(model_->index(row, column), Qt::DisplayRole).toString();
}

void PoiPage::OnRowChosen(int row) {
  if (row < 0 || row >= static_cast<int>(order_.size())) return;
  targetRecord_ = order_[static_cast<size_t>(row)];
  RefreshGoTo();
}

// ---- selection and sorting ----

int PoiPage::selectedIndex() const {
  const QModelIndexList rows = table_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return -1;
  const int row = rows.first().row();
  if (row < 0 || row >= static_cast<int>(order_.size())) return -1;
  return static_cast<int>(order_[static_cast<size_t>(row)]);
}

void PoiPage::SelectRow(int row) {
  if (row < 0 || row >= static_cast<int>(order_.size())) {
    table_->clearSelection();
    return;
  }
  const QModelIndex index = model_->index(row, 0);
  table_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  table_->scrollTo(index);
}

void PoiPage::SelectLocation(std::size_t index) {
  const auto it = std::find(order_.begin(), order_.end(), index);
  if (it != order_.end()) SelectRow(static_cast<int>(it - order_.begin()));
}

void PoiPage::Resort(std::optional<size_t> keepSelected) {
  if (!keepSelected && selectedIndex() >= 0) keepSelected = static_cast<size_t>(selectedIndex());
  order_ = pois_.DisplayOrder(sort_, Here());
  model_->Reset();
  if (keepSelected) SelectLocation(*keepSelected);
}

void PoiPage::ClickColumn(int column) {
  if (column < 0 || column >= kPoiSortKeyCount) return;
  sort_.ClickColumn(column);
  WriteSettings();
  Resort();
}

// ---- edits ----

std::pair<int32_t, int32_t> PoiPage::MapPositionOf(double latitude, double longitude) const {
  MapCommands* map = host_.mapCommands();
  if (!map) return {kPoiNoMapPosition, kPoiNoMapPosition};
  const MapPixel p = map->calibration().GeoToPixel(latitude, longitude);
  return {p.x, p.y};
}

void PoiPage::AfterChange(std::optional<size_t> select) {
  Resort(select);
  Save();
  RefreshGoTo();
  if (MapCommands* map = host_.mapCommands()) map->PoisChanged();
}

void PoiPage::Save() {
  if (!pois_.modified()) return;
  PoiFileResult result = SavePoiFile(pois_);
  if (result.error == PoiError::PartialList &&
      askYesNo(tr("The file was read only up to a fault. Replace it by the POIs in the list?"))) {
    result = SavePoiFile(pois_, true);
  }
  if (!result.ok() && result.error != PoiError::PartialList) Message(FileErrorText(result));
}

bool PoiPage::AddLocation(LatLon position, const std::string& name) {
  if (position.latitude == kCurrentPositionMarker && position.longitude == kCurrentPositionMarker) {
    position = Here();
  }
  LocationValues values;
  values.latitude = position.latitude;
  values.longitude = position.longitude;
  values.name = name.empty() ? tr("My Location").toStdString() : name;
  values.format = DialogFormatFor(host_.settings().values().coordFormat);
  values.accurateDatum = host_.settings().values().accurateDatum;
  LocationDialog dialog(values, Here(), &pois_, order_, this);
  if (!runLocationDialog(dialog)) return false;
  const LocationValues& v = dialog.values();
  const auto [x, y] = MapPositionOf(v.latitude, v.longitude);
  const size_t index = pois_.Add(v.latitude, v.longitude, v.name, v.abbreviation, x, y);
  AfterChange(index);
  return true;
}

bool PoiPage::EditLocation(std::size_t index) {
  if (index >= pois_.size()) return false;
  const PoiRecord& r = pois_.at(index);
  LocationValues values;
  values.latitude = r.latitude;
  values.longitude = r.longitude;
  values.name = r.name;
  values.abbreviation = r.abbreviation;
  values.format = DialogFormatFor(host_.settings().values().coordFormat);
  values.accurateDatum = host_.settings().values().accurateDatum;
  LocationDialog dialog(values, Here(), &pois_, order_, this);
  if (!runLocationDialog(dialog)) return false;
  const LocationValues& v = dialog.values();
  if (!pois_.Edit(index, v.latitude, v.longitude, v.name, v.abbreviation)) return false;
  const auto [x, y] = MapPositionOf(v.latitude, v.longitude);
  pois_.SetMapPosition(index, x, y);
  AfterChange(index);
  return true;
}

bool PoiPage::DeleteLocation(std::size_t index) {
  if (index >= pois_.size() || pois_.at(index).hidden) return false;
  if (!askYesNo(tr("Delete this location?"))) return false;
  if (!pois_.Remove(index)) return false;
  if (targetRecord_) {
    if (*targetRecord_ == index) {
      ClearGoTo();
    } else if (*targetRecord_ > index) {
      --*targetRecord_;
    }
  }
  table_->clearSelection();
  AfterChange(std::nullopt);
  return true;
}

bool PoiPage::MoveLocation(std::size_t index, LatLon position) {
  const auto [x, y] = MapPositionOf(position.latitude, position.longitude);
  if (!pois_.Move(index, position.latitude, position.longitude, x, y)) return false;
  AfterChange(std::nullopt);
  return true;
}

void PoiPage::SetGoToTarget(LatLon position, const std::string&) {
  targetRecord_.reset();
  target_ = position;
  RefreshGoTo();
}

void PoiPage::RecomputeMapPositions() {
  for (size_t i = 0; i < pois_.size(); ++i) {
    const PoiRecord& r = pois_.at(i);
    const auto [x, y] = MapPositionOf(r.latitude, r.longitude);
    pois_.SetMapPosition(i, x, y);
  }
  if (MapCommands* map = host_.mapCommands()) map->PoisChanged();
}

void PoiPage::MoveSelectedUp() {
  const int sel = selectedIndex();
  if (sel < 0 || !pois_.MoveUp(static_cast<size_t>(sel))) return;
  if (targetRecord_ == static_cast<size_t>(sel)) targetRecord_ = static_cast<size_t>(sel - 1);
  AfterChange(static_cast<size_t>(sel - 1));
}

void PoiPage::MoveSelectedDown() {
  const int sel = selectedIndex();
  if (sel < 0 || !pois_.MoveDown(static_cast<size_t>(sel))) return;
  if (targetRecord_ == static_cast<size_t>(sel)) targetRecord_ = static_cast<size_t>(sel + 1);
  AfterChange(static_cast<size_t>(sel + 1));
}

void PoiPage::HideOutsideMap() {
  if (hiddenMode_) return;
  const QSize size = mapImageSize ? mapImageSize() : QSize();
  MapCommands* map = host_.mapCommands();
  if (!map || size.width() <= 0 || !map->calibration().IsCalibrated()) {
    Message(tr("Map not loaded or not calibrated."));
    return;
  }
  pois_.HideOutside(size.width(), size.height());
  hiddenMode_ = true;
  Resort();
}

void PoiPage::ShowAll() {
  if (!hiddenMode_) return;
  pois_.ShowAll();
  hiddenMode_ = false;
  Resort();
}

void PoiPage::ViewOnMap() {
  const int sel = selectedIndex();
  if (sel < 0) return;
  MapCommands* map = host_.mapCommands();
  if (!map || !map->calibration().IsCalibrated()) {
    Message(tr("Map not loaded or not calibrated."));
    return;
  }
  const PoiRecord& r = pois_.at(static_cast<size_t>(sel));
  map->CenterOnPosition(LatLon{r.latitude, r.longitude});
}

void PoiPage::SearchSelected() {
  const int sel = selectedIndex();
  ServiceCommands* service = host_.serviceCommands();
  if (sel < 0 || !service) return;
  const PoiRecord& r = pois_.at(static_cast<size_t>(sel));
  service->Search(0, LatLon{r.latitude, r.longitude});
}

// ---- files ----

QString PoiPage::FileErrorText(const PoiFileResult& result) const {
  QString text = tr("Error: cannot open file!");
  const QString reason = result.errorNumber ? QString::fromLocal8Bit(std::strerror(result.errorNumber)) : QString();
  switch (result.error) {
    case PoiError::CannotOpen:
      if (!reason.isEmpty()) text += QLatin1Char('\n') + reason;
      break;
    case PoiError::CannotWrite:
      text += QLatin1Char('\n') + tr("The file was not written; it keeps its old contents.");
      if (!reason.isEmpty()) text += QLatin1Char(' ') + reason;
      break;
    case PoiError::TooLarge:
      text += QLatin1Char('\n') + tr("The file is too large.");
      break;
    case PoiError::Malformed:
      text += QLatin1Char('\n') + tr("The file is damaged at line %1, column %2; the POIs before that were loaded.")
                                      .arg(result.line)
                                      .arg(result.column);
      break;
    case PoiError::NotPoiFile:
      text += QLatin1Char('\n') + tr("The file holds no LOC or GPX waypoints.");
      break;
    default:
      break;
  }
  return text;
}

void PoiPage::Message(const QString& text) {
  if (showMessage) showMessage(text);
}

void PoiPage::ShowFileName() {
  const QString path = Q(pois_.path());
  fileName_->setText(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
}

void PoiPage::LoadFile(const std::string& path) {
  Save();
  const PoiFileResult result = LoadPoiFile(pois_, path);
  if (result.error == PoiError::CannotOpen || result.error == PoiError::TooLarge) {
    Message(FileErrorText(result));
    return;
  }
  if (!result.ok()) Message(FileErrorText(result));
  host_.settings().SetPageText(Key::TrkFile, pois_.path());
  hiddenMode_ = false;
  table_->clearSelection();
  ClearGoTo();
  ShowFileName();
  RecomputeMapPositions();
  Resort(std::nullopt);
}

void PoiPage::NewFile(const std::string& path) {
  Save();
  const PoiFileResult result = NewPoiFile(pois_, path);
  if (!result.ok()) {
    Message(FileErrorText(result));
    return;
  }
  host_.settings().SetPageText(Key::TrkFile, pois_.path());
  hiddenMode_ = false;
  table_->clearSelection();
  ClearGoTo();
  ShowFileName();
  Resort(std::nullopt);
  if (MapCommands* map = host_.mapCommands()) map->PoisChanged();
}

// ---- clicks ----

bool PoiPage::Hit(QWidget* w, QPoint pagePos) const {
  if (!w || !w->isVisible()) return false;
  return QRect(w->mapTo(this, QPoint(0, 0)), w->size()).contains(pagePos);
}

void PoiPage::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  ClickAt(event->position().toPoint());
}

void PoiPage::ClickAt(QPoint pos) {
  const GoToLabels& g = goTo_[navigationView_ ? 1 : 0];
  if (!navigationView_) {
    if (Hit(compassFrame_, pos)) {
      ToggleCompassMode();
    } else if (Hit(g.value1, pos) || Hit(g.value2, pos)) {
      ShowFormatMenu(mapToGlobal(pos));
    } else if (Hit(g.distance, pos)) {
      CycleDistanceUnit();
    }
    return;
  }
  if (Hit(g.label1, pos) || Hit(g.value1, pos) || Hit(g.label2, pos) || Hit(g.value2, pos)) {
    ShowFormatMenu(mapToGlobal(pos));
  } else if (Hit(g.distance, pos)) {
    CycleDistanceUnit();
  } else {
    ToggleCompassMode();
  }
}

void PoiPage::ToggleCompassMode() {
  compassMode_ = compassMode_ == CompassMode::CourseUp ? CompassMode::NorthUp : CompassMode::CourseUp;
  update();
}

void PoiPage::CycleDistanceUnit() {
  host_.settings().Change(
      [](Settings& s) { s.distanceUnit = static_cast<DistanceUnit>((static_cast<int>(s.distanceUnit) + 1) % 3); });
  host_.settings().Save({Key::FmtDist});
}

// ---- drawing ----

QRect PoiPage::CompassRect(int* radius) const {
  const QFontMetrics small(host_.palette().small);
  const int wS = small.horizontalAdvance(QStringLiteral("W")), hS = small.height();
  QWidget* area = navigationView_ ? navView_->findChild<QWidget*>(QStringLiteral("navCompassArea")) : compassFrame_;
  const QRect a(area->mapTo(this, QPoint(0, 0)), area->size());
  int r = 0;
  if (navigationView_) {
    r = std::min(a.width(), a.height()) / 2 - 16;
  } else {
    // Room for the letters around the dial and the target marker outside it.
    r = (std::min(a.width() - 2 * (wS + 3), a.height() - 2 * (hS + 4)) - 2 * kSmallMarkerSize) / 2;
  }
  r = std::max(r, 10);
  if (radius) *radius = r;
  const int halfW = r + wS + 3 + kLargeMarkerSize + 3, halfH = r + hS + 4 + kLargeMarkerSize + 3;
  return QRect(a.center().x() - halfW, a.center().y() - halfH, 2 * halfW, 2 * halfH);
}

void PoiPage::resizeEvent(QResizeEvent* event) {
  Page::resizeEvent(event);
  compassImage_ = QImage();
}

void PoiPage::PaintPage(QPainter& painter, const QRect& dirty) {
  int r = 0;
  const QRect rect = CompassRect(&r);
  if (!dirty.intersects(rect)) return;
  const Palette& pal = host_.palette();
  const double course = host_.currentFix().course;
  const bool large = navigationView_ || r > kLargeCompassRadius;
  const CompassKey key{r, compassMode_ == CompassMode::CourseUp ? course : 0.0, compassMode_, large};
  if (!(key == compassKey_) || compassImage_.isNull()) {
    compassImage_ = RenderCourseCompass(r, key.course, compassMode_, navigationView_, pal, palette().color(QPalette::Window));
    compassKey_ = key;
  }
  const QPoint centre = rect.center();
  DrawCentred(painter, compassImage_, centre);
  const QPoint imageTopLeft(centre.x() - compassImage_.width() / 2, centre.y() - compassImage_.height() / 2);
  if (compassMode_ == CompassMode::CourseUp) {
    painter.setFont(pal.medium);
    painter.setPen(Qt::black);
    painter.drawText(QRect(imageTopLeft + QPoint(2, 2), QSize(30, 20)), Qt::AlignLeft | Qt::AlignTop, tr("C"));
  }
  if (target_) {
    // Screen angle of the target: its bearing less the dial's rotation.
    const double rho = compassMode_ == CompassMode::CourseUp ? 90.0 + course : 90.0;
    const int size = large ? kLargeMarkerSize : kSmallMarkerSize;
    static const QImage largeMarker = MarkerImage(kLargeMarkerSize);
    static const QImage smallMarker = MarkerImage(kSmallMarkerSize);
    const double halfDiagonal = size * std::sqrt(2.0) / 2.0;
    const double ring = large ? r + 3 + halfDiagonal : r + halfDiagonal;
    const double angle = (lastBearing_ - rho) * kGcDegToRad;
    const QPoint at(centre.x() + static_cast<int>(std::lround(ring * std::cos(angle))),
                    centre.y() + static_cast<int>(std::lround(ring * std::sin(angle))));
    painter.drawImage(QPoint(at.x() - 2, at.y() - size / 2), large ? largeMarker : smallMarker);
  }
}

}  // namespace tarvo
