// Tarvo: a GPS companion for the Linux desktop.
//   tarvo [--replay FILE [--speed N|xF]] [--config FILE] [--screenshot DIR]
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "core/settings/settings_store.h"
#include "core/version.h"
#include "gui/window/main_window.h"

namespace {

bool HasDisplay() {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display && *display) || (wayland && *wayland);
}

void SetApplicationNames() {
  QCoreApplication::setApplicationName(QStringLiteral("Tarvo"));
  QCoreApplication::setApplicationVersion(
      QString::fromLatin1(tarvo::VersionNumber().data(), static_cast<qsizetype>(tarvo::VersionNumber().size())));
}

// What the command line asked for.
struct Arguments {
  QString replay;
  QString config;
  QString screenshot;
  QString speed;
  bool hasReplay = false;
  bool hasConfig = false;
  bool hasScreenshot = false;
  bool hasSpeed = false;
};

// Reads the command line without a display, so --help, --version and bad
// options answer on a terminal of their own. Exits for those.
Arguments ParseCommandLine(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  SetApplicationNames();
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Tarvo: Global Satellite and Position Tracker"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption replay(QStringLiteral("replay"),
                                  QStringLiteral("Replay this NMEA file (this run only)."), QStringLiteral("FILE"));
  const QCommandLineOption speed(
      QStringLiteral("speed"),
      QStringLiteral("Replay pace: 1 to 4 lines a second, or x1, x2, x4, x8 times the recorded time."),
      QStringLiteral("SPEED"));
  const QCommandLineOption config(QStringLiteral("config"), QStringLiteral("Use this settings file."),
                                  QStringLiteral("FILE"));
  const QCommandLineOption screenshot(
      QStringLiteral("screenshot"), QStringLiteral("Replay at full speed, save each page as DIR/page-N-NAME.png, quit."),
      QStringLiteral("DIR"));
  parser.addOption(replay);
  parser.addOption(speed);
  parser.addOption(config);
  parser.addOption(screenshot);
  parser.process(app);
  Arguments a;
  a.hasReplay = parser.isSet(replay);
  a.replay = parser.value(replay);
  a.hasSpeed = parser.isSet(speed);
  a.speed = parser.value(speed);
  a.hasConfig = parser.isSet(config);
  a.config = parser.value(config);
  a.hasScreenshot = parser.isSet(screenshot);
  a.screenshot = parser.value(screenshot);
  return a;
}

// Why `file` cannot be replayed, or nothing when it can.
std::optional<std::string> ReplayFileProblem(const QString& file) {
  const QByteArray path = QFile::encodeName(file);
  std::FILE* f = std::fopen(path.constData(), "rb");
  if (!f) return std::string(std::strerror(errno));
  std::fclose(f);
  if (QFileInfo(file).isDir()) return std::string("is a folder, not a file");
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  const Arguments args = ParseCommandLine(argc, argv);

  tarvo::WindowOptions options;
  if (args.hasReplay) {
    if (const auto problem = ReplayFileProblem(args.replay)) {
      std::fprintf(stderr, "tarvo: cannot replay %s: %s\n", qPrintable(args.replay), problem->c_str());
      return 1;
    }
    options.replayFile = QFileInfo(args.replay).absoluteFilePath();
    options.startReplay = true;
  }
  if (args.hasSpeed) {
    const QString s = args.speed.trimmed().toLower();
    bool ok = false;
    if (s.startsWith(QLatin1Char('x'))) {
      const int factor = s.mid(1).toInt(&ok);
      ok = ok && (factor == 1 || factor == 2 || factor == 4 || factor == 8);
      if (ok) options.replayRealTime = factor;
    } else {
      const int lines = s.toInt(&ok);
      ok = ok && lines >= 1 && lines <= 4;
      if (ok) options.emulationSpeed = lines;
    }
    if (!ok) {
      std::fprintf(stderr, "tarvo: --speed takes 1, 2, 3 or 4 (lines a second) or x1, x2, x4, x8 (times real time), not %s\n",
                   qPrintable(args.speed));
      return 2;
    }
    if (!args.hasReplay) {
      std::fprintf(stderr, "tarvo: --speed goes with --replay FILE\n");
      return 2;
    }
  }
  if (args.hasScreenshot) options.screenshotDir = QDir(args.screenshot).absolutePath();

  // Pictures can be made without a display; the window needs one.
  if (!HasDisplay() && !std::getenv("QT_QPA_PLATFORM")) {
    if (!args.hasScreenshot) {
      std::fprintf(stderr,
                   "tarvo: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                   "--screenshot DIR works without one\n");
      return 1;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }

  QApplication app(argc, argv);
  Q_INIT_RESOURCE(tarvo);
  // Numbers are written with a decimal point whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  SetApplicationNames();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tarvo.png")));
  options.programPath = QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath().toStdString();

  std::unique_ptr<tarvo::SettingsStore> store;
  if (args.hasConfig) {
    store = std::make_unique<tarvo::SettingsStore>(tarvo::SettingsStore::ForFile(args.config.toStdString()));
  } else {
    store = std::make_unique<tarvo::SettingsStore>();
  }

  tarvo::MainWindow mainWindow(*store, options);
  mainWindow.show();
  mainWindow.Start();
  if (!options.screenshotDir.isEmpty()) return mainWindow.RunScreenshots();
  mainWindow.exec();
  return 0;
}
