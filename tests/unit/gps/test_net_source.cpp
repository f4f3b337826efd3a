// The network sources against real peers on the loopback interface: Debian's
// gpsd on a pseudo-terminal, a TCP server and a UDP sender of the test's own,
// each fed with a corpus log.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "core/gps/net_source.h"
#include "tests/common/shared_data.h"
#include "tests/unit/gps/test_net_peers.h"
#include "tests/unit/gps/test_nmea_util.h"
#include "tests/unit/gps/test_serial_pty.h"

namespace tarvo {
namespace {

using namespace std::chrono_literals;
using test::Inbox;

const std::filesystem::path kCorpusLog = test::SharedPath("corpus/nmea/bundg_zeus_9.log");

// A source started into `lines`, reporting interruptions into `interruptions`.
struct Started {
  explicit Started(NetSourceConfig config, bool reconnect = true) : source(std::move(config)) {
    if (reconnect) source.SetInterruptedCallback([this](const std::string& r) { interruptions.AddLoss(r); });
    ok = source.Start([this](std::string_view line, std::stop_token) { lines.AddLine(line); },
                      [this](const std::string& r) { lines.AddLoss(r); });
  }
  NetSource source;
  Inbox lines;
  Inbox interruptions;
  bool ok = false;
};

// `lines` without the priming lines.
std::vector<std::string> Without(std::vector<std::string> lines, const std::string& drop) {
  std::erase(lines, drop);
  return lines;
}

TEST(NetSourceUrl, TheThreeFormsAndWhatIsWrongWithOthers) {
  NetSourceConfig c;
  std::string error;
  ASSERT_TRUE(ParseNetSourceUrl("gpsd://localhost", c, error));
  EXPECT_EQ(c.kind, SourceKind::Gpsd);
  EXPECT_EQ(c.port, 2947);
  ASSERT_TRUE(ParseNetSourceUrl("tcp://[::1]:10110", c, error));
  EXPECT_EQ(c.host, "::1");
  EXPECT_EQ(NetSourceName(c), "tcp://[::1]:10110");
  ASSERT_TRUE(ParseNetSourceUrl("udp://:4000", c, error));
  EXPECT_EQ(c.kind, SourceKind::UdpListener);
  EXPECT_EQ(NetSourceName(c), "udp://:4000");
  for (const char* bad : {"tcp://host", "tcp://:10110", "tcp://h:0", "tcp://h:65536", "tcp://h:12x", "udp://h:1",
                          "http://h:1", "gpsd://[::1", "gpsd://"}) {
    error.clear();
    EXPECT_FALSE(ParseNetSourceUrl(bad, c, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(GpsdSource, RelaysEveryCorpusLineInOrderAndComesBackWhenGpsdRestarts) {
  if (test::GpsdProgram() == nullptr) GTEST_SKIP() << "gpsd is not installed (apt-get install gpsd)";
  TARVO_NEEDS_SHARED(kCorpusLog);
  const std::vector<std::string> corpus = test::LogLines(kCorpusLog);
  test::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  const int port = test::FreePort();
  test::GpsdProcess gpsd;
  ASSERT_TRUE(gpsd.Start(pty.path(), port));

  Started s({SourceKind::Gpsd, "127.0.0.1", port});
  ASSERT_TRUE(s.ok);
  // gpsd needs a few sentences to know the receiver speaks NMEA; until then it
  // relays nothing.
  const std::string prime = test::Sentence("GPGGA,000000.00,0000.000,N,00000.000,E,0,00,,,M,,M,,");
  auto primeUntilRelayed = [&] {
    const std::size_t before = s.lines.lines().size();
    for (int i = 0; i < 250 && !s.lines.WaitLines(before + 1, 20ms); ++i) ASSERT_TRUE(pty.Send(prime + "\r\n"));
    ASSERT_TRUE(s.lines.WaitLines(before + 1, 2s)) << "gpsd relays nothing";
  };
  primeUntilRelayed();
  ASSERT_TRUE(pty.Send(test::Joined(corpus)));
  ASSERT_TRUE(s.lines.WaitLines(corpus.size(), 20s));
  std::this_thread::sleep_for(100ms);  // nothing more comes
  EXPECT_EQ(Without(s.lines.lines(), prime), corpus);
  EXPECT_EQ(s.source.connections(), 1u);

  // gpsd dies: reported within a second, once, while the source keeps trying.
  gpsd.Kill();
  ASSERT_TRUE(s.interruptions.WaitLoss(1s));
  EXPECT_EQ(s.interruptions.losses().front(), "gpsd closed the connection; reconnecting");
  std::this_thread::sleep_for(800ms);  // a few refused attempts
  ASSERT_TRUE(gpsd.Start(pty.path(), port));
  for (int i = 0; i < 300 && s.source.connections() < 2; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(s.source.connections(), 2u);
  primeUntilRelayed();
  EXPECT_EQ(s.interruptions.losses().size(), 1u);
  EXPECT_TRUE(s.lines.losses().empty());
  s.source.Close();
}

TEST(GpsdSource, ObjectsAreReadAsJsonOnlyNmeaLinesPassAndAnErrorOrAStrangerEndsTheSource) {
  test::LoopbackServer server;
  const std::string gga = test::Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
  {
    Started s({SourceKind::Gpsd, "127.0.0.1", server.port()});
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(test::ReadLinesFrom(server.client(), 1), "?WATCH={\"enable\":true,\"nmea\":true}\n");
    // A "$" inside an object is no line; an object may come in pieces.
    ASSERT_TRUE(server.Send("{\"class\":\"VERSION\",\"release\":\"3.22\"}\r\n{\"class\":\"DEVI"));
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(server.Send("CES\",\"devices\":[{\"path\":\"/dev/$GPRMC,x\\r\\n\"}]}\r\n" + gga + "\r\n"));
    ASSERT_TRUE(server.Send("{\"class\":\"ERROR\",\"message\":\"Unrecognized request\"}\r\n" + gga + "\r\n"));
    ASSERT_TRUE(s.lines.WaitLoss(2s));
    EXPECT_EQ(s.lines.lines(), std::vector<std::string>{gga});
    EXPECT_EQ(s.lines.losses(), std::vector<std::string>{"gpsd refused: Unrecognized request"});
    EXPECT_TRUE(s.interruptions.losses().empty());  // no use trying again
  }
  {
    // An NMEA server where gpsd was expected.
    Started s({SourceKind::Gpsd, "127.0.0.1", server.port()});
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.Send(gga + "\r\n"));
    ASSERT_TRUE(s.lines.WaitLoss(2s));
    EXPECT_EQ(s.lines.losses().front().substr(0, 26), "not a gpsd (it answered \"$");
    EXPECT_TRUE(s.lines.lines().empty());
  }
  // Nobody listening, or nothing to connect to: the first attempt ends the source.
  const int closedPort = test::FreePort();
  for (const NetSourceConfig& c : {NetSourceConfig{SourceKind::Gpsd, "127.0.0.1", closedPort},
                                   NetSourceConfig{SourceKind::TcpClient, "", 10110}}) {
    Started s(c);
    ASSERT_TRUE(s.lines.WaitLoss(2s)) << NetSourceName(c);
    EXPECT_FALSE(s.source.IsOpen());
  }
}

TEST(TcpSource, DeliversTheCorpusCutAnywhereAndReconnectsAfterTheServerGoes) {
  TARVO_NEEDS_SHARED(kCorpusLog);
  const std::vector<std::string> corpus = test::LogLines(kCorpusLog);
  test::LoopbackServer server;
  Started s({SourceKind::TcpClient, "127.0.0.1", server.port()});
  ASSERT_TRUE(s.ok);
  ASSERT_TRUE(server.Accept());

  // Binary garbage first and an overlong line in the middle, as a serial port may see them.
  const std::size_t half = corpus.size() / 2;
  const std::string stream = std::string("\x00\xff\x13garbage\r\n", 12) +
                             test::Joined({corpus.begin(), corpus.begin() + half}) + "$" + std::string(300, 'x') +
                             "\r\n" + test::Joined({corpus.begin() + half, corpus.end()});
  std::mt19937 random(14);
  for (std::size_t at = 0; at < stream.size();) {
    const std::size_t n = std::min<std::size_t>(1 + random() % 1500, stream.size() - at);
    ASSERT_TRUE(server.Send(std::string_view(stream).substr(at, n)));
    at += n;
  }
  ASSERT_TRUE(s.lines.WaitLines(corpus.size()));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(s.lines.lines(), corpus);
  EXPECT_EQ(s.source.droppedTooLong(), 1u);

  // The server goes mid-line: reported within a second; the half line is dropped.
  ASSERT_TRUE(server.Send("$GPGGA,half"));
  server.CloseClient();
  ASSERT_TRUE(s.interruptions.WaitLoss(1s));
  EXPECT_EQ(s.interruptions.losses().front(), "the server closed the connection; reconnecting");
  ASSERT_TRUE(server.Accept(2s));
  ASSERT_TRUE(server.Send(",line\r\n$GPTXT,back\r\n"));
  ASSERT_TRUE(s.lines.WaitLines(corpus.size() + 1));
  EXPECT_EQ(s.lines.lines().back(), "$GPTXT,back");
  EXPECT_EQ(s.source.connections(), 2u);

  // Without an interrupted callback (tarvo-nmea), a loss ends the source.
  Started once({SourceKind::TcpClient, "127.0.0.1", server.port()}, /*reconnect=*/false);
  ASSERT_TRUE(server.Accept());
  server.CloseClient();
  ASSERT_TRUE(once.lines.WaitLoss(1s));
  EXPECT_EQ(once.lines.losses().front(), "the server closed the connection");
  s.source.Close();
  EXPECT_TRUE(s.lines.losses().empty());
}

TEST(UdpSource, JoinsLinesAcrossDatagramsSentDirectOrAsBroadcast) {
  TARVO_NEEDS_SHARED(kCorpusLog);
  const std::vector<std::string> corpus = test::LogLines(kCorpusLog);
  Started s({SourceKind::UdpListener, "", 0});
  ASSERT_TRUE(s.ok);
  for (int i = 0; i < 200 && s.source.boundPort() == 0; ++i) std::this_thread::sleep_for(5ms);
  ASSERT_NE(s.source.boundPort(), 0);

  const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  ASSERT_EQ(::setsockopt(sender, SOL_SOCKET, SO_BROADCAST, &on, sizeof on), 0);
  sockaddr_in direct = test::Loopback(s.source.boundPort());
  sockaddr_in broadcast = direct;
  broadcast.sin_addr.s_addr = htonl(0x7fffffff);  // 127.255.255.255
  // Datagrams of several lines or of part of one; the first half direct, the rest broadcast.
  const std::string stream = test::Joined(corpus);
  std::mt19937 random(10110);
  for (std::size_t at = 0; at < stream.size();) {
    const std::size_t n = std::min<std::size_t>(1 + random() % 1400, stream.size() - at);
    const sockaddr_in& to = at < stream.size() / 2 ? direct : broadcast;
    ASSERT_EQ(::sendto(sender, stream.data() + at, n, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(n));
    at += n;
    if (random() % 8 == 0) std::this_thread::sleep_for(100us);  // let the reader keep up, as a receiver's pace would
  }
  ::close(sender);
  ASSERT_TRUE(s.lines.WaitLines(corpus.size()));
  EXPECT_EQ(s.lines.lines(), corpus);

  // A port already taken without SO_REUSEADDR cannot be listened on: the source ends with the reason.
  const int holder = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in any = test::Loopback(0);
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t len = sizeof any;
  ASSERT_EQ(::bind(holder, reinterpret_cast<const sockaddr*>(&any), sizeof any), 0);
  ASSERT_EQ(::getsockname(holder, reinterpret_cast<sockaddr*>(&any), &len), 0);
  Started taken({SourceKind::UdpListener, "", ntohs(any.sin_port)});
  ASSERT_TRUE(taken.lines.WaitLoss(1s));
  EXPECT_EQ(taken.lines.losses().front(),
            "cannot listen on UDP port " + std::to_string(ntohs(any.sin_port)) + ": Address already in use");
  ::close(holder);
}

}  // namespace
}  // namespace tarvo
