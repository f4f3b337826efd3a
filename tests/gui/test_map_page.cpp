// The map page on its own, offscreen: zoom, scrolling, panning, measuring,
// reference points and what is painted, on small maps made in a temp folder.
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <array>
#include <cmath>
#include <deque>
#include <memory>

#include "core/geo/distance.h"
#include "core/geo/units.h"
#include "core/map/map_files.h"
#include "core/poi/poi_list.h"
#include "gui/map/map_page.h"
#include "gui/poi/location_dialog.h"
#include "gui/window/settings_model.h"
#include "page_fixture.h"
#include "tests/unit/gps/test_nmea_util.h"

namespace tarvo {
namespace {

using tarvo::test::Sentence;

// The page is 416 x 316, so its map area is 400 x 300 from (2, 2).
constexpr int kPageWidth = 416;
constexpr int kPageHeight = 316;

class MapPageTest : public testing::PageFixture {
 protected:
  // A plain white picture of w x h pixels, with reference points if given.
  QString MakeMap(const QString& name, int w, int h, const std::vector<RefPoint>& refs = {}) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    const QString file = path(name);
    EXPECT_TRUE(img.save(file, "PNG"));
    if (!refs.empty()) {
      CalibrationData data;
      for (size_t i = 0; i < refs.size(); ++i) data.refPoints[i] = refs[i];
      EXPECT_EQ(SaveCalibrationFile(file.toStdString(), data), 0);
    }
    return file;
  }
  // 2000 x 2000 pixels, 0.001 degree per 100 pixels around 46 N 8 E.
  QString MakeCalibratedMap() {
    return MakeMap("big.png", 2000, 2000, {RefPoint{0, 0, 46.01, 8.0}, RefPoint{2000, 2000, 45.99, 8.02}});
  }
  MapPage& Open(const QString& mapFile, int drag = 1) {
    host().settings().SetPageText(Key::MapFile, mapFile.toStdString());
    host().settings().SetPageValues({{Key::MapDrag, drag}});
    page_ = std::make_unique<MapPage>(host());
    page_->resize(kPageWidth, kPageHeight);
    page_->dialogs().message = [this](const QString& t) { messages_.push_back(t); };
    // The real location dialog, answered as a user would: answer_ typed in
    // decimal degrees, or Cancel while it is empty.
    page_->dialogs().refPoint = [this](LocationDialog& d) {
      asked_.push_back(LatLon{d.values().latitude, d.values().longitude});
      if (!answer_) return false;
      TypeDegrees(d, *answer_);
      d.accept();
      return d.result() == QDialog::Accepted;
    };
    page_->dialogs().confirm = [](const QString&) { return true; };
    page_->OnCreate();
    host().SetActivePage(page_.get());
    return *page_;
  }
  // Page point of image pixel (x, y).
  QPoint PagePoint(int x, int y) {
    return page_->mapArea().topLeft() + page_->MapPointOf(MapPixel{x, y});
  }
  // Types `p` into the dialog's fields in decimal degrees, with the
  // hemisphere buttons.
  static void TypeDegrees(LocationDialog& d, LatLon p) {
    d.ChooseFormat(static_cast<int>(CoordFormat::WgsDeg));
    const std::array<double, 2> value{p.latitude, p.longitude};
    for (int a = 0; a < 2; ++a) {
      d.field(a, 0)->setText(QString::number(std::abs(value[a]), 'f', 6));
      const QString hemisphere = QString::fromLatin1(a == 0 ? (value[a] < 0 ? "S" : "N") : (value[a] < 0 ? "W" : "E"));
      if (d.hemisphereButton(a)->text() != hemisphere) d.hemisphereButton(a)->click();
    }
  }
  void Click(QPoint at, bool ctrl = false) {
    page_->MousePress(at, ctrl);
    page_->MouseRelease(at);
  }

  std::unique_ptr<MapPage> page_;
  std::vector<QString> messages_;
  std::vector<LatLon> asked_;
  std::optional<LatLon> answer_;
};

TEST_F(MapPageTest, ZoomStepsThroughItsFactorsAndFlashesThem) {
  MapPage& map = Open(MakeMap("a.png", 1000, 800));
  std::vector<QString> flashed;
  for (int i = 0; i < 4; ++i) {
    map.Zoom(true);
    flashed.push_back(map.flashText());
  }
  EXPECT_EQ(map.zoom(), 8.0);
  EXPECT_FALSE(host().toolbar.zoomIn);
  EXPECT_TRUE(host().toolbar.zoomOut);
  for (int i = 0; i < 7; ++i) map.Zoom(false);
  flashed.push_back(map.flashText());
  EXPECT_EQ(map.zoom(), 0.25);
  EXPECT_TRUE(host().toolbar.zoomIn);
  EXPECT_FALSE(host().toolbar.zoomOut);
  EXPECT_EQ(flashed, (std::vector<QString>{"2x", "4x", "8x", "8x", "0.25x"}));
  map.Zoom(true);
  EXPECT_EQ(map.flashText(), "0.5x");
  map.Zoom(true);
  EXPECT_EQ(map.flashText(), "1x");
}

TEST_F(MapPageTest, ASmallPictureHasNoScrollBarsAndNeverScrolls) {
  MapPage& map = Open(MakeMap("small.png", 300, 200));
  EXPECT_EQ(map.mapArea().size(), QSize(400, 300));
  EXPECT_FALSE(map.horizontalBar()->isVisibleTo(&map));
  EXPECT_FALSE(map.verticalBar()->isVisibleTo(&map));
  EXPECT_EQ(map.scrollMaxX(), 0);
  EXPECT_EQ(map.scrollMaxY(), 0);
  map.CenterOnPixel({290, 190});
  EXPECT_EQ(map.scroll(), (MapPixel{0, 0}));

  // A large one gets both bars, ranged to what lies outside the view.
  Open(MakeMap("large.png", 1000, 800));
  EXPECT_TRUE(page_->horizontalBar()->isVisibleTo(page_.get()));
  EXPECT_EQ(page_->horizontalBar()->maximum(), 600);
  EXPECT_EQ(page_->verticalBar()->maximum(), 500);
  page_->CenterOnPixel({999, 799});
  EXPECT_EQ(page_->scroll(), (MapPixel{600, 500}));
}

TEST_F(MapPageTest, PanningAtZoomTwoMovesHalfTheDraggedPixels) {
  MapPage& map = Open(MakeMap("pan.png", 2000, 2000), /*drag=*/1);
  map.Zoom(true);
  map.CenterOnPixel({1000, 1000});
  const MapPixel before = map.scroll();
  map.MousePress(QPoint(200, 150));
  map.MouseMove(QPoint(175, 150));
  map.MouseMove(QPoint(150, 150));
  map.MouseRelease(QPoint(150, 150));
  EXPECT_EQ(map.scroll(), (MapPixel{before.x + 25, before.y}));
}

TEST_F(MapPageTest, AClickRecentresButADragMeasures) {
  MapPage& map = Open(MakeCalibratedMap(), /*drag=*/0);
  map.CenterOnPixel({1000, 1000});
  ASSERT_EQ(map.scroll(), (MapPixel{800, 850}));
  // A click (within 4 image pixels) centres the map on the clicked pixel.
  map.MousePress(PagePoint(900, 900));
  map.MouseRelease(PagePoint(903, 902));
  EXPECT_EQ(map.scroll(), (MapPixel{903 - 200, 902 - 150}));
  // A 5-pixel drag measures and leaves the view where it is.
  const MapPixel before = map.scroll();
  map.MousePress(PagePoint(800, 800));
  map.MouseMove(PagePoint(805, 800));
  const LatLon a = map.calibration().PixelToGeo(800, 800), b = map.calibration().PixelToGeo(805, 800);
  EXPECT_EQ(map.infoText().toStdString(),
            FormatDistance(GreatCircleDistance(a.latitude, a.longitude, b.latitude, b.longitude),
                           DistanceUnit::Metric));
  EXPECT_EQ(map.infoText(), "4 m");
  map.MouseRelease(PagePoint(805, 800));
  EXPECT_EQ(map.scroll(), before);

  // A click that shows "Reference point" does not re-centre, and neither
  // does the next one that only dismisses it.
  map.CenterOnPixel({200, 150});
  const MapPixel atRef = map.scroll();
  ASSERT_EQ(atRef, (MapPixel{0, 0}));
  Click(PagePoint(2, 2));
  EXPECT_EQ(map.infoText(), "Reference point");
  EXPECT_EQ(map.scroll(), atRef);
  Click(PagePoint(300, 250));
  EXPECT_EQ(map.scroll(), atRef);
  Click(PagePoint(300, 250));
  EXPECT_EQ(map.scroll(), (MapPixel{100, 100}));
}

TEST_F(MapPageTest, MeasuringPathSumsItsSegments) {
  MapPage& map = Open(MakeCalibratedMap(), /*drag=*/2);
  map.CenterOnPixel({1000, 1000});
  map.MousePress(PagePoint(900, 900));
  map.MouseMove(PagePoint(901, 900));  // within 2 pixels: no point yet
  EXPECT_TRUE(map.path().empty());
  map.MouseMove(PagePoint(1000, 900));
  map.MouseMove(PagePoint(1000, 1000));
  ASSERT_EQ(map.path().size(), 3u);
  const MapCalibration& cal = map.calibration();
  const LatLon p0 = cal.PixelToGeo(900, 900), p1 = cal.PixelToGeo(1000, 900), p2 = cal.PixelToGeo(1000, 1000);
  const double metres = GreatCircleDistance(p0.latitude, p0.longitude, p1.latitude, p1.longitude) +
                        GreatCircleDistance(p1.latitude, p1.longitude, p2.latitude, p2.longitude);
  EXPECT_NEAR(map.pathLength(), metres, 1e-9);
  EXPECT_EQ(map.infoText(), QString::asprintf("%.2f km", metres / 1000));
  map.MouseRelease(PagePoint(1000, 1000));
  EXPECT_TRUE(map.path().empty());
}

TEST_F(MapPageTest, AnUncalibratedMapAsksForReferencePoints) {
  MapPage& map = Open(MakeMap("plain.png", 1000, 800));
  EXPECT_EQ(map.infoText(), "Need 2 or more ref points");
  std::unique_ptr<QMenu> menu(map.CreateContextMenu(QPoint(50, 50)));
  auto action = [&](const char* name) { return menu->findChild<QAction*>(QString::fromLatin1(name)); };
  EXPECT_FALSE(action("addWaypoint")->isEnabled());
  EXPECT_FALSE(action("showCoordinates")->isEnabled());
  EXPECT_TRUE(action("addRefPoint")->isEnabled());
  EXPECT_FALSE(action("editRefPoint")->isEnabled());

  // Ctrl+click on the scrolled map opens the form for the clicked pixel.
  map.Zoom(true);
  map.CenterOnPixel({500, 400});
  const MapPixel s = map.scroll();
  answer_ = LatLon{46.0, 8.0};
  Click(QPoint(2 + 40, 2 + 30), /*ctrl=*/true);
  ASSERT_EQ(asked_.size(), 1u);
  const RefPoint r = map.calibration().RefPointAt(0);
  EXPECT_EQ(r.x, s.x + 20);
  EXPECT_EQ(r.y, s.y + 15);
  EXPECT_EQ(r.latitude, 46.0);
  // The same click goes on to find the new point under it.
  EXPECT_EQ(map.infoText(), "Reference point");
  Click(QPoint(200, 200));
  EXPECT_EQ(map.infoText(), "Need 1 or more ref points");
  // A form answered with 0/0 adds nothing.
  answer_ = LatLon{0.0, 0.0};
  Click(QPoint(100, 100), true);
  EXPECT_EQ(map.calibration().RefPointCount(), 1);
  // The point is saved beside the picture.
  const LoadedCalibration saved = LoadCalibrationFile(path("plain.png").toStdString());
  EXPECT_EQ(saved.data.refPoints[0], r);
}

TEST_F(MapPageTest, DeletingSlotOneOfThreeMovesTheOthersDown) {
  const RefPoint a{100, 100, 46.0, 8.0}, b{900, 120, 46.0, 8.2}, c{500, 700, 45.9, 8.1};
  MapPage& map = Open(MakeMap("three.png", 1000, 800, {a, b, c}));
  ASSERT_EQ(map.calibration().RefPointCount(), 3);
  map.CenterOnPixel({0, 0});
  std::unique_ptr<QMenu> menu(map.CreateContextMenu(PagePoint(103, 98)));
  EXPECT_TRUE(menu->findChild<QAction*>("deleteRefPoint")->isEnabled());
  EXPECT_FALSE(menu->findChild<QAction*>("addRefPoint")->isEnabled());
  map.DeleteRefPoint();
  EXPECT_EQ(map.calibration().RefPointAt(0), b);
  EXPECT_EQ(map.calibration().RefPointAt(1), c);
  EXPECT_FALSE(map.calibration().RefPointAt(2).IsSet());
  EXPECT_EQ(LoadCalibrationFile(path("three.png").toStdString()).data.refPoints[1], c);
}

TEST_F(MapPageTest, TheShippedMapsCalibrationIsNeverRewritten) {
  QTemporaryDir shipped;
  QImage world(720, 360, QImage::Format_RGB32);
  world.fill(Qt::blue);
  const QString picture = shipped.path() + "/theworld.png";
  ASSERT_TRUE(world.save(picture, "PNG"));
  CalibrationData data;
  data.refPoints[0] = RefPoint{0, 0, 90.0, -180.0};
  data.refPoints[1] = RefPoint{720, 360, -90.0, 180.0};
  ASSERT_EQ(SaveCalibrationFile(picture.toStdString(), data), 0);
  QFile ini(shipped.path() + "/theworld.ini");
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QByteArray before = ini.readAll();
  ini.close();
  qputenv("TARVO_DATA_DIR", shipped.path().toLocal8Bit());
  {
    MapPage& map = Open(picture);
    EXPECT_TRUE(map.calibration().IsCalibrated());
    EXPECT_FALSE(map.CalibrationSaved());
    map.CenterOnPixel({700, 300});
    answer_ = LatLon{10.0, 10.0};
    Click(QPoint(50, 50), true);  // two points counted: Ctrl+click adds none
    map.CreateContextMenu(PagePoint(0, 0));
    map.DeleteRefPoint();
    EXPECT_EQ(map.calibration().RefPointCount(), 1);
    page_.reset();
  }
  qunsetenv("TARVO_DATA_DIR");
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  EXPECT_EQ(ini.readAll(), before);
}

TEST_F(MapPageTest, PositionArrowAndLabelBoxesArePainted) {
  MapPage& map = Open(MakeCalibratedMap(), 1);
  host().Feed(Sentence("GPRMC,120000,A,4600.000,N,00800.600,E,5.4,90.0,090624,,"));
  map.OnPositionUpdated();
  // The position (46 N, 8.01 E) is pixel (1000, 1000), centred in the view.
  ASSERT_EQ(map.positionPixel(), (MapPixel{1000, 1000}));
  EXPECT_EQ(map.scroll(), (MapPixel{800, 850}));
  const QImage& img = map.RenderMap();
  // The arrow points east (course 90) from (200, 150): red just east of the notch.
  const QColor tip = img.pixelColor(208, 150);
  EXPECT_TRUE(tip == QColor(255, 0, 0) || tip == QColor(204, 0, 0)) << tip.name().toStdString();
  EXPECT_EQ(img.pixelColor(192, 150), QColor(Qt::white));
  // Speed and course boxes (on by default) in the bottom row: navy fill with
  // a lavender outline, starting at x = 2.
  const int h = QFontMetrics(host().palette().huge).height();
  const int top = 300 - h - 6;
  EXPECT_EQ(img.pixelColor(2, top), QColor(102, 102, 204));
  EXPECT_EQ(img.pixelColor(4, top + 1), QColor(0, 0, 102));
  EXPECT_EQ(img.pixelColor(4, top - 2), QColor(Qt::white));
  // With the POI box on as well, it sits one row higher in the POI colours.
  map.ToggleOption(Key::MapShowPoiInfo);
  const QImage& withPoi = map.RenderMap();
  EXPECT_EQ(withPoi.pixelColor(4, top - h + 1), QColor(102, 102, 204));
  EXPECT_EQ(withPoi.pixelColor(2, top - h), QColor(0, 0, 102));
  // TARVO_SHOT_DIR=folder keeps a picture of the page for a look by eye.
  if (qEnvironmentVariableIsSet("TARVO_SHOT_DIR")) {
    map.ToggleOption(Key::MapShowAltitude);
    map.ShowMarker(LatLon{46.001, 8.012}, "Marker label", false);
    map.Zoom(true);
    map.grab().save(qEnvironmentVariable("TARVO_SHOT_DIR") + "/map-page.png");
  }
}

// The POI page and the track recorder as the map sees them, over a real list.
class ListPois : public PoiCommands {
 public:
  const PoiList& list() const override { return list_; }
  std::vector<std::size_t> displayOrder() const override {
    std::vector<std::size_t> order(list_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    return order;
  }
  int selectedIndex() const override { return selected_; }
  void SelectLocation(std::size_t index) override { selected_ = static_cast<int>(index); }
  bool AddLocation(LatLon, const std::string&) override { return false; }
  bool EditLocation(std::size_t) override { return false; }
  bool DeleteLocation(std::size_t) override { return false; }
  bool MoveLocation(std::size_t index, LatLon p) override { return list_.Move(index, p.latitude, p.longitude, 0, 0); }
  void SetGoToTarget(LatLon, const std::string&) override {}
  void RecomputeMapPositions() override {}
  PoiList list_;
  int selected_ = -1;
};

class FixedTrack : public TrackOverlay {
 public:
  const std::vector<LatLon>& trackPositions() const override { return points; }
  uint64_t trackRevision() const override { return revision; }
  std::vector<LatLon> points;
  uint64_t revision = 1;
};

TEST_F(MapPageTest, WaypointsAreFoundMovedAndDrawnWhereTheyAre) {
  ListPois pois;
  host().pois = &pois;
  MapPage& map = Open(MakeCalibratedMap(), /*drag=*/0);
  map.CenterOnPixel({1000, 1000});  // view 800..1199 x 850..1149
  const LatLon at = map.calibration().PixelToGeo(900, 900);
  pois.list_.Add(at.latitude, at.longitude, "Summit hut", "");
  Click(PagePoint(902, 899));
  EXPECT_EQ(map.infoText(), "1. Summit hut");
  EXPECT_EQ(pois.selected_, 0);
  EXPECT_EQ(map.scroll(), (MapPixel{800, 850}));  // the answer, no re-centring

  std::unique_ptr<QMenu> menu(map.CreateContextMenu(PagePoint(905, 905)));
  ASSERT_TRUE(menu->findChild<QAction*>("moveWaypoint")->isEnabled());
  map.MoveWaypoint();
  EXPECT_EQ(map.infoText(), "Click new position");
  Click(PagePoint(1100, 1000));
  const MapPixel moved = map.calibration().GeoToPixel(pois.list_.at(0).latitude, pois.list_.at(0).longitude);
  EXPECT_EQ(moved, (MapPixel{1100, 1000}));
  const QImage& img = map.RenderMap();
  EXPECT_NE(img.pixelColor(map.MapPointOf(moved) + QPoint(0, -8)), QColor(Qt::white));  // the flag pole
  EXPECT_EQ(img.pixelColor(map.MapPointOf({900, 900}) + QPoint(0, -8)), QColor(Qt::white));
}

TEST_F(MapPageTest, TheTrackIsDrawnFromItsFirstSegmentThatEndsInView) {
  FixedTrack track;
  host().track = &track;
  host().settings().SetPageValues({{Key::MapShowTrip, 1}});
  MapPage& map = Open(MakeCalibratedMap(), 1);
  map.CenterOnPixel({1000, 1000});  // view 800..1199 x 850..1149
  const MapCalibration& cal = map.calibration();
  for (MapPixel p : {MapPixel{700, 900}, MapPixel{1300, 900}, MapPixel{1000, 1000}, MapPixel{1000, 2000}})
    track.points.push_back(cal.PixelToGeo(p.x, p.y));
  const QImage& img = map.RenderMap();
  auto red = [&](int x, int y) { return img.pixelColor(map.MapPointOf({x, y})) == QColor(255, 0, 0); };
  EXPECT_FALSE(red(900, 900));   // crosses the view but ends outside: left out
  EXPECT_TRUE(red(1150, 950));   // ends inside: drawn
  EXPECT_TRUE(red(1000, 1100));  // and all that follows, up to the view's edge
  // A new revision of the track is drawn at once.
  track.points.erase(track.points.begin(), track.points.begin() + 2);
  track.points.insert(track.points.begin(), cal.PixelToGeo(900, 900));
  ++track.revision;
  const QImage& again = map.RenderMap();
  EXPECT_EQ(again.pixelColor(map.MapPointOf({1150, 950})), QColor(Qt::white));
  EXPECT_EQ(again.pixelColor(map.MapPointOf({950, 950})), QColor(255, 0, 0));
}

TEST_F(MapPageTest, BelowZoomOneTheTrackIsDrawnOnceAndCopiedWithTheSameRules) {
  FixedTrack track;
  host().track = &track;
  host().settings().SetPageValues({{Key::MapShowTrip, 1}});
  MapPage& map = Open(MakeCalibratedMap(), 1);
  map.Zoom(false);
  ASSERT_DOUBLE_EQ(map.zoom(), 0.5);
  map.CenterOnPixel({1000, 1000});
  const MapCalibration& cal = map.calibration();
  // A first segment that ends outside the view (left out), then a long one in it.
  const MapPixel far{map.scroll().x - 300, 900};
  for (MapPixel p : {far, MapPixel{far.x - 200, 900}, MapPixel{1000, 1000}, MapPixel{1100, 1200}})
    track.points.push_back(cal.PixelToGeo(p.x, p.y));
  // Red within a pixel of where the direct drawing puts the point.
  auto redNear = [&](const QImage& img, MapPixel p) {
    const QPoint at = map.MapPointOf(p);
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (img.pixelColor(at + QPoint(dx, dy)) == QColor(255, 0, 0)) return true;
      }
    }
    return false;
  };
  const QImage& img = map.RenderMap();
  EXPECT_TRUE(redNear(img, {1050, 1100}));
  EXPECT_FALSE(redNear(img, {map.scroll().x + 10, 900}));
  // Moving the view copies the same drawing; a new revision is drawn at once.
  map.CenterOnPixel({1010, 1007});
  EXPECT_TRUE(redNear(map.RenderMap(), {1050, 1100}));
  track.points.push_back(cal.PixelToGeo(1300, 1200));
  ++track.revision;
  const QImage& again = map.RenderMap();
  EXPECT_TRUE(redNear(again, {1200, 1200}));
  EXPECT_TRUE(redNear(again, {1050, 1100}));
}

TEST_F(MapPageTest, AMapThatDoesNotLoadChangesNothing) {
  MapPage& map = Open(MakeCalibratedMap());
  QFile bad(path("bad.png"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("not a picture");
  bad.close();
  EXPECT_FALSE(map.LoadMap(path("bad.png")));
  EXPECT_EQ(map.infoText(), "Error - Unknown file format");
  EXPECT_FALSE(map.LoadMap(path("notes.txt")));
  EXPECT_EQ(map.image().Width(), 2000);
  EXPECT_TRUE(map.calibration().IsCalibrated());
  // The reference points stay with their own picture, and so does "MapFile".
  page_.reset();
  EXPECT_FALSE(QFile::exists(path("bad.ini")));
  EXPECT_EQ(host().settings().pageText(Key::MapFile), path("big.png").toStdString());
  EXPECT_EQ(LoadCalibrationFile(path("big.png").toStdString()).data.refPoints[1].x, 2000);
}

TEST_F(MapPageTest, OptionsAndTheDragModeAreStoredWhenThePageGoes) {
  MapPage& map = Open(MakeCalibratedMap(), 1);
  std::unique_ptr<QMenu> menu(map.CreateOptionsMenu());
  QAction* names = menu->findChild<QAction*>("showPoiName");
  EXPECT_FALSE(names->isChecked());
  names->trigger();
  EXPECT_TRUE(map.option(Key::MapShowPoiName));
  EXPECT_FALSE(menu->findChild<QAction*>("centerRefPoint3")->isEnabled());
  EXPECT_FALSE(menu->findChild<QAction*>("useBlankMap")->isEnabled());  // no position yet
  menu.reset();
  // The mode button cycles pan -> path.
  const QRect mode = map.ButtonRect(MapPage::kModeButton).translated(map.mapArea().topLeft());
  Click(mode.center());
  EXPECT_EQ(map.mouseMode(), MouseMode::Path);
  page_.reset();
  EXPECT_EQ(host().settings().pageValue(Key::MapShowPoiName), 1);
  EXPECT_EQ(host().settings().pageValue(Key::MapDrag), 2);
  EXPECT_EQ(host().settings().pageText(Key::MapFile), path("big.png").toStdString());
}

TEST_F(MapPageTest, MeasuringAtTheEdgeScrollsUntilTheMapEnds) {
  MapPage& map = Open(MakeCalibratedMap(), /*drag=*/0);
  map.CenterOnPixel({1750, 1000});
  ASSERT_EQ(map.scroll(), (MapPixel{1550, 850}));  // 50 pixels short of the right end
  const QRect area = map.mapArea();
  const MapPixel from{1650, 1000};
  auto distanceFromPress = [&](QPoint pointer) {
    const MapPixel to = map.PixelAt(pointer);
    const LatLon a = map.calibration().PixelToGeo(from.x, from.y), b = map.calibration().PixelToGeo(to.x, to.y);
    return QString::fromStdString(
        FormatDistance(GreatCircleDistance(a.latitude, a.longitude, b.latitude, b.longitude), DistanceUnit::Metric));
  };
  map.MousePress(PagePoint(from.x, from.y));
  // Within 3 pixels of the right edge: a step at once, then one every 100 ms
  // while the button is held, until a step scrolls nothing.
  const QPoint edge(area.right() - 1, PagePoint(0, 1000).y());
  map.MouseMove(edge);
  EXPECT_EQ(map.scroll(), (MapPixel{1560, 850}));
  EXPECT_EQ(map.infoText(), distanceFromPress(edge));
  ASSERT_TRUE(QTest::qWaitFor([&] { return map.scroll().x == 1600; }, 3000));
  QTest::qWait(250);
  EXPECT_EQ(map.scroll(), (MapPixel{1600, 850}));
  // The measure follows the pointer over the scrolled map, line included.
  EXPECT_EQ(map.PixelAt(edge), (MapPixel{1998, 1000}));
  EXPECT_EQ(map.infoText(), distanceFromPress(edge));
  EXPECT_EQ(map.RenderMap().pixelColor(map.MapPointOf({1800, 1000})), QColor(Qt::black));
  map.MouseRelease(edge);
  EXPECT_EQ(map.RenderMap().pixelColor(map.MapPointOf({1800, 1000})), QColor(Qt::white));

  // The top-left corner scrolls both ways; the release stops it.
  map.MousePress(PagePoint(1700, 1000));
  map.MouseMove(area.topLeft());
  EXPECT_EQ(map.scroll(), (MapPixel{1590, 840}));
  map.MouseRelease(area.topLeft());
  QTest::qWait(250);
  EXPECT_EQ(map.scroll(), (MapPixel{1590, 840}));
}

TEST_F(MapPageTest, UseBlankMapFromTheMenuSpansThePositionAndZoomsByItsExtent) {
  MapPage& map = Open(MakeCalibratedMap());
  auto readIni = [this] {
    QFile f(path("big.ini"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };
  const QByteArray ini = readIni();
  ASSERT_FALSE(ini.isEmpty());
  host().Feed(Sentence("GPRMC,120000,A,5000.000,N,00800.000,E,0.0,0.0,090624,,"));
  map.Zoom(true);
  std::unique_ptr<QMenu> menu(map.CreateOptionsMenu());
  QAction* blank = menu->findChild<QAction*>("useBlankMap");
  ASSERT_TRUE(blank->isEnabled());
  blank->trigger();
  ASSERT_TRUE(map.document().IsBlankMap());
  EXPECT_EQ(map.image().Width(), 500);
  EXPECT_EQ(map.image().Height(), 500);
  EXPECT_EQ(map.zoom(), 1.0);
  // Corners north-west, south-west and south-east, 0.01 degrees each way.
  const MapCalibration& cal = map.calibration();
  const std::array<RefPoint, 3> corners{RefPoint{0, 0, 50.01, 7.99}, RefPoint{0, 499, 49.99, 7.99},
                                        RefPoint{499, 499, 49.99, 8.01}};
  for (int i = 0; i < 3; ++i) {
    const RefPoint r = cal.RefPointAt(i);
    EXPECT_EQ(r.x, corners[i].x);
    EXPECT_EQ(r.y, corners[i].y);
    EXPECT_NEAR(r.latitude, corners[i].latitude, 1e-12);
    EXPECT_NEAR(r.longitude, corners[i].longitude, 1e-12);
  }
  // The position is the middle pixel, and the view is centred on it.
  EXPECT_EQ(map.positionPixel(), (MapPixel{249, 249}));
  EXPECT_EQ(map.MapPointOf(map.positionPixel()), QPoint(200, 150));
  // Its reference points are not the user's to change.
  map.CenterOnPixel({499, 499});
  std::unique_ptr<QMenu> context(map.CreateContextMenu(PagePoint(497, 497)));
  EXPECT_FALSE(context->findChild<QAction*>("addRefPoint")->isEnabled());
  EXPECT_FALSE(context->findChild<QAction*>("editRefPoint")->isEnabled());
  EXPECT_FALSE(context->findChild<QAction*>("deleteRefPoint")->isEnabled());
  EXPECT_TRUE(context->findChild<QAction*>("showCoordinates")->isEnabled());

  // Zooming widens or narrows the extent; the view's zoom stays 1.
  auto north = [&] { return cal.RefPointAt(0).latitude; };
  map.Zoom(false);
  EXPECT_NEAR(north(), 50.015, 1e-9);
  map.Zoom(false);
  EXPECT_NEAR(north(), 50.025, 1e-9);
  EXPECT_EQ(map.zoom(), 1.0);
  EXPECT_EQ(map.positionPixel(), (MapPixel{249, 249}));
  map.Zoom(true);
  EXPECT_NEAR(north(), 50.015, 1e-9);
  map.Zoom(true);
  map.Zoom(true);
  EXPECT_NEAR(north(), 50.005, 1e-9);
  map.Zoom(true);  // 0.01 degrees across: no closer
  EXPECT_NEAR(north(), 50.005, 1e-9);
  EXPECT_EQ(map.zoom(), 1.0);

  // The real map keeps its file and its calibration: nothing of the blank
  // map is written beside it, and it is the map of the next start.
  context.reset();
  menu.reset();
  page_.reset();
  EXPECT_EQ(readIni(), ini);
  EXPECT_EQ(host().settings().pageText(Key::MapFile), path("big.png").toStdString());
}

TEST_F(MapPageTest, ReferencePointsEnteredInTheLocationDialogCalibrateTheMap) {
  ListPois pois;
  pois.list_.Add(46.01, 8.0, "Hut", "");
  pois.list_.Add(45.99, 8.02, "Lake", "");
  host().pois = &pois;
  host().settings().Change([](Settings& s) { s.coordFormat = CoordFormat::WgsDm; });
  host().Feed(Sentence("GPRMC,120000,A,4600.000,N,00800.600,E,5.4,90.0,090624,,"));
  MapPage& map = Open(MakeMap("plain.png", 2000, 2000));
  std::deque<std::function<bool(LocationDialog&)>> user;
  map.dialogs().refPoint = [&](LocationDialog& d) {
    if (user.empty()) return false;
    const auto step = std::move(user.front());
    user.pop_front();
    return step(d);
  };
  auto ok = [](LocationDialog& d) {
    d.accept();
    return d.result() == QDialog::Accepted;
  };

  // Ctrl+click: the form opens at the GPS position in the window's format,
  // without name fields; the user copies the position of a POI.
  map.CenterOnPixel({0, 0});
  user.push_back([&](LocationDialog& d) {
    EXPECT_FALSE(d.nameEdit()->isVisibleTo(&d));
    EXPECT_EQ(d.formatBox()->currentIndex(), static_cast<int>(CoordFormat::WgsDm));
    EXPECT_EQ(d.formatBox()->count(), 19);
    EXPECT_TRUE(d.ReadFields());
    EXPECT_NEAR(d.values().latitude, 46.0, 1e-6);
    EXPECT_NEAR(d.values().longitude, 8.01, 1e-6);
    EXPECT_EQ(d.waypointBox()->count(), 4);
    EXPECT_EQ(d.waypointBox()->itemText(1), "* Current Position");
    EXPECT_EQ(d.waypointBox()->itemText(2), "Hut");
    d.ChooseWaypoint(2);
    return ok(d);
  });
  Click(PagePoint(100, 100), /*ctrl=*/true);
  EXPECT_TRUE(user.empty());
  auto expectPoint = [&](int slot, RefPoint want) {
    const RefPoint r = map.calibration().RefPointAt(slot);
    EXPECT_EQ(r.x, want.x);
    EXPECT_EQ(r.y, want.y);
    EXPECT_NEAR(r.latitude, want.latitude, 1e-9);
    EXPECT_NEAR(r.longitude, want.longitude, 1e-9);
  };
  expectPoint(0, RefPoint{100, 100, 46.01, 8.0});
  EXPECT_EQ(map.infoText(), "Reference point");

  // "Add Ref Point" from the menu, typed in D°MM'SS": the map is calibrated.
  user.push_back([&](LocationDialog& d) {
    d.ChooseFormat(static_cast<int>(CoordFormat::WgsDms));
    const std::array<const char*, 6> typed{"45", "59", "24", "8", "1", "12"};
    for (int i = 0; i < 6; ++i) d.field(i / 3, i % 3)->setText(QString::fromLatin1(typed[i]));
    return ok(d);
  });
  std::unique_ptr<QMenu> menu(map.CreateContextMenu(PagePoint(1100, 1100)));
  ASSERT_TRUE(menu->findChild<QAction*>("addRefPoint")->isEnabled());
  menu->findChild<QAction*>("addRefPoint")->trigger();
  expectPoint(1, RefPoint{1100, 1100, 45.99, 8.02});
  const RefPoint second = map.calibration().RefPointAt(1);
  ASSERT_TRUE(map.calibration().IsCalibrated());
  Click(PagePoint(300, 250));  // dismisses "Reference point"
  EXPECT_EQ(map.positionPixel(), (MapPixel{600, 600}));
  EXPECT_EQ(map.infoText(), QString::fromUtf8("N 46°0.000' | E 8°0.600'"));  // the GPS position
  const RefPoint saved = LoadCalibrationFile(path("plain.png").toStdString()).data.refPoints[1];
  EXPECT_EQ(saved.x, second.x);
  EXPECT_NEAR(saved.latitude, second.latitude, 1e-6);  // written with six decimals

  // A double click edits it: the form opens at the point's position; text
  // that is no number is refused in the form, then the user takes the GPS
  // position. Cancel changes nothing.
  map.CenterOnPixel({1100, 1100});
  user.push_back([&](LocationDialog&) { return false; });
  map.MouseDoubleClick(PagePoint(1102, 1099));
  EXPECT_EQ(map.calibration().RefPointAt(1), second);
  user.push_back([&](LocationDialog& d) {
    EXPECT_TRUE(d.ReadFields());
    EXPECT_NEAR(d.values().latitude, 45.99, 1e-6);
    d.field(0, 0)->setText(QStringLiteral("fifty"));
    EXPECT_FALSE(ok(d));
    EXPECT_FALSE(d.errorLine()->isHidden());
    d.ChooseWaypoint(1);
    return ok(d);
  });
  map.MouseDoubleClick(PagePoint(1102, 1099));
  EXPECT_TRUE(user.empty());
  expectPoint(1, RefPoint{1100, 1100, 46.0, 8.01});
}

TEST_F(MapPageTest, AfterTheDialogOfACtrlClickTheMouseIsFreeForTheNextDialog) {
  // Through the window system, as a real pointer: the dialog opened by the
  // Ctrl+click takes the button's release, so the page must not keep the
  // pointer for a drag that is over.
  MapPage& map = Open(MakeMap("plain.png", 1000, 800));
  map.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&map));
  auto clickIn = [](QWidget* w) {
    QTest::mouseClick(w->window()->windowHandle(), Qt::LeftButton, {}, w->mapTo(w->window(), w->rect().center()));
  };
  QString hemisphere;
  map.dialogs().refPoint = [&](LocationDialog& d) {
    d.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&d));
    clickIn(d.hemisphereButton(1));
    hemisphere = d.hemisphereButton(1)->text();
    TypeDegrees(d, LatLon{46.0 + static_cast<double>(asked_.size()), 8.0});
    asked_.push_back({});
    clickIn(d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
    return d.result() == QDialog::Accepted;
  };
  QTest::mousePress(map.windowHandle(), Qt::LeftButton, Qt::ControlModifier, PagePoint(100, 100));
  ASSERT_EQ(map.calibration().RefPointCount(), 1);
  EXPECT_EQ(hemisphere, "W");
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  // The next dialog, from the menu, gets its clicks.
  hemisphere.clear();
  std::unique_ptr<QMenu> menu(map.CreateContextMenu(PagePoint(300, 200)));
  menu->findChild<QAction*>("addRefPoint")->trigger();
  EXPECT_EQ(hemisphere, "W");
  EXPECT_EQ(map.calibration().RefPointCount(), 2);
}

}  // namespace
}  // namespace tarvo
