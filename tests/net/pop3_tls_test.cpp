// TLS for POP3: certificates judged before anything is sent, STLS only where it is offered and
// accepted, and Stop and the time-out in the middle of a handshake.
#include <gtest/gtest.h>

#include <chrono>

#include "net/check_fixture.h"
#include "net/pop3_login.h"
#include "platform/files.h"
#include "support/test_authority.h"

namespace zelk::net {
namespace {

using namespace test_support;
using namespace std::chrono_literals;
using test::AcceptTls;
using test::Silence;

// The account's server at an empty mailbox, from USER on.
Steps LoginToEmpty() { return Script({{Expect("USER me"), Send("+OK\r\n"), Expect("PASS secret"), Send("+OK\r\n"),
                                       Expect("CAPA"), Send("-ERR\r\n"), Expect("STAT"), Send("+OK 0 0\r\n")}, Quitting()}); }

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Pop3Tls, RefusedCertificatesEndTheCheckBeforeAnythingIsSentNamingWhyAndTheFingerprint) {
  test::TestAuthority authority;
  authority.TrustInThisProcess();
  const std::string otherPin = authority.Issue(test::kLoopbackNames).fingerprint;
  const struct {
    const char* name;
    test::ServerIdentity identity;
    std::string pin;
    std::string reason;
  } cases[] = {
      {"another name", authority.Issue("DNS:mail.example.org,IP:127.0.0.2"), "", "name mismatch (issued for another server)"},
      {"expired", authority.Issue(test::kLoopbackNames, {-30, -1}), "", "expired"},
      {"unknown authority", authority.SelfSigned(test::kLoopbackNames), "", "unknown authority"},
      {"another pin", authority.Issue(test::kLoopbackNames), otherPin, "not the pinned certificate"},
  };
  for (const auto& c : cases) {
    CheckFixture f;
    f.settings.SocLog = 1;
    f.box().PopTls = store::TlsMode::kImplicit;
    f.box().PopFingerprint = c.pin;
    ScriptedServer server({AcceptTls(c.identity), Send("+OK ready\r\n"), Expect("USER me")});
    ASSERT_TRUE(f.Check(server.port()));
    EXPECT_TRUE(server.WaitDone());
    const std::string refusal = "Certificate not accepted: " + c.reason + "\nSHA-256 fingerprint: " + c.identity.fingerprint;
    EXPECT_EQ(f.Error(), refusal) << c.name;
    EXPECT_EQ(server.failures(), "TLS handshake failed\n") << c.name;
    EXPECT_EQ(server.bytes(), "") << c.name;
    EXPECT_TRUE(Has(platform::ReadWholeFile(f.log.path()).value_or(""), refusal)) << c.name;
  }
}

TEST(Pop3Tls, APinnedCertificateIsTrustedAloneInAnyWrittenForm) {
  test::TestAuthority authority;  // not trusted: the pin alone decides
  const test::ServerIdentity self = authority.SelfSigned("DNS:elsewhere.example");
  std::string bare;
  for (const char c : self.fingerprint) {
    if (c != ':') bare += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  for (const std::string& pin : {self.fingerprint, bare}) {
    CheckFixture f;
    f.box().PopTls = store::TlsMode::kImplicit;
    f.box().PopFingerprint = pin;
    ScriptedServer server(Script({{AcceptTls(self), Send("+OK ready\r\n")}, LoginToEmpty()}));
    ASSERT_TRUE(f.Check(server));
    EXPECT_EQ(f.Error(), "") << pin;
  }
  CheckFixture f;
  f.box().PopTls = store::TlsMode::kImplicit;
  f.box().PopFingerprint = "12:34:56";
  EXPECT_FALSE(f.Check(1));
  EXPECT_EQ(f.Error(), "The pinned certificate fingerprint is not 64 hex digits");
}

TEST(Pop3Tls, StlsMissingRefusedOrFollowedByInjectedDataEndsTheCheckBeforeTheLogin) {
  const Steps capa = {Send("+OK ready <1.2@host>\r\n"), Expect("CAPA")};
  const Steps offered = Script({capa, {Send("+OK\r\nUSER\r\nSTLS\r\n.\r\n"), Expect("STLS")}});
  // Everything the client sends: no login, and after an answer it cannot trust not even QUIT.
  const struct {
    const char* name;
    Steps script;
    std::string error;
    std::string sent;
  } cases[] = {
      {"no CAPA", Script({capa, {Send("-ERR unknown command\r\n")}}), std::string(kStlsNotOffered), "CAPA\r\nQUIT\r\n"},
      {"no STLS in CAPA", Script({capa, {Send("+OK\r\nSTLSX\r\nSASL PLAIN STLS\r\n.\r\n")}}),
       std::string(kStlsNotOffered), "CAPA\r\nQUIT\r\n"},
      {"refused", Script({offered, {Send("-ERR not now\r\n")}}), std::string(kStlsRefused) + "-ERR not now",
       "CAPA\r\nSTLS\r\nQUIT\r\n"},
      // RFC 2595 leaves no room for a second answer: it is someone else's, planted before the handshake.
      {"injected", Script({offered, {Send("+OK begin TLS\r\n+OK 0 0\r\n")}}),
       "The server sent data before the TLS handshake", "CAPA\r\nSTLS\r\n"},
  };
  for (const auto& c : cases) {
    CheckFixture f;
    f.box().PopTls = store::TlsMode::kStartTls;
    ScriptedServer server(c.script);
    ASSERT_TRUE(f.Check(server));
    EXPECT_EQ(f.Error(), c.error) << c.name;
    EXPECT_EQ(server.bytes(), c.sent) << c.name;
  }
}

TEST(Pop3Tls, OnlyAGreetingThatCameOverTlsServesApop) {
  test::TestAuthority authority;
  authority.TrustInThisProcess();
  const test::ServerIdentity identity = authority.Issue(test::kLoopbackNames);
  const Steps stls = {Send("+OK ready <1.2@host>\r\n"), Expect("CAPA"), Send("+OK\r\nstls\r\n.\r\n"), Expect("STLS"),
                      Send("+OK begin TLS\r\n"), AcceptTls(identity)};
  const Steps apopAccepted = {Expect("APOP me *"), Send("+OK\r\n"), Expect("CAPA"), Send("-ERR\r\n"), Expect("STAT"),
                              Send("+OK 0 0\r\n")};
  const struct {
    store::TlsMode mode;
    int apop;
    Steps script;
    std::string error;
  } cases[] = {
      {store::TlsMode::kImplicit, 1, Script({{AcceptTls(identity), Send("+OK ready <1.2@host>\r\n")}, apopAccepted, Quitting()}), ""},
      {store::TlsMode::kStartTls, 0, Script({stls, LoginToEmpty()}), ""},
      {store::TlsMode::kStartTls, 1, Script({stls, {Expect("QUIT")}}), std::string(kApopNeedsImplicitTls)},
  };
  for (const auto& c : cases) {
    CheckFixture f;
    f.box().PopTls = c.mode;
    f.box().APOP = c.apop;
    ScriptedServer server(c.script);
    ASSERT_TRUE(f.Check(server));
    EXPECT_EQ(f.Error(), c.error) << static_cast<int>(c.mode) << c.apop;
  }
}

TEST(Pop3Tls, StopAndTheTimeOutEndAHandshakeThatStalls) {
  // The first bytes of a ServerHello record, and then nothing more.
  const std::string partialHello("\x16\x03\x03\x00\x7a\x02", 6);
  for (const bool stop : {true, false}) {
    CheckFixture f;
    f.box().PopTls = store::TlsMode::kImplicit;
    f.conversation->SetMinuteForTesting(stop ? 60s : 100ms);
    ScriptedServer server({Send(partialHello), Silence()});
    f.box().Port = server.port();
    ASSERT_TRUE(StartCheck(*f.conversation, 2, false, f.Parts()));
    // The client hello has gone out and the partial answer come back.
    f.loop.SetTimer(99, 5ms, [] {});
    f.loop.RunUntil([&] { return !server.bytes().empty() || f.conversation->socket() == kNoSocket; });
    f.loop.KillTimer(99);
    ASSERT_NE(f.conversation->socket(), kNoSocket);
    if (stop) {
      f.conversation->Stop();
      EXPECT_EQ(f.conversation->socket(), kNoSocket);
      EXPECT_EQ(f.Error(), "");
    } else {
      f.loop.RunUntil([&] { return f.conversation->socket() == kNoSocket; });
      EXPECT_EQ(f.Error(), "Connection timed-out");
    }
    EXPECT_TRUE(server.WaitDone());
  }
}

}  // namespace
}  // namespace zelk::net
