// The location service page against the real tarvo-hopla-server on
// 127.0.0.1 and a stub server for hostile and slow replies; the whole window
// with the real server, end to end.
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>

#include "core/map/calibration.h"
#include "core/poi/poi_list.h"
#include "core/service/service_text.h"
#include "gui/map/map_page.h"
#include "gui/poi/location_dialog.h"
#include "gui/poi/poi_page.h"
#include "gui/service/html_view.h"
#include "gui/service/service_page.h"
#include "gui/service/service_reports.h"
#include "gui_fixture.h"
#include "page_fixture.h"
#include "tests/unit/gps/test_nmea_util.h"
#include "tests/unit/service/hopla_test_support.h"

namespace tarvo {
namespace {

using namespace std::chrono_literals;
using tarvo::test::Sentence;

constexpr char kUser[] = "walker one";
constexpr char kPassword[] = "p&ss word=1?";

// Answers every GET with a set body, or trickles a reply until stopped;
// records the offset of every request. Plain sockets on 127.0.0.1.
class StubServer {
 public:
  explicit StubServer(std::string body, bool slow = false) : body_(std::move(body)), slow_(slow) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(listener_, 8) != 0) return;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~StubServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
  }
  std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/hopla/"; }
  std::vector<int> offsets() {
    std::lock_guard lock(mutex_);
    return offsets_;
  }

 private:
  void Serve() {
    while (!stopping_) {
      pollfd waiting{listener_, POLLIN, 0};
      if (::poll(&waiting, 1, 20) <= 0) continue;
      const int connection = ::accept(listener_, nullptr, nullptr);
      if (connection < 0) continue;
      std::string request;
      char buffer[1024];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      const size_t at = request.find("offset=");
      {
        std::lock_guard lock(mutex_);
        offsets_.push_back(at == std::string::npos ? -1 : std::atoi(request.c_str() + at + 7));
      }
      const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
                               std::to_string(slow_ ? 100000 : body_.size()) + "\r\n\r\n";
      ::send(connection, head.data(), head.size(), MSG_NOSIGNAL);
      if (!slow_) ::send(connection, body_.data(), body_.size(), MSG_NOSIGNAL);
      while (slow_ && !stopping_ && ::send(connection, " ", 1, MSG_NOSIGNAL) == 1) std::this_thread::sleep_for(50ms);
      ::close(connection);
    }
  }

  std::string body_;
  bool slow_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<int> offsets_;
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

// GET `url`; the reply's body.
std::string Fetch(const std::string& url) {
  std::string body;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
  });
  curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  return body;
}

class RecordingMap : public MapCommands {
 public:
  bool CenterOnPosition(LatLon position) override {
    centred = position;
    return true;
  }
  void ShowMarker(LatLon position, const std::string& label) override {
    marker = position;
    markerLabel = label;
  }
  const MapCalibration& calibration() const override { return calibration_; }
  void PoisChanged() override {}
  std::optional<LatLon> centred, marker;
  std::string markerLabel;

 private:
  MapCalibration calibration_;
};

class RecordingPois : public PoiCommands {
 public:
  const PoiList& list() const override { return list_; }
  std::vector<std::size_t> displayOrder() const override { return {}; }
  int selectedIndex() const override { return -1; }
  void SelectLocation(std::size_t) override {}
  bool AddLocation(LatLon position, const std::string& name) override {
    added = position;
    addedName = name;
    return true;
  }
  bool EditLocation(std::size_t) override { return false; }
  bool DeleteLocation(std::size_t) override { return false; }
  bool MoveLocation(std::size_t, LatLon) override { return false; }
  void SetGoToTarget(LatLon position, const std::string& name) override {
    target = position;
    targetName = name;
  }
  void RecomputeMapPositions() override {}
  std::optional<LatLon> added, target;
  std::string addedName, targetName;

 private:
  PoiList list_;
};

// Collects the addresses handed to the desktop browser.
class BrowserCatcher : public QObject {
  Q_OBJECT
 public:
  BrowserCatcher() {
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Open");
  }
  ~BrowserCatcher() override {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  }
  QStringList opened;
 public slots:
  void Open(const QUrl& url) { opened << url.toString(); }
};

class ServicePageTest : public testing::PageFixture {
 protected:
  void SetUp() override {
    PageFixture::SetUp();
    std::filesystem::remove(ServicePage::DefaultResultsPagePath());
    SaveAccount(host().store(), {kUser, kPassword});
  }
  void TearDown() override {
    page_.reset();
    client_.reset();
  }
  void MakePage(const std::string& baseUrl) {
    host().settings().SetPageText(Key::ServiceUrl, baseUrl);
    client_ = std::make_unique<LocationServiceClient>(reports_, ServicePage::DefaultResultsPagePath());
    page_ = std::make_unique<ServicePage>(host(), *client_, reports_);
    page_->resize(640, 480);
    host().SetActivePage(page_.get());
    page_->show();
    page_->OnActivate();
    host().map = &map_;
    host().pois = &pois_;
  }
  QString Text() const { return page_->view().toPlainText(); }
  // Runs the event loop until the view shows `text`.
  bool WaitForText(const QString& text, std::chrono::milliseconds timeout = 40s) {
    QElapsedTimer clock;
    clock.start();
    while (!Text().contains(text)) {
      if (clock.elapsed() > timeout.count()) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      std::this_thread::sleep_for(2ms);
    }
    return true;
  }
  // Every link target of the document shown.
  QStringList Links() const {
    QStringList links;
    for (QTextBlock b = page_->view().document()->begin(); b.isValid(); b = b.next()) {
      for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QString href = it.fragment().charFormat().anchorHref();
        if (!href.isEmpty() && (links.isEmpty() || links.back() != href)) links << href;
      }
    }
    return links;
  }
  // Clicks the link whose text is `text` with the mouse.
  void ClickLink(const QString& text) {
    HtmlView& view = page_->view();
    const QTextCursor found = view.document()->find(text);
    ASSERT_FALSE(found.isNull()) << text.toStdString();
    QTextCursor middle(view.document());
    middle.setPosition((found.selectionStart() + found.selectionEnd()) / 2);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.cursorRect(middle).center());
  }
  void FeedFix() { host().Feed(Sentence("GPRMC,120000,A,4622.200,N,00613.800,E,0.0,0.0,010124,,")); }

  ServiceReports reports_;
  std::unique_ptr<LocationServiceClient> client_;
  std::unique_ptr<ServicePage> page_;
  RecordingMap map_;
  RecordingPois pois_;
};

TEST_F(ServicePageTest, UploadSearchAndPagingAgainstTheRealServer) {
  test::TempFolder folder;
  const auto db = folder.path() / "hopla.db";
  ASSERT_TRUE(std::filesystem::exists(test::kServerProgram)) << "build tarvo-hopla-server first";
  ASSERT_EQ(test::AddUser(db, kUser, std::string(kPassword) + "\n"), 0);
  test::ServerProcess server(db);
  ASSERT_GT(server.port(), 0);
  for (int i = 0; i < 12; ++i) {
    const std::string path = server.baseUrl() + "link?user=" + PercentEncode(kUser) + "&password=" + PercentEncode(kPassword) +
                             "&lat=" + std::to_string(46.37 + 0.001 * (i + 1)) + "&lon=6.23&url=" +
                             PercentEncode("http://example.com/" + std::to_string(i)) +
                             "&title=" + PercentEncode("Link " + std::to_string(i));
    ASSERT_EQ(test::FirstLine(Fetch(path)), "OK");
  }
  MakePage(server.baseUrl());
  EXPECT_TRUE(Text().contains("Hopla allows you to find interesting URLs")) << "no results page yet: introduction";

  page_->findChild<QPushButton*>("uploadButton")->click();
  EXPECT_TRUE(Text().contains("Error - No GPS fix"));
  FeedFix();
  page_->findChild<QPushButton*>("uploadButton")->click();
  ASSERT_TRUE(WaitForText("OK - Your location has been uploaded to Hopla"));

  page_->findChild<QPushButton*>("searchButton")->click();
  ASSERT_TRUE(WaitForText("Search Results:"));
  EXPECT_TRUE(Text().contains("Link 0")) << Text().toStdString();
  EXPECT_TRUE(Text().contains("Link 9"));
  EXPECT_FALSE(Text().contains("Link 10"));
  const char* shot = std::getenv("TARVO_SERVICE_PAGE_SHOT");  // a picture of the page, when asked for
  if (shot) page_->grab().save(QString::fromLocal8Bit(shot));

  ClickLink("Next >>");
  ASSERT_TRUE(WaitForText("Page 2"));
  EXPECT_TRUE(Text().contains("Link 10"));
  EXPECT_TRUE(Text().contains("Link 11"));
  EXPECT_FALSE(Text().contains("Link 9"));
  ClickLink("<< Previous");
  ASSERT_TRUE(WaitForText("Page 1"));
  EXPECT_TRUE(Text().contains("Link 0"));

  // The results page stays for the next start of the page.
  page_.reset();
  client_.reset();
  MakePage(server.baseUrl());
  EXPECT_TRUE(Text().contains("Link 0"));

  SaveAccount(host().store(), {kUser, "wrong"});
  page_->findChild<QPushButton*>("searchButton")->click();
  EXPECT_TRUE(WaitForText("Searching - Access denied."));
  if (shot) page_->grab().save(QString::fromLocal8Bit(shot) + ".message.png");
}

TEST_F(ServicePageTest, HostileTitlesAndUrlsRenderAsText) {
  StubServer stub(
      "OK\n"
      "javascript:alert(1)|<script>alert(1)</script>|10|20\n"
      "http://ok.example/a?b=1&c=\"2\"|<a href=\"gps:apoi?lat=1&lon=2\">forged</a> & \"q\"|5|90\n"
      "https://ok.example/z|Caf\u00e9 Z\u00fcrich|7|180\n");
  MakePage(stub.baseUrl());
  FeedFix();
  page_->Search(0, host().currentFix().position);
  ASSERT_TRUE(WaitForText("Search Results:"));
  EXPECT_TRUE(Text().contains("<script>alert(1)</script>")) << Text().toStdString();
  EXPECT_TRUE(Text().contains("<a href=\"gps:apoi?lat=1&lon=2\">forged</a> & \"q\""));
  EXPECT_TRUE(Text().contains(QString::fromUtf8("Caf\u00e9 Z\u00fcrich"))) << "UTF-8 titles arrive intact";
  for (const QString& link : Links()) {
    EXPECT_TRUE(link.startsWith("http") || link.startsWith("gps:")) << link.toStdString();
    EXPECT_FALSE(link.startsWith("gps:apoi")) << link.toStdString();
  }
  // Links that would leave the program's schemes do nothing.
  BrowserCatcher browser;
  page_->HandleLink("javascript:alert(1)");
  page_->HandleLink("file:///etc/passwd");
  page_->HandleLink("http://ok.example/a");
  EXPECT_EQ(browser.opened, QStringList{"http://ok.example/a"});
  EXPECT_FALSE(pois_.added);
}

TEST_F(ServicePageTest, ASlowServerNeitherFreezesThePageNorHoldsUpClosing) {
  StubServer stub("", /*slow=*/true);
  MakePage(stub.baseUrl());
  FeedFix();
  page_->findChild<QPushButton*>("searchButton")->click();
  EXPECT_TRUE(Text().contains("Searching..."));
  bool timerRan = false;
  QTimer::singleShot(50, [&] { timerRan = true; });
  QTest::qWait(300);
  EXPECT_TRUE(timerRan) << "the event loop runs during the download";
  EXPECT_TRUE(client_->IsBusy());
  page_->findChild<QPushButton*>("searchButton")->click();
  EXPECT_FALSE(page_->UploadPosition(host().currentFix())) << "busy: the attempt does not count";
  QTest::qWait(100);
  EXPECT_EQ(stub.offsets().size(), 1u) << "a second press while busy makes no request";

  QElapsedTimer clock;
  clock.start();
  page_.reset();
  EXPECT_FALSE(client_->IsRunning());
  EXPECT_LT(clock.elapsed(), 1000);
}

TEST_F(ServicePageTest, GpsLinksReachTheirCommands) {
  StubServer stub("OK\n");
  MakePage(stub.baseUrl());
  page_->HandleLink("gps:smap?lat=46.5000&lon=6.2500&label=Town%20Hall%2C%20%3Cb%3E");
  ASSERT_TRUE(map_.marker);
  EXPECT_EQ(map_.marker->latitude, 46.5);
  EXPECT_EQ(map_.markerLabel, "Town Hall, <b>");
  ASSERT_TRUE(map_.centred);
  EXPECT_EQ(map_.centred->longitude, 6.25);

  page_->HandleLink("gps:apoi?lat=1.5&label=No%20lon");
  EXPECT_FALSE(pois_.added) << "a link without lon= does nothing";
  page_->HandleLink("gps:apoi?lat=1.5&lon=2.5&label=Cafe");
  ASSERT_TRUE(pois_.added);
  EXPECT_EQ(pois_.addedName, "Cafe");
  EXPECT_EQ(host().shownPages.back(), kPoiPage);
  page_->HandleLink("gps:takeme?lat=-33.9&lon=151.2&label=Quay");
  ASSERT_TRUE(pois_.target);
  EXPECT_EQ(pois_.target->latitude, -33.9);
  EXPECT_EQ(pois_.targetName, "Quay");

  const auto waitIdle = [&] { ASSERT_TRUE(test::WaitIdle(*client_)); QCoreApplication::processEvents(); };
  page_->HandleLink("gps:prev?lat=1.0000&lon=2.0000");
  waitIdle();
  page_->Search(30, {1.0, 2.0});
  waitIdle();
  page_->HandleLink("gps:prev?lat=1.0000&lon=2.0000");
  waitIdle();
  page_->HandleLink("gps:next?lat=1.0000&lon=2.0000");
  waitIdle();
  EXPECT_EQ(stub.offsets(), (std::vector<int>{0, 30, 20, 30}));
}

TEST(HtmlViewTest, LoadsAFileUpToItsEndTagAndOnlyTheLogoAsAPicture) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/page.html";
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("<html><body><img src=\"tarvo-logo:hopla\"><img src=\"file:///etc/hostname\">Shown</body></html>"
             "Not shown");
  file.close();
  HtmlView view;
  EXPECT_FALSE(view.LoadFile(dir.path() + "/missing.html"));
  ASSERT_TRUE(view.LoadFile(path));
  EXPECT_TRUE(view.documentSource().endsWith("</html>"));
  EXPECT_TRUE(view.toPlainText().contains("Shown"));
  EXPECT_FALSE(view.toPlainText().contains("Not shown"));
  const QVariant logo = view.document()->resource(QTextDocument::ImageResource, QUrl("tarvo-logo:hopla"));
  EXPECT_EQ(logo.value<QImage>().size(), HtmlView::Logo().size());
  const QVariant local = view.document()->resource(QTextDocument::ImageResource, QUrl("file:///etc/hostname"));
  EXPECT_TRUE(local.toByteArray().isEmpty()) << "no local file is read";
}

TEST_F(ServicePageTest, ConfigureStoresTheAccountAndRefusesABadAddress) {
  MakePage(std::string(kDefaultServiceUrl));
  const auto fill = [](const QString& user, const QString& url, bool cancel) {
    QTimer::singleShot(0, [=] {
      auto* dialog = qobject_cast<ServerConfigDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->findChild<QLineEdit*>("username")->setText(user);
      dialog->findChild<QLineEdit*>("password")->setText("a&b c");
      dialog->findChild<QLineEdit*>("serviceUrl")->setText(url);
      if (cancel) return dialog->reject();
      dialog->accept();
      if (dialog->isVisible()) {
        EXPECT_TRUE(dialog->findChild<QLabel*>("problem")->isVisible());
        dialog->reject();
      }
    });
  };
  fill("new user", "javascript:alert(1)", false);
  page_->Configure();
  EXPECT_EQ(LoadAccount(host().store()).username, kUser) << "a bad address keeps everything";
  fill("new user", "https://hopla.example/h/", true);
  page_->Configure();
  EXPECT_EQ(LoadAccount(host().store()).username, kUser);
  fill("new user", "https://hopla.example/h/", false);
  page_->Configure();
  EXPECT_EQ(LoadAccount(host().store()).username, "new user");
  EXPECT_EQ(LoadAccount(host().store()).password, "a&b c");
  EXPECT_EQ(host().settings().pageText(Key::ServiceUrl), "https://hopla.example/h/");
}

// ---- The window and the real server, end to end ----

// The link of `view` whose text is exactly `text` (the first one): its
// target, and a mouse click on it when `click`.
QString LinkOf(HtmlView& view, const QString& text, bool click) {
  const QTextCursor found = view.document()->find(text, 0, QTextDocument::FindCaseSensitively | QTextDocument::FindWholeWords);
  if (found.isNull()) return {};
  QTextCursor middle(view.document());
  middle.setPosition((found.selectionStart() + found.selectionEnd()) / 2);
  const QString href = middle.charFormat().anchorHref();
  if (click) QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.cursorRect(middle).center());
  return href;
}

// The "Link NN" titles shown, in page order.
QStringList Titles(const HtmlView& view) {
  QStringList titles;
  static const QRegularExpression title(QStringLiteral("Link \\d\\d"));
  for (auto it = title.globalMatch(view.toPlainText()); it.hasNext();) titles << it.next().captured();
  return titles;
}

// The position the server keeps as `user`'s last upload, read from its database.
std::optional<LatLon> StoredPosition(const std::filesystem::path& db, const std::string& user) {
  sqlite3* handle = nullptr;
  std::optional<LatLon> position;
  if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(handle, "SELECT lat, lon FROM positions WHERE user = ?1", -1, &query, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(query, 1, user.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_step(query) == SQLITE_ROW) position = LatLon{sqlite3_column_double(query, 0), sqlite3_column_double(query, 1)};
    }
    sqlite3_finalize(query);
  }
  sqlite3_close(handle);
  return position;
}

// The gps: link's position.
LatLon PositionOf(const QString& href) {
  const std::optional<GpsLink> link = ParseGpsLink(href.toStdString());
  return link ? LatLon{link->latitude, link->longitude} : LatLon{};
}

class ServiceWindowTest : public testing::WindowFixture {};

TEST_F(ServiceWindowTest, UploadSearchPagingAndEveryGpsLinkAgainstTheRealServer) {
  ASSERT_TRUE(std::filesystem::exists(test::kServerProgram)) << "build tarvo-hopla-server first";
  test::TempFolder folder;
  const auto db = folder.path() / "hopla.db";
  ASSERT_EQ(test::AddUser(db, kUser, std::string(kPassword) + "\n"), 0);
  test::ServerProcess server(db);
  ASSERT_GT(server.port(), 0);
  // 25 links north of the fix, each farther than the one before.
  constexpr LatLon here{46.369, 14.1129};
  std::vector<LatLon> registered;
  for (int i = 0; i < 25; ++i) {
    registered.push_back({here.latitude + 0.0004 * (i + 1), here.longitude + 0.0002 * (i % 3 - 1)});
    char title[16];
    std::snprintf(title, sizeof title, "Link %02d", i);
    const std::string request = server.baseUrl() + "link?user=" + PercentEncode(kUser) + "&password=" +
                                PercentEncode(kPassword) + "&lat=" + std::to_string(registered.back().latitude) +
                                "&lon=" + std::to_string(registered.back().longitude) + "&url=" +
                                PercentEncode("http://example.com/" + std::to_string(i)) + "&title=" + PercentEncode(title);
    ASSERT_EQ(test::FirstLine(Fetch(request)), "OK");
  }
  QStringList all;
  for (int i = 0; i < 25; ++i) all << QString::asprintf("Link %02d", i);

  store().SetText(Key::ServiceUrl, server.baseUrl());
  SaveAccount(store(), {kUser, kPassword});
  const QString replay = path("drive.nmea");
  QFile file(replay);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  for (const char* body : {"GPGGA,083000.00,4622.1400,N,01406.7740,E,1,08,0.9,500.0,M,46.9,M,,",
                           "GPRMC,083000.00,A,4622.1400,N,01406.7740,E,0.0,0.0,150624,,"}) {
    file.write((Sentence(body) + "\r\n").c_str());
  }
  file.close();
  qputenv("TARVO_DATA_DIR", TARVO_SOURCE_DIR "/data");  // the shipped world map
  WindowOptions options;
  options.replayFile = replay;
  options.screenshotDir = path("shots");
  MakeWindow(options);
  qunsetenv("TARVO_DATA_DIR");
  auto* service = static_cast<ServicePage*>(mainWindow().page(kServicePage));
  auto* map = static_cast<MapPage*>(mainWindow().page(kMapPage));
  auto* pois = static_cast<PoiPage*>(mainWindow().page(kPoiPage));
  HtmlView& view = service->view();
  const auto waitForResults = [&](const QString& page) {
    return WaitFor([&] { return view.toPlainText().contains("Search Results:") && view.toPlainText().contains(page); },
                   40000);
  };

  // --screenshot searches at the end of the drive before the service page's picture.
  ASSERT_EQ(mainWindow().RunScreenshots(), 0);
  EXPECT_TRUE(QFile::exists(path("shots/page-6-service.png")));
  EXPECT_EQ(Titles(view), all.mid(0, 10)) << view.toPlainText().toStdString();

  // Upload Location: the message, and the server keeps the position.
  service->findChild<QPushButton*>("uploadButton")->click();
  EXPECT_EQ(mainWindow().activePage(), service);
  ASSERT_TRUE(WaitFor([&] { return view.toPlainText().contains("OK - Your location has been uploaded"); }, 40000))
      << view.toPlainText().toStdString();
  const std::optional<LatLon> stored = StoredPosition(db, kUser);
  ASSERT_TRUE(stored);
  EXPECT_NEAR(stored->latitude, here.latitude, 1e-6);
  EXPECT_NEAR(stored->longitude, here.longitude, 1e-6);

  // Search, then page 2, 3 and back: nearest first, no gaps, no repeats.
  service->findChild<QPushButton*>("searchButton")->click();
  EXPECT_TRUE(view.toPlainText().contains("Searching..."));
  ASSERT_TRUE(waitForResults("Page 1"));
  QStringList seen = Titles(view);
  for (const QString& page : {QStringLiteral("Page 2"), QStringLiteral("Page 3")}) {
    EXPECT_FALSE(LinkOf(view, "Next >>", true).isEmpty());
    ASSERT_TRUE(waitForResults(page)) << page.toStdString();
    seen << Titles(view);
  }
  EXPECT_EQ(seen, all);
  EXPECT_FALSE(LinkOf(view, "<< Previous", true).isEmpty());
  ASSERT_TRUE(waitForResults("Page 2"));
  EXPECT_EQ(Titles(view), all.mid(10, 10));

  // Map: the map page shows the result's position in the middle.
  const QString smap = LinkOf(view, "Map", true);
  ASSERT_TRUE(smap.startsWith("gps:smap?")) << smap.toStdString();
  const LatLon first = PositionOf(smap);
  EXPECT_NEAR(first.latitude, registered[10].latitude, 1e-4);
  EXPECT_NEAR(first.longitude, registered[10].longitude, 1e-4);
  EXPECT_EQ(mainWindow().activePage(), map);
  const QPoint shown = map->MapPointOf(map->calibration().GeoToPixel(first.latitude, first.longitude));
  EXPECT_LE((shown - QPoint(map->mapArea().width() / 2, map->mapArea().height() / 2)).manhattanLength(), 4);
  EXPECT_FALSE(map->option(Key::MapCenterOn)) << "the next fix does not take the view back";

  // apoi: the location dialog opens filled in; OK adds the POI.
  const size_t before = pois->list().size();
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<LocationDialog*>(QApplication::activeModalWidget())) dialog->accept();
  });
  service->HandleLink(QString(smap).replace("gps:smap?", "gps:apoi?"));
  EXPECT_EQ(mainWindow().activePage(), pois);
  ASSERT_EQ(pois->list().size(), before + 1);
  EXPECT_EQ(pois->list().at(before).name, "Link 10");
  EXPECT_NEAR(pois->list().at(before).latitude, first.latitude, 1e-6);

  // TakeMe: the POI page's go-to target.
  mainWindow().ActivatePage(kServicePage);
  QApplication::processEvents();
  const QString takeme = LinkOf(view, "TakeMe", true);
  ASSERT_TRUE(takeme.startsWith("gps:takeme?")) << takeme.toStdString();
  EXPECT_EQ(mainWindow().activePage(), pois);
  ASSERT_TRUE(pois->goToTarget());
  EXPECT_NEAR(pois->goToTarget()->latitude, first.latitude, 1e-9);
  EXPECT_NEAR(pois->goToTarget()->longitude, first.longitude, 1e-9);
}

}  // namespace
}  // namespace tarvo

#include "test_service_page.moc"
