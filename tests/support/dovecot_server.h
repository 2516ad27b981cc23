#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "support/test_authority.h"

namespace zelk::test {

struct DovecotUser {
  std::string name;  // letters, digits, '.', '_', '-'; it names the user's mail folder
  std::string password;
};

struct DovecotOptions {
  std::vector<DovecotUser> users;
  // Dovecot takes a message's own "X-UIDL:" header as its UIDL (pop3_reuse_xuidl).
  bool reuseXuidl = false;
  // Dovecot's authentication service also listens on authPort(), so that another server (Postfix's
  // SASL) can check passwords against the same users.
  bool authListener = false;
  // Where POP3 listens: "127.0.0.1", or "::1" for a server reachable only over IPv6.
  std::string address = "127.0.0.1";
  // With a certificate: POP3S on tlsPort(), and STLS offered on port() (ssl = required). Dovecot
  // counts loopback as secure, so port() still takes USER and PASS without STLS.
  std::optional<ServerIdentity> tls{};
};

// A private Dovecot POP3 server on 127.0.0.1 (or ::1), for tests that need a real server. Each instance
// has its own directory, port and instance name, so several may run at once, in one test
// program or in parallel ones. Users authenticate with USER/PASS, APOP, PLAIN, LOGIN or CRAM-MD5
// (plain passwords in a passwd-file); mail is a Maildir per user, written by the test directly.
// Starting takes some 30 ms; stopping about 1.1 s, most of it dovecot's master waiting a second for
// its log process. A refused login answers within half a second (dovecot flushes failures on a
// timer), with no penalty growing over later attempts.
class DovecotServer {
 public:
  static constexpr const char* kBinary = "/usr/sbin/dovecot";

  // Starts the server and returns once it has sent a greeting; throws std::runtime_error with
  // dovecot's own messages when it does not come up within a few seconds.
  explicit DovecotServer(DovecotOptions options = {});
  // Stops the server, waits for it to exit and removes its directory.
  ~DovecotServer();
  DovecotServer(const DovecotServer&) = delete;
  DovecotServer& operator=(const DovecotServer&) = delete;

  int port() const { return port_; }
  // POP3S with DovecotOptions::tls, else 0.
  int tlsPort() const { return tlsPort_; }
  // The authentication service's port with DovecotOptions::authListener, else 0.
  int authPort() const { return authPort_; }
  // The server's private directory, with a trailing "/".
  const std::string& directory() const { return dir_; }

  // Adds a user with an empty mailbox. On a running server this waits for the next whole second:
  // dovecot looks at its passwd-file again at most once a second.
  void AddUser(const std::string& name, const std::string& password);
  // Puts a message into the user's Maildir/new as a delivery agent would, and returns its file
  // name. Messages are numbered in delivery order in the next POP3 session.
  std::string DeliverMessage(const std::string& user, const std::string& rawMessage);
  // Messages in the mailbox (Maildir/new and Maildir/cur).
  std::size_t MessageCount(const std::string& user) const;
  // Removes every message of the user, as a fresh mailbox.
  void EmptyMailbox(const std::string& user);
  // Removes the file of message `number` (1-based, as the next POP3 session numbers them)
  // without going through the server, as another client or an expiry job would.
  void DeleteMessageBehindTheClientsBack(const std::string& user, std::size_t number);
  // The last lines of dovecot's log, for failure messages.
  std::string LogTail(std::size_t lines = 20) const;

  const std::vector<DovecotUser>& users() const { return options_.users; }
  const DovecotOptions& options() const { return options_; }
  // The user's Maildir, with a trailing "/", and who owns the mail in it: a delivery agent writes
  // there as this user and group.
  std::string Maildir(const std::string& user) const;
  unsigned mailUid() const { return mailUid_; }
  unsigned mailGid() const { return mailGid_; }

  enum class Presence { kInstalled, kMissingSkip, kMissingFail };
  // Whether `binary` exists; when it does not, the test skips only where
  // ZELK_ALLOW_MISSING_DOVECOT=1 is set, so a broken install in CI fails instead of hiding.
  // `message` says what is missing and what to do.
  static Presence CheckInstalled(std::string* message, const std::string& binary = kBinary);

 private:
  std::vector<std::string> MessageFiles(const std::string& user) const;  // delivery order
  void WriteConfig() const;
  void WritePasswd() const;
  bool TryStart(std::string* failure);
  void Stop();

  DovecotOptions options_;
  std::string dir_;
  int port_ = 0;
  int tlsPort_ = 0;
  int authPort_ = 0;
  bool running_ = false;
  unsigned mailUid_ = 0;
  unsigned mailGid_ = 0;
};

// Base for tests that talk to Dovecot: skips or fails them in SetUp when it is not installed.
// A derived SetUp calls DovecotTest::SetUp() first and returns if IsSkipped() or HasFailure().
class DovecotTest : public ::testing::Test {
 protected:
  void SetUp() override;
};

}  // namespace zelk::test
