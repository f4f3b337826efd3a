// The NMEA log page: the latest raw lines as they arrive, filtered by
// sentence type, optionally written to the log file.
#pragma once

#include <array>
#include <filesystem>
#include <string_view>

#include "core/gps/connection_controller.h"
#include "core/gps/nmea_log.h"
#include "gui/window/page.h"

class QCheckBox;
class QListWidget;
class QPushButton;
class QTimer;

namespace tarvo {

class LogPage : public Page, public FixListener {
  Q_OBJECT
 public:
  explicit LogPage(PageHost& host);
  ~LogPage() override;

  // Every received line, before it is parsed.
  void LogLine(std::string_view line);

  void OnCreate() override;
  void OnActivate() override;
  void OnDeactivate() override;
  // A connection starts or ends: saving that waited for a replay of the log
  // file to be over begins.
  void OnConnectionChanged(bool connected) override;

  // The check boxes' commands.
  void ToggleFilter(int bit);
  void ToggleSave();
  void Clear();

  int32_t logOptions() const { return logOptions_; }
  bool logSave() const { return logFile_.IsOpen(); }
  std::filesystem::path logPath() const;
  QListWidget* list() const { return list_; }
  int widestLine() const { return widestLine_; }

 private:
  bool OpenLogFile();
  // True while the connection replays `file`.
  bool IsReplaying(const std::filesystem::path& file) const;
  // True while `file` is replayed or is the one the next connect replays
  // (simulation mode with it as the replay file).
  bool IsOrWillBeReplayed(const std::filesystem::path& file) const;
  void ShowState();

  int32_t logOptions_ = 0;
  bool logSaveSetting_ = false;
  NmeaLogFile logFile_;
  int widestLine_ = 0;  // widest line shown so far; never reduced
  QListWidget* list_ = nullptr;
  std::array<QCheckBox*, 5> filters_{};
  QCheckBox* save_ = nullptr;
  QPushButton* clear_ = nullptr;
  QTimer* flushTimer_ = nullptr;
};

}  // namespace tarvo
