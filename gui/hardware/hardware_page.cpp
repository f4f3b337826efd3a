#include "gui/hardware/hardware_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>
#include <string>

#include "core/geo/coord_format.h"
#include "core/geo/units.h"
#include "core/gps/serial_ports.h"
#include "gui/window/settings_model.h"

namespace tarvo {

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// A label for `buddy`, so Alt+letter and screen readers find the control.
QLabel* LabelFor(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

void Select(QComboBox* list, int item) {
  const QSignalBlocker blocker(list);
  list->setCurrentIndex(item);
}

}  // namespace

// ---- "GPS Accuracy" ----

AccuracyDialog::AccuracyDialog(const FilterSettings& filter, int32_t fmtDist, int32_t fmtSpeed, QWidget* parent)
    : QDialog(parent), fmtDist_(fmtDist), fmtSpeed_(fmtSpeed) {
  setWindowTitle(QStringLiteral("GPS Accuracy"));
  setObjectName(QStringLiteral("accuracyDialog"));
  const AccuracyFields fields = AccuracyDialogFields(filter, fmtDist, fmtSpeed);

  auto* grid = new QGridLayout;
  grid->setColumnStretch(0, 1);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(10);
  const auto addRow = [&](int row, const char* text, const std::string& value, std::string_view unit,
                          const char* name) {
    auto* edit = new QLineEdit(Q(value), this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(kAccuracyEditLength);
    edit->setAlignment(Qt::AlignRight);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000000.00")) + 12);
    auto* label = LabelFor(QString::fromLatin1(text), edit, this);
    label->setWordWrap(true);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1, Qt::AlignVCenter);
    grid->addWidget(new QLabel(Q(unit), this), row, 2);
    return edit;
  };
  precision_ = addRow(0, "The precision of your GPS unit:", fields.precision, fields.lengthUnit, "precision");
  minimumPrecision_ = addRow(1, "The minimum precision a GPS reading should\nhave for it to be displayed in Tarvo:",
                             fields.minimumPrecision, fields.lengthUnit, "minimumPrecision");
  enable_ = new QCheckBox(QStringLiteral("Enforce GPS accuracy"), this);
  enable_->setObjectName(QStringLiteral("enforceAccuracy"));
  enable_->setChecked(fields.enable);
  grid->addWidget(enable_, 2, 0, 1, 3);
  minimumSpeed_ = addRow(3, "The minimum speed for course and speed readings to be displayed in Tarvo:",
                         fields.minimumSpeed, fields.speedUnit, "minimumSpeed");

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(6);
  layout->addWidget(buttons);
  setMinimumWidth(440);
}

FilterSettings AccuracyDialog::result() const {
  AccuracyFields typed;
  typed.enable = enable_->isChecked();
  typed.precision = precision_->text().toStdString();
  typed.minimumPrecision = minimumPrecision_->text().toStdString();
  typed.minimumSpeed = minimumSpeed_->text().toStdString();
  return AccuracyDialogResult(typed, fmtDist_, fmtSpeed_);
}

// ---- "Tarvo Settings" ----

SettingsDialog::SettingsDialog(bool autoStart, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Tarvo Settings"));
  setObjectName(QStringLiteral("otherSettingsDialog"));
  autoStart_ = new QCheckBox(QStringLiteral("Connect to GPS when Tarvo is started"), this);
  autoStart_->setObjectName(QStringLiteral("autoStart"));
  autoStart_->setChecked(autoStart);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(autoStart_);
  layout->addSpacing(6);
  layout->addWidget(buttons);
}

bool SettingsDialog::autoStart() const { return autoStart_->isChecked(); }

// ---- The page ----

HardwarePage::HardwarePage(PageHost& host, std::filesystem::path portRoot)
    : Page(host, kHardwarePage, QStringLiteral("Hardware")), portRoot_(std::move(portRoot)) {
  setObjectName(QStringLiteral("hardwarePage"));
  BuildControls();
}

QComboBox* HardwarePage::MakeList(const char* name) {
  auto* list = new QComboBox(this);
  list->setObjectName(QString::fromLatin1(name));
  list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return list;
}

void HardwarePage::BuildControls() {
  source_ = MakeList("sourceList");
  for (std::string_view name : kSourceKindNames) source_->addItem(Q(name));
  const auto makeEdit = [this](const char* name, int maxLength, const QString& widest) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(maxLength);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(widest) + 12);
    return edit;
  };
  hostEdit_ = makeEdit("hostEdit", static_cast<int>(Info(Key::TcpHost).capacity) - 1, QStringLiteral("receiver.example.org"));
  netPortEdit_ = makeEdit("netPortEdit", 5, QStringLiteral("000000"));
  serveLines_ = new QCheckBox(QStringLiteral("Share the lines on TCP port"), this);
  serveLines_->setObjectName(QStringLiteral("serveLines"));
  servePortEdit_ = makeEdit("servePortEdit", 5, QStringLiteral("000000"));
  serveRemote_ = new QCheckBox(QStringLiteral("Allow other hosts"), this);
  serveRemote_->setObjectName(QStringLiteral("serveRemote"));
  for (QLineEdit* edit : {netPortEdit_, servePortEdit_}) {
    edit->setAlignment(Qt::AlignRight);
    edit->setMaximumWidth(edit->minimumWidth());
  }
  type_ = MakeList("typeList");
  for (std::string_view name : kGpsTypeNames) type_->addItem(Q(name));
  port_ = MakeList("portList");
  port_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  port_->setMinimumContentsLength(28);
  // A device that is not listed (a pseudo-terminal, a link of its own) can be typed.
  port_->setEditable(true);
  port_->setInsertPolicy(QComboBox::NoInsert);
  speed_ = MakeList("speedList");
  for (int32_t rate : kBaudRates) speed_->addItem(Q(BaudRateText(rate)));
  parity_ = MakeList("parityList");
  for (std::string_view name : kParityNames) parity_->addItem(Q(name));
  dataBits_ = MakeList("dataBitsList");
  for (int32_t bits : kDataBits) dataBits_->addItem(QString::number(bits));
  stopBits_ = MakeList("stopBitsList");
  for (std::string_view name : kStopBitsNames) stopBits_->addItem(Q(name));
  emulation_ = new QCheckBox(QStringLiteral("Simulation mode"), this);
  emulation_->setObjectName(QStringLiteral("simulationMode"));
  replaySpeed_ = MakeList("replaySpeedList");
  for (int i = 1; i <= kReplaySpeedCount; ++i) replaySpeed_->addItem(QString::number(i));
  for (std::string_view name : kReplayRealTimeNames) replaySpeed_->addItem(Q(name));
  useGga_ = new QCheckBox(QStringLiteral("Use GGA sentence instead of RMC"), this);
  useGga_->setObjectName(QStringLiteral("useGga"));
  distance_ = MakeList("distanceList");
  speedUnit_ = MakeList("speedUnitList");
  for (int i = 0; i < 3; ++i) {
    distance_->addItem(Q(DistanceUnitName(static_cast<DistanceUnit>(i))));
    speedUnit_->addItem(Q(SpeedUnitName(static_cast<SpeedUnit>(i))));
  }
  position_ = MakeList("positionList");
  for (const CoordFormat format : kAllCoordFormats) position_->addItem(Q(CoordFormatName(format)));
  altitude_ = new QLineEdit(this);
  altitude_->setObjectName(QStringLiteral("altitudeOffset"));
  altitude_->setMaxLength(11);
  altitude_->setAlignment(Qt::AlignRight);
  altitude_->setFixedWidth(altitude_->fontMetrics().horizontalAdvance(QStringLiteral("-00000000")) + 12);

  // Port and line settings, framed.
  gpsGroup_ = new QGroupBox(QStringLiteral("GPS Settings"), this);
  auto* g = new QGridLayout(gpsGroup_);
  g->setHorizontalSpacing(8);
  g->setVerticalSpacing(6);
  g->addWidget(LabelFor(QStringLiteral("Source:"), source_, gpsGroup_), 0, 0);
  g->addWidget(source_, 0, 1, 1, 3, Qt::AlignLeft);
  g->addWidget(LabelFor(QStringLiteral("Type:"), type_, gpsGroup_), 1, 0);
  g->addWidget(type_, 1, 1, 1, 3, Qt::AlignLeft);
  g->addWidget(LabelFor(QStringLiteral("Port:"), port_, gpsGroup_), 2, 0);
  g->addWidget(port_, 2, 1, 1, 4);
  g->addWidget(LabelFor(QStringLiteral("Speed:"), speed_, gpsGroup_), 3, 0);
  g->addWidget(speed_, 3, 1);
  g->addWidget(LabelFor(QStringLiteral("Parity:"), parity_, gpsGroup_), 3, 2);
  g->addWidget(parity_, 3, 3);
  g->addWidget(LabelFor(QStringLiteral("Data bits:"), dataBits_, gpsGroup_), 4, 0);
  g->addWidget(dataBits_, 4, 1);
  g->addWidget(LabelFor(QStringLiteral("Stop bits:"), stopBits_, gpsGroup_), 4, 2);
  g->addWidget(stopBits_, 4, 3);
  g->addWidget(LabelFor(QStringLiteral("Host:"), hostEdit_, gpsGroup_), 5, 0);
  g->addWidget(hostEdit_, 5, 1);
  g->addWidget(LabelFor(QStringLiteral("Net port:"), netPortEdit_, gpsGroup_), 5, 2);
  g->addWidget(netPortEdit_, 5, 3, Qt::AlignLeft);
  auto* serve = new QHBoxLayout;
  serve->setSpacing(6);
  serve->addWidget(serveLines_);
  serve->addWidget(servePortEdit_);
  serve->addSpacing(16);
  serve->addWidget(serveRemote_);
  serve->addStretch(1);
  auto* replay = new QHBoxLayout;
  replay->setSpacing(6);
  replay->addWidget(emulation_);
  replay->addSpacing(16);
  replay->addWidget(LabelFor(QStringLiteral("Replay speed:"), replaySpeed_, gpsGroup_));
  replay->addWidget(replaySpeed_);
  replay->addWidget(new QLabel(QStringLiteral("x"), gpsGroup_));
  replay->addStretch(1);
  g->addLayout(replay, 6, 0, 1, 5);
  g->addWidget(useGga_, 7, 0, 1, 5);
  g->addLayout(serve, 8, 0, 1, 5);
  g->setColumnStretch(4, 1);
  for (QComboBox* list : {speed_, parity_, dataBits_, stopBits_}) list->setMinimumWidth(90);

  // Display units, position format and altitude offset.
  auto* d = new QGridLayout;
  d->setHorizontalSpacing(8);
  d->setVerticalSpacing(6);
  d->addWidget(LabelFor(QStringLiteral("Distance:"), distance_, this), 0, 0);
  d->addWidget(distance_, 0, 1);
  d->addWidget(LabelFor(QStringLiteral("Speed:"), speedUnit_, this), 0, 2);
  d->addWidget(speedUnit_, 0, 3);
  d->addWidget(LabelFor(QStringLiteral("Position:"), position_, this), 1, 0);
  d->addWidget(position_, 1, 1, 1, 3, Qt::AlignLeft);
  d->addWidget(LabelFor(QStringLiteral("Altitude Offset:"), altitude_, this), 2, 0);
  auto* offset = new QHBoxLayout;
  offset->setSpacing(6);
  offset->addWidget(altitude_);
  offset->addWidget(new QLabel(QStringLiteral("(metres)"), this));
  offset->addStretch(1);
  d->addLayout(offset, 2, 1, 1, 3);
  d->setColumnStretch(4, 1);
  for (QComboBox* list : {distance_, speedUnit_}) list->setMinimumWidth(90);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 16, 10, 10);
  layout->setSpacing(12);
  layout->addWidget(gpsGroup_);
  layout->addLayout(d);
  layout->addStretch(1);

  // Each list applies its setting when the user picks an item.
  SettingsModel& settings = host_.settings();
  const auto change = [&settings](auto edit) { settings.Change(edit); };
  connect(source_, &QComboBox::activated, this, [this, change](int i) {
    if (i < 0 || i >= static_cast<int>(kSourceKindNames.size())) return;
    change([i](Settings& s) { s.connection.sourceKind = static_cast<SourceKind>(i); });
    ShowSourceFields();
    ShowEmulationEnabling();
  });
  connect(hostEdit_, &QLineEdit::textEdited, this, [this] { OnHostEdited(false); });
  connect(hostEdit_, &QLineEdit::editingFinished, this, [this] { OnHostEdited(true); });
  const auto portKey = [this] { return SourcePortKey(host_.settings().values().connection.sourceKind); };
  connect(netPortEdit_, &QLineEdit::textEdited, this,
          [this, portKey] { OnNetworkPortEdited(netPortEdit_, portKey(), committedNetPort_, false); });
  connect(netPortEdit_, &QLineEdit::editingFinished, this,
          [this, portKey] { OnNetworkPortEdited(netPortEdit_, portKey(), committedNetPort_, true); });
  connect(servePortEdit_, &QLineEdit::textEdited, this,
          [this] { OnNetworkPortEdited(servePortEdit_, Key::ServePort, committedServePort_, false); });
  connect(servePortEdit_, &QLineEdit::editingFinished, this,
          [this] { OnNetworkPortEdited(servePortEdit_, Key::ServePort, committedServePort_, true); });
  connect(serveLines_, &QCheckBox::clicked, this, [this, change](bool on) {
    change([on](Settings& s) { s.connection.serveLines = on; });
    ShowSourceFields();
  });
  connect(serveRemote_, &QCheckBox::clicked, this,
          [change](bool on) { change([on](Settings& s) { s.connection.serveRemote = on; }); });
  connect(type_, &QComboBox::activated, this,
          [change](int i) { change([i](Settings& s) { s.connection.gpsType = static_cast<GpsType>(i); }); });
  connect(port_, &QComboBox::activated, this, &HardwarePage::OnPortChosen);
  connect(speed_, &QComboBox::activated, this, [change](int i) {
    if (i < 0 || i >= static_cast<int>(kBaudRates.size())) return;
    change([i](Settings& s) { s.connection.speed = kBaudRates[static_cast<std::size_t>(i)]; });
  });
  connect(parity_, &QComboBox::activated, this,
          [change](int i) { change([i](Settings& s) { s.connection.parity = i; }); });
  connect(dataBits_, &QComboBox::activated, this, [change](int i) {
    if (i < 0 || i >= static_cast<int>(kDataBits.size())) return;
    change([i](Settings& s) { s.connection.databits = kDataBits[static_cast<std::size_t>(i)]; });
  });
  connect(stopBits_, &QComboBox::activated, this, [change](int i) {
    if (i < 0 || i >= static_cast<int>(kStopBitsValues.size())) return;
    change([i](Settings& s) { s.connection.stopbits = kStopBitsValues[static_cast<std::size_t>(i)]; });
  });
  connect(replaySpeed_, &QComboBox::activated, this, [change](int i) {
    change([i](Settings& s) { ChooseReplaySpeed(i, s.connection.emulationSpeed, s.connection.replayRealTime); });
  });
  connect(port_->lineEdit(), &QLineEdit::editingFinished, this, &HardwarePage::OnPortTyped);
  connect(emulation_, &QCheckBox::clicked, this, [this, change](bool on) {
    change([on](Settings& s) { s.connection.emulation = on; });
    ShowEmulationEnabling();
  });
  connect(useGga_, &QCheckBox::clicked, this,
          [change](bool on) { change([on](Settings& s) { s.connection.useRmc = !on; }); });
  connect(distance_, &QComboBox::activated, this,
          [change](int i) { change([i](Settings& s) { s.distanceUnit = static_cast<DistanceUnit>(i); }); });
  connect(speedUnit_, &QComboBox::activated, this,
          [change](int i) { change([i](Settings& s) { s.speedUnit = static_cast<SpeedUnit>(i); }); });
  connect(position_, &QComboBox::activated, this, [change](int i) {
    if (const std::optional<CoordFormat> format = CoordFormatFromIndex(i)) {
      change([format](Settings& s) { s.coordFormat = *format; });
    }
  });
  connect(altitude_, &QLineEdit::textEdited, this, &HardwarePage::OnAltitudeEdited);
  connect(altitude_, &QLineEdit::editingFinished, this, &HardwarePage::OnAltitudeFinished);
}

void HardwarePage::OnActivate() {
  FillControls();
  Page::OnActivate();
}

void HardwarePage::OnDeactivate() {
  OnAltitudeFinished();
  OnPortTyped();
  OnHostEdited(true);
  OnNetworkPortEdited(netPortEdit_, SourcePortKey(host_.settings().values().connection.sourceKind),
                      committedNetPort_, true);
  OnNetworkPortEdited(servePortEdit_, Key::ServePort, committedServePort_, true);
}

void HardwarePage::FillControls() {
  const Settings& s = host_.settings().values();
  const ConnectionSettings& c = s.connection;

  // Ports plugged in since the last visit appear, unplugged ones go.
  const PortList ports = PagePortList(EnumerateSerialPorts(portRoot_), c.portName, portRoot_);
  portItems_ = ports.items;
  {
    const QSignalBlocker blocker(port_);
    port_->clear();
    for (const PortItem& item : portItems_) {
      port_->addItem(Q(item.label));
      port_->setItemData(port_->count() - 1, Q(item.path), Qt::ToolTipRole);
    }
    port_->setCurrentIndex(ports.selected);
  }

  Select(source_, IndexItem(static_cast<int>(c.sourceKind), source_->count()));
  Select(type_, IndexItem(static_cast<int>(c.gpsType), type_->count()));
  Select(speed_, BaudRateItem(c.speed));
  Select(parity_, IndexItem(c.parity, parity_->count()));
  Select(dataBits_, DataBitsItem(c.databits));
  Select(stopBits_, StopBitsItem(c.stopbits));
  Select(replaySpeed_, ReplaySpeedItem(c.emulationSpeed, c.replayRealTime));
  Select(distance_, IndexItem(static_cast<int>(s.distanceUnit), distance_->count()));
  Select(speedUnit_, IndexItem(static_cast<int>(s.speedUnit), speedUnit_->count()));
  Select(position_, IndexItem(static_cast<int>(s.coordFormat), position_->count()));
  emulation_->setChecked(c.emulation);
  useGga_->setChecked(!c.useRmc);
  serveLines_->setChecked(c.serveLines);
  serveRemote_->setChecked(c.serveRemote);
  ShowSourceFields();
  ShowEmulationEnabling();
  committedOffset_ = s.altitudeOffset;
  altitude_->setText(QString::number(committedOffset_));
}

void HardwarePage::ShowEmulationEnabling() {
  const bool emulation = emulation_->isChecked();
  const SourceKind kind = host_.settings().values().connection.sourceKind;
  const bool serial = kind == SourceKind::Serial;
  for (QWidget* w : std::initializer_list<QWidget*>{port_, speed_, parity_, dataBits_, stopBits_}) {
    w->setEnabled(!emulation && serial);
  }
  // The receiver type chooses start-up commands, which only a serial port gets.
  type_->setEnabled(serial);
  hostEdit_->setEnabled(!emulation && SourceHostKey(kind).has_value());
  netPortEdit_->setEnabled(!emulation && SourcePortKey(kind).has_value());
  replaySpeed_->setEnabled(emulation);
}

void HardwarePage::ShowSourceFields() {
  const ConnectionSettings& c = host_.settings().values().connection;
  const std::optional<Key> hostKey = SourceHostKey(c.sourceKind);
  const std::optional<Key> portKey = SourcePortKey(c.sourceKind);
  committedHost_ = hostKey ? HostSetting(c, *hostKey) : std::string();
  committedNetPort_ = portKey ? PortSetting(c, *portKey) : 0;
  committedServePort_ = c.servePort;
  hostEdit_->setText(hostKey ? Q(committedHost_) : QString());
  hostEdit_->setPlaceholderText(c.sourceKind == SourceKind::UdpListener ? tr("any sender") : QString());
  netPortEdit_->setText(portKey ? QString::number(committedNetPort_) : QString());
  servePortEdit_->setText(QString::number(committedServePort_));
  servePortEdit_->setEnabled(c.serveLines);
  serveRemote_->setEnabled(c.serveLines);
}

// The host follows the text while it is a sound name, so one typed just
// before the window closes is kept; other text keeps the host from before
// the edit, which the field shows again when the edit ends.
void HardwarePage::OnHostEdited(bool finished) {
  const std::optional<Key> key = SourceHostKey(host_.settings().values().connection.sourceKind);
  if (!key) return;
  const std::optional<std::string> typed = ReadHostName(*key, hostEdit_->text().toStdString());
  if (finished && typed) committedHost_ = *typed;
  const std::string host = typed && !finished ? *typed : committedHost_;
  const Key k = *key;
  host_.settings().Change([k, &host](Settings& s) { SetHostSetting(s.connection, k, host); });
  if (finished && hostEdit_->text() != Q(committedHost_)) hostEdit_->setText(Q(committedHost_));
}

// The same for a port: a number its key allows (1..65535), else the port
// from before the edit ("7000" on the way to a mistyped "70000" is not kept).
void HardwarePage::OnNetworkPortEdited(QLineEdit* edit, std::optional<Key> key, int32_t& committed, bool finished) {
  if (!key) return;
  const std::optional<int32_t> typed = ReadPortNumber(*key, edit->text().toStdString());
  if (finished && typed) committed = *typed;
  const int32_t port = typed && !finished ? *typed : committed;
  const Key k = *key;
  host_.settings().Change([k, port](Settings& s) { SetPortSetting(s.connection, k, port); });
  const QString shown = QString::number(committed);
  if (finished && edit->text() != shown) edit->setText(shown);
}

void HardwarePage::OnPortChosen(int item) {
  if (item >= 0 && item < static_cast<int>(portItems_.size())) {
    const std::string path = portItems_[static_cast<std::size_t>(item)].path;
    host_.settings().Change([&path](Settings& s) { s.connection.portName = path; });
  }
}

// The text of the port box when editing finishes: an item's text chooses
// that item, anything else is the device path to open.
void HardwarePage::OnPortTyped() {
  // Only typing counts: a shown item leaves an empty "PortName" empty.
  if (!port_->lineEdit()->isModified()) return;
  port_->lineEdit()->setModified(false);
  const QString text = port_->currentText().trimmed();
  if (text.isEmpty()) return;
  for (int i = 0; i < port_->count() && i < static_cast<int>(portItems_.size()); ++i) {
    if (port_->itemText(i) == text) {
      OnPortChosen(i);
      return;
    }
  }
  const std::string path = text.toStdString();
  host_.settings().Change([&path](Settings& s) { s.connection.portName = path; });
}

// The offset follows the text while it is a whole number, so a value typed
// just before the window closes is kept; other text keeps the offset as it was.
void HardwarePage::OnAltitudeEdited() {
  const std::optional<int32_t> value = ReadAltitudeOffset(altitude_->text().toStdString());
  const int32_t offset = value ? *value : committedOffset_;
  host_.settings().Change([offset](Settings& s) { s.altitudeOffset = offset; });
}

void HardwarePage::OnAltitudeFinished() {
  const std::optional<int32_t> value = ReadAltitudeOffset(altitude_->text().toStdString());
  if (value) committedOffset_ = *value;
  const int32_t offset = committedOffset_;
  host_.settings().Change([offset](Settings& s) { s.altitudeOffset = offset; });
  const QString shown = QString::number(committedOffset_);
  if (altitude_->text() != shown) altitude_->setText(shown);
}

void HardwarePage::ShowPageMenu() {
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("hardwareMenu"));
  // Each dialog runs once the menu is gone.
  connect(menu.addAction(tr("GPS Accuracy")), &QAction::triggered, this,
          [this] { QMetaObject::invokeMethod(this, &HardwarePage::RunAccuracyDialog, Qt::QueuedConnection); });
  connect(menu.addAction(tr("Other Settings")), &QAction::triggered, this,
          [this] { QMetaObject::invokeMethod(this, &HardwarePage::RunOtherSettingsDialog, Qt::QueuedConnection); });
  menu.exec(QCursor::pos());
}

bool HardwarePage::RunAccuracyDialog() {
  const Settings& s = host_.settings().values();
  AccuracyDialog dialog(s.connection.filter, static_cast<int>(s.distanceUnit), static_cast<int>(s.speedUnit), this);
  if (dialog.exec() != QDialog::Accepted) return false;
  const FilterSettings filter = dialog.result();
  host_.settings().Change([&filter](Settings& next) { next.connection.filter = filter; });
  return true;
}

bool HardwarePage::RunOtherSettingsDialog() {
  SettingsDialog dialog(host_.settings().values().autoStart, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  const bool autoStart = dialog.autoStart();
  host_.settings().Change([autoStart](Settings& s) { s.autoStart = autoStart; });
  return true;
}

}  // namespace tarvo
