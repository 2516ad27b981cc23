#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "mime/outgoing_message.h"
#include "platform/files.h"
#include "smtp/smtp_send.h"
#include "support/fake_ports.h"
#include "support/fixed_clock.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

// What the SMTP tests share: an Outbox and two accounts, a conversation whose ports record every
// call, and the message text as a server must receive it.
namespace zelk::smtp::test_support {

using namespace std::chrono_literals;
using Steps = std::vector<test::ScriptStep>;

// The parts of a server's script, one after another.
inline Steps Script(std::initializer_list<Steps> parts) {
  Steps all;
  for (const Steps& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Accounts "Work" (index 2: me@example.org, user "me", password "secret", no authentication) and
// "Home"; the Outbox is shown. Message-Ids are off, so a message's text is the same each time.
struct SendFixture {
  test::TempDir home;
  config::Settings settings;
  store::MailBoxTable table;
  platform::PollEventLoop loop;
  test::FakePorts ports;
  net::WorkHooks hooks;
  net::ConversationLog log{home.path(), true};
  test::FixedClock clock{{2006, 1, 2, 3, 10, 5, 9, 0}, 0};
  std::unique_ptr<net::Conversation> conversation;

  SendFixture() {
    settings.RasCheckEndDisCon = 0;
    settings.SendMessageId = 0;
    store::Init(table);
    store::Outbox(table).Name = store::kOutboxName;
    store::NoSelector selector;
    for (const char* name : {"Work", "Home"}) {
      store::MailBox& box = *table.boxes[static_cast<std::size_t>(store::AddMailBox(table, selector))];
      box.Name = name;
      box.SmtpServer = "127.0.0.1";
      box.MailAddress = "me@example.org";
      box.User = "me";
      box.Pass = "secret";
    }
    table.selected = store::kOutboxIndex;
    conversation = std::make_unique<net::Conversation>(
        net::ConversationParts{loop, ports, ports, ports, hooks, log, clock}, settings, table);
    conversation->SetMinuteForTesting(200ms);
  }
  store::MailBox& work() { return *table.boxes[2]; }
  store::ItemRef Queue(store::OptionalText to, store::OptionalText cc = {}, store::OptionalText bcc = {},
                       const char* account = "Work") {
    auto item = std::make_shared<store::MailItem>();
    item->To = std::move(to);
    item->Cc = std::move(cc);
    item->Bcc = std::move(bcc);
    item->Subject = "note " + std::to_string(store::Outbox(table).Items.size());
    item->Body = "Hello\r\n..a dotted line\r\n";
    item->MailBoxName = account;
    item->Mark = store::kMarkSend;
    store::Append(store::Outbox(table), item);
    return item;
  }
  // The lines of the message as the server must receive them, then `reply`.
  Steps Message(const store::ItemRef& item, const std::string& reply = "250 queued\r\n") {
    using test::Expect;
    store::MailItem copy = *item;
    platform::Text error;
    mime::OutgoingOptions options;
    options.sendMessageId = 0;
    const std::string text = mime::BuildMessageText(copy, work(), options, clock, error).value_or("");
    EXPECT_TRUE(text.ends_with("\r\n.\r\n")) << error;
    Steps steps;
    for (std::size_t at = 0, end; at < text.size(); at = end + 2) {
      end = text.find("\r\n", at);
      steps.push_back(Expect(text.substr(at, end - at)));
    }
    steps.push_back(test::Send(reply));
    return steps;
  }
  SendParts Parts() { return {settings, table, ports, ports, clock, home.path(), {}}; }
  // Both accounts send through the server at `port`.
  bool Start(int port, const store::ItemRef& item, Continuation mode) {
    for (std::size_t i = 2; i < table.boxes.size(); ++i) table.boxes[i]->SmtpPort = port;
    return StartSend(*conversation, item, mode, Parts());
  }
  void RunToIdle() {
    loop.RunUntil([&] { return conversation->socket() == net::kNoSocket && !loop.HasTimer(net::kPollTimer); });
  }
  bool Run(test::ScriptedServer& server, const store::ItemRef& item, Continuation mode = Continuation::kNextMarked) {
    if (!Start(server.port(), item, mode)) return false;
    RunToIdle();
    EXPECT_TRUE(server.WaitDone());
    EXPECT_EQ(server.failures(), "");
    return true;
  }
  // The text of the error box, which sending titles "Error - [Outbox]".
  std::string Error() const {
    const std::string box = "message Error - [Outbox]: ";
    for (const std::string& call : ports.calls) {
      if (call.starts_with("message ")) return call.starts_with(box) ? call.substr(box.size()) : call;
    }
    return "";
  }
  auto Count(const std::string& call) const { return std::count(ports.calls.begin(), ports.calls.end(), call); }
  std::string Log() const { return platform::ReadWholeFile(log.path()).value_or(""); }
};

}  // namespace zelk::smtp::test_support
