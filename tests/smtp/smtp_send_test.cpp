#include "smtp/smtp_send.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "smtp/send_fixture.h"
#include "store/mailbox_file.h"

namespace zelk::smtp {
namespace {

using test::Close;
using test::Expect;
using test::ScriptedServer;
using test::Send;
using test::SendPieces;
using test_support::Script;
using test_support::SendFixture;
using test_support::Steps;

Steps Greeting() { return {Send("220 mail.test ESMTP\r\n"), Expect("HELO example.org"), Send("250 hi\r\n")}; }
Steps Envelope(std::initializer_list<std::string> recipients) {
  Steps steps = {Expect("RSET"), Send("250 ok\r\n"), Expect("MAIL FROM:<me@example.org>"), Send("250 ok\r\n")};
  for (const std::string& to : recipients) {
    steps.insert(steps.end(), {Expect("RCPT TO:<" + to + ">"), Send("250 ok\r\n")});
  }
  steps.insert(steps.end(), {Expect("DATA"), Send("354 go ahead\r\n")});
  return steps;
}
Steps Quitting() { return {Expect("QUIT"), Send("221 bye\r\n"), Close()}; }
const Steps kQuitOnly = {Expect("QUIT"), Close()};  // the QUIT of a failure, not waited for

std::vector<int> Marks(std::initializer_list<store::ItemRef> items) {
  std::vector<int> marks;
  for (const store::ItemRef& item : items) {
    EXPECT_EQ(item->Status, item->Mark == store::kMarkSend ? 0 : item->Mark);
    marks.push_back(item->Mark);
  }
  return marks;
}

TEST(SmtpSend, AnAuthenticatedRunSendsEveryMarkedItemOfTheAccountOnOneConnection) {
  SendFixture f;
  f.work().SmtpAuth = 1;
  f.work().MyAddr2Bcc = 1;
  f.work().BccAddr = "self@x.test";
  const store::ItemRef first =
      f.Queue("a@x.test,, \"Bea, B.\" <b@x.test>, ", "c@x.test (Carl)", "Dee <hidden@x.test>");
  const store::ItemRef other = f.Queue("h@x.test", {}, {}, "home"), unmarked = f.Queue("u@x.test");
  const store::ItemRef bccOnly = f.Queue(std::nullopt, "", "only@x.test"), third = f.Queue("t@x.test");
  unmarked->Mark = 0;
  ScriptedServer server(Script(
      {{SendPieces({"220-mail.test\r\n", "220 ESMTP\r\n"}), Expect("EHLO example.org"),
        SendPieces({"250-mail.test\r\n", "250-AUTH LOGIN PLAIN\r\n", "250 8BITMIME\r\n"}), Expect("AUTH LOGIN bWU="),
        Send("334 UGFzc3dvcmQ6\r\n"), Expect("c2VjcmV0"), Send("235 ok\r\n")},
       Envelope({"a@x.test", "b@x.test", "c@x.test", "hidden@x.test", "self@x.test"}),
       f.Message(first, "250-queued\r\n250 as 1\r\n"), Envelope({"only@x.test", "self@x.test"}), f.Message(bccOnly),
       Envelope({"t@x.test", "self@x.test"}), f.Message(third), Quitting()}));
  ASSERT_TRUE(f.Run(server, first));
  EXPECT_EQ(f.Error(), "");
  EXPECT_EQ(Marks({first, other, unmarked, bccOnly, third}), (std::vector<int>{5, 6, 0, 5, 5}));
  EXPECT_EQ(first->Date, "03/01/2006 10:05");  // what went out is what the Outbox shows
  EXPECT_EQ(f.Count("redraw 0") + f.Count("redraw 3") + f.Count("redraw 4"), 3);
  const std::string bytes = server.bytes();
  EXPECT_EQ(bytes.find("hidden@"), bytes.find("RCPT TO:<hidden@") + 9);  // Bcc only in its RCPT command

  store::MailBox saved;  // AutoSave wrote the Outbox as it stands
  ASSERT_TRUE(store::LoadMailBox(f.home.file("SendBox.dat"), saved));
  ASSERT_EQ(saved.Items.size(), 5u);
  EXPECT_EQ(std::make_tuple(saved.Items[3]->Status, saved.Items[3]->Body), std::make_tuple(5, bccOnly->Body));
  const std::string log = f.Log();
  EXPECT_NE(log.find("(send)\r\nFinding Host...\r\nConnecting...\r\n220-mail.test\r\n220 ESMTP\r\nEHLO "),
            std::string::npos);
  EXPECT_NE(log.find("\r\n334 UGFzc3dvcmQ6\r\nSend password\r\n235 ok\r\nRSET\r\n"), std::string::npos);
  EXPECT_EQ(log.find("c2VjcmV0"), std::string::npos);
}

TEST(SmtpSend, TheAuthMethodAndItsAnswerFollowTheServerOrTheSettingAndStayOutOfTheLog) {
  const std::string challenge = "334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n";
  const Steps cram = {Expect("AUTH CRAM-MD5"), Send(challenge),
                      Expect("dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw")};  // RFC 2195's example
  const struct {
    int authType;
    std::string ehloReply;
    Steps exchange;
    std::string secret;  // never logged
  } cases[] = {
      {0, "250 SIZE 1000\r\n", cram, "dGltIGI5"},  // no AUTH line at all
      {0, "250-AUTH=PLAIN LOGIN\r\n250 AUTH CRAM-MD5\r\n", cram, "dGltIGI5"},
      {0, "250-x\r\n250 AUTH PLAIN LOGIN\r\n",
       {Expect("AUTH LOGIN dGlt"), Send("334 UGFzc3dvcmQ6\r\n"), Expect("dGFuc3RhYWZ0YW5zdGFhZg==")}, "dGFuc3Rh"},
      {3, "250 AUTH CRAM-MD5\r\n", {Expect("AUTH PLAIN AHRpbQB0YW5zdGFhZnRhbnN0YWFm")}, "AHRpbQB0"},
  };
  for (const auto& c : cases) {
    SendFixture f;
    f.work().SmtpAuth = 1;
    f.work().SmtpAuthType = c.authType;
    f.work().AuthUserPass = 1;
    f.work().SmtpUser = "tim";
    f.work().SmtpPass = "tanstaaftanstaaf";
    const store::ItemRef item = f.Queue("a@x.test");
    ScriptedServer server(Script({{Send("220 hi\r\n"), Expect("EHLO example.org"), Send(c.ehloReply)}, c.exchange,
                                  {Send("535 no\r\n")}, kQuitOnly}));
    ASSERT_TRUE(f.Run(server, item));
    EXPECT_EQ(f.Error(), "Login to SMTP server failed\n\n535 no") << c.secret;
    EXPECT_EQ(item->Mark, 7);
    EXPECT_EQ(f.Log().find(c.secret), std::string::npos);
  }
}

TEST(SmtpSend, RefusalsStopTheRunKeepingEarlierMessagesSent) {
  SendFixture layout;  // the items each case queues: a@x.test and b@x.test
  const store::ItemRef a = layout.Queue("a@x.test"), b = layout.Queue("b@x.test");
  const Steps firstSent = Script({Greeting(), Envelope({"a@x.test"}), layout.Message(a)});
  const struct {
    Steps script;
    std::string error;
    std::vector<int> marks;
  } cases[] = {
      {{Send("+OK POP3 ready\r\n")}, "Response not analysed\n\n+OK POP3 ready", {7, 6}},
      {{Send("25 short\r\n")}, "Response not analysed\n\n25 short", {7, 6}},
      {{Send("220 hi\r\n"), Expect("HELO example.org"), Send("501 bad\r\n")},
       "HELO failed\nPlease check address format\n\n501 bad", {7, 6}},
      {Script({Greeting(), {Expect("RSET"), Send("250 ok\r\n"), Expect("MAIL FROM:<me@example.org>"),
                            Send("250 ok\r\n"), Expect("RCPT TO:<a@x.test>"), Send("550 no such user\r\n")}}),
       "RCPT TO failed\nPlease check destination address\n\n550 no such user", {7, 6}},
      {Script({Greeting(), {Expect("RSET"), Send("250 ok\r\n"), Expect("MAIL FROM:<me@example.org>"),
                            Send("553 sender refused\r\n")}}),
       "MAIL FROM failed\nPlease check address format\n\n553 sender refused", {7, 6}},
      {Script({Greeting(), {Expect("RSET"), Send("250 ok\r\n"), Expect("MAIL FROM:<me@example.org>"),
                            Send("250 ok\r\n"), Expect("RCPT TO:<a@x.test>"), Send("250 ok\r\n"), Expect("DATA"),
                            Send("451 try later\r\n")}}),
       "DATA failed\n\n451 try later", {7, 6}},
      {Script({firstSent, {Expect("RSET"), Send("450 busy\r\n")}}), "RSET failed\n\n450 busy", {5, 7}},
      {Script({firstSent, Envelope({"b@x.test"}), layout.Message(b, "554 rejected\r\n")}),
       "Mail not sent\n\n554 rejected", {5, 7}},
  };
  for (const auto& c : cases) {
    SendFixture f;
    const store::ItemRef first = f.Queue("a@x.test"), second = f.Queue("b@x.test");
    ScriptedServer server(Script({c.script, kQuitOnly}));
    ASSERT_TRUE(f.Run(server, first));
    EXPECT_EQ(f.Error(), c.error);
    EXPECT_EQ(Marks({first, second}), c.marks) << c.error;
  }
}

TEST(SmtpSend, ARefusedEhloFallsBackToHeloWithoutAuthentication) {
  for (const int esmtp : {0, 1}) {
    SendFixture f;
    f.work().SmtpAuth = 1;
    f.settings.ESMTP = esmtp;
    const store::ItemRef item = f.Queue("a@x.test");
    ScriptedServer server(Script({{Send("220 hi\r\n"), Expect("EHLO example.org"), Send("500 what?\r\n"),
                                   Expect(esmtp ? "EHLO example.org" : "HELO example.org"), Send("250 hi\r\n")},
                                  Envelope({"a@x.test"}), f.Message(item), Quitting()}));
    ASSERT_TRUE(f.Run(server, item, Continuation::kQuitAfter));
    EXPECT_EQ(item->Mark, 5);
  }
}

TEST(SmtpSend, UnsendableItemsAreRefusedBeforeAnyConnection) {
  const struct {
    store::OptionalText to, mailAddress;
    const char* sendHelo;
    const char* error;
  } cases[] = {
      {std::nullopt, "me@example.org", "", "Destination not set"},
      {" , ,", "me@example.org", "", "Destination not set"},
      {"\"a\r\nRSET\"@x.test", "me@example.org", "", "Destination address holds a control character"},
      {std::string("<\"a\0b\"@x.test>", 14), "me@example.org", "", "Destination address holds a control character"},
      {"a@x.test", "me@example.org\r\nDATA", "", "Mail address holds a control character"},
      {"a@x.test", "me@example.org", "host\r\nQUIT", "HELO name holds a control character"},
  };
  for (const auto& c : cases) {
    SendFixture f;
    f.work().MailAddress = c.mailAddress;
    f.settings.SendHelo = c.sendHelo;
    const store::ItemRef item = f.Queue(c.to);
    EXPECT_FALSE(StartSend(*f.conversation, item, Continuation::kNextMarked, f.Parts()));
    EXPECT_EQ(f.Error(), c.error);
    EXPECT_EQ(Marks({item}), std::vector<int>{7});  // a send cycle does not pick it again
  }
  SendFixture f;  // the account's next item is checked before anything of it goes out
  const store::ItemRef good = f.Queue("a@x.test"), bad = f.Queue("\"b\nc\"@x.test");
  ScriptedServer server(Script({Greeting(), Envelope({"a@x.test"}), f.Message(good), kQuitOnly}));
  ASSERT_TRUE(f.Run(server, good));
  EXPECT_EQ(f.Error(), "Destination address holds a control character");
  EXPECT_EQ(Marks({good, bad}), (std::vector<int>{5, 7}));
}

TEST(SmtpSend, StartNeedsAnAccountAndAsksForAPasswordOnlyForAuthentication) {
  SendFixture f;
  const store::ItemRef lost = f.Queue("a@x.test", {}, {}, "Gone");
  EXPECT_FALSE(StartSend(*f.conversation, lost, Continuation::kQuitAfter, f.Parts()));
  EXPECT_EQ(f.Error(), "No account specified");
  EXPECT_EQ(lost->Mark, 6);

  f.work().Pass.reset();
  f.work().SmtpAuth = 1;
  f.work().AuthUserPass = 1;
  f.work().SmtpUser = "smtp";
  const store::ItemRef item = f.Queue("a@x.test"), next = f.Queue("b@x.test");
  f.conversation->flags.cycleRunning = true;
  EXPECT_FALSE(f.Start(1, item, Continuation::kQuitAfter));  // cancelled at the prompt, nothing opened
  EXPECT_EQ(f.Count("password Zelk - [Work]"), 1);
  EXPECT_FALSE(f.conversation->flags.cycleRunning);  // a send cycle does not ask again and again
  EXPECT_EQ(item->Mark, 6);

  f.ports.passwords.push_back(ports::DialogPort::Password{"typed", true});
  ScriptedServer server(Script({{Send("220 hi\r\n"), Expect("EHLO example.org"), Send("250 AUTH PLAIN\r\n"),
                                 Expect("AUTH PLAIN AHNtdHAAdHlwZWQ="), Send("235 ok\r\n")},
                                Envelope({"a@x.test"}), f.Message(item), Quitting()}));
  ASSERT_TRUE(f.Run(server, item, Continuation::kQuitAfter));
  EXPECT_EQ(Marks({item, next}), (std::vector<int>{5, 6}));
  EXPECT_EQ(f.work().SmtpTmpPass, "typed");
  EXPECT_EQ(f.work().TmpPass, std::nullopt);
  EXPECT_EQ(std::make_tuple(f.work().SmtpAddr, f.work().PopAddr), std::make_tuple(std::string(ScriptedServer::kAddress), std::string()));

  f.work().SmtpAuth = 0;  // no prompt without authentication, even with no password anywhere
  f.work().SmtpTmpPass.reset();
  f.work().SmtpServer = "";
  f.work().SmtpAddr.clear();
  EXPECT_FALSE(StartSend(*f.conversation, next, Continuation::kQuitAfter, f.Parts()));
  EXPECT_EQ(f.ports.calls.back(), "message Error - [Outbox]: Server name not set");
  EXPECT_EQ(f.Count("password Zelk - [Work]"), 2);
  EXPECT_EQ(next->Mark, 7);
}

TEST(SmtpSend, TimeOutServerCloseAndStopMarkTheItemFailed) {
  const struct {
    Steps afterRset;
    bool stop;
    std::string error;
  } cases[] = {
      {{test::Silence()}, false, "Connection timed-out"},
      {{Close()}, false, "Server disconnected"},
      // Stop once the server has answered: its RSET and QUIT, then the server's close.
      {{Expect("RSET"), Expect("QUIT"), Send("250 ok\r\n250 ok\r\n221 bye\r\n"), Close()}, true, ""},
  };
  for (const auto& c : cases) {
    SendFixture f;
    const store::ItemRef item = f.Queue("a@x.test");
    ScriptedServer server(Script({Greeting(), {Expect("RSET")}, c.afterRset}));
    ASSERT_TRUE(f.Start(server.port(), item, Continuation::kNextMarked));
    f.loop.RunUntil([&] { return f.conversation->step == 5; });  // RSET is out
    if (c.stop) f.conversation->Stop();
    f.RunToIdle();
    EXPECT_TRUE(server.WaitDone());
    EXPECT_EQ(server.failures(), "");
    EXPECT_EQ(f.Error(), c.error);
    EXPECT_EQ(item->Mark, 7);
  }
  SendFixture f;  // Stop before the greeting closes at once
  const store::ItemRef item = f.Queue("a@x.test");
  const ScriptedServer silent({test::Silence()});
  ASSERT_TRUE(f.Start(silent.port(), item, Continuation::kNextMarked));
  f.conversation->Stop();
  EXPECT_EQ(item->Mark, 7);
}

}  // namespace
}  // namespace zelk::smtp
