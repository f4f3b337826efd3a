// tarvo-hopla-server as a process on 127.0.0.1: logins, refusals, paging,
// distances against the geodesy routines, and many clients at once.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cmath>
#include <set>
#include <thread>

#include "core/geo/distance.h"
#include "core/service/service_text.h"
#include "tests/unit/service/hopla_test_support.h"

namespace tarvo::test {
namespace {

constexpr char kPassword[] = "s3cret & more=yes";

std::string Account(const std::string& user = "alice", const std::string& password = kPassword) {
  return "user=" + PercentEncode(user) + "&password=" + PercentEncode(password);
}

std::string LinkPath(double lat, double lon, const std::string& url, const std::string& title) {
  std::string path = "/hopla/link?" + Account() + "&lat=" + std::to_string(lat) + "&lon=" + std::to_string(lon) +
                     "&url=" + PercentEncode(url) + "&title=" + PercentEncode(title);
  return path;
}

struct Line {
  std::string url, title;
  double distance, bearing;
};

std::vector<Line> ResultLines(const std::string& body) {
  std::vector<Line> lines;
  std::istringstream in(body);
  std::string text;
  std::getline(in, text);  // "OK"
  while (std::getline(in, text)) {
    std::vector<std::string> f;
    size_t start = 0, bar;
    while ((bar = text.find('|', start)) != std::string::npos) {
      f.push_back(text.substr(start, bar - start));
      start = bar + 1;
    }
    f.push_back(text.substr(start));
    EXPECT_EQ(f.size(), 4u) << text;
    if (f.size() == 4) lines.push_back({f[0], f[1], std::stod(f[2]), std::stod(f[3])});
  }
  return lines;
}

class HoplaServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(AddUser(db_, "alice", std::string(kPassword) + "\n"), 0);
    ASSERT_GT(server_.port(), 0);
  }
  HttpReply Get(const std::string& path) { return tarvo::test::Get(server_.port(), path); }

  TempFolder folder_;
  std::filesystem::path db_ = folder_.path() / "hopla.db";
  ServerProcess server_{db_};
};

TEST_F(HoplaServerTest, WrongEmptyOrUnknownAccountsAreDeniedAndAUserAddedWhileRunningLogsInAtOnce) {
  EXPECT_EQ(FirstLine(Get("/hopla/upload?" + Account() + "&lat=46.370000&lon=6.230000").body), "OK");
  for (const std::string& account :
       {Account("alice", "wrong"), Account("nobody", kPassword), std::string("user=&password="),
        std::string("user=alice&password=")}) {
    const HttpReply r = Get("/hopla/upload?" + account + "&lat=46.370000&lon=6.230000");
    EXPECT_EQ(r.status, 403) << account;
    EXPECT_EQ(FirstLine(r.body), "access denied") << account;
  }
  // Blanks in the password line are part of it.
  ASSERT_EQ(AddUser(db_, "bob", "  two words \n"), 0);
  EXPECT_EQ(FirstLine(Get("/hopla/search?" + Account("bob", "  two words ") + "&lat=1.0&lon=2.0&offset=0").body), "OK");
  // A new password replaces the old one at once.
  ASSERT_EQ(AddUser(db_, "bob", "new\n"), 0);
  EXPECT_EQ(FirstLine(Get("/hopla/search?" + Account("bob", "  two words ") + "&lat=1.0&lon=2.0&offset=0").body),
            "access denied");
  EXPECT_EQ(FirstLine(Get("/hopla/search?" + Account("bob", "new") + "&lat=1.0&lon=2.0&offset=0").body), "OK");
  // The password is nowhere in the database in clear.
  EXPECT_EQ(ReadFile(db_).find("s3cret"), std::string::npos);
  // SIGTERM ends the server cleanly.
  const int status = server_.Stop(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(HoplaServerTest, AFewFailedLoginsNeverLockOutAndMoreOnlyDelay) {
  const std::string bad = "/hopla/upload?" + Account("alice", "typo") + "&lat=1.0&lon=1.0";
  const std::string good = "/hopla/upload?" + Account() + "&lat=1.0&lon=1.0";
  for (int i = 0; i < 5; ++i) EXPECT_EQ(FirstLine(Get(bad).body), "access denied");
  EXPECT_EQ(FirstLine(Get(good).body), "OK");
  for (int i = 0; i < 6; ++i) Get(bad);
  const HttpReply limited = Get(good);
  EXPECT_EQ(limited.status, 429);
  EXPECT_EQ(limited.body.find("OK"), std::string::npos);
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  EXPECT_EQ(FirstLine(Get(good).body), "OK");
}

TEST_F(HoplaServerTest, BadValuesAreRefusedWithoutOkAndTheServerGoesOn) {
  const std::string title100k(100 * 1024, 't');
  const std::vector<std::string> bad = {
      "/hopla/upload?" + Account() + "&lat=95.000000&lon=6.0",
      "/hopla/upload?" + Account() + "&lat=46.0&lon=181.000000",
      "/hopla/upload?" + Account() + "&lat=46,37&lon=6.0",
      "/hopla/upload?" + Account() + "&lat=nan&lon=6.0",
      "/hopla/upload?" + Account() + "&lat=1e1&lon=6.0",
      "/hopla/upload?" + Account() + "&lon=6.0",
      "/hopla/upload?" + Account() + "&lat=1.0&lat=2.0&lon=6.0",
      "/hopla/upload?" + Account() + "&lat=%zz&lon=6.0",
      "/hopla/search?" + Account() + "&lat=1.0&lon=6.0&offset=-1",
      "/hopla/search?" + Account() + "&lat=1.0&lon=6.0&offset=ten",
      "/hopla/search?" + Account() + "&lat=1.0&lon=6.0",
      LinkPath(1, 1, "http://example.com/", title100k),
      LinkPath(1, 1, "http://example.com/", std::string(256, 't')),
      LinkPath(1, 1, "http://example.com/", "a|b"),
      LinkPath(1, 1, "http://example.com/", "line\nbreak"),
      LinkPath(1, 1, "http://example.com/", "bad \xC3 utf8"),
      LinkPath(1, 1, "javascript:alert(1)", "x"),
      LinkPath(1, 1, "http://example.com/a|b", "x"),
      "/hopla/link?" + Account() + "&lat=1.0&lon=1.0&title=no%20url",
      "/hopla/delete?" + Account(),
  };
  for (const std::string& path : bad) {
    const HttpReply r = Get(path);
    EXPECT_GE(r.status, 400) << path.substr(0, 120);
    EXPECT_LT(r.status, 500) << path.substr(0, 120);
    EXPECT_EQ(FirstLine(r.body).find("OK"), std::string::npos) << path.substr(0, 120) << " -> " << r.body;
    EXPECT_FALSE(FirstLine(r.body).empty()) << path.substr(0, 120);
  }
  EXPECT_EQ(FirstLine(Get("/hopla/upload?" + Account() + "&lat=-90.000000&lon=180.000000").body), "OK");
  // Nothing refused was stored.
  const HttpReply all = Get("/hopla/search?" + Account() + "&lat=1.0&lon=1.0&offset=0");
  EXPECT_EQ(all.body, "OK\n");
}

TEST_F(HoplaServerTest, TheBasePageFormRegistersLinksWithBlanksInTheirTitles) {
  const HttpReply page = Get("/hopla/");
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("<form action=\"linkform\""), std::string::npos);
  ASSERT_EQ(FirstLine(Get("/hopla/linkform?" + Account() +
                          "&lat=1.5&lon=2.5&url=http%3A%2F%2Fa.example%2F&title=Town+Hall%2B1").body),
            "OK");
  const std::vector<Line> r = ResultLines(Get("/hopla/search?" + Account() + "&lat=1.5&lon=2.5&offset=0").body);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].title, "Town Hall+1");
}

// 25 links on a small spiral around the search point: every page holds the
// next ten by distance, with the distances and bearings of the geodesy
// library's great-circle routines.
TEST_F(HoplaServerTest, PagesHoldTheLinksNearestFirstWithoutGapsOrRepeatsAndTheirDistancesLeadBack) {
  const double lat0 = 46.37, lon0 = 6.23;
  std::vector<LatLon> places;
  for (int i = 0; i < 25; ++i) {
    const double r = 0.01 + 0.013 * ((i * 7) % 25);  // degrees, all distinct
    const double a = i * 0.7;
    places.push_back({lat0 + r * std::cos(a), lon0 + r * std::sin(a)});
    ASSERT_EQ(FirstLine(Get(LinkPath(places.back().latitude, places.back().longitude,
                                     "http://example.com/" + std::to_string(i), "Link " + std::to_string(i)))
                            .body),
              "OK");
  }
  std::vector<Line> all;
  for (int offset : {0, 10, 20, 30}) {
    const HttpReply r = Get("/hopla/search?" + Account() + "&lat=46.370000&lon=6.230000&offset=" + std::to_string(offset));
    ASSERT_EQ(FirstLine(r.body), "OK");
    const std::vector<Line> page = ResultLines(r.body);
    EXPECT_EQ(page.size(), offset < 20 ? 10u : offset == 20 ? 5u : 0u) << offset;
    all.insert(all.end(), page.begin(), page.end());
  }
  ASSERT_EQ(all.size(), 25u);
  std::set<std::string> seen;
  for (size_t k = 0; k < all.size(); ++k) {
    EXPECT_TRUE(seen.insert(all[k].url).second) << all[k].url;
    if (k > 0) {
      EXPECT_LE(all[k - 1].distance, all[k].distance);
    }
    const int i = std::stoi(all[k].url.substr(std::string("http://example.com/").size()));
    EXPECT_EQ(all[k].title, "Link " + std::to_string(i));
    const LatLon place = places[static_cast<size_t>(i)];
    // Along the geodesy library's bearing, the reply's distance lands on the
    // link to 1 m; the reply's bearing is the library's to 0.1 degree.
    const double bearing = InitialBearing(lat0, lon0, place.latitude, place.longitude);
    const LatLon back = DestinationPoint(lat0, lon0, all[k].distance, 360.0 - bearing);
    EXPECT_LT(GreatCircleDistance(back.latitude, back.longitude, place.latitude, place.longitude), 1.0);
    EXPECT_NEAR(all[k].bearing, bearing, 0.1);
  }
}

// Far apart and across the antimeridian and near a pole, the nearest come first.
TEST_F(HoplaServerTest, SearchFindsTheNearestAcrossTheAntimeridianAndNearThePoles) {
  ASSERT_EQ(FirstLine(Get(LinkPath(10.0, 179.99, "http://east.example/", "east")).body), "OK");
  ASSERT_EQ(FirstLine(Get(LinkPath(10.0, -179.99, "http://west.example/", "west")).body), "OK");
  ASSERT_EQ(FirstLine(Get(LinkPath(89.9, 0.0, "http://pole.example/", "pole")).body), "OK");
  ASSERT_EQ(FirstLine(Get(LinkPath(-45.0, 0.0, "http://far.example/", "far")).body), "OK");
  std::vector<Line> r = ResultLines(Get("/hopla/search?" + Account() + "&lat=10.0&lon=-179.995&offset=0").body);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].title, "west");
  EXPECT_EQ(r[1].title, "east");
  EXPECT_LT(r[1].distance, 2000.0);
  EXPECT_NEAR(r[1].bearing, 270.0, 0.1);
  r = ResultLines(Get("/hopla/search?" + Account() + "&lat=89.9&lon=180.0&offset=0").body);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].title, "pole");
  EXPECT_NEAR(r[0].distance, 2 * 0.1 * 60 * 1852, 1.0);
}

// With a certificate and key the server speaks https; Tarvo's client
// refuses a certificate it cannot verify.
TEST_F(HoplaServerTest, TlsServesHttpsAndTheClientRefusesAnUnverifiedCertificate) {
  const std::string cert = (folder_.path() / "cert.pem").string(), key = (folder_.path() / "key.pem").string();
  const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout '" + key +
                              "' -out '" + cert + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  ServerProcess tls(db_, {"--tls-cert", cert, "--tls-key", key});
  ASSERT_GT(tls.port(), 0);
  httplib::SSLClient https("127.0.0.1", tls.port());
  https.enable_server_certificate_verification(false);
  const auto reply = https.Get(("/hopla/search?" + Account() + "&lat=1.0&lon=2.0&offset=0").c_str());
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->body, "OK\n");

  RecordingObserver observer;
  LocationServiceClient client(observer, (folder_.path() / "hopla.html").string());
  ASSERT_TRUE(client.StartWorker());
  const std::string base = "https://127.0.0.1:" + std::to_string(tls.port()) + "/hopla/";
  ASSERT_TRUE(client.SubmitSearch({base, "alice", kPassword}, 0, 1.0, 2.0, {}));
  const std::optional<RecordingObserver::Report> r = observer.Wait();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->message, ServiceMessage::SearchUnreachable);
  EXPECT_NE(r->detail.find("certificate"), std::string::npos) << r->detail;
}

// Many clients uploading, registering and searching at once for a while:
// every link a client was told "OK" for is there, whole, after a kill -9.
TEST_F(HoplaServerTest, ManyClientsAtOnceLoseAndCorruptNothingEvenAfterAKill) {
#if defined(__SANITIZE_ADDRESS__)
  constexpr int kThreads = 16;
  constexpr auto kRun = std::chrono::seconds(4);
#else
  constexpr int kThreads = 50;
  constexpr auto kRun = std::chrono::seconds(10);
#endif
  std::atomic<int> failures{0};
  std::vector<std::vector<int>> stored(kThreads);
  const auto end = std::chrono::steady_clock::now() + kRun;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; std::chrono::steady_clock::now() < end; ++i) {
        const double lat = -60.0 + t * 2.0, lon = -170.0 + i * 0.01;
        const std::string title = "t" + std::to_string(t) + " n" + std::to_string(i) + " \xC3\xA4&<>\"";
        if (FirstLine(Get(LinkPath(lat, lon, "http://example.com/" + std::to_string(t) + "/" + std::to_string(i), title))
                          .body) == "OK") {
          stored[static_cast<size_t>(t)].push_back(i);
        } else {
          ++failures;
        }
        if (FirstLine(Get("/hopla/upload?" + Account() + "&lat=" + std::to_string(lat) + "&lon=1.0").body) != "OK") ++failures;
        const HttpReply s = Get("/hopla/search?" + Account() + "&lat=" + std::to_string(lat) + "&lon=" +
                                std::to_string(lon) + "&offset=0");
        const std::vector<Line> lines = ResultLines(s.body);
        if (FirstLine(s.body) != "OK" || lines.empty() || lines[0].title != title) ++failures;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  server_.Stop(SIGKILL);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(db_.c_str(), &db), SQLITE_OK);
  auto scalar = [&](const char* sql) {
    sqlite3_stmt* s = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
      value = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    }
    sqlite3_finalize(s);
    return value;
  };
  EXPECT_EQ(scalar("PRAGMA integrity_check"), "ok");
  size_t total = 0;
  for (const auto& v : stored) total += v.size();
  EXPECT_GT(total, static_cast<size_t>(kThreads));
  EXPECT_EQ(scalar("SELECT count(*) FROM links"), std::to_string(total));
  EXPECT_EQ(scalar("SELECT count(*) FROM link_index"), std::to_string(total));
  EXPECT_EQ(scalar("SELECT count(*) FROM links WHERE title NOT LIKE '% \xC3\xA4&<>\"'"), "0");
  sqlite3_close(db);

  // The killed server's database serves again.
  ServerProcess again(db_);
  const std::vector<Line> lines =
      ResultLines(tarvo::test::Get(again.port(), "/hopla/search?" + Account() + "&lat=-60.000000&lon=-170.000000&offset=0").body);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].title, "t0 n0 \xC3\xA4&<>\"");
}

}  // namespace
}  // namespace tarvo::test
