#include <gtest/gtest.h>

#include "ui/fake_window.h"
#include "ui/mailbox_selection.h"
#include "viewer/navigation.h"
#include "viewer/shown_message.h"

namespace zelk::viewer {
namespace {

store::ItemRef Whole(const char* subject, int status) {
  store::ItemRef item = test::MakeItem(subject, status, status, nullptr, 1);
  item->Body = "text";
  return item;
}

class Navigation : public test::ProgramTest {
 protected:
  void SetUp() override {
    test::MakeTable(state_, {"Work", "Home", "Other"});
    state_.settings.MoveAllMailBox = 1;
    // Work: read, header only, unread, read.
    Box(2).Items = {Whole("w0", 2), test::MakeItem("w1", 0, 0), Whole("w2", 1), Whole("w3", 2)};
    Box(3).Items = {Whole("h0", 2)};
    Box(4).Items = {Whole("o0", 2), Whole("o1", 1)};
    Box(0).Items = {Whole("s0", 1)};
  }
  MoveTarget Move(int mailbox, int row, viewer::Move move) {
    ui::SelectMailbox(state_, mailbox, ports_);
    return FindMoveTarget(state_, row, move, ports_);
  }
};

TEST_F(Navigation, PreviousNextAndNextUnreadAcrossAccounts) {
  const struct {
    int mailbox, row;
    viewer::Move move;
    int moveAll;
    int expectedMailbox, expectedRow;
  } cases[] = {
      {2, 2, Move::kPrevious, 1, 2, 0},  // the header-only row is passed over
      {2, 0, Move::kPrevious, 1, 2, -1},
      {2, 0, Move::kNext, 1, 2, 2},
      {2, 3, Move::kNext, 1, 2, -1},
      {2, 0, Move::kNextUnread, 1, 2, 2},
      {2, 3, Move::kNextUnread, 1, 2, 2},  // from the top when nothing is below
      {2, 2, Move::kNextUnread, 1, 4, 1},  // on to the next account with unread mail
      {4, 1, Move::kNextUnread, 1, 2, 2},  // round to the first accounts
      {2, 2, Move::kNextUnread, 0, 2, -1},
      {0, 0, Move::kNextUnread, 1, 2, 2},  // from the Savebox to the accounts
      {1, 0, Move::kNext, 1, 1, -1},        // nothing moves in the Outbox
  };
  for (const auto& c : cases) {
    state_.settings.MoveAllMailBox = c.moveAll;
    const MoveTarget target = Move(c.mailbox, c.row, c.move);
    const int i = static_cast<int>(&c - cases);
    EXPECT_EQ(state_.table.selected, c.expectedMailbox) << i;
    EXPECT_EQ(target.row, c.expectedRow) << i;
    EXPECT_EQ(target.switchedMailbox, c.expectedMailbox != c.mailbox) << i;
  }
}

TEST_F(Navigation, ShowingMarksReadKeepsTheDeleteMarkAndFollowsTheMailbox) {
  Box(2).MailAddress = "me@x";
  store::ItemRef item = Box(2).Items[2];
  item->Mark = store::kMarkDelete;
  item->To = "Me <ME@x>";
  item->From = "a@b";
  item->No = 3;
  ui::SelectMailbox(state_, 2, ports_);
  ShownMessage shown;
  ASSERT_TRUE(CanShow(item.get()));
  EXPECT_FALSE(CanShow(Box(2).Items[1].get()));
  ShowItem(shown, state_, item, false, ports_);
  EXPECT_EQ(item->Status, store::kStatusRead);
  EXPECT_EQ(item->Mark, store::kMarkDelete);
  EXPECT_EQ(shown.title, "Mail View - Work - [No.3]");
  EXPECT_EQ(shown.header, "From: a@b\r\nSubject: w2");  // the reader's own address is left out
  EXPECT_EQ(shown.pane, "text");
  EXPECT_TRUE(StillInViewedMailbox(shown, state_.table));
  EXPECT_TRUE(PartsStillValid(shown));
  item->Body = "the whole text, fetched by an update";
  EXPECT_FALSE(PartsStillValid(shown));
  ui::SelectMailbox(state_, 3, ports_);
  EXPECT_TRUE(StillInViewedMailbox(shown, state_.table));  // the mailbox it was shown from counts
  Box(2).Items.erase(Box(2).Items.begin() + 2);
  EXPECT_FALSE(StillInViewedMailbox(shown, state_.table));

  // In the Savebox the reader is the account the message came from.
  store::ItemRef saved = Box(0).Items[0];
  saved->MailBoxName = "work";
  saved->To = "me@x";
  EXPECT_EQ(ReaderAddress(state_.table, 0, *saved), "me@x");
  saved->MailBoxName = "gone";
  EXPECT_FALSE(ReaderAddress(state_.table, 0, *saved));
}

}  // namespace
}  // namespace zelk::viewer
