// The track page offscreen over a real track file in a temporary folder:
// recording from fed sentences, the statistics texts and unit clicks, the
// lists, the file commands, and the stored settings.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <memory>
#include <sstream>

#include "gui/track/track_page.h"
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

class TrackPageTest : public PageFixture {
 protected:
  void SetUp() override {
    PageFixture::SetUp();
    file_ = path(QStringLiteral("Track0001.nmea"));
    host().settings().SetPageText(Key::TripFile, file_.toStdString());
    host().settings().SetPageValues({{Key::TripActive, 1}, {Key::TripTime, 2}, {Key::TripMinDist, 0}});
  }
  void TearDown() override {
    DropPage();
    PageFixture::TearDown();
  }
  void MakePage() {
    recorder_ = std::make_unique<TrackRecorder>(LoadTrackSettings(host().settings(), dir_.path().toStdString()));
    recorder_->SetClock([this] { return clockMs_; });
    page_ = std::make_unique<TrackPage>(host(), *recorder_);
    page_->resize(420, 360);
    page_->dialogs().message = [this](const QString& text) { messages_.push_back(text); };
    page_->dialogs().askNewFile = [this](QString& p) { p = answer_; return !answer_.isEmpty(); };
    page_->dialogs().askLoadFile = page_->dialogs().askNewFile;
    page_->dialogs().askExportFile = page_->dialogs().askNewFile;
    page_->dialogs().confirmReset = [this](const QString&) { ++resetQuestions_; return confirm_; };
    page_->OnCreate();
    host().connection().AddListener(recorder_.get());
    host().connection().AddListener(page_.get());
    host().SetActivePage(page_.get());
  }
  void DropPage() {
    if (!page_) return;
    host().connection().RemoveListener(page_.get());
    host().connection().RemoveListener(recorder_.get());
    page_.reset();
    recorder_.reset();
  }
  QString Text(const char* name) {
    auto* label = page_->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(name);
  }
  void Click(const char* name) {
    QWidget* w = page_->findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(w, nullptr) << name;
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
  }
  // RMC fixes every 3 s (more than the 2 s interval), moving north 111 m each.
  void Drive(int count, int start = 0) {
    for (int i = start; i < start + count; ++i) {
      char body[128];
      std::snprintf(body, sizeof body, "GPRMC,1200%02d,A,%02d%07.4f,N,01400.000,E,10.0,0.0,150624,,", i * 3,
                    46 + i / 60, (i % 60) * 0.06);
      host().Feed(Sentence(body));
      clockMs_ += 3001;
    }
  }

  QString file_;
  QString answer_;
  bool confirm_ = true;
  int resetQuestions_ = 0;
  int64_t clockMs_ = 1000000;
  std::vector<QString> messages_;
  std::unique_ptr<TrackRecorder> recorder_;
  std::unique_ptr<TrackPage> page_;
};

TEST_F(TrackPageTest, RecordsFedFixesAndShowsTheStatistics) {
  MakePage();
  EXPECT_TRUE(page_->findChild<QCheckBox*>("active")->isChecked());
  EXPECT_EQ(Text("file"), ".../Track0001.nmea");
  EXPECT_EQ(Text("items"), "0");
  EXPECT_EQ(Text("distance"), "0.00 km");
  EXPECT_EQ(Text("time"), "00:00:00");
  EXPECT_EQ(Text("altitude"), "0 m - 0 m");
  Drive(3);
  EXPECT_EQ(Text("items"), "3");
  EXPECT_EQ(Text("time"), "00:00:06");
  // Live, the smoothed positions of the fix count (111 m steps averaged over
  // four fixes); the file holds the sentences as sent, read back unsmoothed.
  EXPECT_EQ(Text("distance"), "0.11 km");
  EXPECT_EQ(Text("speed"), "66.7 km/h");
  const std::string written = ReadAll(file_);
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 3);

  // Unit clicks step the program-wide units.
  Click("distance");
  EXPECT_EQ(host().settings().values().distanceUnit, DistanceUnit::Imperial);
  EXPECT_EQ(Text("distance"), "0.07 mi");
  Click("speed");
  Click("speed");
  EXPECT_EQ(host().settings().values().speedUnit, SpeedUnit::Knot);
  EXPECT_EQ(Text("speed"), "36.00 knot");

  // Switched off: nothing more is written.
  Click("active");
  EXPECT_FALSE(recorder_->isActive());
  Drive(1, 5);
  EXPECT_EQ(Text("items"), "3");
  // Switched on again, the file is read back.
  Click("active");
  EXPECT_EQ(Text("items"), "3");
  EXPECT_EQ(Text("distance"), "0.14 mi");
}

TEST_F(TrackPageTest, ListsAndSettingsAreKept) {
  host().settings().SetPageValues({{Key::TripTime, 300}, {Key::TripMinDist, 5000}});
  MakePage();
  auto* interval = page_->findChild<QComboBox*>("interval");
  auto* distance = page_->findChild<QComboBox*>("minDistance");
  EXPECT_EQ(interval->count(), 8);
  EXPECT_EQ(interval->currentText(), "5 Minutes");
  EXPECT_EQ(distance->currentText(), "5 km (3.1 mi)");
  EXPECT_EQ(distance->itemText(0), "No minimum");
  distance->setCurrentIndex(6);
  emit distance->activated(6);
  interval->setCurrentIndex(4);
  emit interval->activated(4);
  EXPECT_EQ(recorder_->settings().minDistance, 100);
  DropPage();
  EXPECT_EQ(host().settings().pageValue(Key::TripTime), 60);
  EXPECT_EQ(host().settings().pageValue(Key::TripMinDist), 100);
  EXPECT_EQ(host().settings().pageValue(Key::TripActive), 1);
}

TEST_F(TrackPageTest, NewLoadResetAndExport) {
  MakePage();
  Drive(2);
  // "Reset" asks first; "No" keeps the file.
  confirm_ = false;
  Click("reset");
  EXPECT_EQ(resetQuestions_, 1);
  EXPECT_EQ(Text("items"), "2");
  // "Export GPX" writes the track.
  answer_ = path("out.gpx");
  Click("exportGpx");
  EXPECT_NE(ReadAll(answer_).find("<trkpt lat=\"46.0000000\""), std::string::npos);
  // "New" starts another file, "Load" reads the first back.
  answer_ = path("second.nmea");
  Click("new");
  EXPECT_EQ(Text("file"), ".../second.nmea");
  EXPECT_EQ(Text("items"), "0");
  answer_ = file_;
  Click("load");
  EXPECT_EQ(Text("items"), "2");
  confirm_ = true;
  Click("reset");
  EXPECT_EQ(Text("items"), "0");
  EXPECT_EQ(ReadAll(file_), "");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(TrackPageTest, AFileThatCannotBeOpenedIsReported) {
  host().settings().SetPageText(Key::TripFile, path("no/such/dir/t.nmea").toStdString());
  MakePage();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].startsWith("Error: cannot open file!")) << messages_[0].toStdString();
  EXPECT_FALSE(page_->findChild<QCheckBox*>("active")->isChecked());
  DropPage();
  EXPECT_EQ(host().settings().pageValue(Key::TripActive), 0);
}

TEST_F(TrackPageTest, Picture) {
  MakePage();
  Drive(2);
  page_->show();
  const QImage image = page_->grab().toImage();
  EXPECT_FALSE(image.isNull());
  if (const char* out = std::getenv("TARVO_TRACK_PAGE_PNG")) image.save(QString::fromLocal8Bit(out));
}

}  // namespace
}  // namespace tarvo
