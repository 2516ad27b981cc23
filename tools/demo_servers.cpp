// zelk-demo-servers HOME: the mail servers of the demo that scripts/run.sh starts. A private
// Dovecot (POP3) holding the sample messages of demo_mail/ and, as root, a Postfix (SMTP with
// AUTH against Dovecot's users, delivering into the same mailbox) on free ports of 127.0.0.1,
// and a new home directory HOME whose account "Demo" uses them. Prints one line
// "ready pop3=PORT smtp=PORT" (smtp=none without Postfix) once everything is in place, then runs
// until SIGTERM, SIGINT or SIGHUP and stops the servers.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "demo_home.h"
#include "platform/files.h"
#include "support/dovecot_server.h"
#include "support/postfix_server.h"

namespace {

constexpr char kUser[] = "demo";
constexpr char kPassword[] = "demo";
constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void RequestStop(int) { stopRequested = 1; }

// Caught rather than blocked: the servers inherit a blocked mask but not a handler, and must
// still stop on their own signals.
void CatchStopSignals() {
  struct sigaction action = {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  for (const int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

void WaitForStopSignal() {
  sigset_t stops;
  sigset_t others;
  sigemptyset(&stops);
  for (const int signal : kStopSignals) sigaddset(&stops, signal);
  sigprocmask(SIG_BLOCK, &stops, &others);
  // Blocked between the test and the wait, so a signal cannot slip in unseen.
  while (!stopRequested) sigsuspend(&others);
}

// The sample messages in file-name order, which is the order the server numbers them.
std::vector<std::string> SampleMessageFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(ZELK_DEMO_MAIL)) {
    if (entry.path().extension() == ".eml") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

int Run(const std::string& home) {
  using zelk::test::DovecotOptions;
  using zelk::test::DovecotServer;
  using zelk::test::PostfixServer;
  const DovecotOptions mailbox{.users = {{kUser, kPassword}}};

  std::unique_ptr<PostfixServer> postfix;
  std::unique_ptr<DovecotServer> dovecotAlone;
  std::string unusable;
  if (PostfixServer::CheckUsable(&unusable) == PostfixServer::Presence::kUsable) {
    postfix = std::make_unique<PostfixServer>(mailbox);
  } else {
    std::fprintf(stderr,
                 "zelk-demo-servers: %s, so the demo runs without an SMTP server: sending from it fails "
                 "(\"Server name not set\") and nothing is sent.\n",
                 ::geteuid() != 0 ? "Postfix runs only as root"
                                  : "Postfix is not installed (scripts/install-deps.sh demo installs it)");
    dovecotAlone = std::make_unique<DovecotServer>(mailbox);
  }
  DovecotServer& dovecot = postfix ? postfix->dovecot() : *dovecotAlone;

  for (const std::string& file : SampleMessageFiles()) {
    const std::optional<std::string> message = zelk::platform::ReadWholeFile(file);
    if (!message) {
      std::fprintf(stderr, "zelk-demo-servers: cannot read %s\n", file.c_str());
      return 1;
    }
    dovecot.DeliverMessage(kUser, *message);
  }

  zelk::demo::DemoAccount account{kUser, kPassword, PostfixServer::Address(kUser), dovecot.port(), std::nullopt};
  if (postfix) account.smtpPort = postfix->port();
  std::string error;
  if (!zelk::demo::WriteDemoHome(home, account, error)) {
    std::fprintf(stderr, "zelk-demo-servers: %s\n", error.c_str());
    return 1;
  }

  const std::string smtp = postfix ? std::to_string(postfix->port()) : "none";
  std::printf("ready pop3=%d smtp=%s\n", dovecot.port(), smtp.c_str());
  std::fflush(stdout);
  WaitForStopSignal();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zelk-demo-servers HOME\n  HOME: a new folder for the demo's Zelk.ini\n");
    return 2;
  }
  // The servers must not outlive whoever started them, even when it is killed outright.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  CatchStopSignals();
  try {
    return Run(argv[1]);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "zelk-demo-servers: %s\n", failure.what());
    return 1;
  }
}
