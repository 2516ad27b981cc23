#include "store/mailbox.h"

#include <gtest/gtest.h>

#include "store/mailbox_table.h"
#include "store/marks.h"

namespace zelk::store {
namespace {

ItemRef Item(int mark, int status, const char* mailBox = nullptr) {
  auto item = std::make_shared<MailItem>();
  item->Mark = mark;
  item->Status = status;
  if (mailBox) item->MailBoxName = mailBox;
  return item;
}

// Records the selector calls so the table's effect on the screen can be checked.
struct RecordingSelector final : SelectorPort {
  std::vector<std::string> calls;
  void EntryAdded(const Text& label) override { calls.push_back("add " + label); }
  void EntryRemoved(int index) override { calls.push_back("remove " + std::to_string(index)); }
  void EntryRenamed(int index, const Text& label) override { calls.push_back("rename " + std::to_string(index) + " " + label); }
  void EntrySelected(int index) override { calls.push_back("select " + std::to_string(index)); }
};

TEST(MailBoxItems, CopiesDropMarkNumberAndUidlAndKeepTheirSourceName) {
  MailItem source;
  source.No = 7;
  source.Status = kStatusRead;
  source.Mark = kMarkDownload;
  source.New = 1;
  source.Download = 1;
  source.UIDL = "uidl";
  source.ServerUidl = "server uidl";
  source.Subject = "s";
  source.Date = "03/01/2006 10:00";
  source.MessageId = "<id>";
  source.EditWindow = 3;
  const ItemRef copy = CopyItem(source);
  EXPECT_EQ(copy->Mark, kStatusRead);
  EXPECT_EQ(copy->No, 0);
  EXPECT_EQ(copy->New, 0);
  EXPECT_EQ(copy->Download, 1);
  EXPECT_FALSE(copy->UIDL);
  EXPECT_FALSE(copy->ServerUidl);
  EXPECT_EQ(copy->Subject, "s");

  MailBox savebox;
  EXPECT_EQ(AppendCopy(savebox, source, Text("Work"), false)->MailBoxName, "Work");
  source.MailBoxName = "Home";
  EXPECT_EQ(AppendCopy(savebox, source, Text("Work"), false)->MailBoxName, "Home");
  const ItemRef fresh = AppendCopy(savebox, source, Text("Work"), true);
  EXPECT_EQ(fresh->Mark, 0);
  EXPECT_EQ(fresh->Status, 0);
  EXPECT_FALSE(fresh->Date);
  EXPECT_FALSE(fresh->MessageId);
  EXPECT_EQ(fresh->EditWindow, 0);
  EXPECT_EQ(savebox.Items.size(), 3u);
}

TEST(MailBoxItems, CompactAndFreeKeepOrderAndComposerHeldItems) {
  MailBox box;
  for (int i = 0; i < 4; ++i) Append(box, Item(0, 0));
  box.Items[0]->ThreadNext = 5;
  const ItemRef edited = box.Items[1];
  edited->EditWindow = 1;
  const MailItem* kept = box.Items[3].get();
  FreeItems(std::span(box.Items).first(2));
  Compact(box);
  EXPECT_EQ(box.Items.size(), 2u);
  EXPECT_EQ(box.Items[1].get(), kept);
  EXPECT_EQ(box.Items[0]->ThreadNext, 0);  // order must be rebuilt
  EXPECT_EQ(edited->EditWindow, 1);        // the composer's item lives on

  FreeItems(box.Items);
  Compact(box);
  EXPECT_TRUE(box.Items.empty());
  EXPECT_EQ(box.Items.capacity(), 0u);
}

TEST(MailBoxItems, SearchesFindMarksNumbersAndEarlierMessageIds) {
  MailBox box;
  const int marks[] = {0, kMarkDownload, kMarkDelete, kMarkDownload, kMarkDelete};
  for (int i = 0; i < 5; ++i) {
    Append(box, Item(marks[i], 0));
    box.Items.back()->No = 10 + i;
    box.Items.back()->MessageId = i == 4 ? "<a>" : "<" + std::to_string(i) + ">";
  }
  box.Items[0]->MessageId = "<a>";
  EXPECT_EQ(NextDownloadMarked(box, -1), 1);
  EXPECT_EQ(NextDownloadMarked(box, 1), 3);
  EXPECT_EQ(NextDownloadMarked(box, 3), -1);
  EXPECT_EQ(NextDeleteMarked(box, 2), 4);
  EXPECT_EQ(FindByNo(box, 13), 3);
  EXPECT_EQ(FindByNo(box, 99), -1);
  EXPECT_TRUE(Contains(box, box.Items[2].get()));
  MailItem stranger;
  EXPECT_FALSE(Contains(box, &stranger));
  EXPECT_EQ(FindByMessageId(box, Text("<a>"), 4), 0);  // the earlier one, never itself
  EXPECT_EQ(FindByMessageId(box, Text("<a>"), 0), -1);
  EXPECT_EQ(FindByMessageId(box, Text("<A>"), 5), -1);  // case counts
  EXPECT_EQ(FindByMessageId(box, std::nullopt, 5), -1);

  EXPECT_FALSE(HasUnread(box, true));
  box.Items[2]->Status = kStatusUnread;
  EXPECT_TRUE(HasUnread(box, true));
  EXPECT_FALSE(HasUnread(box, false));
  box.Items[2]->New = 1;
  EXPECT_TRUE(HasUnread(box, false));
}

TEST(MailBoxTable, AccountsAreAddedMovedAndDeletedWithTheSelector) {
  MailBoxTable table;
  Init(table);
  RecordingSelector selector;
  const int first = AddMailBox(table, selector);
  EXPECT_EQ(first, 2);
  EXPECT_EQ(table.boxes[2]->Port, 110);
  EXPECT_EQ(table.boxes[2]->SmtpPort, 25);
  table.boxes[2]->Name = "One";
  AddMailBox(table, selector);
  table.boxes[3]->Name = "";
  EXPECT_EQ(selector.calls, (std::vector<std::string>{"add Untitled", "select 2", "add Untitled", "select 3"}));

  selector.calls.clear();
  MoveDown(table, selector);  // the last account stays
  table.selected = 2;
  MoveUp(table, selector);  // the first account stays
  EXPECT_TRUE(selector.calls.empty());
  MoveDown(table, selector);
  EXPECT_EQ(table.selected, 3);
  EXPECT_EQ(table.boxes[3]->Name, "One");
  EXPECT_EQ(selector.calls, (std::vector<std::string>{"rename 2 Untitled", "rename 3 One", "select 3"}));

  EXPECT_EQ(FindMailBox(table, Text("one")), 3);
  table.boxes[0]->Name = kSaveboxName;
  EXPECT_EQ(FindMailBox(table, Text("[savebox]")), 0);
  EXPECT_EQ(FindMailBox(table, std::nullopt), -1);

  selector.calls.clear();
  DeleteMailBox(table, 1, selector);  // the local folders stay
  DeleteMailBox(table, 3, selector);
  EXPECT_EQ(AccountCount(table), 1);
  EXPECT_EQ(table.selected, 2);
  EXPECT_EQ(selector.calls, (std::vector<std::string>{"remove 3", "select 2"}));
}

TEST(MailBoxTable, OutboxSearchesFallBackToAnyAccount) {
  MailBoxTable table;
  Init(table);
  NoSelector selector;
  AddMailBox(table, selector);
  AddMailBox(table, selector);
  table.boxes[2]->Name = "A";
  table.boxes[3]->Name = "B";
  Outbox(table).Items = {Item(kMarkSend, 0, "B"), Item(0, 0, "A"), Item(kMarkSend, 0, "A"), Item(kMarkSend, 0, "B")};

  int account = 2;
  EXPECT_EQ(NextSendMarked(table, -1, account), 2);
  EXPECT_EQ(account, 2);
  account = 2;
  EXPECT_EQ(NextSendMarked(table, 2, account), 3);  // no more for A: the next of any account
  EXPECT_EQ(account, 3);
  account = 2;
  EXPECT_EQ(NextSendMarked(table, 3, account), -1);
  EXPECT_EQ(account, -1);
  EXPECT_EQ(NextSendMarked(table, -1), 0);
  EXPECT_EQ(NextSendMarkedFor(table, 0, 3), 3);
  EXPECT_EQ(NextSendMarkedFor(table, -1, -1), -1);

  table.boxes[3]->Items = {Item(kStatusUnread, kStatusUnread)};
  EXPECT_EQ(NextUnreadMailBox(table, 2, 4), 3);
  EXPECT_EQ(NextUnreadMailBox(table, 2, 3), -1);
  EXPECT_EQ(NextUnreadMailBox(table, 1, 4), -1);
}

TEST(Marks, CommandsChangeMarkAndStatusByTheirRules) {
  struct Case {
    const char* what;
    void (*apply)(MailItem&);
    int mark, status;          // before
    int wantMark, wantStatus;  // after
  } cases[] = {
      {"download", [](MailItem& i) { MarkForDownload(i, false, false); }, 0, 0, kMarkDownload, 0},
      {"send", [](MailItem& i) { MarkForDownload(i, true, false); }, 0, 0, kMarkSend, 0},
      {"toggle off", [](MailItem& i) { MarkForDownload(i, false, true); }, kMarkDownload, 2, 2, 2},
      {"toggle on", [](MailItem& i) { MarkForDownload(i, false, true); }, kMarkDelete, 2, kMarkDownload, 2},
      {"delete", [](MailItem& i) { MarkForDelete(i); }, 1, 1, kMarkDelete, 1},
      {"cancel", [](MailItem& i) { CancelMark(i); }, kMarkDelete, 1, 1, 1},
      {"read", [](MailItem& i) { MarkAsRead(i, true); }, 1, 1, 2, 2},
      {"read keeps delete", [](MailItem& i) { MarkAsRead(i, true); }, kMarkDelete, 1, kMarkDelete, 2},
      {"unread", [](MailItem& i) { MarkAsRead(i, false); }, 2, 2, 1, 1},
      {"header only stays", [](MailItem& i) { MarkAsRead(i, true); }, 0, 0, 0, 0},
      {"sent stays", [](MailItem& i) { MarkShown(i); }, 5, 5, 5, 5},
      {"shown", [](MailItem& i) { MarkShown(i); }, kMarkDownload, 1, kMarkDownload, 2},
      {"sent", [](MailItem& i) { MarkSendResult(i, true); }, kMarkSend, 0, 5, 5},
      {"failed", [](MailItem& i) { MarkSendResult(i, false); }, kMarkSend, 0, 7, 7},
  };
  for (const Case& c : cases) {
    MailItem item;
    item.Mark = c.mark;
    item.Status = c.status;
    c.apply(item);
    EXPECT_EQ(item.Mark, c.wantMark) << c.what;
    EXPECT_EQ(item.Status, c.wantStatus) << c.what;
  }
}

}  // namespace
}  // namespace zelk::store
