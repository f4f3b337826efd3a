// The status page on the real window, offscreen: texts, clicks, keys, layouts.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <pty.h>
#include <unistd.h>

#include "core/gps/nmea.h"
#include "gui/status/status_page.h"
#include "gui_fixture.h"
#include "tests/unit/gps/test_nmea_util.h"

namespace tarvo {
namespace {

using tarvo::test::Sentence;

using testing::WindowFixture;


class StatusPageTest : public WindowFixture {
 protected:
  StatusPage& Status() { return *static_cast<StatusPage*>(mainWindow().page(kStatusPage)); }
  QString Text(const char* name) {
    auto* label = Status().findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(name);
  }
  QPoint CentreOf(const char* name) {
    auto* w = Status().findChild<QWidget*>(QString::fromLatin1(name));
    return w->mapTo(&Status(), w->rect().center());
  }
  void Feed(const std::string& line) {
    mainWindow().controller().OnSentence(line);
    Status().FlushPendingRefresh();
  }
};

TEST_F(StatusPageTest, BeforeTheFirstFixTheStartPositionShowsWithoutATime) {
  store().SetText(Key::LatDefault, "52.0875");
  store().SetText(Key::LonDefault, "-4.5");
  MakeWindow();
  EXPECT_EQ(Text("time"), "");
  EXPECT_EQ(Text("label1"), "N");
  EXPECT_EQ(Text("value1"), QString::fromUtf8("52° 5'15.0\""));
  EXPECT_EQ(Text("label2"), "W");
  EXPECT_EQ(Text("value2"), QString::fromUtf8("4°30'0.0\""));
  EXPECT_EQ(Text("satView"), "0");
  EXPECT_EQ(Text("marker"), "");
}

TEST_F(StatusPageTest, SentencesFillTheFields) {
  MakeWindow();
  mainWindow().settings().connection().useRmc = false;  // GGA as the position source
  Feed(Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_EQ(Text("time"), "12:35:19 UTC");
  EXPECT_EQ(Text("value1"), QString::fromUtf8("48° 7'2.3\""));
  EXPECT_EQ(Text("altitude"), "545 m");
  EXPECT_EQ(Text("satUse"), "8");
  Feed(Sentence("GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"));
  EXPECT_EQ(Text("course"), QString::fromUtf8("84°"));
  EXPECT_EQ(Text("speed"), "41 km/h");  // the first speed since the connect reads as sent
  Feed(Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"));
  EXPECT_EQ(Text("fixMode"), "3D");
  EXPECT_EQ(Text("dopLine"), "hdop: 1.3 (13.0 m), vdop: 2.1, pdop: 2.5");
  Feed(Sentence("PGRME,15.0,M,45.0,M,25.0,M"));
  Feed(Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"));
  EXPECT_EQ(Text("dopLine"), "hdop: 1.3 (13.0 m), vdop: 2.1, pdop: 2.5, Err: 15.0 m");
}

TEST_F(StatusPageTest, SignalBarsAndTheSatelliteCount) {
  MakeWindow();
  Feed(Sentence("GPGSV,1,1,04,03,41,050,19,07,60,317,20,08,34,315,32,11,35,148,33"));
  auto* page = &Status();
  auto bar = [&](int i) { return page->findChild<SignalBarWidget*>(QStringLiteral("bar%1").arg(i)); };
  EXPECT_EQ(bar(0)->colour(), BarColour::Red);
  EXPECT_EQ(bar(1)->colour(), BarColour::Blue);
  EXPECT_EQ(bar(2)->colour(), BarColour::Blue);
  EXPECT_EQ(bar(3)->colour(), BarColour::Green);
  EXPECT_EQ(bar(3)->value(), 33);
  EXPECT_EQ(Text("prn0"), "3");
  EXPECT_EQ(Text("satView"), "4");
  // A satellite with a PRN but no signal: empty bar, no label.
  Feed(Sentence("GPGSV,1,1,02,03,41,050,,07,60,317,44"));
  EXPECT_EQ(bar(0)->value(), 0);
  EXPECT_EQ(Text("prn0"), "");
  EXPECT_EQ(Text("prn1"), "7");
  EXPECT_EQ(Text("satView"), "1");
}

TEST_F(StatusPageTest, AltitudeOffsetIsLeftOutAtZeroZero) {
  store().SetText(Key::AltitudeOffset, "100");
  MakeWindow();
  Feed(Sentence("PGRMZ,1000,f,3"));  // 304.785 m, the position still 0/0
  EXPECT_EQ(Text("altitude"), "304 m");
  mainWindow().state().gpsFix.latitude = 46.0;
  Feed(Sentence("PGRMZ,1000,f,3"));
  EXPECT_EQ(Text("altitude"), "204 m");
}

TEST_F(StatusPageTest, ClicksCycleUnitsAndAreStored) {
  MakeWindow();
  Feed(Sentence("GPRMC,120000,A,4600.000,N,00800.000,E,5.4,0.0,090624,,"));
  const QPoint speed = CentreOf("speed");
  Status().ClickAt(speed);
  EXPECT_EQ(mainWindow().settings().values().speedUnit, SpeedUnit::Mph);
  EXPECT_EQ(store().GetInt(Key::FmtSpeed), 1);
  Status().ClickAt(speed);
  Status().ClickAt(speed);
  EXPECT_EQ(mainWindow().settings().values().speedUnit, SpeedUnit::Kmh);  // three clicks: back where it started
  EXPECT_EQ(Text("speed"), "10 km/h");

  Status().ClickAt(CentreOf("altitude"));
  EXPECT_EQ(mainWindow().settings().values().distanceUnit, DistanceUnit::Imperial);
  EXPECT_EQ(Text("altitude"), "0 ft");
  EXPECT_EQ(store().GetInt(Key::FmtDist), 1);

  Status().ClickAt(CentreOf("time"));
  EXPECT_EQ(mainWindow().settings().values().timeDisplay, TimeDisplay::Local);

  Status().ClickAt(CentreOf("compassArea"));
  EXPECT_EQ(Status().courseCompassMode(), CompassMode::CourseUp);
  EXPECT_EQ(Text("marker"), "C");
}

TEST_F(StatusPageTest, FormatMenuTicksTheCurrentFormatAndSetsTheNewOne) {
  store().SetText(Key::LatDefault, "47.0");
  store().SetText(Key::LonDefault, "8.0");
  MakeWindow();
  std::unique_ptr<QMenu> menu(Status().CreateFormatMenu());
  QList<QAction*> formats;
  for (QAction* a : menu->actions()) {
    if (!a->isSeparator()) formats << a;
  }
  ASSERT_EQ(formats.size(), 19);
  EXPECT_TRUE(formats[0]->isChecked());
  EXPECT_TRUE(menu->actions()[3]->isSeparator());
  formats[3]->trigger();  // UTM (WGS84)
  EXPECT_EQ(mainWindow().settings().values().coordFormat, CoordFormat::UtmWgs84);
  EXPECT_EQ(store().GetInt(Key::FmtPos), 3);
  EXPECT_EQ(Text("label1"), "N");
  EXPECT_EQ(Text("zone"), "32T");
  // The two New Zealand formats can be chosen here as well.
  Status().SetCoordFormat(CoordFormat::Nzmg);
  EXPECT_EQ(mainWindow().settings().values().coordFormat, CoordFormat::Nzmg);
  EXPECT_EQ(Text("label1"), "X");
  std::unique_ptr<QMenu> again(Status().CreateFormatMenu());
  EXPECT_TRUE(again->actions().last()->isChecked());
}

TEST_F(StatusPageTest, ArrowKeysZoomAndSwitchPages) {
  MakeWindow();
  EXPECT_TRUE(mainWindow().zoomInAction()->isEnabled());
  EXPECT_FALSE(mainWindow().zoomOutAction()->isEnabled());
  EXPECT_FALSE(mainWindow().pageMenuAction()->isEnabled());
  EXPECT_TRUE(Status().OnPageKey(Qt::Key_Up));
  EXPECT_TRUE(Status().zoomedIn());
  EXPECT_FALSE(mainWindow().zoomInAction()->isEnabled());
  EXPECT_TRUE(mainWindow().zoomOutAction()->isEnabled());
  EXPECT_TRUE(Status().findChild<QWidget*>("zoomLayout")->isVisible());
  EXPECT_FALSE(Status().findChild<QWidget*>("fullLayout")->isVisible());
  EXPECT_TRUE(Status().OnPageKey(Qt::Key_Down));
  EXPECT_FALSE(Status().zoomedIn());

  // Left on the first page wraps to the last, Right on the last to the first.
  EXPECT_TRUE(Status().OnPageKey(Qt::Key_Left));
  EXPECT_EQ(mainWindow().activePage()->index(), kAboutPage);
  EXPECT_TRUE(mainWindow().activePage()->OnPageKey(Qt::Key_Right));
  EXPECT_EQ(mainWindow().activePage()->index(), kStatusPage);
  EXPECT_FALSE(Status().OnPageKey(Qt::Key_A));
}

TEST_F(StatusPageTest, SmallScreenLowerViewRules) {
  MakeWindow();
  mainWindow().SetScreenHeightForTest(240);
  EXPECT_TRUE(Status().OnPageKey(Qt::Key_Down));
  EXPECT_TRUE(Status().lowerView());
  Status().ClickAt(CentreOf("speed"));  // ignored in the lower view
  EXPECT_EQ(mainWindow().settings().values().speedUnit, SpeedUnit::Kmh);
  EXPECT_TRUE(Status().OnPageKey(Qt::Key_Up));
  EXPECT_FALSE(Status().lowerView());
  Status().Zoom(true);
  Status().Zoom(false);  // on a small screen only the empty button comes back
  EXPECT_FALSE(Status().findChild<QWidget*>("fullLayout")->isVisible());
  EXPECT_TRUE(Status().findChild<QWidget*>("smallScreenButton")->isVisible());
}

TEST_F(StatusPageTest, ZoomedInClicks) {
  MakeWindow();
  Status().Zoom(true);
  QApplication::processEvents();
  Status().ClickAt(CentreOf("zoomSpeed"));
  EXPECT_EQ(mainWindow().settings().values().speedUnit, SpeedUnit::Mph);
  Status().ClickAt(QPoint(5, Status().height() - 5));  // anywhere else: compass mode
  EXPECT_EQ(Status().courseCompassMode(), CompassMode::CourseUp);
  EXPECT_FALSE(Text("line1").isEmpty());
}

TEST_F(StatusPageTest, ANewPositionShowsAtOnceAndBurstsAreGathered) {
  MakeWindow();
  Status().FlushPendingRefresh();
  QTest::qWait(StatusPage::kMinRefreshMs + 5);
  const int before = Status().refreshCount();
  mainWindow().controller().OnSentence(Sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"));
  EXPECT_EQ(Status().refreshCount(), before + 1);  // a position after a quiet spell: at once
  EXPECT_EQ(Text("value1"), QString::fromUtf8("48° 7'2.3\""));

  // A burst right after it waits and is shown in one refresh.
  for (int i = 0; i < 100; ++i) {
    mainWindow().controller().OnSentence(Sentence("PGRMZ,2000,f,3"));
    mainWindow().controller().OnSentence(Sentence("GPRMC,123520,A,4807.038,N,01131.000,E,022.4,094.4,230394,003.1,W"));
  }
  EXPECT_EQ(Status().refreshCount(), before + 1);
  EXPECT_EQ(Text("altitude"), "0 m");
  ASSERT_TRUE(WaitFor([&] { return Text("altitude") == "609 m"; }, 1000));
  EXPECT_EQ(Status().refreshCount(), before + 2);
  EXPECT_EQ(Text("course"), QString::fromUtf8("94°"));
}

TEST_F(StatusPageTest, FiveSecondsWithoutASoundSentenceTurnTheLightRedAndSaySo) {
  int master = -1;
  int slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  store().SetText(Key::PortName, ttyname(slave));
  MakeWindow();
  mainWindow().ActivatePage(kStatusPage);
  mainWindow().controller().ToggleConnection();
  ASSERT_TRUE(mainWindow().controller().IsConnected());
  // The indicator as the page paints it, top right.
  const auto light = [&] { return Status().grab().toImage().pixelColor(Status().width() - 9, 8); };
  const QColor green(0, 255, 0);
  const QColor red(255, 0, 0);
  const std::string rmc = Sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") + "\r\n";
  const auto send = [&](const std::string& bytes) {
    return ::write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  };

  ASSERT_TRUE(send(rmc + "$GPGGA,1*00\r\n"));
  ASSERT_TRUE(WaitFor([&] { return Text("checksumErrors") == "1"; }));
  EXPECT_EQ(light(), green);
  EXPECT_EQ(Text("staleText"), "");
  EXPECT_EQ(Text("lineSpeed"), "4800 baud");
  EXPECT_EQ(Text("fixAge").right(2), " s");

  // Then silence: the page notices by itself, within its refresh.
  ASSERT_TRUE(WaitFor([&] { return !Text("staleText").isEmpty(); }, 5000 + 2 * StatusPage::kHealthRefreshMs));
  EXPECT_EQ(Text("staleText"), "Stale: no valid sentence for 5 s");
  EXPECT_EQ(light(), red);
  EXPECT_EQ(Text("sentenceRate"), "0.0/s");

  // One sound sentence ends it.
  ASSERT_TRUE(send(rmc));
  ASSERT_TRUE(WaitFor([&] { return Text("staleText").isEmpty(); }));
  EXPECT_EQ(light(), green);
  mainWindow().controller().ToggleConnection();
  EXPECT_EQ(Text("sentenceRate"), QString::fromUtf8("\u2013"));
  ::close(master);
  ::close(slave);
}

TEST_F(StatusPageTest, CompassModeIsKeptAcrossRuns) {
  MakeWindow();
  Status().ClickAt(CentreOf("compassArea"));
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::CourseCompassMode), 1);
  MakeWindow();
  EXPECT_EQ(Status().courseCompassMode(), CompassMode::CourseUp);
  EXPECT_EQ(Text("marker"), "C");
}

}  // namespace
}  // namespace tarvo
