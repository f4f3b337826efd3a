#include "gui/window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/gps/serial_ports.h"
#include "core/settings/hardware_rules.h"
#include "core/settings/paths.h"
#include "core/settings/settings_store.h"
#include "core/version.h"
#include "gui/window/about_page.h"
#include "gui/window/dialogs.h"
#include "gui/window/error_texts.h"
#include "gui/window/shipped_data.h"
#include "core/poi/poi_list.h"
#include "core/service/location_service_client.h"
#include "core/track/track_recorder.h"
#include "gui/hardware/hardware_page.h"
#include "gui/log/log_page.h"
#include "gui/map/map_page.h"
#include "gui/poi/poi_page.h"
#include "gui/satellites/satellites_page.h"
#include "gui/service/service_page.h"
#include "gui/service/service_reports.h"
#include "gui/status/status_page.h"
#include "gui/track/track_page.h"

namespace tarvo {

namespace {

QString FromView(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

bool IsTextEntry(QWidget* w) {
  return qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QTextEdit*>(w) ||
         qobject_cast<QPlainTextEdit*>(w);
}

}  // namespace

MainWindow::MainWindow(SettingsStore& store, WindowOptions options, QWidget* parent)
    : QDialog(parent), store_(store), options_(std::move(options)) {
  // The window's settings; they also give the fix records their start position.
  settings_ = std::make_unique<SettingsModel>(store_, LoadSettings(store_, options_.programPath), this);
  connect(settings_.get(), &SettingsModel::saveFailed, this, &MainWindow::SettingsSaveFailed);
  ConnectionSettings& connection = settings_->connection();
  savedEmulation_ = connection.emulation;
  savedEmulationSpeed_ = connection.emulationSpeed;
  savedReplayRealTime_ = connection.replayRealTime;
  controller_ = std::make_unique<ConnectionController>(*this, connection);
  if (options_.portFinder) {
    controller_->SetPortFinder(options_.portFinder);
  } else {
    controller_->SetPortFinder([] {
      const auto ports = EnumerateSerialPorts();
      return ports.empty() ? std::string() : ports.front().path;
    });
  }
  if (options_.serialOpener) controller_->SetSerialOpener(options_.serialOpener());
  // The stored position is shown until the receiver has a fix of its own.
  controller_->SetLastKnownPosition(settings_->values().defaultPosition);

  std::error_code error;
  const std::filesystem::path dataDir = UserDataDir(error);
  controller_->SetReplayPath((dataDir.empty() ? DataDirPath() : dataDir) / "Tarvo_Log.nmea");
  if (!options_.replayFile.isEmpty()) {
    connection.emulation = true;
    controller_->SetReplayPath(options_.replayFile.toStdString());
    if (options_.emulationSpeed > 0 || options_.replayRealTime > 0) {
      connection.emulationSpeed = options_.emulationSpeed > 0 ? options_.emulationSpeed : connection.emulationSpeed;
      connection.replayRealTime = options_.replayRealTime;
    }
    controller_->SetAskForReplayFile(false);
  }

  BuildWindow();
  qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  destroying_ = true;
  SaveSettings();
  // Pages save their own settings as they go; the log page closes its file.
  for (int i = kPageCount - 1; i >= 0; --i) {
    if (pages_[i]) controller_->RemoveListener(dynamic_cast<FixListener*>(pages_[i]));
  }
  controller_->RemoveListener(recorder_.get());
  controller_->RemoveListener(this);
  delete tabs_;
  tabs_ = nullptr;
  pages_ = {};
}

void MainWindow::BuildWindow() {
  setWindowTitle(FromView(kProgramName));
  setWindowIcon(QIcon(QStringLiteral(":/icons/tarvo.png")));
  setSizeGripEnabled(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 6);
  layout->setSpacing(4);

  toolbar_ = new QToolBar(this);
  toolbar_->setIconSize(QSize(16, 16));
  toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  const auto addTool = [this](const char* icon, const QString& tip, void (MainWindow::*slot)()) {
    QIcon picture(QString::fromLatin1(icon));
    picture.addFile(QString::fromLatin1(icon).replace(QLatin1String(".png"), QLatin1String("-disabled.png")),
                    QSize(), QIcon::Disabled);
    QAction* action = toolbar_->addAction(picture, tip);
    connect(action, &QAction::triggered, this, slot);
    return action;
  };
  zoomInAction_ = addTool(":/toolbar/zoom-in.png", tr("Zoom In"), &MainWindow::ZoomIn);
  zoomOutAction_ = addTool(":/toolbar/zoom-out.png", tr("Zoom Out"), &MainWindow::ZoomOut);
  pageMenuAction_ = addTool(":/toolbar/page-menu.png", tr("Page Menu"), &MainWindow::ShowPageMenu);
  exitAction_ = addTool(":/toolbar/exit.png", tr("Exit"), &MainWindow::reject);
  layout->addWidget(toolbar_);

  tabs_ = new QTabWidget(this);
  tabs_->setUsesScrollButtons(true);
  layout->addWidget(tabs_, 1);

  // Pages in construction order; they join the tabs in index order.
  pois_ = std::make_unique<PoiList>();
  serviceReports_ = std::make_unique<ServiceReports>();
  service_ = std::make_unique<LocationServiceClient>(*serviceReports_, ServicePage::DefaultResultsPagePath());
  std::error_code folderError;
  const std::filesystem::path userData = UserDataDir(folderError);
  recorder_ = std::make_unique<TrackRecorder>(
      LoadTrackSettings(*settings_, (userData.empty() ? DataDirPath() : userData).string()));
  trackOverlay_ = std::make_unique<RecorderTrackOverlay>(*recorder_);
  statusPage_ = new StatusPage(*this);
  mapPage_ = new MapPage(*this);
  poiPage_ = new PoiPage(*this, *pois_);
  poiPage_->mapImageSize = [this] { return QSize(mapPage_->image().Width(), mapPage_->image().Height()); };
  auto* satellites = new SatellitesPage(*this);
  trackPage_ = new TrackPage(*this, *recorder_);
  auto* hardware = new HardwarePage(*this);
  servicePage_ = new ServicePage(*this, *service_, *serviceReports_);
  connect(servicePage_, &ServicePage::uploadAttempted, this, [this] { controller_->SetLastUploadTime(NowUtc()); });
  auto* about = new AboutPage(*this);
  logPage_ = new LogPage(*this);
  for (Page* p : std::initializer_list<Page*>{statusPage_, mapPage_, poiPage_, satellites, trackPage_, hardware,
                                              servicePage_, logPage_, about}) {
    pages_[p->index()] = p;
  }
  for (Page* p : pages_) {
    if (p) AddPage(p);
  }
  // The recorder hears every fix itself, before the pages (the trip page
  // shows what it recorded); its lines become durable within the sync period
  // even while no new line arrives.
  controller_->AddListener(recorder_.get());
  auto* trackSync = new QTimer(this);
  connect(trackSync, &QTimer::timeout, this, [this] { recorder_->Sync(); });
  trackSync->start(static_cast<int>(kTrackSyncPeriodMs));
  for (Page* p : pages_) {
    if (auto* listener = dynamic_cast<FixListener*>(p)) controller_->AddListener(listener);
  }
  controller_->AddListener(this);
  // A stream that goes stale turns the light red with no sentence to redraw it.
  auto* lightTick = new QTimer(this);
  connect(lightTick, &QTimer::timeout, this, [this] {
    if (controller_->IsConnected()) RedrawStatusLed();
  });
  lightTick->start(1000);
  connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::OnTabChanged);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  connectButton_ = new QPushButton(tr("&Start"), this);
  exitButton_ = new QPushButton(tr("&Exit"), this);
  // Enter belongs to the field being typed in: the button is pressed by a
  // click, its Alt mnemonic, or Space while it has the focus.
  connectButton_->setDefault(false);
  connectButton_->setAutoDefault(false);
  exitButton_->setAutoDefault(false);
  connect(connectButton_, &QPushButton::clicked, this, [this] { controller_->ToggleConnection(); });
  connect(exitButton_, &QPushButton::clicked, this, &MainWindow::reject);
  buttons->addWidget(connectButton_);
  buttons->addWidget(exitButton_);
  layout->addLayout(buttons);

  // The least size at which every page fits: what a window manager holds the
  // window at. Below it (no window manager) the pages scroll.
  QList<QScrollArea*> scrolls;
  for (int i = 0; i < tabs_->count(); ++i) {
    auto* scroll = qobject_cast<QScrollArea*>(tabs_->widget(i));
    scroll->setMinimumSize(scroll->widget()->minimumSizeHint().expandedTo(QSize(0, 0)));
    scrolls << scroll;
  }
  const QSize least = minimumSizeHint();
  for (QScrollArea* scroll : scrolls) scroll->setMinimumSize(0, 0);
  setMinimumSize(least);
  resize(660, 520);
}

void MainWindow::AddPage(Page* page) {
  // A window made smaller than the pages can be shown (no window manager
  // holds it at its minimum size) scrolls the page instead of squeezing it,
  // so captions are never cut and drawings never overlap.
  auto* scroll = new QScrollArea(tabs_);
  scroll->setObjectName(page->objectName() + QStringLiteral("Scroll"));
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setWidget(page);
  tabs_->addTab(scroll, page->title());
}

int MainWindow::TabOf(const Page* page) const {
  for (int i = 0; i < tabs_->count(); ++i) {
    const auto* scroll = qobject_cast<QScrollArea*>(tabs_->widget(i));
    if (scroll && scroll->widget() == page) return i;
  }
  return -1;
}

void MainWindow::Start() {
  // Every page's window exists before the first line can arrive.
  // The map first: the POI page places its records on the map it loaded.
  for (int index : {kMapPage, kSatellitesPage, kHardwarePage, kPoiPage, kTrackPage, kServicePage, kLogPage,
                    kAboutPage, kStatusPage}) {
    if (pages_[index]) pages_[index]->OnCreate();
  }
  ActivatePage(kStatusPage);
  const bool replayNow = options_.startReplay && !options_.replayFile.isEmpty();
  if ((settings_->values().autoStart || replayNow) && options_.screenshotDir.isEmpty()) controller_->ToggleConnection();
}

Page* MainWindow::page(int index) const {
  return index >= 0 && index < kPageCount ? pages_[index] : nullptr;
}

Page* MainWindow::activePage() const {
  const auto* scroll = tabs_ ? qobject_cast<QScrollArea*>(tabs_->currentWidget()) : nullptr;
  return scroll ? qobject_cast<Page*>(scroll->widget()) : nullptr;
}

void MainWindow::ActivatePage(int index) {
  if (Page* p = page(index)) {
    if (activePage() == p) {
      OnTabChanged(tabs_->currentIndex());
    } else {
      tabs_->setCurrentIndex(TabOf(p));
    }
  }
}

void MainWindow::ActivateNextPage(int step) {
  Page* current = activePage();
  int index = current ? current->index() : 0;
  for (int i = 0; i < kPageCount; ++i) {
    index = (index + step + kPageCount) % kPageCount;
    if (pages_[index]) {
      ActivatePage(index);
      return;
    }
  }
}

void MainWindow::OnTabChanged(int) {
  Page* current = activePage();
  if (previousPage_ && previousPage_ != current) previousPage_->OnDeactivate();
  previousPage_ = current;
  if (current) {
    // A burst of lines may have ended a moment ago: show its last state.
    current->FlushPendingRefresh();
    current->OnActivate();
  }
}

void MainWindow::SetToolbarState(const ToolbarState& state) {
  zoomInAction_->setEnabled(state.zoomIn);
  zoomOutAction_->setEnabled(state.zoomOut);
  pageMenuAction_->setEnabled(state.pageMenu);
}

void MainWindow::ZoomIn() {
  if (Page* current = activePage()) current->Zoom(true);
}

void MainWindow::ZoomOut() {
  if (Page* current = activePage()) current->Zoom(false);
}

void MainWindow::ShowPageMenu() {
  if (Page* current = activePage()) current->ShowPageMenu();
}

void MainWindow::DrawStatusLed(QPainter& painter, int width) {
  QColor colour;
  switch (controller_->StatusLed()) {
    case ConnectionController::Led::Red:
      colour = palette_.red.color();
      break;
    case ConnectionController::Led::Yellow:
      colour = palette_.yellow.color();
      break;
    case ConnectionController::Led::Green:
      colour = palette_.green.color();
      break;
  }
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(colour);
  painter.drawEllipse(QRect(width - 14, 3, 10, 10));
  painter.restore();
}

void MainWindow::SettingsSaveFailed() {
  const int error = store_.lastError();
  const std::string message = "Cannot save the settings to " + store_.file().string() +
                              (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) +
                              ".\nThe changes stay in effect until Tarvo closes.";
  // One box at a time: pages saving while it is up say the same thing.
  if (options_.quiet || !options_.screenshotDir.isEmpty() || destroying_ || !isVisible() || saveFailureShowing_) {
    std::fprintf(stderr, "tarvo: %s\n", message.c_str());
    return;
  }
  saveFailureShowing_ = true;
  QMessageBox::warning(this, FromView(kProgramName), QString::fromStdString(message));
  saveFailureShowing_ = false;
}

int MainWindow::screenHeight() const {
  if (screenHeightOverride_ > 0) return screenHeightOverride_;
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->geometry().height() : 768;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this || !isActiveWindow()) return QDialog::eventFilter(watched, event);
  // Arrow keys that edit text stay with the text field.
  if (IsTextEntry(QApplication::focusWidget())) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  Page* current = activePage();
  if (current && current->OnPageKey(key->key())) return true;
  // On a small screen Up and Down belong to the pages only.
  if (screenHeight() < 320 && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) return true;
  return QDialog::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  controller_->Shutdown();
  // Saved while the window is still there to say when it fails.
  SaveSettings();
  QDialog::closeEvent(event);
}

void MainWindow::reject() {
  controller_->Shutdown();
  SaveSettings();
  QDialog::reject();
}

void MainWindow::SaveSettings() {
  if (saved_) return;
  saved_ = true;
  controller_->Shutdown();
  Settings saved = settings_->values();
  ConnectionSettings& c = saved.connection;
  // --replay chose simulation for this run only; a choice made on the
  // Hardware page since then is kept.
  if (!options_.replayFile.isEmpty() && c.emulation) c.emulation = savedEmulation_;
  // So did --speed, unless the Hardware page chose another pace since.
  if (!options_.replayFile.isEmpty() && (options_.emulationSpeed > 0 || options_.replayRealTime > 0) &&
      c.emulationSpeed == (options_.emulationSpeed > 0 ? options_.emulationSpeed : savedEmulationSpeed_) &&
      c.replayRealTime == options_.replayRealTime) {
    c.emulationSpeed = savedEmulationSpeed_;
    c.replayRealTime = savedReplayRealTime_;
  }
  // The last position that came with a fix: a run without one keeps the old.
  saved.defaultPosition = controller_->lastKnownPosition();
  if (!tarvo::SaveSettings(store_, saved)) SettingsSaveFailed();
}

// ---- ControllerHost ----

void MainWindow::SetConnected(bool connected) {
  connectButton_->setText(connected ? tr("&Stop") : tr("&Start"));
}

void MainWindow::ShowError(const ConnectionError& error) {
  const QString message = ConnectionErrorText(error);
  if (options_.quiet || !options_.screenshotDir.isEmpty()) {
    std::fprintf(stderr, "tarvo: %s\n", qPrintable(message));
    return;
  }
  QMessageBox::critical(this, FromView(kProgramName), message);
}

std::optional<std::string> MainWindow::AskReplayFile(const std::string& path) {
  QString chosen = QString::fromStdString(path);
  // Before the first log exists, offer the demo drive shipped with the program.
  if (!QFileInfo::exists(chosen)) {
    const QString shipped = ShippedDataDir(QCoreApplication::applicationDirPath());
    const QString demo = shipped + QStringLiteral("/demo/demo-drive.nmea");
    if (!shipped.isEmpty() && QFileInfo::exists(demo)) chosen = demo;
  }
  if (!AskOpenFile(this, chosen, kReplayFileFilter)) return std::nullopt;
  return chosen.toStdString();
}

MapCommands* MainWindow::mapCommands() { return mapPage_; }

ServiceCommands* MainWindow::serviceCommands() { return servicePage_; }

const TrackOverlay* MainWindow::trackOverlay() const { return trackOverlay_.get(); }

bool MainWindow::UploadPosition() { return servicePage_ && servicePage_->UploadPosition(controller_->fix()); }

PoiCommands* MainWindow::poiCommands() { return poiPage_; }

void MainWindow::RedrawStatusLed() {
  if (Page* p = activePage()) p->update(QRect(p->width() - 16, 0, 16, 16));
}

void MainWindow::OnFix(const Fix&, FixChanges changes) {
  if (changes & (kFixPosition | kFixQuality | kFixPrecision)) RedrawStatusLed();
}

void MainWindow::OnConnectionChanged(bool) { RedrawStatusLed(); }

void MainWindow::LogLine(std::string_view line) {
  if (logPage_) logPage_->LogLine(line);
}

void MainWindow::PostToMainThread(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

bool MainWindow::StartTimer(ConnectionTimer id, int periodMs) {
  QTimer*& timer = timers_[id];
  if (!timer) {
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, id] { controller_->OnTimer(id); });
  }
  timer->start(periodMs);
  return timer->isActive();
}

void MainWindow::StopTimer(ConnectionTimer id) {
  auto it = timers_.find(id);
  if (it != timers_.end() && it->second) it->second->stop();
}

int64_t MainWindow::NowUtc() { return static_cast<int64_t>(std::time(nullptr)); }

// ---- Screenshots ----

namespace {

// The name part of each page's picture, by page index: fixed, so the files
// are named alike whatever language the page titles are in.
QString ScreenshotName(int index) {
  static constexpr std::array<const char*, kPageCount> kNames = {
      "status", "map", "poi", "satellites", "trip", "hardware", "service", "log", "about"};
  return index >= 0 && index < kPageCount ? QString::fromLatin1(kNames[static_cast<size_t>(index)])
                                          : QString::number(index);
}

}  // namespace

bool MainWindow::SaveScreenshots(const QString& dir) {
  if (!QDir().mkpath(dir)) return false;
  bool ok = true;
  for (Page* p : pages_) {
    if (!p) continue;
    ActivatePage(p->index());
    QApplication::processEvents();
    // Refreshes gathered behind a timer would otherwise be missing from the picture.
    for (Page* q : pages_) {
      if (q) q->FlushPendingRefresh();
    }
    QApplication::processEvents();
    const QString name = QStringLiteral("%1/page-%2-%3.png").arg(dir).arg(p->index()).arg(ScreenshotName(p->index()));
    if (!grab().save(name)) {
      std::fprintf(stderr, "tarvo: cannot write %s\n", qPrintable(name));
      ok = false;
    } else {
      std::printf("%s\n", qPrintable(name));
    }
  }
  ActivatePage(kStatusPage);
  return ok;
}

int MainWindow::RunScreenshots() {
  settings_->connection().emulation = true;
  controller_->SetAskForReplayFile(false);
  controller_->ToggleConnection();
  int lines = 0;
  // Stop at the last line while still connected, so the pictures show a live fix.
  while (controller_->IsConnected() && controller_->IsReplay() && !controller_->ReplayAtEnd()) {
    if (!controller_->ReplayTick()) break;
    if (++lines % 500 == 0) QApplication::processEvents();
  }
  QApplication::processEvents();
  // With an account, the service page shows what Search answers at the end of the drive.
  if (servicePage_) servicePage_->SearchAndWait(LocationServiceClient::kTotalTimeout + std::chrono::seconds(1));
  const bool ok = SaveScreenshots(options_.screenshotDir);
  return ok ? 0 : 1;
}

}  // namespace tarvo
