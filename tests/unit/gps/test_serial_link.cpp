// The serial link on a real pseudo-terminal pair.
#include <gtest/gtest.h>
#include <termios.h>

#include <atomic>
#include <random>
#include <thread>

#include "core/gps/line_assembler.h"
#include "core/gps/serial_baud.h"
#include "core/gps/serial_link.h"
#include "tests/unit/gps/test_nmea_util.h"
#include "tests/unit/gps/test_serial_pty.h"

namespace tarvo {
namespace {

using test::Inbox;
using test::PtyPair;
using namespace std::chrono_literals;

// An open, configured link on the slave of `pty`, 4800 8N1.
bool OpenLink(SerialLink& link, const PtyPair& pty, bool write = false) {
  return link.Open(pty.path(), write) && link.Configure(4800, 8, 1, 0, 0) && link.SetTimeouts();
}

bool StartInto(SerialLink& link, Inbox& inbox) {
  return link.Start([&](std::string_view line, std::stop_token) { inbox.AddLine(line); },
                    [&](const std::string& reason) { inbox.AddLoss(reason); });
}

class SerialLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty.ok()); }

  // Sends `bytes`, then a closing line, and returns the lines before it.
  std::vector<std::string> Deliver(std::string_view bytes) {
    SerialLink link;
    Inbox inbox;
    EXPECT_TRUE(OpenLink(link, pty));
    EXPECT_TRUE(StartInto(link, inbox));
    EXPECT_TRUE(pty.Send(bytes));
    EXPECT_TRUE(pty.Send("$END\r\n"));
    std::vector<std::string> lines;
    for (std::size_t want = 1; inbox.WaitLines(want); ++want) {
      lines = inbox.lines();
      if (lines.back() == "$END") break;
    }
    link.Close();
    EXPECT_FALSE(lines.empty());
    if (!lines.empty() && lines.back() == "$END") lines.pop_back();
    return lines;
  }

  PtyPair pty;
};

TEST_F(SerialLinkTest, FramesLinesFromDollarToCrOrLf) {
  using Lines = std::vector<std::string>;
  // Bytes before the first "$" and the LF of a CR LF pair are dropped.
  EXPECT_EQ(Deliver("xx\r\n$GPGGA,1*00\r\n"), Lines{"$GPGGA,1*00"});
  // A further "$" is part of the line.
  EXPECT_EQ(Deliver("$GPGGA,1$GPRMC,2\r"), Lines{"$GPGGA,1$GPRMC,2"});
  // Line ends alone make no line.
  EXPECT_EQ(Deliver("\r\n\r\n"), Lines{});
  // LF alone closes a line too; several lines in one block keep their order.
  EXPECT_EQ(Deliver("$A\n$B\r$C\r\n"), (Lines{"$A", "$B", "$C"}));
  // A line of 255 characters passes; one of 256 is dropped whole.
  const std::string longest = "$" + std::string(254, 'x');
  EXPECT_EQ(Deliver(longest + "\r\n" + longest + "y\r\n$OK\r\n"), (Lines{longest, "$OK"}));
}

TEST_F(SerialLinkTest, LinesCutAcrossWritesAreJoined) {
  SerialLink link;
  Inbox inbox;
  ASSERT_TRUE(OpenLink(link, pty));
  ASSERT_TRUE(StartInto(link, inbox));
  for (std::string_view part : {"$GPR", "MC,1", "23\r", "\n$GP", "GSA\r\n"}) {
    ASSERT_TRUE(pty.Send(part));
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_TRUE(inbox.WaitLines(2));
  EXPECT_EQ(inbox.lines(), (std::vector<std::string>{"$GPRMC,123", "$GPGSA"}));
  // The ring holds what was delivered.
  EXPECT_EQ(link.ring().lastLine(), 1);
  EXPECT_EQ(link.ring().nextLine(), 2);
  link.Close();
}

TEST_F(SerialLinkTest, CountsTheLinesItDropsAsOverlongUntilTheNextStart) {
  SerialLink link;
  Inbox inbox;
  ASSERT_TRUE(OpenLink(link, pty));
  ASSERT_TRUE(StartInto(link, inbox));
  const std::string overlong = "$" + std::string(LineAssembler::kMaxLine, 'x') + "\r\n";
  ASSERT_TRUE(pty.Send(overlong + "$A\r\n" + overlong + overlong + "$B\r\n"));
  ASSERT_TRUE(inbox.WaitLines(2));
  link.Close();
  EXPECT_EQ(link.droppedTooLong(), 3u);

  ASSERT_TRUE(OpenLink(link, pty));
  ASSERT_TRUE(StartInto(link, inbox));
  EXPECT_EQ(link.droppedTooLong(), 0u);
  link.Close();
}

// Reads the line settings of the slave through a descriptor of our own.
termios SlaveSettings(const PtyPair& pty) {
  termios tio{};
  const int fd = ::open(pty.path().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(::tcgetattr(fd, &tio), 0);
  ::close(fd);
  return tio;
}

TEST_F(SerialLinkTest, ConfigureSetsARawLineWithoutFlowControl) {
  SerialLink link;
  ASSERT_TRUE(link.Open(pty.path(), false));
  ASSERT_TRUE(link.Configure(4800, 8, 1, 0, 0));
  termios tio = SlaveSettings(pty);
  EXPECT_EQ(cfgetospeed(&tio), B4800);
  EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);

  // A pty keeps 8 bits without parity whatever is asked; speed and stop
  // bits it keeps.
  ASSERT_TRUE(link.Configure(115200, 7, 1, 2, 2));
  tio = SlaveSettings(pty);
  EXPECT_EQ(cfgetospeed(&tio), B115200);
  EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
}

TEST(SerialLineSettings, FrameBitsFollowTheSettings) {
  struct Case {
    int dataBits, parity, stopBits;
    tcflag_t cflag;
  };
  const Case cases[] = {
      {8, 0, 0, CS8},
      {7, 1, 0, CS7 | PARENB | PARODD},           // odd
      {8, 2, 0, CS8 | PARENB},                    // even
      {8, 3, 0, CS8 | PARENB | PARODD | CMSPAR},  // mark
      {8, 4, 2, CS8 | PARENB | CMSPAR | CSTOPB},  // space, two stop bits
  };
  constexpr tcflag_t kFrame = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  for (const Case& c : cases) {
    termios tio{};
    tio.c_cflag = CRTSCTS | CS5 | CSTOPB;  // leftovers that must go
    tio.c_iflag = IXON | IXOFF | ISTRIP;
    ASSERT_TRUE(detail::MakeLineSettings(tio, c.dataBits, 1, c.parity, c.stopBits));
    EXPECT_EQ(tio.c_cflag & kFrame, c.cflag) << c.parity;
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ISTRIP), 0u);
    EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.parity != 0);
  }
  termios untouched{};
  untouched.c_cflag = CS8;
  EXPECT_FALSE(detail::MakeLineSettings(untouched, 8, 1, 0, 1));  // one and a half stop bits
  EXPECT_FALSE(detail::MakeLineSettings(untouched, 9, 1, 0, 0));
  EXPECT_FALSE(detail::MakeLineSettings(untouched, 8, 1, -1, 0));
  EXPECT_EQ(untouched.c_cflag, static_cast<tcflag_t>(CS8));
}

TEST_F(SerialLinkTest, EveryRateOfTheSpeedListIsAccepted) {
  SerialLink link;
  ASSERT_TRUE(link.Open(pty.path(), false));
  for (int rate : {300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 115200,
                   230400}) {
    EXPECT_TRUE(link.Configure(rate, 8, 1, 0, 0)) << rate;
  }
  // 14400 has no Bnnn constant: it is set as a free speed.
  ASSERT_TRUE(link.Configure(14400, 8, 1, 0, 0));
  const int fd = ::open(pty.path().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(detail::ReadCustomBaud(fd), 14400);
  ::close(fd);
}

TEST_F(SerialLinkTest, ImpossibleSettingsFailAndClose) {
  struct Case {
    int baud, dataBits, parity, stopBits;
  };
  for (Case c : {Case{4800, 8, 0, 1},     // one and a half stop bits: not on Linux
                 Case{4800, 6, 0, 0},     // data bits
                 Case{4800, 8, 5, 0},     // parity
                 Case{0, 8, 0, 0},        // rate
                 Case{-9600, 8, 0, 0}}) {
    SerialLink link;
    ASSERT_TRUE(link.Open(pty.path(), false));
    EXPECT_FALSE(link.Configure(c.baud, c.dataBits, 1, c.parity, c.stopBits)) << c.baud << c.stopBits;
    EXPECT_FALSE(link.IsOpen());
    EXPECT_NE(link.lastError(), 0);
    EXPECT_FALSE(link.SetTimeouts());
  }
}

TEST(SerialLinkOpen, FailsForWhatIsNotAnOpenableTty) {
  SerialLink link;
  EXPECT_FALSE(link.Open("/dev/ttyTarvoNoSuchDevice", false));
  EXPECT_EQ(link.lastError(), ENOENT);
  EXPECT_FALSE(link.Open("/dev/null", false));  // a device, but no terminal
  EXPECT_EQ(link.lastError(), ENOTTY);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_FALSE(link.Start({}, {}));
  link.Close();  // nothing open: harmless
}

TEST_F(SerialLinkTest, WriteTextReachesTheDeviceOnlyWithWriteAccess) {
  {
    SerialLink link;
    ASSERT_TRUE(OpenLink(link, pty, true));
    int calls = 0;
    ASSERT_TRUE(link.WriteText("$PGRMO,,2\r\n", [&] { ++calls; }));
    EXPECT_EQ(calls, 11);  // once before every byte
    std::string got;
    char buf[64];
    while (got.size() < 11) {
      pollfd p{pty.master(), POLLIN, 0};
      ASSERT_EQ(::poll(&p, 1, 5000), 1);
      const ssize_t n = ::read(pty.master(), buf, sizeof buf);
      ASSERT_GT(n, 0);
      got.append(buf, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(got, "$PGRMO,,2\r\n");  // raw: no CR LF translation
  }
  SerialLink readOnly;
  ASSERT_TRUE(OpenLink(readOnly, pty, false));
  EXPECT_FALSE(readOnly.WriteText("$PGRMO,,2\r\n"));
}

TEST_F(SerialLinkTest, StartNeedsAnOpenLinkAndRunsOnce) {
  SerialLink link;
  Inbox inbox;
  EXPECT_FALSE(StartInto(link, inbox));
  ASSERT_TRUE(OpenLink(link, pty));
  ASSERT_TRUE(StartInto(link, inbox));
  EXPECT_FALSE(StartInto(link, inbox));
  EXPECT_TRUE(link.IsOpen());
  link.Close();
  EXPECT_FALSE(link.IsOpen());
  // The link is reused for the next connection.
  ASSERT_TRUE(OpenLink(link, pty));
  ASSERT_TRUE(StartInto(link, inbox));
  ASSERT_TRUE(pty.Send("$AGAIN\r\n"));
  ASSERT_TRUE(inbox.WaitLines(1));
  EXPECT_EQ(inbox.lines().back(), "$AGAIN");
}

// A receiver that keeps talking until told to stop.
class Chatter {
 public:
  explicit Chatter(const PtyPair& pty)
      : thread_([&pty](std::stop_token stop) {
          while (!stop.stop_requested() && pty.Send("$GPGGA,123519,4807.038,N*47\r\n")) {
            std::this_thread::sleep_for(200us);
          }
        }) {}

 private:
  std::jthread thread_;
};

TEST_F(SerialLinkTest, NoLineArrivesAfterClose) {
  for (int round = 0; round < 20; ++round) {
    SerialLink link;
    ASSERT_TRUE(OpenLink(link, pty));
    std::atomic<bool> closed{false};
    std::atomic<int> late{0};
    std::atomic<int> count{0};
    ASSERT_TRUE(link.Start(
        [&](std::string_view, std::stop_token) {
          if (closed) ++late;
          ++count;
        },
        [&](const std::string&) { ++late; }));
    Chatter chatter(pty);
    while (count < 3) std::this_thread::yield();
    link.Close();
    closed = true;
    const int atClose = count;
    std::this_thread::sleep_for(2ms);
    EXPECT_EQ(count, atClose);
    EXPECT_EQ(late, 0);
  }
}

TEST_F(SerialLinkTest, CloseReleasesAReaderBlockedInTheCallback) {
  SerialLink link;
  ASSERT_TRUE(OpenLink(link, pty));
  std::atomic<bool> entered{false};
  std::atomic<bool> released{false};
  ASSERT_TRUE(link.Start(
      [&](std::string_view, std::stop_token stop) {
        // A consumer that never takes the line: only the stop request frees it.
        entered = true;
        std::mutex m;
        std::condition_variable_any cv;
        std::unique_lock lock(m);
        cv.wait(lock, stop, [] { return false; });
        released = true;
      },
      {}));
  ASSERT_TRUE(pty.Send("$BLOCK\r\n$NEXT\r\n"));
  while (!entered) std::this_thread::yield();
  link.Close();
  EXPECT_TRUE(released);
}

TEST_F(SerialLinkTest, CloseFromInsideTheCallbackEndsTheReader) {
  SerialLink link;
  ASSERT_TRUE(OpenLink(link, pty));
  std::atomic<int> count{0};
  std::atomic<bool> closed{false};
  ASSERT_TRUE(link.Start(
      [&](std::string_view, std::stop_token) {
        ++count;
        link.Close();  // on the reader thread
        closed = true;
      },
      {}));
  ASSERT_TRUE(pty.Send("$ONE\r\n$TWO\r\n$THREE\r\n"));
  while (!closed) std::this_thread::yield();
  EXPECT_FALSE(link.IsOpen());
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(count, 1);
  link.Close();  // reaps the reader
}

TEST_F(SerialLinkTest, UnplugReportsTheLossOnce) {
  SerialLink link;
  Inbox inbox;
  ASSERT_TRUE(OpenLink(link, pty));
  pty.CloseSlave();
  ASSERT_TRUE(StartInto(link, inbox));
  ASSERT_TRUE(pty.Send("$LAST\r\n"));
  ASSERT_TRUE(inbox.WaitLines(1));
  pty.CloseMaster();
  ASSERT_TRUE(inbox.WaitLoss());
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(inbox.losses().size(), 1u);
  EXPECT_FALSE(inbox.losses()[0].empty());
  EXPECT_FALSE(link.IsOpen());
  EXPECT_FALSE(StartInto(link, inbox));
  link.Close();
  EXPECT_EQ(inbox.losses().size(), 1u);
}

TEST_F(SerialLinkTest, NoLossIsReportedAfterClose) {
  SerialLink link;
  Inbox inbox;
  ASSERT_TRUE(OpenLink(link, pty));
  pty.CloseSlave();
  ASSERT_TRUE(StartInto(link, inbox));
  link.Close();
  pty.CloseMaster();
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(inbox.losses().empty());
}

// A receiver fixed at `speed`: at the speed the link has set on the line it
// sends sound sentences (after `silentFor`, a late start); at any other speed
// the link would read noise, so it sends noise, broken checksums included.
class FixedSpeedReceiver {
 public:
  FixedSpeedReceiver(const PtyPair& pty, speed_t speed, std::chrono::milliseconds silentFor = 0ms)
      : thread_([&pty, speed, silentFor](std::stop_token stop) {
          const auto start = std::chrono::steady_clock::now();
          std::minstd_rand noise(14);
          const std::string sound = test::Sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,") + "\r\n";
          while (!stop.stop_requested()) {
            termios tio{};
            if (::tcgetattr(pty.master(), &tio) != 0) return;  // the master shows the slave's settings
            const bool talking = std::chrono::steady_clock::now() - start >= silentFor;
            if (cfgetospeed(&tio) == speed) {
              if (talking && !pty.Send(sound)) return;
            } else {
              std::string bytes = "$GPGGA,1*00\r\n$";
              for (int i = 0; i < 40; ++i) bytes += static_cast<char>(noise() % 256);
              bytes += "\r\n";
              if (!pty.Send(bytes)) return;
            }
            std::this_thread::sleep_for(10ms);
          }
        }) {}

 private:
  std::jthread thread_;
};

TEST_F(SerialLinkTest, AutoSpeedTriesEachSpeedUntilSoundSentencesArriveThenKeepsIt) {
  const SpeedHuntRules quick{2, 150ms};
  struct Case {
    speed_t code;
    int rate;
    std::chrono::milliseconds silentFor;  // longer than the first trial: the hunt must come round again
  };
  for (const Case c : {Case{B38400, 38400, 0ms}, Case{B115200, 115200, 0ms}, Case{B4800, 4800, 400ms}}) {
    SerialLink link;
    Inbox inbox;
    ASSERT_TRUE(link.Open(pty.path(), false));
    ASSERT_TRUE(link.Configure(4800, 8, 1, 0, 0));
    ASSERT_TRUE(link.HuntSpeed(kHuntSpeeds, quick));
    EXPECT_TRUE(link.lineSpeed().searching);
    ASSERT_TRUE(link.SetTimeouts());
    ASSERT_TRUE(StartInto(link, inbox));
    {
      FixedSpeedReceiver receiver(pty, c.code, c.silentFor);
      ASSERT_TRUE(inbox.WaitLines(6));
      // Several trials later the speed found stands.
      std::this_thread::sleep_for(3 * quick.window);
    }
    EXPECT_EQ(link.lineSpeed().bitsPerSecond, c.rate);
    EXPECT_FALSE(link.lineSpeed().searching);
    // Only sound sentences came through the hunt; once found, lines pass as
    // on a fixed speed (noise too: the parser judges them).
    for (const std::string& line : inbox.lines()) EXPECT_EQ(line.rfind("$GPRMC,123519,A", 0), 0u) << line;
    ASSERT_TRUE(pty.Send("$GPGGA,1*00\r\n"));
    ASSERT_TRUE(inbox.WaitLines(inbox.lines().size() + 1));
    EXPECT_EQ(inbox.lines().back(), "$GPGGA,1*00");
    link.Close();
  }

  // A fixed speed is kept whatever arrives.
  SerialLink fixed;
  Inbox inbox;
  ASSERT_TRUE(OpenLink(fixed, pty));
  ASSERT_TRUE(StartInto(fixed, inbox));
  {
    FixedSpeedReceiver receiver(pty, B38400);
    ASSERT_TRUE(inbox.WaitLines(6));
  }
  EXPECT_EQ(SlaveSettings(pty).c_cflag & CBAUD, static_cast<tcflag_t>(B4800));
  EXPECT_EQ(fixed.lineSpeed().bitsPerSecond, 4800);
  EXPECT_FALSE(fixed.lineSpeed().searching);
}

TEST(LineRing, KeepsTheLastFiveLinesCutTo255) {
  LineRing ring;
  EXPECT_EQ(ring.lastLine(), -1);
  EXPECT_EQ(ring.nextLine(), 0);
  std::vector<std::string_view> stored;
  for (int i = 0; i < 7; ++i) stored.push_back(ring.Store("$L" + std::to_string(i)));
  EXPECT_EQ(ring.lastLine(), 1);
  EXPECT_EQ(ring.nextLine(), 2);
  // The views of the last five are still intact; the slot of line 0 holds line 5.
  for (int i = 2; i < 7; ++i) EXPECT_EQ(stored[static_cast<std::size_t>(i)], "$L" + std::to_string(i));
  EXPECT_EQ(stored[0], "$L5");
  const std::string_view cut = ring.Store("$" + std::string(300, 'y'));
  EXPECT_EQ(cut.size(), 255u);
  EXPECT_EQ(cut.data()[255], '\0');
}

}  // namespace
}  // namespace tarvo
