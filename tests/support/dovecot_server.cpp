#include "support/dovecot_server.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>

#include "support/server_process.h"

extern char** environ;

namespace zelk::test {
namespace {

namespace fs = std::filesystem;
using Clock = ServerClock;

constexpr auto kStartTimeout = std::chrono::seconds(5);
constexpr auto kStopTimeout = std::chrono::seconds(5);
constexpr int kPortAttempts = 5;

bool ValidUserName(const std::string& name) {
  if (name.empty() || name[0] == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '_' || c == '-';
  });
}

// Maildir names "SECONDS.MMICROSECONDSPpidQn.host" sort by time, as dovecot numbers new mail;
// each name here is later than the one before, so delivery order is message order.
std::string NextMaildirName() {
  static std::mutex mutex;
  static long lastSeconds = 0;
  static long lastMicros = 0;
  static unsigned sequence = 0;
  std::lock_guard<std::mutex> lock(mutex);
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  long seconds = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
  long micros = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count() % 1000000);
  if (std::tie(seconds, micros) <= std::tie(lastSeconds, lastMicros)) {
    seconds = lastSeconds;
    micros = lastMicros + 1;
    if (micros == 1000000) {
      ++seconds;
      micros = 0;
    }
  }
  lastSeconds = seconds;
  lastMicros = micros;
  return std::to_string(seconds) + ".M" + std::to_string(micros) + "P" + std::to_string(::getpid()) +
         "Q" + std::to_string(++sequence) + ".zelk-test";
}

// Sort key of a Maildir file name: seconds, then the microseconds after "M" in the second part.
std::tuple<long, long, std::string> MaildirOrder(const std::string& name) {
  const std::string base = name.substr(0, name.find(':'));
  long seconds = std::strtol(base.c_str(), nullptr, 10);
  long micros = -1;
  const auto dot = base.find('.');
  if (dot != std::string::npos) {
    const auto end = base.find('.', dot + 1);
    const auto m = base.find('M', dot + 1);
    if (m != std::string::npos && m < end) micros = std::strtol(base.c_str() + m + 1, nullptr, 10);
  }
  return {seconds, micros, base};
}

}  // namespace

DovecotServer::DovecotServer(DovecotOptions options) : options_(std::move(options)) {
  std::string missing;
  if (CheckInstalled(&missing) != Presence::kInstalled) throw std::runtime_error(missing);

  // Always under /tmp rather than $TMPDIR: dovecot's own users must be able to enter it, and
  // its socket paths must stay within the 108 bytes of a Unix socket name.
  std::string pattern = "/tmp/zelk-dovecot-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("DovecotServer: mkdtemp failed");
  dir_ = pattern + "/";
  try {
    ::chmod(pattern.c_str(), 0755);
    fs::create_directory(dir_ + "mail");
    if (::geteuid() == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      const group* nogroup = ::getgrnam("nogroup");
      mailUid_ = nobody ? nobody->pw_uid : 65534;
      mailGid_ = nogroup ? nogroup->gr_gid : 65534;
    } else {
      mailUid_ = ::geteuid();
      mailGid_ = ::getegid();
    }
    const std::vector<DovecotUser> users = std::move(options_.users);
    options_.users.clear();
    WritePasswd();
    for (const DovecotUser& user : users) AddUser(user.name, user.password);

    std::string failure;
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
      const std::vector<int> ports = PickFreePorts(3);
      port_ = ports[0];
      if (options_.authListener) authPort_ = ports[1];
      if (options_.tls) tlsPort_ = ports[2];
      WriteConfig();
      if (TryStart(&failure)) {
        running_ = true;
        return;
      }
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

DovecotServer::~DovecotServer() {
  Stop();
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

void DovecotServer::WriteConfig() const {
  const std::string d = dir_;
  const bool root = ::geteuid() == 0;
  // Without root, dovecot runs everything as ourselves.
  std::string self;
  std::string selfGroup;
  if (!root) {
    const passwd* me = ::getpwuid(::geteuid());
    const group* myGroup = ::getgrgid(::getegid());
    self = me ? me->pw_name : "nobody";
    selfGroup = myGroup ? myGroup->gr_name : "nogroup";
  }
  // Its own base_dir, state_dir and instance_name keep an instance apart from any other.
  std::ostringstream conf;
  conf << "base_dir = " << d << "run\n"
       << "state_dir = " << d << "state\n"
       << "instance_name = " << fs::path(d).parent_path().filename().string() << "\n"
       << "log_path = " << d << "dovecot.log\n"
       << "protocols = pop3\n"
       << "listen = " << options_.address << "\n"
       << (options_.tls ? "ssl = required\nssl_cert = <" + options_.tls->certificate + "\nssl_key = <" +
                               options_.tls->key + "\n"
                         : "ssl = no\n")
       << "disable_plaintext_auth = no\n"
       << "auth_mechanisms = plain login cram-md5 apop\n"
       << "auth_verbose = yes\n"
       // Refused logins answer without the usual two-second delay, and (anvil below) without a
       // penalty growing with each failure from 127.0.0.1.
       << "auth_failure_delay = 0\n"
       << "default_login_user = " << (root ? "dovenull" : self) << "\n"
       << "default_internal_user = " << (root ? "dovecot" : self) << "\n"
       << "default_internal_group = " << (root ? "dovecot" : selfGroup) << "\n"
       << "first_valid_uid = 1\n"
       << "mail_location = maildir:" << d << "mail/%u/Maildir\n"
       << "pop3_reuse_xuidl = " << (options_.reuseXuidl ? "yes" : "no") << "\n"
       << "service pop3-login {\n"
       << "  inet_listener pop3 {\n    address = " << options_.address << "\n    port = " << port_ << "\n  }\n"
       << "  inet_listener pop3s {\n    address = " << options_.address << "\n    port = " << tlsPort_ << "\n  }\n"
       << (root ? "" : "  chroot =\n")
       << "}\n"
       << "service imap-login {\n"
       << "  inet_listener imap {\n    port = 0\n  }\n"
       << "  inet_listener imaps {\n    port = 0\n  }\n"
       << "}\n"
       // Another server (Postfix's SASL) checks passwords against these users here.
       << (options_.authListener ? "service auth {\n  inet_listener {\n    address = 127.0.0.1\n    port = " +
                                       std::to_string(authPort_) + "\n  }\n}\n"
                                 : "")
       << "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n"
       << (root ? "" : "  chroot =\n") << "}\n"
       << "service stats {\n  unix_listener stats-writer {\n    mode = 0666\n  }\n}\n"
       << "passdb {\n  driver = passwd-file\n"
       << "  args = scheme=PLAIN username_format=%u " << d << "passwd\n}\n"
       << "userdb {\n  driver = static\n"
       << "  args = uid=" << mailUid_ << " gid=" << mailGid_ << " home=" << d << "mail/%u\n}\n";
  WriteFileOrThrow(dir_ + "dovecot.conf", conf.str(), 0644);
}

void DovecotServer::WritePasswd() const {
  std::string lines;
  for (const DovecotUser& user : options_.users) lines += user.name + ":{PLAIN}" + user.password + "\n";
  // Renamed into place, so a running server never reads half a file.
  WriteFileOrThrow(dir_ + "passwd.new", lines, 0644);
  fs::rename(dir_ + "passwd.new", dir_ + "passwd");
}

bool DovecotServer::TryStart(std::string* failure) {
  const std::string conf = dir_ + "dovecot.conf";
  const std::string output = dir_ + "dovecot.out";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const char* argv[] = {"dovecot", "-c", conf.c_str(), nullptr};
  pid_t child = 0;
  const int spawned = posix_spawn(&child, kBinary, &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    *failure = std::string("DovecotServer: cannot run ") + kBinary + ": " + std::strerror(spawned);
    return false;
  }
  // The foreground process exits once the master has bound its ports and gone to the
  // background; an error before that is its exit status.
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  const auto deadline = Clock::now() + kStartTimeout;
  bool up = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  while (up && !GreetingArrives(port_, "+OK", deadline, options_.address)) {
    if (Clock::now() >= deadline) up = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (up) return true;
  Stop();
  *failure = "Dovecot did not start on " + options_.address + " port " + std::to_string(port_) + " within " +
             std::to_string(kStartTimeout.count()) + " s (" + conf + ").\n--- dovecot output ---\n" +
             ReadFileOrEmpty(output) + "--- dovecot.log ---\n" + LogTail();
  return false;
}

void DovecotServer::Stop() {
  running_ = false;
  const std::string pidFile = dir_ + "run/master.pid";
  const pid_t pid = static_cast<pid_t>(std::atol(ReadFileOrEmpty(pidFile).c_str()));
  if (pid <= 1) return;
  // A stale pid file must not make us signal some other process.
  std::string command = ReadFileOrEmpty("/proc/" + std::to_string(pid) + "/cmdline");
  std::replace(command.begin(), command.end(), '\0', ' ');
  if (command.find(dir_ + "dovecot.conf") == std::string::npos) return;
  ::kill(pid, SIGTERM);
  // The master waits for its services, then about a second for its log process.
  if (!WaitForExit(pid, kStopTimeout)) {
    ::kill(pid, SIGKILL);
    WaitForExit(pid, std::chrono::seconds(1));
  }
  ::unlink(pidFile.c_str());
}

void DovecotServer::AddUser(const std::string& name, const std::string& password) {
  if (!ValidUserName(name)) throw std::invalid_argument("DovecotServer: bad user name '" + name + "'");
  const std::string maildir = Maildir(name);
  for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir + sub);
  // Dovecot reads and writes the mailbox as the mail user (nobody when we are root).
  for (const std::string& path : {dir_ + "mail/" + name, dir_ + "mail/" + name + "/Maildir",
                                  maildir + "cur", maildir + "new", maildir + "tmp"}) {
    if (::chown(path.c_str(), mailUid_, mailGid_) != 0 && ::geteuid() == 0) {
      throw std::runtime_error("DovecotServer: cannot chown " + path);
    }
    ::chmod(path.c_str(), 0700);
  }
  options_.users.push_back({name, password});
  WritePasswd();
  if (running_) {
    // The auth process skips its check of the file for the rest of a second in which it has
    // looked up anyone; from the next second on, a lookup sees the file has grown.
    const auto now = std::chrono::system_clock::now();
    const auto nextSecond = std::chrono::floor<std::chrono::seconds>(now) + std::chrono::seconds(1);
    std::this_thread::sleep_until(nextSecond + std::chrono::milliseconds(5));
  }
}

std::string DovecotServer::Maildir(const std::string& user) const {
  return dir_ + "mail/" + user + "/Maildir/";
}

std::string DovecotServer::DeliverMessage(const std::string& user, const std::string& rawMessage) {
  const std::string maildir = Maildir(user);
  if (!fs::is_directory(maildir)) throw std::invalid_argument("DovecotServer: no user '" + user + "'");
  const std::string name = NextMaildirName();
  // Written in tmp/ and renamed into new/, so the server never sees a partial message.
  const std::string temporary = maildir + "tmp/" + name;
  WriteFileOrThrow(temporary, rawMessage, 0600);
  if (::chown(temporary.c_str(), mailUid_, mailGid_) != 0 && ::geteuid() == 0) {
    throw std::runtime_error("DovecotServer: cannot chown " + temporary);
  }
  fs::rename(temporary, maildir + "new/" + name);
  return name;
}

std::vector<std::string> DovecotServer::MessageFiles(const std::string& user) const {
  std::vector<std::string> files;
  for (const char* sub : {"new", "cur"}) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Maildir(user) + sub, error)) {
      if (entry.is_regular_file()) files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
    return MaildirOrder(fs::path(a).filename().string()) < MaildirOrder(fs::path(b).filename().string());
  });
  return files;
}

std::size_t DovecotServer::MessageCount(const std::string& user) const {
  return MessageFiles(user).size();
}

void DovecotServer::EmptyMailbox(const std::string& user) {
  for (const std::string& file : MessageFiles(user)) fs::remove(file);
}

void DovecotServer::DeleteMessageBehindTheClientsBack(const std::string& user, std::size_t number) {
  const std::vector<std::string> files = MessageFiles(user);
  if (number == 0 || number > files.size()) {
    throw std::out_of_range("DovecotServer: " + user + " has no message " + std::to_string(number));
  }
  fs::remove(files[number - 1]);
}

std::string DovecotServer::LogTail(std::size_t lines) const {
  return LastLines(dir_ + "dovecot.log", lines);
}

DovecotServer::Presence DovecotServer::CheckInstalled(std::string* message, const std::string& binary) {
  if (::access(binary.c_str(), X_OK) == 0) return Presence::kInstalled;
  const char* allow = std::getenv("ZELK_ALLOW_MISSING_DOVECOT");
  const bool skip = allow != nullptr && std::strcmp(allow, "1") == 0;
  *message = "Dovecot is not installed (" + binary + " missing): run scripts/install-deps.sh test" +
             (skip ? "; skipped because ZELK_ALLOW_MISSING_DOVECOT=1"
                   : ", or set ZELK_ALLOW_MISSING_DOVECOT=1 to skip the tests that need it");
  return skip ? Presence::kMissingSkip : Presence::kMissingFail;
}

void DovecotTest::SetUp() {
  std::string message;
  switch (DovecotServer::CheckInstalled(&message)) {
    case DovecotServer::Presence::kInstalled:
      return;
    case DovecotServer::Presence::kMissingSkip:
      GTEST_SKIP() << message;
    case DovecotServer::Presence::kMissingFail:
      FAIL() << message;
  }
}

}  // namespace zelk::test
