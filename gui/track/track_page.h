// The track page: the recorder's switch, its interval and minimum distance,
// the track file ("New", "Load", "Reset", "Export GPX") and the statistics of
// the track (points, distance, time, average speed, altitude range). The
// recorder itself lives in core and is owned by the window; the page shows
// and edits it, and passes the published fixes on to it.
#pragma once

#include <QLabel>
#include <functional>
#include <string>

#include "core/gps/fix.h"
#include "core/track/track_recorder.h"
#include "gui/window/page.h"
#include "gui/window/page_commands.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace tarvo {

class SettingsModel;

// The recorder's settings as stored: "TripActive", "TripTime", "TripMinDist",
// "TripFile" (empty: "Track0001.nmea" in `dataFolder`) and "TripUnits".
TrackSettings LoadTrackSettings(const SettingsModel& settings, const std::string& dataFolder);
void SaveTrackSettings(SettingsModel& settings, const TrackSettings& track);

// The track for the map: the recorder's point positions.
class RecorderTrackOverlay : public TrackOverlay {
 public:
  explicit RecorderTrackOverlay(const TrackRecorder& recorder) : recorder_(recorder) {}
  const std::vector<LatLon>& trackPositions() const override { return recorder_.positions(); }
  uint64_t trackRevision() const override { return recorder_.revision(); }

 private:
  const TrackRecorder& recorder_;
};

// A value text that reports a left click (the unit steps).
class ClickLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

class TrackPage : public Page, public FixListener {
  Q_OBJECT
 public:
  TrackPage(PageHost& host, TrackRecorder& recorder);
  // Writes the Trip* settings.
  ~TrackPage() override;

  // Reads the track file (opening it for appending while the recorder is on);
  // a file that cannot be opened is reported.
  void OnCreate() override;
  void OnActivate() override;

  // The recorder hears the fixes itself; the page shows what it recorded.
  void OnFix(const Fix& fix, FixChanges changes) override;

  // The user's choices, for tests to answer instead of modal dialogs.
  struct Dialogs {
    std::function<bool(QString& path)> askNewFile;     // save dialog for "New"
    std::function<bool(QString& path)> askLoadFile;    // open dialog for "Load"
    std::function<bool(QString& path)> askExportFile;  // save dialog for "Export GPX"
    std::function<bool(const QString& path)> confirmReset;
    std::function<void(const QString& text)> message;
  };
  Dialogs& dialogs() { return dialogs_; }

  // The commands of the buttons and check box.
  void ToggleRecorder();
  void NewTrack();
  void LoadTrack();
  void ResetTrack();
  void ExportGpx();
  // Refreshes every text from the recorder.
  void RefreshTexts();

 private:
  void BuildControls();
  void ShowOpenError();
  void RefreshFileText();

  TrackRecorder& recorder_;
  Dialogs dialogs_;
  QCheckBox* active_ = nullptr;
  QComboBox* interval_ = nullptr;
  QComboBox* minDistance_ = nullptr;
  QLabel* file_ = nullptr;
  QLabel* items_ = nullptr;
  ClickLabel* distance_ = nullptr;
  QLabel* time_ = nullptr;
  ClickLabel* speed_ = nullptr;
  QLabel* altitude_ = nullptr;
  TrackStatistics shown_;  // the statistics the texts show
};

}  // namespace tarvo
