#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/pop3_check.h"
#include "support/fake_ports.h"
#include "support/fixed_clock.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

// What the POP3 check tests share: scripted message texts and dialogue, and an account checked
// over a conversation whose ports record every call.
namespace zelk::net::test_support {

using test::Close;
using test::Expect;
using test::ScriptedServer;
using test::ScriptStep;
using test::Send;
using Steps = std::vector<ScriptStep>;

inline std::string Header(int n) {
  const std::string s = std::to_string(n);
  return "Message-Id: <" + s + "@x>\r\nX-UIDL: u" + s + "\r\nSubject: s" + s +
         "\r\nDate: Tue, 3 Jan 2006 01:00:00 +0000\r\n\r\n";
}
inline std::string Reply(const std::string& text) { return "+OK\r\n" + text + ".\r\n"; }

inline store::ItemRef Item(int n) {
  auto item = std::make_shared<store::MailItem>();
  item->No = n;
  item->MessageId = "<" + std::to_string(n) + "@x>";
  item->UIDL = "u" + std::to_string(n);
  return item;
}

inline Steps Login() {
  return {Send("+OK ready\r\n"), Expect("USER me"), Send("+OK\r\n"), Expect("PASS secret"), Send("+OK\r\n"),
          Expect("CAPA"), Send("-ERR\r\n"), Expect("STAT")};
}
// LIST n and TOP n 100 answered with message n.
inline Steps Listed(int n) {
  const std::string s = std::to_string(n);
  return {Expect("LIST " + s), Send("+OK " + s + " 100\r\n"), Expect("TOP " + s + " 100"),
          Send(Reply(Header(n) + "body " + s + "\r\n"))};
}
inline Steps Quitting() { return {Expect("QUIT"), Send("+OK bye\r\n"), Close()}; }
inline Steps Script(std::initializer_list<Steps> parts) {
  Steps all;
  for (const Steps& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// An account "Work" (user "me", password "secret") at index 2, shown in the list, checked over
// a conversation with every port recorded.
struct CheckFixture {
  test::TempDir home;
  config::Settings settings;
  store::MailBoxTable table;
  platform::PollEventLoop loop;
  test::FakePorts ports;
  WorkHooks hooks;
  ConversationLog log{home.path(), true};
  test::FixedClock clock{{2006, 1, 2, 3, 10, 5, 9, 0}, 0};
  mime::LocalZone zone;
  bool notice = false;
  std::unique_ptr<Conversation> conversation;

  CheckFixture() {
    settings.RasCheckEndDisCon = 0;
    store::Init(table);
    store::NoSelector selector;
    store::AddMailBox(table, selector);
    box().Name = "Work";
    box().Server = "127.0.0.1";
    box().User = "me";
    box().Pass = "secret";
    conversation =
        std::make_unique<Conversation>(ConversationParts{loop, ports, ports, ports, hooks, log, clock}, settings, table);
    conversation->flags.newMailCount = 0;
  }
  store::MailBox& box() { return *table.boxes[2]; }
  void Hold(std::initializer_list<int> numbers) {
    for (const int n : numbers) store::Append(box(), Item(n));
  }
  CheckParts Parts() { return {settings, table, ports, ports, hooks, zone, clock, {}, [this] { return notice; }}; }
  bool Check(int port, bool loginOnly = false) {
    box().Port = port;
    if (!StartCheck(*conversation, 2, loginOnly, Parts())) return false;
    loop.RunUntil([&] { return conversation->socket() == kNoSocket && !loop.HasTimer(kPollTimer); });
    return true;
  }
  bool Check(ScriptedServer& server, bool loginOnly = false) {
    const bool started = Check(server.port(), loginOnly);
    EXPECT_TRUE(server.WaitDone());
    EXPECT_EQ(server.failures(), "");
    return started;
  }
  std::string Error() const { return test::FirstMessageText(ports); }
  std::vector<std::string> ListCalls() const {
    return test::CallsOfKinds(ports,
                              {"expect", "insert", "delete", "reset", "select", "scroll", "redraw", "suspend", "resume"});
  }
  std::vector<int> Numbers() {
    std::vector<int> numbers;
    for (const auto& item : box().Items) numbers.push_back(item->No);
    return numbers;
  }
};

}  // namespace zelk::net::test_support
