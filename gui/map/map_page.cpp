#include "gui/map/map_page.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/geo/coord_format.h"
#include "core/geo/distance.h"
#include "core/geo/units.h"
#include "core/map/blank_map.h"
#include "core/poi/poi_list.h"
#include "gui/poi/location_dialog.h"
#include "gui/window/datum_text.h"
#include "gui/window/dialogs.h"
#include "gui/window/draw.h"
#include "gui/window/palette.h"
#include "gui/window/settings_model.h"
#include "gui/window/shipped_data.h"

namespace tarvo {

namespace {

// Page layout: the map area fills the page less a 2-pixel margin and the
// strips of the scroll bars; the vertical bar starts below the status light.
constexpr int kMargin = 2;
constexpr int kBarThickness = 12;
constexpr int kVerticalBarTop = 18;
constexpr int kInfoLineOffset = 3;
constexpr int kInfoLineWidth = 290;
constexpr int kInfoLineUtmExtra = 30;
// On-map buttons: 20-pixel squares, 7 pixels from the right edge, their
// bottoms 7, 34, 61 and 88 pixels above the bottom edge (menu .. mode).
constexpr int kButtonSize = 20;
constexpr int kButtonRightGap = 7;
constexpr std::array<int, 4> kButtonBottomGap{7, 34, 61, 88};
// Position arrow: length and back of the dart, pixels.
constexpr int kArrowLength = 14;
constexpr int kArrowBack = 4;
constexpr int kSymbolSize = 32;
constexpr int kPoiNameChars = 8;
// Metres per statute mile, for the path length.
constexpr double kMetresToMiles = 0.0006213711922373339;
constexpr double kPathKmSwitch = 5000.0;       // metres
constexpr double kPathMilesSwitch = 8046.72;   // metres (5 miles)
constexpr double kPathNauticalSwitch = 9260.0; // metres (5 nm)
// Coordinates are clamped to this range before drawing, so far-off points
// of a chain cannot overflow the painter's integer geometry.
constexpr double kDrawLimit = 1.0e6;

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

const QColor kBackground(236, 236, 236);

// ---- The page's own pictures ----

QImage NewPicture(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  return img;
}

// Reference point: a red ring with a cross through its centre.
const QImage& RefPointIcon() {
  static const QImage icon = [] {
    QImage img = NewPicture(kSymbolSize, kSymbolSize);
    QPainter p(&img);
    p.setPen(QPen(QColor(200, 0, 0), 2));
    p.drawEllipse(QRect(8, 8, 16, 16));
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(16, 2, 16, 30);
    p.drawLine(2, 16, 30, 16);
    return img;
  }();
  return icon;
}

// POI: a yellow flag on a black pole standing on the point.
const QImage& PoiIcon() {
  static const QImage icon = [] {
    QImage img = NewPicture(kSymbolSize, kSymbolSize);
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(16, 16, 16, 3);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(255, 255, 51));
    p.drawPolygon(QPolygon({QPoint(17, 3), QPoint(27, 7), QPoint(17, 11)}));
    p.setBrush(Qt::black);
    p.drawEllipse(QPoint(16, 16), 2, 2);
    return img;
  }();
  return icon;
}

// Labelled marker: a blue pin whose tip is the point.
const QImage& MarkerIcon() {
  static const QImage icon = [] {
    QImage img = NewPicture(kSymbolSize, kSymbolSize);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath pin;
    pin.moveTo(16, 16);
    pin.lineTo(10, 7);
    pin.arcTo(QRectF(10, 0, 12, 12), 180, -180);
    pin.closeSubpath();
    p.setPen(QPen(QColor(0, 0, 102), 1));
    p.setBrush(QColor(0, 0, 255));
    p.drawPath(pin);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 6), 2, 2);
    return img;
  }();
  return icon;
}

// On-map buttons: white squares with a grey edge and a black picture:
// menu (upward triangle), plus, minus, ruler, hand, pencil.
enum class ButtonPicture { Menu, Plus, Minus, Ruler, Hand, Pencil };

QImage MakeButton(ButtonPicture what) {
  QImage img = NewPicture(kButtonSize, kButtonSize);
  QPainter p(&img);
  p.setPen(QColor(128, 128, 128));
  p.setBrush(Qt::white);
  p.drawRect(0, 0, kButtonSize - 1, kButtonSize - 1);
  p.setPen(QPen(Qt::black, 2));
  p.setBrush(Qt::black);
  switch (what) {
    case ButtonPicture::Menu:
      p.setPen(Qt::NoPen);
      p.drawPolygon(QPolygon({QPoint(10, 5), QPoint(16, 14), QPoint(4, 14)}));
      break;
    case ButtonPicture::Plus:
      p.drawLine(5, 10, 15, 10);
      p.drawLine(10, 5, 10, 15);
      break;
    case ButtonPicture::Minus:
      p.drawLine(5, 10, 15, 10);
      break;
    case ButtonPicture::Ruler:
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(QColor(255, 255, 51));
      p.drawRect(3, 7, 14, 6);
      for (int x = 5; x < 17; x += 3) p.drawLine(x, 7, x, 9);
      break;
    case ButtonPicture::Hand:
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(QColor(255, 220, 180));
      p.drawRoundedRect(5, 8, 10, 9, 2, 2);
      for (int i = 0; i < 4; ++i) p.drawRect(5 + i * 2 + (i > 1 ? 1 : 0), 3 + (i == 0 || i == 3 ? 2 : 0), 2, 6);
      break;
    case ButtonPicture::Pencil:
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(QColor(255, 180, 0));
      p.drawPolygon(QPolygon({QPoint(13, 3), QPoint(17, 7), QPoint(7, 17), QPoint(3, 17), QPoint(3, 13)}));
      break;
  }
  return img;
}

const QImage& ButtonImage(ButtonPicture what) {
  static const std::array<QImage, 6> pictures = [] {
    std::array<QImage, 6> a;
    for (int i = 0; i < 6; ++i) a[static_cast<size_t>(i)] = MakeButton(static_cast<ButtonPicture>(i));
    return a;
  }();
  return pictures[static_cast<size_t>(what)];
}

// The POI box's 9 x 9 pictures: the drop-down mark and the eight direction
// arrows (0 north, clockwise in 45-degree steps); index 8 is blank.
const QImage& DropDownMark() {
  static const QImage icon = [] {
    QImage img = NewPicture(9, 9);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygon({QPoint(0, 2), QPoint(8, 2), QPoint(4, 7)}));
    return img;
  }();
  return icon;
}

const QImage& DirectionArrow(int index) {
  static const std::array<QImage, 9> arrows = [] {
    std::array<QImage, 9> a;
    for (int i = 0; i < 9; ++i) {
      QImage img = NewPicture(9, 9);
      if (i < 8) {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(4.5, 4.5);
        p.rotate(45.0 * i);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(0, -4.5), QPointF(3.5, 4), QPointF(0, 2), QPointF(-3.5, 4)}));
      }
      a[static_cast<size_t>(i)] = img;
    }
    return a;
  }();
  return arrows[static_cast<size_t>(std::clamp(index, 0, 8))];
}

size_t OptionIndex(Key key) { return static_cast<size_t>(key) - static_cast<size_t>(Key::MapCenterOn); }

bool IsOptionKey(Key key) { return key >= Key::MapCenterOn && key <= Key::MapShowTrip; }

bool Near(MapPixel p, int32_t ox, int32_t oy, int n) {
  if (!p.IsSet() || ox == kNoPixel || oy == kNoPixel) return false;
  const int64_t x = p.x, y = p.y;
  return ox - n <= x && x < int64_t{ox} + n && oy - n <= y && y < int64_t{oy} + n;
}

}  // namespace

// ---- Creation and settings ----

MapPage::MapPage(PageHost& host) : Page(host, kMapPage, tr("Map")) {
  setObjectName(QStringLiteral("mapPage"));
  setMouseTracking(false);
  setMinimumSize(120, 120);
  dialogs_.refPoint = [](LocationDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
  dialogs_.confirm = [this](const QString& q) {
    return QMessageBox::question(this, tr("Map"), q, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
  dialogs_.message = [this](const QString& text) { QMessageBox::warning(this, tr("Map"), text); };
  dialogs_.openMap = [this](QString& path) {
    return AskOpenFile(this, path, "Map Files (bmp, gif, jpg, png)|*.bmp;*.gif;*.jpg;*.png|All Files (*.*)|*.*||");
  };

  infoLine_ = new QLabel(this);
  infoLine_->setObjectName(QStringLiteral("infoLine"));
  infoLine_->setAutoFillBackground(true);
  infoLine_->setAttribute(Qt::WA_TransparentForMouseEvents);
  infoLine_->setContentsMargins(2, 0, 2, 0);
  infoLine_->hide();
  hBar_ = new QScrollBar(Qt::Horizontal, this);
  hBar_->setObjectName(QStringLiteral("horizontalBar"));
  vBar_ = new QScrollBar(Qt::Vertical, this);
  vBar_->setObjectName(QStringLiteral("verticalBar"));
  hBar_->hide();
  vBar_->hide();
  for (QScrollBar* bar : {hBar_, vBar_}) {
    bar->setSingleStep(kScrollLineStep);
    const Qt::Orientation o = bar->orientation();
    connect(bar, &QScrollBar::valueChanged, this, [this, o](int v) { OnScrollBar(o, v); });
    connect(bar, &QScrollBar::sliderPressed, this, [this] { userScrolling_ = true; });
    connect(bar, &QScrollBar::sliderReleased, this, [this] {
      userScrolling_ = false;
      RedrawMap();
    });
  }
  zoomFlashTimer_.setSingleShot(true);
  connect(&zoomFlashTimer_, &QTimer::timeout, this, [this] {
    flashText_.clear();
    RedrawMap();
  });
  buttonFlashTimer_.setSingleShot(true);
  connect(&buttonFlashTimer_, &QTimer::timeout, this, [this] {
    flashButton_ = -1;
    RedrawMap();
  });
  edgeTimer_.setInterval(kEdgeScrollMs);
  connect(&edgeTimer_, &QTimer::timeout, this, &MapPage::OnEdgeTimer);

  document_.AddListener([this](const MapCalibration&) {
    if (PoiCommands* pois = host_.poiCommands()) pois->RecomputeMapPositions();
  });
  ReadSettings();
  Relayout();
}

MapPage::~MapPage() {
  SaveCalibration();
  WriteSettings();
}

void MapPage::ReadSettings() {
  SettingsModel& s = host_.settings();
  for (int k = static_cast<int>(Key::MapCenterOn); k <= static_cast<int>(Key::MapShowTrip); ++k) {
    const Key key = static_cast<Key>(k);
    options_[OptionIndex(key)] = s.pageValue(key) != 0;
  }
  const int drag = s.pageValue(Key::MapDrag);
  mouseMode_ = static_cast<MouseMode>(std::clamp(drag, 0, 2));
  mapFileSetting_ = Q(s.pageText(Key::MapFile));
}

void MapPage::WriteSettings() {
  std::vector<std::pair<Key, int32_t>> values;
  for (int k = static_cast<int>(Key::MapCenterOn); k <= static_cast<int>(Key::MapShowTrip); ++k) {
    const Key key = static_cast<Key>(k);
    values.emplace_back(key, options_[OptionIndex(key)] ? 1 : 0);
  }
  values.emplace_back(Key::MapDrag, static_cast<int32_t>(mouseMode_));
  host_.settings().SetPageValues(values);
  host_.settings().SetPageText(Key::MapFile, mapFileSetting_.toStdString());
}

bool MapPage::option(Key key) const { return IsOptionKey(key) && options_[OptionIndex(key)]; }

void MapPage::OnCreate() {
  Relayout();  // the size the window gave the page before it is first shown
  // The configured map; the default world map comes from the program's data
  // folder while the user's data folder has no copy of it.
  QString path = mapFileSetting_;
  const QString shipped = ShippedDataDir(QCoreApplication::applicationDirPath());
  const QString defaultName = QStringLiteral("theworld.gif");
  if ((path.isEmpty() || (!QFileInfo::exists(path) && QFileInfo(path).fileName() == defaultName)) &&
      !shipped.isEmpty())
    path = shipped + QStringLiteral("/") + defaultName;
  if (path.isEmpty()) return;
  document_.SetMapPath(path.toStdString());
  if (!shipped.isEmpty()) {
    const QString folder = QFileInfo(path).absoluteDir().canonicalPath();
    shippedMap_ = !folder.isEmpty() && folder == QDir(shipped).canonicalPath();
  }
  if (infoVisible_ == false && option(Key::MapShowPosition)) SetInfo(infoLine_->text(), true);
  LoadMapFile();
}

// ---- Map files ----

bool MapPage::CalibrationSaved() const {
  return !shippedMap_ && !document_.IsBlankMap() && !document_.MapPath().empty();
}

void MapPage::SaveCalibration() {
  // The shipped default map is never written: its folder belongs to the
  // installation (often read-only), and its calibration is exact already.
  if (!CalibrationSaved()) return;
  document_.SetScroll(scrollX_, scrollY_);
  document_.SaveCalibration();
}

bool MapPage::LoadMapFile() {
  const std::string path = document_.MapPath().string();
  if (path.empty()) return false;
  const auto kind = ImageKindFromFileName(path);
  if (!kind) {
    SetInfo(tr("Error - Unknown file format"), true);
    infoShowing_ = true;
    return false;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool ok = image_.LoadFromFile(path, *kind);
  QApplication::restoreOverrideCursor();
  if (!ok) {
    SetInfo(tr("Error - Unknown file format"), true);
    infoShowing_ = true;
    return false;
  }
  ++imageGeneration_;
  document_.MapPictureLoaded();
  zoom_ = 1.0;
  markerPixel_ = {};
  markerGeo_ = {};
  markerLabel_.clear();
  UpdateScrollRanges();
  scrollX_ = std::clamp(document_.ScrollX(), 0, scrollMaxX_);
  scrollY_ = std::clamp(document_.ScrollY(), 0, scrollMaxY_);
  AfterMapShown();
  return true;
}

bool MapPage::LoadMap(const QString& path) {
  SaveCalibration();
  const std::filesystem::path previous = document_.MapPath();
  const bool previousShipped = shippedMap_;
  document_.SetMapPath(path.toStdString());
  const QString shipped = ShippedDataDir(QCoreApplication::applicationDirPath());
  const QString folder = QFileInfo(path).absoluteDir().canonicalPath();
  shippedMap_ = !shipped.isEmpty() && !folder.isEmpty() && folder == QDir(shipped).canonicalPath();
  if (!LoadMapFile()) {
    // The picture shown stays, and so does the file its calibration belongs to.
    document_.SetMapPath(previous);
    shippedMap_ = previousShipped;
    return false;
  }
  mapFileSetting_ = path;
  return true;
}

void MapPage::AskLoadMap() {
  QString path = Q(document_.MapPath().string());
  if (path.isEmpty()) path = QCoreApplication::applicationDirPath() + QStringLiteral("/GPSMap.gif");
  if (!dialogs_.openMap || !dialogs_.openMap(path)) return;
  LoadMap(path);
}

void MapPage::UseBlankMap() {
  const LatLon here = host_.currentFix().position;
  const BlankMapOutcome outcome = document_.UseBlankMap(here, [this](std::span<const uint8_t> gif) {
    return image_.LoadFromMemory(gif.data(), gif.size(), ImageKind::Gif);
  });
  switch (outcome) {
    case BlankMapOutcome::NoPosition:
      ShowMessage(tr("You must have a valid GPS position in order to use this function. Connect to your GPS "
                     "and wait for a position lock."));
      return;
    case BlankMapOutcome::PictureFailed:
      ShowMessage(tr("Error: cannot open file!"));
      return;
    case BlankMapOutcome::Shown:
      break;
  }
  ++imageGeneration_;
  zoom_ = 1.0;
  markerPixel_ = {};
  markerGeo_ = {};
  markerLabel_.clear();
  UpdateScrollRanges();
  scrollX_ = scrollY_ = 0;
  AfterMapShown();
}

void MapPage::AfterMapShown() {
  ++calibrationGeneration_;
  infoShowing_ = false;
  path_.clear();
  pathLength_ = 0.0;
  SyncScrollBars();
  UpdateToolbar();
  OnPositionUpdated();
}

void MapPage::CalibrationEdited() {
  document_.CalibrationChanged();
  ++calibrationGeneration_;
  SaveCalibration();
  positionPixel_ = document_.Calibration().GeoToPixel(host_.currentFix().position.latitude,
                                                      host_.currentFix().position.longitude);
  if (markerLabel_.size() > 0 || markerPixel_.IsSet())
    markerPixel_ = document_.Calibration().GeoToPixel(markerGeo_.latitude, markerGeo_.longitude);
  RefreshInfoLine();
  RedrawMap();
}

void MapPage::ShowMessage(const QString& text) {
  if (dialogs_.message) dialogs_.message(text);
}

std::optional<LatLon> MapPage::AskRefPoint(LatLon initial) {
  if (!dialogs_.refPoint) return std::nullopt;
  // The waypoint list offers the current position and the POIs in the POI
  // page's display order.
  const PoiCommands* pois = host_.poiCommands();
  LocationValues values = LocationDialog::ReferencePointValues(initial, host_.settings().values().coordFormat);
  values.accurateDatum = host_.settings().values().accurateDatum;
  LocationDialog dialog(values, host_.currentFix().position, pois ? &pois->list() : nullptr,
                        pois ? pois->displayOrder() : std::vector<size_t>{}, this);
  if (!dialogs_.refPoint(dialog)) return std::nullopt;
  return LatLon{dialog.values().latitude, dialog.values().longitude};
}

// ---- Geometry, scrolling, zoom ----

void MapPage::resizeEvent(QResizeEvent*) { Relayout(); }

void MapPage::Relayout() {
  mapArea_ = QRect(kMargin, kMargin, std::max(1, width() - 2 * kMargin - kBarThickness),
                   std::max(1, height() - 2 * kMargin - kBarThickness));
  hBar_->setGeometry(mapArea_.left(), mapArea_.bottom() + 1, mapArea_.width(), kBarThickness);
  vBar_->setGeometry(mapArea_.right() + 1, kVerticalBarTop, kBarThickness,
                     std::max(1, mapArea_.bottom() + 1 - kVerticalBarTop));
  const bool utm = host_.settings().values().coordFormat == CoordFormat::UtmWgs84;
  infoLine_->setGeometry(mapArea_.left() + kInfoLineOffset, mapArea_.top() + kInfoLineOffset,
                         std::min(kInfoLineWidth + (utm ? kInfoLineUtmExtra : 0), mapArea_.width() - 2 * kInfoLineOffset),
                         QFontMetrics(infoLine_->font()).height() + 2);
  UpdateScrollRanges();
  ClampScroll();
  SyncScrollBars();
  RedrawMap();
}

int MapPage::VisibleWidth() const { return static_cast<int>(mapArea_.width() / zoom_); }
int MapPage::VisibleHeight() const { return static_cast<int>(mapArea_.height() / zoom_); }

void MapPage::UpdateScrollRanges() {
  if (!image_.IsValid()) {
    scrollMaxX_ = scrollMaxY_ = 0;
    return;
  }
  scrollMaxX_ = std::max(0, image_.Width() - VisibleWidth());
  scrollMaxY_ = std::max(0, image_.Height() - VisibleHeight());
}

void MapPage::ClampScroll() {
  scrollX_ = std::clamp(scrollX_, 0, scrollMaxX_);
  scrollY_ = std::clamp(scrollY_, 0, scrollMaxY_);
}

void MapPage::SyncScrollBars() {
  syncingBars_ = true;
  const bool wide = image_.IsValid() && image_.Width() > mapArea_.width();
  const bool tall = image_.IsValid() && image_.Height() > mapArea_.height();
  hBar_->setRange(0, scrollMaxX_);
  hBar_->setPageStep(std::max(1, VisibleWidth()));
  hBar_->setValue(scrollX_);
  vBar_->setRange(0, scrollMaxY_);
  vBar_->setPageStep(std::max(1, VisibleHeight()));
  vBar_->setValue(scrollY_);
  hBar_->setVisible(wide);
  vBar_->setVisible(tall);
  syncingBars_ = false;
}

void MapPage::OnScrollBar(Qt::Orientation orientation, int value) {
  if (syncingBars_) return;
  if (orientation == Qt::Horizontal)
    scrollX_ = std::clamp(value, 0, scrollMaxX_);
  else
    scrollY_ = std::clamp(value, 0, scrollMaxY_);
  RedrawMap();
}

void MapPage::CenterOnPixel(MapPixel p) {
  if (!p.IsSet()) return;
  const bool narrowX = image_.IsValid() && mapArea_.width() < image_.Width();
  const bool narrowY = image_.IsValid() && mapArea_.height() < image_.Height();
  const int64_t x = narrowX ? int64_t{p.x} - static_cast<int64_t>(mapArea_.width() * 0.5 / zoom_) : 0;
  const int64_t y = narrowY ? int64_t{p.y} - static_cast<int64_t>(mapArea_.height() * 0.5 / zoom_) : 0;
  scrollX_ = static_cast<int32_t>(std::clamp<int64_t>(x, 0, scrollMaxX_));
  scrollY_ = static_cast<int32_t>(std::clamp<int64_t>(y, 0, scrollMaxY_));
  SyncScrollBars();
  RedrawMap();
}

MapPixel MapPage::PixelAt(QPoint pagePos) const {
  return {static_cast<int32_t>((pagePos.x() - mapArea_.left()) / zoom_) + scrollX_,
          static_cast<int32_t>((pagePos.y() - mapArea_.top()) / zoom_) + scrollY_};
}

QPoint MapPage::MapPointOf(MapPixel p) const {
  const double x = std::clamp((static_cast<double>(p.x) - scrollX_) * zoom_, -kDrawLimit, kDrawLimit);
  const double y = std::clamp((static_cast<double>(p.y) - scrollY_) * zoom_, -kDrawLimit, kDrawLimit);
  return {static_cast<int>(x), static_cast<int>(y)};
}

bool MapPage::InVisibleRect(MapPixel p) const {
  return p.IsSet() && p.x >= scrollX_ && p.y >= scrollY_ && int64_t{p.x} < int64_t{scrollX_} + VisibleWidth() &&
         int64_t{p.y} < int64_t{scrollY_} + VisibleHeight();
}

QRect MapPage::ButtonRect(Button b) const {
  const int w = mapArea_.width(), h = mapArea_.height();
  const int bottom = h - kButtonBottomGap[static_cast<size_t>(b)];
  return QRect(w - kButtonRightGap - kButtonSize, bottom - kButtonSize, kButtonSize, kButtonSize);
}

ToolbarState MapPage::toolbarState() const {
  ToolbarState s;
  s.zoomIn = zoom_ < kMaxMapZoom;
  s.zoomOut = zoom_ > kMinMapZoom;
  s.pageMenu = true;
  return s;
}

void MapPage::UpdateToolbar() {
  if (IsActivePage()) host_.SetToolbarState(toolbarState());
}

void MapPage::Zoom(bool zoomIn) {
  if (document_.IsBlankMap()) {
    if (document_.BlankMapZoom(zoomIn)) {
      ++calibrationGeneration_;
      OnPositionUpdated();
    }
    return;
  }
  const MapPixel centre{scrollX_ + static_cast<int32_t>(mapArea_.width() * 0.5 / zoom_),
                        scrollY_ + static_cast<int32_t>(mapArea_.height() * 0.5 / zoom_)};
  if (zoomIn && zoom_ < kMaxMapZoom) zoom_ *= 2.0;
  if (!zoomIn && zoom_ > kMinMapZoom) zoom_ *= 0.5;
  UpdateToolbar();
  UpdateScrollRanges();
  ClampScroll();
  CenterOnPixel(centre);
  char text[16];
  std::snprintf(text, sizeof text, zoom_ >= 1.0 ? "%.0fx" : zoom_ >= 0.5 ? "%.1fx" : "%.2fx", zoom_);
  flashText_ = QString::fromLatin1(text);
  zoomFlashTimer_.start(kZoomFlashMs);
  RedrawMap();
}

bool MapPage::OnPageKey(int key) {
  if (key == Qt::Key_Plus || key == Qt::Key_Equal) {
    Zoom(true);
    return true;
  }
  if (key == Qt::Key_Minus) {
    Zoom(false);
    return true;
  }
  return Page::OnPageKey(key);
}

void MapPage::OnActivate() {
  UpdateToolbar();
  Relayout();
  OnPositionUpdated();
}

// ---- Position and information line ----

void MapPage::OnFix(const Fix&, FixChanges changes) {
  if (!(changes & (kFixPosition | kFixMotion | kFixAltitude | kFixQuality))) return;
  if (IsActivePage()) OnPositionUpdated();
}

void MapPage::OnPositionUpdated() {
  const Fix& fix = host_.currentFix();
  const Settings& s = host_.settings().values();
  const MapCalibration& cal = document_.Calibration();
  positionPixel_ = cal.GeoToPixel(fix.position.latitude, fix.position.longitude);
  if (fix.valid && option(Key::MapCenterOn) && positionPixel_.IsSet() && positionPixel_.x >= 0 &&
      positionPixel_.y >= 0 && !tracking_ && !userScrolling_ && !waypointMovePending_ && !refMovePending_)
    CenterOnPixel(positionPixel_);
  RefreshInfoLine();
  course_ = fix.course;
  courseText_ = QString::number(static_cast<int>(std::lround(fix.course)));
  if (option(Key::MapShowSpeed)) speedText_ = Q(FormatSpeed(fix.speedKnots, s.speedUnit));
  if (option(Key::MapShowAltitude)) {
    const bool atZero = fix.position.latitude == 0.0 && fix.position.longitude == 0.0;
    altitudeText_ = Q(FormatAltitude(fix.altitude - (atZero ? 0 : s.altitudeOffset), s.distanceUnit));
  }
  PoiCommands* pois = host_.poiCommands();
  const bool atZero = fix.position.latitude == 0.0 && fix.position.longitude == 0.0;
  const int selected = pois ? pois->selectedIndex() : -1;
  if (option(Key::MapShowPoiInfo) && !atZero && pois && selected >= 0 &&
      static_cast<size_t>(selected) < pois->list().size()) {
    const PoiRecord& r = pois->list().at(static_cast<size_t>(selected));
    const double bearing =
        InitialBearing(fix.position.latitude, fix.position.longitude, r.latitude, r.longitude);
    char text[16];
    std::snprintf(text, sizeof text, "%.0f", bearing);
    poiBearingText_ = QString::fromLatin1(text);
    poiDirectionIndex_ = static_cast<int>(bearing / 45.0 + 0.5);
    if (poiDirectionIndex_ >= 8) poiDirectionIndex_ = 0;
    poiDistanceText_ = Q(FormatDistance(
        GreatCircleDistance(fix.position.latitude, fix.position.longitude, r.latitude, r.longitude), s.distanceUnit));
  } else {
    poiBearingText_ = poiDistanceText_ = QStringLiteral("-");
    poiDirectionIndex_ = 8;
  }
  RedrawMap();
}

QString MapPage::CoordinatesText(LatLon position) const {
  if (position.latitude == 0.0 || position.longitude == 0.0) return {};
  const CoordFormat format = host_.settings().values().coordFormat;
  const PositionText t = FormatPosition(DatumModeOf(host_.settings().values().accurateDatum), format,
                                        position.latitude, position.longitude, PositionLayout::TwoField);
  QString text = QStringLiteral("%1 %2 | %3 %4").arg(Q(t.label1), Q(t.value1), Q(t.label2), Q(t.value2));
  if (format == CoordFormat::UtmWgs84 || format == CoordFormat::UtmInternational)
    text += QStringLiteral(" | ") + Q(t.zone);
  return text;
}

void MapPage::RefreshInfoLine() {
  if (tracking_ || infoShowing_ || waypointMovePending_ || refMovePending_) return;
  const MapCalibration& cal = document_.Calibration();
  QString text;
  switch (cal.State()) {
    case CalibrationState::NoRefPoints:
      text = tr("Need 2 or more ref points");
      break;
    case CalibrationState::OneRefPoint:
      text = tr("Need 1 or more ref points");
      break;
    case CalibrationState::SharedValue:
      text = tr("Ref points 1 and 2 need different x, y, latitude and longitude");
      break;
    case CalibrationState::Calibrated: {
      const LatLon here = host_.currentFix().position;
      const MapPixel p = positionPixel_;
      if (here.latitude == 0.0 || here.longitude == 0.0)
        text.clear();
      else if (!p.IsSet() || p.x < 0 || p.y < 0 || int64_t{p.x} > int64_t{scrollMaxX_} + VisibleWidth() ||
               int64_t{p.y} > int64_t{scrollMaxY_} + VisibleHeight())
        text = tr("Location is outside map");
      else
        text = CoordinatesText(here);
      break;
    }
  }
  SetInfo(text, option(Key::MapShowPosition) || infoVisible_);
}

QString MapPage::infoText() const { return infoLine_->text(); }

void MapPage::SetInfo(const QString& text, bool show) {
  infoLine_->setText(text);
  infoVisible_ = show;
  infoLine_->setVisible(show);
}

void MapPage::HideInfoUnlessPosition() {
  if (!option(Key::MapShowPosition)) SetInfo(infoLine_->text(), false);
}

QString MapPage::DistanceText(double metres) const {
  return Q(FormatDistance(metres, host_.settings().values().distanceUnit));
}

QString MapPage::PathLengthText(double metres) const {
  char text[32];
  switch (host_.settings().values().distanceUnit) {
    case DistanceUnit::Imperial:
      std::snprintf(text, sizeof text, metres < kPathMilesSwitch ? "%.2f mi" : "%.1f mi", metres * kMetresToMiles);
      break;
    case DistanceUnit::Nautical:
      std::snprintf(text, sizeof text, metres < kPathNauticalSwitch ? "%.2f nm" : "%.1f nm",
                    metres * kMetresToNauticalMiles);
      break;
    case DistanceUnit::Metric:
    default:
      std::snprintf(text, sizeof text, metres < kPathKmSwitch ? "%.2f km" : "%.1f km", metres * kMetresToKm);
      break;
  }
  return QString::fromLatin1(text);
}

// ---- Mouse ----

QRect MapPage::PoiDropDownRect() const {
  // The drop-down square at the left of the POI box, in map points.
  const QFontMetrics fm(host_.palette().huge);
  const int h = TextSize(host_.palette().huge, speedText_).height();
  const int rowTop = mapArea_.height() - h - 6;
  const bool anyBox = option(Key::MapShowSpeed) || option(Key::MapShowDir) || option(Key::MapShowAltitude);
  const int top = anyBox ? rowTop - h : rowTop;
  const int bottom = anyBox ? rowTop : mapArea_.height() - 6;
  return QRect(QPoint(3, top), QPoint(13 - 1, bottom - 1));
}

int MapPage::RefPointNear(MapPixel p, int reach) const {
  for (int i = 0; i < kRefPointSlots; ++i) {
    const RefPoint r = document_.Calibration().RefPointAt(i);
    if (r.IsSet() && Near(p, r.x, r.y, reach)) return i;
  }
  return -1;
}

int MapPage::PoiNear(MapPixel p, int reach, bool) const {
  const PoiCommands* pois = host_.poiCommands();
  if (!pois || !document_.Calibration().IsCalibrated()) return -1;
  const auto& records = pois->list().records();
  for (size_t i = 0; i < records.size(); ++i) {
    const MapPixel m = document_.Calibration().GeoToPixel(records[i].latitude, records[i].longitude);
    if (Near(p, m.x, m.y, reach)) return static_cast<int>(i);
  }
  return -1;
}

void MapPage::FlashButton(Button b) {
  flashButton_ = b;
  buttonFlashTimer_.start(kButtonFlashMs);
  RedrawMap();
}

// The press keeps the pointer (Qt's implicit grab) until its release, also
// beyond the page. A dialog opened by the press (Ctrl+click) takes that
// release, so the drag is ended here when the button is already up again.
void MapPage::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  MousePress(event->position().toPoint(), event->modifiers() & Qt::ControlModifier);
  if (tracking_ && !(QGuiApplication::mouseButtons() & Qt::LeftButton)) MouseRelease(event->position().toPoint());
}

void MapPage::mouseMoveEvent(QMouseEvent* event) {
  if (tracking_ && !(event->buttons() & Qt::LeftButton)) {
    MouseRelease(event->position().toPoint());
    return;
  }
  MouseMove(event->position().toPoint());
}

void MapPage::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) MouseRelease(event->position().toPoint());
}

void MapPage::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) MouseDoubleClick(event->position().toPoint());
}

void MapPage::contextMenuEvent(QContextMenuEvent* event) {
  if (!mapArea_.contains(event->pos())) return;
  QMenu* menu = CreateContextMenu(event->pos());
  menu->exec(event->globalPos());
  delete menu;
}

void MapPage::MousePress(QPoint pos, bool ctrl) {
  const MapCalibration& cal = document_.Calibration();
  if (ctrl && cal.RefPointCount() < 2 && mapArea_.contains(pos)) {
    popupPoint_ = PixelAt(pos);
    AddRefPoint();
  } else {
    clickConsumed_ = false;
  }
  if (infoShowing_) {
    clickConsumed_ = true;
    HideInfoUnlessPosition();
  }
  if (waypointMovePending_ || refMovePending_) {
    FinishMove(PixelAt(pos));
    return;
  }
  if (!mapArea_.contains(pos)) return;
  infoShowing_ = false;
  const QPoint local = pos - mapArea_.topLeft();
  if (option(Key::MapShowPoiInfo) && PoiDropDownRect().contains(local)) {
    QMenu* menu = CreatePoiDropDownMenu();
    if (menu) {
      menu->exec(mapToGlobal(pos));
      delete menu;
    }
    return;
  }
  if (ButtonRect(kMenuButton).contains(local)) {
    FlashButton(kMenuButton);
    QMenu* menu = CreateOptionsMenu();
    menu->exec(mapToGlobal(pos));
    delete menu;
    return;
  }
  if (ButtonRect(kPlusButton).contains(local)) {
    FlashButton(kPlusButton);
    Zoom(true);
    return;
  }
  if (ButtonRect(kMinusButton).contains(local)) {
    FlashButton(kMinusButton);
    Zoom(false);
    return;
  }
  const MapPixel pixel = PixelAt(pos);
  if (ButtonRect(kModeButton).contains(local)) {
    mouseMode_ = static_cast<MouseMode>((static_cast<int>(mouseMode_) + 1) % 3);
    FlashButton(kModeButton);
    if (mouseMode_ != MouseMode::Path) return;
    SetInfo(QString(), true);
    infoShowing_ = true;
    clickConsumed_ = true;
    pressPoint_ = pixel;
  }
  // What lies under the click.
  QString hit;
  if (RefPointNear(pixel, kClickInfoReach) >= 0) hit = tr("Reference point");
  if (option(Key::MapShowPoi)) {
    const int poi = PoiNear(pixel, kClickInfoReach, true);
    if (poi >= 0) {
      PoiCommands* pois = host_.poiCommands();
      const PoiRecord& r = pois->list().at(static_cast<size_t>(poi));
      hit = QStringLiteral("%1. %2").arg(r.number).arg(Q(r.name));
      pois->SelectLocation(static_cast<size_t>(poi));
    }
  }
  if (markerPixel_.IsSet() && Near(pixel, markerPixel_.x, markerPixel_.y, kClickInfoReach)) hit = markerLabel_;
  if (!hit.isEmpty()) {
    infoShowing_ = true;
    clickConsumed_ = true;
    SetInfo(hit, true);
  }
  pressPoint_ = pixel;
  if (cal.RefPointCount() > 1 || mouseMode_ == MouseMode::Pan) {
    tracking_ = true;
    currentPoint_ = {};
    pressGeo_ = cal.PixelToGeo(pressPoint_.x, pressPoint_.y);
    if (mouseMode_ == MouseMode::Measure && hit.isEmpty()) SetInfo(infoLine_->text(), true);
  }
  RedrawMap();
}

bool MapPage::EdgeScrollStep(QPoint pos) {
  // Within 2 pixels of the left or top edge, or 3 of the right or bottom
  // edge, the view scrolls that way by up to 10 image pixels.
  int dx = 0, dy = 0;
  if (pos.x() <= mapArea_.left() + 2) dx = -std::min(kEdgeScrollStep, scrollX_);
  else if (pos.x() >= mapArea_.right() - 3) dx = std::min(kEdgeScrollStep, scrollMaxX_ - scrollX_);
  if (pos.y() <= mapArea_.top() + 2) dy = -std::min(kEdgeScrollStep, scrollY_);
  else if (pos.y() >= mapArea_.bottom() - 3) dy = std::min(kEdgeScrollStep, scrollMaxY_ - scrollY_);
  if (dx == 0 && dy == 0) return false;
  scrollX_ += dx;
  scrollY_ += dy;
  SyncScrollBars();
  return true;
}

void MapPage::OnEdgeTimer() {
  if (!tracking_ || mouseMode_ == MouseMode::Pan) {
    edgeTimer_.stop();
    return;
  }
  if (!EdgeScrollStep(edgePointer_)) {
    edgeTimer_.stop();
    return;
  }
  if (mouseMode_ == MouseMode::Measure)
    MeasureTo(edgePointer_);
  else
    PathTo(edgePointer_);
}

void MapPage::MeasureTo(QPoint pos) {
  currentPoint_ = PixelAt(pos);
  const LatLon to = document_.Calibration().PixelToGeo(currentPoint_.x, currentPoint_.y);
  if (!infoShowing_)
    SetInfo(DistanceText(GreatCircleDistance(pressGeo_.latitude, pressGeo_.longitude, to.latitude, to.longitude)),
            true);
  infoShowing_ = false;
  RedrawMap();
}

void MapPage::PathTo(QPoint pos) {
  currentPoint_ = PixelAt(pos);
  const MapPixel last = path_.empty() ? pressPoint_ : path_.back();
  if (!last.IsSet()) return;
  if (std::abs(int64_t{currentPoint_.x} - last.x) > kPathStep ||
      std::abs(int64_t{currentPoint_.y} - last.y) > kPathStep) {
    const MapCalibration& cal = document_.Calibration();
    if (path_.empty()) {
      path_.push_back(pressPoint_);
      lastPathGeo_ = cal.PixelToGeo(pressPoint_.x, pressPoint_.y);
    }
    path_.push_back(currentPoint_);
    const LatLon g = cal.PixelToGeo(currentPoint_.x, currentPoint_.y);
    pathLength_ += GreatCircleDistance(lastPathGeo_.latitude, lastPathGeo_.longitude, g.latitude, g.longitude);
    lastPathGeo_ = g;
  }
  SetInfo(PathLengthText(pathLength_), true);
  RedrawMap();
}

void MapPage::MouseMove(QPoint pos) {
  if (!tracking_) return;
  switch (mouseMode_) {
    case MouseMode::Pan: {
      currentPoint_ = PixelAt(pos);
      scrollX_ = static_cast<int32_t>(
          std::clamp<int64_t>(int64_t{scrollX_} + pressPoint_.x - currentPoint_.x, 0, scrollMaxX_));
      scrollY_ = static_cast<int32_t>(
          std::clamp<int64_t>(int64_t{scrollY_} + pressPoint_.y - currentPoint_.y, 0, scrollMaxY_));
      SyncScrollBars();
      RedrawMap();
      break;
    }
    case MouseMode::Measure:
      edgePointer_ = pos;
      if (EdgeScrollStep(pos) && !edgeTimer_.isActive()) edgeTimer_.start();
      MeasureTo(pos);
      break;
    case MouseMode::Path:
      edgePointer_ = pos;
      if (EdgeScrollStep(pos) && !edgeTimer_.isActive()) edgeTimer_.start();
      PathTo(pos);
      break;
  }
}

void MapPage::MouseRelease(QPoint pos) {
  edgeTimer_.stop();
  const MapPixel release = PixelAt(pos);
  if (mouseMode_ == MouseMode::Measure && pressPoint_.IsSet() && !clickConsumed_ &&
      std::abs(int64_t{release.x} - pressPoint_.x) <= kClickSlack &&
      std::abs(int64_t{release.y} - pressPoint_.y) <= kClickSlack)
    CenterOnPixel(release);
  if (mouseMode_ == MouseMode::Path) {
    path_.clear();
    pathLength_ = 0.0;
  }
  if (tracking_) {
    pressPoint_ = currentPoint_ = {};
    tracking_ = false;
    if (!infoShowing_) HideInfoUnlessPosition();
  }
  RefreshInfoLine();
  RedrawMap();
}

void MapPage::MouseDoubleClick(QPoint pos) {
  popupPoint_ = PixelAt(pos);
  if (RefPointNear(popupPoint_, kCommandReach) >= 0) EditRefPoint();
}

void MapPage::FinishMove(MapPixel target) {
  const MapCalibration& cal = document_.Calibration();
  if (refMovePending_) {
    refMovePending_ = false;
    RefPoint r = cal.RefPointAt(refMoveIndex_);
    r.x = target.x;
    r.y = target.y;
    document_.Calibration().SetRefPoint(refMoveIndex_, r);
    refMoveIndex_ = -1;
    CalibrationEdited();
    return;
  }
  waypointMovePending_ = false;
  PoiCommands* pois = host_.poiCommands();
  if (pois && waypointMoveIndex_ >= 0 && static_cast<size_t>(waypointMoveIndex_) < pois->list().size())
    pois->MoveLocation(static_cast<size_t>(waypointMoveIndex_), cal.PixelToGeo(target.x, target.y));
  waypointMoveIndex_ = -1;
  RefreshInfoLine();
  RedrawMap();
}

// ---- Menus ----

QMenu* MapPage::CreateContextMenu(QPoint pagePos) {
  popupPoint_ = PixelAt(pagePos);
  const MapCalibration& cal = document_.Calibration();
  const bool calibrated = cal.IsCalibrated();
  const bool blank = document_.IsBlankMap();
  const bool refNear = RefPointNear(popupPoint_, kCommandReach) >= 0;
  const bool showPoi = option(Key::MapShowPoi);
  const bool poiNear = PoiNear(popupPoint_, kCommandReach, false) >= 0;
  PoiCommands* pois = host_.poiCommands();
  ServiceCommands* service = host_.serviceCommands();
  auto* menu = new QMenu(this);
  auto add = [this](QMenu* m, const char* name, const QString& text, bool enabled, void (MapPage::*slot)()) {
    QAction* a = m->addAction(text, this, slot);
    a->setObjectName(QString::fromLatin1(name));
    a->setEnabled(enabled);
    return a;
  };
  QMenu* wp = menu->addMenu(tr("POI/Waypoints"));
  add(wp, "addWaypoint", tr("Add Waypoint"), pois && calibrated, &MapPage::AddWaypoint);
  add(wp, "editWaypoint", tr("Edit Waypoint"), pois && calibrated && showPoi && poiNear, &MapPage::EditWaypoint);
  add(wp, "moveWaypoint", tr("Move Waypoint"), pois && calibrated && (!showPoi || poiNear), &MapPage::MoveWaypoint);
  add(wp, "deleteWaypoint", tr("Delete Waypoint"), pois && calibrated && (!showPoi || poiNear),
      &MapPage::DeleteWaypoint);
  add(wp, "searchWaypoint", tr("Search Hopla"), pois && service && calibrated && (!showPoi || poiNear),
      &MapPage::SearchAtWaypoint);
  QMenu* ref = menu->addMenu(tr("Reference Points"));
  add(ref, "addRefPoint", tr("Add Ref Point"), !blank && cal.RefPointCount() < 3, &MapPage::AddRefPoint);
  add(ref, "editRefPoint", tr("Edit Ref Point"), !blank && refNear, &MapPage::EditRefPoint);
  add(ref, "moveRefPoint", tr("Move Ref Point"), !blank && refNear, &MapPage::MoveRefPoint);
  add(ref, "deleteRefPoint", tr("Delete Ref Point"), !blank && refNear, &MapPage::DeleteRefPoint);
  add(menu, "showCoordinates", tr("Show Coordinates"), calibrated, &MapPage::ShowCoordinates);
  add(menu, "searchHere", tr("Search Hopla"), service && calibrated, &MapPage::SearchAtPoint);
  return menu;
}

QMenu* MapPage::CreateOptionsMenu() {
  auto* menu = new QMenu(this);
  const MapCalibration& cal = document_.Calibration();
  auto toggle = [&](QMenu* m, const char* name, const QString& text, Key key) {
    QAction* a = m->addAction(text, this, [this, key] { ToggleOption(key); });
    a->setObjectName(QString::fromLatin1(name));
    a->setCheckable(true);
    a->setChecked(option(key));
    return a;
  };
  QAction* centre = toggle(menu, "centerPosition", tr("Center P&osition"), Key::MapCenterOn);
  disconnect(centre, nullptr, this, nullptr);
  connect(centre, &QAction::triggered, this, &MapPage::ToggleCenterPosition);
  QMenu* refs = menu->addMenu(tr("Center Ref Point"));
  for (int i = 0; i < kRefPointSlots; ++i) {
    QAction* a = refs->addAction(QString::number(i + 1), this, [this, i] { CenterRefPoint(i); });
    a->setObjectName(QStringLiteral("centerRefPoint%1").arg(i + 1));
    a->setEnabled(cal.RefPointAt(i).IsSet());
  }
  menu->addSeparator();
  toggle(menu, "showPosition", tr("Show Posi&tion"), Key::MapShowPosition);
  toggle(menu, "showSpeed", tr("Show Speed"), Key::MapShowSpeed);
  toggle(menu, "showDirection", tr("Show Direction"), Key::MapShowDir);
  toggle(menu, "showAltitude", tr("Show Altitude"), Key::MapShowAltitude);
  menu->addSeparator();
  toggle(menu, "showPoi", tr("Show &POI"), Key::MapShowPoi);
  toggle(menu, "showPoiDirection", tr("Show POI Direction"), Key::MapShowPoiInfo);
  toggle(menu, "showPoiName", tr("Show POI Name"), Key::MapShowPoiName);
  toggle(menu, "showPoiRoute", tr("Show POI Route"), Key::MapShowRoute);
  toggle(menu, "showTripRoute", tr("Show Trip Route"), Key::MapShowTrip);
  menu->addSeparator();
  const LatLon here = host_.currentFix().position;
  QAction* blank = menu->addAction(tr("Use Blank Map"), this, &MapPage::UseBlankMap);
  blank->setObjectName(QStringLiteral("useBlankMap"));
  blank->setEnabled(!(here.latitude == 0.0 && here.longitude == 0.0));
  QAction* load = menu->addAction(tr("&Load Map"), this, &MapPage::AskLoadMap);
  load->setObjectName(QStringLiteral("loadMap"));
  return menu;
}

QMenu* MapPage::CreatePoiDropDownMenu() {
  PoiCommands* pois = host_.poiCommands();
  if (!pois) return nullptr;
  auto* menu = new QMenu(this);
  // Entries in file order; the tick and the choice refer to list() indices,
  // which the POI page's selection uses too, so they agree under any sort.
  const auto& records = pois->list().records();
  const int selected = pois->selectedIndex();
  for (size_t i = 0; i < records.size() && i < static_cast<size_t>(kPoiMenuLimit); ++i) {
    QAction* a = menu->addAction(Q(records[i].name), this, [this, i] {
      if (PoiCommands* p = host_.poiCommands(); p && i < p->list().size()) p->SelectLocation(i);
      OnPositionUpdated();
    });
    a->setObjectName(QStringLiteral("poi%1").arg(kPoiMenuFirstId + static_cast<int>(i)));
    a->setCheckable(true);
    a->setChecked(static_cast<int>(i) == selected);
  }
  return menu;
}

void MapPage::ShowPageMenu() {
  QMenu* menu = CreateOptionsMenu();
  menu->exec(QCursor::pos());
  delete menu;
}

// ---- Commands ----

void MapPage::ToggleOption(Key key) {
  if (!IsOptionKey(key)) return;
  if (key == Key::MapCenterOn) {
    ToggleCenterPosition();
    return;
  }
  if (key == Key::MapShowPosition) {
    if (!document_.Calibration().IsCalibrated()) return;
    options_[OptionIndex(key)] = !options_[OptionIndex(key)];
    SetInfo(infoLine_->text(), options_[OptionIndex(key)] || infoShowing_);
    RedrawMap();
    return;
  }
  options_[OptionIndex(key)] = !options_[OptionIndex(key)];
  OnPositionUpdated();  // the label texts of a box just turned on
}

void MapPage::ToggleCenterPosition() {
  bool& on = options_[OptionIndex(Key::MapCenterOn)];
  if (on) {
    on = false;
  } else {
    on = true;
    CenterOnPixel(positionPixel_);
  }
}

void MapPage::CenterRefPoint(int slot) {
  const RefPoint r = document_.Calibration().RefPointAt(slot);
  if (!r.IsSet()) return;
  options_[OptionIndex(Key::MapCenterOn)] = false;
  CenterOnPixel({r.x, r.y});
}

void MapPage::ShowCoordinates() {
  const MapCalibration& cal = document_.Calibration();
  if (!cal.IsCalibrated() || !popupPoint_.IsSet()) return;
  infoShowing_ = true;
  clickConsumed_ = true;
  SetInfo(CoordinatesText(cal.PixelToGeo(popupPoint_.x, popupPoint_.y)), true);
}

void MapPage::AddRefPoint() {
  MapCalibration& cal = document_.Calibration();
  if (cal.RefPointCount() >= kRefPointSlots || !popupPoint_.IsSet()) return;
  const MapPixel at = popupPoint_;
  const auto chosen = AskRefPoint(host_.currentFix().position);
  if (!chosen || (chosen->latitude == 0.0 && chosen->longitude == 0.0)) return;
  if (!cal.AddRefPoint(RefPoint{at.x, at.y, chosen->latitude, chosen->longitude})) return;
  infoShowing_ = false;
  CalibrationEdited();
}

void MapPage::EditRefPoint() {
  const int slot = RefPointNear(popupPoint_, kCommandReach);
  if (slot < 0) return;
  RefPoint r = document_.Calibration().RefPointAt(slot);
  const auto chosen = AskRefPoint(LatLon{r.latitude, r.longitude});
  if (!chosen) return;
  r.latitude = chosen->latitude;
  r.longitude = chosen->longitude;
  document_.Calibration().SetRefPoint(slot, r);
  CalibrationEdited();
}

void MapPage::MoveRefPoint() {
  const int slot = RefPointNear(popupPoint_, kCommandReach);
  if (slot < 0) return;
  SetInfo(tr("Click new position"), true);
  refMovePending_ = true;
  refMoveIndex_ = slot;
}

void MapPage::DeleteRefPoint() {
  if (!dialogs_.confirm || !dialogs_.confirm(tr("Delete this location?"))) return;
  const int slot = RefPointNear(popupPoint_, kCommandReach);
  if (slot < 0) return;
  document_.Calibration().DeleteRefPoint(slot);
  CalibrationEdited();
}

void MapPage::AddWaypoint() {
  const MapCalibration& cal = document_.Calibration();
  PoiCommands* pois = host_.poiCommands();
  if (!cal.IsCalibrated() || !pois || !popupPoint_.IsSet()) return;
  infoShowing_ = false;
  RefreshInfoLine();
  if (pois->AddLocation(cal.PixelToGeo(popupPoint_.x, popupPoint_.y))) RedrawMap();
}

void MapPage::EditWaypoint() {
  PoiCommands* pois = host_.poiCommands();
  const int index = PoiNear(popupPoint_, kCommandReach, true);
  if (!pois || index < 0) return;
  if (pois->EditLocation(static_cast<size_t>(index))) RedrawMap();
  infoShowing_ = false;
  RefreshInfoLine();
}

void MapPage::DeleteWaypoint() {
  PoiCommands* pois = host_.poiCommands();
  const int index = PoiNear(popupPoint_, kCommandReach, true);
  if (!pois || index < 0) return;
  if (pois->DeleteLocation(static_cast<size_t>(index))) RedrawMap();
  infoShowing_ = false;
  RefreshInfoLine();
}

void MapPage::MoveWaypoint() {
  PoiCommands* pois = host_.poiCommands();
  if (!pois || !document_.Calibration().IsCalibrated()) return;
  // The first entry of the page's list, in display order, within reach.
  for (size_t index : pois->displayOrder()) {
    if (index >= pois->list().size()) continue;
    const PoiRecord& r = pois->list().at(index);
    const MapPixel m = document_.Calibration().GeoToPixel(r.latitude, r.longitude);
    if (!Near(popupPoint_, m.x, m.y, kCommandReach)) continue;
    SetInfo(tr("Click new position"), true);
    waypointMovePending_ = true;
    waypointMoveIndex_ = static_cast<int>(index);
    return;
  }
}

void MapPage::SearchAtWaypoint() {
  PoiCommands* pois = host_.poiCommands();
  ServiceCommands* service = host_.serviceCommands();
  if (!pois || !service || !document_.Calibration().IsCalibrated()) return;
  infoShowing_ = false;
  RefreshInfoLine();
  const int index = PoiNear(popupPoint_, kCommandReach, true);
  if (index < 0) return;
  const PoiRecord& r = pois->list().at(static_cast<size_t>(index));
  service->Search(0, LatLon{r.latitude, r.longitude});
}

void MapPage::SearchAtPoint() {
  ServiceCommands* service = host_.serviceCommands();
  const MapCalibration& cal = document_.Calibration();
  if (!service || !cal.IsCalibrated() || !popupPoint_.IsSet()) return;
  service->Search(0, cal.PixelToGeo(popupPoint_.x, popupPoint_.y));
}

// ---- What other pages ask ----

bool MapPage::CenterOnPosition(LatLon position) {
  const MapCalibration& cal = document_.Calibration();
  if (!cal.IsCalibrated() || !image_.IsValid()) return false;
  const MapPixel p = cal.GeoToPixel(position.latitude, position.longitude);
  if (!p.IsSet() || p.x < 0 || p.y < 0 || p.x >= image_.Width() || p.y >= image_.Height()) return false;
  host_.ShowPage(kMapPage);
  options_[OptionIndex(Key::MapCenterOn)] = false;  // or the next fix takes the view back
  CenterOnPixel(p);
  return true;
}

void MapPage::ShowMarker(LatLon position, const std::string& label) { ShowMarker(position, label, true); }

void MapPage::ShowMarker(LatLon position, const std::string& label, bool activate) {
  if (label.empty()) {
    markerPixel_ = {};
    markerGeo_ = {};
    markerLabel_.clear();
    RedrawMap();
    return;
  }
  if (activate && !IsActivePage()) host_.ShowPage(kMapPage);
  markerGeo_ = position;
  markerPixel_ = document_.Calibration().GeoToPixel(position.latitude, position.longitude);
  markerLabel_ = Q(label).left(kMaxMarkerLabel);
  options_[OptionIndex(Key::MapCenterOn)] = false;
  CenterOnPixel(markerPixel_);
  RedrawMap();
}

void MapPage::PoisChanged() { RedrawMap(); }

// ---- Painting ----

void MapPage::RedrawMap() { update(mapArea_); }

void MapPage::PaintPage(QPainter& painter, const QRect&) {
  RenderMap();
  painter.drawImage(mapArea_.topLeft(), surface_);
}

void MapPage::PaintImageLayer() {
  const int w = mapArea_.width(), h = mapArea_.height();
  const LayerKey key{imageGeneration_, scrollX_, scrollY_, w, h, zoom_};
  if (key == layerKey_ && imageLayer_.size() == QSize(w, h)) return;
  layerKey_ = key;
  if (imageLayer_.size() != QSize(w, h)) imageLayer_ = QImage(w, h, QImage::Format_RGB32);
  if (!image_.IsValid()) {
    imageLayer_.fill(kBackground);
    return;
  }
  const ImageRect source{scrollX_, scrollY_, VisibleWidth(), VisibleHeight()};
  auto* bits = reinterpret_cast<uint32_t*>(imageLayer_.bits());
  if (!image_.ScaleRegion(source, w, h, bits, static_cast<size_t>(imageLayer_.bytesPerLine()))) {
    imageLayer_.fill(kBackground);
    return;
  }
  // Transparent picture pixels, and the room beyond a picture smaller than
  // the view, show the background. An opaque picture only needs the strips
  // right of and below its edge filled.
  if (image_.Layout() != PixelLayout::Argb32) {
    const int right = static_cast<int>(std::ceil((image_.Width() - source.x) * zoom_));
    const int bottom = static_cast<int>(std::ceil((image_.Height() - source.y) * zoom_));
    if (right < w || bottom < h) {
      QPainter strips(&imageLayer_);
      if (right < w) strips.fillRect(QRect(std::max(0, right), 0, w - std::max(0, right), h), kBackground);
      if (bottom < h) strips.fillRect(QRect(0, std::max(0, bottom), w, h - std::max(0, bottom)), kBackground);
    }
    return;
  }
  const uint32_t br = static_cast<uint32_t>(kBackground.red()), bg = static_cast<uint32_t>(kBackground.green()),
                 bb = static_cast<uint32_t>(kBackground.blue());
  const uint32_t background = 0xFF000000u | (br << 16) | (bg << 8) | bb;
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(imageLayer_.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const uint32_t px = row[x];
      const uint32_t a = px >> 24;
      if (a == 0xFF) continue;
      if (a == 0) {
        row[x] = background;
        continue;
      }
      auto mix = [a](uint32_t c, uint32_t b) { return (c * a + b * (255 - a) + 127) / 255; };
      row[x] = 0xFF000000u | (mix((px >> 16) & 0xFF, br) << 16) | (mix((px >> 8) & 0xFF, bg) << 8) |
               mix(px & 0xFF, bb);
    }
  }
}

const QImage& MapPage::RenderMap() {
  PaintImageLayer();
  // The surface keeps its memory from one repaint to the next (a new 8 MB
  // buffer per repaint costs its page faults again), unless someone still
  // holds the last picture.
  if (surface_.size() != imageLayer_.size() || surface_.format() != imageLayer_.format() || !surface_.isDetached())
    surface_ = QImage(imageLayer_.size(), imageLayer_.format());
  surfaceBits_ = surface_.bits();
  std::memcpy(surfaceBits_, imageLayer_.constBits(), static_cast<size_t>(imageLayer_.sizeInBytes()));
  QPainter p(&surface_);
  PaintRefPoints(p);
  PaintPoiRoute(p);
  PaintTrack(p);
  PaintMarker(p);
  PaintPois(p);
  PaintPath(p);
  PaintButtons(p);
  PaintPositionArrow(p);
  PaintMeasureLine(p);
  PaintLabelBoxes(p);
  PaintZoomFlash(p);
  p.end();
  surfaceBits_ = nullptr;
  return surface_;
}

void MapPage::PaintRefPoints(QPainter& p) {
  for (int i = 0; i < kRefPointSlots; ++i) {
    const RefPoint r = document_.Calibration().RefPointAt(i);
    if (!r.IsSet()) continue;
    const QPoint at = MapPointOf({r.x, r.y});
    p.drawImage(at - QPoint(kSymbolSize / 2, kSymbolSize / 2), RefPointIcon());
  }
}

void MapPage::PaintPoiRoute(QPainter& p) {
  const PoiCommands* pois = host_.poiCommands();
  const MapCalibration& cal = document_.Calibration();
  if (!option(Key::MapShowRoute) || !cal.IsCalibrated() || !pois || pois->list().size() < 2) return;
  QPolygon line;
  for (const PoiRecord& r : pois->list().records()) line << MapPointOf(cal.GeoToPixel(r.latitude, r.longitude));
  p.setPen(host_.palette().blue3);
  p.drawPolyline(line);
}

void MapPage::UpdateTrackPixels() {
  const TrackOverlay* track = host_.trackOverlay();
  if (track == trackSource_ && track && track->trackRevision() == trackRevision_ &&
      calibrationGeneration_ == trackCalibration_)
    return;
  trackSource_ = track;
  trackCalibration_ = calibrationGeneration_;
  trackPixels_.clear();
  ++trackPixelsGeneration_;
  if (!track) return;
  trackRevision_ = track->trackRevision();
  const MapCalibration& cal = document_.Calibration();
  const auto& positions = track->trackPositions();
  trackPixels_.reserve(positions.size());
  for (const LatLon& pos : positions) trackPixels_.push_back(cal.GeoToPixel(pos.latitude, pos.longitude));
}

namespace {

// A 3-pixel-wide line from a to b written straight into a 32-bit surface
// of w x h pixels (the track and path pens): the segment is clipped to the
// surface first, then each step of the line sets three pixels across it.
// Much faster than the painter's wide-pen stroker for 100,000 segments.
// The line from a to b, both at least one pixel inside the surface's edge.
// Pixel is uint32_t for the surface, uint8_t for the track's mask.
template <typename Pixel>
void DrawWideSegmentInside(uchar* bits, qsizetype bytesPerLine, QPoint a, QPoint b, Pixel colour) {
  int ax = a.x(), ay = a.y();
  const int bx = b.x(), by = b.y();
  const int sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
  const int ex = std::abs(bx - ax), ey = std::abs(by - ay);
  const bool xMajor = ex >= ey;
  const qsizetype across = xMajor ? bytesPerLine : qsizetype{sizeof(Pixel)};
  int err = ex - ey;
  for (;;) {
    uchar* at = bits + ay * bytesPerLine + ax * qsizetype{sizeof(Pixel)};
    *reinterpret_cast<Pixel*>(at - across) = colour;
    *reinterpret_cast<Pixel*>(at) = colour;
    *reinterpret_cast<Pixel*>(at + across) = colour;
    if (ax == bx && ay == by) break;
    const int e2 = 2 * err;
    if (e2 > -ey) {
      err -= ey;
      ax += sx;
    }
    if (e2 < ex) {
      err += ex;
      ay += sy;
    }
  }
}

template <typename Pixel>
void DrawWideSegment(uchar* bits, qsizetype bytesPerLine, int w, int h, QPoint a, QPoint b, Pixel colour) {
  if (a.x() >= 1 && a.y() >= 1 && b.x() >= 1 && b.y() >= 1 && a.x() < w - 1 && b.x() < w - 1 && a.y() < h - 1 &&
      b.y() < h - 1) {
    DrawWideSegmentInside(bits, bytesPerLine, a, b, colour);
    return;
  }
  // Liang-Barsky clipping against the surface widened by the pen.
  double x0 = a.x(), y0 = a.y(), x1 = b.x(), y1 = b.y();
  const double dx = x1 - x0, dy = y1 - y0;
  double t0 = 0.0, t1 = 1.0;
  const double pq[4][2] = {{-dx, x0 + 1.0}, {dx, w - x0}, {-dy, y0 + 1.0}, {dy, h - y0}};
  for (const auto& [pp, q] : pq) {
    if (pp == 0.0) {
      if (q < 0.0) return;
      continue;
    }
    const double r = q / pp;
    if (pp < 0.0) {
      if (r > t1) return;
      t0 = std::max(t0, r);
    } else {
      if (r < t0) return;
      t1 = std::min(t1, r);
    }
  }
  int ax = static_cast<int>(std::lround(x0 + t0 * dx)), ay = static_cast<int>(std::lround(y0 + t0 * dy));
  const int bx = static_cast<int>(std::lround(x0 + t1 * dx)), by = static_cast<int>(std::lround(y0 + t1 * dy));
  auto put = [&](int x, int y) {
    if (x >= 0 && y >= 0 && x < w && y < h) reinterpret_cast<Pixel*>(bits + y * bytesPerLine)[x] = colour;
  };
  const int sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
  const int ex = std::abs(bx - ax), ey = std::abs(by - ay);
  const bool xMajor = ex >= ey;
  int err = ex - ey;
  for (;;) {
    if (xMajor) {
      put(ax, ay - 1);
      put(ax, ay);
      put(ax, ay + 1);
    } else {
      put(ax - 1, ay);
      put(ax, ay);
      put(ax + 1, ay);
    }
    if (ax == bx && ay == by) break;
    const int e2 = 2 * err;
    if (e2 > -ey) {
      err -= ey;
      ax += sx;
    }
    if (e2 < ex) {
      err += ex;
      ay += sy;
    }
  }
}

}  // namespace

void MapPage::PaintChain(const std::vector<MapPixel>& chain, uint32_t colour) {
  size_t first = chain.size();
  for (size_t i = 1; i < chain.size(); ++i) {
    if (InVisibleRect(chain[i])) {
      first = i;
      break;
    }
  }
  if (first >= chain.size() || surfaceBits_ == nullptr) return;
  // From segment first-1 -> first on, every segment is drawn; those lying
  // wholly beyond one side of the view cannot show and are left out before
  // any conversion to map points (the test is on picture pixels, against the
  // view widened by the pen and a pixel of rounding), and a segment that
  // stays on the screen pixel the previous one ended on costs nothing.
  const int w = surface_.width(), h = surface_.height();
  const qsizetype bpl = surface_.bytesPerLine();
  constexpr int kPad = 2;
  const auto margin = static_cast<int64_t>(std::ceil((kPad + 1) / zoom_)) + 1;
  const int64_t left = int64_t{scrollX_} - margin, top = int64_t{scrollY_} - margin;
  const int64_t right = int64_t{scrollX_} + VisibleWidth() + margin;
  const int64_t bottom = int64_t{scrollY_} + VisibleHeight() + margin;
  auto outcode = [&](MapPixel q) {
    return (q.x < left ? 1 : 0) | (q.x > right ? 2 : 0) | (q.y < top ? 4 : 0) | (q.y > bottom ? 8 : 0);
  };
  MapPixel prevPixel = chain[first - 1];
  int prevCode = outcode(prevPixel);
  QPoint prev;
  bool prevDrawn = false;  // prev is the map point where the last drawn segment ended
  for (size_t i = first; i < chain.size(); ++i) {
    const MapPixel pixel = chain[i];
    if (!pixel.IsSet()) continue;
    const int code = outcode(pixel);
    if (chain[i - 1].IsSet() && (code & prevCode) == 0) {
      if (!prevDrawn) prev = MapPointOf(prevPixel);
      const QPoint cur = MapPointOf(pixel);
      if (!prevDrawn || cur != prev) DrawWideSegment(surfaceBits_, bpl, w, h, prev, cur, colour);
      prev = cur;
      prevDrawn = true;
    } else {
      prevDrawn = false;
    }
    prevPixel = pixel;
    prevCode = code;
  }
}

void MapPage::PaintTrack(QPainter&) {
  if (!option(Key::MapShowTrip) || !document_.Calibration().IsCalibrated()) return;
  UpdateTrackPixels();
  if (trackPixels_.size() < 2) return;
  const uint32_t colour = host_.palette().red3.color().rgb();
  if (!PaintTrackFromMask(colour)) PaintChain(trackPixels_, colour);
}

bool MapPage::PaintTrackFromMask(uint32_t colour) {
  // Below zoom 1 the whole picture may be in view and every point of a long
  // track with it; drawing them all at each repaint costs more than a frame.
  // So the track is drawn once per zoom into a mask of the whole zoomed
  // picture, and each repaint copies the mask's visible part. Points land on
  // the mask's pixel grid, within a pixel of where the direct drawing puts
  // them. Not for zoom 1 and above: the mask would be too large.
  if (zoom_ >= 1.0 || surfaceBits_ == nullptr) return false;
  constexpr int kPad = 2;  // the pen's half-width and a pixel of rounding
  const int64_t maskW = static_cast<int64_t>(std::ceil(image_.Width() * zoom_)) + 2 * kPad;
  const int64_t maskH = static_cast<int64_t>(std::ceil(image_.Height() * zoom_)) + 2 * kPad;
  if (maskW * maskH > kTrackMaskLimit) return false;
  // As the direct drawing: from the first segment that ends in view on.
  size_t first = trackPixels_.size();
  for (size_t i = 1; i < trackPixels_.size(); ++i) {
    if (InVisibleRect(trackPixels_[i])) {
      first = i;
      break;
    }
  }
  if (first >= trackPixels_.size()) return true;
  const TrackMaskKey key{trackPixelsGeneration_, zoom_, first};
  if (!(key == trackMaskKey_) || trackMask_.size() != static_cast<size_t>(maskW * maskH)) {
    trackMask_.assign(static_cast<size_t>(maskW * maskH), 0);
    trackMaskKey_ = key;
    const int w = static_cast<int>(maskW), h = static_cast<int>(maskH);
    auto onMask = [&](MapPixel q) {
      return QPoint(static_cast<int>(std::floor(q.x * zoom_)) + kPad, static_cast<int>(std::floor(q.y * zoom_)) + kPad);
    };
    QPoint prev = onMask(trackPixels_[first - 1]);
    bool prevSet = trackPixels_[first - 1].IsSet();
    for (size_t i = first; i < trackPixels_.size(); ++i) {
      if (!trackPixels_[i].IsSet()) {
        prevSet = false;
        continue;
      }
      const QPoint cur = onMask(trackPixels_[i]);
      if (prevSet && cur != prev) DrawWideSegment<uint8_t>(trackMask_.data(), w, w, h, prev, cur, uint8_t{1});
      prev = cur;
      prevSet = true;
    }
  }
  // The surface's pixel (0, 0) shows the picture's pixel (scrollX_, scrollY_).
  const int64_t originX = static_cast<int64_t>(std::floor(scrollX_ * zoom_)) + kPad;
  const int64_t originY = static_cast<int64_t>(std::floor(scrollY_ * zoom_)) + kPad;
  const int w = surface_.width(), h = surface_.height();
  const qsizetype bpl = surface_.bytesPerLine();
  for (int y = 0; y < h; ++y) {
    const int64_t my = originY + y;
    if (my < 0 || my >= maskH) continue;
    const int64_t fromX = std::max<int64_t>(0, -originX), toX = std::min<int64_t>(w, maskW - originX);
    const uint8_t* mask = trackMask_.data() + my * maskW;
    auto* row = reinterpret_cast<uint32_t*>(surfaceBits_ + y * bpl);
    for (int64_t x = fromX; x < toX; ++x) {
      if (mask[originX + x]) row[x] = colour;
    }
  }
  return true;
}

void MapPage::PaintMarker(QPainter& p) {
  if (!markerPixel_.IsSet() || !document_.Calibration().IsCalibrated() || !InVisibleRect(markerPixel_)) return;
  p.drawImage(MapPointOf(markerPixel_) - QPoint(kSymbolSize / 2, kSymbolSize / 2), MarkerIcon());
}

void MapPage::PaintPois(QPainter& p) {
  const PoiCommands* pois = host_.poiCommands();
  const MapCalibration& cal = document_.Calibration();
  if (!option(Key::MapShowPoi) || !cal.IsCalibrated() || !pois) return;
  const bool names = option(Key::MapShowPoiName);
  if (names && poiLabels_.size() > kPoiLabelCacheLimit) poiLabels_.clear();
  for (const PoiRecord& r : pois->list().records()) {
    if (r.hidden) continue;
    const MapPixel m = cal.GeoToPixel(r.latitude, r.longitude);
    if (!InVisibleRect(m)) continue;
    const QPoint at = MapPointOf(m);
    p.drawImage(at - QPoint(kSymbolSize / 2, kSymbolSize / 2), PoiIcon());
    if (names) {
      const std::string& name = r.abbreviation.empty() ? r.name : r.abbreviation;
      const int top = static_cast<int>(at.y() - 20.8);
      p.drawImage(QPoint(at.x(), top), PoiLabel(name));
    }
  }
}

const QImage& MapPage::PoiLabel(const std::string& name) {
  // A POI's name, black on white in the POI name font, at most eight
  // characters, rendered once and kept: a thousand names cost a thousand
  // small copies per repaint instead of a thousand text layouts.
  auto it = poiLabels_.find(name);
  if (it != poiLabels_.end()) return it->second;
  const QString text = Q(name).left(kPoiNameChars);
  const QFont& font = host_.palette().normal;
  const QFontMetrics fm(font);
  QImage label(std::max(1, fm.horizontalAdvance(text)), fm.height(), QImage::Format_RGB32);
  label.fill(Qt::white);
  {
    QPainter p(&label);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QPoint(0, fm.ascent()), text);
  }
  return poiLabels_.emplace(name, std::move(label)).first->second;
}

void MapPage::PaintPath(QPainter&) {
  if (path_.size() < 2 || !document_.Calibration().IsCalibrated()) return;
  PaintChain(path_, host_.palette().green3.color().rgb());
}

void MapPage::PaintButtons(QPainter& p) {
  const std::array<ButtonPicture, 4> pictures{ButtonPicture::Menu, ButtonPicture::Plus, ButtonPicture::Minus,
                                              static_cast<ButtonPicture>(3 + static_cast<int>(mouseMode_))};
  for (int b = 0; b < 4; ++b) {
    const QRect r = ButtonRect(static_cast<Button>(b));
    if (b == flashButton_) {
      QImage inverted = ButtonImage(pictures[static_cast<size_t>(b)]).convertToFormat(QImage::Format_ARGB32);
      inverted.invertPixels(QImage::InvertRgb);
      p.drawImage(r.topLeft(), inverted);
    } else {
      p.drawImage(r.topLeft(), ButtonImage(pictures[static_cast<size_t>(b)]));
    }
  }
}

void MapPage::PaintPositionArrow(QPainter& p) {
  if (!positionPixel_.IsSet()) return;
  const QPoint at = MapPointOf(positionPixel_);
  DrawPositionArrow(p, at.x(), at.y(), kArrowLength, kArrowBack, course_, host_.palette().red,
                    host_.palette().darkRed);
}

void MapPage::PaintMeasureLine(QPainter& p) {
  if (!tracking_ || mouseMode_ != MouseMode::Measure || !currentPoint_.IsSet() || !pressPoint_.IsSet()) return;
  p.setPen(QPen(Qt::black, 1));
  const QPoint a = MapPointOf(pressPoint_), b = MapPointOf(currentPoint_);
  DrawLine(p, a.x(), a.y(), b.x(), b.y());
}

void MapPage::PaintLabelBoxes(QPainter& p) {
  const bool speed = option(Key::MapShowSpeed), dir = option(Key::MapShowDir), alt = option(Key::MapShowAltitude),
             poi = option(Key::MapShowPoiInfo);
  if (!speed && !dir && !alt && !poi) return;
  const Palette& pal = host_.palette();
  const QFont& font = pal.huge;
  p.setFont(font);
  p.setBackgroundMode(Qt::TransparentMode);
  const QFontMetrics fm(font);
  const int h = TextSize(font, speedText_).height();
  const int H = mapArea_.height();
  const int top = H - h - 6, bottom = H - 6;
  auto box = [&](int l, int r, int t, int b, const QBrush& fill, const QPen& outline) {
    p.fillRect(QRect(QPoint(l, t), QPoint(r - 1, b - 1)), fill);
    p.setPen(outline);
    DrawLine(p, l, t, r, t);
    DrawLine(p, l, b - 1, r + 1, b - 1);
    DrawLine(p, l, t, l, b - 1);
    DrawLine(p, r, t, r, b - 1);
  };
  int x = 2;
  bool any = false;
  const std::array<std::pair<bool, const QString*>, 3> boxes{
      {{speed, &speedText_}, {dir, &courseText_}, {alt, &altitudeText_}}};
  for (const auto& [shown, text] : boxes) {
    if (!shown) continue;
    any = true;
    const int l = x, r = l + fm.horizontalAdvance(*text) + 5;
    box(l, r, top, bottom, pal.navy, pal.lavender1);
    p.setPen(Qt::white);
    p.drawText(QPoint(l + 3, top + fm.ascent()), *text);
    x = r;
  }
  if (!poi) return;
  const int pb = any ? top : bottom;
  const int pt = pb - h;
  const int L = 2;
  const int d = fm.horizontalAdvance(poiDistanceText_), b = fm.horizontalAdvance(poiBearingText_);
  box(L, d + b + 42, pt, pb, pal.lavender, pal.navy1);
  p.setPen(pal.navy1);
  for (int sx : {L + 14, L + d + 19, L + d + b + 24}) DrawLine(p, sx, pt, sx, pb - 1);
  p.drawImage(QPoint(L + 3, pt + 6), DropDownMark());
  p.setPen(Qt::white);
  p.drawText(QPoint(L + 17, pt + fm.ascent()), poiDistanceText_);
  p.drawText(QPoint(L + d + 22, pt + fm.ascent()), poiBearingText_);
  p.drawImage(QPoint(L + d + b + 28, pt + 6), DirectionArrow(poiDirectionIndex_));
}

void MapPage::PaintZoomFlash(QPainter& p) {
  if (flashText_.isEmpty()) return;
  const QFont& font = host_.palette().huge;
  p.setFont(font);
  const QFontMetrics fm(font);
  const int tw = fm.horizontalAdvance(flashText_);
  p.setPen(Qt::black);
  p.setBackground(Qt::white);
  p.setBackgroundMode(Qt::OpaqueMode);
  p.drawText(QPoint(mapArea_.width() - 16 - tw, 1 + fm.ascent()), flashText_);
  p.setBackgroundMode(Qt::TransparentMode);
}

}  // namespace tarvo
