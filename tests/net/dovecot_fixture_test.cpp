// The Dovecot fixture against a bare POP3 dialogue, so the client's own tests can trust it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/md5.h"
#include "support/dovecot_server.h"
#include "support/temp_dir.h"

namespace zelk::test {
namespace {

// Just enough of a POP3 client: one line per command, multi-line answers dot-unstuffed.
class Pop3Line {
 public:
  explicit Pop3Line(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd_);
      throw std::runtime_error("cannot connect to port " + std::to_string(port));
    }
    greeting_ = ReadLine();
  }
  ~Pop3Line() { ::close(fd_); }
  Pop3Line(const Pop3Line&) = delete;
  Pop3Line& operator=(const Pop3Line&) = delete;

  const std::string& greeting() const { return greeting_; }

  std::string Command(const std::string& line) {
    const std::string sent = line + "\r\n";
    if (::send(fd_, sent.data(), sent.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(sent.size())) {
      throw std::runtime_error("write failed");
    }
    return ReadLine();
  }

  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (std::string line = ReadLine(); line != "."; line = ReadLine()) {
      lines.push_back(line.rfind("..", 0) == 0 ? line.substr(1) : line);
    }
    return lines;
  }

  bool LogIn(const std::string& user, const std::string& password) {
    return Command("USER " + user).rfind("+OK", 0) == 0 && Command("PASS " + password).rfind("+OK", 0) == 0;
  }

 private:
  std::string ReadLine() {
    for (;;) {
      const auto end = buffer_.find("\r\n");
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 2);
        return line;
      }
      pollfd readable{fd_, POLLIN, 0};
      char chunk[4096];
      ssize_t got = 0;
      if (::poll(&readable, 1, 5000) != 1 || (got = ::read(fd_, chunk, sizeof chunk)) <= 0) {
        throw std::runtime_error("no complete line from the server; have '" + buffer_ + "'");
      }
      buffer_.append(chunk, static_cast<std::size_t>(got));
    }
  }

  int fd_ = -1;
  std::string buffer_;
  std::string greeting_;
};

bool Ok(const std::string& reply) { return reply.rfind("+OK", 0) == 0; }

std::string ApopDigest(const std::string& timestamp, const std::string& password) {
  codec::Md5Context context;
  codec::Md5Init(context);
  const std::string text = timestamp + password;
  codec::Md5Update(context, text.data(), text.size());
  codec::Md5Digest digest;
  codec::Md5Final(digest, context);
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

// The UIDs of a UIDL listing ("n uid" lines).
std::vector<std::string> Uids(const std::vector<std::string>& lines) {
  std::vector<std::string> uids;
  for (const std::string& line : lines) uids.push_back(line.substr(line.find(' ') + 1));
  return uids;
}

std::string Message(const std::string& subject, const std::string& body) {
  return "From: sender@example.org\r\nTo: u1@example.org\r\nSubject: " + subject + "\r\n\r\n" + body + "\r\n";
}

using DovecotFixture = DovecotTest;

TEST_F(DovecotFixture, LogsInWithUserPassAndApopAndRefusesWrongPasswords) {
  DovecotServer server({.users = {{"u1", "secret1"}}});
  {
    Pop3Line pop(server.port());
    const std::string& greeting = pop.greeting();
    ASSERT_TRUE(Ok(greeting)) << greeting;
    const auto open = greeting.find('<');
    const auto close = greeting.find('>', open);
    ASSERT_NE(open, std::string::npos) << "no APOP timestamp in " << greeting;
    ASSERT_NE(close, std::string::npos) << greeting;
    const std::string timestamp = greeting.substr(open, close - open + 1);
    EXPECT_NE(timestamp.find('@'), std::string::npos) << timestamp;
    EXPECT_TRUE(Ok(pop.Command("APOP u1 " + ApopDigest(timestamp, "secret1")))) << server.LogTail();
    EXPECT_TRUE(Ok(pop.Command("QUIT")));
  }
  {
    Pop3Line pop(server.port());
    const std::string timestamp = pop.greeting().substr(pop.greeting().find('<'));
    EXPECT_FALSE(Ok(pop.Command("APOP u1 " + ApopDigest(timestamp, "wrong"))));
  }
  {
    Pop3Line pop(server.port());
    EXPECT_TRUE(pop.LogIn("u1", "secret1")) << server.LogTail();
  }
  {
    Pop3Line pop(server.port());
    EXPECT_TRUE(Ok(pop.Command("USER u1")));
    EXPECT_EQ(pop.Command("PASS secret2").rfind("-ERR", 0), 0u);
  }
  // A user added while the server runs can log in once AddUser has returned.
  server.AddUser("late", "pw");
  Pop3Line pop(server.port());
  EXPECT_TRUE(pop.LogIn("late", "pw")) << server.LogTail();
}

TEST_F(DovecotFixture, ServesDeliveredMessagesInDeliveryOrder) {
  DovecotServer server({.users = {{"u1", "pw"}, {"u2", "pw"}}});
  server.DeliverMessage("u1", Message("one", "first body"));
  server.DeliverMessage("u1", Message("two", "second body\r\n.leading dot"));
  server.DeliverMessage("u1", Message("three", "third body"));
  server.DeliverMessage("u2", Message("other", "not for u1"));
  EXPECT_EQ(server.MessageCount("u1"), 3u);
  EXPECT_EQ(server.MessageCount("u2"), 1u);

  Pop3Line pop(server.port());
  ASSERT_TRUE(pop.LogIn("u1", "pw")) << server.LogTail();
  const std::string stat = pop.Command("STAT");
  EXPECT_EQ(stat.rfind("+OK 3 ", 0), 0u) << stat;

  ASSERT_TRUE(Ok(pop.Command("UIDL")));
  const std::vector<std::string> uids = Uids(pop.Lines());
  ASSERT_EQ(uids.size(), 3u);
  EXPECT_NE(uids[0], uids[1]);
  EXPECT_NE(uids[1], uids[2]);

  ASSERT_TRUE(Ok(pop.Command("TOP 2 0")));
  const std::vector<std::string> top = pop.Lines();
  ASSERT_FALSE(top.empty());
  EXPECT_NE(std::find(top.begin(), top.end(), "Subject: two"), top.end());
  EXPECT_EQ(top.back(), "");  // the blank line ending the header, and no body
  EXPECT_EQ(std::find(top.begin(), top.end(), "second body"), top.end());

  ASSERT_TRUE(Ok(pop.Command("RETR 2")));
  const std::vector<std::string> retr = pop.Lines();
  ASSERT_GE(retr.size(), 2u);
  EXPECT_EQ(retr[retr.size() - 2], "second body");
  EXPECT_EQ(retr.back(), ".leading dot");
  ASSERT_TRUE(Ok(pop.Command("RETR 3")));
  EXPECT_EQ(pop.Lines().back(), "third body");
}

TEST_F(DovecotFixture, DeletionsThroughTheServerAndBehindItsBackReachTheNextSession) {
  DovecotServer server({.users = {{"u1", "pw"}}});
  for (const char* subject : {"a", "b", "c", "d"}) server.DeliverMessage("u1", Message(subject, "x"));

  std::vector<std::string> before;
  {
    Pop3Line pop(server.port());
    ASSERT_TRUE(pop.LogIn("u1", "pw")) << server.LogTail();
    ASSERT_TRUE(Ok(pop.Command("UIDL")));
    before = Uids(pop.Lines());
    ASSERT_EQ(before.size(), 4u);
    EXPECT_TRUE(Ok(pop.Command("DELE 1")));
    EXPECT_TRUE(Ok(pop.Command("QUIT")));
  }
  EXPECT_EQ(server.MessageCount("u1"), 3u);

  // Message 1 of the next session is "b", message 2 above.
  server.DeleteMessageBehindTheClientsBack("u1", 1);
  EXPECT_EQ(server.MessageCount("u1"), 2u);
  EXPECT_THROW(server.DeleteMessageBehindTheClientsBack("u1", 3), std::out_of_range);

  Pop3Line pop(server.port());
  ASSERT_TRUE(pop.LogIn("u1", "pw")) << server.LogTail();
  EXPECT_EQ(pop.Command("STAT").rfind("+OK 2 ", 0), 0u);
  ASSERT_TRUE(Ok(pop.Command("UIDL")));
  EXPECT_EQ(Uids(pop.Lines()), (std::vector<std::string>{before[2], before[3]}));
}

TEST_F(DovecotFixture, InstancesKeepTheirOwnPortDirectoryAndSettings) {
  const std::string withHeader = "X-UIDL: zelk-uid-1\r\n" + Message("x", "body");
  auto first = std::make_unique<DovecotServer>(DovecotOptions{.users = {{"u1", "pw"}}});
  DovecotServer second({.users = {{"u1", "pw"}}, .reuseXuidl = true});
  EXPECT_NE(first->port(), second.port());
  EXPECT_NE(first->directory(), second.directory());
  first->DeliverMessage("u1", withHeader);
  second.DeliverMessage("u1", withHeader);
  for (DovecotServer* server : {first.get(), &second}) {
    Pop3Line pop(server->port());
    ASSERT_TRUE(pop.LogIn("u1", "pw")) << server->LogTail();
    const std::string uidl = pop.Command("UIDL 1");
    EXPECT_EQ(uidl == "+OK 1 zelk-uid-1", server == &second) << uidl;
  }

  // Stopping one leaves nothing of it behind and the other running.
  const std::string firstDirectory = first->directory();
  const int firstPort = first->port();
  first.reset();
  EXPECT_FALSE(std::filesystem::exists(firstDirectory));
  EXPECT_THROW(Pop3Line{firstPort}, std::runtime_error);
  Pop3Line pop(second.port());
  EXPECT_TRUE(pop.LogIn("u1", "pw"));
}

// Not derived from DovecotTest: it must run where Dovecot is missing too.
TEST(DovecotPresence, MissingBinaryFailsUnlessSkippingIsAllowed) {
  const char* saved = std::getenv("ZELK_ALLOW_MISSING_DOVECOT");
  const std::string savedValue = saved ? saved : "";
  std::string message;

  ::unsetenv("ZELK_ALLOW_MISSING_DOVECOT");
  EXPECT_EQ(DovecotServer::CheckInstalled(&message, "/nonexistent/dovecot"), DovecotServer::Presence::kMissingFail);
  EXPECT_NE(message.find("/nonexistent/dovecot"), std::string::npos) << message;
  EXPECT_NE(message.find("ZELK_ALLOW_MISSING_DOVECOT=1"), std::string::npos) << message;
  ::setenv("ZELK_ALLOW_MISSING_DOVECOT", "0", 1);
  EXPECT_EQ(DovecotServer::CheckInstalled(&message, "/nonexistent/dovecot"), DovecotServer::Presence::kMissingFail);
  ::setenv("ZELK_ALLOW_MISSING_DOVECOT", "1", 1);
  EXPECT_EQ(DovecotServer::CheckInstalled(&message, "/nonexistent/dovecot"), DovecotServer::Presence::kMissingSkip);
  // A file that is there but cannot be run is no Dovecot either.
  TempDir dir;
  std::ofstream(dir.file("dovecot")) << "not a program\n";
  EXPECT_EQ(DovecotServer::CheckInstalled(&message, dir.file("dovecot")), DovecotServer::Presence::kMissingSkip);

  if (saved) {
    ::setenv("ZELK_ALLOW_MISSING_DOVECOT", savedValue.c_str(), 1);
  } else {
    ::unsetenv("ZELK_ALLOW_MISSING_DOVECOT");
  }
}

}  // namespace
}  // namespace zelk::test
