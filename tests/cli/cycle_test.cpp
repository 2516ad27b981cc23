// zelk-cli's commands over several accounts: check --all, update --all, and what each account's
// end leaves on disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_run.h"
#include "config/password.h"
#include "platform/files.h"
#include "store/mailbox.h"
#include "store/mailbox_file.h"
#include "support/dovecot_server.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace zelk {
namespace {

using test::CliRun;
using test::RunCli;

struct Account {
  std::string name;
  int port;
  std::string user;
  std::string password;
  std::string extra;  // more key lines of its section
};

void WriteProfile(const test::TempDir& home, const std::vector<Account>& accounts, const std::string& general = "") {
  std::string text = "[GENERAL]\r\nMailBoxCnt=" + std::to_string(accounts.size()) + "\r\nTimeZone=\"+0000\"\r\n" + general;
  for (std::size_t i = 0; i < accounts.size(); ++i) {
    const Account& a = accounts[i];
    text += "[MAILBOX-" + std::to_string(i) + "]\r\nName=\"" + a.name + "\"\r\nServer=\"127.0.0.1\"\r\nPort=" +
            std::to_string(a.port) + "\r\nUser=\"" + a.user + "\"\r\nPass=\"" +
            config::EncodePassword(a.user, a.password) + "\"\r\n" + a.extra;
  }
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("Zelk.ini"), text));
}

std::string Message(const std::string& user, int n) {
  return "From: Sender <s@example.org>\r\nTo: " + user + "@example.org\r\nSubject: " + user + " " + std::to_string(n) +
         "\r\nDate: Tue, 3 Jan 2006 10:0" + std::to_string(n) + ":00 +0000\r\nMessage-ID: <" + user +
         std::to_string(n) + "@example.org>\r\n\r\nBody " + std::to_string(n) + "\r\n";
}

// The subjects a mailbox file holds, in file order.
std::vector<std::string> Subjects(const test::TempDir& home, int account) {
  store::MailBox box;
  if (!store::LoadMailBox(home.file("MailBox" + std::to_string(account) + ".dat"), box)) return {"(unreadable)"};
  std::vector<std::string> subjects;
  for (const store::ItemRef& item : box.Items) subjects.push_back(item->Subject.value_or(""));
  return subjects;
}

// The subject column of printed rows, and the account lines as they are.
std::vector<std::string> Printed(const std::string& out) {
  std::vector<std::string> shown;
  std::size_t at = 0;
  while (at < out.size()) {
    const std::size_t end = out.find('\n', at);
    const std::string line = out.substr(at, end - at);
    at = end == std::string::npos ? out.size() : end + 1;
    const std::size_t tab = line.find('\t', line.find('\t') + 1);
    shown.push_back(tab == std::string::npos ? line : line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1));
  }
  return shown;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class CliCycles : public test::DovecotTest {
 protected:
  void SetUp() override {
    test::DovecotTest::SetUp();
    if (IsSkipped()) return;
    server = std::make_unique<test::DovecotServer>(
        test::DovecotOptions{{{"u1", "pw1"}, {"u2", "pw2"}, {"u3", "pw3"}}, false});
    for (const char* user : {"u1", "u2", "u3"}) {
      for (int n = 1; n <= 2; ++n) server->DeliverMessage(user, Message(user, n));
    }
  }
  Account Of(const std::string& name, const std::string& user, const std::string& password,
             const std::string& extra = "") const {
    return {name, server->port(), user, password, extra};
  }
  std::unique_ptr<test::DovecotServer> server;
  test::TempDir home;
};

TEST_F(CliCycles, CheckAllVisitsEveryAccountButTheOneLeftOutAndSavesEach) {
  WriteProfile(home, {Of("One", "u1", "pw1"), Of("Two", "u2", "pw2", "CyclicFlag=1\r\n"), Of("Three", "u3", "pw3")});
  const CliRun run = RunCli(home, "check --all");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Printed(run.out), (std::vector<std::string>{"One:", "u1 1", "u1 2", "Three:", "u3 1", "u3 2"})) << run.out;
  EXPECT_EQ(Subjects(home, 0), (std::vector<std::string>{"u1 1", "u1 2"}));
  EXPECT_EQ(Subjects(home, 1), std::vector<std::string>{});
  EXPECT_EQ(Subjects(home, 2), (std::vector<std::string>{"u3 1", "u3 2"}));

  // Nothing new the second time: no rows, no account lines, and the left-out account still waits.
  server->DeliverMessage("u3", Message("u3", 3));
  const CliRun again = RunCli(home, "check --all");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(Printed(again.out), (std::vector<std::string>{"Three:", "u3 3"})) << again.out;
  EXPECT_EQ(RunCli(home, "check --all extra").status, 2);
  EXPECT_EQ(RunCli(home, "check --every").status, 2);
}

TEST_F(CliCycles, AWrongPasswordStopsCheckAllUnlessErrorsAreIgnored) {
  for (const bool ignore : {false, true}) {
    test::TempDir here;
    WriteProfile(here, {Of("One", "u1", "wrong"), Of("Two", "u2", "pw2")},
                 ignore ? "SocIgnoreError=1\r\nSocLog=1\r\n" : "SocIgnoreError=0\r\n");
    const CliRun run = RunCli(here, "check --all");
    // Either way the command failed: an account was not checked.
    EXPECT_EQ(run.status, 1) << ignore;
    EXPECT_EQ(Count(run.err, "Username or password error"), 1u) << run.err;
    if (ignore) {
      EXPECT_EQ(Printed(run.out), (std::vector<std::string>{"Two:", "u2 1", "u2 2"})) << run.out;
      EXPECT_EQ(Subjects(here, 1), (std::vector<std::string>{"u2 1", "u2 2"}));
      // The ignored error is in the log, between the two accounts' conversations.
      const std::string log = platform::ReadWholeFile(here.file("Zelk.log")).value_or("");
      const std::size_t error = log.find("Username or password error");
      EXPECT_NE(error, std::string::npos) << log;
      EXPECT_EQ(Count(log, "PASS ****"), 2u) << log;
      EXPECT_LT(error, log.rfind("(recv)")) << log;
    } else {
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(Subjects(here, 1), std::vector<std::string>{});
    }
  }
}

// The LastNo the profile holds for the first account.
int LastNo(const test::TempDir& home) {
  const std::string profile = platform::ReadWholeFile(home.file("Zelk.ini")).value_or("");
  const std::size_t at = profile.find("\nLastNo=", profile.find("[MAILBOX-0]"));
  return at == std::string::npos ? -2 : std::atoi(profile.c_str() + at + 8);
}

TEST_F(CliCycles, ChecksKilledAtRandomMomentsLeaveWholeFilesAndLoseNothing) {
  WriteProfile(home, {Of("One", "u1", "pw1")});
  ASSERT_EQ(RunCli(home, "check One").status, 0);
  std::chrono::steady_clock::duration runTime = std::chrono::hours(1);
  int delivered = 2;
  for (int i = 0; i < 3; ++i) {
    server->DeliverMessage("u1", Message("u1", ++delivered));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(RunCli(home, "check One").status, 0);
    runTime = std::min(runTime, std::chrono::steady_clock::now() - started);
  }
  std::mt19937 random(20261209);
  const auto limit = std::chrono::duration_cast<std::chrono::microseconds>(runTime);
  int caught = 0;
  for (int run = 0; run < 200; ++run) {
    const std::vector<std::string> before = Subjects(home, 0);
    const int lastNo = LastNo(home);
    server->DeliverMessage("u1", Message("u1", ++delivered));
    const std::optional<bool> killed = test::KillCliWithin(home, {"check", "One"}, random, limit);
    ASSERT_TRUE(killed.has_value());
    caught += *killed ? 1 : 0;

    // The mailbox as it was, or with everything after the old LastNo added; the profile's
    // counter as it was, or at the last message, and never past what the mailbox holds.
    std::vector<std::string> after = before;
    for (int n = lastNo + 1; n <= delivered; ++n) after.push_back("u1 " + std::to_string(n));
    const std::vector<std::string> now = Subjects(home, 0);
    ASSERT_TRUE(now == before || now == after) << "run " << run << ": " << now.size() << " items";
    const int counter = LastNo(home);
    ASSERT_TRUE(counter == lastNo || counter == delivered) << "run " << run << ": " << counter;
    ASSERT_TRUE(counter == lastNo || now == after) << "run " << run << ": the counter passed unsaved mail";
  }
  EXPECT_GE(caught, 50) << "too few runs were killed on the way for the test to mean much";
}

TEST_F(CliCycles, UpdatesKilledAtRandomMomentsLeaveEachFileBeforeOrAfter) {
  WriteProfile(home, {Of("One", "u1", "pw1")});
  std::string body;
  while (body.size() < 20'000) body += "A line of a message that is downloaded whole.\r\n";
  for (int n = 3; n <= 40; ++n) server->DeliverMessage("u1", Message("u1", n) + body);
  ASSERT_EQ(RunCli(home, "check One").status, 0);
  const std::string rows = "mark One" + [] {
    std::string all;
    for (int row = 1; row <= 40; ++row) all += " " + std::to_string(row);
    return all;
  }() + " --download";
  const auto File = [&] { return platform::ReadWholeFile(home.file("MailBox0.dat")).value_or(""); };
  // The two states: every message marked for download, and every message downloaded.
  std::string before, after;
  std::chrono::steady_clock::duration runTime = std::chrono::hours(1);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(RunCli(home, rows).status, 0);
    before = File();
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(RunCli(home, "update One").status, 0);
    runTime = std::min(runTime, std::chrono::steady_clock::now() - started);
    after = File();
  }
  const std::string profile = platform::ReadWholeFile(home.file("Zelk.ini")).value_or("");
  ASSERT_NE(before, after);

  std::mt19937 random(20261210);
  const auto limit = std::chrono::duration_cast<std::chrono::microseconds>(runTime);
  int caught = 0;
  for (int run = 0; run < 200; ++run) {
    if (File() != before) {
      ASSERT_EQ(RunCli(home, rows).status, 0);
    }
    ASSERT_EQ(File(), before);
    const std::optional<bool> killed = test::KillCliWithin(home, {"update", "One"}, random, limit);
    ASSERT_TRUE(killed.has_value());
    caught += *killed ? 1 : 0;
    const std::string now = File();
    ASSERT_TRUE(now == before || now == after) << "run " << run << ": " << now.size() << " bytes";
    ASSERT_EQ(Subjects(home, 0).size(), 40u);
    ASSERT_EQ(platform::ReadWholeFile(home.file("Zelk.ini")).value_or(""), profile) << "run " << run;
  }
  EXPECT_GE(caught, 50) << "too few runs were killed on the way for the test to mean much";
}

TEST_F(CliCycles, UpdateAllDeletesFromEveryMarkedAccountOnlyWithYesAskingOnce) {
  WriteProfile(home, {Of("One", "u1", "pw1"), Of("Two", "u2", "pw2"), Of("Three", "u3", "pw3")});
  ASSERT_EQ(RunCli(home, "check --all").status, 0);
  ASSERT_EQ(RunCli(home, "mark One 1 --delete").status, 0);
  ASSERT_EQ(RunCli(home, "mark Three 2 --delete").status, 0);

  const CliRun refused = RunCli(home, "update --all");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(Count(refused.err, "Warning!  This will delete mail from the server"), 1u) << refused.err;
  EXPECT_NE(refused.err.find("zelk-cli: One: Warning!"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("needs --yes"), std::string::npos) << refused.err;
  EXPECT_EQ(server->MessageCount("u1"), 2u);
  EXPECT_EQ(server->MessageCount("u3"), 2u);

  const CliRun update = RunCli(home, "update --all --yes");
  EXPECT_EQ(update.status, 0) << update.err;
  EXPECT_EQ(Count(update.err, "Warning!"), 1u) << update.err;
  EXPECT_EQ(server->MessageCount("u1"), 1u);
  EXPECT_EQ(server->MessageCount("u2"), 2u);
  EXPECT_EQ(server->MessageCount("u3"), 1u);
  EXPECT_EQ(Subjects(home, 0), std::vector<std::string>{"u1 2"});
  EXPECT_EQ(Subjects(home, 2), std::vector<std::string>{"u3 1"});

  const CliRun nothing = RunCli(home, "update --all --yes");
  EXPECT_EQ(nothing.status, 1);
  EXPECT_NE(nothing.err.find("There is no marked mail"), std::string::npos) << nothing.err;
  EXPECT_EQ(RunCli(home, "update --all One").status, 2);
}

TEST_F(CliCycles, AnAccountsMailIsOnDiskAsSoonAsItsCheckEndsAndSIGINTStopsTheRest) {
  for (const int signal : {SIGKILL, SIGINT}) {
    // The second account's server accepts and never greets, so the run waits there for good.
    test::ScriptedServer silent({test::Silence()});
    test::TempDir here;
    WriteProfile(here, {Of("One", "u1", "pw1"), {"Mute", silent.port(), "u2", "pw2", ""}});
    const pid_t pid = test::StartCli(here, {"check", "--all"});
    ASSERT_GT(pid, 0);
    bool saved = false;
    for (int i = 0; i < 1000 && !saved; ++i) {
      // The mailbox file is written first, then the profile's counters.
      saved = Subjects(here, 0) == std::vector<std::string>{"u1 1", "u1 2"} && LastNo(here) == 2;
      if (!saved) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Whether Mute's turn has begun or not, a SIGINT now stops the run and keeps One's mail.
    ::kill(pid, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(saved) << signal;
    if (signal == SIGINT) {
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 1);
      EXPECT_NE(platform::ReadWholeFile(here.file("stderr.txt")).value_or("").find("Stopped"), std::string::npos);
    }
    // The counters went with the mail: the next check fetches nothing twice.
    const std::string profile = platform::ReadWholeFile(here.file("Zelk.ini")).value_or("");
    EXPECT_NE(profile.find("LastNo=2"), std::string::npos) << profile;
    const CliRun again = RunCli(here, "check One");
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "");
  }
}

}  // namespace
}  // namespace zelk
