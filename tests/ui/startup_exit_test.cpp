#include <gtest/gtest.h>

#include <filesystem>

#include "fake_window.h"
#include "ui/network_commands.h"
#include "platform/files.h"
#include "store/mailbox_file.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "ui/save_all.h"
#include "ui/startup.h"

namespace zelk::ui {
namespace {

class StartAndExit : public ::testing::Test {
 protected:
  // What an earlier run left: two accounts, B with a message, the Savebox with one.
  void WriteHome(const std::string& general) {
    ProgramState earlier;
    test::MakeTable(earlier, {"A", "B"});
    store::Append(*earlier.table.boxes[3], test::MakeItem("in B", 1, 1, "<b>", 1));
    store::Append(*earlier.table.boxes[0], test::MakeItem("kept", 2, 2, "<k>", 1));
    ASSERT_TRUE(SaveAllFiles(home_.path(), earlier.settings, earlier.table));
    std::string profile = File("Zelk.ini");
    profile.insert(profile.find("[GENERAL]") + 11, general);
    ASSERT_TRUE(platform::WriteFileAtomically(home_.file("Zelk.ini"), profile));
  }
  StartupPlan Start(bool commandLine = false) {
    state_.home = home_.path();
    return StartUp(state_, commandLine, zone_, clock_, ports_, window_.ports);
  }
  bool Exit() { return RunExitSequence(state_, window_, window_.ports, window_.ports); }
  std::string File(const std::string& name) { return platform::ReadWholeFile(home_.file(name)).value_or(""); }
  void GrowPastTheDisk(int box) {
    store::Append(*state_.table.boxes[std::size_t(box)], test::MakeItem("big", 2, 2, "<big>", 1));
    state_.table.boxes[std::size_t(box)]->Items.back()->Body = std::string(64 * 1024, 'x');
  }

  test::TempDir home_;
  ProgramState state_;
  mime::LocalZone zone_;
  platform::SystemClock clock_;
  test::FakeWindow window_;
  WindowPorts ports_ = window_.Ports();
};

TEST_F(StartAndExit, StartLoadsEverythingThenShowsTheFirstAccountAndSaysWhatComesNext) {
  WriteHome("SocLog=1\r\nStartCheck=1\r\nShowTrayIcon=1\r\nStartHide=1\r\n");
  ASSERT_TRUE(platform::WriteFileAtomically(home_.file("Zelk.log"), "old run\r\n"));
  const StartupPlan plan = Start(true);
  EXPECT_EQ(window_.calls, (std::vector<std::string>{"cursor wait", "entry add [Savebox]", "entry add [Outbox]",
                                                     "entry add A", "entry add B", "entry rename A",
                                                     "entry select 2", "reset", "reset done", "shown 2",
                                                     "cursor normal"}));
  EXPECT_EQ(state_.table.boxes[3]->Items.size() + state_.table.boxes[0]->Items.size(), 2u);  // B's file, the Savebox
  EXPECT_FALSE(std::filesystem::exists(home_.file("Zelk.log")));
  EXPECT_TRUE(plan.ok && plan.checkAll && plan.commandLinePending && plan.trayIcon);
  EXPECT_FALSE(plan.showWindow || plan.openAccountSettings);

  // An account file that exists but cannot be read ends the start.
  std::filesystem::remove(home_.file("MailBox1.dat"));
  std::filesystem::create_directory(home_.file("MailBox1.dat"));
  window_.calls.clear();
  EXPECT_FALSE(Start().ok);
  EXPECT_EQ(window_.calls, (std::vector<std::string>{"cursor wait", "cursor normal", "message Error: Initialisation error"}));
}

TEST_F(StartAndExit, ThePlanArmsTheAutomaticCheckChecksEveryAccountAndReadsTheCommandLine) {
  WriteHome("StartCheck=1\r\nAutoCheck=1\r\n");
  const StartupPlan plan = Start(true);
  ASSERT_TRUE(plan.ok);
  for (std::size_t i = store::kFirstAccountIndex; i < state_.table.boxes.size(); ++i) {
    state_.table.boxes[i]->CyclicFlag = 1;  // the check-all visits no server
  }
  platform::PollEventLoop loop;
  QuietWindow window;
  net::NoDialUp dialUp;
  const net::ConversationLog log(home_.path(), false);
  ui::NetworkCommands commands(
      ui::CommandParts{loop, window_.ports, window_.ports, window_.ports, window_.ports, window_, window, dialUp, log,
                        clock_, zone_, home_.path(), {}},
      state_.settings, state_.table);
  window_.calls.clear();
  EXPECT_EQ(CarryOutStartupPlan(plan, state_, commands, "/a:B mailto:x@example.org", ports_), "mailto:x@example.org");
  EXPECT_TRUE(loop.HasTimer(net::kAutoCheckTimer));
  EXPECT_TRUE(commands.flags().cycleRunning);  // "Check all accounts" is under way
  EXPECT_EQ(state_.table.selected, 3);
  EXPECT_NE(std::find(window_.calls.begin(), window_.calls.end(), "shown 3"), window_.calls.end());
}

TEST_F(StartAndExit, WithoutAccountsTheFirstStartOnlyAsksForOne) {
  ASSERT_TRUE(platform::WriteFileAtomically(home_.file("Zelk.ini"), "[GENERAL]\r\nStartCheck=1\r\nStartHide=1\r\n"));
  const StartupPlan plan = Start(true);
  EXPECT_TRUE(plan.ok && plan.openAccountSettings && plan.showWindow);
  EXPECT_FALSE(plan.checkAll || plan.commandLinePending);
  SetUpFirstAccount(state_, ports_);  // cancelled, and still written: the next start does not ask
  ProgramState next;
  EXPECT_FALSE(LoadMailStore(home_.path(), next.settings, next.table).needsAccountSetup);
}

TEST_F(StartAndExit, AFailedSaveAnsweredNoKeepsTheProgramRunningAndTheFilesAsTheyWere) {
  WriteHome("");
  ASSERT_TRUE(Start().ok);
  window_.calls.clear();
  window_.conversationOpen = true;
  window_.widths = {201, 202, 203, 204};
  const std::string savebox = File(store::kSaveboxFile), profile = File("Zelk.ini");
  GrowPastTheDisk(0);
  {
    test::FileSizeLimit full(16 * 1024);
    EXPECT_FALSE(Exit());
  }
  EXPECT_EQ(window_.calls, (std::vector<std::string>{"cursor wait", "stop", "hang up", "hang up", "close windows",
                                                     "message Error: Save File error \nContinue?", "cursor normal"}));
  EXPECT_EQ(File(store::kSaveboxFile), savebox);
  EXPECT_EQ(File("Zelk.ini"), profile);
  EXPECT_EQ(state_.table.boxes[0]->Items.size(), 2u);

  // Yes goes on to the profile, whose failing account file asks again; room back, all is written.
  GrowPastTheDisk(2);
  window_.calls.clear();
  {
    test::FileSizeLimit full(16 * 1024);
    window_.ports.answers = {ports::Answer::kYes, ports::Answer::kNo};
    EXPECT_FALSE(Exit());
  }
  EXPECT_EQ(test::Messages(window_.calls).size(), 2u);
  EXPECT_TRUE(Exit());
  ProgramState reread;
  ASSERT_TRUE(LoadMailStore(home_.path(), reread.settings, reread.table).ok);
  EXPECT_EQ(reread.settings.LvColSize, (std::array<int, 4>{201, 202, 203, 204}));
  EXPECT_EQ(reread.table.boxes[0]->Items.size() + reread.table.boxes[2]->Items.size(), 3u);
}

}  // namespace
}  // namespace zelk::ui
