#include "support/postfix_server.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "support/server_process.h"

extern char** environ;

namespace zelk::test {
namespace {

namespace fs = std::filesystem;

constexpr auto kStartTimeout = std::chrono::seconds(5);
constexpr auto kStopTimeout = std::chrono::seconds(5);
constexpr int kPortAttempts = 5;
// Postfix's list of its own files and folders, with their owners and modes.
constexpr const char* kManifest = "/etc/postfix/postfix-files";
constexpr const char* kMailOwner = "postfix";
constexpr const char* kSetgidGroup = "postdrop";

uid_t UserId(const std::string& name) {
  const passwd* entry = ::getpwnam(name.c_str());
  if (entry == nullptr) throw std::runtime_error("PostfixServer: no user '" + name + "'");
  return entry->pw_uid;
}

gid_t GroupId(const std::string& name) {
  const group* entry = ::getgrnam(name.c_str());
  if (entry == nullptr) throw std::runtime_error("PostfixServer: no group '" + name + "'");
  return entry->gr_gid;
}

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
  return fields;
}

bool WaitForChild(pid_t child, std::chrono::milliseconds timeout) {
  const auto deadline = ServerClock::now() + timeout;
  for (;;) {
    const pid_t done = ::waitpid(child, nullptr, WNOHANG);
    if (done == child || (done < 0 && errno != EINTR)) return true;
    if (ServerClock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool WaitForGroup(pid_t group, std::chrono::milliseconds timeout) {
  const auto deadline = ServerClock::now() + timeout;
  while (GroupRunning(group)) {
    if (ServerClock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace

PostfixServer::PostfixServer(DovecotOptions mailboxes) {
  std::string unusable;
  if (CheckUsable(&unusable) != Presence::kUsable) throw std::runtime_error(unusable);
  mailboxes.authListener = true;
  dovecot_ = std::make_unique<DovecotServer>(std::move(mailboxes));

  // Under /tmp like Dovecot's, and open to Postfix's own user, which works inside.
  std::string pattern = "/tmp/zelk-postfix-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("PostfixServer: mkdtemp failed");
  dir_ = pattern + "/";
  try {
    ::chmod(pattern.c_str(), 0755);
    std::string failure;
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
      // A fresh queue and log each time: a failed start may have left files in them.
      std::error_code ignored;
      fs::remove_all(dir_ + "queue", ignored);
      fs::remove(dir_ + "postfix.log", ignored);
      MakeDirectories();
      const std::vector<int> ports = PickFreePorts(4);
      port_ = ports[0];
      openPort_ = ports[1];
      if (dovecot_->tlsPort() != 0) {
        smtpsPort_ = ports[2];
        submissionPort_ = ports[3];
      }
      WriteConfig();
      if (TryStart(&failure)) return;
      if (failure.find("Address already in use") == std::string::npos) break;
    }
    throw std::runtime_error(failure);
  } catch (...) {
    Stop();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    throw;
  }
}

PostfixServer::~PostfixServer() {
  Stop();
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

// The queue and data folders as Postfix's own manifest lists them (owner, group and mode), which
// "postfix start" would make through a check of the whole installation that costs 0.3 s.
void PostfixServer::MakeDirectories() const {
  fs::create_directories(dir_ + "conf");
  const std::string manifest = ReadFileOrEmpty(kManifest);
  int made = 0;
  for (const std::string& line : Split(manifest, '\n')) {
    // name:type:owner:group:mode[:flags]
    const std::vector<std::string> fields = Split(line, ':');
    if (fields.size() < 5 || fields[1] != "d") continue;
    std::string path;
    for (const auto& [variable, folder] : {std::pair{"$queue_directory", "queue"}, {"$data_directory", "data"}}) {
      if (fields[0].rfind(variable, 0) == 0) path = dir_ + folder + fields[0].substr(std::strlen(variable));
    }
    if (path.empty()) continue;
    const uid_t owner = UserId(fields[2] == "$mail_owner" ? kMailOwner : fields[2]);
    const gid_t group = fields[3] == "-" ? 0 : GroupId(fields[3] == "$setgid_group" ? kSetgidGroup : fields[3]);
    fs::create_directories(path);
    if (::chown(path.c_str(), owner, group) != 0 ||
        ::chmod(path.c_str(), static_cast<mode_t>(std::strtol(fields[4].c_str(), nullptr, 8))) != 0) {
      throw std::runtime_error("PostfixServer: cannot set the owner and mode of " + path);
    }
    ++made;
  }
  if (made == 0) throw std::runtime_error(std::string("PostfixServer: no queue folders listed in ") + kManifest);
}

void PostfixServer::WriteConfig() const {
  const DovecotServer& mail = *dovecot_;
  // One line per user: the address, then its Maildir relative to virtual_mailbox_base (a trailing
  // "/" asks for a Maildir).
  std::string mailboxes;
  for (const DovecotUser& user : mail.users()) {
    mailboxes += Address(user.name) + " " + mail.Maildir(user.name).substr(mail.directory().size()) + "\n";
  }
  WriteFileOrThrow(dir_ + "conf/mailboxes", mailboxes, 0644);
  std::ostringstream main;
  main << "compatibility_level = 3.6\n"
       << "queue_directory = " << dir_ << "queue\n"
       << "data_directory = " << dir_ << "data\n"
       << "mail_owner = " << kMailOwner << "\n"
       << "setgid_group = " << kSetgidGroup << "\n"
       << "inet_interfaces = 127.0.0.1\n"
       << "inet_protocols = ipv4\n"
       << "myhostname = smtp.test\n"
       << "mydomain = smtp.test\n"
       << "mydestination =\n"
       << "alias_maps =\n"
       << "alias_database =\n"
       << "biff = no\n"
       // No syslog here: without a log file Postfix's errors would vanish.
       << "maillog_file = /dev/stdout\n"
       << "smtpd_banner = $myhostname ESMTP\n"
       << "smtpd_sasl_type = dovecot\n"
       << "smtpd_sasl_path = inet:127.0.0.1:" << mail.authPort() << "\n"
       << "virtual_mailbox_domains = " << kDomain << "\n"
       << "virtual_mailbox_base = " << mail.directory() << "\n"
       << "virtual_mailbox_maps = texthash:" << dir_ << "conf/mailboxes\n"
       << "virtual_uid_maps = static:" << mail.mailUid() << "\n"
       << "virtual_gid_maps = static:" << mail.mailGid() << "\n"
       // Large test messages: no size limit, no free-space reserve, and no pause when mail arrives
       // faster than it is delivered.
       << "message_size_limit = 0\n"
       << "virtual_mailbox_limit = 0\n"
       << "queue_minfree = 0\n"
       << "in_flow_delay = 0\n"
       // Relayed mail waits in the queue rather than going out to the world.
       << "defer_transports = smtp, relay\n"
       << "smtputf8_enable = no\n";
  const std::optional<ServerIdentity>& tls = mail.options().tls;
  if (tls) main << "smtpd_tls_cert_file = " << tls->certificate << "\nsmtpd_tls_key_file = " << tls->key << "\n";
  WriteFileOrThrow(dir_ + "conf/main.cf", main.str(), 0644);

  const std::string listen = "127.0.0.1:";
  std::ostringstream master;
  master << "# service type private unpriv chroot wakeup maxproc command\n"
         << listen << port_ << " inet n - n - - smtpd\n"
         << "  -o syslog_name=postfix/auth\n"
         << "  -o smtpd_sasl_auth_enable=yes\n"
         << "  -o smtpd_relay_restrictions=permit_sasl_authenticated,reject\n"
         << listen << openPort_ << " inet n - n - - smtpd\n"
         << "  -o syslog_name=postfix/open\n"
         << "  -o smtpd_sasl_auth_enable=no\n"
         << "  -o smtpd_relay_restrictions=reject_unauth_destination\n"
         << TlsListeners()
         << "cleanup unix n - n - 0 cleanup\n"
         << "qmgr unix n - n 300 1 qmgr\n"
         << "rewrite unix - - n - - trivial-rewrite\n"
         << "bounce unix - - n - 0 bounce\n"
         << "defer unix - - n - 0 bounce\n"
         << "trace unix - - n - 0 bounce\n"
         << "verify unix - - n - 1 verify\n"
         << "flush unix n - n 1000? 0 flush\n"
         << "proxymap unix - - n - - proxymap\n"
         << "smtp unix - - n - - smtp\n"
         << "relay unix - - n - - smtp\n"
         << "showq unix n - n - - showq\n"
         << "error unix - - n - - error\n"
         << "retry unix - - n - - error\n"
         << "discard unix - - n - - discard\n"
         << "virtual unix - n n - - virtual\n"
         << "anvil unix - - n - 1 anvil\n"
         << "scache unix - - n - 1 scache\n"
         << "postlog unix-dgram n - n - 1 postlogd\n"
         << "tlsmgr unix - - n 1000? 1 tlsmgr\n";
  WriteFileOrThrow(dir_ + "conf/master.cf", master.str(), 0644);
  // Postfix reads a table file only once it has not changed for a second, in case an editor is
  // still writing it, and would doze 300 ms at a time until then.
  const timespec aged[2] = {{::time(nullptr) - 10, 0}, {::time(nullptr) - 10, 0}};
  for (const char* file : {"conf/main.cf", "conf/master.cf", "conf/mailboxes"}) {
    if (::utimensat(AT_FDCWD, (dir_ + file).c_str(), aged, 0) != 0) {
      throw std::runtime_error("PostfixServer: cannot set the time of " + dir_ + file);
    }
  }
}

std::string PostfixServer::TlsListeners() const {
  if (smtpsPort_ == 0) return "";
  const std::string authenticated =
      "  -o smtpd_sasl_auth_enable=yes\n  -o smtpd_relay_restrictions=permit_sasl_authenticated,reject\n";
  return "127.0.0.1:" + std::to_string(smtpsPort_) + " inet n - n - - smtpd\n  -o syslog_name=postfix/smtps\n" +
         "  -o smtpd_tls_wrappermode=yes\n" + authenticated + "127.0.0.1:" + std::to_string(submissionPort_) +
         " inet n - n - - smtpd\n  -o syslog_name=postfix/submission\n" +
         "  -o smtpd_tls_security_level=encrypt\n  -o smtpd_tls_auth_only=yes\n" + authenticated;
}

bool PostfixServer::TryStart(std::string* failure) {
  const std::string conf = dir_ + "conf";
  const std::string log = dir_ + "postfix.log";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  // Its own session: on SIGTERM the master signals its whole process group, which must not be ours.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  // -s: stay in the foreground, as "postfix start-fg" runs it.
  const char* argv[] = {"master", "-c", conf.c_str(), "-s", nullptr};
  const int spawned = posix_spawn(&master_, kMaster, &actions, &attributes, const_cast<char* const*>(argv), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    master_ = -1;
    *failure = std::string("PostfixServer: cannot run ") + kMaster + ": " + std::strerror(spawned);
    return false;
  }
  const auto deadline = ServerClock::now() + kStartTimeout;
  bool exited = false;
  while (!exited && ServerClock::now() < deadline) {
    if (GreetingArrives(port_, "220", deadline) && GreetingArrives(openPort_, "220", deadline) &&
        (submissionPort_ == 0 || GreetingArrives(submissionPort_, "220", deadline))) {
      return true;
    }
    exited = ::waitpid(master_, nullptr, WNOHANG) == master_;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (exited) master_ = -1;
  Stop();
  *failure = "Postfix did not start on 127.0.0.1:" + std::to_string(port_) + " and " + std::to_string(openPort_) +
             " within " + std::to_string(kStartTimeout.count()) + " s (" + conf + ").\n--- postfix.log ---\n" +
             LogTail();
  return false;
}

void PostfixServer::Stop() {
  if (master_ <= 0) return;
  const pid_t group = master_;
  // The master passes SIGTERM on to its process group and exits without waiting for it.
  ::kill(master_, SIGTERM);
  if (!WaitForChild(master_, kStopTimeout)) {
    ::kill(-group, SIGKILL);
    WaitForChild(master_, std::chrono::seconds(1));
  }
  master_ = -1;
  if (!WaitForGroup(group, kStopTimeout)) {
    ::kill(-group, SIGKILL);
    WaitForGroup(group, std::chrono::seconds(1));
  }
}

bool PostfixServer::WaitForMessages(const std::string& user, std::size_t count,
                                    std::chrono::milliseconds timeout) const {
  const auto deadline = ServerClock::now() + timeout;
  while (dovecot_->MessageCount(user) < count) {
    if (ServerClock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::string PostfixServer::LogTail(std::size_t lines) const {
  return LastLines(dir_ + "postfix.log", lines);
}

PostfixServer::Presence PostfixServer::CheckUsable(std::string* message, const std::string& master, uid_t uid) {
  if (::access(master.c_str(), X_OK) != 0) {
    const char* allow = std::getenv("ZELK_ALLOW_MISSING_POSTFIX");
    const bool skip = allow != nullptr && std::strcmp(allow, "1") == 0;
    *message = "Postfix is not installed (" + master + " missing): run scripts/install-deps.sh test" +
               (skip ? "; skipped because ZELK_ALLOW_MISSING_POSTFIX=1"
                     : ", or set ZELK_ALLOW_MISSING_POSTFIX=1 to skip the tests that need it");
    return skip ? Presence::kSkip : Presence::kFail;
  }
  if (uid != 0) {
    *message = "Postfix's master runs only as root, and these tests run as uid " + std::to_string(uid) +
               ": skipped (run them as root, as CI does)";
    return Presence::kSkip;
  }
  return Presence::kUsable;
}

void PostfixTest::SetUp() {
  DovecotTest::SetUp();
  if (IsSkipped() || HasFailure()) return;
  std::string message;
  switch (PostfixServer::CheckUsable(&message)) {
    case PostfixServer::Presence::kUsable:
      break;
    case PostfixServer::Presence::kSkip:
      GTEST_SKIP() << message;
    case PostfixServer::Presence::kFail:
      FAIL() << message;
  }
  if (Shared()) {
    for (const DovecotUser& user : SharedUsers()) Shared()->dovecot().EmptyMailbox(user.name);
  }
}

void PostfixTest::TearDownTestSuite() { Shared().reset(); }

PostfixServer& PostfixTest::SharedServer() {
  if (!Shared()) Shared() = std::make_unique<PostfixServer>(DovecotOptions{.users = SharedUsers()});
  return *Shared();
}

const std::vector<DovecotUser>& PostfixTest::SharedUsers() {
  static const std::vector<DovecotUser> users = {{"u1", "pw1"}, {"u2", "pw2"}, {"u3", "pw3"}};
  return users;
}

std::unique_ptr<PostfixServer>& PostfixTest::Shared() {
  static std::unique_ptr<PostfixServer> server;
  return server;
}

}  // namespace zelk::test
