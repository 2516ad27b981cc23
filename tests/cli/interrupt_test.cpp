// zelk-cli interrupted by SIGINT or SIGTERM in the middle of a conversation.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "config/password.h"
#include "platform/files.h"
#include "support/scripted_server.h"
#include "cli/cli_run.h"
#include "support/temp_dir.h"
#include "support/unanswered_listener.h"

namespace zelk {
namespace {

using test::Expect;
using test::Send;

bool WaitForLine(const test::ScriptedServer& server, const std::string& line) {
  for (int i = 0; i < 500; ++i) {
    const std::vector<std::string> lines = server.lines();
    if (!lines.empty() && lines.back() == line) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// The account "Work" (user u1, password pw) on 127.0.0.1:`port`.
bool WriteAccount(const test::TempDir& home, int port) {
  return platform::WriteFileAtomically(
      home.file("Zelk.ini"), "[GENERAL]\r\nMailBoxCnt=1\r\n[MAILBOX-0]\r\nName=\"Work\"\r\nServer=\"127.0.0.1\"\r\nPort=" +
                                 std::to_string(port) + "\r\nUser=\"u1\"\r\nPass=\"" +
                                 config::EncodePassword("u1", "pw") + "\"\r\n");
}

TEST(CliInterrupted, ASignalStopsTheConversationPolitelyAndTheFilesAreStillWritten) {
  for (const int signal : {SIGINT, SIGTERM}) {
    // The server answers the login, then keeps the client waiting for its STAT reply.
    test::ScriptedServer server({Send("+OK ready\r\n"), Expect("USER u1"), Send("+OK\r\n"), Expect("PASS pw"),
                                 Send("+OK\r\n"), Expect("CAPA"), Send("-ERR\r\n"), Expect("STAT"), Expect("RSET"), Send("+OK\r\n"), Expect("QUIT"),
                                 Send("+OK bye\r\n")});
    test::TempDir home;
    ASSERT_TRUE(WriteAccount(home, server.port()));
    const pid_t pid = test::StartCli(home, {"check", "Work"});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForLine(server, "STAT"));
    ::kill(pid, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(platform::ReadWholeFile(home.file("stderr.txt")).value_or("").find("Stopped"), std::string::npos);
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.failures(), "");
    // Written as at exit: the profile now holds the account's counters.
    EXPECT_NE(platform::ReadWholeFile(home.file("Zelk.ini")).value_or("").find("LastNo="), std::string::npos);
  }
}

// A server behind a silent firewall: the connect never finishes, yet Ctrl+C ends the run at once.
TEST(CliInterrupted, ASignalDuringAConnectThatHangsEndsTheRunAtOnceWithTheFilesWritten) {
  const test::UnansweredListener unanswered;
  test::TempDir home;
  ASSERT_TRUE(WriteAccount(home, unanswered.port()));
  const pid_t pid = test::StartCli(home, {"check", "Work"});
  ASSERT_GT(pid, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto signalled = std::chrono::steady_clock::now();
  ::kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
  ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal";
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(platform::ReadWholeFile(home.file("stderr.txt")).value_or("").find("Stopped"), std::string::npos);
  EXPECT_NE(platform::ReadWholeFile(home.file("Zelk.ini")).value_or("").find("LastNo="), std::string::npos);
}

}  // namespace
}  // namespace zelk
