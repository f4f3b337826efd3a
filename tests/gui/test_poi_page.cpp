// The POI page offscreen over a real POI file in a temporary folder: the
// sorted list with live distances, the go-to display, the edits through the
// interface the map and service pages use, and the persisted choices.
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTableView>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>

#include "core/map/calibration.h"
#include "core/poi/poi_file.h"
#include "core/poi/poi_goto.h"
#include "gui/poi/location_dialog.h"
#include "gui/poi/poi_page.h"
#include "page_fixture.h"
#include "tests/unit/gps/test_nmea_util.h"

namespace tarvo {
namespace {

using testing::PageFixture;
using tarvo::test::Sentence;

std::string ReadAll(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class PoiPageTest : public PageFixture {
 protected:
  void SetUp() override {
    PageFixture::SetUp();
    file_ = path(QStringLiteral("places.csv"));
    // File order differs from the distance order from 52 N 4 E.
    std::ofstream(file_.toStdString()) << "\"Remote\",52.50000,4.00000,\"R\"\n"
                                          "\"Far\",52.10000,4.00000,\"F\"\n"
                                          "\"Near\",52.00400,4.00000,\"N\"\n"
                                          "\"Mid\",52.03000,4.00000,\"M\"\n";
    host().settings().SetPageText(Key::TrkFile, file_.toStdString());
    MakePage();
  }
  void MakePage() {
    page_ = std::make_unique<PoiPage>(host(), list_);
    page_->resize(640, 400);
    page_->showMessage = [this](const QString& text) { messages_.push_back(text); };
    page_->OnCreate();
    host().SetActivePage(page_.get());
  }
  void FeedFix(const char* speed, const char* time = "220000") {
    host().Feed(Sentence(std::string("GPRMC,") + time + ",A,5200.000,N,00400.000,E," + speed + ",000.0,081226,,"));
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (int row = 0; row < page_->model()->rowCount(); ++row) names.push_back(page_->cellText(row, 1).toStdString());
    return names;
  }

  QString file_;
  PoiList list_;
  std::unique_ptr<PoiPage> page_;
  std::vector<QString> messages_;
};

TEST_F(PoiPageTest, SortsByDistanceAndReverseAndKeepsTheChoice) {
  FeedFix("000.0");
  EXPECT_EQ(Names(), (std::vector<std::string>{"Remote", "Far", "Near", "Mid"}));  // by number
  page_->ClickColumn(PoiTableModel::kDistance);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Near", "Mid", "Far", "Remote"}));
  page_->ClickColumn(PoiTableModel::kDistance);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Remote", "Far", "Mid", "Near"}));

  page_.reset();
  RestartHost();
  MakePage();
  FeedFix("000.0");
  EXPECT_EQ(page_->sort().type, 4);
  EXPECT_EQ(page_->sort().orderMask, 1 << 4);
  page_->ClickColumn(PoiTableModel::kDistance);  // the list is re-sorted with the current fix
  page_->ClickColumn(PoiTableModel::kDistance);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Remote", "Far", "Mid", "Near"}));
}

TEST_F(PoiPageTest, RowsShowLiveDistancesInTheChosenUnit) {
  FeedFix("000.0");
  page_->ClickColumn(PoiTableModel::kDistance);
  // 445 m, 3.3 km, 11 km, 55 km from the fix.
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{3} m$")).match(page_->cellText(0, 4)).hasMatch());
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\.\\d\\d km$")).match(page_->cellText(1, 4)).hasMatch());
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d km$")).match(page_->cellText(2, 4)).hasMatch());
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d km$")).match(page_->cellText(3, 4)).hasMatch());
  EXPECT_EQ(page_->cellText(0, 3), QStringLiteral("0\u00B0"));  // due north
  EXPECT_EQ(FormatDistance(999, DistanceUnit::Metric), "999 m");
  EXPECT_EQ(FormatDistance(1000, DistanceUnit::Metric), "1.00 km");
  EXPECT_EQ(FormatDistance(5000, DistanceUnit::Metric), "5.0 km");
  EXPECT_EQ(FormatDistance(20000, DistanceUnit::Metric), "20 km");

  // A click on the go-to distance cycles the unit for the display and the rows.
  page_->SelectLocation(2);
  page_->show();
  QLabel* distance = page_->findChild<QLabel*>(QStringLiteral("distance"));
  ASSERT_NE(distance, nullptr);
  page_->ClickAt(distance->mapTo(page_.get(), distance->rect().center()));
  EXPECT_EQ(host().settings().values().distanceUnit, DistanceUnit::Imperial);
  EXPECT_TRUE(page_->goToText("distance").endsWith(QStringLiteral(" mi")));  // 1460 ft
  EXPECT_TRUE(page_->cellText(0, 4).endsWith(QStringLiteral(" mi")));
}

TEST_F(PoiPageTest, TimeToGoNeedsOneKnotAndArrivalMarksAnotherDay) {
  page_->clock = [] { return int64_t{1797285600}; };  // 2026-12-08 22:00:00 UTC
  page_->SelectLocation(0);                          // Remote, 55 km north
  FeedFix("000.9");
  page_->OnFix(host().currentFix(), kFixPosition);
  EXPECT_EQ(page_->goToText("time"), QStringLiteral("-"));
  EXPECT_EQ(page_->goToText("arrival"), QStringLiteral("-"));
  EXPECT_EQ(page_->goToText("direction"), QStringLiteral("0\u00B0"));
  // Speeds are smoothed over a few sentences.
  for (const char* time : {"220001", "220002", "220003", "220004", "220005", "220006", "220007", "220008"}) {
    FeedFix("001.0", time);
  }
  EXPECT_EQ(host().currentFix().speedKnots, 1.0);
  page_->OnFix(host().currentFix(), kFixMotion);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d$")).match(page_->goToText("time")).hasMatch());
  EXPECT_NE(page_->goToText("arrival"), QStringLiteral("-"));
  EXPECT_EQ(page_->goToText("label1"), QStringLiteral("Lat:"));

  // 3 h 30 min after 22:00 local time is 01:30:00 on the next day.
  const char* oldTz = std::getenv("TZ");
  const std::string saved = oldTz ? oldTz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(ArrivalText(1797285600, 3 * 3600 + 30 * 60), "01:30:00 *");
  EXPECT_EQ(ArrivalText(1797285600, 30 * 60), "22:30:00");
  EXPECT_EQ(TimeToGoText(SecondsToGo(1852.0 * 3.5, 1.0)), "03:30");
  EXPECT_EQ(SecondsToGo(1000.0, 0.99), -1);
  if (oldTz) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
  tzset();
}

TEST_F(PoiPageTest, MoveUpOnTheFirstRecordAndDownOnTheLastChangeNothing) {
  page_->ClickColumn(PoiTableModel::kPlace);  // display order is not file order
  const std::string before = ReadAll(file_);
  page_->SelectLocation(0);
  page_->MoveSelectedUp();
  page_->SelectLocation(3);
  page_->MoveSelectedDown();
  EXPECT_FALSE(list_.modified());
  EXPECT_EQ(ReadAll(file_), before);
  EXPECT_EQ(list_.at(0).name, "Remote");

  // Down from the first record: the location takes the second place in the file.
  page_->SelectLocation(0);
  page_->MoveSelectedDown();
  EXPECT_EQ(list_.at(1).name, "Remote");
  EXPECT_EQ(page_->selectedIndex(), 1);
  EXPECT_EQ(ReadAll(file_).rfind("\"Far\"", 0), 0u);
}

TEST_F(PoiPageTest, EditsThroughTheCommandsOfTheOtherPages) {
  PoiCommands& commands = *page_;
  FeedFix("000.0");
  // The dialog as the user fills it: a name with quotes, OK.
  QString typedName = QStringLiteral("Fish \"&\" Chips");
  const auto typeNameAndOk = [&](LocationDialog& dialog) {
    dialog.nameEdit()->setText(typedName);
    dialog.accept();
    return dialog.result() == QDialog::Accepted;
  };
  page_->runLocationDialog = typeNameAndOk;
  ASSERT_TRUE(commands.AddLocation(LatLon{52.2, 4.1}));
  ASSERT_EQ(list_.size(), 5u);
  EXPECT_EQ(list_.at(4).name, "Fish & Chips");
  EXPECT_EQ(list_.at(4).number, 5);
  EXPECT_NEAR(list_.at(4).latitude, 52.2, 1e-4);
  EXPECT_EQ(commands.list().size(), 5u);
  EXPECT_NE(ReadAll(file_).find("\"Fish & Chips\",52.20000,4.10000"), std::string::npos);

  // The current position and the default name.
  page_->runLocationDialog = [](LocationDialog& dialog) {
    EXPECT_EQ(dialog.nameEdit()->text(), QStringLiteral("My Location"));
    dialog.accept();
    return true;
  };
  ASSERT_TRUE(commands.AddLocation(LatLon{-999.0, -999.0}));
  EXPECT_NEAR(list_.at(5).latitude, 52.0, 1e-6);

  typedName = QStringLiteral("Renamed");
  page_->runLocationDialog = typeNameAndOk;
  ASSERT_TRUE(commands.EditLocation(0));
  EXPECT_EQ(list_.at(0).name, "Renamed");

  ASSERT_TRUE(commands.MoveLocation(1, LatLon{51.5, 3.5}));
  EXPECT_EQ(list_.at(1).latitude, 51.5);

  bool asked = false;
  page_->askYesNo = [&](const QString& text) {
    asked = text == QStringLiteral("Delete this location?");
    return false;
  };
  EXPECT_FALSE(commands.DeleteLocation(0));
  EXPECT_TRUE(asked);
  page_->askYesNo = [](const QString&) { return true; };
  ASSERT_TRUE(commands.DeleteLocation(0));
  EXPECT_EQ(list_.size(), 5u);
  EXPECT_EQ(list_.at(0).number, 1);
  EXPECT_EQ(ReadAll(file_).find("Renamed"), std::string::npos);

  // Deleting down to an empty list empties the file too: the records do not
  // come back at the next start.
  while (!list_.empty()) ASSERT_TRUE(commands.DeleteLocation(0));
  EXPECT_EQ(ReadAll(file_), "");

  // A cancelled dialog adds nothing.
  page_->runLocationDialog = [](LocationDialog&) { return false; };
  EXPECT_FALSE(commands.AddLocation(LatLon{1, 1}));
  EXPECT_TRUE(list_.empty());
}

TEST_F(PoiPageTest, MenusViewsAndMapCommandsWithoutAMap) {
  FeedFix("003.0");
  std::unique_ptr<QMenu> menu(page_->CreatePoiMenu(true));
  const QList<QAction*> actions = menu->actions();
  auto find = [&](const char* text) {
    for (QAction* a : actions) {
      if (a->text() == QLatin1String(text)) return a;
    }
    return static_cast<QAction*>(nullptr);
  };
  ASSERT_NE(find("Edit POI"), nullptr);
  EXPECT_FALSE(find("Edit POI")->isEnabled());  // no row selected
  EXPECT_FALSE(find("Show All POI")->isEnabled());
  EXPECT_TRUE(find("Hide POI not Visible on Map")->isEnabled());
  EXPECT_TRUE(find("Add POI")->isEnabled());

  page_->SelectLocation(0);
  page_->ViewOnMap();
  page_->HideOutsideMap();
  ASSERT_EQ(messages_.size(), 2u);
  EXPECT_EQ(messages_[0], QStringLiteral("Map not loaded or not calibrated."));
  EXPECT_FALSE(page_->hiddenMode());

  page_->OnActivate();
  EXPECT_TRUE(host().toolbar.zoomIn);
  EXPECT_TRUE(host().toolbar.pageMenu);
  page_->Zoom(true);
  EXPECT_TRUE(host().toolbar.zoomOut);
  EXPECT_FALSE(host().toolbar.zoomIn);
  page_->show();
  page_->ClickAt(QPoint(page_->width() / 2, page_->height() / 2));  // elsewhere: compass mode
  EXPECT_EQ(page_->compassMode(), CompassMode::CourseUp);
  const QImage picture = page_->grab().toImage();
  EXPECT_FALSE(picture.isNull());
  if (const char* dir = std::getenv("TARVO_POI_PAGE_PNG")) {
    picture.save(QString::fromLocal8Bit(dir) + QStringLiteral("/poi-nav.png"));
    page_->Zoom(false);
    page_->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/poi-list.png"));
  }
}

// The map page as the POI page sees it: a picture 1000 x 1000 pixels over
// 51.9..52.05 N, 3.9..4.1 E.
class MapStandIn : public MapCommands {
 public:
  MapStandIn() {
    calibration_.SetRefPoint(0, RefPoint{0, 0, 52.05, 3.9});
    calibration_.SetRefPoint(1, RefPoint{1000, 1000, 51.9, 4.1});
  }
  bool CenterOnPosition(LatLon position) override {
    centred.push_back(position);
    return true;
  }
  void ShowMarker(LatLon, const std::string&) override {}
  const MapCalibration& calibration() const override { return calibration_; }
  void PoisChanged() override { ++changes; }

  std::vector<LatLon> centred;
  int changes = 0;

 private:
  MapCalibration calibration_;
};

TEST_F(PoiPageTest, HidesWhatLiesOutsideTheMapAndShowsItAgain) {
  MapStandIn map;
  host().map = &map;
  page_->mapImageSize = [] { return QSize(1000, 1000); };
  page_->RecomputeMapPositions();
  EXPECT_FALSE(list_.modified());
  page_->HideOutsideMap();
  EXPECT_TRUE(page_->hiddenMode());
  EXPECT_EQ(Names(), (std::vector<std::string>{"Near", "Mid"}));
  std::unique_ptr<QMenu> menu(page_->CreatePoiMenu(true));
  for (QAction* a : menu->actions()) {
    if (a->text() == QLatin1String("Show All POI")) {
      EXPECT_TRUE(a->isEnabled());
    }
    if (a->text() == QLatin1String("Hide POI not Visible on Map")) {
      EXPECT_FALSE(a->isEnabled());
    }
  }
  EXPECT_FALSE(page_->DeleteLocation(0));  // hidden: not in the list, not deleted
  page_->SelectLocation(3);
  page_->ViewOnMap();
  ASSERT_EQ(map.centred.size(), 1u);
  EXPECT_EQ(map.centred[0].latitude, 52.03);
  page_->ShowAll();
  EXPECT_FALSE(page_->hiddenMode());
  EXPECT_EQ(Names().size(), 4u);
  EXPECT_TRUE(messages_.empty());
  host().map = nullptr;
}

TEST_F(PoiPageTest, AFileThatCannotBeOpenedKeepsTheList) {
  page_->LoadFile((path(QStringLiteral("no/such/folder/x.csv"))).toStdString());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].startsWith(QStringLiteral("Error: cannot open file!")));
  EXPECT_EQ(list_.size(), 4u);
  EXPECT_EQ(host().settings().pageText(Key::TrkFile), file_.toStdString());

  const QString gpx = path(QStringLiteral("new.gpx"));
  page_->NewFile(gpx.toStdString());
  EXPECT_TRUE(list_.empty());
  EXPECT_EQ(list_.format(), PoiFileFormat::Gpx);
  EXPECT_EQ(host().settings().pageText(Key::TrkFile), gpx.toStdString());
}

}  // namespace
}  // namespace tarvo
