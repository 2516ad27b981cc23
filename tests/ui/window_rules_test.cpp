#include <gtest/gtest.h>

#include "fake_window.h"
#include "support/temp_dir.h"
#include "ui/command_line_rule.h"
#include "ui/mailbox_selection.h"
#include "ui/shown_list_follower.h"
#include "ui/window_rules.h"

namespace zelk::ui {
namespace {

using Texts = std::vector<std::string>;

class WindowRules : public test::ProgramTest {
 protected:
  void SetUp() override {
    test::MakeTable(state_, {"Work", "Home", "Spare"});
    Box(2).Items = {test::MakeItem("b head", 0, 0, "<a>"), test::MakeItem("c unread", 1, 1, "<b>", 1),
                    test::MakeItem("a read", 2, 2, "<c>", 1)};
    Box(2).Items[0]->New = 1;
    Box(2).Items[1]->Body = "text\r\n";
    Box(2).MailCnt = 7;
    Box(4).Items = {test::MakeItem("later", 1, 1, "<d>", 1)};
    Box(1).Items = {test::MakeItem("unsent", 0, 0)};
    SelectMailbox(state_, 2, ports_);
  }
  Texts Shown() {
    Texts subjects;
    for (int row = 0; row < store::RowCount(state_.list); ++row) {
      subjects.push_back(*store::ItemOfRow(state_.list, row)->Subject);
    }
    return subjects;
  }
};

TEST_F(WindowRules, TheShownListFollowsWhatTheNetworkAddsAndDeletes) {
  test::FakePorts view;
  ShownListFollower follower(state_.list, view);
  SortByColumn(state_, 0);  // by subject: a, b, c
  Box(2).Items.push_back(test::MakeItem("d new", 0, 0, "<e>"));
  follower.InsertRow(3);
  EXPECT_EQ(Shown(), (Texts{"a read", "b head", "c unread", "d new"}));

  // A re-synchronisation drops the first and third items, then compacts the mailbox.
  follower.SuspendRedraw();
  for (const std::size_t gone : {0u, 2u}) {
    const int row = store::RowOfItem(state_.list, Box(2).Items[gone].get());
    follower.RemovingRow(row);
    Box(2).Items[gone].reset();
    follower.RowRemoved(row);
  }
  store::Compact(Box(2));
  follower.ResumeRedraw();
  EXPECT_EQ(Shown(), (Texts{"c unread", "d new"}));
  EXPECT_EQ(view.calls, (Texts{"insert 3", "suspend", "delete 1", "deleted 1", "delete 0", "deleted 0", "resume"}));

  follower.ResettingRows();
  store::FreeItems(Box(2).Items);
  Box(2).Items.clear();
  follower.RowsReset();
  EXPECT_EQ(store::RowCount(state_.list), 0);
}

TEST_F(WindowRules, CountsOpenActionsAndSpaceFollowTheMailboxShown) {
  StatusCounts counts = CountsFor(state_, true);
  EXPECT_EQ(counts.view, "View 3/ Server 7");
  EXPECT_EQ(counts.idle, "New 1, Unread 1");
  EXPECT_FALSE(CountsFor(state_, false).idle);

  const int header = store::RowOfItem(state_.list, Box(2).Items[0].get());
  const int whole = store::RowOfItem(state_.list, Box(2).Items[1].get());
  EXPECT_EQ(OpenActionFor(state_, header, OpenBy::kCommand), OpenAction::kBodyNotDownloaded);
  EXPECT_EQ(OpenActionFor(state_, header, OpenBy::kEnterKey), OpenAction::kToggleDownloadMark);
  EXPECT_EQ(OpenActionFor(state_, whole, OpenBy::kEnterKey), OpenAction::kViewer);
  EXPECT_EQ(OpenActionFor(state_, 9, OpenBy::kCommand), OpenAction::kNothing);

  // Space in an empty list: the next account with unread mail, wrapping round to the first.
  EXPECT_EQ(NextAccountWithUnreadMail(state_), 4);
  SelectMailbox(state_, 4, ports_);
  EXPECT_EQ(NextAccountWithUnreadMail(state_), 2);
  state_.settings.MoveAllMailBox = 0;
  EXPECT_EQ(NextAccountWithUnreadMail(state_), -1);

  SelectMailbox(state_, 1, ports_);
  EXPECT_EQ(OpenActionFor(state_, 0, OpenBy::kEnterKey), OpenAction::kComposer);
  counts = CountsFor(state_, true);
  EXPECT_EQ(counts.view, "View 1");
  EXPECT_EQ(counts.idle, "");
}

TEST_F(WindowRules, OrderCommandsAreKeptInTheSettings) {
  state_.list.settings.LvAutoSort = 2;
  SortByColumn(state_, 3);
  EXPECT_EQ(state_.settings.LvSortItem, 4);
  SortByColumn(state_, 3);
  EXPECT_EQ(state_.settings.LvSortItem, -4);
  SetThreadMode(state_, true);
  EXPECT_EQ(state_.settings.LvThreadView, 1);
  SortByIcon(state_);
  EXPECT_EQ(state_.settings.LvThreadView, 0);
  EXPECT_EQ(state_.settings.LvSortItem, 102);
}

TEST(CommandLineOf, QuotesAnAccountNameWithSpacesAgain) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, ""},
      {{"/a:My Home", "mailto:x@y.z"}, "/a:\"My Home\" mailto:x@y.z"},
      {{"/A:Work", "a@b.c,", "d@e.f"}, "/A:Work a@b.c, d@e.f"},
      {{"/a:\"Quoted Already\""}, "/a:\"Quoted Already\""},
      {{"mailto:x@y.z?subject=Two words"}, "mailto:x@y.z?subject=Two words"},
  };
  for (const auto& [arguments, line] : cases) EXPECT_EQ(CommandLineOf(arguments), line);
}

}  // namespace
}  // namespace zelk::ui
