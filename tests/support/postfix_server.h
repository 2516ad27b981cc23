#pragma once
#include <sys/types.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "support/dovecot_server.h"

namespace zelk::test {

// A private Postfix SMTP server on 127.0.0.1 in front of a private Dovecot of its own: mail for
// a Dovecot user's address (name@example.org) is delivered into the Maildir that Dovecot serves
// by POP3, so a message sent here can be fetched back. Two listeners:
//  - port() offers AUTH PLAIN, LOGIN and CRAM-MD5, checked by Dovecot against its users, and
//    takes no recipient at all from a client that has not authenticated ("554 5.7.1 ...
//    Access denied"). An authenticated client may relay: mail for other domains is accepted and
//    stays in the queue, since nothing here ever leaves the machine.
//  - openPort() offers no AUTH and takes mail for the Dovecot users only.
// With a certificate in the DovecotOptions (which Dovecot uses for POP3S and STLS too), two more
// listeners as port() with TLS: smtpsPort() (TLS from the first byte, as port 465) and
// submissionPort() (as port 587: STARTTLS required, AUTH offered only after it).
// Addresses at example.org that name no user Dovecot had at the start are refused at RCPT TO
// ("550 5.1.1 ... User unknown"). Each instance has its own directory and ports, so several may
// run at once. Postfix's master runs only as root; PostfixTest skips its tests otherwise.
// Starting takes some 70 ms, Dovecot's 35 ms included; stopping about 1.1 s, all but 15 ms of it
// Dovecot's (see DovecotServer).
class PostfixServer {
 public:
  static constexpr const char* kMaster = "/usr/lib/postfix/sbin/master";
  static constexpr const char* kDomain = "example.org";

  // Starts Dovecot with these users (and its authentication listener), then Postfix, and returns
  // once both listeners greet; throws std::runtime_error with the servers' own messages.
  explicit PostfixServer(DovecotOptions mailboxes = {});
  // Stops Postfix and waits until none of its processes is left, then stops Dovecot; both
  // directories are removed.
  ~PostfixServer();
  PostfixServer(const PostfixServer&) = delete;
  PostfixServer& operator=(const PostfixServer&) = delete;

  int port() const { return port_; }
  int openPort() const { return openPort_; }
  int smtpsPort() const { return smtpsPort_; }
  int submissionPort() const { return submissionPort_; }
  DovecotServer& dovecot() { return *dovecot_; }
  const DovecotServer& dovecot() const { return *dovecot_; }
  // Postfix's private directory, with a trailing "/".
  const std::string& directory() const { return dir_; }

  // A Dovecot user's mail address.
  static std::string Address(const std::string& user) { return user + "@" + kDomain; }

  // Delivery happens after the server has accepted a message: waits until the user's mailbox
  // holds at least `count` messages. False after `timeout`.
  bool WaitForMessages(const std::string& user, std::size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  // The last lines of Postfix's log, for failure messages.
  std::string LogTail(std::size_t lines = 20) const;

  enum class Presence { kUsable, kSkip, kFail };
  // Whether Postfix can run here: `master` exists and `uid` is root's. Missing, the tests fail
  // unless ZELK_ALLOW_MISSING_POSTFIX=1 is set, so a broken install in CI does not hide; without
  // root they skip, since Postfix cannot run at all. `message` says why and what to do.
  static Presence CheckUsable(std::string* message, const std::string& master = kMaster, uid_t uid = ::geteuid());

 private:
  void MakeDirectories() const;
  void WriteConfig() const;
  std::string TlsListeners() const;
  bool TryStart(std::string* failure);
  void Stop();

  std::unique_ptr<DovecotServer> dovecot_;
  std::string dir_;
  int port_ = 0;
  int openPort_ = 0;
  int smtpsPort_ = 0;
  int submissionPort_ = 0;
  pid_t master_ = -1;
};

// Base for tests that talk to Postfix: skips or fails them in SetUp when Postfix or Dovecot cannot
// run here. A derived SetUp calls PostfixTest::SetUp() first and returns if IsSkipped() or
// HasFailure().
class PostfixTest : public DovecotTest {
 protected:
  void SetUp() override;
  // Stops the shared server.
  static void TearDownTestSuite();
  // One server for every test of the suite, started on first use, with the users below. Their
  // mailboxes are empty at the start of each test.
  static PostfixServer& SharedServer();
  // u1, u2 and u3, with the passwords pw1, pw2 and pw3.
  static const std::vector<DovecotUser>& SharedUsers();

 private:
  static std::unique_ptr<PostfixServer>& Shared();
};

}  // namespace zelk::test
