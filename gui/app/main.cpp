// Tarvo: a GPS companion for the Linux desktop.
//   tarvo [--replay FILE] [--config FILE] [--screenshot DIR]
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/settings/settings_store.h"
#include "core/version.h"
#include "gui/app/gps_sheet.h"

namespace {

bool HasDisplay() {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display && *display) || (wayland && *wayland);
}

}  // namespace

int main(int argc, char** argv) {
  // Pictures can be made without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && !HasDisplay() && !std::getenv("QT_QPA_PLATFORM")) {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
  }
  QApplication app(argc, argv);
  Q_INIT_RESOURCE(tarvo);
  // Numbers are written with a decimal point whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName(QStringLiteral("Tarvo"));
  QApplication::setApplicationVersion(QString::fromLatin1(tarvo::VersionNumber().data(),
                                                          static_cast<qsizetype>(tarvo::VersionNumber().size())));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tarvo.png")));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Tarvo: Global Satellite and Position Tracker"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption replay(QStringLiteral("replay"),
                                  QStringLiteral("Replay this NMEA file (this run only)."), QStringLiteral("FILE"));
  const QCommandLineOption config(QStringLiteral("config"), QStringLiteral("Use this settings file."),
                                  QStringLiteral("FILE"));
  const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                      QStringLiteral("Replay at full speed, save each page as DIR/page-N-NAME.png, quit."),
                                      QStringLiteral("DIR"));
  parser.addOption(replay);
  parser.addOption(config);
  parser.addOption(screenshot);
  parser.process(app);

  tarvo::SheetOptions options;
  options.programPath = QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath().toStdString();
  if (parser.isSet(replay)) {
    const QString file = parser.value(replay);
    if (!QFileInfo(file).isReadable()) {
      std::fprintf(stderr, "tarvo: cannot read %s\n", qPrintable(file));
      return 1;
    }
    options.replayFile = QFileInfo(file).absoluteFilePath();
    options.startReplay = true;
  }
  if (parser.isSet(screenshot)) options.screenshotDir = QDir(parser.value(screenshot)).absolutePath();

  std::unique_ptr<tarvo::SettingsStore> store;
  if (parser.isSet(config)) {
    store = std::make_unique<tarvo::SettingsStore>(
        tarvo::SettingsStore::ForFile(parser.value(config).toStdString()));
  } else {
    store = std::make_unique<tarvo::SettingsStore>();
  }

  tarvo::CGPSSheet sheet(*store, options);
  sheet.show();
  sheet.Start();
  if (!options.screenshotDir.isEmpty()) return sheet.RunScreenshots();
  sheet.exec();
  return 0;
}
