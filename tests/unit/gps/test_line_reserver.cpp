// The re-server with real TCP clients on the loopback interface.
#include <ifaddrs.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/gps/line_reserver.h"
#include "tests/common/shared_data.h"
#include "tests/unit/gps/test_net_peers.h"

namespace tarvo {
namespace {

using namespace std::chrono_literals;

bool WaitClients(const LineReserver& server, std::size_t count) {
  for (int i = 0; i < 400 && server.clientCount() != count; ++i) std::this_thread::sleep_for(5ms);
  return server.clientCount() == count;
}

TEST(LineReserver, TwoClientsGetEveryLineAndOneThatStopsReadingIsDroppedWithoutHoldingUpTheRest) {
  const std::filesystem::path log = test::SharedPath("corpus/nmea/bundg_zeus_9.log");
  TARVO_NEEDS_SHARED(log);
  const std::vector<std::string> corpus = test::LogLines(log);
  LineReserver server;
  ASSERT_TRUE(server.Start(0, false));
  const int a = test::ConnectLoopback(server.port());
  const int b = test::ConnectLoopback(server.port());
  const int stuck = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int small = 4096;
  ::setsockopt(stuck, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  const sockaddr_in to = test::Loopback(server.port());
  ASSERT_EQ(::connect(stuck, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
  ASSERT_TRUE(WaitClients(server, 3));

  // Three rounds of the corpus: over 500 kB, more than a client may lag behind.
  constexpr int kRounds = 3;
  std::string expected;
  for (int r = 0; r < kRounds; ++r) expected += test::Joined(corpus);
  std::string gotA;
  std::string gotB;
  std::jthread readA([&] { gotA = test::ReadLinesFrom(a, corpus.size() * kRounds); });
  std::jthread readB([&] { gotB = test::ReadLinesFrom(b, corpus.size() * kRounds); });
  for (int r = 0; r < kRounds; ++r) {
    for (const std::string& line : corpus) server.Publish(line);
  }
  readA.join();
  readB.join();
  EXPECT_EQ(gotA.size(), expected.size());
  EXPECT_TRUE(gotA == expected);
  EXPECT_TRUE(gotB == expected);
  EXPECT_EQ(server.droppedClients(), 1u);
  EXPECT_TRUE(WaitClients(server, 2));
  // The stuck client finds its connection closed once it drains what it got.
  const std::string drained = test::ReadLinesFrom(stuck, corpus.size() * kRounds, 1s);
  EXPECT_LT(drained.size(), expected.size());
  EXPECT_TRUE(expected.starts_with(drained.substr(0, drained.rfind('\n') + 1)));

  // A client that joins later starts at the next line; a client that leaves is forgotten.
  ::close(a);
  ASSERT_TRUE(WaitClients(server, 1));
  const int late = test::ConnectLoopback(server.port());
  ASSERT_TRUE(WaitClients(server, 2));
  server.Publish("$GPTXT,late");
  EXPECT_EQ(test::ReadLinesFrom(late, 1), "$GPTXT,late\r\n");
  EXPECT_EQ(test::ReadLinesFrom(b, 1), "$GPTXT,late\r\n");

  const int port = server.port();
  server.Stop();
  EXPECT_EQ(test::ConnectLoopback(port), -1);
  for (int fd : {b, stuck, late}) ::close(fd);
}

// The first IPv4 address of this machine that is not a loopback one; 0 when none.
in_addr_t OtherAddress() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return 0;
  in_addr_t found = 0;
  for (ifaddrs* i = list; i != nullptr && found == 0; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
    const in_addr_t a = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
    if ((ntohl(a) >> 24) != 127) found = a;
  }
  ::freeifaddrs(list);
  return found;
}

TEST(LineReserver, ListensOnLoopbackOnlyUnlessOtherHostsAreAllowed) {
  const in_addr_t other = OtherAddress();
  if (other == 0) GTEST_SKIP() << "this machine has no address but loopback";
  for (bool remote : {false, true}) {
    LineReserver server;
    ASSERT_TRUE(server.Start(0, remote));
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to = test::Loopback(server.port());
    to.sin_addr.s_addr = other;
    EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0, remote);
    ::close(fd);
    const int local = test::ConnectLoopback(server.port());
    EXPECT_NE(local, -1);  // this machine always may
    if (local >= 0) ::close(local);
  }
  // A port in use is refused with the reason.
  LineReserver first;
  LineReserver second;
  ASSERT_TRUE(first.Start(0, false));
  EXPECT_FALSE(second.Start(first.port(), false));
  EXPECT_EQ(second.lastError(), EADDRINUSE);
}

}  // namespace
}  // namespace tarvo
