// The GPS hardware settings page: where the lines come from (a serial port,
// gpsd, NMEA over TCP or UDP) with the port and line settings or the host and
// port, re-serving the lines to other programs, receiver type, simulation
// mode, the position source, units, coordinate format and the altitude
// offset. Its page menu opens the "GPS Accuracy" and "Tarvo
// Settings" dialogs. Every change goes into the window's settings at once.
#pragma once

#include <QDialog>
#include <filesystem>
#include <optional>
#include <vector>

#include "core/settings/hardware_rules.h"
#include "gui/window/page.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;

namespace tarvo {

// "GPS Accuracy": the accuracy filter and the minimum speed, in the display units.
class AccuracyDialog : public QDialog {
  Q_OBJECT
 public:
  AccuracyDialog(const FilterSettings& filter, int32_t fmtDist, int32_t fmtSpeed, QWidget* parent = nullptr);
  // The filter as typed (what OK stores).
  FilterSettings result() const;

  QCheckBox* enableBox() const { return enable_; }
  QLineEdit* precisionEdit() const { return precision_; }
  QLineEdit* minimumPrecisionEdit() const { return minimumPrecision_; }
  QLineEdit* minimumSpeedEdit() const { return minimumSpeed_; }

 private:
  int32_t fmtDist_;
  int32_t fmtSpeed_;
  QCheckBox* enable_ = nullptr;
  QLineEdit* precision_ = nullptr;
  QLineEdit* minimumPrecision_ = nullptr;
  QLineEdit* minimumSpeed_ = nullptr;
};

// "Tarvo Settings": connect when the program starts.
class SettingsDialog : public QDialog {
  Q_OBJECT
 public:
  explicit SettingsDialog(bool autoStart, QWidget* parent = nullptr);
  bool autoStart() const;
  QCheckBox* autoStartBox() const { return autoStart_; }

 private:
  QCheckBox* autoStart_ = nullptr;
};

class HardwarePage : public Page {
  Q_OBJECT
 public:
  // `portRoot` is the file-system root the ports are looked for in ("/"; a
  // folder tree in tests).
  explicit HardwarePage(PageHost& host, std::filesystem::path portRoot = "/");

  ToolbarState toolbarState() const override { return {false, false, true}; }
  void OnActivate() override;
  void OnDeactivate() override;
  // The popup with "GPS Accuracy" and "Other Settings"; the chosen dialog
  // opens after the menu has closed.
  void ShowPageMenu() override;
  // The dialogs, modal; true when closed with OK (the settings then changed).
  bool RunAccuracyDialog();
  bool RunOtherSettingsDialog();

  // Fills every control from the settings (done at each activation).
  void FillControls();
  void SetPortRoot(std::filesystem::path root) { portRoot_ = std::move(root); }
  // The ports as listed, in list order.
  const std::vector<PortItem>& portItems() const { return portItems_; }

 private:
  void BuildControls();
  void ShowEmulationEnabling();
  // The host and port fields of the chosen source kind, and the re-serve fields.
  void ShowSourceFields();
  void OnHostEdited(bool finished);
  void OnNetworkPortEdited(QLineEdit* edit, std::optional<Key> key, int32_t& committed, bool finished);
  void OnPortChosen(int item);
  void OnPortTyped();
  void OnAltitudeEdited();
  void OnAltitudeFinished();
  QComboBox* MakeList(const char* name);

  std::filesystem::path portRoot_;
  std::vector<PortItem> portItems_;
  int32_t committedOffset_ = 0;  // the offset before the current edit
  // The same for the host and the two port fields.
  std::string committedHost_;
  int32_t committedNetPort_ = 0;
  int32_t committedServePort_ = 0;

  QGroupBox* gpsGroup_ = nullptr;
  QComboBox* source_ = nullptr;
  QLineEdit* hostEdit_ = nullptr;
  QLineEdit* netPortEdit_ = nullptr;
  QCheckBox* serveLines_ = nullptr;
  QLineEdit* servePortEdit_ = nullptr;
  QCheckBox* serveRemote_ = nullptr;
  QComboBox* type_ = nullptr;
  QComboBox* port_ = nullptr;
  QComboBox* speed_ = nullptr;
  QComboBox* parity_ = nullptr;
  QComboBox* dataBits_ = nullptr;
  QComboBox* stopBits_ = nullptr;
  QCheckBox* emulation_ = nullptr;
  QComboBox* replaySpeed_ = nullptr;
  QCheckBox* useGga_ = nullptr;
  QComboBox* distance_ = nullptr;
  QComboBox* speedUnit_ = nullptr;
  QComboBox* position_ = nullptr;
  QLineEdit* altitude_ = nullptr;
};

}  // namespace tarvo
