#include "gui/status/status_page.h"

#include <QActionGroup>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include "core/geo/coord_format.h"
#include "core/geo/units.h"
#include "core/gps/connection_controller.h"
#include "core/gps/stream_health.h"
#include "core/settings/settings_store.h"
#include "gui/status/sky_plot.h"
#include "gui/window/datum_text.h"
#include "gui/window/settings_model.h"
#include "gui/status/compass.h"
#include "gui/status/flat_button.h"

namespace tarvo {

namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

void SetTextIfChanged(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QFont& font, Qt::Alignment align = Qt::AlignLeft) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(font);
  label->setAlignment(align | Qt::AlignVCenter);
  return label;
}

QFrame* MakeWhiteFrame(QWidget* parent, const char* name) {
  auto* frame = new QFrame(parent);
  frame->setObjectName(QString::fromLatin1(name));
  frame->setAutoFillBackground(true);
  QPalette pal = frame->palette();
  pal.setColor(QPalette::Window, Qt::white);
  frame->setPalette(pal);
  frame->setFrameShape(QFrame::NoFrame);
  return frame;
}

// Placeholder of a drawing: takes room in the layout, paints nothing.
QWidget* MakeArea(QWidget* parent, const char* name, QSize minimum) {
  auto* area = new QWidget(parent);
  area->setObjectName(QString::fromLatin1(name));
  area->setMinimumSize(minimum);
  area->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  area->setAttribute(Qt::WA_TransparentForMouseEvents);
  return area;
}

}  // namespace

// ---- SignalBarWidget ----

SignalBarWidget::SignalBarWidget(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

QColor SignalBarWidget::ColourOf(BarColour colour) {
  switch (colour) {
    case BarColour::Red:
      return QColor(255, 0, 0);
    case BarColour::Blue:
      return QColor(0, 0, 255);
    case BarColour::Green:
      return QColor(0, 192, 0);
    case BarColour::None:
      break;
  }
  return QColor(Qt::transparent);
}

void SignalBarWidget::SetBar(int value, BarColour colour) {
  if (value == value_ && colour == colour_) return;
  value_ = value;
  colour_ = colour;
  update();
}

void SignalBarWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  p.fillRect(frame, QColor(240, 240, 240));
  p.setPen(QColor(160, 160, 160));
  p.drawRect(frame);
  if (value_ <= 0 || colour_ == BarColour::None) return;
  const int inner = frame.height() - 1;
  const int h = std::min(value_, 50) * inner / 50;
  p.fillRect(QRect(frame.left() + 1, frame.bottom() - h, frame.width() - 1, h), ColourOf(colour_));
}

// ---- StatusPage ----

StatusPage::StatusPage(PageHost& host) : Page(host, kStatusPage, QStringLiteral("Status")) {
  setObjectName(QStringLiteral("statusPage"));
  courseCompassMode_ =
      host.settings().pageValue(Key::CourseCompassMode) == 1 ? CompassMode::CourseUp : CompassMode::NorthUp;
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 16, 8, 8);
  BuildFullLayout();
  BuildZoomLayout();
  smallScreenButton_ = new FlatButton(this);
  smallScreenButton_->setObjectName(QStringLiteral("smallScreenButton"));
  smallScreenButton_->hide();
  layout->addWidget(full_);
  layout->addWidget(zoom_);
  layout->addWidget(smallScreenButton_);
  zoom_->hide();
  refreshTimer_.setSingleShot(true);
  connect(&refreshTimer_, &QTimer::timeout, this, &StatusPage::FlushPendingRefresh);
  // The age of the fix and staleness change without any sentence arriving.
  connect(&healthTimer_, &QTimer::timeout, this, &StatusPage::RefreshHealth);
  healthTimer_.start(kHealthRefreshMs);
  connect(&host.settings(), &SettingsModel::changed, this, &StatusPage::OnSettingsChanged);
}

StatusPage::~StatusPage() {
  host_.settings().SetPageValues({{Key::CourseCompassMode, static_cast<int32_t>(courseCompassMode_)}});
}

void StatusPage::BuildFullLayout() {
  const Palette& pal = host_.palette();
  full_ = new QWidget(this);
  full_->setObjectName(QStringLiteral("fullLayout"));
  auto* grid = new QGridLayout(full_);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(8);

  // Frame 1: time and position.
  frames_[0] = MakeWhiteFrame(full_, "framePosition");
  {
    auto* v = new QVBoxLayout(frames_[0]);
    v->setContentsMargins(8, 4, 8, 6);
    auto* timeRow = new QHBoxLayout;
    timeCaption_ = MakeLabel(frames_[0], "timeCaption", pal.small);
    timeCaption_->setText(QStringLiteral("Date / Time"));
    time_ = MakeLabel(frames_[0], "time", pal.medium);
    timeRow->addWidget(timeCaption_);
    timeRow->addSpacing(8);
    timeRow->addWidget(time_, 1);
    v->addLayout(timeRow);

    positionGroup_ = new QGroupBox(QStringLiteral("Latitude / Longitude"), frames_[0]);
    positionGroup_->setObjectName(QStringLiteral("positionGroup"));
    positionGroup_->setFont(pal.large);
    positionGroup_->setFlat(true);
    auto* pg = new QGridLayout(positionGroup_);
    pg->setContentsMargins(6, 4, 6, 4);
    pg->setHorizontalSpacing(10);
    label1_ = MakeLabel(positionGroup_, "label1", pal.large);
    value1_ = MakeLabel(positionGroup_, "value1", pal.large, Qt::AlignRight);
    label2_ = MakeLabel(positionGroup_, "label2", pal.large);
    value2_ = MakeLabel(positionGroup_, "value2", pal.large, Qt::AlignRight);
    zone_ = MakeLabel(positionGroup_, "zone", pal.large);
    const int valueWidth = QFontMetrics(pal.large).horizontalAdvance(QStringLiteral("0000000.00 "));
    value1_->setMinimumWidth(valueWidth);
    value2_->setMinimumWidth(valueWidth);
    label1_->setMinimumWidth(QFontMetrics(pal.large).horizontalAdvance(QStringLiteral("W")));
    pg->addWidget(label1_, 0, 0);
    pg->addWidget(value1_, 0, 1);
    pg->addWidget(label2_, 1, 0);
    pg->addWidget(value2_, 1, 1);
    pg->addWidget(zone_, 0, 2, 2, 1);
    pg->setColumnStretch(3, 1);
    v->addWidget(positionGroup_);
  }
  grid->addWidget(frames_[0], 0, 0);

  // Frame 2: course, speed, altitude, fix mode and the compass-mode marker.
  frames_[1] = MakeWhiteFrame(full_, "frameMotion");
  {
    auto* h = new QHBoxLayout(frames_[1]);
    h->setContentsMargins(8, 4, 8, 4);
    h->setSpacing(6);
    auto* courseCaption = MakeLabel(frames_[1], "courseCaption", pal.small);
    courseCaption->setText(QStringLiteral("Course"));
    course_ = MakeLabel(frames_[1], "course", pal.medium);
    speedCaption_ = MakeLabel(frames_[1], "speedCaption", pal.small);
    speedCaption_->setText(QStringLiteral("Speed:"));
    speed_ = MakeLabel(frames_[1], "speed", pal.medium);
    altitudeCaption_ = MakeLabel(frames_[1], "altitudeCaption", pal.small);
    altitudeCaption_->setText(QStringLiteral("Alt:"));
    altitude_ = MakeLabel(frames_[1], "altitude", pal.medium);
    fixMode_ = MakeLabel(frames_[1], "fixMode", pal.medium);
    marker_ = MakeLabel(frames_[1], "marker", pal.small);
    const QFontMetrics fm(pal.medium);
    course_->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("360°")));
    speed_->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("99.99 knot")));
    altitude_->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("-99999 ft")));
    fixMode_->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("3D")));
    h->addWidget(courseCaption);
    h->addWidget(course_);
    h->addSpacing(6);
    h->addWidget(speedCaption_);
    h->addWidget(speed_);
    h->addSpacing(6);
    h->addWidget(altitudeCaption_);
    h->addWidget(altitude_);
    h->addStretch(1);
    h->addWidget(fixMode_);
    h->addWidget(marker_);
  }
  grid->addWidget(frames_[1], 1, 0);

  // Frame 3: satellites in view and in use, and the signal bars.
  frames_[2] = MakeWhiteFrame(full_, "frameSatellites");
  {
    auto* v = new QVBoxLayout(frames_[2]);
    v->setContentsMargins(8, 4, 8, 4);
    v->setSpacing(2);
    auto* counts = new QHBoxLayout;
    auto* viewCaption = MakeLabel(frames_[2], "satViewCaption", pal.small);
    viewCaption->setText(QStringLiteral("Sat View"));
    satView_ = MakeLabel(frames_[2], "satView", pal.medium);
    auto* useCaption = MakeLabel(frames_[2], "satUseCaption", pal.small);
    useCaption->setText(QStringLiteral("Sat Use"));
    satUse_ = MakeLabel(frames_[2], "satUse", pal.medium);
    counts->addWidget(viewCaption);
    counts->addWidget(satView_);
    counts->addSpacing(16);
    counts->addWidget(useCaption);
    counts->addWidget(satUse_);
    counts->addStretch(1);
    v->addLayout(counts);
    auto* barsGrid = new QGridLayout;
    barsGrid->setHorizontalSpacing(3);
    barsGrid->setVerticalSpacing(1);
    for (int i = 0; i < 12; ++i) {
      bars_[i] = new SignalBarWidget(frames_[2]);
      bars_[i]->setObjectName(QStringLiteral("bar%1").arg(i));
      prnLabels_[i] = MakeLabel(frames_[2], "prn", pal.small, Qt::AlignHCenter);
      prnLabels_[i]->setObjectName(QStringLiteral("prn%1").arg(i));
      prnLabels_[i]->setMinimumWidth(QFontMetrics(pal.small).horizontalAdvance(QStringLiteral("000")));
      barsGrid->addWidget(bars_[i], 0, i, Qt::AlignHCenter);
      barsGrid->addWidget(prnLabels_[i], 1, i);
    }
    barsGrid->setRowStretch(0, 1);
    v->addLayout(barsGrid, 1);
  }
  grid->addWidget(frames_[2], 2, 0);

  // Frame 4: the precision line.
  frames_[3] = MakeWhiteFrame(full_, "framePrecision");
  {
    auto* h = new QHBoxLayout(frames_[3]);
    h->setContentsMargins(8, 3, 8, 3);
    dopLine_ = MakeLabel(frames_[3], "dopLine", QFont(pal.normal));
    h->addWidget(dopLine_, 1);
    // A stale stream makes the precision above stale too: said beside it.
    stale_ = MakeLabel(frames_[3], "staleText", pal.medium, Qt::AlignRight);
    QPalette red = stale_->palette();
    red.setColor(QPalette::WindowText, pal.red.color());
    stale_->setPalette(red);
    h->addWidget(stale_);
  }
  grid->addWidget(frames_[3], 3, 0, 1, 2);

  // Frame 5: the stream's health.
  frames_[4] = MakeWhiteFrame(full_, "frameStream");
  BuildHealthFrame(frames_[4]);
  grid->addWidget(frames_[4], 4, 0, 1, 2);

  // The two drawings share the right-hand column and grow with the window.
  compassArea_ = MakeArea(full_, "compassArea", QSize(200, 200));
  skyArea_ = MakeArea(full_, "skyArea", QSize(150, 130));
  auto* drawings = new QVBoxLayout;
  drawings->setSpacing(4);
  drawings->addWidget(compassArea_, 3);
  drawings->addWidget(skyArea_, 2);
  grid->addLayout(drawings, 0, 1, 3, 1);
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);
  grid->setRowStretch(2, 1);
}

void StatusPage::BuildHealthFrame(QFrame* frame) {
  const Palette& pal = host_.palette();
  auto* h = new QHBoxLayout(frame);
  h->setContentsMargins(8, 3, 8, 3);
  h->setSpacing(6);
  const QFontMetrics fm(pal.normal);
  const auto pair = [&](const char* captionName, const QString& caption, const char* name, const QString& widest) {
    auto* c = MakeLabel(frame, captionName, pal.small);
    c->setText(caption);
    QLabel* value = MakeLabel(frame, name, pal.normal);
    value->setMinimumWidth(fm.horizontalAdvance(widest));
    h->addWidget(c);
    h->addWidget(value);
    h->addSpacing(8);
    return value;
  };
  rate_ = pair("rateCaption", QStringLiteral("Sentences"), "sentenceRate", QStringLiteral("999.9/s"));
  checksumErrors_ = pair("checksumCaption", QStringLiteral("Checksum errors"), "checksumErrors", QStringLiteral("99999"));
  fixAge_ = pair("fixAgeCaption", QStringLiteral("Fix age"), "fixAge", QStringLiteral("999 min"));
  lineSpeed_ = MakeLabel(frame, "lineSpeed", pal.normal);
  h->addWidget(lineSpeed_);
  h->addStretch(1);
}

void StatusPage::BuildZoomLayout() {
  const Palette& pal = host_.palette();
  zoom_ = new QWidget(this);
  zoom_->setObjectName(QStringLiteral("zoomLayout"));
  auto* h = new QHBoxLayout(zoom_);
  h->setContentsMargins(0, 0, 0, 0);
  auto* v = new QVBoxLayout;
  QFont big = PaletteFont(26, 800);
  line1_ = MakeLabel(zoom_, "line1", big);
  line2_ = MakeLabel(zoom_, "line2", big);
  zoomZone_ = MakeLabel(zoom_, "zoomZone", pal.huge);
  zoomSpeed_ = MakeLabel(zoom_, "zoomSpeed", big);
  zoomCourse_ = MakeLabel(zoom_, "zoomCourse", big);
  v->addStretch(1);
  v->addWidget(line1_);
  v->addWidget(line2_);
  v->addWidget(zoomZone_);
  v->addSpacing(16);
  v->addWidget(zoomSpeed_);
  v->addWidget(zoomCourse_);
  v->addStretch(1);
  h->addLayout(v, 1);
  zoomCompassArea_ = MakeArea(zoom_, "zoomCompassArea", QSize(220, 220));
  h->addWidget(zoomCompassArea_, 1);
}

void StatusPage::OnCreate() {
  marker_->setText(courseCompassMode_ == CompassMode::CourseUp ? tr("C") : QString());
  for (int i = 0; i < 12; ++i) {
    bars_[i]->SetBar(0, BarColour::None);
    prnLabels_[i]->clear();
  }
  satView_->setText(QStringLiteral("0"));
  RefreshPosition();
  RefreshCourseAndSpeed();
  RefreshAltitude();
  RefreshPrecision();
  RefreshHealth();
}

Page::ToolbarState StatusPage::toolbarState() const {
  ToolbarState state;
  state.zoomIn = !zoomedIn_;
  state.zoomOut = zoomedIn_;
  state.pageMenu = false;
  return state;
}

// ---- texts ----

void StatusPage::RefreshTime() {
  const bool local = host_.settings().values().timeDisplay == TimeDisplay::Local;
  time_->setText(Q(FixTimeText(host_.currentFix().time, local)));
}

void StatusPage::RefreshPosition() {
  const LatLon p = host_.currentFix().position;
  const CoordFormat format = host_.settings().values().coordFormat;
  const bool accurate = host_.settings().values().accurateDatum;
  const DatumMode mode = DatumModeOf(accurate);
  const PositionText two = FormatPosition(mode, format, p.latitude, p.longitude, PositionLayout::TwoField);
  label1_->setText(Q(two.label1));
  value1_->setText(Q(two.value1));
  label2_->setText(Q(two.label2));
  value2_->setText(Q(two.value2));
  zone_->setText(Q(two.zone));
  const PositionText one = FormatPosition(mode, format, p.latitude, p.longitude, PositionLayout::OneLine);
  line1_->setText(Q(one.line1));
  line2_->setText(Q(one.line2));
  if (format != tipFormat_ || accurate != tipAccurate_) {  // the description asks PROJ: only on a change
    tipFormat_ = format;
    tipAccurate_ = accurate;
    const QString tip = DatumModeShortText(accurate, format) + QLatin1Char('\n') + DatumModeDescription(accurate, format);
    for (QLabel* l : {label1_, value1_, label2_, value2_, line1_, line2_}) l->setToolTip(tip);
  }
  zoomZone_->setText(Q(one.zone));
  RefreshTime();
}

void StatusPage::RefreshCourseAndSpeed() {
  const Fix& fix = host_.currentFix();
  const QString course = Q(CourseText(fix.course));
  const QString speed = Q(FormatSpeed(fix.speedKnots, host_.settings().values().speedUnit));
  course_->setText(course);
  zoomCourse_->setText(course);
  speed_->setText(speed);
  zoomSpeed_->setText(speed);
}

void StatusPage::RefreshAltitude() {
  const Settings& s = host_.settings().values();
  altitude_->setText(Q(AltitudeText(host_.currentFix(), s.altitudeOffset, s.distanceUnit)));
}

void StatusPage::RefreshPrecision() {
  const Fix& fix = host_.currentFix();
  const Settings& s = host_.settings().values();
  fixMode_->setText(Q(FixModeText(fix)));
  dopLine_->setText(Q(DopLineText(fix, s.connection.filter.accuracyGps, s.distanceUnit)));
  satUse_->setText(QString::number(SatellitesUsed(fix)));
}

void StatusPage::RefreshUnits() {
  RefreshCourseAndSpeed();
  RefreshAltitude();
  RefreshPrecision();
}

void StatusPage::RefreshHealth() {
  const ConnectionController& controller = host_.controller();
  const bool connected = controller.IsConnected();
  const StreamHealthReport h = controller.streamHealth();
  const QString none = QStringLiteral("\u2013");
  SetTextIfChanged(rate_, connected ? Q(SentenceRateText(h.sentencesPerSecond)) : none);
  SetTextIfChanged(checksumErrors_, connected ? QString::number(h.checksumErrors) : none);
  SetTextIfChanged(fixAge_, connected ? Q(FixAgeText(h.fixAgeMs)) : none);
  SetTextIfChanged(lineSpeed_, Q(LineSpeedText(h)));
  SetTextIfChanged(stale_, Q(StaleText(h)));
  // The indicator turns red when the stream goes stale, with no sentence to redraw it.
  if (h.stale != shownStale_) {
    shownStale_ = h.stale;
    update(QRect(width() - 16, 0, 16, 16));
  }
}

void StatusPage::RefreshSatellites() {
  const SignalBars bars = SignalBarsOf(host_.currentFix().sky);
  for (int i = 0; i < 12; ++i) {
    bars_[i]->SetBar(bars.bars[i].value, bars.bars[i].colour);
    prnLabels_[i]->setText(Q(bars.bars[i].label));
  }
  satView_->setText(QString::number(bars.inView));
}

// ---- notifications ----

void StatusPage::Schedule(unsigned bits, bool urgent) {
  dirty_ |= bits;
  // A new position or course is shown at once unless one was shown a moment
  // ago; everything else joins the next refresh.
  const qint64 sinceUrgent = sinceUrgentRefresh_.isValid() ? sinceUrgentRefresh_.elapsed() : kMinUrgentRefreshMs;
  if (urgent && sinceUrgent >= kMinUrgentRefreshMs) {
    FlushPendingRefresh();
    sinceUrgentRefresh_.restart();
    return;
  }
  if (!refreshTimer_.isActive()) {
    const qint64 since = sinceRefresh_.isValid() ? sinceRefresh_.elapsed() : kMinRefreshMs;
    const qint64 wait = urgent ? kMinUrgentRefreshMs - sinceUrgent : kMinRefreshMs - since;
    refreshTimer_.start(static_cast<int>(std::max<qint64>(0, wait)));
  }
}

void StatusPage::FlushPendingRefresh() {
  refreshTimer_.stop();
  RefreshHealth();
  const unsigned bits = dirty_;
  dirty_ = 0;
  sinceRefresh_.restart();
  if (bits == 0) return;
  ++refreshCount_;
  if (bits & kDirtyPosition) RefreshPosition();
  if (bits & kDirtyCourse) {
    RefreshCourseAndSpeed();
    if (IsActivePage()) update(CompassImageRect());
  }
  if (bits & kDirtyAltitude) RefreshAltitude();
  if (bits & kDirtyPrecision) RefreshPrecision();
  if (bits & kDirtySatUse) satUse_->setText(QString::number(SatellitesUsed(host_.currentFix())));
  if (bits & kDirtySatellites) {
    RefreshSatellites();
    skyStale_ = true;
    if (IsActivePage() && !zoomedIn_) update(SkyImageRect());
  }
}

void StatusPage::OnFix(const Fix&, FixChanges changes) {
  unsigned bits = 0;
  if (changes & (kFixPosition | kFixTime)) bits |= kDirtyPosition;
  if (changes & kFixMotion) bits |= kDirtyCourse;
  if (changes & kFixAltitude) bits |= kDirtyAltitude;
  if (changes & kFixQuality) bits |= kDirtySatUse;
  if (changes & (kFixPrecision | kFixError)) bits |= kDirtyPrecision | kDirtySatUse;
  if (changes & kFixSky) bits |= kDirtySatellites | kDirtySatUse;
  // A new position or course is urgent; the rest joins the next refresh.
  Schedule(bits, (changes & (kFixPosition | kFixMotion)) != 0);
}

void StatusPage::OnSettingsChanged(const std::vector<Key>& keys) {
  if (Contains(keys, Key::FmtPos) || Contains(keys, Key::AccurateDatum)) RefreshPosition();
  if (Contains(keys, Key::FmtTime)) RefreshTime();
  if (Contains(keys, Key::FmtSpeed) || Contains(keys, Key::FmtDist) || Contains(keys, Key::AltitudeOffset) ||
      Contains(keys, Key::AccuracyGps)) {
    RefreshUnits();
  }
}

void StatusPage::OnConnectionChanged(bool) {
  RefreshHealth();
  update(QRect(width() - 16, 0, 16, 16));
}

// ---- layouts and keys ----

void StatusPage::Zoom(bool zoomIn) {
  lowerView_ = false;
  zoomedIn_ = zoomIn;
  if (zoomIn) {
    full_->hide();
    smallScreenButton_->hide();
    zoom_->show();
  } else {
    zoom_->hide();
    if (host_.screenHeight() > 319) {
      full_->show();
    } else {
      smallScreenButton_->show();
    }
  }
  host_.SetToolbarState(toolbarState());
  update();
}

bool StatusPage::OnPageKey(int key) {
  const bool upDown = key == Qt::Key_Up || key == Qt::Key_Down;
  if (zoomedIn_ && upDown) {
    Zoom(false);
    return true;
  }
  if (!zoomedIn_ && key == Qt::Key_Up && !lowerView_) {
    Zoom(true);
    return true;
  }
  if (host_.screenHeight() < 320 && !zoomedIn_) {
    if (key == Qt::Key_Down && !lowerView_) {
      lowerView_ = true;
      update();
      return true;
    }
    if (key == Qt::Key_Up && lowerView_) {
      lowerView_ = false;
      update();
      return true;
    }
  }
  return Page::OnPageKey(key);
}

// ---- clicks ----

bool StatusPage::Hit(QWidget* w, QPoint pagePos) const {
  if (!w || !w->isVisible()) return false;
  const QRect r(w->mapTo(this, QPoint(0, 0)), w->size());
  return r.contains(pagePos);
}

void StatusPage::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  ClickAt(event->position().toPoint());
}

void StatusPage::ClickAt(QPoint pos) {
  if (lowerView_) return;
  if (!zoomedIn_) {
    if (Hit(positionGroup_, pos)) {
      ShowFormatMenu(mapToGlobal(pos));
    } else if (Hit(speed_, pos) || Hit(speedCaption_, pos)) {
      CycleSpeedUnit();
    } else if (Hit(altitude_, pos) || Hit(altitudeCaption_, pos)) {
      CycleDistanceUnit();
    } else if (Hit(time_, pos) || Hit(timeCaption_, pos)) {
      host_.settings().Change([](Settings& s) {
        s.timeDisplay = s.timeDisplay == TimeDisplay::Local ? TimeDisplay::Utc : TimeDisplay::Local;
      });
    } else if (Hit(compassArea_, pos)) {
      ToggleCompassMode();
    }
    return;
  }
  if (Hit(line1_, pos) || Hit(line2_, pos)) {
    ShowFormatMenu(mapToGlobal(pos));
  } else if (Hit(zoomSpeed_, pos)) {
    CycleSpeedUnit();
  } else {
    ToggleCompassMode();
  }
}

void StatusPage::ToggleCompassMode() {
  courseCompassMode_ = courseCompassMode_ == CompassMode::CourseUp ? CompassMode::NorthUp : CompassMode::CourseUp;
  marker_->setText(courseCompassMode_ == CompassMode::CourseUp ? tr("C") : QString());
  update();
}

void StatusPage::CycleSpeedUnit() {
  host_.settings().Change([](Settings& s) { s.speedUnit = static_cast<SpeedUnit>((static_cast<int>(s.speedUnit) + 1) % 3); });
  WriteUnitSettings();
}

void StatusPage::CycleDistanceUnit() {
  host_.settings().Change(
      [](Settings& s) { s.distanceUnit = static_cast<DistanceUnit>((static_cast<int>(s.distanceUnit) + 1) % 3); });
  WriteUnitSettings();
}

void StatusPage::WriteUnitSettings() { host_.settings().Save({Key::FmtPos, Key::FmtSpeed, Key::FmtDist}); }

QMenu* StatusPage::CreateFormatMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("coordMenu"));
  auto* group = new QActionGroup(menu);
  group->setExclusive(true);
  for (const CoordFormat format : kAllCoordFormats) {
    // The grids after the three kinds of degrees.
    if (format == CoordFormat::UtmWgs84) menu->addSeparator();
    const std::string_view text = CoordFormatMenuText(format);
    QAction* action = menu->addAction(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    action->setCheckable(true);
    action->setChecked(format == host_.settings().values().coordFormat);
    action->setData(static_cast<int>(format));
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, format] { SetCoordFormat(format); });
  }
  return menu;
}

QMenu* StatusPage::CreateCoordMenu() {
  QMenu* menu = CreateFormatMenu();
  menu->addSeparator();
  QAction* accurate = menu->addAction(tr("Accurate datum (PROJ)"));
  accurate->setObjectName(QStringLiteral("accurateDatum"));
  accurate->setCheckable(true);
  accurate->setChecked(host_.settings().values().accurateDatum);
  connect(accurate, &QAction::toggled, this, &StatusPage::SetAccurateDatum);
  return menu;
}

void StatusPage::ShowFormatMenu(QPoint globalPos) {
  QMenu* menu = CreateCoordMenu();
  menu->exec(globalPos);
  delete menu;
}

void StatusPage::SetAccurateDatum(bool on) {
  host_.settings().Change([on](Settings& s) { s.accurateDatum = on; });
  host_.settings().Save({Key::AccurateDatum});
}

void StatusPage::SetCoordFormat(CoordFormat format) {
  host_.settings().Change([format](Settings& s) { s.coordFormat = format; });
  host_.settings().Save({Key::FmtPos});
}

// ---- drawing ----

StatusPage::DrawingGeometry StatusPage::drawingGeometry() const {
  DrawingGeometry g;
  const QFontMetrics small(host_.palette().small);
  const QFontMetrics medium(host_.palette().medium);
  const int wS = small.horizontalAdvance(QStringLiteral("W")), hS = small.height();
  const int wM = medium.horizontalAdvance(QStringLiteral("W")), hM = medium.height();
  // The compass and its letters fit inside their area.
  QWidget* area = zoomedIn_ ? zoomCompassArea_ : compassArea_;
  const QRect c(area->mapTo(this, QPoint(0, 0)), area->size());
  g.compassCentre = c.center();
  g.compassRadius = std::max(10, std::min(c.width() - 2 * (wS + 3), c.height() - 2 * (hS + 4)) / 2);
  const QRect s(skyArea_->mapTo(this, QPoint(0, 0)), skyArea_->size());
  g.skyCentre = s.center();
  g.skyRadius = std::max(10, std::min(s.width() - 2 * (wM + 2) - 1, s.height() - 2 * (hM - 1)) / 2);
  return g;
}

QRect StatusPage::CompassImageRect() const {
  const DrawingGeometry g = drawingGeometry();
  const QFontMetrics small(host_.palette().small);
  const int halfW = g.compassRadius + small.horizontalAdvance(QStringLiteral("W")) + 3;
  const int halfH = g.compassRadius + small.height() + 4;
  return QRect(g.compassCentre.x() - halfW, g.compassCentre.y() - halfH, 2 * halfW, 2 * halfH);
}

QRect StatusPage::SkyImageRect() const {
  const DrawingGeometry g = drawingGeometry();
  const QFontMetrics medium(host_.palette().medium);
  const int c = g.skyRadius + medium.horizontalAdvance(QStringLiteral("W")) + 2;
  const int b = g.skyRadius + medium.height() - 1;
  return QRect(g.skyCentre.x() - c, g.skyCentre.y() - b, 2 * c + 1, 2 * b);
}

void StatusPage::PaintPage(QPainter& painter, const QRect& dirty) {
  const Palette& pal = host_.palette();
  const DrawingGeometry g = drawingGeometry();
  const QColor face = palette().color(QPalette::Window);
  const bool full = !zoomedIn_ && full_->isVisible();
  if (full) {
    for (std::size_t i = 0; i < frames_.size(); ++i) {
      const QRect r(frames_[i]->mapTo(this, QPoint(0, 0)), frames_[i]->size());
      DrawFrameMarks(painter, r, i == 0, pal.navy);
    }
  }
  if (!lowerView_ && (zoomedIn_ || full) && dirty.intersects(CompassImageRect())) {
    const CompassKey key{g.compassRadius, host_.currentFix().course, courseCompassMode_, zoomedIn_};
    if (!(key == compassKey_) || compassImage_.isNull()) {
      compassImage_ = RenderCourseCompass(key.radius, key.course, key.mode, key.zoomedIn,
                                          pal, face);
      compassKey_ = key;
    }
    DrawCentred(painter, compassImage_, g.compassCentre);
  }
  if (full && dirty.intersects(SkyImageRect())) {
    if (skyStale_ || skyRadius_ != g.skyRadius || skyImage_.isNull()) {
      skyImage_ = RenderSkyPlot(g.skyRadius, host_.currentFix().sky, pal, face);
      skyRadius_ = g.skyRadius;
      skyStale_ = false;
    }
    DrawCentred(painter, skyImage_, g.skyCentre);
  }
  if (full) {
    // The compass copy may cover the first frame's right-hand mark.
    const QRect r(frames_[0]->mapTo(this, QPoint(0, 0)), frames_[0]->size());
    DrawFrameMarks(painter, r, true, pal.navy);
  }
}

}  // namespace tarvo
