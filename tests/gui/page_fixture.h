// One page on its own, for page tests: a real connection controller, the
// settings record on a file in a temporary folder, and the palette, behind a
// PageHost. Fixes are fed as NMEA sentences through the real parser.
#pragma once

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/gps/connection_controller.h"
#include "core/settings/settings.h"
#include "gui/window/page.h"
#include "gui/window/page_commands.h"
#include "gui/window/page_host.h"
#include "gui/window/palette.h"
#include "gui/window/settings_model.h"

namespace tarvo::testing {

class TestPageHost : public PageHost, public ControllerHost {
 public:
  explicit TestPageHost(const std::string& settingsFile)
      : store_(SettingsStore::ForFile(settingsFile)),
        settings_(store_, LoadSettings(store_, "tarvo")),
        controller_(*this, settings_.connection()) {}

  // PageHost
  const Fix& currentFix() const override { return controller_.fix(); }
  SettingsModel& settings() override { return settings_; }
  const ConnectionController& controller() const override { return controller_; }
  const Palette& palette() const override { return palette_; }
  bool IsActivePage(const Page* page) const override { return page == active_; }
  void ActivateNextPage(int step) override { pageSteps += step; }
  void SetToolbarState(const ToolbarState& state) override { toolbar = state; }
  void DrawStatusLed(QPainter&, int) override {}
  int screenHeight() const override { return 768; }
  MapCommands* mapCommands() override { return map; }
  PoiCommands* poiCommands() override { return pois; }
  ServiceCommands* serviceCommands() override { return service; }
  const TrackOverlay* trackOverlay() const override { return track; }
  void ShowPage(int index) override { shownPages.push_back(index); }

  // ControllerHost: no message boxes, timers or threads in page tests.
  void SetConnected(bool) override {}
  void ShowError(const ConnectionError& e) override { errors.push_back(e.failure); }
  std::optional<std::string> AskReplayFile(const std::string&) override { return std::nullopt; }
  void PostToMainThread(std::function<void()> task) override { task(); }
  bool StartTimer(ConnectionTimer, int) override { return true; }
  void StopTimer(ConnectionTimer) override {}
  int64_t NowUtc() override { return now; }

  ConnectionController& connection() { return controller_; }
  SettingsStore& store() { return store_; }
  // Feeds one sentence as the receiver would.
  void Feed(const std::string& line) { controller_.OnSentence(line); }
  void SetActivePage(const Page* page) { active_ = page; }

  ToolbarState toolbar;
  int pageSteps = 0;
  std::vector<int> shownPages;
  std::vector<ConnectionFailure> errors;
  // Set by a test to the pages or objects standing for the other pages.
  MapCommands* map = nullptr;
  PoiCommands* pois = nullptr;
  ServiceCommands* service = nullptr;
  const TrackOverlay* track = nullptr;
  int64_t now = 1700000000;

 private:
  SettingsStore store_;
  SettingsModel settings_;
  ConnectionController controller_;
  Palette palette_;
  const Page* active_ = nullptr;
};

// A fixture with a host on a settings file in a fresh temporary folder.
class PageFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    host_ = std::make_unique<TestPageHost>(settingsFile());
  }
  std::string settingsFile() const { return (dir_.path() + "/Pathlet.ini").toStdString(); }
  QString path(const QString& name) const { return dir_.path() + "/" + name; }
  TestPageHost& host() { return *host_; }
  // A new host on the same settings file, as the next start of the program.
  void RestartHost() {
    host_.reset();
    host_ = std::make_unique<TestPageHost>(settingsFile());
  }

  QTemporaryDir dir_;
  std::unique_ptr<TestPageHost> host_;
};

}  // namespace tarvo::testing
