// LocationServiceClient against the real tarvo-hopla-server and against a
// stub server for errors, garbage, slow replies and broken connections.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/service/location_service_client.h"
#include "tests/unit/service/hopla_test_support.h"

namespace tarvo::test {
namespace {

using namespace std::chrono_literals;

// A password with every character that would break a raw query.
constexpr char kPassword[] = "p&ss word=1?#%+";

// A small HTTP server answering /hopla/upload and /hopla/search with what a
// test sets: a status and body, a pause before it, a body cut short, or a
// body that trickles in until the server stops.
class StubServer {
 public:
  enum class Mode { Reply, Slow, CutShort };
  StubServer() {
    auto handler = [this](const httplib::Request&, httplib::Response& res) {
      std::unique_lock lock(mutex_);
      const Mode mode = mode_;
      const std::string body = body_;
      res.status = status_;
      lock.unlock();
      switch (mode) {
        case Mode::Reply:
          res.set_content(body, "text/plain");
          break;
        case Mode::CutShort:
          res.set_content_provider(body.size() + 1000, "text/plain",
                                   [body](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset == 0) sink.write(body.data(), body.size());
                                     return offset == 0;  // then the connection is dropped
                                   });
          break;
        case Mode::Slow:
          res.set_chunked_content_provider("text/plain", [this](size_t, httplib::DataSink& sink) {
            std::this_thread::sleep_for(50ms);
            sink.write("O", 1);
            return !stopping_.load();
          });
          break;
      }
    };
    server_.Get("/hopla/(upload|search)", handler);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(1ms);
  }
  ~StubServer() {
    stopping_ = true;
    server_.stop();
    thread_.join();
  }
  void Set(Mode mode, int status = 200, std::string body = {}) {
    std::lock_guard lock(mutex_);
    mode_ = mode;
    status_ = status;
    body_ = std::move(body);
  }
  std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/hopla/"; }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  Mode mode_ = Mode::Reply;
  int status_ = 200;
  std::string body_;
  std::atomic<bool> stopping_{false};
};

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(client_.StartWorker()); }

  // The one report of a request that has just been submitted.
  RecordingObserver::Report Next() {
    const std::optional<RecordingObserver::Report> r = observer_.Wait();
    EXPECT_TRUE(r.has_value());
    EXPECT_TRUE(WaitIdle(client_));
    return r.value_or(RecordingObserver::Report{});
  }
  std::string Message() {
    const RecordingObserver::Report r = Next();
    EXPECT_FALSE(r.page);
    return FormatServiceMessage(r.message, r.detail);
  }
  std::string Page() { return ReadFile(pagePath_); }

  TempFolder folder_;
  std::string pagePath_ = (folder_.path() / "hopla.html").string();
  RecordingObserver observer_;
  LocationServiceClient client_{observer_, pagePath_};
  ResultsPageStyle style_;
};

class ClientAndServerTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    ASSERT_EQ(AddUser(db_, "walker one", std::string(kPassword) + "\n"), 0);
    server_ = std::make_unique<ServerProcess>(db_);
    ASSERT_GT(server_->port(), 0);
    account_ = {server_->baseUrl(), "walker one", kPassword};
  }
  void AddLink(double lat, double lon, const std::string& url, const std::string& title) {
    const std::string path = "/hopla/link?user=" + PercentEncode(account_.user) + "&password=" +
                             PercentEncode(account_.password) + "&lat=" + std::to_string(lat) + "&lon=" +
                             std::to_string(lon) + "&url=" + PercentEncode(url) + "&title=" + PercentEncode(title);
    ASSERT_EQ(FirstLine(Get(server_->port(), path).body), "OK");
  }

  std::filesystem::path db_ = folder_.path() / "hopla.db";
  std::unique_ptr<ServerProcess> server_;
  ServiceAccount account_;
};

TEST_F(ClientAndServerTest, UploadAndSearchWithAPasswordFullOfQueryCharacters) {
  ASSERT_TRUE(client_.SubmitUpload(account_, 46.37, 6.23));
  EXPECT_FALSE(client_.SubmitUpload(account_, 46.37, 6.23)) << "a second request while busy is refused";
  EXPECT_EQ(Message(), "OK - Your location has been uploaded to Hopla. You can now login at " + server_->baseUrl() +
                           " and search for URLs from a regular web browser.");

  for (int i = 0; i < 12; ++i) {
    AddLink(46.37 + 0.001 * (i + 1), 6.23, "http://example.com/" + std::to_string(i), "Link " + std::to_string(i));
  }
  ASSERT_TRUE(client_.SubmitSearch(account_, 0, 46.37, 6.23, style_));
  ASSERT_TRUE(Next().page);
  std::string html = Page();
  EXPECT_NE(html.find("Page 1&nbsp;"), std::string::npos);
  EXPECT_NE(html.find("<a href=\"http://example.com/0\">Link 0</a></b><br>111 m, 0.0\xC2\xB0 (N), "
                      "<a href=\"gps:smap?lat=46.3710&lon=6.2300&label=Link%200\">Map</a>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("Link 9"), std::string::npos);
  EXPECT_EQ(html.find("Link 10"), std::string::npos);
  EXPECT_TRUE(observer_.progressSeen());

  // The next page keeps the first search's position.
  ASSERT_TRUE(client_.SubmitSearch(account_, 10, 0.0, 0.0, style_));
  ASSERT_TRUE(Next().page);
  html = Page();
  EXPECT_NE(html.find("Page 2&nbsp;"), std::string::npos);
  EXPECT_NE(html.find("gps:prev?lat=46.3700&lon=6.2300"), std::string::npos);
  EXPECT_NE(html.find("Link 11"), std::string::npos);
  EXPECT_EQ(html.find("Link 9<"), std::string::npos);
  EXPECT_EQ(client_.ResultOffset(), 10);
  EXPECT_EQ(client_.RequestPosition().latitude, 46.37);
}

TEST_F(ClientAndServerTest, AWrongPasswordIsAccessDeniedAndLeavesTheResultsPage) {
  ASSERT_TRUE(client_.SubmitSearch(account_, 0, 1.0, 2.0, style_));
  ASSERT_TRUE(Next().page);
  const std::string before = Page();
  ServiceAccount wrong = account_;
  wrong.password = "p";
  ASSERT_TRUE(client_.SubmitUpload(wrong, 1.0, 2.0));
  EXPECT_EQ(Message(), "Error - Access denied, check your Hopla username and password.");
  ASSERT_TRUE(client_.SubmitSearch(wrong, 0, 1.0, 2.0, style_));
  EXPECT_EQ(Message(), "Searching - Access denied.<br>Check that you have correctly set your Hopla username and password.");
  EXPECT_EQ(Page(), before);
}

TEST_F(ClientAndServerTest, AnUnreachableServiceSaysWhyInsteadOfSearchingForever) {
  server_->Stop(SIGTERM);
  ASSERT_TRUE(client_.SubmitSearch(account_, 0, 1.0, 2.0, style_));
  const std::string text = Message();
  EXPECT_EQ(text.rfind("Searching - Cannot reach the service: ", 0), 0u) << text;
  EXPECT_GT(text.size(), std::string("Searching - Cannot reach the service: ").size());
  ASSERT_TRUE(client_.SubmitUpload(account_, 1.0, 2.0));
  EXPECT_EQ(Message().rfind("Uploading to server - Cannot reach the service: ", 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(pagePath_));
}

TEST_F(ClientTest, StubRepliesTheRealServerNeverSends) {
  StubServer stub;
  const ServiceAccount account{stub.baseUrl(), "u", "p"};
  struct Case {
    bool search;
    int status;
    std::string body;
    std::string message;  // empty: a results page
  };
  const std::vector<Case> cases = {
      {false, 200, "OK\n", "OK - Your location has been uploaded to Hopla. You can now login at " + stub.baseUrl() +
                               " and search for URLs from a regular web browser."},
      {false, 200, "access granted\n", "OK - Your location has been uploaded to Hopla. You can now login at " +
                                           stub.baseUrl() + " and search for URLs from a regular web browser."},
      {false, 200, "busy\n", "Uploading to server - Error"},
      {false, 200, "", "Uploading to server - Error"},
      {false, 500, "OK\n", "Uploading to server - Error"},
      {true, 200, "", "Searching - Error"},
      {true, 200, std::string("\x00\xFF\xFE garbage\n", 12), "Searching - Error"},
      {true, 502, "<html>OK proxy</html>\n", "Searching - Error"},
      {true, 200, "OK\n" + std::string(1000, '|') + "\n\x01\x02|\n", ""},
  };
  for (const Case& c : cases) {
    stub.Set(StubServer::Mode::Reply, c.status, c.body);
    ASSERT_TRUE(c.search ? client_.SubmitSearch(account, 0, 1.0, 2.0, style_) : client_.SubmitUpload(account, 1.0, 2.0));
    const RecordingObserver::Report r = Next();
    if (c.message.empty()) {
      EXPECT_TRUE(r.page) << c.body;
    } else {
      EXPECT_EQ(FormatServiceMessage(r.message, r.detail), c.message) << c.body;
    }
  }

  // A reply cut short is a failed download; the page stays.
  const std::string before = Page();
  stub.Set(StubServer::Mode::CutShort, 200, "OK\nhttp://a/|A|1|2\n");
  ASSERT_TRUE(client_.SubmitSearch(account, 0, 1.0, 2.0, style_));
  EXPECT_EQ(Message().rfind("Searching - Cannot reach the service: ", 0), 0u);
  EXPECT_EQ(Page(), before);

  // A reply slower than the whole-request timeout ends as a failed download.
  client_.SetTimeouts(2000ms, 600ms);
  stub.Set(StubServer::Mode::Slow);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(client_.SubmitUpload(account, 1.0, 2.0));
  EXPECT_EQ(Message().rfind("Uploading to server - Cannot reach the service: ", 0), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(ClientTest, HostileResultsRenderAsTextInTheWrittenPage) {
  StubServer stub;
  stub.Set(StubServer::Mode::Reply, 200,
           "OK\n"
           "javascript:alert(1)|<script>alert(1)</script>|10|20\n"
           "http://x.example/\"onmouseover=\"alert(1)|Fish & \"Chips\" <i>|10|20\n");
  ASSERT_TRUE(client_.SubmitSearch({stub.baseUrl(), "u", "p"}, 0, 1.0, 2.0, style_));
  ASSERT_TRUE(Next().page);
  const std::string html = Page();
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_EQ(html.find("href=\"javascript"), std::string::npos);
  EXPECT_EQ(html.find("\"onmouseover"), std::string::npos);
  EXPECT_NE(html.find("Fish &amp; &quot;Chips&quot; &lt;i&gt;"), std::string::npos);
  // Only the finished page is ever there: no temporary file is left.
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

TEST_F(ClientTest, StoppingDuringASlowDownloadEndsWithinASecond) {
  StubServer stub;
  stub.Set(StubServer::Mode::Slow);
  ASSERT_TRUE(client_.SubmitSearch({stub.baseUrl(), "u", "p"}, 0, 1.0, 2.0, style_));
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(client_.IsBusy());
  const auto start = std::chrono::steady_clock::now();
  client_.StopWorker();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_FALSE(client_.IsRunning());
  EXPECT_FALSE(client_.IsBusy());
  EXPECT_EQ(observer_.count(), 0u) << "a stopped request reports nothing";
  EXPECT_FALSE(client_.SubmitUpload({stub.baseUrl(), "u", "p"}, 1.0, 2.0));
}

TEST_F(ClientTest, AResultsPageThatCannotBeWrittenSaysSoAndNothingElseChanges) {
  StubServer stub;
  stub.Set(StubServer::Mode::Reply, 200, "OK\n");
  RecordingObserver observer;
  LocationServiceClient client(observer, (folder_.path() / "missing" / "hopla.html").string());
  ASSERT_TRUE(client.StartWorker());
  ASSERT_TRUE(client.SubmitSearch({stub.baseUrl(), "u", "p"}, 0, 1.0, 2.0, style_));
  const std::optional<RecordingObserver::Report> r = observer.Wait();
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->page);
  EXPECT_EQ(r->message, ServiceMessage::SearchPageNotWritten);
  EXPECT_EQ(ServiceMessageText(r->message), "Searching - Unable to open hopla html file");
}

}  // namespace
}  // namespace tarvo::test
