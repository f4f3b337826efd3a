// Two measurements of the window on the offscreen platform:
//  1. replay: 1,000,000 lines (the demo drive repeated) through the
//     controller with the status page shown, painting after every fix;
//     sentences per second and time per status-page update;
//  2. latency: from the last byte of a fix written to a pseudo-terminal to
//     the status page having painted the new position; median and 99th
//     percentile over 1,000 fixes, sent as full epochs at 20 Hz.
// Usage: bench_status_page [lines] [fixes]
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "core/settings/settings_store.h"
#include "gui/window/main_window.h"
#include "gui/status/status_page.h"
#include "tests/unit/gps/test_nmea_util.h"

namespace {

using tarvo::test::Sentence;

using Clock = std::chrono::steady_clock;


// Counts paints of one widget and remembers when the last one happened.
class PaintWatch : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      ++paints;
      last = Clock::now();
    }
    return false;
  }
  long paints = 0;
  Clock::time_point last;
};

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * (v.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QTemporaryDir home;
  setenv("XDG_CONFIG_HOME", qPrintable(home.path()), 1);
  setenv("XDG_DATA_HOME", qPrintable(home.path()), 1);
  QApplication app(argc, argv);
  Q_INIT_RESOURCE(tarvo);
  std::setlocale(LC_NUMERIC, "C");
  const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
  const int fixes = argc > 2 ? std::atoi(argv[2]) : 1000;

  QFile demo(QStringLiteral(TARVO_SOURCE_DIR "/data/demo/demo-drive.nmea"));
  if (!demo.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "cannot read the demo drive\n");
    return 1;
  }
  std::vector<std::string> drive;
  while (!demo.atEnd()) drive.push_back(demo.readLine().trimmed().toStdString());

  tarvo::SettingsStore store = tarvo::SettingsStore::ForFile((home.path() + "/Pathlet.ini").toStdString());
  tarvo::WindowOptions options;
  options.quiet = true;
  tarvo::MainWindow mainWindow(store, options);
  mainWindow.show();
  mainWindow.Start();
  QApplication::processEvents();
  auto* page = static_cast<tarvo::StatusPage*>(mainWindow.page(tarvo::kStatusPage));
  auto* value1 = page->findChild<QLabel*>(QStringLiteral("value1"));
  PaintWatch watch;
  page->installEventFilter(&watch);

  // 1. Replay throughput with the page live: the event loop runs after every
  // fix, so the page refreshes and paints as often as it chooses to.
  tarvo::ConnectionController& controller = mainWindow.controller();
  const int refreshesBefore = page->refreshCount();
  const long paintsBefore = watch.paints;
  const auto start = Clock::now();
  for (long i = 0; i < lines; ++i) {
    const std::string& line = drive[static_cast<std::size_t>(i) % drive.size()];
    controller.OnSentence(line);
    if (line.compare(3, 3, "RMC") == 0) QApplication::processEvents();
  }
  page->FlushPendingRefresh();
  QApplication::processEvents();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("replay: %ld lines in %.2f s = %.0f sentences/s with the status page live (%d refreshes, %ld paints)\n",
              lines, seconds, lines / seconds, page->refreshCount() - refreshesBefore, watch.paints - paintsBefore);

  // 1b. The cost of one status-page update: a fix's texts applied and the
  // page painted, forced for every fix.
  const int epochs = 2000;
  std::size_t at = 0;
  const auto updateStart = Clock::now();
  for (int e = 0; e < epochs; ++e) {
    for (;;) {
      const std::string& line = drive[at++ % drive.size()];
      controller.OnSentence(line);
      if (line.compare(3, 3, "RMC") == 0) break;
    }
    page->FlushPendingRefresh();
    page->repaint();
  }
  const double updateSeconds = std::chrono::duration<double>(Clock::now() - updateStart).count();
  std::printf("update: %.3f ms per status-page update (texts and a full repaint, %d fixes)\n",
              1000.0 * updateSeconds / epochs, epochs);

  // 2. Latency from the pseudo-terminal to the painted position.
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
    std::perror("openpty");
    return 1;
  }
  mainWindow.settings().connection().portName = ttyname(slave);
  mainWindow.settings().connection().emulation = false;
  mainWindow.settings().connection().useRmc = true;
  controller.ToggleConnection();
  if (!controller.IsConnected()) {
    std::fprintf(stderr, "cannot connect to the pseudo-terminal\n");
    return 1;
  }
  PaintWatch labelWatch;
  value1->installEventFilter(&labelWatch);
  // A receiver sending a full epoch 20 times a second (faster than any
  // handheld): GGA, GSA and the three GSV first, the RMC with the position last.
  std::vector<double> latencies;
  const std::string rest = Sentence("GPGGA,120000,4610.000,N,01406.000,E,1,08,0.9,545.4,M,46.9,M,,") + "\r\n" +
                           Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1") + "\r\n";
  for (int i = 0; i < fixes; ++i) {
    const auto epochStart = Clock::now();
    char body[128];
    std::snprintf(body, sizeof body, "GPRMC,1200%02d,A,46%02d.%03d,N,01406.000,E,010.0,090.0,150624,,", i % 60,
                  10 + (i % 40), i % 1000);
    const std::string bytes = rest + Sentence(body) + "\r\n";
    const QString before = value1->text();
    const long paintsBefore = labelWatch.paints;
    if (write(master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) break;
    const auto sent = Clock::now();
    QElapsedTimer guard;
    guard.start();
    while (!(value1->text() != before && labelWatch.paints > paintsBefore && labelWatch.last >= sent)) {
      QApplication::processEvents(QEventLoop::AllEvents, 1);
      if (guard.elapsed() > 2000) break;
    }
    latencies.push_back(std::chrono::duration<double, std::milli>(labelWatch.last - sent).count());
    while (Clock::now() - epochStart < std::chrono::milliseconds(50)) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
  }
  controller.ToggleConnection();
  close(master);
  close(slave);
  std::printf("latency: %zu fixes, pty to painted position: median %.3f ms, 99th percentile %.3f ms\n",
              latencies.size(), Percentile(latencies, 0.5), Percentile(latencies, 0.99));
  return 0;
}
