#include <gtest/gtest.h>

#include <QHeaderView>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include "support/dovecot_server.h"
#include "support/scripted_server.h"
#include "support/unanswered_listener.h"
#include "window_fixture.h"

namespace zelk::test {
namespace {

using gui::MenuCommand;

store::ItemRef Item(const char* subject, int status, bool body) {
  auto item = std::make_shared<store::MailItem>();
  item->Subject = subject;
  item->From = "ann@example.org";
  item->Date = "Mon, 7 Dec 2026 10:00:00 +0000";
  item->MessageId = std::string("<") + subject + "@example.org>";
  item->Status = item->Mark = status;
  if (body) item->Body = "text\r\n";
  item->Download = body ? 1 : 0;
  return item;
}

class MainWindowTest : public WindowFixture {
 protected:
  void SetUp() override {
    fill = [](store::MailBoxTable& table) {
      table.boxes[2]->Items = {Item("header", 0, false), Item("unread", 1, true), Item("read", 2, true)};
      table.boxes[1]->Items = {Item("unsent", 0, true)};
      table.boxes[0]->Items = {Item("kept", 2, true)};
    };
  }
  bool Enabled(MenuCommand command) { return window_->action(command)->isEnabled(); }
  void SelectRow(int row) { window_->list().SelectRow(row, true); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(window_.get(), static_cast<Qt::Key>(key), modifiers);
  }
  void ShowActive() {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
};

TEST_F(MainWindowTest, CommandsFollowTheMailboxTheSelectionAndTheNetwork) {
  UnansweredListener silent;
  WriteHome({"Work", "Home"}, silent.port());
  StartWindow();
  struct Case {
    int mailbox;
    bool row;
    std::vector<MenuCommand> on, off;
  };
  const std::vector<Case> cases = {
      {2, false, {MenuCommand::kCheck, MenuCommand::kAccountDelete, MenuCommand::kMoveDown},
       {MenuCommand::kOpen, MenuCommand::kStop, MenuCommand::kMarkForDownload}},
      {2, true, {MenuCommand::kMarkForDelete, MenuCommand::kMarkAsRead, MenuCommand::kDeleteFromList},
       {MenuCommand::kStop}},
      {1, true, {MenuCommand::kMarkForDownload, MenuCommand::kCopy, MenuCommand::kUpdate},
       {MenuCommand::kMarkAsRead, MenuCommand::kMarkForDelete, MenuCommand::kCheck, MenuCommand::kFind}},
      {0, true, {MenuCommand::kMarkAsUnread, MenuCommand::kCheckAll, MenuCommand::kFind},
       {MenuCommand::kUpdate, MenuCommand::kCopy, MenuCommand::kAccountEdit, MenuCommand::kInitialise}},
  };
  for (const Case& c : cases) {
    window_->selector().setCurrentIndex(c.mailbox);
    window_->selector().activated(c.mailbox);
    window_->list().clearSelection();
    if (c.row) SelectRow(0);
    for (const MenuCommand on : c.on) EXPECT_TRUE(Enabled(on)) << c.mailbox << " " << static_cast<int>(on);
    for (const MenuCommand off : c.off) EXPECT_FALSE(Enabled(off)) << c.mailbox << " " << static_cast<int>(off);
  }
  EXPECT_EQ(window_->action(MenuCommand::kReply)->text(), "&Reply...");  // the Savebox's texts
  window_->selector().activated(1);
  EXPECT_EQ(window_->action(MenuCommand::kCopy)->text(), "Create cop&y");
  EXPECT_EQ(window_->list().model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "To");

  // A check that cannot connect holds the network: Stop until it is stopped.
  window_->selector().activated(2);
  window_->Run(MenuCommand::kCheck);
  EXPECT_TRUE(Enabled(MenuCommand::kStop));
  EXPECT_FALSE(Enabled(MenuCommand::kCheckAll) || Enabled(MenuCommand::kAccountEdit) || Enabled(MenuCommand::kMoveUp));
  window_->Run(MenuCommand::kStop);
  ASSERT_TRUE(RunUntil([&] { return window_->network().Idle(); }));
  EXPECT_TRUE(Enabled(MenuCommand::kCheck) && !Enabled(MenuCommand::kStop));
  EXPECT_EQ(window_->tray().State(), ports::TrayState::kNormal);
}

TEST_F(MainWindowTest, KeysReachTheirCommandsAndDeleteAsksFirst) {
  WriteHome({"Work", "Home"});
  StartWindow();
  ShowActive();
  const auto row = [&](const char* subject) {
    for (int r = 0; r < store::RowCount(state_.list); ++r) {
      if (*store::ItemOfRow(state_.list, r)->Subject == subject) return r;
    }
    return -1;
  };
  const store::MailItem& header = *Box(2).Items[0];
  SelectRow(row("header"));
  Key(Qt::Key_D, Qt::ControlModifier);
  EXPECT_EQ(header.Mark, store::kMarkDownload);
  Key(Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(header.Mark, 0);
  QTest::keyClick(&window_->list(), Qt::Key_Return);  // Enter on a header only: the download mark, not a message
  EXPECT_EQ(header.Mark, store::kMarkDownload);
  Key(Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(state_.settings.LvThreadView, 1);
  EXPECT_TRUE(window_->action(MenuCommand::kThreadMode)->isChecked());

  SelectRow(row("read"));
  AnswerNextBox(QMessageBox::Yes);
  Key(Qt::Key_Delete);
  EXPECT_EQ(answered, "Delete 1 mail from the list?\n(Is not deleted from the server)");
  EXPECT_EQ(Box(2).Items.size(), 2u);
  EXPECT_EQ(window_->statusText(0), "View 2/ Server 0");

  ShowActive();  // the question had the focus
  Key(Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(state_.table.selected, 3);
  EXPECT_EQ(window_->selector().currentIndex(), 3);
}

TEST_F(MainWindowTest, HeaderClicksSortAndNarrowWindowsGetTheCompactLayout) {
  WriteHome({"Work"});
  StartWindow();
  QHeaderView& header = *window_->list().header();
  const QPoint subject(header.sectionViewportPosition(0) + 5, header.height() / 2);
  QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, subject);
  EXPECT_EQ(store::CellText(state_.list, 0, 0), "header");
  QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, subject);
  EXPECT_EQ(store::CellText(state_.list, 0, 0), "unread");

  window_->resize(400, 300);
  EXPECT_TRUE(window_->compactLayout());
  EXPECT_EQ(window_->menuBar()->actions().size(), 2);
  EXPECT_EQ(window_->findChild<QToolBar*>("commandBar")->actions().size(), 6);  // a separator, five buttons
  EXPECT_EQ(window_->action(MenuCommand::kReply)->text(), "&Reply");
  window_->resize(700, 300);
  EXPECT_EQ(window_->menuBar()->actions().size(), 5);
  EXPECT_EQ(window_->findChild<QToolBar*>("commandBar")->actions().size(), 11);
}

TEST_F(MainWindowTest, CheckAndUpdateAgainstARealServerFillTheList) {
  DovecotServer dovecot({.users = {{"u1", "secret"}}, .reuseXuidl = true});
  for (int i = 1; i <= 5; ++i) {
    const std::string n = std::to_string(i);
    dovecot.DeliverMessage("u1", "From: bob@example.org\r\nSubject: message " + n + "\r\nMessage-ID: <m" + n +
                                     "@example.org>\r\nX-UIDL: u" + n + "\r\n\r\nBody " + n + "\r\n");
  }
  fill = nullptr;
  WriteHome({"Work"}, dovecot.port());
  StartWindow();
  window_->Run(MenuCommand::kCheck);
  ASSERT_TRUE(RunUntil([&] { return window_->network().Idle() && store::RowCount(state_.list) == 5; }));
  EXPECT_EQ(window_->statusText(0), "View 5/ Server 5");
  EXPECT_EQ(window_->statusText(1), "New 5, Unread 5");

  window_->list().SelectAll();
  window_->Run(MenuCommand::kMarkForDownload);
  window_->Run(MenuCommand::kUpdate);
  ASSERT_TRUE(RunUntil([&] { return window_->network().Idle() && Box(2).Items.back()->Download == 1; }));
  for (const store::ItemRef& item : Box(2).Items) EXPECT_EQ(item->Download, 1) << *item->Subject;
  EXPECT_EQ(store::LookOfRow(state_.list, 0).cut, false);

  // Two messages deleted by another client: the next check drops their rows, which the model
  // tester watches go, and keeps the rest.
  dovecot.DeleteMessageBehindTheClientsBack("u1", 4);
  dovecot.DeleteMessageBehindTheClientsBack("u1", 2);
  window_->Run(MenuCommand::kCheck);
  ASSERT_TRUE(RunUntil([&] { return window_->network().Idle() && store::RowCount(state_.list) == 3; }));
  std::vector<std::string> subjects;
  for (int row = 0; row < 3; ++row) subjects.push_back(store::CellText(state_.list, row, 0));
  std::sort(subjects.begin(), subjects.end());
  EXPECT_EQ(subjects, (std::vector<std::string>{"message 1", "message 3", "message 5"}));
}

TEST_F(MainWindowTest, TheWindowKeepsPaintingWhileAServerAnswersSlowly) {
  ScriptedServer slow(
      {SendPieces({"+OK ", "a ", "very ", "slow ", "greeting", "\r\n"}, std::chrono::milliseconds(300)), Silence()});
  WriteHome({"Work"}, slow.port());
  StartWindow();
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(10);
  window_->Run(MenuCommand::kCheck);
  RunUntil([] { return false; }, std::chrono::milliseconds(1000));
  EXPECT_FALSE(window_->network().Idle());  // still in the greeting, which Stop cuts short
  // A loop blocked by the conversation would have ticked once or twice.
  EXPECT_GT(ticks, 30);
  window_->Run(MenuCommand::kStop);
  EXPECT_TRUE(RunUntil([&] { return window_->network().Idle(); }));
}

TEST_F(MainWindowTest, NewMailWhileHiddenShowsInTheTrayAndTheNoticeLeadsToIt) {
  DovecotServer dovecot({.users = {{"u1", "secret"}}});
  dovecot.DeliverMessage("u1", "From: bob@example.org\r\nSubject: fresh\r\nMessage-ID: <f@example.org>\r\n\r\nx\r\n");
  fill = nullptr;
  configure = [](config::Settings& settings) {
    settings.ShowTrayIcon = 1;
    settings.StartHide = 1;
  };
  WriteHome({"Work", "Home"}, dovecot.port());
  StartWindow();
  EXPECT_FALSE(window_->isVisible());
  window_->selector().activated(3);
  window_->selector().setCurrentIndex(2);
  window_->Run(MenuCommand::kCheckAll);
  ASSERT_TRUE(RunUntil([&] { return window_->network().Idle() && Box(2).Items.size() == 1; }));
  EXPECT_EQ(window_->tray().State(), ports::TrayState::kNewMail);
  EXPECT_EQ(window_->selector().itemText(2), "Work *");
  EXPECT_EQ(window_->windowTitle(), "Zelk - [Accounts with Unread mail: 1]");
  QWidget* shownNotice = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->objectName() == "newMailNotice" && top->isVisible()) shownNotice = top;
  }
  ASSERT_NE(shownNotice, nullptr);
  for (QPushButton* button : shownNotice->findChildren<QPushButton*>()) {
    if (button->text() == "&Yes") button->click();
  }
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(state_.table.selected, 2);
  EXPECT_EQ(window_->list().FocusedRow(), 0);
  EXPECT_FALSE(shownNotice->isVisible());
}

}  // namespace
}  // namespace zelk::test
