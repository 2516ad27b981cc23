// The settings windows offscreen: what they show, what OK and Cancel leave behind, their
// enabling rules, and the main window opening them.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "gui/adapters/qt_event_loop.h"
#include "gui/settings/account_settings_sheet.h"
#include "gui/settings/filter_rule_dialog.h"
#include "gui/settings/global_options_sheet.h"
#include "gui/settings/initialise_dialog.h"
#include "gui/settings/smtp_auth_dialog.h"
#include "platform/files.h"
#include "support/fake_dial_link.h"
#include "window_fixture.h"

namespace zelk::test {
namespace {

template <typename T = QWidget>
T* Find(QWidget& root, const char* name) {
  T* found = root.findChild<T*>(name);
  EXPECT_NE(found, nullptr) << name;
  return found;
}

QString Text(QWidget& root, const char* name) { return Find<QLineEdit>(root, name)->text(); }

// Whenever a modal window opens, `answer` gets it; its text when it is a message box.
void OnNextModal(std::function<void(QWidget&)> answer) {
  QTimer::singleShot(0, [answer] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return OnNextModal(answer);
    answer(*modal);
  });
}

class SettingsSheets : public ::testing::Test {
 protected:
  void SetUp() override {
    account_.Name = "Work";
    account_.Server = "pop.example.org";
    account_.Port = 110;
    account_.User = "ann";
    account_.Pass = "secret";
    account_.SmtpServer = "smtp.example.org";
    account_.SmtpPort = 25;
    account_.Signature = "-- \r\nAnn";
    account_.FilterEnable = 1;
    account_.Filters = {{1, 0, "A:", "", "", ""}, {1, 1, "B:", "", "", ""}, {0, 2, "C:", "", "", ""}};
    account_.RasEntry = "Office";
    config::SetRasInfo(settings_, "Office", "o-user", "o-pass");
  }
  std::unique_ptr<gui::AccountSettingsSheet> OpenSheet() {
    auto sheet = std::make_unique<gui::AccountSettingsSheet>(account_, settings_, link_, nullptr);
    sheet->show();
    return sheet;
  }
  void ShowTab(gui::PropertySheet& sheet, const char* title) {
    for (int i = 0; i < sheet.tabs().count(); ++i) {
      if (sheet.tabs().tabText(i) == title) return sheet.tabs().setCurrentIndex(i);
    }
    ADD_FAILURE() << title;
  }
  std::string FilterItems(QWidget& sheet) {
    std::string items;
    auto* list = Find<QTreeWidget>(sheet, "filterList");
    for (int i = 0; i < list->topLevelItemCount(); ++i) items += list->topLevelItem(i)->text(2).left(1).toStdString();
    return items;
  }

  store::MailBox account_;
  config::Settings settings_;
  gui::QtEventLoop loop_;
  FakeDialLink link_{loop_};
};

TEST_F(SettingsSheets, OkStoresThePagesVisitedAndThePasswordIsNeverShownInClear) {
  auto sheet = OpenSheet();
  EXPECT_EQ(Text(*sheet, "accountName"), "Work");
  EXPECT_EQ(Text(*sheet, "popServer"), "pop.example.org");
  EXPECT_EQ(Find<QLineEdit>(*sheet, "popPassword")->echoMode(), QLineEdit::Password);
  EXPECT_EQ(Find<QLineEdit>(*sheet, "popServer")->maxLength(), 254);
  EXPECT_EQ(sheet->findChild<QWidget*>("signature"), nullptr);  // not built before it is shown

  Find<QLineEdit>(*sheet, "popServer")->setText("new.example.org");
  Find<QComboBox>(*sheet, "popTls")->setCurrentIndex(1);  // implicit TLS proposes its port
  EXPECT_EQ(Find<QSpinBox>(*sheet, "popPort")->value(), 995);
  ShowTab(*sheet, "Filter");
  Find<QCheckBox>(*sheet, "filterEnabled")->setChecked(false);
  EXPECT_FALSE(Find(*sheet, "filterList")->isEnabled());
  sheet->accept();

  EXPECT_EQ(sheet->result(), QDialog::Accepted);
  EXPECT_EQ(account_.Server, "new.example.org");
  EXPECT_EQ(account_.Port, 995);
  EXPECT_EQ(account_.PopTls, store::TlsMode::kImplicit);
  EXPECT_EQ(account_.FilterEnable, 0);
  EXPECT_EQ(account_.Signature, "-- \r\nAnn");  // never shown: untouched
}

TEST_F(SettingsSheets, CancelChangesNothingOnAnyPage) {
  const store::MailBox before = account_;
  auto sheet = OpenSheet();
  for (const char* tab : {"SMTP", "Signature", "Filter", "Connection"}) ShowTab(*sheet, tab);
  Find<QLineEdit>(*sheet, "popUser")->setText("bob");
  Find<QLineEdit>(*sheet, "smtpServer")->setText("other");
  Find<QPlainTextEdit>(*sheet, "signature")->setPlainText("changed");
  Find<QCheckBox>(*sheet, "filterEnabled")->setChecked(false);
  sheet->reject();
  EXPECT_EQ(account_.User, before.User);
  EXPECT_EQ(account_.SmtpServer, before.SmtpServer);
  EXPECT_EQ(account_.Signature, before.Signature);
  EXPECT_EQ(account_.FilterEnable, before.FilterEnable);
}

TEST_F(SettingsSheets, TheSmtpAuthSetupFollowsItsBoxAndItsFieldsTheUseOfThePop3Login) {
  settings_.LvFontName = "Monospace";  // the list font, for the fields of pages and their dialogs
  settings_.LvFontSize = 17;
  auto sheet = OpenSheet();
  EXPECT_EQ(Find(*sheet, "popServer")->font().pointSize(), 17);
  ShowTab(*sheet, "SMTP");
  auto* setup = Find<QPushButton>(*sheet, "smtpAuthSetup");
  EXPECT_FALSE(setup->isEnabled());
  Find<QCheckBox>(*sheet, "smtpAuth")->setChecked(true);
  EXPECT_TRUE(setup->isEnabled());

  OnNextModal([](QWidget& dialog) {
    auto* usePop3 = Find<QCheckBox>(dialog, "usePop3");
    EXPECT_TRUE(usePop3->isChecked());
    EXPECT_EQ(Find(dialog, "smtpUser")->font().pointSize(), 17);
    EXPECT_FALSE(Find(dialog, "smtpUser")->isEnabled() || Find(dialog, "smtpPassword")->isEnabled());
    usePop3->setChecked(false);
    EXPECT_TRUE(Find(dialog, "smtpUser")->isEnabled() && Find(dialog, "smtpPassword")->isEnabled());
    Find<QLineEdit>(dialog, "smtpUser")->setText("relay");
    Find<QLineEdit>(dialog, "smtpPassword")->setText("relay-pw");
    static_cast<QDialog&>(dialog).accept();
  });
  setup->click();
  EXPECT_EQ(account_.SmtpUser, std::nullopt);  // stored with the sheet only
  sheet->accept();
  EXPECT_EQ(account_.SmtpAuth, 1);
  EXPECT_EQ(account_.AuthUserPass, 1);
  EXPECT_EQ(account_.SmtpUser, "relay");
  EXPECT_EQ(account_.SmtpPass, "relay-pw");
}

TEST_F(SettingsSheets, TheConnectionPageFollowsTheDeviceEntries) {
  const struct {
    std::vector<platform::Text> entries;
    bool enabled;
  } cases[] = {{{}, false}, {{"Home", "Office"}, true}};
  for (const auto& c : cases) {
    link_.entries = c.entries;
    account_.RasMode = 1;
    auto sheet = OpenSheet();
    ShowTab(*sheet, "Connection");
    for (const char* name : {"lan", "dialUp", "rasEntry", "rasUser", "rasPassword", "rasReconnect"}) {
      EXPECT_EQ(Find(*sheet, name)->isEnabled(), c.enabled) << name;
    }
    if (!c.enabled) continue;
    auto* entries = Find<QComboBox>(*sheet, "rasEntry");
    EXPECT_EQ(entries->count(), 3);  // and the empty entry
    EXPECT_EQ(entries->currentText(), "Office");
    EXPECT_EQ(Text(*sheet, "rasUser"), "o-user");
    Find<QLineEdit>(*sheet, "rasUser")->setText("typed");
    entries->setFocus();
    QTest::keyClick(entries, Qt::Key_Up);  // "Home": nothing known
    EXPECT_EQ(Text(*sheet, "rasUser"), "");
    QTest::keyClick(entries, Qt::Key_Down);
    EXPECT_EQ(Text(*sheet, "rasUser"), "typed");
    QTest::keyClick(entries, Qt::Key_Down);  // the empty entry
    EXPECT_FALSE(Find(*sheet, "rasUser")->isEnabled());
    Find<QRadioButton>(*sheet, "lan")->setChecked(true);
    EXPECT_FALSE(entries->isEnabled());
    sheet->accept();
    EXPECT_EQ(account_.RasMode, 0);
    EXPECT_EQ(settings_.RasInfos[0].RasUser, "typed");
  }
}

TEST_F(SettingsSheets, TheFilterPageMovesDeletesAndRefusesARuleWithoutItsFirstItem) {
  auto sheet = OpenSheet();
  ShowTab(*sheet, "Filter");
  auto* list = Find<QTreeWidget>(*sheet, "filterList");
  EXPECT_EQ(list->topLevelItem(2)->text(0), "Unused");
  EXPECT_EQ(list->topLevelItem(1)->text(1), "Download");
  list->setCurrentItem(list->topLevelItem(2));
  Find<QPushButton>(*sheet, "filterUp")->click();
  EXPECT_EQ(FilterItems(*sheet), "ACB");
  Find<QPushButton>(*sheet, "filterUp")->click();
  Find<QPushButton>(*sheet, "filterUp")->click();  // at the top: stays
  EXPECT_EQ(FilterItems(*sheet), "CAB");
  EXPECT_EQ(list->currentItem(), list->topLevelItem(0));

  std::string asked;
  OnNextModal([&](QWidget& box) {
    asked = static_cast<QMessageBox&>(box).text().toStdString();
    static_cast<QMessageBox&>(box).button(QMessageBox::Yes)->click();
  });
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(asked, "Delete it?");
  EXPECT_EQ(FilterItems(*sheet), "AB");
  EXPECT_EQ(list->currentItem(), list->topLevelItem(0));  // the row now at the deleted one's place

  gui::FilterRuleDialog rule(filter::FilterRow{}, sheet.get());
  rule.show();
  Find<QComboBox>(rule, "item1")->setEditText("");
  OnNextModal([&](QWidget& box) {
    asked = static_cast<QMessageBox&>(box).text().toStdString();
    static_cast<QMessageBox&>(box).button(QMessageBox::Ok)->click();
  });
  rule.accept();
  EXPECT_EQ(asked, "Item 1 not set");
  EXPECT_TRUE(rule.isVisible());
  Find<QCheckBox>(rule, "ruleEnabled")->setChecked(false);
  EXPECT_FALSE(Find(rule, "content1")->isEnabled());

  sheet->accept();
  ASSERT_EQ(account_.Filters.size(), 2u);
  EXPECT_EQ(account_.Filters[0].Header1, "A:");
}

TEST_F(SettingsSheets, GlobalOptionsStoreTheShownPagesAndFollowTheirBoxes) {
  settings_.ListGetLine = 40;
  gui::GlobalOptionsSheet sheet(settings_, nullptr);
  sheet.show();
  Find<QCheckBox>(sheet, "downloadEntireBody")->setChecked(true);
  EXPECT_FALSE(Find(sheet, "linesToDownload")->isEnabled());
  ShowTab(sheet, "Check");
  EXPECT_FALSE(Find(sheet, "autoCheckMinutes")->isEnabled());
  Find<QCheckBox>(sheet, "autoCheck")->setChecked(true);
  EXPECT_TRUE(Find(sheet, "autoCheckMinutes")->isEnabled());
  Find<QSpinBox>(sheet, "autoCheckMinutes")->setValue(7);
  ShowTab(sheet, "Other");
  Find<QCheckBox>(sheet, "trayIcon")->setChecked(false);
  EXPECT_FALSE(Find(sheet, "closeHide")->isEnabled());
  settings_.WordBreakSize = 33;  // the Send page was never shown: its values stay
  sheet.accept();
  EXPECT_EQ(settings_.ListDownload, 1);
  EXPECT_EQ(settings_.ListGetLine, 40);
  EXPECT_EQ(settings_.AutoCheck, 1);
  EXPECT_EQ(settings_.AutoCheckTime, 7);
  EXPECT_EQ(settings_.ShowTrayIcon, 0);
  EXPECT_EQ(settings_.WordBreakSize, 33);
}

TEST_F(SettingsSheets, InitialiseShowsTheFiguresAndSetsWhereTheNextCheckStarts) {
  const struct {
    bool fromItem;
    int number, lastNo;
  } cases[] = {{false, 5, -1}, {true, 5, 5}, {true, 0, -1}};
  for (const auto& c : cases) {
    account_.MailCnt = 1234;
    account_.MailSize = 1023;
    gui::InitialiseDialog dialog(account_, nullptr);
    EXPECT_EQ(Find<QLabel>(dialog, "mailCount")->text(), "1234");
    EXPECT_EQ(Find<QLabel>(dialog, "totalSize")->text(), "1,023 bytes");
    EXPECT_FALSE(Find(dialog, "itemNumber")->isEnabled());
    Find<QRadioButton>(dialog, c.fromItem ? "fromItem" : "newMailOnly")->setChecked(true);
    EXPECT_EQ(Find(dialog, "itemNumber")->isEnabled(), c.fromItem);
    Find<QSpinBox>(dialog, "itemNumber")->setValue(c.number);
    dialog.accept();
    EXPECT_EQ(account_.LastNo, c.lastNo);
  }
}

class FirstStart : public WindowFixture {};

TEST_F(FirstStart, TheSheetOpensForTheNewAccountAndCancellingLeavesTheProgramUsable) {
  std::string title;
  OnNextModal([&](QWidget& sheet) {
    title = sheet.windowTitle().toStdString();
    static_cast<QDialog&>(sheet).reject();
  });
  StartWindow();
  EXPECT_EQ(title, "Account Settings");
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(store::AccountCount(state_.table), 1);
  EXPECT_TRUE(platform::ReadWholeFile(dir_.file("Zelk.ini")).has_value());  // the next start finds it

  // Add: the new account's sheet confirmed keeps it; cancelled removes it again.
  OnNextModal([](QWidget& sheet) {
    Find<QLineEdit>(sheet, "accountName")->setText("Second");
    static_cast<QDialog&>(sheet).accept();
  });
  window_->Run(gui::MenuCommand::kAccountAdd);
  EXPECT_EQ(store::AccountCount(state_.table), 2);
  EXPECT_EQ(window_->selector().currentText(), "Second");
  OnNextModal([](QWidget& sheet) { static_cast<QDialog&>(sheet).reject(); });
  window_->Run(gui::MenuCommand::kAccountAdd);
  EXPECT_EQ(store::AccountCount(state_.table), 2);

  // Initialise: where the next check starts, and the last message seen forgotten.
  Box(store::kFirstAccountIndex + 1).LastMessageId = "<last@example.org>";
  OnNextModal([](QWidget& dialog) {
    Find<QRadioButton>(dialog, "fromItem")->setChecked(true);
    Find<QSpinBox>(dialog, "itemNumber")->setValue(3);
    static_cast<QDialog&>(dialog).accept();
  });
  window_->Run(gui::MenuCommand::kInitialise);
  EXPECT_EQ(Box(store::kFirstAccountIndex + 1).LastNo, 3);
  EXPECT_EQ(Box(store::kFirstAccountIndex + 1).LastMessageId, std::nullopt);

  // Options: confirmed, and the profile written with AutoSave.
  OnNextModal([](QWidget& sheet) {
    static_cast<gui::PropertySheet&>(sheet).tabs().setCurrentIndex(5);
    Find<QCheckBox>(sheet, "trayIcon")->setChecked(false);
    static_cast<QDialog&>(sheet).accept();
  });
  window_->Run(gui::MenuCommand::kOptions);
  EXPECT_NE(platform::ReadWholeFile(dir_.file("Zelk.ini")).value_or("").find("ShowTrayIcon=0"), std::string::npos);
}

}  // namespace
}  // namespace zelk::test
