// Runs the window tests in a QApplication on the offscreen platform, with
// their own configuration and data folders.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QTemporaryDir home;
  setenv("XDG_CONFIG_HOME", qPrintable(home.path() + "/config"), 1);
  setenv("XDG_DATA_HOME", qPrintable(home.path() + "/data"), 1);
  setenv("XDG_RUNTIME_DIR", qPrintable(home.path()), 1);
  QApplication app(argc, argv);
  Q_INIT_RESOURCE(tarvo);
  std::setlocale(LC_NUMERIC, "C");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
