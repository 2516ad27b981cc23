#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <new>

#include "net/connect_attempts.h"
#include "net/host_lookup.h"
#include "net/ip_address.h"
#include "support/process_counts.h"
#include "support/scripted_server.h"
#include "support/unanswered_listener.h"

namespace zelk::net {
namespace {

using namespace std::string_literals;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using test::OpenDescriptors;

IpAddress Literal(const char* text) { return ParseIpLiteral(text).value(); }

TEST(IpAddress, ReadsBothFamiliesAndNothingThatNamesNoServer) {
  const struct {
    std::string text;
    bool address;
    int family;
    const char* shown;
  } cases[] = {
      {"192.0.2.7", true, AF_INET, "192.0.2.7"},
      {"::1", true, AF_INET6, "::1"},
      {"2001:DB8:0:0::7", true, AF_INET6, "2001:db8::7"},
      {"::ffff:192.0.2.7", true, AF_INET6, "::ffff:192.0.2.7"},
      {"mail.example", false, 0, ""},
      {"192.0.2", false, 0, ""},       // inet_aton's shorthand is a name here, as for inet_pton
      {"[::1]", false, 0, ""},
      {"0.0.0.0", false, 0, ""},       // the unspecified addresses name no server
      {"::", false, 0, ""},
      {"192.0.2.7\0.evil"s, false, 0, ""},
      {"", false, 0, ""},
  };
  for (const auto& c : cases) {
    const std::optional<IpAddress> read = ParseIpLiteral(c.text);
    ASSERT_EQ(read.has_value(), c.address) << c.text;
    if (!read) continue;
    EXPECT_EQ(read->family, c.family) << c.text;
    EXPECT_EQ(ToText(*read), c.shown);
    EXPECT_EQ(ParseIpLiteral(ToText(*read)), read);  // the cache's text reads back the same
  }
}

TEST(HostLookup, AnswersOnTheLoopWhateverTheResolverGives) {
  platform::PollEventLoop loop;
  {
    std::vector<IpAddress> found;
    LookupOutcome outcome{};
    bool answered = false;
    HostLookup lookup(loop, SystemResolver, "localhost", [&](LookupOutcome o, std::vector<IpAddress> a) {
      outcome = o, found = std::move(a), answered = true;
    });
    loop.SetTimer(1, 10s, [] {});  // keeps the loop waiting for the worker's post
    ASSERT_TRUE(loop.RunUntil([&] { return answered; }));
    EXPECT_EQ(outcome, LookupOutcome::kFound);
    EXPECT_NE(std::find(found.begin(), found.end(), Literal("127.0.0.1")), found.end());
  }
  for (const auto& [resolver, expected] : std::vector<std::pair<Resolver, LookupOutcome>>{
           {[](const std::string&) { return std::vector<IpAddress>{}; }, LookupOutcome::kNotFound},
           {[](const std::string&) -> std::vector<IpAddress> { throw std::bad_alloc(); }, LookupOutcome::kOutOfMemory}}) {
    LookupOutcome outcome = LookupOutcome::kFound;
    bool answered = false;
    HostLookup lookup(loop, resolver, "x", [&](LookupOutcome o, std::vector<IpAddress>) { outcome = o, answered = true; });
    ASSERT_TRUE(loop.RunUntil([&] { return answered; }));
    EXPECT_EQ(outcome, expected);
  }
}

struct Outcome {
  bool done = false;
  std::optional<ConnectAttempts::Winner> winner;
  platform::Text error;
  Clock::duration after{};
};

ConnectAttempts::Done Record(Outcome& outcome, Clock::time_point start) {
  return [&outcome, start](std::optional<ConnectAttempts::Winner> winner, platform::Text error) {
    outcome = {true, winner, std::move(error), Clock::now() - start};
  };
}

// Each case has a server on 127.0.0.1 and, on the same port, 127.0.0.2 that never answers and
// 127.0.0.3 where nothing listens.
TEST(ConnectAttempts, EveryAddressInTurnTheFirstToConnectWinsAndNothingIsLeftOpen) {
  const IpAddress hangs = Literal("127.0.0.2"), refuses = Literal("127.0.0.3"), answers = Literal("127.0.0.1");
  const struct {
    std::vector<IpAddress> addresses;
    bool wins;
    Clock::duration least, most;
  } cases[] = {
      {{answers}, true, 0ms, 100ms},
      {{refuses, answers}, true, 0ms, 100ms},             // a refusal hands over at once
      {{hangs, answers}, true, kNextAttemptDelay, 300ms},  // a pending one after the delay
      {{hangs, refuses, answers}, true, kNextAttemptDelay, 300ms},
      {{refuses, refuses}, false, 0ms, 100ms},
  };
  for (const auto& c : cases) {
    platform::PollEventLoop loop;
    test::ScriptedServer server({test::Silence()});
    const test::UnansweredListener hanging("127.0.0.2", server.port());
    const std::size_t before = OpenDescriptors();
    Outcome outcome;
    ConnectAttempts attempts(loop, c.addresses, server.port(), Record(outcome, Clock::now()));
    attempts.Start();
    loop.SetTimer(1, 5s, [] {});
    ASSERT_TRUE(loop.RunUntil([&] { return outcome.done; }));
    EXPECT_EQ(outcome.winner.has_value(), c.wins);
    EXPECT_EQ(outcome.error, c.wins ? "" : "Connection failed");
    EXPECT_GE(outcome.after, c.least);
    EXPECT_LE(outcome.after, c.most);
    if (outcome.winner) {
      EXPECT_EQ(outcome.winner->address, answers);
      EXPECT_TRUE(::fcntl(outcome.winner->fd, F_GETFD) & FD_CLOEXEC);
      ::close(outcome.winner->fd);
      EXPECT_TRUE(server.WaitDone());  // the server's side of the connection is closed too
    }
    EXPECT_EQ(OpenDescriptors(), before);
  }
}

}  // namespace
}  // namespace zelk::net
