// The satellites page on its own, offscreen: layout, the scene's pixels in
// both modes, compass following, mouse turning, keys, settings and the
// colours and legend of several satellite systems.
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <cstdlib>
#include <memory>

#include "gui/satellites/satellites_page.h"
#include "gui/status/sky_plot.h"
#include "gui/window/settings_model.h"
#include "page_fixture.h"
#include "tests/unit/gps/test_nmea_util.h"

namespace tarvo {
namespace {

using tarvo::test::Sentence;

const QColor kFront(51, 153, 255);
const QColor kLid(255, 0, 0);

class SatellitesPageTest : public testing::PageFixture {
 protected:
  void TearDown() override {
    DropPage();
    PageFixture::TearDown();
  }
  SatellitesPage& MakePage() {
    page_ = std::make_unique<SatellitesPage>(host());
    page_->resize(420, 340);
    page_->OnCreate();
    host().connection().AddListener(page_.get());
    host().SetActivePage(page_.get());
    page_->OnActivate();
    return *page_;
  }
  void DropPage() {
    if (!page_) return;
    host().connection().RemoveListener(page_.get());
    page_.reset();
  }
  // One satellite in view: "prn,el,az,snr".
  void FeedOne(const std::string& sat) { host().Feed(Sentence("GPGSV,1,1,01," + sat)); }
  static QColor At(const QImage& img, int x, int y) { return img.pixelColor(x, y); }
  static int Count(const QImage& img, QColor c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) n += img.pixelColor(x, y) == c;
    return n;
  }

  std::unique_ptr<SatellitesPage> page_;
};

TEST_F(SatellitesPageTest, TheDiscFollowsTheFrame) {
  SatellitesPage& page = MakePage();
  page.RenderScene(300, 200);
  EXPECT_EQ(page.discRx(), 136);
  EXPECT_EQ(page.discRy(), 34);
  EXPECT_EQ(page.horizonY(), 146);
  page.RenderScene(300, 100);  // H / 4 = 25 < 34
  EXPECT_EQ(page.discRy(), 25);
  EXPECT_EQ(page.discRx(), 100);
  // A frame too small for a disc draws without fault.
  EXPECT_EQ(page.RenderScene(3, 2).size(), QSize(3, 2));
}

TEST_F(SatellitesPageTest, SignalBarsStandWhereTheSatellitesAre) {
  SatellitesPage& page = MakePage();
  // Azimuth 0, elevation 0: at the top of the rim (150, 146 - 34), 40 * 136 / 100 = 54 high.
  FeedOne("05,00,000,40");
  QImage img = page.RenderScene(300, 200);
  EXPECT_EQ(At(img, 148, 112 + 2), kFront);       // bottom of the front face, y + 3 is its edge
  EXPECT_NE(At(img, 148, 112 + 5), kFront);
  EXPECT_EQ(At(img, 148, 112 + 3 - 52), kFront);  // near its top
  EXPECT_NE(At(img, 148, 112 - 60), kFront);
  EXPECT_EQ(At(img, 152, 112 - 30), kFront);
  EXPECT_EQ(At(img, 156, 112 - 30), QColor(51, 0, 204));  // side face, x + 4 .. x + 7

  // Elevation 90: in the centre.
  FeedOne("05,90,000,40");
  img = page.RenderScene(300, 200);
  EXPECT_EQ(At(img, 148, 146 - 20), kFront);
  EXPECT_NE(At(img, 148, 112 - 20), kFront);

  // Snr 0: a red lid and no bar (east, elevation 45: x = 150 + 68).
  FeedOne("05,45,090,00");
  img = page.RenderScene(300, 200);
  EXPECT_EQ(At(img, 219, 147), kLid);
  EXPECT_EQ(Count(img, kFront), 0);

  // No position in the sentence: nothing drawn, nothing placed off the disc.
  FeedOne("05,,,40");
  EXPECT_EQ(Count(page.RenderScene(300, 200), kFront), 0);
}

TEST_F(SatellitesPageTest, PositionModeBallsByStrength) {
  SatellitesPage& page = MakePage();
  page.OnPageKey(Qt::Key_Down);
  EXPECT_EQ(page.drawMode(), 1);
  EXPECT_TRUE(page.findChild<QRadioButton*>("position")->isChecked());
  FeedOne("05,45,090,00");  // no signal: not drawn
  EXPECT_EQ(Count(page.RenderScene(300, 200), kFront), 0);
  FeedOne("05,45,090,99");  // distance 0: the ball sits on the observer
  QImage img = page.RenderScene(300, 200);
  EXPECT_EQ(At(img, 150 - 6, 146), kFront);
  EXPECT_EQ(At(img, 150 + 6, 146), kFront);
  EXPECT_EQ(At(img, 150, 146 + 6), kFront);
  EXPECT_NE(At(img, 150 - 11, 146), kFront);
  page.OnPageKey(Qt::Key_Up);
  EXPECT_EQ(page.drawMode(), 0);
  EXPECT_TRUE(page.findChild<QRadioButton*>("signal")->isChecked());
  EXPECT_TRUE(page.OnPageKey(Qt::Key_Right));
  EXPECT_EQ(host().pageSteps, 1);
}

TEST_F(SatellitesPageTest, CompassFollowsTheCourseAndTheMouseTurns) {
  SatellitesPage& page = MakePage();
  const std::string rmc = Sentence("GPRMC,123520,A,4807.038,N,01131.000,E,022.4,350.4,230394,003.1,W");
  host().Feed(rmc);
  EXPECT_EQ(page.viewAngle(), 90);  // compass off
  page.SetCompassMode(true);
  EXPECT_EQ(page.courseText(), "350");
  host().Feed(Sentence("GPRMC,123521,A,4807.038,N,01131.000,E,022.4,350.4,230394,003.1,W"));
  EXPECT_EQ(page.viewAngle(), 80);  // 350 + 90 - 360
  EXPECT_EQ(page.courseText(), "350");

  // While dragging the course does not turn the scene; three moves right turn it by 15.
  page.MousePress(QPoint(100, 100));
  page.MouseMove(QPoint(101, 100));
  page.MouseMove(QPoint(150, 100));
  page.MouseMove(QPoint(150, 100));  // no movement: no turn
  page.MouseMove(QPoint(151, 100));
  host().Feed(Sentence("GPRMC,123522,A,4807.038,N,01131.000,E,022.4,010.0,230394,003.1,W"));
  EXPECT_EQ(page.viewAngle(), 95);
  page.MouseRelease();
  page.MouseMove(QPoint(10, 100));  // not dragging
  EXPECT_EQ(page.viewAngle(), 95);

  page.SetCompassMode(false);
  EXPECT_EQ(page.viewAngle(), 90);
  EXPECT_EQ(page.courseText(), "");
  page.MousePress(QPoint(100, 100));
  for (int x = 99; x > 80; --x) page.MouseMove(QPoint(x, 100));  // 19 moves left: 90 - 95, wrapping
  EXPECT_EQ(page.viewAngle(), 355);
}

TEST_F(SatellitesPageTest, ModesAreKeptInTheSettings) {
  SatellitesPage& page = MakePage();
  page.SetDrawMode(1);
  page.SetCompassMode(true);
  DropPage();
  EXPECT_EQ(host().settings().pageValue(Key::SatDrawMode), 1);
  EXPECT_EQ(host().settings().pageValue(Key::SatCompassMode), 1);
  SatellitesPage& again = MakePage();
  EXPECT_EQ(again.drawMode(), 1);
  EXPECT_TRUE(again.compassMode());
  EXPECT_TRUE(again.findChild<QRadioButton*>("position")->isChecked());
}

TEST_F(SatellitesPageTest, EverySystemInItsColourWithALegend) {
  SatellitesPage& page = MakePage();
  // Twelve GPS satellites in the west, and a GLONASS one east at elevation 45.
  std::string body[3];
  for (int m = 0; m < 3; ++m) {
    body[m] = "GPGSV,3," + std::to_string(m + 1) + ",12";
    for (int i = 0; i < 4; ++i) {
      const int n = m * 4 + i;
      body[m] += "," + std::to_string(n + 1) + ",30," + std::to_string(200 + n * 5) + ",35";
    }
    host().Feed(Sentence(body[m]));
  }
  host().Feed(Sentence("GLGSV,1,1,01,70,45,090,40"));
  ASSERT_EQ(host().currentFix().sky.size(), 13u);
  const QColor glonass = SystemColour(GnssSystem::Glonass);
  const QImage img = page.RenderScene(300, 200);
  EXPECT_EQ(At(img, 216, 146 - 10), glonass);  // the GLONASS bar's front
  EXPECT_GT(Count(img, kFront), 12 * 20);       // every GPS bar
  // The legend: a swatch per system, GPS first.
  EXPECT_EQ(At(img, 5, 6), kFront);
  const int line = QFontMetrics(host().palette().small).height();
  EXPECT_EQ(At(img, 5, 6 + line), glonass);

  // One system alone needs no legend.
  host().Feed(Sentence("GPGSV,1,1,01,05,45,090,40"));
  host().now += 60;  // the other reports age out
  host().Feed(Sentence("GPGSV,1,1,01,05,45,090,40"));
  EXPECT_NE(At(page.RenderScene(300, 200), 5, 6), kFront);
}

TEST_F(SatellitesPageTest, TheWidgetShowsTheScene) {
  SatellitesPage& page = MakePage();
  host().Feed(Sentence("GPGSV,1,1,02,05,45,090,40,12,20,300,25"));
  host().Feed(Sentence("GAGSV,1,1,01,301,60,200,45"));
  for (int mode : {0, 1}) {
    page.SetDrawMode(mode);
    page.FlushPendingRefresh();
    const QImage shot = page.grab().toImage();
    if (const char* out = std::getenv("TARVO_SATELLITES_GRAB"))  // to look at the page
      shot.save(QString::fromLocal8Bit(out) + QString::number(mode) + ".png");
    const QRect scene = page.sceneRect();
    const QImage drawn = page.RenderScene(scene.width(), scene.height());
    EXPECT_EQ(shot.copy(scene).convertToFormat(QImage::Format_RGB32), drawn) << "mode " << mode;
  }
}

}  // namespace
}  // namespace tarvo
