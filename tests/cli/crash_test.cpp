// zelk-cli killed outright (SIGKILL) at random moments while it saves: every file must still load
// and hold either what it held before the run or what the run wrote, never a mixture or a stub.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "cli/cli_run.h"
#include "platform/files.h"
#include "store/mailbox_file.h"
#include "support/temp_dir.h"

namespace zelk {
namespace {

// An account whose 3,000 downloaded messages make a mailbox file of a few megabytes, so that
// saving it takes long enough to be caught in the middle.
void MakeBigAccount(const test::TempDir& home) {
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("Zelk.ini"),
                                            "[GENERAL]\r\nMailBoxCnt=1\r\n[MAILBOX-0]\r\nName=\"Work\"\r\n"));
  std::string body;
  while (body.size() < 1500) body += "A line of a stored message body, as downloaded.\r\n";
  store::MailBox box;
  for (int n = 1; n <= 3000; ++n) {
    auto item = std::make_shared<store::MailItem>();
    item->No = n;
    item->Subject = "Message " + std::to_string(n);
    item->MessageId = "<" + std::to_string(n) + "@example.org>";
    item->Body = body;
    item->Status = item->Mark = store::kStatusUnread;
    item->Download = 1;
    box.Items.push_back(item);
  }
  ASSERT_TRUE(store::SaveMailBox(home.file("MailBox0.dat"), box, store::kSaveWithBodies));
}

std::string Rows(int count) {
  std::string rows;
  for (int row = 1; row <= count; ++row) rows += " " + std::to_string(row);
  return rows;
}

TEST(CliKilled, EveryFileHoldsTheStateBeforeOrAfterTheInterruptedSave) {
  test::TempDir home;
  MakeBigAccount(home);
  // The two states the runs switch between, each written by a whole run.
  const std::string markRead = "mark Work" + Rows(3000) + " --read";
  const std::string markUnread = "mark Work" + Rows(3000) + " --unread";
  // The shortest of a few whole runs: killed within it, most runs die before they end.
  std::chrono::steady_clock::duration runTime = std::chrono::hours(1);
  std::string read, unread;
  for (int i = 0; i < 3; ++i) {
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(test::RunCli(home, markRead).status, 0);
    runTime = std::min(runTime, std::chrono::steady_clock::now() - started);
    read = platform::ReadWholeFile(home.file("MailBox0.dat")).value_or("");
    ASSERT_EQ(test::RunCli(home, markUnread).status, 0);
    unread = platform::ReadWholeFile(home.file("MailBox0.dat")).value_or("");
  }
  const std::string profile = platform::ReadWholeFile(home.file("Zelk.ini")).value_or("");
  ASSERT_NE(read, unread);

  std::mt19937 random(20261209);
  const auto limit = std::chrono::duration_cast<std::chrono::microseconds>(runTime);
  int caught = 0;
  for (int run = 0; run < 200; ++run) {
    std::vector<std::string> args = {"mark", "Work"};
    for (int row = 1; row <= 3000; ++row) args.push_back(std::to_string(row));
    args.push_back(run % 2 == 0 ? "--read" : "--unread");
    const std::optional<bool> killed = test::KillCliWithin(home, args, random, limit);
    ASSERT_TRUE(killed.has_value());
    caught += *killed ? 1 : 0;

    const std::string mailbox = platform::ReadWholeFile(home.file("MailBox0.dat")).value_or("");
    ASSERT_TRUE(mailbox == read || mailbox == unread) << "run " << run << ": " << mailbox.size() << " bytes";
    store::MailBox loaded;
    ASSERT_TRUE(store::LoadMailBox(home.file("MailBox0.dat"), loaded));
    ASSERT_EQ(loaded.Items.size(), 3000u);
    ASSERT_EQ(platform::ReadWholeFile(home.file("Zelk.ini")).value_or(""), profile) << "run " << run;
  }
  // Most runs die on the way (over 180 on a quiet machine); a busy one lets more finish.
  EXPECT_GE(caught, 50) << "too few runs were killed on the way for the test to mean much";
}

}  // namespace
}  // namespace zelk
