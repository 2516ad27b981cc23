#include "net/conversation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/files.h"
#include "support/fake_ports.h"
#include "support/fixed_clock.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

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

  Fixture() {
    settings.RasCheckEndDisCon = 0;
    store::Init(table);
    store::NoSelector selector;
    store::AddMailBox(table, selector);
    store::MailBox& box = *table.boxes[2];
    box.Name = "Work";
    box.Server = "127.0.0.1";
    box.Pass = "secret";
    table.selected = 0;
    conversation = std::make_unique<Conversation>(ConversationParts{loop, ports, ports, ports, hooks, log, clock}, settings, table);
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
  EXPECT_TRUE(f.Called("tray busy"));
  f.RunToIdle();
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

  f.ports.passwords.push_back(ui::DialogPort::Password{"typed", true});
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

}  // namespace
}  // namespace zelk::net
