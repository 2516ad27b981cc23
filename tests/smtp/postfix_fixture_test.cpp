// The Postfix fixture against bare SMTP and POP3 dialogues, so the client's own tests can trust it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/hmac_md5.h"
#include "support/line_client.h"
#include "support/postfix_server.h"
#include "support/temp_dir.h"

namespace zelk::test {
namespace {

bool Is(const std::string& reply, const char* code) { return reply.rfind(code, 0) == 0; }

// An SMTP session by hand. A reply is its lines joined with "\n", so it begins with its code.
class SmtpSession {
 public:
  explicit SmtpSession(int port) : line_(port), greeting_(Reply()) {}

  const std::string& greeting() const { return greeting_; }

  std::string Command(const std::string& command) {
    line_.Send(command + "\r\n");
    return Reply();
  }

  // The message (CR LF lines) dot-stuffed after DATA; the reply to its end marker.
  std::string Data(const std::string& message) {
    const std::string ready = Command("DATA");
    if (!Is(ready, "354")) return ready;
    std::string stuffed = message[0] == '.' ? "." : "";
    for (std::size_t start = 0; start < message.size();) {
      const std::size_t end = message.find("\r\n", start);
      stuffed.append(message, start, end + 2 - start);
      start = end + 2;
      if (start < message.size() && message[start] == '.') stuffed += '.';
    }
    line_.Send(stuffed + ".\r\n");
    return Reply();
  }

  // MAIL FROM, one RCPT TO per recipient and DATA; the first refusal, or the reply to the message.
  std::string Send(const std::string& from, const std::vector<std::string>& to, const std::string& message) {
    std::string reply = Command("MAIL FROM:<" + from + ">");
    for (std::size_t i = 0; i < to.size() && Is(reply, "250"); ++i) reply = Command("RCPT TO:<" + to[i] + ">");
    return Is(reply, "250") ? Data(message) : reply;
  }

 private:
  std::string Reply() {
    std::string reply;
    for (;;) {
      const std::string line = line_.ReadLine();
      reply += line;
      if (line.size() < 4 || line[3] != '-') return reply;
      reply += '\n';
    }
  }

  LineClient line_;
  std::string greeting_;
};

std::string CramMd5Response(const std::string& challengeReply, const std::string& user, const std::string& password) {
  const std::string challenge = codec::Base64Decode(challengeReply.substr(4));
  return codec::Base64Encode(user + " " + codec::Md5Hex(codec::HmacMd5(challenge, password)));
}

// Authenticates with `mechanism` as a client would; the server's last reply (235 on success).
std::string LogIn(SmtpSession& smtp, const std::string& mechanism, const std::string& user,
                  const std::string& password) {
  if (mechanism == "PLAIN") {
    return smtp.Command("AUTH PLAIN " + codec::Base64Encode(std::string(1, '\0') + user + '\0' + password));
  }
  if (mechanism == "LOGIN") {
    const std::string prompt = smtp.Command("AUTH LOGIN " + codec::Base64Encode(user));
    return Is(prompt, "334") ? smtp.Command(codec::Base64Encode(password)) : prompt;
  }
  const std::string challenge = smtp.Command("AUTH CRAM-MD5");
  return Is(challenge, "334") ? smtp.Command(CramMd5Response(challenge, user, password)) : challenge;
}

// Message `number` of the user's mailbox through Dovecot's POP3, dot-unstuffed, with CR LF lines.
std::string Retrieve(const PostfixServer& server, const std::string& user, const std::string& password, int number) {
  LineClient pop(server.dovecot().port());
  if (!Is(pop.ReadLine(), "+OK")) return "no POP3 greeting";
  for (const std::string& command : {"USER " + user, "PASS " + password, "RETR " + std::to_string(number)}) {
    pop.Send(command + "\r\n");
    const std::string reply = pop.ReadLine();
    if (!Is(reply, "+OK")) return command + ": " + reply;
  }
  std::string message;
  for (std::string line = pop.ReadLine(); line != "."; line = pop.ReadLine()) {
    message += (line.rfind("..", 0) == 0 ? line.substr(1) : line) + "\r\n";
  }
  return message;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A message with every header Postfix would otherwise add, so that what arrives ends with exactly
// these bytes: lines "." and ".." and ".x" in the text, and a binary attachment in base64 lines.
std::string TestMessage(const std::string& subject) {
  std::string binary;
  for (int i = 0; i < 30000; ++i) binary += static_cast<char>((i * 7919 + i / 256) & 0xFF);
  const std::string encoded = codec::Base64Encode(binary);
  std::string attachment;
  for (std::size_t start = 0; start < encoded.size(); start += 76) attachment += encoded.substr(start, 76) + "\r\n";
  return "From: u1@example.org\r\nTo: u1@example.org\r\nSubject: " + subject +
         "\r\nDate: Tue, 3 Jan 2006 10:00:00 +0000\r\nMessage-ID: <" + subject +
         "@example.org>\r\nMIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
         "--b\r\nContent-Type: text/plain; charset=US-ASCII\r\n\r\n"
         ".\r\n..\r\n.x\r\nend of text\r\n"
         "--b\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\n" +
         attachment + "--b--\r\n";
}

using PostfixFixture = PostfixTest;

TEST_F(PostfixFixture, RefusesWrongPasswordsMailWithoutAuthAndUnknownUsers) {
  PostfixServer& server = SharedServer();
  SmtpSession smtp(server.port());
  ASSERT_TRUE(Is(smtp.Command("EHLO client.test"), "250"));
  // Each mechanism takes its own path through Postfix and Dovecot.
  for (const std::string mechanism : {"PLAIN", "LOGIN", "CRAM-MD5"}) {
    const std::string refused = LogIn(smtp, mechanism, "u1", "pw2");
    EXPECT_TRUE(Is(refused, "535")) << mechanism << ": " << refused;
  }

  // Without authentication, neither local mail nor relaying.
  EXPECT_TRUE(Is(smtp.Command("MAIL FROM:<u1@example.org>"), "250"));
  const std::string local = smtp.Command("RCPT TO:<u2@example.org>");
  EXPECT_TRUE(Is(local, "554")) << local;
  const std::string relay = smtp.Command("RCPT TO:<someone@elsewhere.test>");
  EXPECT_TRUE(Is(relay, "554")) << relay;
  EXPECT_TRUE(Is(smtp.Command("RSET"), "250"));

  // Authenticated, the same client may relay; an unknown address of the test domain stays refused.
  ASSERT_TRUE(Is(LogIn(smtp, "PLAIN", "u3", "pw3"), "235"));
  EXPECT_TRUE(Is(smtp.Command("MAIL FROM:<u3@example.org>"), "250"));
  EXPECT_TRUE(Is(smtp.Command("RCPT TO:<someone@elsewhere.test>"), "250"));
  const std::string unknown = smtp.Command("RCPT TO:<stranger@example.org>");
  EXPECT_TRUE(Is(unknown, "550")) << unknown;
  EXPECT_TRUE(Is(smtp.Command("QUIT"), "221"));
  for (const DovecotUser& user : SharedUsers()) EXPECT_EQ(server.dovecot().MessageCount(user.name), 0u);
}

TEST_F(PostfixFixture, OpenListenerTakesLocalMailWithoutAuthOnOneConnection) {
  PostfixServer& server = SharedServer();
  SmtpSession smtp(server.openPort());
  ASSERT_TRUE(Is(smtp.greeting(), "220")) << smtp.greeting();
  const std::string ehlo = smtp.Command("EHLO client.test");
  ASSERT_TRUE(Is(ehlo, "250")) << ehlo;
  EXPECT_EQ(ehlo.find("AUTH"), std::string::npos) << ehlo;
  EXPECT_FALSE(Is(smtp.Command("AUTH CRAM-MD5"), "334"));

  const std::string relay = smtp.Send("u1@example.org", {"someone@elsewhere.test"}, TestMessage("relay"));
  EXPECT_TRUE(Is(relay, "554")) << relay;
  EXPECT_TRUE(Is(smtp.Command("RSET"), "250"));
  // Two messages separated by RSET, the first to three recipients.
  EXPECT_TRUE(Is(smtp.Send("u1@example.org", {"u1@example.org", "u2@example.org", "u3@example.org"},
                           TestMessage("first")),
                 "250"));
  EXPECT_TRUE(Is(smtp.Command("RSET"), "250"));
  EXPECT_TRUE(Is(smtp.Send("u1@example.org", {"u2@example.org"}, TestMessage("second")), "250"));
  EXPECT_TRUE(Is(smtp.Command("QUIT"), "221"));

  ASSERT_TRUE(server.WaitForMessages("u2", 2)) << server.LogTail();
  ASSERT_TRUE(server.WaitForMessages("u1", 1)) << server.LogTail();
  ASSERT_TRUE(server.WaitForMessages("u3", 1)) << server.LogTail();
  EXPECT_TRUE(EndsWith(Retrieve(server, "u3", "pw3", 1), TestMessage("first")));
  EXPECT_EQ(server.dovecot().MessageCount("u1"), 1u);
}

TEST_F(PostfixFixture, InstancesRunSideBySideAndStopWithoutLeavingProcesses) {
  PostfixServer& shared = SharedServer();
  auto other = std::make_unique<PostfixServer>(DovecotOptions{.users = {{"u1", "other"}}});
  EXPECT_NE(other->port(), shared.port());
  EXPECT_NE(other->directory(), shared.directory());
  {
    SmtpSession smtp(other->port());
    ASSERT_TRUE(Is(smtp.Command("EHLO client.test"), "250"));
    // Its own users and passwords.
    ASSERT_TRUE(Is(LogIn(smtp, "LOGIN", "u1", "other"), "235"));
    EXPECT_TRUE(Is(smtp.Send("u1@example.org", {"u1@example.org"}, TestMessage("other")), "250"));
  }
  ASSERT_TRUE(other->WaitForMessages("u1", 1)) << other->LogTail();
  EXPECT_EQ(shared.dovecot().MessageCount("u1"), 0u);

  const std::string directory = other->directory();
  const std::vector<int> ports = {other->port(), other->openPort(), other->dovecot().port()};
  other.reset();
  EXPECT_FALSE(std::filesystem::exists(directory));
  for (const int port : ports) EXPECT_THROW(LineClient{port}, std::runtime_error) << port;
  // Every Postfix process works inside its queue folder, so none is left that still does.
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::error_code unreadable;
    const std::string cwd = std::filesystem::read_symlink(entry.path() / "cwd", unreadable).string();
    EXPECT_NE(cwd.rfind(directory, 0), 0u) << entry.path() << " still runs in " << cwd;
  }

  SmtpSession smtp(shared.openPort());
  EXPECT_TRUE(Is(smtp.Command("EHLO client.test"), "250"));
}

// Not derived from PostfixTest: it must run where Postfix is missing or cannot run too.
TEST(PostfixPresence, MissingPostfixFailsUnlessAllowedAndNoRootSkips) {
  const char* saved = std::getenv("ZELK_ALLOW_MISSING_POSTFIX");
  const std::string savedValue = saved ? saved : "";
  std::string message;

  ::unsetenv("ZELK_ALLOW_MISSING_POSTFIX");
  EXPECT_EQ(PostfixServer::CheckUsable(&message, "/nonexistent/master", 0), PostfixServer::Presence::kFail);
  EXPECT_NE(message.find("/nonexistent/master"), std::string::npos) << message;
  EXPECT_NE(message.find("ZELK_ALLOW_MISSING_POSTFIX=1"), std::string::npos) << message;
  ::setenv("ZELK_ALLOW_MISSING_POSTFIX", "1", 1);
  EXPECT_EQ(PostfixServer::CheckUsable(&message, "/nonexistent/master", 0), PostfixServer::Presence::kSkip);

  // A runnable master, but not root: Postfix refuses, so the tests skip whatever is set.
  TempDir dir;
  std::ofstream(dir.file("master")) << "#!/bin/sh\n";
  std::filesystem::permissions(dir.file("master"), std::filesystem::perms::owner_all);
  ::unsetenv("ZELK_ALLOW_MISSING_POSTFIX");
  EXPECT_EQ(PostfixServer::CheckUsable(&message, dir.file("master"), 1000), PostfixServer::Presence::kSkip);
  EXPECT_NE(message.find("root"), std::string::npos) << message;
  EXPECT_EQ(PostfixServer::CheckUsable(&message, dir.file("master"), 0), PostfixServer::Presence::kUsable);

  if (saved) {
    ::setenv("ZELK_ALLOW_MISSING_POSTFIX", savedValue.c_str(), 1);
  } else {
    ::unsetenv("ZELK_ALLOW_MISSING_POSTFIX");
  }
}

}  // namespace
}  // namespace zelk::test
