// The NMEA log page on a real window: the filter, the 50 latest lines, the
// log file in the data folder (replaced when switched on, never emptied or
// fed while it is being replayed), its settings, and what a line costs.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/settings/paths.h"
#include "gui/log/log_page.h"
#include "gui_fixture.h"

namespace tarvo::testing {
namespace {
namespace fs = std::filesystem;

constexpr const char* kGga = "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76";
constexpr const char* kGsv = "$GPGSV,3,1,10,20,78,331,45,01,59,235,47,22,41,069,,13,32,252,45*70";
constexpr const char* kRmc = "$GPRMC,092750.000,A,5321.6802,N,00630.3372,W,0.02,31.66,280511,,,A*43";
constexpr const char* kGsa = "$GPGSA,A,3,10,07,05,02,29,04,08,13,,,,,1.72,1.03,1.38*0A";
constexpr const char* kPgrme = "$PGRME,15.0,M,45.0,M,25.0,M*1D";
constexpr const char* kVtg = "$GPVTG,31.66,T,,M,0.02,N,0.04,K,A*3C";
constexpr const char* kGnGga = "$GNGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*68";

class LogPageTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    file_ = DataDirPath() / "Tarvo_Log.nmea";
    fs::remove_all(file_);
  }
  void TearDown() override {
    WindowFixture::TearDown();
    fs::remove_all(file_);
    for (int g = 1; g <= kLogGenerations; ++g) fs::remove_all(LogGenerationPath(file_, g));
  }

  LogPage& Open() {
    MakeWindow();
    log_ = static_cast<LogPage*>(mainWindow().page(kLogPage));
    EXPECT_EQ(log_->logPath(), file_);
    return *log_;
  }
  // A line as the receiver hands it to the program.
  void Receive(const std::string& line) { mainWindow().controller().OnSentence(line); }
  QStringList Shown() const {
    QStringList lines;
    for (int i = 0; i < log_->list()->count(); ++i) lines << log_->list()->item(i)->text();
    return lines;
  }
  QCheckBox* Box(const char* name) const { return log_->findChild<QCheckBox*>(QString::fromLatin1(name)); }
  static void Tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }
  // Leaving the page writes what is buffered.
  void LeaveLogPage() {
    mainWindow().ActivatePage(kLogPage);
    mainWindow().ActivatePage(kStatusPage);
  }
  std::string FileText(int generation = 0) const {
    std::ifstream in(generation == 0 ? file_ : LogGenerationPath(file_, generation), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void WriteFile(const std::string& text) const {
    fs::create_directories(file_.parent_path());
    std::ofstream(file_, std::ios::binary) << text;
  }

  fs::path file_;
  LogPage* log_ = nullptr;
};

TEST_F(LogPageTest, DefaultOptionsShowAndWriteNothingEvenWhileSaving) {
  store().SetInt(Key::LogSave, 1);
  WriteFile("$GPGGA,old\n");
  LogPage& log = Open();
  EXPECT_TRUE(log.logSave());
  EXPECT_TRUE(Box("saveToFile")->isChecked());
  for (const char* name : {"filterGGA", "filterGSV", "filterRMC", "filterGSA", "filterOthers"}) {
    EXPECT_FALSE(Box(name)->isChecked()) << name;
  }
  for (const char* line : {kGga, kGsv, kRmc, kGsa, kPgrme, kVtg, kGnGga}) Receive(line);
  EXPECT_EQ(log.list()->count(), 0);
  LeaveLogPage();
  EXPECT_EQ(FileText(), "");
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::LogOptions), 0);
  EXPECT_EQ(store().GetInt(Key::LogSave), 1);
}

TEST_F(LogPageTest, OthersOnlyShowsUnlistedSentencesWhateverTheTalker) {
  store().SetInt(Key::LogOptions, kLogOthers);
  Open();
  EXPECT_TRUE(Box("filterOthers")->isChecked());
  EXPECT_FALSE(Box("filterGGA")->isChecked());
  for (const char* line : {kGga, kPgrme, kGsv, kVtg, kGnGga, kRmc, "$GPRMB,A,,,,,,,,,,,,V*71", kGsa, "$BDGSV,1"}) {
    Receive(line);
  }
  EXPECT_EQ(Shown(), QStringList({kPgrme, kVtg, "$GPRMB,A,,,,,,,,,,,,V*71"}));
}

TEST_F(LogPageTest, FilterBoxesToggleTheirBitsAndTheSettingIsSavedAtExit) {
  LogPage& log = Open();
  Tick(Box("filterGGA"));
  EXPECT_EQ(log.logOptions(), kLogGga);
  EXPECT_TRUE(Box("filterGGA")->isChecked());
  Receive(kGnGga);  // a multi-constellation receiver's fix
  Receive(kGsa);
  Tick(Box("filterGSA"));
  Receive("$GLGSA,A,3,65,66,,,,,,,,,,,1.7,1.0,1.4*2B");
  Tick(Box("filterGGA"));
  Receive(kGga);
  EXPECT_EQ(Shown(), QStringList({kGnGga, "$GLGSA,A,3,65,66,,,,,,,,,,,1.7,1.0,1.4*2B"}));
  EXPECT_EQ(log.logOptions(), kLogGsa);
  EXPECT_FALSE(Box("filterGGA")->isChecked());
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::LogOptions), kLogGsa);
}

TEST_F(LogPageTest, TheFiftyFirstLineRemovesTheFirstAndLongLinesAreCutOnlyOnScreen) {
  store().SetInt(Key::LogOptions, 31);
  LogPage& log = Open();
  mainWindow().ActivatePage(kLogPage);
  Tick(Box("saveToFile"));
  ASSERT_TRUE(log.logSave());
  std::string expected;
  for (int i = 1; i <= 51; ++i) {
    const std::string line = "$GPZDA," + std::to_string(i);
    Receive(line);
    expected += line + "\n";
  }
  ASSERT_EQ(log.list()->count(), 50);
  EXPECT_EQ(log.list()->item(0)->text(), "$GPZDA,2");
  EXPECT_EQ(log.list()->item(49)->text(), "$GPZDA,51");
  QApplication::processEvents();
  EXPECT_TRUE(log.list()->viewport()->rect().intersects(log.list()->visualItemRect(log.list()->item(49))));

  const std::string longLine = "$GPTXT," + std::string(293, 'x');  // 300 characters
  Receive(longLine);
  expected += longLine + "\n";
  EXPECT_EQ(log.list()->item(49)->text().toStdString(), longLine.substr(0, 254));
  EXPECT_EQ(log.list()->item(0)->text(), "$GPZDA,3");
  LeaveLogPage();
  EXPECT_EQ(FileText(), expected);
}

TEST_F(LogPageTest, StartingWithLogSaveStartsANewFileAndKeepsThePreviousOnes) {
  store().SetInt(Key::LogOptions, 31);
  store().SetInt(Key::LogSave, 1);
  const std::string yesterday = "$GPGGA,yesterday\n$GPRMC,yesterday\n";
  WriteFile(yesterday);
  Open();
  EXPECT_EQ(FileText(), "");
  EXPECT_EQ(FileText(1), yesterday);
  Receive(kGga);
  Receive(kPgrme);
  LeaveLogPage();
  const std::string today = std::string(kGga) + "\n" + kPgrme + "\n";
  EXPECT_EQ(FileText(), today);
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::LogSave), 1);
  Open();
  EXPECT_EQ(FileText(), "");
  EXPECT_EQ(FileText(1), today);
  EXPECT_EQ(FileText(2), yesterday);
}

TEST_F(LogPageTest, LinesReachTheFileWithinASecondWhileThePageStays) {
  store().SetInt(Key::LogOptions, 31);
  store().SetInt(Key::LogSave, 1);
  Open();
  mainWindow().ActivatePage(kLogPage);
  Receive(kGga);
  EXPECT_TRUE(WaitFor([this] { return FileText() == std::string(kGga) + "\n"; }, 3000));
  EXPECT_TRUE(mainWindow().activePage() == log_);
}

TEST_F(LogPageTest, StartingInSimulationWithTheLogAsReplayFileLeavesTheRecordingWhole) {
  const std::string recording = std::string(kGga) + "\n" + kRmc + "\n" + kGsa + "\n";
  WriteFile(recording);
  store().SetInt(Key::LogOptions, 31);
  store().SetInt(Key::LogSave, 1);
  store().SetInt(Key::Emulation, 1);
  LogPage& log = Open();
  EXPECT_FALSE(log.logSave());
  EXPECT_EQ(FileText(), recording);
  mainWindow().controller().SetAskForReplayFile(false);
  mainWindow().controller().ToggleConnection();
  ASSERT_TRUE(mainWindow().controller().IsReplay());
  while (mainWindow().controller().ReplayTick()) {
  }
  EXPECT_EQ(FileText(), recording);
  EXPECT_FALSE(fs::exists(LogGenerationPath(file_, 1)));
  // Saving waits for a connection that does not replay the log; the setting stays.
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::LogSave), 1);

  // The same with the log named on the command line.
  store().SetInt(Key::Emulation, 0);
  WindowOptions options;
  options.replayFile = QString::fromStdString(file_.string());
  options.startReplay = true;
  MakeWindow(options);
  ASSERT_TRUE(mainWindow().controller().IsReplay());
  while (mainWindow().controller().ReplayTick()) {
  }
  EXPECT_EQ(FileText(), recording);
  EXPECT_FALSE(fs::exists(LogGenerationPath(file_, 1)));
}

TEST_F(LogPageTest, SaveToFileStartsAnEmptyFileAndSwitchingOffStopsWriting) {
  store().SetInt(Key::LogOptions, 31);
  LogPage& log = Open();
  WriteFile("$GPGGA,old\n");
  Receive("$GPZDA,before");
  Tick(Box("saveToFile"));
  EXPECT_TRUE(log.logSave());
  EXPECT_EQ(FileText(), "");
  Receive("$GPZDA,during");
  Tick(Box("saveToFile"));
  EXPECT_FALSE(log.logSave());
  EXPECT_FALSE(Box("saveToFile")->isChecked());
  Receive("$GPZDA,after");
  EXPECT_EQ(FileText(), "$GPZDA,during\n");
  EXPECT_EQ(log.list()->count(), 3);
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::LogSave), 0);
}

TEST_F(LogPageTest, ALogFileThatCannotBeOpenedLeavesSavingOffQuietly) {
  fs::create_directories(file_);  // a folder where the file should be
  store().SetInt(Key::LogOptions, 31);
  store().SetInt(Key::LogSave, 1);
  LogPage& log = Open();  // a message box here would block the test
  EXPECT_FALSE(log.logSave());
  EXPECT_FALSE(Box("saveToFile")->isChecked());
  Tick(Box("saveToFile"));
  EXPECT_FALSE(log.logSave());
  EXPECT_FALSE(Box("saveToFile")->isChecked());
  Receive(kGga);
  EXPECT_EQ(log.list()->count(), 1);
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<QMessageBox*>(w), nullptr);
  CloseWindow();
  ReopenStore();
  EXPECT_EQ(store().GetInt(Key::LogSave), 0);
}

TEST_F(LogPageTest, ReplayingTheLogFileNeitherEmptiesNorFeedsIt) {
  const std::string recording = std::string(kGga) + "\n" + kRmc + "\n" + kGsa + "\n";
  WriteFile(recording);
  store().SetInt(Key::LogOptions, 31);
  LogPage& log = Open();
  mainWindow().settings().connection().emulation = true;
  mainWindow().controller().SetAskForReplayFile(false);
  std::error_code error;
  ASSERT_TRUE(fs::equivalent(mainWindow().controller().replayPath(), file_, error));

  // Switching saving on during the replay would empty the recording.
  mainWindow().controller().ToggleConnection();
  ASSERT_TRUE(mainWindow().controller().IsReplay());
  Tick(Box("saveToFile"));
  EXPECT_FALSE(log.logSave());
  EXPECT_EQ(FileText(), recording);
  mainWindow().controller().ToggleConnection();

  // Saving already on: the replayed lines are shown, not appended to what is read.
  mainWindow().settings().connection().emulation = false;
  Tick(Box("saveToFile"));
  ASSERT_TRUE(log.logSave());
  mainWindow().settings().connection().emulation = true;
  for (const char* line : {kGga, kRmc, kGsa}) Receive(line);
  LeaveLogPage();
  log.list()->clear();
  mainWindow().controller().ToggleConnection();
  ASSERT_TRUE(mainWindow().controller().IsReplay());
  for (int i = 0; i < 20 && mainWindow().controller().ReplayTick(); ++i) {
  }
  EXPECT_FALSE(mainWindow().controller().IsConnected());  // the replay came to its end
  EXPECT_EQ(Shown(), QStringList({kGga, kRmc, kGsa}));
  Tick(Box("saveToFile"));
  EXPECT_EQ(FileText(), recording);
}

TEST_F(LogPageTest, TheScrollExtentFollowsTheWidestLineAndNeverShrinks) {
  store().SetInt(Key::LogOptions, 31);
  LogPage& log = Open();
  mainWindow().ActivatePage(kLogPage);
  Receive(kPgrme);
  const int narrow = log.widestLine();
  Receive("$GPTXT," + std::string(200, 'w'));
  const int wide = log.widestLine();
  EXPECT_GT(wide, narrow);
  QApplication::processEvents();
  EXPECT_GT(log.list()->horizontalScrollBar()->maximum(), 0);
  Tick(Box("filterOthers"));  // nothing is shown any more
  auto* clear = log.findChild<QPushButton*>(QStringLiteral("clear"));
  QTest::mouseClick(clear, Qt::LeftButton);
  EXPECT_EQ(log.list()->count(), 0);
  Receive(kGga);
  QApplication::processEvents();
  EXPECT_EQ(log.widestLine(), wide);
  EXPECT_GT(log.list()->horizontalScrollBar()->maximum(), 0);
}

TEST_F(LogPageTest, ToolbarIsDisabledOnTheLogPage) {
  Open();
  mainWindow().ActivatePage(kHardwarePage);
  EXPECT_TRUE(mainWindow().pageMenuAction()->isEnabled());
  mainWindow().ActivatePage(kLogPage);
  for (QAction* action : {mainWindow().zoomInAction(), mainWindow().zoomOutAction(), mainWindow().pageMenuAction()}) {
    EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
  }
}

// Counts the paintings of a widget.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(LogPageTest, AFastReceiverCostsOneRedrawPerLineAtMost) {
  store().SetInt(Key::LogOptions, 31);
  LogPage& log = Open();
  mainWindow().ActivatePage(kLogPage);
  Tick(Box("saveToFile"));
  QApplication::processEvents();
  PaintCounter counter;
  log.list()->viewport()->installEventFilter(&counter);

  // One line per turn of the event loop, as the reader hands them over.
  constexpr int kLines = 1000;
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < kLines; ++i) {
    Receive("$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,," + std::to_string(i));
    QApplication::processEvents();
  }
  const double perLine = static_cast<double>(timer.nsecsElapsed()) / kLines / 1000.0;
  EXPECT_GT(counter.paints, 0);
  EXPECT_LE(counter.paints, kLines);
  // A burst between two turns is drawn once.
  const int before = counter.paints;
  for (int i = 0; i < 200; ++i) Receive(kRmc);
  QApplication::processEvents();
  EXPECT_LE(counter.paints - before, 2);
  EXPECT_EQ(log.list()->count(), 50);
  std::printf("[ measure  ] %d lines: %.1f us per line with its redraw, %d paints\n", kLines, perLine,
              counter.paints);
  RecordProperty("microseconds_per_line", std::to_string(perLine));
  LeaveLogPage();
  const std::string text = FileText();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kLines + 200);
}

}  // namespace
}  // namespace tarvo::testing
