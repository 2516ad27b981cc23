#include "net/pop3_update.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "net/check_fixture.h"
#include "support/dovecot_server.h"
#include "support/fake_ports.h"
#include "support/fixed_clock.h"
#include "support/scripted_server.h"
#include "support/server_process.h"
#include "support/temp_dir.h"
#include "support/unanswered_listener.h"

namespace zelk::net {
namespace {

using test::Close;
using test::Expect;
using test::ScriptedServer;
using test::Send;
using test_support::Header;
using test_support::Quitting;
using test_support::Reply;
using test_support::Script;
using test_support::Steps;

constexpr const char* kNotSynchronised = "Mail numbers not synchronised\n\nNew and existing numbers must agree";

Steps Login() {
  return {Send("+OK ready\r\n"), Expect("USER me"), Send("+OK\r\n"), Expect("PASS secret"), Send("+OK\r\n"),
          Expect("CAPA"), Send("-ERR\r\n")};
}
// TOP n 0 answered with message `as`, DELE n accepted.
Steps Deleted(int n, int as = 0) {
  const std::string s = std::to_string(n);
  return {Expect("TOP " + s + " 0"), Send(Reply(Header(as ? as : n))), Expect("DELE " + s), Send("+OK\r\n")};
}

// An account "Work" (user "me", password "secret") at index 2, shown in the list, checked and
// updated over a conversation with every port recorded.
struct UpdateFixture {
  test::TempDir home;
  config::Settings settings;
  store::MailBoxTable table;
  platform::PollEventLoop loop;
  test::FakePorts ports;
  WorkHooks hooks;
  ConversationLog log{home.path(), true};
  test::FixedClock clock{{2006, 1, 2, 3, 10, 5, 9, 0}, 0};
  mime::LocalZone zone;
  std::unique_ptr<Conversation> conversation;

  explicit UpdateFixture(Resolver resolver = SystemResolver) {
    settings.RasCheckEndDisCon = 0;
    store::Init(table);
    store::NoSelector selector;
    store::AddMailBox(table, selector);
    box().Name = "Work";
    box().Server = "127.0.0.1";
    box().User = "me";
    box().Pass = "secret";
    conversation =
        std::make_unique<Conversation>(ConversationParts{loop, ports, ports, ports, hooks, log, clock, std::move(resolver)},
                                       settings, table);
  }
  store::MailBox& box() { return *table.boxes[2]; }
  // Items numbered 1..count as a check would have listed them.
  void Hold(int count) {
    for (int n = 1; n <= count; ++n) {
      auto item = std::make_shared<store::MailItem>();
      item->No = n;
      item->MessageId = "<" + std::to_string(n) + "@x>";
      item->Subject = "s" + std::to_string(n);
      item->Status = item->Mark = store::kStatusHeaderOnly;
      store::Append(box(), item);
    }
    box().MailCnt = box().LastNo = count;
    box().LastMessageId = "<" + std::to_string(count) + "@x>";
  }
  store::MailItem& item(int index) { return *box().Items[static_cast<std::size_t>(index)]; }
  void MarkItems(std::initializer_list<int> numbers, int mark) {
    for (const int n : numbers) item(n - 1).Mark = mark;
  }
  UpdateParts Parts() { return {settings, table, ports, hooks, zone, clock, {}}; }
  CheckParts CheckPartsOf() { return {settings, table, ports, ports, hooks, zone, clock, {}, {}}; }
  void RunToEnd() {
    loop.RunUntil([&] { return conversation->socket() == kNoSocket && !loop.HasTimer(kPollTimer); });
  }
  bool Update(int port) {
    box().Port = port;
    if (!StartUpdate(*conversation, 2, Parts())) return false;
    RunToEnd();
    return true;
  }
  bool Update(ScriptedServer& server) {
    const bool started = Update(server.port());
    EXPECT_TRUE(server.WaitDone());
    EXPECT_EQ(server.failures(), "");
    return started;
  }
  bool Check(int port) {
    box().Port = port;
    if (!StartCheck(*conversation, 2, false, CheckPartsOf())) return false;
    RunToEnd();
    return true;
  }
  std::string Error() const { return test::FirstMessageText(ports); }
  std::vector<std::string> ListCalls() const { return test::CallsOfKinds(ports, {"delete", "redraw", "suspend", "resume"}); }
  std::vector<std::string> Numbered() {
    std::vector<std::string> numbered;
    for (const auto& slot : box().Items) numbered.push_back(std::to_string(slot->No) + ":" + slot->Subject.value_or(""));
    return numbered;
  }
};

TEST(Pop3Update, DownloadsFirstThenVerifiesEachDeletionAndRenumbersOnceAtTheEnd) {
  UpdateFixture f;
  f.Hold(8);
  f.item(1).Mark = store::kMarkDownload;
  f.item(1).Size = "2000";
  f.MarkItems({3, 7}, store::kMarkDelete);
  std::string body;
  for (int line = 0; line < 98; ++line) body += "line\r\n";
  // The DELEs go out with the session's numbers: 7 stays 7 after 3 was deleted.
  ScriptedServer server(Script({Login(), {Expect("RETR 2"), Send(Reply(Header(2) + body))}, Deleted(3), Deleted(7),
                                Quitting()}));
  std::vector<std::string> going;  // the item a view finds at each row as it is told the row goes
  f.ports.removing = [&](int row) {
    for (const auto& slot : f.box().Items) {
      if (slot && row-- == 0) going.push_back(*slot->Subject);
    }
  };
  ASSERT_TRUE(f.Update(server));
  EXPECT_EQ(f.Error(), "");
  EXPECT_EQ(going, (std::vector<std::string>{"s3", "s7"}));
  EXPECT_EQ(f.Numbered(), (std::vector<std::string>{"1:s1", "2:s2", "3:s4", "4:s5", "5:s6", "6:s8"}));
  EXPECT_EQ(std::make_tuple(f.box().MailCnt, f.box().LastNo, f.box().LastMessageId),
            std::make_tuple(6, 6, std::optional<std::string>("<8@x>")));
  const store::MailItem& downloaded = f.item(1);
  EXPECT_EQ(std::make_tuple(downloaded.Download, downloaded.Mark, downloaded.Status, downloaded.Size),
            std::make_tuple(1, store::kStatusUnread, store::kStatusUnread, store::OptionalText("2000")));
  EXPECT_EQ(downloaded.Body, body);
  EXPECT_EQ(f.ListCalls(),
            (std::vector<std::string>{"redraw 1", "suspend", "delete 2", "deleted 2", "delete 5", "deleted 5", "resume"}));
  // 103 lines: the progress with the first line and every 51 lines after it.
  std::vector<std::string> progress;
  for (const std::string& call : f.ports.calls) {
    if (call.ends_with(" byte Recv")) progress.push_back(call);
  }
  const std::size_t all = Header(2).size() - 10 + 98 * 4;  // the text without its line ends
  EXPECT_EQ(progress.size(), 3u);
  EXPECT_EQ(progress.front(), "status 1 [Work] 17 byte Recv");
  EXPECT_EQ(progress.back(), "status 1 [Work] " + std::to_string(all) + " byte Recv");
  EXPECT_EQ(std::count(f.ports.calls.begin(), f.ports.calls.end(), "status 1 [Work] Receiving..."), 1);
}

TEST(Pop3Update, AServerRefusingTopHasEveryDeletionVerifiedWithRetr) {
  UpdateFixture f;
  f.settings.SocLog = 1;
  f.Hold(3);
  f.MarkItems({1, 3}, store::kMarkDelete);
  ScriptedServer server(Script({Login(),
                                {Expect("TOP 1 0"), Send("-ERR no TOP\r\n"), Expect("RETR 1"), Send(Reply(Header(1) + "b\r\n")),
                                 Expect("DELE 1"), Send("+OK\r\n"), Expect("RETR 3"), Send(Reply(Header(3))),
                                 Expect("DELE 3"), Send("+OK\r\n")},
                                Quitting()}));
  ASSERT_TRUE(f.Update(server));
  EXPECT_EQ(f.Error(), "");
  EXPECT_EQ(f.Numbered(), (std::vector<std::string>{"1:s2"}));
  // The last item went: LastNo follows the last one left.
  EXPECT_EQ(std::make_tuple(f.box().MailCnt, f.box().LastNo, f.box().LastMessageId),
            std::make_tuple(1, 1, std::optional<std::string>("<2@x>")));
}

TEST(Pop3Update, DownloadsKeepTheHeaderWithShiftAndLoseTheirMarkWithoutABody) {
  for (const bool shift : {false, true}) {
    SCOPED_TRACE(shift);
    UpdateFixture f;
    f.Hold(2);
    f.MarkItems({1, 2}, store::kMarkDownload);
    f.conversation->flags.shift = shift;
    // Message 1 has no body at all: it must not be fetched again and again.
    ScriptedServer server(Script({Login(), {Expect("RETR 1"), Send(Reply(Header(1))), Expect("RETR 2"),
                                            Send(Reply(Header(2) + "text\r\n"))}, Quitting()}));
    ASSERT_TRUE(f.Update(server));
    EXPECT_EQ(f.Error(), "");
    EXPECT_EQ(std::make_tuple(f.item(0).Mark, f.item(0).Download), std::make_tuple(store::kStatusUnread, 1));
    EXPECT_EQ(f.item(1).Body, shift ? Header(2) + "text\r\n" : "text\r\n");
    EXPECT_EQ(f.box().MailCnt, 2);
  }
}

TEST(Pop3Update, ARefusedDeleWithdrawsEveryDeletionAndRemovesNothing) {
  UpdateFixture f;
  f.Hold(3);
  f.MarkItems({1, 2}, store::kMarkDelete);
  ScriptedServer server(Script({Login(), Deleted(1),
                                {Expect("TOP 2 0"), Send(Reply(Header(2))), Expect("DELE 2"), Send("-ERR locked\r\n"),
                                 Expect("RSET"), Expect("QUIT")}}));
  ASSERT_TRUE(f.Update(server));
  EXPECT_EQ(f.Error(), "Deletion failed\n\n-ERR locked");
  EXPECT_EQ(f.Numbered(), (std::vector<std::string>{"1:s1", "2:s2", "3:s3"}));
  EXPECT_EQ(std::make_tuple(f.item(0).Mark, f.item(1).Mark), std::make_tuple(store::kMarkDelete, store::kMarkDelete));
  EXPECT_EQ(std::make_tuple(f.box().MailCnt, f.box().LastNo), std::make_tuple(3, 3));
  EXPECT_EQ(f.ListCalls(), std::vector<std::string>{});
  // RSET is not shown.
  EXPECT_EQ(std::count_if(f.ports.calls.begin(), f.ports.calls.end(),
                          [](const std::string& call) { return call.find("RSET") != std::string::npos; }), 0);
}

// An item that recorded the server's id is deleted only while that number still has that id:
// another message under its number is never deleted, even with the same Message-Id (a copy).
TEST(Pop3Update, ADeletionFirstMakesSureTheNumberStillHasTheItemsServerId) {
  const Steps offered = {Send("+OK ready\r\n"), Expect("USER me"), Send("+OK\r\n"), Expect("PASS secret"),
                         Send("+OK\r\n"), Expect("CAPA"), Send("+OK\r\nUIDL\r\n.\r\n")};
  struct Case {
    const char* answer;  // to UIDL 2
    Steps rest;
    const char* error;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {"+OK 2 id-2", Script({Deleted(2), Quitting()}), "", {"1:s1"}},
      {"+OK 2 id-7", {Expect("QUIT")}, kNotSynchronised, {"1:s1", "2:s2"}},
      {"+OK 2", {Expect("QUIT")}, kNotSynchronised, {"1:s1", "2:s2"}},
      {"-ERR no such message", {Expect("QUIT")}, kNotSynchronised, {"1:s1", "2:s2"}},
  };
  for (const Case& c : cases) {
    UpdateFixture f;
    f.Hold(2);
    f.item(1).ServerUidl = "id-2";
    f.MarkItems({2}, store::kMarkDelete);
    ScriptedServer server(Script({offered, {Expect("UIDL 2"), Send(std::string(c.answer) + "\r\n")}, c.rest}));
    ASSERT_TRUE(f.Update(server));
    EXPECT_EQ(f.Error(), c.error) << c.answer;
    EXPECT_EQ(f.Numbered(), c.left) << c.answer;
  }
}

TEST(Pop3Update, ErrorEndsLeaveEveryItemAsItWasAndWithdrawAcceptedDeletions) {
  struct Case {
    const char* name;
    int download;  // the item marked for download, else 0
    Steps script;
    const char* error;
  };
  Case cases[] = {
      {"download of another message", 2, Script({Login(), {Expect("RETR 2"), Send(Reply(Header(9) + "x\r\n")),
                                                           Expect("QUIT")}}), kNotSynchronised},
      // Item 3 has no identity to prove anything with.
      {"download into an item without identity", 3, Script({Login(), {Expect("RETR 3"), Send(Reply(Header(3) + "x\r\n")),
                                                                      Expect("QUIT")}}), kNotSynchronised},
      {"download refused", 2, Script({Login(), {Expect("RETR 2"), Send("-ERR no such message\r\n"), Expect("QUIT")}}),
       "RETR was not accepted\n\n-ERR no such message"},
      // Message 1's DELE was accepted: it is withdrawn, as the items keep their marks and numbers.
      {"deletion of another message", 0, Script({Login(), Deleted(1), {Expect("TOP 2 0"), Send(Reply(Header(3))),
                                                                       Expect("RSET"), Expect("QUIT")}}), kNotSynchronised},
      {"verification refused twice", 0, Script({Login(), {Expect("TOP 1 0"), Send("-ERR\r\n"), Expect("RETR 1"),
                                                          Send("-ERR gone\r\n"), Expect("QUIT")}}),
       "RETR was not accepted\n\n-ERR gone"},
      // Without QUIT the server deletes nothing, and nothing is removed here either.
      {"close before quit", 0, Script({Login(), Deleted(1), {Expect("TOP 2 0"), Send(Reply(Header(2))),
                                                             Expect("DELE 2"), Close()}}), "Server disconnected"},
  };
  for (Case& test : cases) {
    SCOPED_TRACE(test.name);
    UpdateFixture f;
    f.Hold(3);
    f.item(2).MessageId.reset();
    if (test.download) {
      f.item(test.download - 1).Mark = store::kMarkDownload;
    } else {
      f.MarkItems({1, 2}, store::kMarkDelete);
    }
    ScriptedServer server(std::move(test.script));
    ASSERT_TRUE(f.Update(server));
    EXPECT_EQ(f.Error(), test.error);
    EXPECT_EQ(f.Numbered(), (std::vector<std::string>{"1:s1", "2:s2", "3:s3"}));
    if (test.download) {
      const store::MailItem& item = f.item(test.download - 1);
      EXPECT_EQ(std::make_tuple(item.Mark, item.Download, item.Body),
                std::make_tuple(store::kMarkDownload, 0, store::OptionalText()));
    }
    EXPECT_EQ(f.box().MailCnt, 3);
    // The error end's QUIT goes out unshown.
    EXPECT_EQ(std::count_if(f.ports.calls.begin(), f.ports.calls.end(),
                            [](const std::string& call) { return call.ends_with("QUIT\r\n"); }), 0);
  }
}

TEST(Pop3Update, NothingMarkedOrARefusedWarningOpensNoConnection) {
  UpdateFixture f;
  f.Hold(2);
  f.box().Port = 1;  // nothing listens: a connection attempt would show an error
  EXPECT_FALSE(HasUpdateWork(f.box()));
  EXPECT_FALSE(StartUpdate(*f.conversation, 2, f.Parts()));
  EXPECT_FALSE(StartUpdate(*f.conversation, 1, f.Parts()));  // the Outbox is no POP3 account
  f.item(0).Mark = store::kMarkDelete;
  EXPECT_TRUE(UpdateNeedsDeletionWarning(f.box()));
  EXPECT_FALSE(UpdateAfterCheck(*f.conversation, 2, -1, f.ports, f.Parts()));  // no check was counted
  EXPECT_FALSE(UpdateAfterCheck(*f.conversation, 2, 0, f.ports, f.Parts()));   // the warning answered No
  EXPECT_EQ(f.ports.calls, (std::vector<std::string>{"message Update account: " + std::string(kDeletionWarning)}));
  EXPECT_FALSE(f.conversation->flags.messageBoxShowing);
  f.item(0).Mark = store::kMarkDownload;
  EXPECT_FALSE(UpdateNeedsDeletionWarning(f.box()));
}

TEST(Pop3Update, AfterACheckTheWarningAnsweredYesStartsTheUpdate) {
  UpdateFixture f;
  f.Hold(2);
  f.item(0).Mark = store::kMarkDelete;
  f.ports.answers.push_back(ports::Answer::kYes);
  f.conversation->flags.shift = true;
  ScriptedServer server(Script({Login(), Deleted(1), Quitting()}));
  f.box().Port = server.port();
  ASSERT_TRUE(UpdateAfterCheck(*f.conversation, 2, 0, f.ports, f.Parts()));
  EXPECT_FALSE(f.conversation->flags.shift);
  f.RunToEnd();
  EXPECT_TRUE(server.WaitDone());
  EXPECT_EQ(server.failures(), "");
  EXPECT_EQ(f.Numbered(), (std::vector<std::string>{"1:s2"}));
}

class Pop3UpdateDovecot : public test::DovecotTest {
 protected:
  static std::string Message(int n) { return Header(n) + "first line\r\nsecond line\r\n"; }
};

TEST_F(Pop3UpdateDovecot, DownloadsAndDeletionsLeaveTheItemsNumberedAsTheServerNumbersThem) {
  test::DovecotServer server({.users = {{"me", "secret"}}});
  for (const int n : {1, 2, 3, 4, 5}) server.DeliverMessage("me", Message(n));
  UpdateFixture f;
  f.settings.ListGetLine = 1;
  ASSERT_TRUE(f.Check(server.port()));
  ASSERT_EQ(f.box().Items.size(), 5u) << f.Error() << server.LogTail();
  EXPECT_EQ(f.item(1).Body, "first line\r\n");

  f.item(1).Mark = store::kMarkDownload;
  f.MarkItems({1, 4, 5}, store::kMarkDelete);
  ASSERT_TRUE(f.Update(server.port()));
  ASSERT_EQ(f.Error(), "") << server.LogTail();
  EXPECT_EQ(server.MessageCount("me"), 2u);
  EXPECT_EQ(f.Numbered(), (std::vector<std::string>{"1:s2", "2:s3"}));
  EXPECT_EQ(std::make_tuple(f.item(0).Download, f.item(0).Body),
            std::make_tuple(1, store::OptionalText("first line\r\nsecond line\r\n")));
  EXPECT_EQ(std::make_tuple(f.box().MailCnt, f.box().LastNo, f.box().LastMessageId),
            std::make_tuple(2, 2, std::optional<std::string>("<3@x>")));

  // The server agrees with the new numbers: a check verifies the last one and lists only new mail.
  server.DeliverMessage("me", Message(6));
  f.ports.calls.clear();
  ASSERT_TRUE(f.Check(server.port()));
  ASSERT_EQ(f.Error(), "") << server.LogTail();
  EXPECT_EQ(f.Numbered(), (std::vector<std::string>{"1:s2", "2:s3", "3:s6"}));
  // UIDL only for the new message's id, after the verification: nothing was re-synchronised.
  const auto uidl = std::find(f.ports.calls.begin(), f.ports.calls.end(), "status 1 [Work] UIDL\r\n");
  EXPECT_LT(std::find(f.ports.calls.begin(), f.ports.calls.end(), "status 1 [Work] TOP 2 0\r\n"), uidl);
  EXPECT_EQ(std::count(f.ports.calls.begin(), f.ports.calls.end(), "status 1 [Work] UIDL\r\n"), 1);
  EXPECT_EQ(test::CallsOfKinds(f.ports, {"delete"}), (std::vector<std::string>{}));

  // And an update by those numbers deletes the right message.
  f.item(0).Mark = store::kMarkDelete;
  ASSERT_TRUE(f.Update(server.port()));
  ASSERT_EQ(f.Error(), "") << server.LogTail();
  EXPECT_EQ(server.MessageCount("me"), 2u);
  EXPECT_EQ(f.Numbered(), (std::vector<std::string>{"1:s3", "2:s6"}));
}

// Five messages checked, the second downloaded, the third read, the fourth marked for deletion;
// then another client deletes one at the start, in the middle or at the end, sometimes as new mail
// arrives. Whether or not the server takes the messages' X-UIDL headers for its ids (Dovecot does
// not by default), every item still on the server keeps its text, state and mark, and the update
// then deletes the marked one and no other.
TEST_F(Pop3UpdateDovecot, ItemsKeepTextStateAndMarksWhenAnotherClientDeletesMail) {
  struct Case {
    int deleted;
    bool arrives;
    std::vector<std::string> afterCheck;
    std::vector<std::string> afterUpdate;
  };
  const Case cases[] = {
      {1, false, {"1:s2", "2:s3", "3:s4", "4:s5"}, {"1:s2", "2:s3", "3:s5"}},
      {3, true, {"1:s1", "2:s2", "3:s4", "4:s5", "5:s6"}, {"1:s1", "2:s2", "3:s5", "4:s6"}},
      {5, false, {"1:s1", "2:s2", "3:s3", "4:s4"}, {"1:s1", "2:s2", "3:s3"}},
      {5, true, {"1:s1", "2:s2", "3:s3", "4:s4", "5:s6"}, {"1:s1", "2:s2", "3:s3", "4:s6"}},
  };
  for (const bool reuseXuidl : {false, true}) {
    test::DovecotServer server({.users = {{"me", "secret"}}, .reuseXuidl = reuseXuidl});
    for (const Case& c : cases) {
      SCOPED_TRACE("X-UIDL " + std::to_string(reuseXuidl) + ", message " + std::to_string(c.deleted) + " deleted");
      server.EmptyMailbox("me");
      for (const int n : {1, 2, 3, 4, 5}) server.DeliverMessage("me", Message(n));
      UpdateFixture f;
      f.settings.ListGetLine = 0;
      ASSERT_TRUE(f.Check(server.port()));
      ASSERT_EQ(f.box().Items.size(), 5u) << f.Error() << server.LogTail();
      f.item(1).Mark = store::kMarkDownload;
      ASSERT_TRUE(f.Update(server.port()));
      ASSERT_EQ(f.Error(), "") << server.LogTail();
      f.item(2).Status = f.item(2).Mark = store::kStatusRead;
      f.item(3).Mark = store::kMarkDelete;

      server.DeleteMessageBehindTheClientsBack("me", static_cast<std::size_t>(c.deleted));
      if (c.arrives) server.DeliverMessage("me", Message(6));
      ASSERT_TRUE(f.Check(server.port()));
      ASSERT_EQ(f.Error(), "") << server.LogTail();
      EXPECT_EQ(f.Numbered(), c.afterCheck);
      for (const auto& item : f.box().Items) {
        const std::string subject = item->Subject.value_or("");
        EXPECT_EQ(item->Download == 1, subject == "s2") << subject;
        if (subject == "s2") {
          EXPECT_EQ(item->Body, "first line\r\nsecond line\r\n");
        }
        EXPECT_EQ(item->Status, subject == "s3" ? store::kStatusRead : subject == "s2" ? store::kStatusUnread : 0) << subject;
        EXPECT_EQ(item->Mark == store::kMarkDelete, subject == "s4") << subject;
        EXPECT_TRUE(item->ServerUidl) << subject;
      }

      ASSERT_TRUE(f.Update(server.port()));
      ASSERT_EQ(f.Error(), "") << server.LogTail();
      EXPECT_EQ(f.Numbered(), c.afterUpdate);
      EXPECT_EQ(server.MessageCount("me"), c.afterUpdate.size());
    }
  }
}

// A server reachable only over IPv6: by its address as the account names it, and by a name whose
// first address never answers, where the second, tried beside it after 250 ms, wins.
TEST_F(Pop3UpdateDovecot, AServerOnlyOnIpv6IsCheckedAndUpdatedByItsAddressOrByAName) {
  if (!test::Ipv6LoopbackWorks()) GTEST_SKIP() << "this machine has no IPv6 loopback (::1)";
  test::DovecotServer server({.users = {{"me", "secret"}}, .address = "::1"});
  for (const int n : {1, 2, 3}) server.DeliverMessage("me", Message(n));
  {
    UpdateFixture f;
    f.box().Server = "::1";
    ASSERT_TRUE(f.Check(server.port()));
    ASSERT_EQ(f.Error(), "") << server.LogTail();
    EXPECT_EQ(f.Numbered(), (std::vector<std::string>{"1:s1", "2:s2", "3:s3"}));
    EXPECT_EQ(f.box().PopAddr, "::1");
    f.item(0).Mark = store::kMarkDelete;
    ASSERT_TRUE(f.Update(server.port()));
    ASSERT_EQ(f.Error(), "") << server.LogTail();
    EXPECT_EQ(server.MessageCount("me"), 2u);
  }
  const test::UnansweredListener hanging("127.0.0.1", server.port());
  UpdateFixture f([](const std::string& name) {
    return name == "mail.example" ? std::vector<IpAddress>{*ParseIpLiteral("127.0.0.1"), *ParseIpLiteral("::1")}
                                  : std::vector<IpAddress>{};
  });
  f.box().Server = "mail.example";
  f.box().Port = server.port();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(StartCheck(*f.conversation, 2, false, f.CheckPartsOf()));
  f.loop.RunUntil([&] { return f.conversation->socket() != kPreparing; });
  const auto connected = std::chrono::steady_clock::now() - start;
  EXPECT_GE(connected, kNextAttemptDelay);
  EXPECT_LE(connected, std::chrono::milliseconds(300));
  f.RunToEnd();
  ASSERT_EQ(f.Error(), "") << server.LogTail();
  EXPECT_EQ(f.Numbered(), (std::vector<std::string>{"1:s2", "2:s3"}));
  EXPECT_EQ(f.box().PopAddr, "::1");  // the address that worked, reused with IPCache
}

}  // namespace
}  // namespace zelk::net
