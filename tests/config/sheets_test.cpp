#include <gtest/gtest.h>

#include "config/account_sheet.h"
#include "config/initialise_rules.h"
#include "config/options_sheet.h"
#include "platform/line_breaks.h"

namespace zelk::config {
namespace {

using store::TlsMode;

store::MailBox Account() {
  store::MailBox box;
  box.Name = "Work";
  box.Server = "pop.example.org";
  box.Port = 110;
  box.User = "ann";
  box.Pass = "old";
  box.TmpPass = "typed";
  box.SmtpTmpPass = "typed too";
  box.PopAddr = "192.0.2.1";
  box.SmtpAddr = "192.0.2.2";
  box.SmtpServer = "smtp.example.org";
  box.SmtpPort = 25;
  box.Signature = "-- \r\nAnn";
  box.FilterEnable = 1;
  box.Filters = {{1, 0, "Subject:", "*", "", ""}};
  box.RasMode = 1;
  box.RasEntry = "Home";
  return box;
}

TEST(AccountSheet, OkStoresOnlyThePagesShownAndForgetsWhatTheyMakeStale) {
  const struct {
    std::vector<AccountPage> shown;
    bool popStored, smtpStored, signatureStored, filterStored;
  } cases[] = {
      {{}, false, false, false, false},
      {{AccountPage::kPop3}, true, false, false, false},
      {{AccountPage::kSmtp, AccountPage::kSignature}, false, true, true, false},
      {{AccountPage::kFilter, AccountPage::kConnection}, false, false, false, true},
  };
  for (const auto& c : cases) {
    store::MailBox box = Account();
    Settings settings;
    AccountSheet sheet;
    for (const AccountPage page : c.shown) ShowAccountPage(sheet, page, box, settings, {"Home", "Office"});
    // Every page's fields changed, as a user would; pages not shown have no fields to change.
    if (sheet.pop3) sheet.pop3->server = "new.example.org", sheet.pop3->password = "new";
    if (sheet.smtp) sheet.smtp->server = "mx.example.org";
    if (sheet.signature) *sheet.signature = "Ann\nSmith";
    if (sheet.filter) sheet.filter->Delete(0);
    ASSERT_EQ(CheckAccountSheet(sheet), std::nullopt);
    ConfirmAccountSheet(sheet, box, settings);
    EXPECT_EQ(*box.Server == "new.example.org", c.popStored);
    EXPECT_EQ(*box.Pass == "new", c.popStored);
    EXPECT_EQ(box.PopAddr.empty(), c.popStored);
    EXPECT_EQ(!box.TmpPass && !box.SmtpTmpPass, c.popStored);
    EXPECT_EQ(*box.SmtpServer == "mx.example.org", c.smtpStored);
    EXPECT_EQ(box.SmtpAddr.empty(), c.smtpStored);
    EXPECT_EQ(*box.Signature == "Ann\r\nSmith", c.signatureStored);
    EXPECT_EQ(box.Filters.empty(), c.filterStored);
  }
}

TEST(AccountSheet, TextsAreCutAtTheFieldLimitWithoutSplittingACharacter) {
  const struct {
    std::string typed;
    std::size_t bytes;
  } cases[] = {
      {std::string(254, 'a'), 254}, {std::string(300, 'a'), 254}, {std::string(253, 'a') + "é", 255},
      {std::string(253, 'a') + "\xF0\x9F\x98\x80", 253},  // a character of two units does not fit in one
  };
  for (const auto& c : cases) {
    store::MailBox box = Account();
    Settings settings;
    AccountSheet sheet;
    ShowAccountPage(sheet, AccountPage::kPop3, box, settings, {});
    ShowAccountPage(sheet, AccountPage::kSmtp, box, settings, {});
    sheet.pop3->user = c.typed;
    sheet.smtp->auth.password = c.typed;
    ConfirmAccountSheet(sheet, box, settings);
    EXPECT_EQ(box.User->size(), c.bytes);
    EXPECT_EQ(box.SmtpPass->size(), c.bytes);
  }
}

TEST(AccountSheet, TheSmtpAuthDialogsChoiceAndTextsAreStoredTogether) {
  store::MailBox box = Account();
  box.AuthUserPass = 1;
  box.SmtpUser = "relay";
  Settings settings;
  AccountSheet sheet;
  ShowAccountPage(sheet, AccountPage::kSmtp, box, settings, {});
  EXPECT_FALSE(sheet.smtp->auth.usePop3Login);
  sheet.smtp->auth = {true, "relay", "secret"};  // ticked: the texts stay as they were typed
  ConfirmAccountSheet(sheet, box, settings);
  EXPECT_EQ(box.AuthUserPass, 0);
  EXPECT_EQ(box.SmtpUser, "relay");
  EXPECT_EQ(box.SmtpPass, "secret");
}

TEST(AccountSheet, TlsModesBringTheirPortsAndPinsAreReadInAnyForm) {
  const struct {
    MailService service;
    TlsMode from, to;
    int port, expected;
  } ports[] = {
      {MailService::kPop3, TlsMode::kNone, TlsMode::kImplicit, 110, 995},
      {MailService::kPop3, TlsMode::kImplicit, TlsMode::kStartTls, 995, 110},
      {MailService::kPop3, TlsMode::kNone, TlsMode::kImplicit, 1110, 1110},  // typed by the user: kept
      {MailService::kSmtp, TlsMode::kNone, TlsMode::kImplicit, 25, 465},
      {MailService::kSmtp, TlsMode::kNone, TlsMode::kStartTls, 25, 587},
      {MailService::kSmtp, TlsMode::kStartTls, TlsMode::kNone, 0, 25},
  };
  for (const auto& c : ports) EXPECT_EQ(PortAfterModeChange(c.service, c.from, c.to, c.port), c.expected) << c.port;
  EXPECT_EQ(ModeForPort(MailService::kPop3, 995), TlsMode::kImplicit);
  EXPECT_EQ(ModeForPort(MailService::kSmtp, 995), TlsMode::kNone);

  const std::string pin(64, 'a');
  EXPECT_EQ(PinText("  "), "");
  EXPECT_EQ(PinText(pin)->substr(0, 6), "AA:AA:");
  EXPECT_EQ(PinText("not a pin"), std::nullopt);
  store::MailBox box = Account();
  Settings settings;
  AccountSheet sheet;
  ShowAccountPage(sheet, AccountPage::kSmtp, box, settings, {});
  sheet.smtp->fingerprint = "12:34";
  EXPECT_NE(CheckAccountSheet(sheet), std::nullopt);
}

TEST(ConnectionPage, ChoosesByLeadingTextAndKeepsEachEntrysLoginUntilOk) {
  store::MailBox box = Account();
  box.RasEntry = "home";
  Settings settings;
  SetRasInfo(settings, "home", "h-user", "h-pass");
  ConnectionPage page(box, settings, {"Office", "Home dsl", "Mobile"});
  EXPECT_EQ(page.chosen(), 1);             // "home" begins "Home dsl", ignoring case
  EXPECT_EQ(page.user, "h-user");          // the login of the record named exactly "home"
  EXPECT_EQ(page.choices().back(), "");    // the empty entry closes the list
  EXPECT_TRUE(page.ListEnabled() && page.LoginEnabled());

  page.user = "typed";
  page.password = "pw";
  page.ListClosed(0);  // to "Office": nothing known yet
  EXPECT_EQ(page.user, "");
  page.user = "o-user";
  page.ListClosed(1);  // and back: what was typed for "Home dsl" is there again
  EXPECT_EQ(page.user, "typed");
  EXPECT_EQ(page.password, "pw");
  EXPECT_TRUE(settings.RasInfos.size() == 1 && settings.RasInfos[0].RasUser == "h-user");  // not before OK

  page.ListClosed(3);  // the empty entry: no login, no box
  EXPECT_FALSE(page.LoginEnabled());
  page.ListClosed(2);
  page.dialUp = false;
  EXPECT_FALSE(page.ListEnabled());
  page.Store(box, settings);
  EXPECT_EQ(box.RasMode, 0);
  EXPECT_EQ(box.RasEntry, "Mobile");
  EXPECT_EQ(settings.RasInfos[size_t(FindRasInfo(settings, "Office"))].RasUser, "o-user");
  EXPECT_EQ(settings.RasInfos[size_t(FindRasInfo(settings, "Home dsl"))].RasPass, "pw");
}

TEST(ConnectionPage, WithoutDialUpEntriesNothingIsEnabledOrStored) {
  const struct {
    const char* entry;
    std::vector<platform::Text> entries;
    int chosen;
    bool radio;
  } cases[] = {
      {"Home", {}, 0, false},
      {"", {"Home"}, 1, true},       // no entry named: the empty one, not the first
      {"Gone", {"Home"}, 1, true},   // an entry the device lost: the empty one
      {"HOME", {"Home"}, 0, true},
  };
  for (const auto& c : cases) {
    store::MailBox box = Account();
    box.RasEntry = c.entry;
    Settings settings;
    ConnectionPage page(box, settings, c.entries);
    EXPECT_EQ(page.chosen(), c.chosen) << c.entry;
    EXPECT_EQ(page.RadioButtonsEnabled(), c.radio) << c.entry;
    page.dialUp = false;
    page.Store(box, settings);
    EXPECT_EQ(box.RasMode, c.radio ? 0 : 1) << c.entry;
  }
}

TEST(OptionsSheet, OkStoresTheShownPagesOnly) {
  Settings settings;
  settings.CloseHide = 1;
  settings.EncodeType = 1;
  OptionsSheet sheet;
  ShowOptionsPage(sheet, OptionsPage::kCheck, settings);
  ShowOptionsPage(sheet, OptionsPage::kReply, settings);
  EXPECT_EQ(sheet.reply->replyHeader, "\n%f wrote:\n(%d)\n");
  sheet.check->autoCheck = true;
  sheet.check->autoCheckMinutes = 3;
  sheet.check->soundAfterUpdateOrSend = true;
  sheet.reply->quotationChar = std::string(300, '>');
  ConfirmOptionsSheet(sheet, settings);
  EXPECT_EQ(settings.AutoCheck, 1);
  EXPECT_EQ(settings.AutoCheckTime, 3);
  EXPECT_EQ(settings.ExecEndSound, 1);
  EXPECT_EQ(settings.CheckAfterUpdate, 0);
  EXPECT_EQ(settings.QuotationChar.size(), 254u);
  EXPECT_EQ(settings.ReHeader, "\r\n%f wrote:\r\n(%d)\r\n");
  EXPECT_EQ(settings.CloseHide, 1);  // the pages that hold these were not shown
  EXPECT_EQ(settings.EncodeType, 1);

  ShowOptionsPage(sheet, OptionsPage::kOther, settings);
  ShowOptionsPage(sheet, OptionsPage::kRecv, settings);
  sheet.other->trayIcon = false;
  sheet.recv->listSaveMode = 0;
  ConfirmOptionsSheet(sheet, settings);
  EXPECT_EQ(settings.ListSaveMode, 0);
  const OptionsAftermath after = AftermathOfOptions(settings);
  EXPECT_TRUE(after.saveProfile);
  EXPECT_FALSE(after.trayIcon);
}

TEST(Initialise, NextCheckStartAndTheSizeText) {
  const struct {
    InitialiseFrom from;
    int number, lastNo;
  } starts[] = {{InitialiseFrom::kNewMailOnly, 5, -1}, {InitialiseFrom::kItemNumber, 5, 5},
                {InitialiseFrom::kItemNumber, 1, 1},   {InitialiseFrom::kItemNumber, 0, -1},
                {InitialiseFrom::kItemNumber, -3, -1}};
  for (const auto& c : starts) EXPECT_EQ(LastNoAfterInitialise(c.from, c.number), c.lastNo) << c.number;

  const struct {
    int size;
    const char* text;
  } sizes[] = {{0, "0 bytes"},          {1023, "1,023 bytes"},     {1024, "1 KB"},           {1536, "1 KB"},
               {1048575, "1,023 KB"}, {2147483647, "2,097,151 KB"}, {-5, "-5 bytes"}};
  for (const auto& c : sizes) EXPECT_EQ(TotalSizeText(c.size), c.text) << c.size;
  EXPECT_EQ(MailCountText(12345), "12345");
}

TEST(LineBreaks, MultiLineFieldsKeepCrLfInStoreAndLfInTheEditor) {
  const struct {
    const char *edited, *stored;
  } cases[] = {{"a\nb", "a\r\nb"}, {"\n", "\r\n"}, {"a\r\nb", "a\r\nb"}, {"", ""}, {"a\rb", "a\rb"}};
  for (const auto& c : cases) EXPECT_EQ(platform::WithCrLfLineBreaks(c.edited), c.stored) << c.edited;
  EXPECT_EQ(platform::WithLfLineBreaks("a\r\nb\r\n"), "a\nb\n");
}

}  // namespace
}  // namespace zelk::config
