// The map and POI pages together in the window: the map's waypoint commands
// edit the window's POI list through the POI page and its dialogs, a click on
// a waypoint makes it the go-to target, and a calibrated map follows the
// replayed position.
#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "core/map/map_files.h"
#include "core/poi/poi_list.h"
#include "gui/map/map_page.h"
#include "gui/poi/location_dialog.h"
#include "gui/poi/poi_page.h"
#include "gui_fixture.h"
#include "tests/unit/gps/test_nmea_util.h"

namespace tarvo {
namespace {

using tarvo::test::Sentence;

// An RMC fix at (lat, lon) degrees north and east, 5 knots at `course`.
std::string Rmc(double lat, double lon, double course) {
  char text[128];
  const int latDeg = static_cast<int>(lat), lonDeg = static_cast<int>(lon);
  std::snprintf(text, sizeof text, "GPRMC,120000,A,%02d%06.3f,N,%03d%06.3f,E,5.0,%.1f,090624,,", latDeg,
                (lat - latDeg) * 60.0, lonDeg, (lon - lonDeg) * 60.0, course);
  return Sentence(text);
}

class MapPoiWindowTest : public testing::WindowFixture {
 protected:
  // A white 2000 x 2000 map, 0.001 degree per 100 pixels from 46.01 N 8 E,
  // and a POI file of its own, both in the test folder; then the window with
  // `fixes` to replay, connected, and the map page shown.
  void Start(const std::vector<std::string>& fixes) {
    QImage img(2000, 2000, QImage::Format_RGB32);
    img.fill(Qt::white);
    ASSERT_TRUE(img.save(path("area.png"), "PNG"));
    CalibrationData data;
    data.refPoints[0] = RefPoint{0, 0, 46.01, 8.0};
    data.refPoints[1] = RefPoint{2000, 2000, 45.99, 8.02};
    ASSERT_EQ(SaveCalibrationFile(path("area.png").toStdString(), data), 0);
    store().SetText(Key::MapFile, path("area.png").toStdString());
    store().SetText(Key::TrkFile, path("pois.csv").toStdString());
    QFile replay(path("drive.nmea"));
    ASSERT_TRUE(replay.open(QIODevice::WriteOnly));
    for (const std::string& l : fixes) replay.write((l + "\r\n").c_str());
    replay.close();
    WindowOptions options;
    options.replayFile = path("drive.nmea");
    MakeWindow(options);
    mainWindow().ActivatePage(kMapPage);
    mainWindow().controller().ToggleConnection();
    ASSERT_TRUE(mainWindow().controller().ReplayTick());
    ASSERT_TRUE(map().calibration().IsCalibrated());
  }
  void TearDown() override {
    menu_.reset();  // the page owns its menus
    WindowFixture::TearDown();
  }
  MapPage& map() { return *static_cast<MapPage*>(mainWindow().page(kMapPage)); }
  PoiPage& poi() { return *static_cast<PoiPage*>(mainWindow().page(kPoiPage)); }
  QPoint PagePoint(MapPixel p) { return map().mapArea().topLeft() + map().MapPointOf(p); }
  QAction* ContextAction(MapPixel at, const char* name) {
    menu_.reset(map().CreateContextMenu(PagePoint(at)));
    return menu_->findChild<QAction*>(QString::fromLatin1(name));
  }
  // Runs `answer` on the next modal dialog a command opens (its exec()).
  void AnswerNextDialog(std::function<void(QDialog*)> answer, int tries = 0) {
    QTimer::singleShot(tries == 0 ? 0 : 10, [this, answer, tries] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (dialog && dialog != &mainWindow()) {
        answer(dialog);
      } else if (tries < 500) {
        AnswerNextDialog(answer, tries + 1);
      }
    });
  }
  // The location dialog: records the offered position, types `name`, OK.
  void NameInDialog(const QString& name, LatLon* offered = nullptr) {
    AnswerNextDialog([name, offered](QDialog* d) {
      auto* location = qobject_cast<LocationDialog*>(d);
      ASSERT_NE(location, nullptr);
      if (offered && location->ReadFields()) *offered = {location->values().latitude, location->values().longitude};
      location->nameEdit()->setText(name);
      location->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
  }
  bool FlagAt(const QImage& img, MapPixel p) {
    return img.pixelColor(map().MapPointOf(p) + QPoint(0, -8)) != QColor(Qt::white);  // the pole
  }
  QByteArray PoiFileText() {
    QFile f(path("pois.csv"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  std::unique_ptr<QMenu> menu_;
};

TEST_F(MapPoiWindowTest, TheMapsWaypointCommandsEditThePoiListAndTheGoToTarget) {
  Start({Rmc(46.0, 8.01, 90.0)});
  const MapPixel spring{1150, 1050}, bridge{1000, 1150};

  // Add Waypoint opens the POI page's dialog at the clicked spot.
  LatLon offered;
  NameInDialog("Spring", &offered);
  QAction* add = ContextAction(spring, "addWaypoint");
  ASSERT_TRUE(add->isEnabled());
  add->trigger();
  const LatLon springAt = map().calibration().PixelToGeo(spring.x, spring.y);
  EXPECT_NEAR(offered.latitude, springAt.latitude, 1e-6);
  EXPECT_NEAR(offered.longitude, springAt.longitude, 1e-6);
  NameInDialog("Bridge");
  ContextAction(bridge, "addWaypoint")->trigger();
  ASSERT_EQ(poi().list().size(), 2u);
  ASSERT_EQ(poi().model()->rowCount(), 2);
  EXPECT_EQ(poi().cellText(0, PoiTableModel::kPlace), "Spring");
  EXPECT_EQ(poi().cellText(1, PoiTableModel::kPlace), "Bridge");
  EXPECT_TRUE(PoiFileText().contains("Bridge"));
  const QImage& drawn = map().RenderMap();
  EXPECT_TRUE(FlagAt(drawn, spring));
  EXPECT_TRUE(FlagAt(drawn, bridge));

  // The newest is the go-to target; a click on the other one on the map
  // selects it on the POI page and makes it the target.
  ASSERT_TRUE(poi().goToTarget());
  EXPECT_NEAR(poi().goToTarget()->latitude, poi().list().at(1).latitude, 1e-12);
  map().MousePress(PagePoint(spring));
  map().MouseRelease(PagePoint(spring));
  EXPECT_EQ(map().infoText(), "1. Spring");
  EXPECT_EQ(poi().selectedIndex(), 0);
  ASSERT_TRUE(poi().goToTarget());
  EXPECT_NEAR(poi().goToTarget()->latitude, poi().list().at(0).latitude, 1e-12);
  EXPECT_NEAR(poi().goToTarget()->longitude, poi().list().at(0).longitude, 1e-12);
  EXPECT_EQ(poi().goToText("distance"), poi().cellText(0, PoiTableModel::kDistance));

  // Show POI Route draws the blue line from the first to the second.
  menu_.reset(map().CreateOptionsMenu());
  menu_->findChild<QAction*>("showPoiRoute")->trigger();
  EXPECT_EQ(map().RenderMap().pixelColor(map().MapPointOf({1075, 1100})), QColor(0, 0, 255));

  // Edit Waypoint renames it in the list and in the file.
  NameInDialog("Spring water");
  ContextAction(spring, "editWaypoint")->trigger();
  EXPECT_EQ(poi().list().at(0).name, "Spring water");
  EXPECT_EQ(poi().cellText(0, PoiTableModel::kPlace), "Spring water");
  EXPECT_TRUE(PoiFileText().contains("Spring water"));

  // Move Waypoint: the next click is its new place, on the map and in the list.
  const MapPixel moved{900, 1100};
  ContextAction(bridge, "moveWaypoint")->trigger();
  EXPECT_EQ(map().infoText(), "Click new position");
  map().MousePress(PagePoint(moved));
  map().MouseRelease(PagePoint(moved));
  const PoiRecord& b = poi().list().at(1);
  EXPECT_EQ(map().calibration().GeoToPixel(b.latitude, b.longitude), moved);
  const QImage& after = map().RenderMap();
  EXPECT_TRUE(FlagAt(after, moved));
  EXPECT_FALSE(FlagAt(after, bridge));

  // Delete Waypoint asks first; the target goes with the record.
  AnswerNextDialog([](QDialog* d) {
    auto* box = qobject_cast<QMessageBox*>(d);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Delete this location?");
    box->button(QMessageBox::Yes)->click();
  });
  ContextAction(spring, "deleteWaypoint")->trigger();
  ASSERT_EQ(poi().list().size(), 1u);
  EXPECT_EQ(poi().list().at(0).name, "Bridge");
  EXPECT_EQ(poi().model()->rowCount(), 1);
  EXPECT_FALSE(poi().goToTarget());
  EXPECT_FALSE(PoiFileText().contains("Spring"));
  EXPECT_FALSE(FlagAt(map().RenderMap(), spring));
}

TEST_F(MapPoiWindowTest, ACalibratedMapFollowsTheReplayedPosition) {
  // East at 90 degrees, 0.001 degree (100 pixels) a fix; the fix smooths the
  // position, so the arrow goes where the published position maps.
  Start({Rmc(46.0, 8.01, 90.0), Rmc(46.0, 8.011, 90.0), Rmc(46.0, 8.012, 90.0)});
  const QPoint middle(map().mapArea().width() / 2, map().mapArea().height() / 2);
  auto arrowAt = [&](QPoint at) {
    const QColor c = map().RenderMap().pixelColor(at + QPoint(8, 0));  // just east of the notch
    return c == QColor(255, 0, 0) || c == QColor(204, 0, 0);
  };
  auto published = [&] {
    const LatLon p = mainWindow().currentFix().position;
    return map().calibration().GeoToPixel(p.latitude, p.longitude);
  };
  EXPECT_EQ(map().positionPixel(), (MapPixel{1000, 1000}));
  EXPECT_EQ(map().MapPointOf(map().positionPixel()), middle);
  EXPECT_TRUE(arrowAt(middle));
  ASSERT_TRUE(mainWindow().controller().ReplayTick());
  const MapPixel second = map().positionPixel();
  EXPECT_EQ(second, published());
  EXPECT_GT(second.x, 1000);
  EXPECT_EQ(map().MapPointOf(second), middle);  // the view went with it
  EXPECT_TRUE(arrowAt(middle));

  // Without centring the view stays and the arrow moves across it.
  const MapPixel scroll = map().scroll();
  menu_.reset(map().CreateOptionsMenu());
  menu_->findChild<QAction*>("centerPosition")->trigger();
  ASSERT_FALSE(map().option(Key::MapCenterOn));
  ASSERT_TRUE(mainWindow().controller().ReplayTick());
  const MapPixel third = map().positionPixel();
  EXPECT_EQ(third, published());
  EXPECT_GT(third.x, second.x + 10);
  EXPECT_EQ(map().scroll(), scroll);
  EXPECT_FALSE(arrowAt(middle));
  EXPECT_TRUE(arrowAt(map().MapPointOf(third)));
}

}  // namespace
}  // namespace tarvo
