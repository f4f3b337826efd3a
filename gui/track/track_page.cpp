#include "gui/track/track_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "core/gps/connection_controller.h"
#include "gui/window/dialogs.h"
#include "gui/window/page_host.h"
#include "gui/window/settings_model.h"

namespace tarvo {
namespace {

constexpr char kTrackFileFilter[] = "NMEA Files (*.nmea)|*.nmea|All Files (*.*)|*.*||";
constexpr char kGpxFileFilter[] = "GPX Files (*.gpx)|*.gpx|All Files (*.*)|*.*||";

QString Q(const std::string& s) { return QString::fromStdString(s); }

// "..." and the name from the last "/" on, or the whole path without one.
QString FileText(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return QStringLiteral("...") + Q(slash == std::string::npos ? path : path.substr(slash));
}

}  // namespace

TrackSettings LoadTrackSettings(const SettingsModel& settings, const std::string& dataFolder) {
  TrackSettings t;
  t.active = settings.pageValue(Key::TripActive) != 0;
  t.intervalSeconds = settings.pageValue(Key::TripTime);
  t.minDistance = settings.pageValue(Key::TripMinDist);
  t.units = settings.pageValue(Key::TripUnits);
  // The stored file, else "Track0001.nmea" in the user's data folder.
  t.path = settings.pagePath(Key::TripFile).string();
  if (t.path.empty()) t.path = (std::filesystem::path(dataFolder) / kDefaultTrackFileName).string();
  return t;
}

void SaveTrackSettings(SettingsModel& settings, const TrackSettings& track) {
  settings.SetPageValues({{Key::TripActive, track.active ? 1 : 0},
                          {Key::TripTime, track.intervalSeconds},
                          {Key::TripUnits, track.units},
                          {Key::TripMinDist, track.minDistance}});
  settings.SetPageText(Key::TripFile, track.path);
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
  QLabel::mousePressEvent(event);
}

TrackPage::TrackPage(PageHost& host, TrackRecorder& recorder)
    : Page(host, kTrackPage, QStringLiteral("Trip")), recorder_(recorder) {
  dialogs_.askNewFile = [this](QString& path) { return AskSaveFile(this, path, kTrackFileFilter); };
  dialogs_.askLoadFile = [this](QString& path) { return AskOpenFile(this, path, kTrackFileFilter); };
  dialogs_.askExportFile = [this](QString& path) { return AskSaveFile(this, path, kGpxFileFilter); };
  dialogs_.confirmReset = [this](const QString& path) {
    return QMessageBox::question(this, tr("Track Recorder"), tr("Delete the track file %1?").arg(path),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
  };
  dialogs_.message = [this](const QString& text) { QMessageBox::warning(this, tr("Track Recorder"), text); };
  BuildControls();
  connect(&host_.settings(), &SettingsModel::changed, this, [this](const std::vector<Key>& keys) {
    if (Contains(keys, Key::FmtDist) || Contains(keys, Key::FmtSpeed) || Contains(keys, Key::AltitudeOffset)) {
      RefreshTexts();
    }
  });
  RefreshTexts();
}

TrackPage::~TrackPage() { SaveTrackSettings(host_.settings(), recorder_.settings()); }

void TrackPage::BuildControls() {
  auto* group = new QGroupBox(tr("Track Recorder"), this);
  auto* grid = new QGridLayout(group);
  active_ = new QCheckBox(tr("Activate track recorder"), group);
  active_->setObjectName(QStringLiteral("active"));
  grid->addWidget(active_, 0, 0, 1, 4);

  interval_ = new QComboBox(group);
  interval_->setObjectName(QStringLiteral("interval"));
  for (const TrackChoice& c : kTrackIntervals) interval_->addItem(tr(c.text), c.value);
  minDistance_ = new QComboBox(group);
  minDistance_->setObjectName(QStringLiteral("minDistance"));
  for (const TrackChoice& c : kTrackMinDistances) minDistance_->addItem(tr(c.text), c.value);
  grid->addWidget(new QLabel(tr("Save every:"), group), 1, 0);
  grid->addWidget(interval_, 1, 1, 1, 2);
  grid->addWidget(new QLabel(tr("Min distance:"), group), 2, 0);
  grid->addWidget(minDistance_, 2, 1, 1, 2);
  file_ = new QLabel(group);
  file_->setObjectName(QStringLiteral("file"));
  grid->addWidget(new QLabel(tr("File:"), group), 3, 0);
  grid->addWidget(file_, 3, 1, 1, 3);

  auto* buttons = new QHBoxLayout;
  const auto button = [&](const QString& text, const char* name, void (TrackPage::*command)()) {
    auto* b = new QPushButton(text, group);
    b->setObjectName(QString::fromLatin1(name));
    connect(b, &QPushButton::clicked, this, command);
    buttons->addWidget(b);
  };
  button(tr("New"), "new", &TrackPage::NewTrack);
  button(tr("Load"), "load", &TrackPage::LoadTrack);
  button(tr("Reset"), "reset", &TrackPage::ResetTrack);
  button(tr("Export GPX"), "exportGpx", &TrackPage::ExportGpx);
  buttons->addStretch(1);
  grid->addLayout(buttons, 4, 0, 1, 4);

  auto* line = new QFrame(group);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  grid->addWidget(line, 5, 0, 1, 4);

  const auto value = [&](int row, const QString& label, QLabel* v, const char* name) {
    v->setObjectName(QString::fromLatin1(name));
    grid->addWidget(new QLabel(label, group), row, 0);
    grid->addWidget(v, row, 1);
  };
  items_ = new QLabel(group);
  distance_ = new ClickLabel(group);
  time_ = new QLabel(group);
  speed_ = new ClickLabel(group);
  altitude_ = new QLabel(group);
  value(6, tr("Items:"), items_, "items");
  value(7, tr("Distance:"), distance_, "distance");
  value(8, tr("Time:"), time_, "time");
  grid->addWidget(new QLabel(tr("(HH:MM:SS)"), group), 8, 2);
  value(9, tr("Avg. Speed:"), speed_, "speed");
  value(10, tr("Altitude:"), altitude_, "altitude");
  grid->setColumnStretch(3, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addStretch(1);

  active_->setChecked(recorder_.isActive());
  interval_->setCurrentIndex(TrackIntervalIndex(recorder_.settings().intervalSeconds));
  minDistance_->setCurrentIndex(TrackMinDistanceIndex(recorder_.settings().minDistance));
  RefreshFileText();

  connect(active_, &QCheckBox::clicked, this, [this] { ToggleRecorder(); });
  connect(interval_, &QComboBox::activated, this,
          [this](int index) { recorder_.SetIntervalSeconds(interval_->itemData(index).toInt()); });
  connect(minDistance_, &QComboBox::activated, this,
          [this](int index) { recorder_.SetMinDistance(minDistance_->itemData(index).toInt()); });
  connect(distance_, &ClickLabel::clicked, this, [this] {
    host_.settings().Change([](Settings& s) {
      s.distanceUnit = static_cast<DistanceUnit>((static_cast<int>(s.distanceUnit) + 1) % 3);
    });
  });
  connect(speed_, &ClickLabel::clicked, this, [this] {
    host_.settings().Change(
        [](Settings& s) { s.speedUnit = static_cast<SpeedUnit>((static_cast<int>(s.speedUnit) + 1) % 3); });
  });
}

void TrackPage::OnCreate() {
  recorder_.SetPositionSourceRmc(host_.settings().connection().useRmc);
  const bool wasActive = recorder_.isActive();
  if (!recorder_.RebuildStatistics(!wasActive) && wasActive) ShowOpenError();
  active_->setChecked(recorder_.isActive());
  RefreshTexts();
}

void TrackPage::OnActivate() {
  Page::OnActivate();
  RefreshTexts();
}

void TrackPage::OnFix(const Fix& /*fix*/, FixChanges /*changes*/) {
  if (IsActivePage() && !(recorder_.statistics() == shown_)) RefreshTexts();
}

void TrackPage::ShowOpenError() {
  active_->setChecked(false);
  dialogs_.message(tr("Error: cannot open file!") + QStringLiteral("\n") + Q(recorder_.lastError()));
}

void TrackPage::ToggleRecorder() {
  recorder_.SetPositionSourceRmc(host_.settings().connection().useRmc);
  if (recorder_.isActive()) {
    recorder_.SetActive(false);
  } else if (!recorder_.SetActive(true)) {
    ShowOpenError();
  }
  active_->setChecked(recorder_.isActive());
  RefreshTexts();
}

void TrackPage::NewTrack() {
  QString path = Q(recorder_.settings().path);
  if (!dialogs_.askNewFile(path)) return;
  if (!recorder_.New(path.toStdString())) ShowOpenError();
  active_->setChecked(recorder_.isActive());
  RefreshFileText();
  RefreshTexts();
}

void TrackPage::LoadTrack() {
  QString path = Q(recorder_.settings().path);
  if (!dialogs_.askLoadFile(path)) return;
  if (!recorder_.Load(path.toStdString())) ShowOpenError();
  active_->setChecked(recorder_.isActive());
  RefreshFileText();
  RefreshTexts();
}

void TrackPage::ResetTrack() {
  if (!dialogs_.confirmReset(Q(recorder_.settings().path))) return;
  if (!recorder_.Reset()) ShowOpenError();
  active_->setChecked(recorder_.isActive());
  RefreshTexts();
}

void TrackPage::ExportGpx() {
  std::string base = recorder_.settings().path;
  const std::size_t dot = base.rfind('.');
  if (dot != std::string::npos && base.find('/', dot) == std::string::npos) base.erase(dot);
  QString path = Q(base + ".gpx");
  if (!dialogs_.askExportFile(path)) return;
  if (!recorder_.ExportGpx(path.toStdString())) {
    dialogs_.message(tr("Error: cannot write file!") + QStringLiteral("\n") + Q(recorder_.lastError()));
  }
}

void TrackPage::RefreshFileText() { file_->setText(FileText(recorder_.settings().path)); }

void TrackPage::RefreshTexts() {
  const Settings& s = host_.settings().values();
  const TrackStatistics& st = recorder_.statistics();
  shown_ = st;
  items_->setText(QString::number(st.pointCount));
  distance_->setText(Q(TrackDistanceText(st.totalDistance, s.distanceUnit)));
  time_->setText(Q(TrackTimeText(st.elapsed)));
  speed_->setText(Q(TrackSpeedText(st.averageSpeed, s.speedUnit)));
  altitude_->setText(Q(TrackAltitudeText(st.minAltitude, st.maxAltitude, s.altitudeOffset, s.distanceUnit)));
}

}  // namespace tarvo
