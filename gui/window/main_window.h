// The program's window: a toolbar, the pages as tabs, and the "&Start"/"&Stop"
// and "&Exit" buttons. It owns the connection to the receiver, the settings
// and the drawing palette, and binds the connection controller to Qt.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "core/gps/connection_controller.h"
#include "core/settings/settings.h"
#include "gui/window/page.h"
#include "gui/window/page_host.h"
#include "gui/window/palette.h"
#include "gui/window/settings_model.h"

class QAction;
class QPushButton;
class QTabWidget;
class QTimer;
class QToolBar;

namespace tarvo {

class PoiList;
class SettingsStore;
class StatusPage;

struct WindowOptions {
  QString replayFile;     // --replay: simulation with this file for this run only
  bool startReplay = false;  // connect to the replay at once (the --replay option)
  // --speed: replay pace for this run only; emulationSpeed 1..4 lines per
  // second, or replayRealTime 1, 2, 4, 8 (0 keeps the stored choice).
  int emulationSpeed = 0;
  int replayRealTime = 0;
  QString screenshotDir;  // --screenshot: replay at full speed, save every page, quit
  std::string programPath;
  bool quiet = false;     // errors go to standard error instead of message boxes
  // The port opened when "PortName" is empty, and what opens a port; unset:
  // the first port of the host, and a real serial link (tests pass others).
  std::function<std::string()> portFinder;
  std::function<std::unique_ptr<SerialOpener>()> serialOpener;
};

class MainWindow : public QDialog, public ControllerHost, public PageHost, public FixListener {
  Q_OBJECT
 public:
  MainWindow(SettingsStore& store, WindowOptions options, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The steps once the window exists: pages' windows, the first page, auto-connect.
  void Start();

  ConnectionController& controller() { return *controller_; }
  ReceiverState& state() { return controller_->state(); }
  SettingsStore& store() { return store_; }

  // PageHost
  const Fix& currentFix() const override { return controller_->fix(); }
  SettingsModel& settings() override { return *settings_; }
  const ConnectionController& controller() const override { return *controller_; }
  const Palette& palette() const override { return palette_; }
  bool IsActivePage(const Page* page) const override { return activePage() == page; }
  void ActivateNextPage(int step) override;
  void SetToolbarState(const ToolbarState& state) override;
  void DrawStatusLed(QPainter& painter, int width) override;
  int screenHeight() const override;
  void ShowPage(int index) override { ActivatePage(index); }
  MapCommands* mapCommands() override;
  PoiCommands* poiCommands() override;
  ServiceCommands* serviceCommands() override;
  const TrackOverlay* trackOverlay() const override;

  Page* page(int index) const;
  Page* activePage() const;
  void ActivatePage(int index);
  // The toolbar's commands.
  QAction* zoomInAction() const { return zoomInAction_; }
  QAction* zoomOutAction() const { return zoomOutAction_; }
  QAction* pageMenuAction() const { return pageMenuAction_; }
  QAction* exitAction() const { return exitAction_; }
  // A settings save failed: says so in a message box (on standard error when
  // quiet), naming the file and the reason.
  void SettingsSaveFailed();
  void SetScreenHeightForTest(int height) { screenHeightOverride_ = height; }

  QPushButton* connectButton() const { return connectButton_; }
  QPushButton* exitButton() const { return exitButton_; }
  // Saves each page as DIR/page-N-NAME.png; false when one could not be saved.
  bool SaveScreenshots(const QString& dir);
  // The replay of --screenshot: every line at once, then the pictures.
  int RunScreenshots();

  // ControllerHost
  void SetConnected(bool connected) override;
  void ShowError(const ConnectionError& error) override;
  std::optional<std::string> AskReplayFile(const std::string& path) override;
  void LogLine(std::string_view line) override;
  bool UploadPosition() override;
  void PostToMainThread(std::function<void()> task) override;
  bool StartTimer(ConnectionTimer timer, int periodMs) override;
  void StopTimer(ConnectionTimer timer) override;
  int64_t NowUtc() override;

  // FixListener: the status indicator follows the fix and the connection.
  void OnFix(const Fix& fix, FixChanges changes) override;
  void OnConnectionChanged(bool connected) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void BuildWindow();
  void AddPage(Page* page);
  int TabOf(const Page* page) const;  // -1 when the page has no tab
  // The toolbar's commands act on the active page.
  void ZoomIn();
  void ZoomOut();
  void ShowPageMenu();
  void OnTabChanged(int tab);
  void SaveSettings();
  void RedrawStatusLed();

  SettingsStore& store_;
  WindowOptions options_;
  std::unique_ptr<SettingsModel> settings_;
  bool savedEmulation_ = false;  // "bEmulation" as stored, kept when --replay overrides it
  int savedEmulationSpeed_ = 1;  // the stored replay pace, kept when --speed overrides it
  int savedReplayRealTime_ = 0;
  Palette palette_;
  std::unique_ptr<ConnectionController> controller_;
  std::array<Page*, kPageCount> pages_{};
  // What the pages share: the POI list the POI page shows and the map page
  // draws and edits; the location service (reports before the client, which
  // calls them); the track recorder and its picture for the map.
  std::unique_ptr<PoiList> pois_;
  std::unique_ptr<class ServiceReports> serviceReports_;
  std::unique_ptr<class LocationServiceClient> service_;
  std::unique_ptr<class TrackRecorder> recorder_;
  std::unique_ptr<TrackOverlay> trackOverlay_;
  StatusPage* statusPage_ = nullptr;
  class LogPage* logPage_ = nullptr;
  class MapPage* mapPage_ = nullptr;
  class PoiPage* poiPage_ = nullptr;
  class ServicePage* servicePage_ = nullptr;
  class TrackPage* trackPage_ = nullptr;

  QToolBar* toolbar_ = nullptr;
  QAction* zoomInAction_ = nullptr;
  QAction* zoomOutAction_ = nullptr;
  QAction* pageMenuAction_ = nullptr;
  QAction* exitAction_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QPushButton* connectButton_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  std::map<ConnectionTimer, QTimer*> timers_;
  Page* previousPage_ = nullptr;
  int screenHeightOverride_ = 0;
  bool saved_ = false;
  bool destroying_ = false;  // no message boxes from the destructor
  bool saveFailureShowing_ = false;
};

}  // namespace tarvo
