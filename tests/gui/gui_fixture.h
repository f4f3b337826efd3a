// A window on a settings file in a temporary folder, for window tests.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <ostream>
#include <memory>

#include <gtest/gtest.h>

#include "core/settings/settings_store.h"
#include "gui/window/main_window.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tarvo::testing {

class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    settingsFile_ = (dir_.path() + "/Pathlet.ini").toStdString();
    store_ = std::make_unique<SettingsStore>(SettingsStore::ForFile(settingsFile_));
  }
  void TearDown() override {
    mainWindow_.reset();
    store_.reset();
  }

  // Sets keys before the window reads them.
  SettingsStore& store() { return *store_; }

  MainWindow& MakeWindow(WindowOptions options = {}) {
    options.quiet = quietErrors_;
    // Never the host's own ports: with no "PortName" a connect opens a path
    // in the test folder where no device is (a test may store a pseudo-terminal).
    if (!options.portFinder) {
      const std::string none = path(QStringLiteral("no-receiver-here")).toStdString();
      options.portFinder = [none] { return none; };
    }
    mainWindow_ = std::make_unique<MainWindow>(*store_, options);
    mainWindow_->show();
    mainWindow_->Start();
    QApplication::processEvents();
    return *mainWindow_;
  }
  MainWindow& mainWindow() { return *mainWindow_; }
  // Destroys the window: settings are saved, pages write theirs.
  void CloseWindow() { mainWindow_.reset(); }
  // Makes a new store on the same file, as the next start of the program would.
  void ReopenStore() {
    store_ = std::make_unique<SettingsStore>(SettingsStore::ForFile(settingsFile_));
  }
  // The window's settings go to `file` instead.
  void UseSettingsFile(const std::string& file) {
    settingsFile_ = file;
    ReopenStore();
  }

  // Processes events until `done` or the timeout (ms); true when done.
  static bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
      if (timer.elapsed() > timeoutMs) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
  }

  // Answers the next modal message box: records its text and closes it.
  void CatchNextMessageBox(QString* text) {
    QTimer::singleShot(0, [text, this] { PollMessageBox(text, 0); });
  }

  QString path(const QString& name) const { return dir_.path() + "/" + name; }
  bool quietErrors_ = false;

 private:
  void PollMessageBox(QString* text, int tries) {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      *text = box->text();
      box->done(QMessageBox::Ok);
      return;
    }
    if (tries < 500) QTimer::singleShot(10, [text, tries, this] { PollMessageBox(text, tries + 1); });
  }

  QTemporaryDir dir_;
  std::string settingsFile_;
  std::unique_ptr<SettingsStore> store_;
  std::unique_ptr<MainWindow> mainWindow_;
};

}  // namespace tarvo::testing
