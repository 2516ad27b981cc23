// STARTTLS: no AUTH without the TLS asked for, nothing trusted that came before the handshake.
#include <gtest/gtest.h>

#include <string>

#include "smtp/send_fixture.h"
#include "smtp/smtp_send.h"
#include "support/test_authority.h"

namespace zelk::smtp {
namespace {

using test::AcceptTls;
using test::Expect;
using test::ScriptedServer;
using test::Send;
using test_support::Script;
using test_support::SendFixture;
using test_support::Steps;

TEST(SmtpTls, StartTlsMissingRefusedOrFollowedByInjectedRepliesEndsBeforeAuth) {
  const Steps ehlo = {Send("220 mail.test ESMTP\r\n"), Expect("EHLO example.org")};
  const Steps offered = Script({ehlo, {Send("250-mail.test\r\n250-AUTH PLAIN\r\n250 STARTTLS\r\n"), Expect("STARTTLS")}});
  // Everything the client sends: no AUTH, and after an answer it cannot trust not even QUIT.
  const struct {
    const char* name;
    Steps script;
    std::string error;
    std::string sent;
  } cases[] = {
      {"not offered", Script({ehlo, {Send("250-mail.test\r\n250-AUTH PLAIN\r\n250 STARTTLSX\r\n")}}),
       std::string(kStartTlsNotOffered), "EHLO example.org\r\nQUIT\r\n"},
      {"no EHLO", Script({ehlo, {Send("502 command not implemented\r\n")}}), std::string(kStartTlsNotOffered),
       "EHLO example.org\r\nQUIT\r\n"},
      {"refused", Script({offered, {Send("454 4.7.0 TLS not available\r\n")}}),
       std::string(kStartTlsRefused) + "454 4.7.0 TLS not available", "EHLO example.org\r\nSTARTTLS\r\nQUIT\r\n"},
      // CVE-2011-0411: replies planted behind the "220" would answer commands yet to be sent.
      {"injected", Script({offered, {Send("220 go ahead\r\n250-mail.test\r\n250 AUTH PLAIN\r\n")}}),
       "The server sent data before the TLS handshake", "EHLO example.org\r\nSTARTTLS\r\n"},
  };
  for (const auto& c : cases) {
    SendFixture f;
    f.work().SmtpAuth = 1;
    f.work().SmtpTls = store::TlsMode::kStartTls;
    const store::ItemRef item = f.Queue("you@example.net");
    ScriptedServer server(c.script);
    ASSERT_TRUE(f.Run(server, item));
    EXPECT_EQ(f.Error(), c.error) << c.name;
    EXPECT_EQ(server.bytes(), c.sent) << c.name;
    EXPECT_EQ(item->Mark, store::kStatusSendFailed) << c.name;
  }
}

TEST(SmtpTls, ARefusedCertificateFailsTheMessageBeforeTheGreeting) {
  test::TestAuthority authority;
  authority.TrustInThisProcess();
  const test::ServerIdentity expired = authority.Issue(test::kLoopbackNames, {-30, -1});
  SendFixture f;
  f.work().SmtpAuth = 1;
  f.work().SmtpTls = store::TlsMode::kImplicit;
  const store::ItemRef item = f.Queue("you@example.net");
  ScriptedServer server({AcceptTls(expired), Send("220 mail.test ESMTP\r\n"), Expect("EHLO example.org")});
  ASSERT_TRUE(f.Start(server.port(), item, Continuation::kQuitAfter));
  f.RunToIdle();
  EXPECT_TRUE(server.WaitDone());
  EXPECT_EQ(f.Error(), "Certificate not accepted: expired\nSHA-256 fingerprint: " + expired.fingerprint);
  EXPECT_EQ(server.bytes(), "");
  EXPECT_EQ(item->Mark, store::kStatusSendFailed);
}

TEST(SmtpTls, TheAuthMethodIsTheOneOfferedAgainAfterTheHandshake) {
  test::TestAuthority authority;
  authority.TrustInThisProcess();
  SendFixture f;
  f.work().SmtpAuth = 1;
  f.work().SmtpTls = store::TlsMode::kStartTls;
  const store::ItemRef item = f.Queue("you@example.net");
  // Before TLS the server names CRAM-MD5, which a man in the middle may have put there; after it, PLAIN.
  ScriptedServer server(Script(
      {{Send("220 mail.test ESMTP\r\n"), Expect("EHLO example.org"),
        Send("250-mail.test\r\n250-AUTH CRAM-MD5\r\n250 STARTTLS\r\n"), Expect("STARTTLS"), Send("220 go ahead\r\n"),
        AcceptTls(authority.Issue(test::kLoopbackNames)), Expect("EHLO example.org"),
        Send("250-mail.test\r\n250 AUTH PLAIN\r\n"), Expect("AUTH PLAIN AG1lAHNlY3JldA=="), Send("235 ok\r\n"),
        Expect("RSET"), Send("250 ok\r\n"), Expect("MAIL FROM:<me@example.org>"), Send("250 ok\r\n"),
        Expect("RCPT TO:<you@example.net>"), Send("250 ok\r\n"), Expect("DATA"), Send("354 go ahead\r\n")},
       f.Message(item),
       {Expect("QUIT"), Send("221 bye\r\n")}}));
  ASSERT_TRUE(f.Run(server, item));
  EXPECT_EQ(f.Error(), "");
  EXPECT_EQ(item->Mark, store::kStatusSent);
}

}  // namespace
}  // namespace zelk::smtp
