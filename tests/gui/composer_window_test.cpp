// The composer as a person uses it, offscreen: the Property dialog and its pages, writing and
// saving, Send now while the network is busy, closing, and the external editor as a real program.
#include <gtest/gtest.h>

#include <QTest>
#include <sys/stat.h>

#include "gui/composer/composer_window.h"
#include "gui/composer/property_dialog.h"
#include "gui/composer/property_page_dialogs.h"
#include "platform/files.h"
#include "support/unanswered_listener.h"
#include "window_fixture.h"

namespace zelk::test {
namespace {

using gui::ComposerCommand;
using gui::MenuCommand;

class ComposerTest : public WindowFixture {
 protected:
  void Start(int port = 1) {
    fill = [](store::MailBoxTable& table) {
      table.boxes[2]->MailAddress = "ann@work.org";
      table.boxes[2]->UserName = "Ann";
      auto kept = std::make_shared<store::MailItem>();
      kept->Subject = "draft";
      kept->To = "bob@x.org";
      kept->MailBoxName = "Work";
      kept->Body = "..\r\nfirst line\r\n";
      table.boxes[1]->Items = {kept};
    };
    configure = [this](config::Settings& settings) {
      settings.LvAutoSort = 0;
      if (settings_) settings_(settings);
    };
    WriteHome({"Work", "Home"}, port);
    StartWindow();
    window_->show();
  }
  // Runs `act` on the next modal dialog of type T once it is up.
  template <typename T>
  void WhenModal(std::function<void(T&)> act) {
    QTimer::singleShot(0, [this, act] {
      auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget());
      if (!dialog) return WhenModal<T>(act);
      act(*dialog);
    });
  }
  // The next Property dialog gets these fields and OK.
  void FillProperty(const QString& to, const QString& subject) {
    WhenModal<gui::PropertyDialog>([to, subject](gui::PropertyDialog& dialog) {
      dialog.to().setText(to);
      dialog.subject().setText(subject);
      dialog.accept();
    });
  }
  gui::ComposerWindow& NewMessage(const QString& subject = "Hello") {
    FillProperty("bob@x.org", subject);
    window_->Run(MenuCommand::kNewMessage);
    EXPECT_NE(window_->composer(), nullptr);
    return *window_->composer();
  }
  std::vector<std::string> OutboxSubjects() {
    std::vector<std::string> subjects;
    for (const store::ItemRef& item : Box(1).Items) subjects.push_back(item->Subject.value_or(""));
    return subjects;
  }

  std::function<void(config::Settings&)> settings_;
};

TEST_F(ComposerTest, ThePropertyDialogsPagesShowWhatTheyHold) {
  Start();
  compose::PropertyValues values;
  values.replyTo = "list@x.org";
  values.quoteShown = false;
  gui::PropertyDialog dialog(state_, values, window_.get());
  EXPECT_EQ(dialog.account().count(), 2);
  EXPECT_FALSE(dialog.quote().isVisibleTo(&dialog));  // not a reply
  EXPECT_EQ(dialog.copiesButton().text(), "Cc, Bcc");
  EXPECT_EQ(dialog.attachButton().text(), "Attach");
  EXPECT_EQ(dialog.otherButton().text(), "Other *");

  const TempDir files;
  const std::string file = files.file("menu.txt");
  ASSERT_TRUE(platform::WriteFileAtomically(file, "soup\n"));
  dialog.prepareAttachPage = [&](gui::AttachFilesDialog& page) {
    page.askFiles = [&] { return QStringList{QString::fromStdString(file)}; };
  };
  WhenModal<gui::AttachFilesDialog>([](gui::AttachFilesDialog& page) {
    page.Add();
    page.Add();  // the same file again: one entry
    EXPECT_EQ(page.list().count(), 1);
    page.accept();
  });
  dialog.EditAttachments();
  EXPECT_EQ(dialog.attachButton().text(), "Attach *");

  WhenModal<gui::CopyAddressesDialog>([this](gui::CopyAddressesDialog& page) {
    page.field().setText("cy@x.org, dee@x.org");
    page.type().setCurrentIndex(1);
    EXPECT_TRUE(page.Add());
    EXPECT_EQ(page.type().currentIndex(), 0);  // back to Cc after each Add
    AnswerNextBox(QMessageBox::Ok);
    EXPECT_FALSE(page.Add());  // an empty field
    EXPECT_EQ(answered, compose::kNoAddressSet);
    page.field().setText("eve@x.org");  // still in the field at OK: added as Cc
    page.accept();
  });
  dialog.EditCopies();
  EXPECT_EQ(dialog.copiesButton().text(), "Cc, Bcc *");

  WhenModal<gui::OtherHeadersDialog>([](gui::OtherHeadersDialog& page) {
    page.field().clear();
    page.accept();
  });
  dialog.EditOther();
  EXPECT_EQ(dialog.otherButton().text(), "Other");

  dialog.to().setText("bob@x.org");
  dialog.subject().setText("Lunch");
  dialog.accept();
  store::MailItem item;
  compose::ConfirmPropertyValues(item, dialog.values(), state_.table);
  EXPECT_EQ(item.Cc, "eve@x.org");
  EXPECT_EQ(item.Bcc, "cy@x.org,\r\n dee@x.org");
  EXPECT_EQ(item.Attach, file);
  EXPECT_FALSE(item.ReplyTo);
  EXPECT_EQ(item.From, "Ann <ann@work.org>");
}

TEST_F(ComposerTest, ANewMessageIsWrittenSavedAndOpenedAgainFromTheOutbox) {
  Start();
  gui::ComposerWindow& composer = NewMessage();
  EXPECT_EQ(composer.windowTitle(), "Mail Edit - [Hello]");
  EXPECT_EQ(composer.header().text(), "Account: Work\nTo: bob@x.org\nSubject: Hello");
  EXPECT_EQ(composer.objectName(), "ZelkEditWndClass");
  QTest::keyClicks(&composer.body(), "Dear Bob,");
  composer.action(ComposerCommand::kWordWrap)->trigger();
  EXPECT_EQ(state_.settings.EditWordBreakFlag, 0);
  EXPECT_EQ(composer.body().lineWrapMode(), QPlainTextEdit::NoWrap);
  composer.action(ComposerCommand::kSaveToOutbox)->trigger();
  ASSERT_TRUE(RunUntil([&] { return window_->composer() == nullptr; }));
  EXPECT_EQ(OutboxSubjects(), (std::vector<std::string>{"draft", "Hello"}));
  EXPECT_EQ(Box(1).Items[1]->Body, "Dear Bob,");
  EXPECT_EQ(state_.table.selected, store::kOutboxIndex);
  EXPECT_EQ(window_->list().FocusedRow(), 1);
  // AutoSave: the Outbox file has it already.
  EXPECT_NE(platform::ReadWholeFile(dir_.file("SendBox.dat")).value_or("").find("Dear Bob,"), std::string::npos);

  // Open on the first Outbox row: its ".." line shows as "."; saved, it is ".." again.
  window_->list().SelectRow(0, true);
  window_->Run(MenuCommand::kOpen);
  ASSERT_NE(window_->composer(), nullptr);
  EXPECT_EQ(window_->composer()->body().toPlainText(), ".\nfirst line\n");
  window_->composer()->action(ComposerCommand::kSaveToOutbox)->trigger();
  EXPECT_EQ(Box(1).Items[0]->Body, "..\r\nfirst line\r\n");
  EXPECT_EQ(Box(1).Items.size(), 2u);

  // Reply on an Outbox row is its Property dialog, no composer.
  FillProperty("carol@x.org", "draft 2");
  window_->Run(MenuCommand::kReply);
  EXPECT_EQ(window_->composer(), nullptr);
  EXPECT_EQ(Box(1).Items[0]->To, "carol@x.org");
  EXPECT_EQ(Box(1).Items[0]->Subject, "draft 2");
}

TEST_F(ComposerTest, ClosingAsksAndSendNowWaitsForTheNetwork) {
  UnansweredListener silent;
  Start(silent.port());
  gui::ComposerWindow& composer = NewMessage();
  QTest::keyClicks(&composer.body(), "changed");
  AnswerNextBox(QMessageBox::No);
  composer.action(ComposerCommand::kClose)->trigger();
  EXPECT_EQ(answered, "Cancel the edit?");
  ASSERT_NE(window_->composer(), nullptr);

  ASSERT_TRUE(window_->network().CheckAccount());  // a connect that hangs: the network is busy
  AnswerNextBox(QMessageBox::Yes);
  QTimer::singleShot(0, [this] { AnswerNextBox(QMessageBox::Ok); });
  composer.action(ComposerCommand::kSendNow)->trigger();
  EXPECT_EQ(answered, "Sending barred!  Transmission in progress");
  ASSERT_NE(window_->composer(), nullptr);
  window_->network().Stop();

  // Yes to the question: the new message goes, and the Outbox never had it.
  AnswerNextBox(QMessageBox::Yes);
  window_->composer()->action(ComposerCommand::kClose)->trigger();
  ASSERT_TRUE(RunUntil([&] { return window_->composer() == nullptr; }));
  EXPECT_EQ(OutboxSubjects(), (std::vector<std::string>{"draft"}));
}

TEST_F(ComposerTest, HidingOrLeavingTheProgramKeepsTheMessageWithoutAQuestion) {
  Start();
  gui::ComposerWindow& composer = NewMessage("");  // no subject: a save by the user would ask
  QTest::keyClicks(&composer.body(), "unfinished");
  window_->CloseViewerAndComposers();
  ASSERT_TRUE(RunUntil([&] { return window_->composer() == nullptr; }));
  ASSERT_EQ(Box(1).Items.size(), 2u);
  EXPECT_EQ(Box(1).Items[1]->Body, "unfinished");
  EXPECT_EQ(Box(1).Items[1]->EditWindow, 0);

  // Paste from file: at the caret, one undo step; a file that cannot be read says so.
  gui::ComposerWindow& next = NewMessage();
  const std::string file = dir_.file("pasted.txt");
  ASSERT_TRUE(platform::WriteFileAtomically(file, "one\r\ntwo"));
  next.askPasteFile = [&] { return std::optional<QString>(QString::fromStdString(file)); };
  next.action(ComposerCommand::kPasteFromFile)->trigger();
  EXPECT_TRUE(next.body().toPlainText().startsWith("one\ntwo"));
  next.body().undo();
  EXPECT_FALSE(next.body().toPlainText().contains("one"));
  next.askPasteFile = [&] { return std::optional<QString>(QString::fromStdString(dir_.file("missing"))); };
  AnswerNextBox(QMessageBox::Ok);
  next.action(ComposerCommand::kPasteFromFile)->trigger();
  EXPECT_EQ(answered, "Open File error");
}

TEST_F(ComposerTest, TheExternalEditorsTextIsStoredAndItsFileRemoved) {
  const TempDir bin;
  const std::string editor = bin.file("editor.sh");
  ASSERT_TRUE(platform::WriteFileAtomically(editor, "#!/bin/sh\nprintf 'written outside\\n.dot\\n' >> \"$2\"\n"));
  ::chmod(editor.c_str(), 0755);
  settings_ = [&](config::Settings& settings) {
    settings.DefEditApp = 1;
    settings.EditApp = editor;
    settings.EditAppCmdLine = "-n %1";
  };
  Start();
  FillProperty("bob@x.org", "Outside");
  window_->Run(MenuCommand::kNewMessage);
  ASSERT_NE(window_->composer(), nullptr);
  EXPECT_FALSE(window_->composer()->isVisible());  // the editor has the message, not the window
  ASSERT_TRUE(RunUntil([&] { return window_->composer() == nullptr; }));
  ASSERT_EQ(Box(1).Items.size(), 2u);
  EXPECT_EQ(Box(1).Items[1]->Body, "written outside\r\n..dot\r\n");
  EXPECT_FALSE(platform::FileSize(dir_.file("$zelk_edit.txt")));
}

}  // namespace
}  // namespace zelk::test
