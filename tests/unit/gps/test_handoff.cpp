// The blocking line hand-off to a consumer thread with a task queue, fed by a
// real serial link on a pseudo-terminal.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <future>
#include <thread>

#include "core/gps/line_handoff.h"
#include "core/gps/serial_link.h"
#include "tests/unit/gps/task_queue.h"
#include "tests/unit/gps/test_serial_pty.h"

namespace tarvo {
namespace {

using namespace std::chrono_literals;

using tarvo::test::TaskQueue;

class HandoffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(link.Open(pty.path(), false));
    ASSERT_TRUE(link.Configure(115200, 8, 1, 0, 0));
    ASSERT_TRUE(link.SetTimeouts());
  }

  test::PtyPair pty;
  TaskQueue queue;
  SerialLink link;
};

TEST_F(HandoffTest, LinesReachTheConsumerThreadInOrder) {
  test::Inbox inbox;
  std::atomic<int> wrongThread{0};
  LineHandoff handoff(queue.Poster(), [&](std::string_view line) {
    if (std::this_thread::get_id() != queue.id()) ++wrongThread;
    inbox.AddLine(line);
  });
  ASSERT_TRUE(link.Start(handoff.AsCallback(), {}));
  std::string burst;
  for (int i = 0; i < 200; ++i) burst += "$GPGGA," + std::to_string(i) + "\r\n";
  ASSERT_TRUE(pty.Send(burst));
  ASSERT_TRUE(inbox.WaitLines(200));
  const auto lines = inbox.lines();
  for (int i = 0; i < 200; ++i) EXPECT_EQ(lines[static_cast<std::size_t>(i)], "$GPGGA," + std::to_string(i));
  EXPECT_EQ(wrongThread, 0);
  link.Close();
}

TEST_F(HandoffTest, CloseFromInsideConsumeEndsTheDelivery) {
  std::atomic<int> consumed{0};
  std::atomic<bool> closeReturned{false};
  LineHandoff handoff(queue.Poster(), [&](std::string_view) {
    ++consumed;
    link.Close();  // re-entrant: the reader is blocked in Deliver for this very line
    closeReturned = true;
  });
  ASSERT_TRUE(link.Start(handoff.AsCallback(), {}));
  ASSERT_TRUE(pty.Send("$ONE\r\n$TWO\r\n$THREE\r\n"));
  while (!closeReturned) std::this_thread::yield();
  ASSERT_TRUE(pty.Send("$FOUR\r\n"));
  queue.RunAndWait([] {});
  std::this_thread::sleep_for(10ms);
  queue.RunAndWait([] {});
  EXPECT_EQ(consumed, 1);
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(HandoffTest, CloseBeforeThePostedTaskRanCancelsIt) {
  std::atomic<int> consumed{0};
  LineHandoff handoff(queue.Poster(), [&](std::string_view) { ++consumed; });
  ASSERT_TRUE(link.Start(handoff.AsCallback(), {}));
  // The consumer is busy while the line is posted, then closes the link on
  // its own thread with the line's task still queued behind it.
  queue.RunAndWait([&] {
    ASSERT_TRUE(pty.Send("$QUEUED\r\n"));
    while (queue.pending() == 0) std::this_thread::yield();
    link.Close();
  });
  queue.RunAndWait([] {});
  EXPECT_EQ(consumed, 0);
}

TEST_F(HandoffTest, CloseFromAnotherThreadWaitsForARunningConsume) {
  std::atomic<bool> inside{false};
  std::atomic<bool> finished{false};
  std::atomic<int> consumed{0};
  LineHandoff handoff(queue.Poster(), [&](std::string_view) {
    ++consumed;
    inside = true;
    std::this_thread::sleep_for(50ms);
    finished = true;
  });
  ASSERT_TRUE(link.Start(handoff.AsCallback(), {}));
  ASSERT_TRUE(pty.Send("$SLOW\r\n$NEXT\r\n"));
  while (!inside) std::this_thread::yield();
  link.Close();  // test thread: neither the reader nor the consumer
  EXPECT_TRUE(finished);
  queue.RunAndWait([] {});
  EXPECT_EQ(consumed, 1);
}

TEST_F(HandoffTest, NoConsumeRunsAfterCloseWhileLinesFlow) {
  for (int round = 0; round < 20; ++round) {
    SerialLink flowing;
    ASSERT_TRUE(flowing.Open(pty.path(), false) && flowing.Configure(115200, 8, 1, 0, 0));
    std::atomic<bool> closed{false};
    std::atomic<int> late{0};
    std::atomic<int> consumed{0};
    LineHandoff handoff(queue.Poster(), [&](std::string_view) {
      if (closed) ++late;
      ++consumed;
    });
    ASSERT_TRUE(flowing.Start(handoff.AsCallback(), {}));
    std::jthread sender([&](std::stop_token stop) {
      while (!stop.stop_requested() && pty.Send("$GPRMC,1\r\n")) std::this_thread::sleep_for(100us);
    });
    while (consumed < 5) std::this_thread::yield();
    // Alternate between closing on the consumer thread and on this one.
    if (round % 2 == 0) {
      queue.RunAndWait([&] { flowing.Close(); });
    } else {
      flowing.Close();
    }
    closed = true;
    std::this_thread::sleep_for(2ms);
    queue.RunAndWait([] {});
    EXPECT_EQ(late, 0) << round;
  }
}

TEST(LineHandoff, TheConsumerSeesItsOwnCopyOfTheLine) {
  TaskQueue queue;
  std::stop_source stop;
  std::promise<void> sourceGone;
  std::shared_future<void> gone = sourceGone.get_future().share();
  std::string seen;
  std::promise<void> consumed;
  LineHandoff handoff(queue.Poster(), [&](std::string_view line) {
    stop.request_stop();  // the consumer closes the source...
    gone.wait();          // ...which then reuses its buffer
    seen = std::string(line);
    consumed.set_value();
  });
  std::string buffer = "$GPGGA,original";
  EXPECT_FALSE(handoff.Deliver(buffer, stop.get_token()));
  buffer.assign(buffer.size(), '#');
  sourceGone.set_value();
  consumed.get_future().wait();
  EXPECT_EQ(seen, "$GPGGA,original");
}

TEST(LineHandoff, StoppedBeforeDeliveryAndAfterDestruction) {
  TaskQueue queue;
  std::atomic<int> consumed{0};
  std::stop_source already;
  already.request_stop();
  {
    LineHandoff handoff(queue.Poster(), [&](std::string_view) { ++consumed; });
    EXPECT_FALSE(handoff.Deliver("$X", already.get_token()));
  }
  // A task posted while the consumer is busy, whose handoff is gone before it runs.
  std::promise<void> gate;
  std::shared_future<void> open = gate.get_future().share();
  queue.Post([open] { open.wait(); });
  {
    std::stop_source stop;
    LineHandoff handoff(queue.Poster(), [&](std::string_view) { ++consumed; });
    std::thread reader([&] { EXPECT_FALSE(handoff.Deliver("$Y", stop.get_token())); });
    while (queue.pending() < 1) std::this_thread::yield();
    stop.request_stop();
    reader.join();
  }
  gate.set_value();
  queue.RunAndWait([] {});
  EXPECT_EQ(consumed, 0);
}

TEST_F(HandoffTest, LossIsPostedAndCancelMakesItANoOp) {
  test::Inbox inbox;
  LineHandoff handoff(queue.Poster(), [](std::string_view) {});
  auto onLost = handoff.AsLostCallback([&](const std::string& reason) {
    EXPECT_EQ(std::this_thread::get_id(), queue.id());
    inbox.AddLoss(reason);
  });
  pty.CloseSlave();
  ASSERT_TRUE(link.Start(handoff.AsCallback(), onLost));
  pty.CloseMaster();
  ASSERT_TRUE(inbox.WaitLoss());
  link.Close();

  // A loss posted before Cancel does not reach the consumer.
  std::promise<void> gate;
  std::shared_future<void> open = gate.get_future().share();
  queue.Post([open] { open.wait(); });
  onLost("late");
  handoff.Cancel();
  gate.set_value();
  queue.RunAndWait([] {});
  EXPECT_EQ(inbox.losses().size(), 1u);
}

}  // namespace
}  // namespace tarvo
