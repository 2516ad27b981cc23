#include "net/pop3_check.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "filter/filters.h"
#include "net/check_fixture.h"
#include "platform/files.h"
#include "support/dovecot_server.h"

namespace zelk::net {
namespace {

using namespace test_support;

TEST(Pop3Check, FirstCheckListsEveryMessageAndQuits) {
  CheckFixture f;
  f.settings.SocLog = 1;
  f.zone.Offset("+0900", f.clock);  // cached from an earlier check: STAT takes the zone afresh
  ScriptedServer server(Script({Login(), {Send("+OK 2 200\r\n")}, Listed(1), Listed(2), Quitting()}));
  ASSERT_TRUE(f.Check(server));
  EXPECT_EQ(f.Error(), "");
  ASSERT_EQ(f.Numbers(), (std::vector<int>{1, 2}));
  for (const auto& item : f.box().Items) {
    EXPECT_EQ(std::tie(item->New, item->Download, item->Size), std::make_tuple(1, 0, store::OptionalText("100")));
  }
  EXPECT_EQ(f.box().Items[1]->Body, "body 2\r\n");
  EXPECT_EQ(f.box().Items[1]->Date, "03/01/2006 01:00");
  EXPECT_EQ(std::tie(f.box().MailCnt, f.box().MailSize, f.box().LastNo, f.box().LastMessageId),
            std::make_tuple(2, 200, 2, std::optional<std::string>("<2@x>")));
  EXPECT_EQ(f.ListCalls(), (std::vector<std::string>{"expect 2", "insert 0", "select 0 focus", "scroll 0",
                                                     "insert 1", "scroll 1"}));
  EXPECT_EQ(f.conversation->flags.newMailCount, 2);
  EXPECT_EQ(f.box().NewMail, 1);
  // The password shows nowhere; the commands do.
  const std::string log = platform::ReadWholeFile(f.log.path()).value_or("");
  EXPECT_EQ(log.find("secret"), std::string::npos);
  EXPECT_NE(log.find("[Work] PASS ****\r\n[Work] +OK\r\n[Work] CAPA\r\n[Work] -ERR\r\n[Work] STAT\r\n[Work] +OK 2 200\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("[Work] QUIT\r\n[Work] +OK bye\r\n"), std::string::npos) << log;
}

TEST(Pop3Check, VerifiedLastMessageLeavesOnlyTheHigherNumbersNew) {
  CheckFixture f;
  f.Hold({1, 2, 3, 4, 5});
  f.box().Items[4]->New = 1;
  f.box().LastNo = 5;
  f.box().LastMessageId = "<5@x>";
  ScriptedServer server(Script({Login(), {Send("+OK 7 700\r\n"), Expect("TOP 5 0"), Send(Reply(Header(5)))},
                                Listed(6), Listed(7), Quitting()}));
  ASSERT_TRUE(f.Check(server));
  EXPECT_EQ(f.Error(), "");
  EXPECT_EQ(f.Numbers(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(f.box().Items[4]->New, 0);  // earlier new mail is old now, and redrawn so
  EXPECT_EQ(f.ListCalls(), (std::vector<std::string>{"expect 7", "redraw 4", "insert 5", "select 5 focus",
                                                     "scroll 5", "insert 6", "scroll 6"}));
  EXPECT_EQ(std::tie(f.box().LastNo, f.box().LastMessageId), std::make_tuple(7, std::optional<std::string>("<7@x>")));
}

TEST(Pop3Check, ChangedNumberingRenumbersKeptItemsByUidlAndDropsTheRest) {
  {
    CheckFixture f;
    f.Hold({1, 2, 3, 4});
    f.box().LastNo = 4;
    f.box().LastMessageId = "<4@x>";
    // Messages 1 and 3 went; 2 and 4 are numbers 1 and 2 now, 5 and 6 are new.
    ScriptedServer server(Script({Login(), {Send("+OK 4 400\r\n"), Expect("TOP 4 0"), Send(Reply(Header(6))),
                                            Expect("UIDL"), Send("+OK\r\n1 u2\r\n2 u4\r\n3 u5\r\n4 u6\r\n.\r\n")},
                                  Listed(3), Listed(4), Quitting()}));
    ASSERT_TRUE(f.Check(server));
    EXPECT_EQ(f.Error(), "");
    EXPECT_EQ(f.Numbers(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(f.box().Items[1]->MessageId, "<4@x>");
    EXPECT_EQ(f.box().Items[2]->MessageId, "<3@x>");  // message 3 of the server now (header 3)
    const std::vector<std::string> calls = f.ListCalls();
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 6),
              (std::vector<std::string>{"suspend", "delete 0", "deleted 0", "delete 1", "deleted 1", "resume"}));
    EXPECT_EQ(std::make_tuple(f.box().LastNo, f.box().LastMessageId), std::make_tuple(4, std::optional<std::string>("<4@x>")));
  }
  {
    // Fewer messages than LastNo: no verification, straight to UIDL; an item without UIDL goes.
    CheckFixture f;
    f.Hold({1, 2});
    f.box().Items[0]->UIDL.reset();
    f.box().LastNo = 2;
    f.box().LastMessageId = "<2@x>";
    ScriptedServer server(
        Script({Login(), {Send("+OK 1 100\r\n"), Expect("UIDL"), Send("+OK\r\n1 u2\r\n.\r\n")}, Quitting()}));
    ASSERT_TRUE(f.Check(server));
    EXPECT_EQ(f.Numbers(), (std::vector<int>{1}));
    EXPECT_EQ(std::make_tuple(f.box().LastNo, f.box().LastMessageId), std::make_tuple(1, std::optional<std::string>("<2@x>")));
  }
}

TEST(Pop3Check, NewItemsRecordTheServersIdsAndAListingThatDisagreesOnlyLosesThem) {
  struct Case {
    const char* listing;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {"+OK\r\n1 id a\r\n2 id-b\r\n.\r\n", {"id a", "id-b"}},
      {"+OK\r\n2 id-b\r\n.\r\n", {"-", "id-b"}},
      {"+OK\r\n1 id-a\r\n9 id-z\r\n.\r\n", {"-", "-"}},
      {"+OK\r\n1 id-a\r\n2 id-b\r\n3 id-c\r\n.\r\n", {"-", "-"}},
      {"-ERR not now\r\n", {"-", "-"}},
  };
  for (const Case& c : cases) {
    CheckFixture f;
    Steps login = Login();
    login[login.size() - 2] = Send("+OK\r\nUIDL\r\n.\r\n");  // CAPA offers UIDL
    ScriptedServer server(
        Script({login, {Send("+OK 2 200\r\n"), Expect("UIDL"), Send(c.listing)}, Listed(1), Listed(2), Quitting()}));
    ASSERT_TRUE(f.Check(server));
    EXPECT_EQ(f.Error(), "") << c.listing;
    std::vector<std::string> ids;
    for (const auto& item : f.box().Items) ids.push_back(item->ServerUidl.value_or("-"));
    EXPECT_EQ(ids, c.ids) << c.listing;
  }
}

TEST(Pop3Check, RefusedUidlRebuildsTheListFromMessageOne) {
  CheckFixture f;
  f.Hold({1, 2});
  f.box().LastNo = 2;
  f.box().LastMessageId = "<2@x>";
  // The verifying TOP is refused too, which also leads to UIDL.
  ScriptedServer server(Script({Login(), {Send("+OK 2 100\r\n"), Expect("TOP 2 0"), Send("-ERR no TOP\r\n"),
                                          Expect("UIDL"), Send("-ERR no UIDL here\r\n")},
                                Listed(1), Listed(2), Quitting()}));
  ASSERT_TRUE(f.Check(server));
  EXPECT_EQ(f.Error(), "");
  EXPECT_EQ(f.ListCalls().front(), "reset");
  EXPECT_EQ(f.Numbers(), (std::vector<int>{1, 2}));
  EXPECT_EQ(f.box().Items[0]->Body, "body 1\r\n");
}

TEST(Pop3Check, RefusedTopSwitchesToRetrForTheRestOfTheConversation) {
  CheckFixture f;
  ScriptedServer server(Script({Login(), {Send("+OK 2 200\r\n"), Expect("LIST 1"), Send("+OK 1 100\r\n"),
                                          Expect("TOP 1 100"), Send("-ERR no TOP\r\n"), Expect("RETR 1"),
                                          Send(Reply(Header(1) + "..dot\r\n")), Expect("LIST 2"), Send("+OK 2 100\r\n"),
                                          Expect("RETR 2"), Send(Reply(Header(2)))},
                                Quitting()}));
  ASSERT_TRUE(f.Check(server));
  EXPECT_EQ(f.Error(), "");
  ASSERT_EQ(f.Numbers(), (std::vector<int>{1, 2}));
  EXPECT_EQ(std::make_tuple(f.box().Items[0]->Download, f.box().Items[1]->Download), std::make_tuple(1, 1));
  EXPECT_EQ(f.box().Items[0]->Body, "..dot\r\n");  // stored dot-stuffed, as bodies are
}

TEST(Pop3Check, EmptyServerAndLoginOnlyQuitAtOnce) {
  {
    CheckFixture f;
    f.Hold({1, 2});
    f.box().LastNo = 2;
    ScriptedServer server(Script({Login(), {Send("+OK 0 0\r\n")}, Quitting()}));
    ASSERT_TRUE(f.Check(server));
    EXPECT_EQ(std::make_tuple(f.box().Items.size(), f.box().LastNo, f.box().MailCnt), std::make_tuple(0u, 0, 0));
    EXPECT_EQ(f.ListCalls(), (std::vector<std::string>{"reset", "reset done"}));
  }
  {
    CheckFixture f;
    EXPECT_FALSE(StartCheck(*f.conversation, store::kOutboxIndex, false, f.Parts()));
    f.box().NewMail = 1;
    Steps script = Login();
    script.resize(script.size() - 3);  // no CAPA, no STAT
    ScriptedServer server(Script({script, Quitting()}));
    ASSERT_TRUE(f.Check(server, true));
    EXPECT_EQ(std::make_tuple(f.Error(), f.box().NewMail), std::make_tuple("", 0));
  }
}

TEST(Pop3Check, ApopDigestCoversTheGreetingsLastTimestampAndThePassword) {
  CheckFixture f;
  f.box().APOP = 1;
  f.box().User = "mrose";
  f.box().Pass = "tanstaaf";
  ScriptedServer server({Send("+OK <old@x> ready <1896.697170952@dbc.mindspring.com> trailing\r\n"),
                         Expect("APOP mrose 3bb2a25fc1387c60fe0f855905965be0"), Send("+OK\r\n"), Expect("QUIT"),
                         Send("+OK\r\n"), Close()});
  ASSERT_TRUE(f.Check(server, true));
  EXPECT_EQ(f.Error(), "");
  EXPECT_EQ(f.ports.status[1], "[Work] +OK");
}

TEST(Pop3Check, ErrorEndsShowTheirTextAndLeaveTheListAsHandled) {
  const std::string longLine = "-ERR " + std::string(300, 'x');
  struct Case {
    const char* name;
    Steps script;
    std::string error;
    int apop = 0;
  } cases[] = {
      {"greeting", {Send("-ERR busy\r\n"), Expect("QUIT")}, "Response not analysed\n\n-ERR busy"},
      {"no timestamp", {Send("+OK ready\r\n"), Expect("QUIT")}, "Server does not accept APOP", 1},
      {"user", {Send("+OK\r\n"), Expect("USER me"), Send("-ERR who\r\n"), Expect("QUIT")},
       "Account was not accepted\n\n-ERR who"},
      {"capped", {Send("+OK\r\n"), Expect("USER me"), Send(longLine + "\r\n"), Expect("QUIT")},
       ("Account was not accepted\n\n" + longLine).substr(0, 255)},
      {"stat", Script({Login(), {Send("-ERR locked\r\n"), Expect("QUIT")}}), "STAT was not accepted\n\n-ERR locked"},
      {"negative count", Script({Login(), {Send("+OK -3 0\r\n"), Expect("QUIT")}}), "STAT was not accepted\n\n+OK -3 0"},
      {"no count", Script({Login(), {Send("+OK\r\n"), Expect("QUIT")}}), "STAT was not accepted\n\n+OK"},
      {"count too big", Script({Login(), {Send("+OK 99999999999 0\r\n"), Expect("QUIT")}}),
       "STAT was not accepted\n\n+OK 99999999999 0"},
      {"retr after top", Script({Login(), {Send("+OK 3 0\r\n")}, Listed(1), {Expect("LIST 2"), Send("+OK 2 5\r\n"),
         Expect("TOP 2 100"), Send("-ERR\r\n"), Expect("RETR 2"), Send("-ERR gone\r\n"), Expect("QUIT")}}),
       "RETR was not accepted\n\n-ERR gone"},
      {"close", Script({Login(), {Send("+OK 3 0\r\n")}, Listed(1), {Expect("LIST 2"), Close()}}), "Server disconnected"},
      {"uidl too long", Script({Login(), {Send("+OK 1 0\r\n"), Expect("UIDL"), Send("+OK\r\n1 u1\r\n1 u2\r\n"),
         Expect("QUIT")}}), "Memory Allocation error"},
      {"uidl number", Script({Login(), {Send("+OK 1 0\r\n"), Expect("UIDL"), Send("+OK\r\n-1 u1\r\n"),
         Expect("QUIT")}}), "Memory Allocation error"},
      {"uidl huge number", Script({Login(), {Send("+OK 1 0\r\n"), Expect("UIDL"),
         Send("+OK\r\n99999999999999999999 u1\r\n"), Expect("QUIT")}}), "Memory Allocation error"},
  };
  for (Case& test : cases) {
    SCOPED_TRACE(test.name);
    CheckFixture f;
    f.box().APOP = test.apop;
    const bool uidl = std::string(test.name).starts_with("uidl");
    if (uidl) {
      f.Hold({1, 2});
      f.box().LastNo = 2;
      f.box().LastMessageId = "<2@x>";
    }
    ScriptedServer server(std::move(test.script));
    ASSERT_TRUE(f.Check(server));
    EXPECT_EQ(f.Error(), test.error);
    EXPECT_EQ(std::count_if(f.ports.calls.begin(), f.ports.calls.end(),
                            [](const std::string& call) { return call.ends_with("QUIT\r\n"); }), 0);  // not shown
    // Message 1 was handled completely before the error; a failed UIDL changed nothing.
    EXPECT_EQ(f.box().LastNo, uidl ? 2 : f.box().Items.empty() ? 0 : 1);
    EXPECT_EQ(f.box().Items.size(), uidl ? 2u : f.box().LastNo);
  }
}

TEST(Pop3Check, HugeClaimsCostNothingAndLinesArriveWholeInAnyPieces) {
  CheckFixture f;
  f.settings.ListDownload = 1;
  const std::string longLine(64 * 1024, 'y');
  ScriptedServer server(Script({Login(), {test::SendPieces({"+OK 2147483647 99999999999\r", "\n"}), Expect("LIST 1"),
                                          Send("+OK 1 99999999999999\r\n"), Expect("RETR 1"),
                                          test::SendPieces({"+OK\r\n" + Header(1) + longLine + "\r", "\n.\r\n"}),
                                          Expect("LIST 2"), Send("+OK 2 -5\r\n"), Expect("RETR 2"),
                                          Send(Reply(Header(2))), Expect("LIST 3"), Close()}}));
  ASSERT_TRUE(f.Check(server));
  EXPECT_EQ(f.Error(), "Server disconnected");
  EXPECT_EQ(std::make_tuple(f.box().MailCnt, f.box().MailSize, f.box().LastNo), std::make_tuple(2147483647, 2147483647, 2));
  ASSERT_EQ(f.box().Items.size(), 2u);
  EXPECT_LE(f.box().Items.capacity(), 100'000u);
  EXPECT_EQ(f.box().Items[0]->Body, longLine + "\r\n");
  EXPECT_EQ(std::make_tuple(f.box().Items[0]->Size, f.box().Items[1]->Size), std::make_tuple(std::nullopt, std::nullopt));
}

TEST(Pop3Check, FilteredMessagesAdvanceLastNoAndUnnoticedNewMailStaysNew) {
  CheckFixture f;
  f.box().FilterEnable = 1;
  f.box().Filters.push_back({1, filter::kActionNotDownload, "Subject:", "s1", {}, {}});
  f.Hold({7});
  f.box().Items[0]->New = 1;
  f.notice = true;  // the user has not yet answered the new-mail notice
  ScriptedServer server(Script({Login(), {Send("+OK 2 200\r\n")}, Listed(1), Listed(2), Quitting()}));
  ASSERT_TRUE(f.Check(server));
  EXPECT_EQ(f.Numbers(), (std::vector<int>{7, 2}));
  EXPECT_EQ(std::make_tuple(f.box().Items[0]->New, f.box().LastNo), std::make_tuple(1, 2));
  EXPECT_EQ(f.ListCalls(), (std::vector<std::string>{"expect 2", "expect 2", "insert 1", "scroll 1"}));
  EXPECT_EQ(f.conversation->flags.newMailCount, 1);
}

class Pop3CheckDovecot : public test::DovecotTest {
 protected:
  static std::string Message(int n) { return Header(n) + "first line\r\nsecond line\r\n"; }
  static std::vector<std::string> Subjects(CheckFixture& f) {
    std::vector<std::string> subjects;
    for (const auto& item : f.box().Items) subjects.push_back(item->Subject.value_or("") + (item->New ? "*" : ""));
    return subjects;
  }
};

TEST_F(Pop3CheckDovecot, UserPassThenApopFetchOnlyNewMailAndAWrongPasswordIsRefused) {
  test::DovecotServer server({.users = {{"me", "secret"}}});
  for (const int n : {1, 2, 3}) server.DeliverMessage("me", Message(n));
  CheckFixture f;
  f.settings.ListGetLine = 1;
  ASSERT_TRUE(f.Check(server.port()));
  ASSERT_EQ(f.Error(), "") << server.LogTail();
  EXPECT_EQ(Subjects(f), (std::vector<std::string>{"s1*", "s2*", "s3*"}));
  EXPECT_EQ(f.box().Items[0]->Body, "first line\r\n");  // the header and ListGetLine lines

  for (const int n : {4, 5}) server.DeliverMessage("me", Message(n));
  f.box().APOP = 1;
  ASSERT_TRUE(f.Check(server.port()));
  ASSERT_EQ(f.Error(), "") << server.LogTail();
  EXPECT_EQ(Subjects(f), (std::vector<std::string>{"s1", "s2", "s3", "s4*", "s5*"}));
  EXPECT_EQ(std::make_tuple(f.box().MailCnt, f.box().LastNo), std::make_tuple(5, 5));
  EXPECT_EQ(std::count(f.ports.calls.begin(), f.ports.calls.end(), "status 1 [Work] APOP ****"), 1);

  f.box().APOP = 0;
  f.box().Pass = "wrong";
  ASSERT_TRUE(f.Check(server.port()));
  EXPECT_EQ(f.Error(), "Username or password error\n\n-ERR [AUTH] Authentication failed.");
  EXPECT_EQ(f.box().Items.size(), 5u);
}

TEST_F(Pop3CheckDovecot, MessagesDeletedBehindTheClientsBackAreResynchronisedByUidl) {
  test::DovecotServer server({.users = {{"me", "secret"}}, .reuseXuidl = true});
  for (const int n : {1, 2, 3, 4}) server.DeliverMessage("me", Message(n));
  CheckFixture f;
  ASSERT_TRUE(f.Check(server.port()));
  ASSERT_EQ(f.box().Items.size(), 4u) << f.Error() << server.LogTail();

  // Message 4 is number 3 now, and number 4 is a new one.
  server.DeleteMessageBehindTheClientsBack("me", 2);
  server.DeliverMessage("me", Message(5));
  ASSERT_TRUE(f.Check(server.port()));
  ASSERT_EQ(f.Error(), "") << server.LogTail();
  EXPECT_EQ(Subjects(f), (std::vector<std::string>{"s1", "s3", "s4", "s5*"}));
  EXPECT_EQ(f.Numbers(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(std::make_tuple(f.box().LastNo, f.box().LastMessageId), std::make_tuple(4, std::optional<std::string>("<5@x>")));
  // The first check recorded the server's ids, the second re-synchronised by them.
  EXPECT_EQ(std::count(f.ports.calls.begin(), f.ports.calls.end(), "status 1 [Work] UIDL\r\n"), 2);
}

}  // namespace
}  // namespace zelk::net
