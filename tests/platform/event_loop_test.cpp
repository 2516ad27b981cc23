#include "platform/event_loop.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace zelk::platform {
namespace {

using namespace std::chrono_literals;

TEST(EventLoop, TimersRepeatUntilKilledAndMayReplaceThemselves) {
  PollEventLoop loop;
  int ticks = 0;
  loop.SetTimer(1, 1ms, [&] {
    if (++ticks == 3) loop.KillTimer(1);
  });
  int replaced = 0;
  loop.SetTimer(2, 2ms, [&] {
    ++replaced;
    loop.SetTimer(2, 1ms, [&] { loop.KillTimer(2); });  // replaces the running timer
  });
  EXPECT_FALSE(loop.RunUntil([] { return false; }));  // ends when no timer is left
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(replaced, 1);
  EXPECT_FALSE(loop.HasTimer(1));
}

TEST(EventLoop, SocketsPostedCallsAndNestedWaitsRunInOrder) {
  PollEventLoop loop;
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  std::string events;
  loop.WatchReadable(pair[0], [&] {
    char c;
    if (::read(pair[0], &c, 1) == 1) events += c;
    if (c == 'b') loop.Unwatch(pair[0]);
  });
  loop.Post([&] {
    events += "p";
    ASSERT_EQ(::write(pair[1], "a", 1), 1);
    // A nested wait inside a callback: the socket and the timer keep running.
    bool timerFired = false;
    loop.SetTimer(7, 1ms, [&] {
      timerFired = true;
      loop.KillTimer(7);
    });
    EXPECT_TRUE(loop.RunUntil([&] { return timerFired && events.find('a') != std::string::npos; }));
    events += "n";
    ASSERT_EQ(::write(pair[1], "b", 1), 1);
  });
  EXPECT_TRUE(loop.RunUntil([&] { return events.find('b') != std::string::npos; }));
  EXPECT_EQ(events, "panb");
  ::close(pair[0]);
  ::close(pair[1]);
}

}  // namespace
}  // namespace zelk::platform
