// The GPS hardware settings page on a real window: stored settings shown and
// kept, every control writing its setting, simulation mode, the ports of a
// device tree made here, the altitude edit, the page menu and its dialogs.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <pty.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/geo/coord_format.h"
#include "core/geo/units.h"
#include "core/gps/fix_texts.h"
#include "gui/hardware/hardware_page.h"
#include "gui_fixture.h"

namespace tarvo::testing {
namespace {
namespace fs = std::filesystem;

class HardwarePageTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    root_ = path(QStringLiteral("root")).toStdString();
    fs::create_directories(root_ / "dev/serial/by-id");
    fs::create_directories(root_ / "sys/class/tty");
  }

  // A window whose hardware page looks for ports in the tree, shown.
  HardwarePage& Open() {
    MakeWindow();
    page_ = static_cast<HardwarePage*>(mainWindow().page(kHardwarePage));
    page_->SetPortRoot(root_);
    mainWindow().ActivatePage(kHardwarePage);
    return *page_;
  }
  // Leaves the page and comes back: the controls are filled again.
  void Revisit() {
    mainWindow().ActivatePage(kStatusPage);
    mainWindow().ActivatePage(kHardwarePage);
  }

  template <class T>
  T* Find(const char* name) const {
    T* w = page_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QComboBox* List(const char* name) const { return Find<QComboBox>(name); }
  // The user picks an item.
  static void Choose(QComboBox* list, int item) {
    ASSERT_LT(item, list->count());
    list->setCurrentIndex(item);
    emit list->activated(item);
  }

  void Node(const std::string& name) { std::ofstream(root_ / "dev" / name).put('\0'); }
  void Uart(const std::string& name, int type) {
    Node(name);
    fs::create_directories(root_ / "sys/class/tty" / name);
    std::ofstream(root_ / "sys/class/tty" / name / "type") << type << "\n";
  }

  // Runs `act` on the next modal widget of type T once it shows.
  template <class T>
  static void WhenModal(std::function<void(T*)> act, int tries = 0) {
    QTimer::singleShot(10, [act, tries] {
      if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
        act(w);
      } else if (tries < 500) {
        WhenModal<T>(act, tries + 1);
      }
    });
  }
  // Picks the item `text` of the next popup menu.
  static void WhenMenu(const QString& text, int tries = 0) {
    QTimer::singleShot(10, [text, tries] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) {
        if (tries < 500) WhenMenu(text, tries + 1);
        return;
      }
      for (QAction* a : menu->actions()) {
        if (a->text() == text) menu->setActiveAction(a);
      }
      QTest::keyClick(menu, Qt::Key_Return);
    });
  }
  // The toolbar's page menu button.
  void PressPageMenu() {
    for (QAction* a : mainWindow().findChild<QToolBar*>()->actions()) {
      if (a->text() == QLatin1String("Page Menu")) a->trigger();
    }
  }
  // A click on the box's indicator (a wide box's middle may be past its text).
  static void Tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }
  static QStringList Labels(QWidget* w) {
    QStringList texts;
    for (QLabel* l : w->findChildren<QLabel*>()) texts << l->text();
    return texts;
  }
  static void Press(QDialog* dialog, QDialogButtonBox::StandardButton which) {
    dialog->findChild<QDialogButtonBox*>()->button(which)->click();
  }

  fs::path root_;
  HardwarePage* page_ = nullptr;
};

TEST_F(HardwarePageTest, StoredValuesOutsideTheirRangeShowAndSaveTheDefaults) {
  // A hand-edited or damaged settings file never leaves a list empty: what is
  // out of range reads as the key's default, and the next save writes it.
  store().SetInt(Key::Speed, 7200);
  store().SetInt(Key::Databits, 9);
  store().SetInt(Key::Parity, 9);
  store().SetInt(Key::GpsType, 77);
  store().SetInt(Key::FmtSpeed, -5);
  store().SetInt(Key::EmulationSpeed, 99);
  store().SetInt(Key::FmtPos, 999);
  Open();
  EXPECT_EQ(List("speedList")->currentText(), "4800");
  EXPECT_EQ(List("dataBitsList")->currentText(), "8");
  EXPECT_EQ(List("parityList")->currentText(), "None");
  EXPECT_EQ(List("typeList")->currentText(), "Bluetooth GPS");
  EXPECT_EQ(List("speedUnitList")->currentIndex(), 0);
  EXPECT_EQ(List("replaySpeedList")->currentText(), "1");
  EXPECT_EQ(List("positionList")->currentIndex(), 0);
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::Speed), 4800);
  EXPECT_EQ(store().GetInt(Key::Databits), 8);
  EXPECT_EQ(store().GetText(Key::Speed, "", 16), "4800");  // the default was written back

  // Choosing the item that is already shown is a choice too.
  Open();
  Choose(List("speedList"), 6);
  EXPECT_EQ(mainWindow().settings().connection().speed, 19200);
}

TEST_F(HardwarePageTest, EveryListWritesItsSettingAndTheNextStartShowsIt) {
  Open();
  Choose(List("typeList"), 1);
  Choose(List("speedList"), 4);
  Choose(List("parityList"), 2);
  Choose(List("dataBitsList"), 0);
  Choose(List("stopBitsList"), 1);
  Choose(List("replaySpeedList"), 3);
  Choose(List("distanceList"), 1);
  Choose(List("speedUnitList"), 2);
  const ConnectionSettings& c = mainWindow().settings().connection();
  EXPECT_EQ(c.gpsType, GpsType::DeLorme);
  EXPECT_EQ(c.speed, 9600);
  EXPECT_EQ(c.parity, 2);
  EXPECT_EQ(c.databits, 7);
  EXPECT_EQ(c.stopbits, 2);
  EXPECT_EQ(c.emulationSpeed, 4);
  EXPECT_EQ(mainWindow().settings().values().distanceUnit, DistanceUnit::Imperial);
  EXPECT_EQ(mainWindow().settings().values().speedUnit, SpeedUnit::Knot);
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::GpsType), 1);
  EXPECT_EQ(store().GetInt(Key::Speed), 9600);
  EXPECT_EQ(store().GetInt(Key::Parity), 2);
  EXPECT_EQ(store().GetInt(Key::Databits), 7);
  EXPECT_EQ(store().GetInt(Key::Stopbits), 2);
  EXPECT_EQ(store().GetInt(Key::EmulationSpeed), 4);
  EXPECT_EQ(store().GetInt(Key::FmtDist), 1);
  EXPECT_EQ(store().GetInt(Key::FmtSpeed), 2);

  Open();
  EXPECT_EQ(List("typeList")->currentText(), "DeLorme TripMate/EarthMate");
  EXPECT_EQ(List("speedList")->currentText(), "9600");
  EXPECT_EQ(List("parityList")->currentText(), "Even");
  EXPECT_EQ(List("dataBitsList")->currentText(), "7");
  EXPECT_EQ(List("stopBitsList")->currentText(), "2");
  EXPECT_EQ(List("replaySpeedList")->currentText(), "4");
  EXPECT_EQ(List("distanceList")->currentText(), "mi");
  EXPECT_EQ(List("speedUnitList")->currentText(), "knot");
}

TEST_F(HardwarePageTest, ANetworkSourceTakesItsHostAndPortAndSavesThem) {
  Open();
  auto* host = Find<QLineEdit>("hostEdit");
  auto* port = Find<QLineEdit>("netPortEdit");
  const auto serialFieldsEnabled = [this](bool on) {
    for (const char* name : {"portList", "speedList", "parityList", "dataBitsList", "stopBitsList", "typeList"}) {
      EXPECT_EQ(List(name)->isEnabled(), on) << name;
    }
  };
  const auto typeInto = [](QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
  };
  // The simulation of a fresh settings file aside, a serial port has no host or port.
  if (Find<QCheckBox>("simulationMode")->isChecked()) Tick(Find<QCheckBox>("simulationMode"));
  serialFieldsEnabled(true);
  EXPECT_FALSE(host->isEnabled());
  EXPECT_FALSE(port->isEnabled());

  Choose(List("sourceList"), static_cast<int>(SourceKind::TcpClient));
  serialFieldsEnabled(false);
  EXPECT_TRUE(host->isEnabled());
  EXPECT_EQ(port->text(), "10110");
  typeInto(host, QStringLiteral("192.168.1.20"));
  typeInto(port, QStringLiteral("2000"));
  emit port->editingFinished();
  // A port out of range is not taken, nor the number on the way to it.
  typeInto(port, QStringLiteral("70000"));
  emit port->editingFinished();
  EXPECT_EQ(port->text(), "2000");
  Tick(Find<QCheckBox>("serveLines"));
  EXPECT_TRUE(Find<QLineEdit>("servePortEdit")->isEnabled());
  typeInto(Find<QLineEdit>("servePortEdit"), QStringLiteral("10111"));
  Tick(Find<QCheckBox>("serveRemote"));
  const ConnectionSettings& c = mainWindow().settings().connection();
  EXPECT_EQ(c.sourceKind, SourceKind::TcpClient);
  EXPECT_EQ(c.tcpHost, "192.168.1.20");
  EXPECT_EQ(c.tcpPort, 2000);

  // gpsd shows its own host and port; UDP a port alone.
  Choose(List("sourceList"), static_cast<int>(SourceKind::Gpsd));
  EXPECT_EQ(host->text(), "127.0.0.1");
  EXPECT_EQ(port->text(), "2947");
  Choose(List("sourceList"), static_cast<int>(SourceKind::UdpListener));
  EXPECT_FALSE(host->isEnabled());
  EXPECT_TRUE(port->isEnabled());
  Choose(List("sourceList"), static_cast<int>(SourceKind::TcpClient));
  EXPECT_EQ(host->text(), "192.168.1.20");
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::SourceKind), static_cast<int>(SourceKind::TcpClient));
  EXPECT_EQ(store().GetText(Key::TcpHost), "192.168.1.20");
  EXPECT_EQ(store().GetInt(Key::TcpPort), 2000);
  EXPECT_EQ(store().GetInt(Key::ServeLines), 1);
  EXPECT_EQ(store().GetInt(Key::ServePort), 10111);
  EXPECT_EQ(store().GetInt(Key::ServeRemote), 1);
  EXPECT_EQ(store().GetInt(Key::GpsdPort), 2947);

  // "Auto" is the speed list's last item and is kept like a rate.
  Open();
  Choose(List("sourceList"), static_cast<int>(SourceKind::Serial));
  Choose(List("speedList"), List("speedList")->count() - 1);
  EXPECT_EQ(List("speedList")->currentText(), "Auto");
  EXPECT_EQ(mainWindow().settings().connection().speed, kAutoSpeed);
  Revisit();
  EXPECT_EQ(List("speedList")->currentText(), "Auto");
}

TEST_F(HardwarePageTest, PositionListReformatsTheStatusPageAtOnceAndSavesAtExit) {
  store().SetText(Key::LatDefault, "52.50000");
  store().SetText(Key::LonDefault, "4.90000");
  Open();
  auto* value1 = mainWindow().page(kStatusPage)->findChild<QLabel*>(QStringLiteral("value1"));
  ASSERT_NE(value1, nullptr);
  EXPECT_EQ(List("positionList")->count(), kCoordFormatCount);
  EXPECT_EQ(List("positionList")->itemText(6), "Grid: Britain");
  Choose(List("positionList"), 3);
  EXPECT_EQ(mainWindow().settings().values().coordFormat, CoordFormat::UtmWgs84);
  EXPECT_EQ(value1->text().toStdString(), FormatPosition(CoordFormat::UtmWgs84, 52.5, 4.9, PositionLayout::TwoField).value1);
  EXPECT_FALSE(store().Has(Key::FmtPos));  // written with the other settings at exit
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::FmtPos), 3);
}

TEST_F(HardwarePageTest, SimulationModeSwitchesBetweenPortAndReplayLists) {
  Open();
  const auto expectSimulation = [this](bool on) {
    EXPECT_EQ(Find<QCheckBox>("simulationMode")->isChecked(), on);
    for (const char* name : {"portList", "speedList", "parityList", "dataBitsList", "stopBitsList"}) {
      EXPECT_EQ(List(name)->isEnabled(), !on) << name;
    }
    EXPECT_EQ(List("replaySpeedList")->isEnabled(), on);
    EXPECT_TRUE(List("typeList")->isEnabled());
  };
  expectSimulation(false);
  Tick(Find<QCheckBox>("simulationMode"));
  EXPECT_TRUE(mainWindow().settings().connection().emulation);
  expectSimulation(true);
  Tick(Find<QCheckBox>("simulationMode"));
  EXPECT_FALSE(mainWindow().settings().connection().emulation);
  expectSimulation(false);

  CloseWindow();
  store().SetInt(Key::Emulation, 1);
  Open();
  expectSimulation(true);
}

TEST_F(HardwarePageTest, GgaCheckBoxMakesGgaThePositionSource) {
  Open();
  auto* gga = Find<QCheckBox>("useGga");
  EXPECT_FALSE(gga->isChecked());
  // A GGA fix without a valid RMC counts only once GGA is the source.
  mainWindow().state().gpsFix.fixQuality = 1;
  mainWindow().state().rmcFix.valid = 0;
  EXPECT_FALSE(mainWindow().controller().HasFix());
  Tick(gga);
  EXPECT_FALSE(mainWindow().settings().connection().useRmc);
  EXPECT_TRUE(mainWindow().controller().HasFix());
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::UseRmc), 0);
  Open();
  gga = Find<QCheckBox>("useGga");
  EXPECT_TRUE(gga->isChecked());
  Tick(gga);
  EXPECT_TRUE(mainWindow().settings().connection().useRmc);
}

TEST_F(HardwarePageTest, PortsComeFromTheDeviceTreeAndAnUnpluggedOneStaysShown) {
  Node("ttyACM0");
  Node("ttyUSB0");
  Uart("ttyS0", 4);
  Uart("ttyS1", 0);  // a legacy node without hardware
  fs::create_symlink("../../ttyACM0", root_ / "dev/serial/by-id/usb-u-blox_AG_-_www.u-blox.com_u-blox_7-if00");
  Open();
  QComboBox* ports = List("portList");
  ASSERT_EQ(ports->count(), 3);
  EXPECT_EQ(ports->itemText(0), "u-blox AG - www.u-blox.com u-blox 7 (ttyACM0)");
  EXPECT_EQ(ports->itemText(1), "/dev/ttyUSB0");
  EXPECT_EQ(ports->itemText(2), "/dev/ttyS0");
  // No port stored: the first one is what a connect opens; nothing is stored yet.
  EXPECT_EQ(ports->currentIndex(), 0);
  EXPECT_EQ(mainWindow().settings().connection().portName, "");

  Choose(ports, 1);
  EXPECT_EQ(mainWindow().settings().connection().portName, "/dev/ttyUSB0");
  fs::remove(root_ / "dev/ttyUSB0");
  Node("ttyUSB1");
  Revisit();
  ASSERT_EQ(ports->count(), 4);
  EXPECT_EQ(ports->currentIndex(), 0);
  EXPECT_EQ(ports->itemText(0), "/dev/ttyUSB0 (not present)");
  EXPECT_EQ(ports->itemText(2), "/dev/ttyUSB1");
  EXPECT_EQ(mainWindow().settings().connection().portName, "/dev/ttyUSB0");

  Choose(ports, 1);
  EXPECT_EQ(mainWindow().settings().connection().portName, "/dev/serial/by-id/usb-u-blox_AG_-_www.u-blox.com_u-blox_7-if00");
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetText(Key::PortName), "/dev/serial/by-id/usb-u-blox_AG_-_www.u-blox.com_u-blox_7-if00");
}

TEST_F(HardwarePageTest, AltitudeOffsetTakesWholeNumbersAndShowsTheStoredValueOtherwise) {
  Open();
  auto* edit = Find<QLineEdit>("altitudeOffset");
  EXPECT_EQ(edit->text(), "0");
  const auto type = [edit](const char* text, bool finish) {
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromLatin1(text));
    if (finish) QTest::keyClick(edit, Qt::Key_Return);
  };
  type("-25", true);
  EXPECT_EQ(mainWindow().settings().values().altitudeOffset, -25);
  type("12x", true);
  EXPECT_EQ(edit->text(), "-25");
  EXPECT_EQ(mainWindow().settings().values().altitudeOffset, -25);
  type(" +7", true);
  EXPECT_EQ(edit->text(), "7");
  EXPECT_EQ(mainWindow().settings().values().altitudeOffset, 7);
  // Leaving the page finishes the edit.
  type("abc", false);
  mainWindow().ActivatePage(kStatusPage);
  EXPECT_EQ(mainWindow().settings().values().altitudeOffset, 7);
  mainWindow().ActivatePage(kHardwarePage);
  EXPECT_EQ(edit->text(), "7");
  // A number typed just before the window closes is kept.
  type("40", false);
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetText(Key::AltitudeOffset), "40");
}

TEST_F(HardwarePageTest, PageMenuOpensGpsAccuracyInFeetAndOkConvertsBack) {
  store().SetInt(Key::FmtDist, 1);
  Open();
  EXPECT_TRUE(mainWindow().pageMenuAction()->isEnabled());
  EXPECT_FALSE(mainWindow().zoomInAction()->isEnabled());
  EXPECT_FALSE(mainWindow().zoomOutAction()->isEnabled());

  bool shown = false;
  WhenMenu(QStringLiteral("GPS Accuracy"));
  WhenModal<AccuracyDialog>([&shown](AccuracyDialog* d) {
    shown = true;
    EXPECT_EQ(d->windowTitle(), "GPS Accuracy");
    EXPECT_EQ(d->precisionEdit()->text(), "32.8");
    EXPECT_EQ(d->minimumPrecisionEdit()->text(), "164.0");
    EXPECT_EQ(d->minimumSpeedEdit()->text(), "0.0");
    EXPECT_EQ(Labels(d).count(QStringLiteral("ft")), 2);
    EXPECT_EQ(Labels(d).count(QStringLiteral("km/h")), 1);
    EXPECT_FALSE(d->enableBox()->isChecked());
    Press(d, QDialogButtonBox::Ok);
  });
  PressPageMenu();
  ASSERT_TRUE(WaitFor([&] { return shown && !QApplication::activeModalWidget(); }));
  const FilterSettings& f = mainWindow().settings().connection().filter;
  EXPECT_DOUBLE_EQ(f.accuracyGps, 32.8 * 0.30480370641307);
  EXPECT_NEAR(f.accuracyGps, 9.9975, 0.0001);
  EXPECT_DOUBLE_EQ(f.accuracyMinimum, 164.0 * 0.30480370641307);
  EXPECT_DOUBLE_EQ(f.speedMinimum, 0.0);  // "no minimum" stays so
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetText(Key::AccuracyGps), "10.0");
  EXPECT_EQ(store().GetText(Key::AccuracyMinimum), "50.0");
  EXPECT_EQ(store().GetText(Key::SpeedMinimum), "0.0");
}

TEST_F(HardwarePageTest, AccuracyDialogStoresZeroAndTextAsOneMetreAndKeepsKnots) {
  store().SetInt(Key::FmtSpeed, 2);
  store().SetText(Key::SpeedMinimum, "1.23");
  HardwarePage& page = Open();
  bool shown = false;
  WhenModal<AccuracyDialog>([&shown](AccuracyDialog* d) {
    shown = true;
    EXPECT_EQ(d->precisionEdit()->text(), "10.0");
    EXPECT_EQ(d->minimumSpeedEdit()->text(), "1.23");
    EXPECT_EQ(Labels(d).count(QStringLiteral("knot")), 1);
    d->precisionEdit()->setText(QStringLiteral("0"));
    d->minimumPrecisionEdit()->setText(QStringLiteral("none"));
    Tick(d->enableBox());
    Press(d, QDialogButtonBox::Ok);
  });
  EXPECT_TRUE(page.RunAccuracyDialog());
  EXPECT_TRUE(shown);
  FilterSettings f = mainWindow().settings().connection().filter;
  EXPECT_TRUE(f.accuracyEnable);
  EXPECT_DOUBLE_EQ(f.accuracyGps, 1.0);
  EXPECT_DOUBLE_EQ(f.accuracyMinimum, 1.0);
  EXPECT_DOUBLE_EQ(f.speedMinimum, 1.23);

  // Cancel changes nothing, whatever was typed.
  WhenModal<AccuracyDialog>([](AccuracyDialog* d) {
    d->precisionEdit()->setText(QStringLiteral("99"));
    d->minimumSpeedEdit()->setText(QStringLiteral("0"));
    Tick(d->enableBox());
    Press(d, QDialogButtonBox::Cancel);
  });
  EXPECT_FALSE(page.RunAccuracyDialog());
  f = mainWindow().settings().connection().filter;
  EXPECT_TRUE(f.accuracyEnable);
  EXPECT_DOUBLE_EQ(f.accuracyGps, 1.0);
  EXPECT_DOUBLE_EQ(f.speedMinimum, 1.23);
}

TEST_F(HardwarePageTest, OtherSettingsDialogSetsAutoStart) {
  Open();
  bool shown = false;
  WhenMenu(QStringLiteral("Other Settings"));
  WhenModal<SettingsDialog>([&shown](SettingsDialog* d) {
    shown = true;
    EXPECT_EQ(d->windowTitle(), "Tarvo Settings");
    EXPECT_EQ(d->autoStartBox()->text(), "Connect to GPS when Tarvo is started");
    EXPECT_FALSE(d->autoStartBox()->isChecked());
    Tick(d->autoStartBox());
    Press(d, QDialogButtonBox::Ok);
  });
  PressPageMenu();
  ASSERT_TRUE(WaitFor([&] { return shown && !QApplication::activeModalWidget(); }));
  EXPECT_TRUE(mainWindow().settings().values().autoStart);

  WhenModal<SettingsDialog>([](SettingsDialog* d) {
    EXPECT_TRUE(d->autoStartBox()->isChecked());
    Tick(d->autoStartBox());
    Press(d, QDialogButtonBox::Cancel);
  });
  EXPECT_FALSE(page_->RunOtherSettingsDialog());
  EXPECT_TRUE(mainWindow().settings().values().autoStart);
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::AutoStart), 1);
}

TEST_F(HardwarePageTest, UnitListsShowTheStatusPageInTheNewUnitAtOnce) {
  Open();
  // 10 knots, then 100 m with a fix.
  mainWindow().controller().OnSentence("$GPRMC,120000,A,4600.000,N,00800.000,E,10.0,0.0,090624,,*2C");
  mainWindow().controller().OnSentence("$GPGGA,120000,4600.000,N,00800.000,E,1,08,0.9,100.0,M,46.9,M,,*40");
  QLabel* speed = mainWindow().page(kStatusPage)->findChild<QLabel*>(QStringLiteral("speed"));
  QLabel* altitude = mainWindow().page(kStatusPage)->findChild<QLabel*>(QStringLiteral("altitude"));
  Choose(List("speedUnitList"), 2);
  EXPECT_EQ(speed->text(), QString::fromStdString(FormatSpeed(10.0, SpeedUnit::Knot)));
  Choose(List("distanceList"), 1);
  EXPECT_EQ(altitude->text(), QString::fromStdString(AltitudeText(mainWindow().currentFix(), 0, DistanceUnit::Imperial)));
}

TEST_F(HardwarePageTest, OnlyStopBitsAPortCanDoAreOfferedAndAStoredOneAndAHalfConnectsAsTwo) {
  store().SetInt(Key::Stopbits, 1);
  Open();
  QComboBox* stop = List("stopBitsList");
  ASSERT_EQ(stop->count(), 2);
  EXPECT_EQ(stop->itemText(0), "1");
  EXPECT_EQ(stop->currentText(), "2");
  EXPECT_EQ(mainWindow().settings().connection().stopbits, 2);
  Choose(stop, 0);
  EXPECT_EQ(mainWindow().settings().connection().stopbits, 0);
}

TEST_F(HardwarePageTest, ReplayListOffersRealTimePacesAndKeepsTheChoice) {
  store().SetInt(Key::EmulationSpeed, 3);
  Open();
  QComboBox* replay = List("replaySpeedList");
  ASSERT_EQ(replay->count(), kReplaySpeedCount + 4);
  Choose(replay, kReplaySpeedCount + 3);
  EXPECT_EQ(mainWindow().settings().connection().replayRealTime, 8);
  EXPECT_EQ(mainWindow().settings().connection().emulationSpeed, 3);
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::ReplayRealTime), 8);
  Open();
  EXPECT_EQ(List("replaySpeedList")->currentIndex(), kReplaySpeedCount + 3);
  Choose(List("replaySpeedList"), 1);
  EXPECT_EQ(mainWindow().settings().connection().replayRealTime, 0);
  EXPECT_EQ(mainWindow().settings().connection().emulationSpeed, 2);
}

TEST_F(HardwarePageTest, ATypedDevicePathIsKeptShownAndOpened) {
  quietErrors_ = true;
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const QString device = QString::fromLocal8Bit(ttyname(slave));
  Open();
  page_->SetPortRoot("/");  // the pseudo-terminal is a real node; only this path is looked at
  Revisit();
  QComboBox* ports = List("portList");
  ASSERT_TRUE(ports->isEditable());
  QLineEdit* edit = ports->lineEdit();
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, device);
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(mainWindow().settings().connection().portName, device.toStdString());
  EXPECT_FALSE(mainWindow().controller().IsConnected());  // Enter in the box does not connect
  Revisit();
  EXPECT_EQ(ports->currentText(), device);  // present, not "(not present)"
  mainWindow().connectButton()->click();
  EXPECT_TRUE(mainWindow().controller().IsConnected());
  mainWindow().connectButton()->click();
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetText(Key::PortName), device.toStdString());
  ::close(master);
  ::close(slave);
}

}  // namespace
}  // namespace tarvo::testing
