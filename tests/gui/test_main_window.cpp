// The window end to end: a receiver on a pseudo-terminal, replays, the status
// indicator, start and exit, screenshots, the About page and file dialogs.
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QTest>
#include <QPushButton>
#include <QTextStream>

#include <cerrno>
#include <cstring>

#include "core/geo/coord_format.h"
#include "core/geo/units.h"
#include "core/gps/fix_texts.h"
#include "gui/window/about_page.h"
#include "gui/window/dialogs.h"
#include "gui/window/hyperlink_control.h"
#include "gui/status/status_page.h"
#include "gui_fixture.h"
#include "tests/unit/gps/test_nmea_util.h"

namespace tarvo {
namespace {

using tarvo::test::Sentence;

using testing::WindowFixture;

const std::string kRmc = Sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
const std::string kGga = Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");

class MainWindowTest : public WindowFixture {
 protected:
  QString StatusText(const char* name) {
    static_cast<StatusPage*>(mainWindow().page(kStatusPage))->FlushPendingRefresh();
    auto* label = mainWindow().page(kStatusPage)->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QString();
  }
  // The colour in the middle of the active page's status indicator.
  QColor LedColour() {
    Page* page = mainWindow().activePage();
    page->repaint();
    const QImage image = page->grab().toImage();
    return QColor(image.pixel(page->width() - 9, 8));
  }
  QString WriteReplay(const std::vector<std::string>& lines) {
    const QString file = path("drive.nmea");
    QFile f(file);
    f.open(QIODevice::WriteOnly);
    for (const std::string& l : lines) f.write((l + "\r\n").c_str());
    return file;
  }
};

TEST_F(MainWindowTest, BytesFromAReceiverAppearOnTheStatusPage) {
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  store().SetText(Key::PortName, ttyname(slave));
  MakeWindow();
  mainWindow().connectButton()->click();
  ASSERT_TRUE(mainWindow().controller().IsConnected());
  EXPECT_EQ(mainWindow().connectButton()->text(), "&Stop");
  const std::string bytes = kGga + "\r\n" + kRmc + "\r\n";
  ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ASSERT_TRUE(WaitFor([&] { return StatusText("course") == QString::fromUtf8("84°"); }));
  EXPECT_EQ(StatusText("value1"), QString::fromUtf8("48° 7'2.3\""));
  EXPECT_EQ(StatusText("satUse"), "8");
  EXPECT_EQ(LedColour(), QColor(0, 255, 0));
  mainWindow().connectButton()->click();
  EXPECT_EQ(mainWindow().connectButton()->text(), "&Start");
  close(master);
  close(slave);
}

TEST_F(MainWindowTest, AnUnpluggedReceiverShowsTheLostConnectionMessage) {
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const QString device = QString::fromLocal8Bit(ttyname(slave));
  store().SetText(Key::PortName, device.toStdString());
  MakeWindow();
  mainWindow().connectButton()->click();
  ASSERT_TRUE(mainWindow().controller().IsConnected());
  QString message;
  CatchNextMessageBox(&message);
  close(master);
  ASSERT_TRUE(WaitFor([&] { return !message.isEmpty(); }));
  EXPECT_EQ(message, QStringLiteral("Error: GPS connection lost!\n%1: device hung up").arg(device));
  EXPECT_FALSE(mainWindow().controller().IsConnected());
  EXPECT_EQ(mainWindow().connectButton()->text(), "&Start");
  close(slave);
}

TEST_F(MainWindowTest, AFailedConnectShowsItsMessageInABox) {
  store().SetText(Key::PortName, path("ttyGone").toStdString());
  MakeWindow();
  QString message;
  CatchNextMessageBox(&message);
  mainWindow().connectButton()->click();
  // The message names the port and the reason on a second line.
  EXPECT_EQ(message, "Error: Cannot open port!\n" + path("ttyGone") +
                         QString::fromUtf8(": No such file or directory \u2014 is the receiver plugged in?"));
  EXPECT_EQ(mainWindow().connectButton()->text(), "&Start");
}

TEST_F(MainWindowTest, TheTrackRecorderRecordsWhileTheTripPageWasNeverShown) {
  const QString track = path(QStringLiteral("Track0001.nmea"));
  store().SetText(Key::TripFile, track.toStdString());
  store().SetInt(Key::TripActive, 1);
  MakeWindow();
  mainWindow().controller().OnSentence(kRmc);
  EXPECT_NE(mainWindow().activePage(), mainWindow().page(kTrackPage));
  CloseWindow();
  QFile f(track);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll().toStdString(), kRmc + "\n");
}

TEST_F(MainWindowTest, StatusIndicatorRedYellowGreen) {
  WindowOptions options;
  options.replayFile = WriteReplay({kRmc, Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,6.0,2.1"),
                                    Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.0,2.1")});
  MakeWindow(options);
  mainWindow().controller().OnSentence(kRmc);  // an old fix while disconnected
  EXPECT_EQ(LedColour(), QColor(255, 0, 0));
  mainWindow().controller().ToggleConnection();
  ASSERT_TRUE(mainWindow().controller().IsConnected());
  mainWindow().controller().ReplayTick();
  EXPECT_EQ(LedColour(), QColor(0, 255, 0));
  mainWindow().controller().ReplayTick();  // HDOP 6 × 10 m > 50 m
  EXPECT_EQ(LedColour(), QColor(255, 255, 51));
  mainWindow().controller().ReplayTick();
  EXPECT_EQ(LedColour(), QColor(0, 255, 0));
}

TEST_F(MainWindowTest, ExitWhileConnectedStopsAndSavesThePositionAndSettings) {
  WindowOptions options;
  options.replayFile = WriteReplay({kRmc, kRmc});
  MakeWindow(options);
  mainWindow().settings().Change([](Settings& s) { s.speedUnit = SpeedUnit::Knot; });
  mainWindow().controller().ToggleConnection();
  mainWindow().controller().ReplayTick();
  ASSERT_TRUE(mainWindow().controller().IsConnected());
  mainWindow().exitButton()->click();
  EXPECT_FALSE(mainWindow().controller().IsConnected());
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetText(Key::LatDefault), "48.11730");
  EXPECT_EQ(store().GetText(Key::LonDefault), "11.51667");
  EXPECT_EQ(store().GetInt(Key::FmtSpeed), 2);
  EXPECT_EQ(store().GetInt(Key::Emulation), 0);  // --replay is for one run only
  EXPECT_TRUE(store().Has(Key::AccuracyGps));
  EXPECT_TRUE(store().Has(Key::UseRmc));
}

TEST_F(MainWindowTest, AutoStartConnectsOnceEveryPageExists) {
  store().SetInt(Key::AutoStart, 1);
  WindowOptions options;
  options.replayFile = WriteReplay({kRmc});
  MakeWindow(options);
  EXPECT_TRUE(mainWindow().controller().IsConnected());
  EXPECT_EQ(mainWindow().connectButton()->text(), "&Stop");
  mainWindow().controller().ReplayTick();
  EXPECT_EQ(StatusText("course"), QString::fromUtf8("84°"));
}

TEST_F(MainWindowTest, ScreenshotsOfEveryPage) {
  WindowOptions options;
  options.replayFile = WriteReplay({kGga, kRmc, kGga, kRmc});
  options.screenshotDir = path("shots");
  MakeWindow(options);
  EXPECT_EQ(mainWindow().RunScreenshots(), 0);
  const QStringList files = QDir(path("shots")).entryList({"*.png"}, QDir::Files, QDir::Name);
  EXPECT_TRUE(files.contains("page-0-status.png"));
  EXPECT_TRUE(files.contains("page-6-service.png")) << "named alike in every language";
  EXPECT_TRUE(files.contains("page-7-log.png"));
  EXPECT_TRUE(files.contains("page-8-about.png"));
  const QImage status(path("shots/page-0-status.png"));
  EXPECT_GE(status.width(), 600);
  // The replay stops on its last line, so the picture shows a live fix.
  EXPECT_TRUE(mainWindow().controller().IsConnected());
}

TEST_F(MainWindowTest, AboutPageTextsAndLink) {
  MakeWindow();
  Page* about = mainWindow().page(kAboutPage);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->findChild<QLabel*>("aboutName")->text(), "Tarvo");
  EXPECT_EQ(about->findChild<QLabel*>("aboutVersion")->text(), "v3.15");
  EXPECT_EQ(about->findChild<QLabel*>("aboutTagLine")->text(), "Global Satellite and Position Tracker");
  EXPECT_FALSE(about->findChild<QLabel*>("aboutPicture")->pixmap().isNull());
  EXPECT_FALSE(about->findChild<QLabel*>("aboutIcon")->pixmap().isNull());
  EXPECT_EQ(mainWindow().windowTitle(), "Tarvo");
}

TEST(Hyperlink, ColoursUnderlineAndFailure) {
  HyperlinkControl link;
  link.SetLink("https://example.org/");
  EXPECT_EQ(link.text(), "https://example.org/");  // the link stands in for an empty text
  EXPECT_EQ(link.toolTip(), "https://example.org/");
  EXPECT_EQ(link.currentColour(), QColor(0, 0, 238));
  EXPECT_FALSE(link.font().underline());
  link.SetUnderline(HyperlinkControl::Underline::Always);
  EXPECT_TRUE(link.font().underline());

  QString reported;
  link.SetFailureReporter([&](const QString& m) { reported = m; });
  link.SetOpener([](const QUrl&) { return false; });
  link.Open();
  EXPECT_EQ(reported,
            "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension.");
  EXPECT_FALSE(link.visited());
  link.SetOpener([](const QUrl& url) { return url.host() == "example.org"; });
  link.Open();
  EXPECT_TRUE(link.visited());
  EXPECT_EQ(link.currentColour(), QColor(85, 26, 139));
  EXPECT_EQ(HyperlinkErrorText(26), "A sharing violation occurred. ");
  EXPECT_EQ(HyperlinkErrorText(99), "Unknown Error (99) occurred.");
}

TEST_F(MainWindowTest, ArrowKeysInATextFieldEditTheTextInsteadOfChangingPages) {
  MakeWindow();
  mainWindow().ActivatePage(kHardwarePage);
  auto* edit = mainWindow().page(kHardwarePage)->findChild<QLineEdit*>("altitudeOffset");
  ASSERT_NE(edit, nullptr);
  mainWindow().activateWindow();
  edit->setFocus();
  ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == edit; }));
  QTest::keyClick(edit, Qt::Key_Left);
  EXPECT_EQ(mainWindow().activePage()->index(), kHardwarePage);
  mainWindow().page(kHardwarePage)->setFocus();
  QTest::keyClick(mainWindow().page(kHardwarePage), Qt::Key_Left);
  EXPECT_EQ(mainWindow().activePage()->index(), kTrackPage);
}

TEST_F(MainWindowTest, AChosenPathLongerThanTheLimitIsRefusedNotCut) {
  MakeWindow();
  QString path = "/home/ann/Tarvo_Log.nmea";
  QString message;
  CatchNextMessageBox(&message);
  const QString longPath = "/" + QString(300, 'a') + "/drive.nmea";
  EXPECT_FALSE(AcceptChosenPath(&mainWindow(), path, longPath));
  EXPECT_EQ(path, "/home/ann/Tarvo_Log.nmea");
  EXPECT_TRUE(message.startsWith("The path is too long (at most 259 characters)"));
  EXPECT_TRUE(AcceptChosenPath(&mainWindow(), path, "/home/ann/drive.nmea"));
  EXPECT_EQ(path, "/home/ann/drive.nmea");
  EXPECT_FALSE(AcceptChosenPath(&mainWindow(), path, ""));  // cancelled
  EXPECT_EQ(path, "/home/ann/drive.nmea");
}

TEST(FileDialogs, FilterPairsAndStartFolder) {
  const auto pairs = SplitFilterText("NMEA Files (*.nmea)|*.nmea|All Files (*.*)|*.*||");
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0], std::make_pair(std::string("NMEA Files (*.nmea)"), std::string("*.nmea")));
  EXPECT_EQ(pairs[1].second, "*.*");
  EXPECT_EQ(QtNameFilters("NMEA Files (*.nmea)|*.nmea|All Files (*.*)|*.*||"),
            QStringList({"NMEA Files (*.nmea)", "All Files (*)"}));
  const DialogStart start = DialogStartFor("/home/ann/tracks/Track0001.nmea");
  EXPECT_EQ(start.folder, "/home/ann/tracks");
  EXPECT_EQ(start.name, "Track0001.nmea");
  const DialogStart empty = DialogStartFor("");
  EXPECT_EQ(empty.folder, QDir::currentPath());
  EXPECT_EQ(empty.name, "");
}

}  // namespace
}  // namespace tarvo

namespace tarvo {
namespace {

using testing::WindowFixture;
using tarvo::test::Sentence;

class MainWindowFaultTest : public WindowFixture {
 protected:
  QLabel* StatusLabel(const char* name) {
    return mainWindow().page(kStatusPage)->findChild<QLabel*>(QString::fromLatin1(name));
  }
};

TEST_F(MainWindowFaultTest, AFullSpeedReplayEndsWithTheLastFixOnTheStatusPageWhenItIsShown) {
  WindowOptions options;
  options.replayFile = QStringLiteral(TARVO_SOURCE_DIR "/data/demo/demo-drive.nmea");
  options.screenshotDir = path(QStringLiteral("shots"));  // no connect at start
  MakeWindow(options);
  mainWindow().ActivatePage(kHardwarePage);
  mainWindow().controller().ToggleConnection();
  ASSERT_TRUE(mainWindow().controller().IsReplay());
  // Every line at once, as the screenshot run does, without the event loop.
  while (!mainWindow().controller().ReplayAtEnd() && mainWindow().controller().ReplayTick()) {
  }
  mainWindow().ActivatePage(kStatusPage);

  const Fix& fix = mainWindow().currentFix();
  const Settings& s = mainWindow().settings().values();
  const auto q = [](const std::string& t) { return QString::fromStdString(t); };
  const PositionText position =
      FormatPosition(s.coordFormat, fix.position.latitude, fix.position.longitude, PositionLayout::TwoField);
  ASSERT_GT(SignalBarsOf(fix.sky).inView, 0);
  EXPECT_EQ(StatusLabel("time")->text(), q(FixTimeText(fix.time, s.timeDisplay == TimeDisplay::Local)));
  EXPECT_FALSE(StatusLabel("time")->text().isEmpty());
  EXPECT_EQ(StatusLabel("value1")->text(), q(position.value1));
  EXPECT_EQ(StatusLabel("value2")->text(), q(position.value2));
  EXPECT_EQ(StatusLabel("speed")->text(),
            q(FormatSpeed(fix.speedKnots, s.speedUnit)));
  EXPECT_EQ(StatusLabel("course")->text(), q(CourseText(fix.course)));
  EXPECT_EQ(StatusLabel("altitude")->text(), q(AltitudeText(fix, s.altitudeOffset, s.distanceUnit)));
  EXPECT_EQ(StatusLabel("satView")->text(), QString::number(SignalBarsOf(fix.sky).inView));
  EXPECT_EQ(StatusLabel("satUse")->text(), QString::number(fix.satellitesUsed));

  // The pictures are taken the same way: a burst just before is in them.
  mainWindow().controller().OnSentence(Sentence("GPGSV,1,1,02,20,78,331,45,01,59,235,47"));  // still gathered
  ASSERT_EQ(SignalBarsOf(mainWindow().currentFix().sky).inView, 2);
  ASSERT_TRUE(mainWindow().SaveScreenshots(options.screenshotDir));
  EXPECT_EQ(StatusLabel("satView")->text(), QString::number(SignalBarsOf(mainWindow().currentFix().sky).inView));
}

TEST_F(MainWindowFaultTest, EnterInATextFieldCommitsItAndOnlyTheButtonsOwnKeysPressIt) {
  quietErrors_ = true;
  WindowOptions options;
  options.replayFile = QStringLiteral(TARVO_SOURCE_DIR "/data/demo/demo-drive.nmea");
  MakeWindow(options);
  mainWindow().activateWindow();
  mainWindow().ActivatePage(kHardwarePage);
  auto* edit = mainWindow().page(kHardwarePage)->findChild<QLineEdit*>(QStringLiteral("altitudeOffset"));
  ASSERT_NE(edit, nullptr);
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, QStringLiteral("25"));
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(mainWindow().settings().values().altitudeOffset, 25);
  EXPECT_FALSE(mainWindow().controller().IsConnected());
  QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_FALSE(mainWindow().controller().IsConnected());
  EXPECT_EQ(mainWindow().connectButton()->text(), QStringLiteral("&Start"));

  // Space on the focused button starts, a click stops.
  mainWindow().connectButton()->setFocus();
  QTest::keyClick(mainWindow().connectButton(), Qt::Key_Space);
  EXPECT_TRUE(mainWindow().controller().IsConnected());
  mainWindow().connectButton()->click();
  EXPECT_FALSE(mainWindow().controller().IsConnected());
}

TEST_F(MainWindowFaultTest, ASettingsFileThatCannotBeSavedIsReportedInTheWindow) {
  QFile blocker(path(QStringLiteral("blocker")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the settings folder should be
  blocker.close();
  UseSettingsFile(path(QStringLiteral("blocker/Pathlet.ini")).toStdString());
  MakeWindow();
  QString text;
  CatchNextMessageBox(&text);
  static_cast<StatusPage*>(mainWindow().page(kStatusPage))->SetCoordFormat(CoordFormat::WgsDm);
  EXPECT_TRUE(text.contains(QStringLiteral("blocker/Pathlet.ini"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromLocal8Bit(std::strerror(ENOTDIR)))) << text.toStdString();
  EXPECT_EQ(mainWindow().settings().values().coordFormat, CoordFormat::WgsDm);  // the choice stays in effect

  text.clear();
  CatchNextMessageBox(&text);
  mainWindow().exitButton()->click();
  EXPECT_TRUE(text.contains(QStringLiteral("blocker/Pathlet.ini"))) << text.toStdString();
  CloseWindow();
}

}  // namespace
}  // namespace tarvo

namespace tarvo {
namespace {

class MainWindowSizeTest : public testing::WindowFixture {};

// Texts of the visible labels of `page` wider than their labels.
QStringList CutLabels(QWidget* page) {
  QStringList cut;
  for (QLabel* label : page->findChildren<QLabel*>()) {
    if (!label->isVisibleTo(page) || label->text().isEmpty()) continue;
    const int needed = label->fontMetrics().horizontalAdvance(label->text());
    if (needed > label->contentsRect().width()) {
      cut << QStringLiteral("%1 '%2' %3>%4").arg(label->objectName(), label->text()).arg(needed).arg(label->contentsRect().width());
    }
  }
  return cut;
}

TEST_F(MainWindowSizeTest, AtTheMinimumSizeNoStatusTextIsCutAndTheDrawingsDoNotOverlap) {
  WindowOptions options;
  options.replayFile = QStringLiteral(TARVO_SOURCE_DIR "/data/demo/demo-drive.nmea");
  options.screenshotDir = path(QStringLiteral("shots"));
  MakeWindow(options);
  mainWindow().controller().ToggleConnection();
  while (!mainWindow().controller().ReplayAtEnd() && mainWindow().controller().ReplayTick()) {
  }
  auto* status = static_cast<StatusPage*>(mainWindow().page(kStatusPage));
  status->FlushPendingRefresh();
  // The widest texts of each field.
  mainWindow().settings().Change([](Settings& s) { s.speedUnit = SpeedUnit::Knot; });
  mainWindow().settings().Change([](Settings& s) { s.distanceUnit = DistanceUnit::Imperial; });
  status->RefreshUnits();
  const QSize minimum = mainWindow().minimumSize();
  EXPECT_GE(minimum.width(), 400);
  EXPECT_LE(minimum.width(), 660);
  EXPECT_LE(minimum.height(), 520);
  mainWindow().resize(1, 1);  // as small as the window lets itself be made
  QApplication::processEvents();
  EXPECT_EQ(mainWindow().size(), minimum);
  EXPECT_EQ(CutLabels(status), QStringList());
  EXPECT_FALSE(status->CompassImageRect().intersects(status->SkyImageRect()))
      << status->CompassImageRect().bottom() << " " << status->SkyImageRect().top();
  EXPECT_TRUE(status->rect().contains(status->CompassImageRect()));
  EXPECT_TRUE(status->rect().contains(status->SkyImageRect()));

  status->Zoom(true);
  QApplication::processEvents();
  EXPECT_EQ(CutLabels(status), QStringList());
  EXPECT_TRUE(status->rect().contains(status->CompassImageRect()));

  // Without a window manager nothing holds the window at its minimum (that is
  // how a 480 x 400 window came about): the page scrolls instead of squeezing.
  status->Zoom(false);
  mainWindow().layout()->setSizeConstraint(QLayout::SetNoConstraint);
  mainWindow().setMinimumSize(0, 0);
  mainWindow().resize(480, 400);
  QApplication::processEvents();
  ASSERT_EQ(mainWindow().size(), QSize(480, 400));
  EXPECT_EQ(CutLabels(status), QStringList());
  EXPECT_FALSE(status->CompassImageRect().intersects(status->SkyImageRect()));
  EXPECT_TRUE(status->rect().contains(status->SkyImageRect()));
}

}  // namespace
}  // namespace tarvo
