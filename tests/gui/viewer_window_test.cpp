#include <gtest/gtest.h>

#include <QMenu>
#include <sys/stat.h>
#include <QScrollBar>
#include <QTextBlock>
#include <QTest>

#include "gui/address_book/address_book_dialog.h"
#include "gui/viewer/viewer_window.h"
#include "platform/files.h"
#include "window_fixture.h"

namespace zelk::test {
namespace {

store::ItemRef Message(const char* subject, int status, std::string body) {
  auto item = std::make_shared<store::MailItem>();
  item->Subject = subject;
  item->From = "Ann <ann@example.org>";
  item->To = "me@example.org, bob@example.org";
  item->Date = "07/12/2026 10:00";
  item->Status = item->Mark = status;
  item->Body = std::move(body);
  item->Download = 1;
  return item;
}

std::string Lines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "line " + std::to_string(i) + "\r\n";
  return text;
}

class ViewerWindowTest : public WindowFixture {
 protected:
  void SetUp() override {
    fill = [](store::MailBoxTable& table) {
      store::ItemRef attached = Message("attached", 2,
                                        "--b\r\nContent-Type: text/plain\r\n\r\nSee the files.\r\n"
                                        "--b\r\nContent-Type: application/pdf; name=\"r.pdf\"\r\n"
                                        "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n"
                                        "--b\r\nContent-Type: image/png\r\n\r\nPNG\r\n--b--\r\n");
      attached->Multipart = 1;
      attached->ContentType = "multipart/mixed; boundary=b";
      table.boxes[2]->Items = {Message("long", 1, Lines(400)), attached, Message("next", 1, "short\r\n"),
                               Message("links", 2, "see http://example.org/a?b=c, or file:///etc/passwd\r\n"),
                               Message("mixed", 2, "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D world\r\nhello \xE4\xB8\x96\xE7\x95\x8C\r\n")};
      table.boxes[0]->Items = {};
    };
    configure = [](config::Settings& settings) { settings.LvAutoSort = 0; };
    WriteHome({"Work"});
    StartWindow();
    window_->show();
  }
  gui::ViewerWindow& Open(int row) {
    window_->list().SelectRow(row, true);
    window_->Run(gui::MenuCommand::kOpen);
    EXPECT_NE(window_->viewer(), nullptr);
    return *window_->viewer();
  }
  static std::vector<std::string> EntriesAfterShowDate(QMenu& menu) {
    std::vector<std::string> entries;
    bool fixedSeen = false;
    for (const QAction* action : menu.actions()) {
      if (fixedSeen) {
        entries.push_back(action->isSeparator() ? "-" : action->text().toStdString() + (action->isEnabled() ? "" : " (off)"));
      }
      fixedSeen = fixedSeen || action->text() == "Show &date";
    }
    return entries;
  }
};

TEST_F(ViewerWindowTest, ShowsTheMessageAndOffersItsAttachments) {
  gui::ViewerWindow& viewer = Open(1);
  EXPECT_EQ(viewer.windowTitle(), "Mail View - Work");
  EXPECT_EQ(viewer.headerPane().text().toStdString(),
            "From: Ann <ann@example.org>\nSubject: attached (To: me@example.org, bob@example.org)");
  EXPECT_EQ(viewer.textPane().toPlainText().toStdString(), "See the files.");
  EXPECT_EQ(EntriesAfterShowDate(viewer.editMenu()),
            (std::vector<std::string>{"-", "&View source", "&Delete attach", "-", "r.pdf", "image/png"}));

  std::string saved;
  viewer.askSavePath = [&](const QString& proposed, const QString& suffix, const QString&) {
    saved = proposed.toStdString() + "|" + suffix.toStdString();
    return std::optional<QString>(QString::fromStdString(dir_.file("out.pdf")));
  };
  viewer.RunAttachment(501);
  EXPECT_EQ(saved, "r.pdf|");
  EXPECT_EQ(platform::ReadWholeFile(dir_.file("out.pdf")), "%PDF-1.4\n");

  viewer.Run(gui::ViewerCommand::kViewSource);
  EXPECT_NE(viewer.textPane().toPlainText().indexOf("--b"), -1);
  EXPECT_EQ(EntriesAfterShowDate(viewer.editMenu()), (std::vector<std::string>{"-", "&View text"}));
  viewer.Run(gui::ViewerCommand::kShowDate);
  EXPECT_TRUE(viewer.headerPane().text().endsWith("\nDate: 07/12/2026 10:00"));
}

TEST_F(ViewerWindowTest, EachLineTakesItsOwnDirectionAndLongLinesWrapAtWords) {
  gui::ViewerWindow& viewer = Open(4);
  const QTextDocument& document = *viewer.textPane().document();
  EXPECT_EQ(document.firstBlock().textDirection(), Qt::RightToLeft);  // begins with Hebrew
  EXPECT_EQ(document.findBlockByNumber(1).textDirection(), Qt::LeftToRight);
  EXPECT_EQ(viewer.textPane().wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
  viewer.Run(gui::ViewerCommand::kWordWrap);
  EXPECT_EQ(viewer.textPane().lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(state_.settings.WordBreakFlag, 0);
  EXPECT_EQ(viewer.textPane().toPlainText().toStdString(), "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D world\nhello \xE4\xB8\x96\xE7\x95\x8C\n");
}

TEST_F(ViewerWindowTest, DoubleClickOnAWebLinkRunsTheBrowserWithItAndOnAFileLinkNothing) {
  // URLApp: a script that writes down what it was given.
  const std::string browser = dir_.file("browser.sh");
  ASSERT_TRUE(platform::WriteFileAtomically(browser, "#!/bin/sh\nprintf '%s|' \"$@\" >> " + dir_.file("opened") + "\n"));
  ASSERT_EQ(::chmod(browser.c_str(), 0700), 0);
  state_.settings.URLApp = browser;
  gui::ViewerWindow& viewer = Open(3);
  gui::ViewerTextPane& pane = viewer.textPane();
  const auto doubleClickAt = [&pane](int position) {
    QTextCursor cursor(pane.document());
    cursor.setPosition(position);
    QTest::mouseDClick(pane.viewport(), Qt::LeftButton, {}, pane.cursorRect(cursor).center() + QPoint(2, 0));
    QTest::qWait(200);  // the link is taken from the selection 100 ms later
  };
  doubleClickAt(50);  // file:///etc/passwd
  doubleClickAt(12);  // inside http://example.org/a?b=c,
  ASSERT_TRUE(RunUntil([&] { return platform::FileSize(dir_.file("opened")).has_value(); }));
  EXPECT_EQ(platform::ReadWholeFile(dir_.file("opened")), "http://example.org/a?b=c,|");
  EXPECT_EQ(pane.textCursor().selectedText(), "");  // the selection collapsed
}

TEST_F(ViewerWindowTest, SpacePagesDownThenMovesToTheNextUnreadMessage) {
  gui::ViewerWindow& viewer = Open(0);
  viewer.resize(500, 300);
  QApplication::processEvents();
  EXPECT_EQ(Box(2).Items[0]->Status, store::kStatusRead);
  gui::ViewerTextPane& pane = viewer.textPane();
  int pages = 0;
  while (!pane.EndVisible() && pages < 200) {
    const int before = pane.verticalScrollBar()->value();
    QTest::keyClick(&pane, Qt::Key_Space);
    EXPECT_GT(pane.verticalScrollBar()->value(), before);
    ++pages;
  }
  EXPECT_GT(pages, 1);
  EXPECT_EQ(viewer.shown().item, Box(2).Items[0]);  // still on the long message
  QTest::keyClick(&pane, Qt::Key_Space);
  EXPECT_EQ(viewer.shown().item, Box(2).Items[2]);  // the read one in between is passed over
  EXPECT_EQ(window_->list().FocusedRow(), 2);
  QTest::keyClick(&pane, Qt::Key_Backspace);
  EXPECT_EQ(viewer.shown().item, Box(2).Items[1]);
  QTest::keyClick(&pane, Qt::Key_Space, Qt::ControlModifier);  // next unread: none left below or above
  EXPECT_EQ(viewer.shown().item, Box(2).Items[1]);
  QTest::keyClick(&pane, Qt::Key_Escape);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window_->viewer(), nullptr);

  // What was handed to the external viewer goes with the program.
  ASSERT_TRUE(platform::WriteFileAtomically(dir_.file("$zelk_view.txt"), "message"));
  ASSERT_TRUE(window_->Exit());
  EXPECT_FALSE(platform::FileSize(dir_.file("$zelk_view.txt")));
}

TEST_F(ViewerWindowTest, BookInChooseModeGivesTheRowsInListOrder) {
  for (const char* address : {"a@x", "skip@x", "b@x", "c@x"}) {
    auto entry = std::make_shared<store::MailItem>();
    entry->To = address;
    state_.table.addressBook.Items.push_back(entry);
  }
  gui::AddressBookDialog dialog(state_, gui::BookMode::kChoose, window_.get());
  QTreeWidget& list = dialog.list();
  for (const int row : {3, 0, 2}) list.topLevelItem(row)->setSelected(true);  // clicked out of order
  dialog.MoveUp();  // "^" keeps the selection and the order of the rows chosen
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.chosen(), "a@x, b@x, c@x");
  EXPECT_EQ(*state_.table.addressBook.Items[2]->To, "b@x");  // a@x was at the top: nothing moved
  EXPECT_EQ(platform::ReadWholeFile(dir_.file("Address.lst")), "a@x\r\nskip@x\r\nb@x\r\nc@x\r\n");
}

}  // namespace
}  // namespace zelk::test
