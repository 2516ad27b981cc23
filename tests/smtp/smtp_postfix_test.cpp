// Sending through a real Postfix that delivers into Dovecot's Maildir.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "smtp/send_fixture.h"
#include "support/postfix_server.h"

namespace zelk::smtp {
namespace {

using SmtpPostfix = test::PostfixTest;

// The delivered messages of a user, with LF line ends as the Maildir holds them.
std::vector<std::string> Delivered(const test::PostfixServer& server, const std::string& user) {
  std::vector<std::string> messages;
  for (const char* folder : {"new", "cur"}) {
    for (const auto& entry : std::filesystem::directory_iterator(server.dovecot().Maildir(user) + folder)) {
      messages.push_back(platform::ReadWholeFile(entry.path().string()).value_or(""));
    }
  }
  return messages;
}

TEST_F(SmtpPostfix, EveryWayOfLoggingInDeliversEachMarkedMessageIntact) {
  test::PostfixServer& server = SharedServer();
  // SmtpAuthType 0 takes the best method the server offers (CRAM-MD5); no authentication goes
  // through the listener that takes local mail from anyone.
  const struct {
    int smtpAuth, authType;
  } cases[] = {{1, 0}, {1, 2}, {1, 3}, {0, 0}};
  std::size_t expected = 0;
  for (const auto& c : cases) {
    test_support::SendFixture f;
    f.settings.BodyEncoding = 0;  // 7bit: the body goes out as it stands
    store::MailBox& work = f.work();
    work.MailAddress = "u1@example.org";
    work.User = "u1";
    work.Pass = "pw1";
    work.SmtpAuth = c.smtpAuth;
    work.SmtpAuthType = c.authType;
    const store::ItemRef first = f.Queue("u2@example.org"), second = f.Queue("U3 <u3@example.org>", "u2@example.org");
    second->Body = "..\r\n...x\r\nend\r\n";  // stored dot-stuffed: the lines ".", "..x" and "end"
    ASSERT_TRUE(f.Start(c.smtpAuth ? server.port() : server.openPort(), first, Continuation::kNextMarked));
    f.RunToIdle();
    EXPECT_EQ(f.Error(), "") << server.LogTail();
    EXPECT_EQ(std::make_tuple(first->Mark, second->Mark), std::make_tuple(5, 5)) << c.authType;
    expected += 2;
    ASSERT_TRUE(server.WaitForMessages("u2", expected)) << server.LogTail();
    ASSERT_TRUE(server.WaitForMessages("u3", expected / 2)) << server.LogTail();
  }
  for (const std::string& message : Delivered(server, "u3")) {
    EXPECT_NE(message.find("\nSubject: note 1\n"), std::string::npos);
    EXPECT_TRUE(message.ends_with("\n\n.\n..x\nend\n")) << message;
  }
}

}  // namespace
}  // namespace zelk::smtp
