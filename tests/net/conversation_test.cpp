#include "net/conversation.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/files.h"
#include "support/fake_ports.h"
#include "support/fixed_clock.h"
#include "support/process_counts.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"
#include "support/unanswered_listener.h"

namespace zelk::net {
namespace {

using namespace std::chrono_literals;
using test::Close;
using test::Expect;
using test::ScriptedServer;
using test::Send;
using test::Silence;

// A handler made of one function, for conversations whose protocol does not matter here.
class FunctionHandler final : public ProtocolHandler {
 public:
  using Function = std::function<bool(Conversation&, std::string_view, platform::Text&)>;
  explicit FunctionHandler(Function function) : function_(std::move(function)) {}
  bool Line(Conversation& conversation, std::string_view line, platform::Text& error, store::MailBox&, bool) override {
    return function_(conversation, line, error);
  }
  bool Secured(Conversation&, platform::Text&, store::MailBox&, bool) override { return true; }

 private:
  Function function_;
};

// Quits politely after the greeting.
std::unique_ptr<ProtocolHandler> QuitAtGreeting() {
  return std::make_unique<FunctionHandler>([](Conversation& c, std::string_view line, platform::Text&) {
    if (c.step == 0 && line.starts_with("+OK")) {
      c.Send("QUIT\r\n");
      c.step = kQuitSent;
    }
    return true;
  });
}

struct RecordingHooks final : WorkHooks {
  std::vector<int> notified;
  void NotifyNewMail(int count) override { notified.push_back(count); }
};

// A conversation over a scripted server, with every port recorded.
struct Fixture {
  test::TempDir home;
  config::Settings settings;
  store::MailBoxTable table;
  platform::PollEventLoop loop;
  test::FakePorts ports;
  RecordingHooks hooks;
  ConversationLog log{home.path(), true};
  test::FixedClock clock{{2006, 1, 2, 3, 10, 5, 9, 0}, 0};
  std::unique_ptr<Conversation> conversation;

  explicit Fixture(Resolver resolver = SystemResolver) {
    settings.RasCheckEndDisCon = 0;
    store::Init(table);
    store::NoSelector selector;
    store::AddMailBox(table, selector);
    store::MailBox& box = *table.boxes[2];
    box.Name = "Work";
    box.Server = "127.0.0.1";
    box.Pass = "secret";
    table.selected = 0;
    conversation = std::make_unique<Conversation>(ConversationParts{loop, ports, ports, ports, hooks, log, clock, std::move(resolver)}, settings, table);
    conversation->SetMinuteForTesting(200ms);
  }
  bool StartWith(const ScriptedServer& server, std::unique_ptr<ProtocolHandler> handler) {
    table.boxes[2]->Port = server.port();
    return conversation->Start(2, ConversationKind::kCheck, std::move(handler), false);
  }
  void RunToIdle() {
    loop.RunUntil([&] { return conversation->socket() == kNoSocket && !loop.HasTimer(kPollTimer); });
  }
  bool Called(const std::string& call) const { return std::count(ports.calls.begin(), ports.calls.end(), call) > 0; }
};

TEST(Conversation, AQuitAnsweredByACloseEndsQuietly) {
  Fixture f;
  ScriptedServer server({Send("+OK ready\r\n"), Expect("QUIT"), Send("+OK bye\r\n"), Close()});
  ASSERT_TRUE(f.StartWith(server, QuitAtGreeting()));
  f.RunToIdle();
  EXPECT_TRUE(f.Called("tray busy"));
  EXPECT_TRUE(server.WaitDone());
  EXPECT_EQ(server.failures(), "");
  EXPECT_EQ(f.hooks.notified, std::vector<int>{-1});
  EXPECT_FALSE(std::any_of(f.ports.calls.begin(), f.ports.calls.end(), [](const std::string& c) { return c.starts_with("message"); }));
  EXPECT_TRUE(f.Called("tray normal"));
  EXPECT_EQ(f.conversation->mailbox(), -1);
  EXPECT_EQ(platform::ReadWholeFile(f.home.file("Zelk.log")),
            "\r\n-------------------------------- 03/01/2006 10:05 (recv)\r\n"
            "[Work] Finding Host...\r\n[Work] Connecting...\r\n");
}

TEST(Conversation, EarlyCloseHandlerErrorsAndSilenceAreShownAsErrors) {
  {
    Fixture f;
    ScriptedServer server({Send("+OK ready\r\n"), Close()});
    ASSERT_TRUE(f.StartWith(server, std::make_unique<FunctionHandler>([](auto&, auto, auto&) { return true; })));
    f.RunToIdle();
    EXPECT_TRUE(f.Called("message Error - Work: Server disconnected"));
    EXPECT_EQ(f.ports.status[1], "Server disconnected");
  }
  {
    Fixture f;
    ScriptedServer server({Send("-ERR no\r\nnever seen\r\n"), Silence()});
    int lines = 0;
    ASSERT_TRUE(f.StartWith(server, std::make_unique<FunctionHandler>([&](auto&, auto, platform::Text& error) {
      ++lines;
      error = "Username or password error";
      return false;
    })));
    f.RunToIdle();
    EXPECT_EQ(lines, 1);  // the rest of the read is dropped
    EXPECT_TRUE(f.Called("message Error - Work: Username or password error"));
  }
  {
    Fixture f;
    ScriptedServer server({Send("+OK ready\r\n"), Silence()});
    ASSERT_TRUE(f.StartWith(server, std::make_unique<FunctionHandler>([](auto&, auto, auto&) { return false; })));
    f.RunToIdle();
    EXPECT_FALSE(f.Called("message Error - Work: Server disconnected"));  // a quiet end shows nothing
    EXPECT_EQ(f.conversation->mailbox(), -1);
  }
  {
    Fixture f;
    f.settings.TimeoutInterval = 0;  // read as one minute
    ScriptedServer server({Silence()});
    ASSERT_TRUE(f.StartWith(server, QuitAtGreeting()));
    f.RunToIdle();
    EXPECT_TRUE(f.Called("message Error - Work: Connection timed-out"));
  }
}

TEST(Conversation, ErrorsDuringACycleWithIgnoreErrorGoOnlyToTheStatusBar) {
  Fixture f;
  f.settings.SocIgnoreError = 1;
  f.conversation->flags.cycleRunning = true;
  ScriptedServer server({Send("+OK ready\r\n"), Close()});
  ASSERT_TRUE(f.StartWith(server, std::make_unique<FunctionHandler>([](auto&, auto, auto&) { return true; })));
  f.RunToIdle();
  EXPECT_EQ(f.ports.status[1], "Server disconnected");
  EXPECT_FALSE(f.Called("message Error - Work: Server disconnected"));
  EXPECT_TRUE(f.conversation->flags.cycleRunning);  // the cycle goes on
}

TEST(Conversation, PasswordPromptAndStartFailures) {
  Fixture f;
  f.table.boxes[2]->Pass.reset();
  ScriptedServer unused({Silence()});
  EXPECT_FALSE(f.StartWith(unused, QuitAtGreeting()));  // the prompt was cancelled
  EXPECT_TRUE(f.Called("password Zelk - [Work]"));
  EXPECT_EQ(f.conversation->socket(), kNoSocket);

  f.ports.passwords.push_back(ports::DialogPort::Password{"typed", true});
  f.table.boxes[2]->Server = "";
  EXPECT_FALSE(f.StartWith(unused, QuitAtGreeting()));
  EXPECT_EQ(f.table.boxes[2]->TmpPass, "typed");  // kept for the run
  EXPECT_TRUE(f.Called("message Error - Work: Server name not set"));
  EXPECT_EQ(f.conversation->socket(), kNoSocket);
}

TEST(Conversation, StopQuitsPolitelyOnceAnsweredAndClosesAtOnceBefore) {
  {
    Fixture f;
    ScriptedServer server({Send("+OK ready\r\n"), Expect("USER me"), Send("+OK\r\n"), Expect("RSET"), Expect("QUIT"),
                           Send("+OK bye\r\n"), Close()});
    ASSERT_TRUE(f.StartWith(server, std::make_unique<FunctionHandler>([](Conversation& c, std::string_view line, auto&) {
      if (c.step == 0) {
        c.Send("USER me\r\n");
        c.step = 1;
      } else if (c.step == 1 && line == "+OK") {
        c.Stop();
      }
      return true;
    })));
    f.RunToIdle();
    EXPECT_TRUE(server.WaitDone());
    EXPECT_EQ(server.failures(), "");
    EXPECT_EQ(f.hooks.notified, std::vector<int>{-1});
  }
  {
    Fixture f;
    ScriptedServer server({Silence()});
    ASSERT_TRUE(f.StartWith(server, QuitAtGreeting()));
    f.conversation->Stop();
    EXPECT_EQ(f.conversation->socket(), kNoSocket);
    EXPECT_TRUE(server.WaitDone());
    EXPECT_TRUE(server.lines().empty());
  }
}

// With IPCache the address that connected is used again without a lookup (and without "Finding
// Host..."), until a connect to it fails.
TEST(Conversation, TheCachedAddressIsTheOneThatConnectedAndIsDroppedWhenItFails) {
  int lookups = 0;
  Fixture f([&lookups](const std::string&) {
    ++lookups;
    return std::vector<IpAddress>{*ParseIpLiteral("127.0.0.1")};
  });
  store::MailBox& box = *f.table.boxes[2];
  box.Server = "mail.example";
  {
    ScriptedServer server({Send("+OK ready\r\n"), Expect("QUIT"), Close()});
    ASSERT_TRUE(f.StartWith(server, QuitAtGreeting()));
    f.RunToIdle();
    EXPECT_EQ(box.PopAddr, "127.0.0.1");
  }
  f.ports.calls.clear();
  {
    ScriptedServer server({Send("+OK ready\r\n"), Expect("QUIT"), Close()});
    ASSERT_TRUE(f.StartWith(server, QuitAtGreeting()));
    f.RunToIdle();
    EXPECT_EQ(server.failures(), "");
  }
  EXPECT_EQ(lookups, 1);
  EXPECT_FALSE(f.Called("status 1 [Work] Finding Host..."));
  const std::uint16_t gone = ScriptedServer({}).port();  // nothing listens there any more
  box.Port = gone;
  (void)f.conversation->Start(2, ConversationKind::kCheck, QuitAtGreeting(), false);  // refused now or soon
  f.RunToIdle();
  EXPECT_TRUE(f.Called("message Error - Work: Connection failed"));
  EXPECT_EQ(box.PopAddr, "");
}

// A name lookup that takes five seconds unless released earlier: a slow resolver behind the seam.
// Its state is shared with the worker, which may outlive the test's stack.
struct SlowLookup {
  struct State {
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
  };
  std::shared_ptr<State> state = std::make_shared<State>();
  Resolver resolver() const {
    return [state = state](const std::string&) {
      std::unique_lock lock(state->mutex);
      state->released.wait_for(lock, 5s, [&] { return state->release; });
      return std::vector<IpAddress>{*ParseIpLiteral("127.0.0.1")};
    };
  }
  void Release() const {
    {
      const std::lock_guard lock(state->mutex);
      state->release = true;
    }
    state->released.notify_all();
  }
};

// A server that greets and then never reads again.
struct StalledReader {
  int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int accepted = -1;
  int port = 0;
  StalledReader() {
    sockaddr_in here{};
    here.sin_family = AF_INET;
    here.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof here;
    EXPECT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&here), sizeof here), 0);
    EXPECT_EQ(::listen(listener, 1), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&here), &length);
    port = ntohs(here.sin_port);
  }
  void Greet() {
    accepted = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_EQ(::write(accepted, "+OK\r\n", 5), 5);
  }
  ~StalledReader() {
    if (accepted >= 0) ::close(accepted);
    ::close(listener);
  }
};

// Whatever the conversation waits for (a slow lookup, a connect that no server answers, a server
// that takes no more of a large message), the event loop keeps running, Stop ends it at once and
// the time-out with its text, and no descriptor or thread is left behind.
TEST(Conversation, StopAndTheTimeOutEndEveryWaitAtOnceWithoutBlockingTheLoop) {
  enum class Wait { kLookup, kConnect, kSendQueue };
  const std::size_t threads = test::RunningThreads();
  for (const Wait wait : {Wait::kLookup, Wait::kConnect, Wait::kSendQueue}) {
    for (const bool stop : {true, false}) {
      const std::string what = std::to_string(static_cast<int>(wait)) + (stop ? " stop" : " time-out");
      const test::UnansweredListener unanswered;
      StalledReader stalled;
      const SlowLookup slow;
      Fixture f(slow.resolver());
      f.settings.TimeoutInterval = 1;  // 300 ms here
      f.conversation->SetMinuteForTesting(300ms);
      store::MailBox& box = *f.table.boxes[2];
      box.Server = wait == Wait::kLookup ? "slow.example" : "127.0.0.1";
      box.Port = wait == Wait::kSendQueue ? stalled.port : unanswered.port();
      const std::size_t descriptors = test::OpenDescriptors();

      ASSERT_TRUE(f.conversation->Start(2, ConversationKind::kCheck,
                                        std::make_unique<FunctionHandler>([](Conversation& c, auto, auto&) {
                                          c.step = 1;
                                          return c.Send(std::string(32 << 20, 'x')) == 0;
                                        }),
                                        false))
          << what;
      int ticks = 0;
      f.loop.SetTimer(99, 10ms, [&] { ++ticks; });
      if (wait == Wait::kSendQueue) {
        f.loop.RunUntil([&] { return f.conversation->socket() > 0; });
        stalled.Greet();
      }
      f.loop.RunUntil([&] { return ticks >= 15; });  // the loop runs on, 150 ms into the wait
      EXPECT_NE(f.conversation->socket(), kNoSocket) << what;
      const auto start = std::chrono::steady_clock::now();
      if (stop) f.conversation->Stop();
      f.loop.RunUntil([&] { return f.conversation->socket() == kNoSocket; });
      const auto took = std::chrono::steady_clock::now() - start;
      f.loop.KillTimer(99);
      if (stop) {
        EXPECT_LT(took, 100ms) << what;
        EXPECT_FALSE(f.Called("message Error - Work: Connection timed-out")) << what;
      } else {
        EXPECT_TRUE(f.Called("message Error - Work: Connection timed-out")) << what;
      }
      EXPECT_EQ(f.conversation->mailbox(), -1) << what;
      EXPECT_EQ(test::OpenDescriptors(), descriptors + (wait == Wait::kSendQueue ? 1 : 0)) << what;  // + the accepted
      slow.Release();
    }
  }
  EXPECT_EQ(test::ThreadsSettledAt(threads), threads);
}

}  // namespace
}  // namespace zelk::net
