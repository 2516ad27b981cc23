#include <gtest/gtest.h>

#include "fake_window.h"
#include "store/mailbox_file.h"
#include "support/temp_dir.h"
#include "ui/account_commands.h"
#include "ui/command_line_rule.h"
#include "ui/command_states.h"
#include "ui/list_commands.h"
#include "ui/mailbox_selection.h"

namespace zelk::ui {
namespace {

using Rows = std::vector<int>;
using Texts = std::vector<std::string>;

TEST(CommandStates, FollowTheMailboxTheRowsAndTheConversation) {
  CommandInputs in{.selectedMailbox = 3, .accountCount = 2, .conversationMailbox = 3, .idle = false,
                   .rowSelected = true, .selectedRasMode = 1};
  CommandStates s = EnabledCommands(in);
  EXPECT_FALSE(s.Enabled(Command::kAccountDelete) || s.Enabled(Command::kMoveUp) || s.Enabled(Command::kCheck));
  EXPECT_TRUE(s.Enabled(Command::kStop) && s.Enabled(Command::kMarkForDelete) && s.Enabled(Command::kInitialise));
  in = {.selectedMailbox = 2, .accountCount = 2, .EnableLAN = 1, .selectedRasMode = 1};
  s = EnabledCommands(in);
  EXPECT_TRUE(s.Enabled(Command::kAccountDelete) && s.Enabled(Command::kMoveDown) && s.Enabled(Command::kUpdate));
  EXPECT_FALSE(s.Enabled(Command::kDialUpConnect) || s.Enabled(Command::kDialUpDisconnect) || s.Enabled(Command::kOpen));
  in = {.selectedMailbox = 0, .accountCount = 1, .idle = false, .rowSelected = true};
  s = EnabledCommands(in);
  EXPECT_FALSE(s.Enabled(Command::kStop) || s.Enabled(Command::kMarkForDownload) || s.Enabled(Command::kAccountEdit));
  EXPECT_TRUE(s.Enabled(Command::kMarkAsRead) && s.Enabled(Command::kDeleteFromList));
  in.selectedMailbox = 1;
  s = EnabledCommands(in);
  EXPECT_TRUE(s.Enabled(Command::kStop) && s.Enabled(Command::kMarkForDownload) && s.Enabled(Command::kCopyToSavebox));
  EXPECT_FALSE(s.Enabled(Command::kMarkAsUnread) || s.Enabled(Command::kMarkForDelete));
}

class Commands : public test::ProgramTest {
 protected:
  void SetUp() override {
    test::MakeTable(state_, {"Work", "My Home", ""});
    state_.home = dir_.path();
    Box(2).Items = {test::MakeItem("head", 0, 0, "<a>"), test::MakeItem("unread", 1, 1, "<b>", 1),
                    test::MakeItem("read", 2, 2, "<c>", 1), test::MakeItem("fetch", 0, 3, "<d>")};
    Box(1).Items = {test::MakeItem("unsent", 0, 0), test::MakeItem("sent", 5, 5)};
    Box(0).Items = {test::MakeItem("kept", 2, 2, "<c>", 1)};
  }
  void Show(int index) {
    SelectMailbox(state_, index, ports_);
    window_.calls.clear();
  }
  std::vector<int> Marks(int box) {
    std::vector<int> marks;
    for (const store::ItemRef& item : Box(box).Items) marks.push_back(item->Mark);
    return marks;
  }
  Texts Subjects(int box) {
    Texts subjects;
    for (const store::ItemRef& item : Box(box).Items) subjects.push_back(*item->Subject);
    return subjects;
  }
};

TEST_F(Commands, CommandLineSelectsAnAccountByNameAndLeavesTheAddress) {
  const auto read = [this](const char* text) { return ReadCommandLine(state_.table, text); };
  const CommandLineRequest quoted = read("  /A:\"my home\"   mailto:x@y.z?subject=Hi there");
  EXPECT_EQ(quoted.account, 3);
  EXPECT_EQ(quoted.address, "mailto:x@y.z?subject=Hi there");
  EXPECT_EQ(read("/a:work").account, 2);
  EXPECT_EQ(read("/q x@y.z").address, "x@y.z");
  EXPECT_EQ(read(" a@b.c, d@e.f").address, "a@b.c, d@e.f");
  EXPECT_EQ(read("/a: x@y.z").account, -1);  // no name, though one account has none
  for (const char* nothing : {"   ", "/a:Work  ", "/x", "/a:\"My Home"}) EXPECT_EQ(read(nothing).address, "") << nothing;
}

TEST_F(Commands, MarksKeepOrToggleAndStayOutOfTheSavebox) {
  Show(2);
  MarkRowsForDownload(state_, Rows{0, 3}, ports_);
  ToggleDownloadMark(state_, Rows{0, 1}, ports_);
  MarkRowsAsRead(state_, Rows{0, 1, 2}, false, ports_);
  EXPECT_EQ(Marks(2), (std::vector<int>{0, 3, 1, 3}));  // Ctrl+D kept row 3 marked; a download mark outlives unread
  EXPECT_EQ(window_.calls.back(), "counts");
  Show(1);
  ToggleDownloadMark(state_, Rows{1}, ports_);
  MarkRowsForDelete(state_, Rows{0}, ports_);
  EXPECT_EQ(Marks(1), (std::vector<int>{0, 6}));
  Show(0);
  MarkRowsForDownload(state_, Rows{0}, ports_);
  EXPECT_EQ(Marks(0), (std::vector<int>{2}));
}

TEST_F(Commands, CopiesReplaceTheSameMessageButAWholeOneOnlyAfterAsking) {
  Show(2);
  EXPECT_FALSE(CopyRows(state_, Rows{1}, ports_));  // No to the first question
  window_.ports.answers = {ports::Answer::kYes};
  EXPECT_TRUE(CopyRows(state_, Rows{2, 1}, ports_));
  EXPECT_EQ(Subjects(0), (Texts{"read", "unread"}));  // "<c>" replaced where it was
  EXPECT_EQ(Box(0).Items[1]->MailBoxName, "Work");
  Box(2).Items[0]->MessageId = "<c>";  // header only, and the Savebox holds it whole
  window_.ports.answers = {ports::Answer::kYes, ports::Answer::kNo, ports::Answer::kYes, ports::Answer::kYes};
  EXPECT_FALSE(CopyRows(state_, Rows{0}, ports_));
  EXPECT_TRUE(CopyRows(state_, Rows{0}, ports_));
  const std::string one = "message Copy: Copy 1 mail to the Savebox?";
  const std::string whole = "message Copy: The Savebox holds the whole message. Replace it with the header only?";
  EXPECT_EQ(test::Messages(window_.calls), (Texts{one, "message Copy: Copy 2 mail to the Savebox?", one, whole, one, whole}));
  store::MailBox written;  // AutoSave
  ASSERT_TRUE(store::LoadMailBox(dir_.file(store::kSaveboxFile), written));
  EXPECT_EQ(*written.Items[0]->Subject, "head");

  // In the Outbox: unsent copies, the first selected, none sent from "[Outbox]".
  Show(1);
  EXPECT_TRUE(CopyRows(state_, Rows{1, 0}, ports_));
  EXPECT_EQ(Marks(1), (std::vector<int>{0, 5, 0, 0}));
  EXPECT_FALSE(Box(1).Items[2]->MailBoxName);
  EXPECT_EQ(window_.calls, (Texts{"insert 2", "insert 3", "select 2 focus", "scroll 2", "counts"}));
}

TEST_F(Commands, DeleteFromListAsksWithTheCountAndKeepsTheOtherRows) {
  Show(2);
  window_.ports.answers = {ports::Answer::kYes};
  std::vector<std::string> goingSubjects;  // what the view can still read as each row goes
  window_.ports.removing = [&](int row) {
    goingSubjects.push_back(Box(2).Items[state_.list.rows[std::size_t(row)]]->Subject.value_or(""));
  };
  EXPECT_TRUE(DeleteFromList(state_, Rows{3, 1, 1}, ports_));
  window_.ports.removing = nullptr;
  EXPECT_EQ(goingSubjects.size(), 2u);
  EXPECT_EQ(Subjects(2), (Texts{"head", "read"}));
  EXPECT_EQ(state_.list.rows, (std::vector<std::size_t>{0, 1}));
  EXPECT_EQ(window_.calls, (Texts{"message Delete: Delete 2 mail from the list?\n(Is not deleted from the server)",
                                  "delete 3", "deleted 3", "delete 1", "deleted 1", "counts"}));
  Show(1);
  state_.list.rows = {1, 0};  // sorted the other way round
  window_.ports.answers = {ports::Answer::kYes};
  EXPECT_TRUE(DeleteFromList(state_, Rows{0}, ports_));
  EXPECT_EQ(window_.calls.front(), "message Delete: Delete 1 mail from the list?");
  EXPECT_EQ(Subjects(1), (Texts{"unsent"}));
}

TEST_F(Commands, DeletingAnAccountBeforeTheOneInConversationLowersItsIndex) {
  Show(2);
  window_.ports.answers = {ports::Answer::kYes};
  EXPECT_EQ(DeleteAccount(state_, 4, ports_), 3);
  EXPECT_EQ(state_.list.box, &Box(1));
  // The view lets go of the account's rows before the account goes.
  const auto at = [&](const char* call) { return std::find(window_.calls.begin(), window_.calls.end(), call); };
  ASSERT_NE(at("entry remove 2"), window_.calls.end());
  EXPECT_LT(at("reset done"), at("entry remove 2"));
  Show(3);
  EXPECT_EQ(DeleteAccount(state_, 3, ports_), 3);  // in conversation: not even asked
  EXPECT_TRUE(window_.calls.empty());
  EXPECT_FALSE(AddAccount(state_, ports_));  // its settings cancelled: gone again
  EXPECT_EQ(state_.table.boxes.size(), 4u);
  EXPECT_EQ(state_.list.box, &Box(3));
}

}  // namespace
}  // namespace zelk::ui
