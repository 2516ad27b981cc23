#include "config/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/password.h"
#include "config/profile_file.h"
#include "platform/files.h"
#include "store/mailbox_file.h"
#include "support/temp_dir.h"

namespace zelk::config {
namespace {

using test::TempDir;

struct Loaded {
  Settings settings;
  store::MailBoxTable table;
  LoadResult result;
};

Loaded Load(const TempDir& home) {
  Loaded loaded;
  store::Init(loaded.table);
  store::NoSelector selector;
  loaded.result = LoadSettings(home.path(), loaded.settings, loaded.table, selector);
  return loaded;
}

std::string ProfileText(const TempDir& home) { return platform::ReadWholeFile(home.file("Zelk.ini")).value_or(""); }

TEST(Settings, AnEmptyProfileGivesDefaultsAndOneEmptyAccountToSetUp) {
  TempDir home;
  const Loaded loaded = Load(home);
  EXPECT_TRUE(loaded.result.ok);
  EXPECT_TRUE(loaded.result.needsAccountSetup);
  ASSERT_EQ(store::AccountCount(loaded.table), 1);
  EXPECT_EQ(loaded.table.boxes[2]->Port, 110);
  EXPECT_EQ(loaded.table.boxes[2]->SmtpPort, 25);
  EXPECT_EQ(loaded.settings.FontName, "Tahoma");
  EXPECT_EQ(loaded.settings.ReHeader, "\r\n%f wrote:\r\n(%d)\r\n");
  EXPECT_EQ(DataDirectoryPath(loaded.settings, home.path()), home.path());
  EXPECT_TRUE(platform::FileSize(home.file("Zelk.ini")));  // created empty
}

TEST(Settings, SaveThenLoadGivesBackEveryKey) {
  TempDir home;
  Loaded first = Load(home);
  Settings& s = first.settings;
  s.SocLog = 1;
  s.FontName = "Noto \"Sans\"";
  s.TimeZone = "+0900";
  s.pw = "secret";
  s.LvColSize = {1, 2, 3, 4};
  s.AddColSize = {5, 6};
  s.ReHeader = "On %d,\r\n%f wrote:\t\\x";
  s.ViewFileHeader = "";
  s.sBura = "\xC3\xA9";
  s.TimeoutInterval = 7;
  s.RasInfos = {{"dial", "user", "p\xC3\xA4ss"}};
  store::MailBox& box = *first.table.boxes[2];
  box.Name = "Work";
  box.Server = "pop.example";
  box.User = "me";
  box.Pass = "pop pass";
  box.MailCnt = 12;
  box.LastMessageId = std::string("<id@x>");
  box.LastNo = 12;
  box.Signature = "--\r\nMe\r\n";
  box.SmtpUser = "smtp";
  box.SmtpPass = "smtp pass";
  box.Filters = {{1, 2, "Subject:", "*spam*", "From:", "x"}, {0, 1, "To:", "a", "", ""}};
  box.RasEntry = "dial";
  ASSERT_TRUE(SaveSettings(home.path(), s, first.table, true));

  const Loaded second = Load(home);
  EXPECT_TRUE(second.result.ok);
  EXPECT_FALSE(second.result.needsAccountSetup);
  const Settings& t = second.settings;
  EXPECT_EQ(t.SocLog, 1);
  EXPECT_EQ(t.FontName, "Noto \"Sans\"");
  EXPECT_EQ(t.TimeZone, "+0900");
  EXPECT_EQ(t.pw, "secret");
  EXPECT_EQ(t.LvColSize, s.LvColSize);
  EXPECT_EQ(t.AddColSize, s.AddColSize);
  EXPECT_EQ(t.ReHeader, "On %d,\r\n%f wrote:\t\\x");
  EXPECT_EQ(t.ViewFileHeader, "");
  EXPECT_EQ(t.sBura, "\xC3\xA9");
  EXPECT_EQ(t.TimeoutInterval, 7);
  ASSERT_EQ(t.RasInfos.size(), 1u);
  EXPECT_EQ(t.RasInfos[0].RasPass, "p\xC3\xA4ss");
  const store::MailBox& back = *second.table.boxes.at(2);
  EXPECT_EQ(back.Name, "Work");
  EXPECT_EQ(back.Pass, "pop pass");
  EXPECT_EQ(back.SmtpPass, "smtp pass");
  EXPECT_EQ(back.MailCnt, 12);
  EXPECT_EQ(back.LastMessageId, "<id@x>");
  EXPECT_EQ(back.LastNo, 12);
  EXPECT_EQ(back.Signature, "--\r\nMe\r\n");
  ASSERT_EQ(back.Filters.size(), 2u);
  EXPECT_EQ(back.Filters[0].Content1, "*spam*");
  EXPECT_EQ(back.Filters[1].Action, 1);
  EXPECT_EQ(back.RasEntry, "dial");
  EXPECT_NE(ProfileText(home).find("Signature=\"--\\nMe\\n\""), std::string::npos);
  EXPECT_EQ(ProfileText(home).find("pop pass"), std::string::npos);
}

// Every key the program writes, changed in the file, must come back from a load and a save.
TEST(Settings, TlsKeysFollowTheOlderKeysAndAnOlderProfileReadsAsPlain) {
  TempDir home;
  Loaded fresh = Load(home);
  ASSERT_TRUE(SaveSettings(home.path(), fresh.settings, fresh.table, true));
  EXPECT_NE(ProfileText(home).find("RasReCon=0\r\nPopTls=0\r\nPopFingerprint=\r\nSmtpTls=0\r\nSmtpFingerprint="),
            std::string::npos);

  const std::string older = "[GENERAL]\r\nMailBoxCnt=1\r\n[MAILBOX-0]\r\nName=\"Old\"\r\nRasReCon=0\r\n";
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("Zelk.ini"), older));
  const Loaded old = Load(home);
  EXPECT_EQ(old.table.boxes[2]->PopTls, store::TlsMode::kNone);
  EXPECT_EQ(old.table.boxes[2]->SmtpTls, store::TlsMode::kNone);

  // A value no version wrote reads as no TLS, as an absent key does.
  const struct {
    const char* stored;
    store::TlsMode mode;
  } cases[] = {{"0", store::TlsMode::kNone}, {"1", store::TlsMode::kImplicit}, {"2", store::TlsMode::kStartTls},
               {"3", store::TlsMode::kNone}, {"-1", store::TlsMode::kNone}};
  for (const auto& c : cases) {
    ASSERT_TRUE(platform::WriteFileAtomically(
        home.file("Zelk.ini"), older + "PopTls=" + c.stored + "\r\nSmtpTls=" + c.stored + "\r\nSmtpFingerprint=\"AB:CD\"\r\n"));
    Loaded loaded = Load(home);
    EXPECT_EQ(loaded.table.boxes[2]->PopTls, c.mode) << c.stored;
    EXPECT_EQ(loaded.table.boxes[2]->SmtpTls, c.mode) << c.stored;
    EXPECT_EQ(loaded.table.boxes[2]->SmtpFingerprint, "AB:CD");
  }
}

TEST(Settings, EveryWrittenKeyIsReadBack) {
  TempDir home;
  Loaded defaults = Load(home);
  defaults.table.boxes[2]->Filters.resize(1);
  ASSERT_TRUE(SaveSettings(home.path(), defaults.settings, defaults.table, true));
  // The first start's account has no texts yet; once read from the file it has them all.
  Loaded settled = Load(home);
  ASSERT_TRUE(SaveSettings(home.path(), settled.settings, settled.table, true));
  const std::string written = ProfileText(home);

  // Each number goes up by 7 and each text gains a "!", except the counts of lists and the
  // data directory, which decide where everything else lies.
  std::string changed;
  int keys = 0;
  for (std::size_t pos = 0; pos < written.size();) {
    const std::size_t end = written.find("\r\n", pos);
    std::string line = written.substr(pos, end - pos);
    pos = end + 2;
    const std::size_t equals = line.find('=');
    const std::string key = line.substr(0, equals);
    const bool fixed = key == "MailBoxCnt" || key == "RasInfoCnt" || key == "FilterCnt" || key == "DataFileDir" ||
                       key == "StartInit" || key == "pw" || key.ends_with("Pass") || key.ends_with("Tls");
    if (equals != std::string::npos && !fixed) {
      ++keys;
      const std::string value = line.substr(equals + 1);
      if (value.starts_with('"')) {
        line = key + "=\"" + value.substr(1, value.size() - 2) + "!\"";
      } else if (!value.empty()) {
        line = key + "=" + std::to_string(std::stoi(value) + 7);
      } else {
        line = key + "=\"!\"";
      }
    }
    changed += line + "\r\n";
  }
  EXPECT_GT(keys, 120);
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("Zelk.ini"), changed));
  Loaded loaded = Load(home);
  ASSERT_TRUE(SaveSettings(home.path(), loaded.settings, loaded.table, true));
  EXPECT_EQ(ProfileText(home), changed);
}

TEST(Settings, HandWrittenProfileKeepsItsCommentsForeignKeysAndCounters) {
  TempDir home;
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("Zelk.ini"),
                                            "# my notes\r\n[GENERAL]\r\nMailBoxCnt=1\r\nMyOwnKey=1\r\nTimeoutInterval=0\r\n"
                                            "[MAILBOX-0]\r\nName=\"A\"\r\nLastMessageId=\"<old>\"\r\nLastNo=5\r\n"
                                            "FilterCnt=2\r\nFilterFlag=2\r\nFILTER-0_Action=1\r\n"
                                            "[MAILBOX-7]\r\nName=\"deleted long ago\"\r\n"));
  Loaded loaded = Load(home);
  EXPECT_EQ(loaded.settings.TimeoutInterval, 1);
  const store::MailBox& box = *loaded.table.boxes[2];
  EXPECT_EQ(box.LastMessageId, "<old>");
  EXPECT_EQ(box.LastNo, 5);
  ASSERT_EQ(box.Filters.size(), 2u);
  EXPECT_EQ(box.Filters[0].Action, 2);
  EXPECT_EQ(box.Filters[1].Action, 2);

  loaded.table.boxes[2]->LastNo = 9;
  ASSERT_TRUE(SaveSettings(home.path(), loaded.settings, loaded.table, false));
  const std::string text = ProfileText(home);
  for (const char* kept : {"# my notes", "MyOwnKey=1", "LastMessageId=\"<old>\"", "LastNo=5", "FilterFlag=2",
                           "FILTER-1_Action=2", "[MAILBOX-7]", "TimeoutInterval=1"}) {
    EXPECT_NE(text.find(kept), std::string::npos) << kept;
  }

  ASSERT_TRUE(SaveSettings(home.path(), loaded.settings, loaded.table, true));
  EXPECT_NE(ProfileText(home).find("LastNo=9"), std::string::npos);
}

TEST(Settings, StartInitListsEveryAccountAfreshWithoutTouchingTheFile) {
  TempDir home;
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("Zelk.ini"),
                                            "[GENERAL]\r\nStartInit=1\r\nMailBoxCnt=1\r\n"
                                            "[MAILBOX-0]\r\nLastMessageId=\"<old>\"\r\nLastNo=5\r\n"));
  const Loaded loaded = Load(home);
  EXPECT_FALSE(loaded.table.boxes[2]->LastMessageId);
  EXPECT_EQ(loaded.table.boxes[2]->LastNo, -1);
  ASSERT_TRUE(SaveSettings(home.path(), loaded.settings, loaded.table, false));
  EXPECT_NE(ProfileText(home).find("LastNo=5"), std::string::npos);
}

TEST(Settings, DialUpEntriesWithoutNameAreDroppedAndRenumbered) {
  Settings settings;
  SetRasInfo(settings, "", "u", "p");
  SetRasInfo(settings, "one", "u1", "p1");
  SetRasInfo(settings, "two", "u2", "p2");
  SetRasInfo(settings, "one", "u3", "p3");
  EXPECT_EQ(settings.RasInfos.size(), 2u);
  EXPECT_EQ(FindRasInfo(settings, "one"), 0);
  EXPECT_EQ(settings.RasInfos[0].RasUser, "u3");
  EXPECT_EQ(FindRasInfo(settings, "ONE"), -1);
  EXPECT_EQ(FindRasInfo(settings, ""), -1);

  settings.RasInfos[0].RasEntry = "";
  TempDir home;
  store::MailBoxTable table;
  store::Init(table);
  ASSERT_TRUE(SaveSettings(home.path(), settings, table, false));
  const std::string text = ProfileText(home);
  EXPECT_NE(text.find("RasInfoCnt=1"), std::string::npos);
  EXPECT_NE(text.find("RASINFO-0_RasEntry=\"two\""), std::string::npos);
}

TEST(Settings, AFailedMailboxReadFailsTheLoad) {
  TempDir home;
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("Zelk.ini"), "[GENERAL]\r\nMailBoxCnt=1\r\n"));
  // A directory in the file's place exists but cannot be read, whoever runs the test.
  ASSERT_EQ(::mkdir(home.file("MailBox0.dat").c_str(), 0700), 0);
  EXPECT_FALSE(Load(home).result.ok);
}

TEST(Passwords, AreScrambledPerUserAndTheOlderFormIsRead) {
  EXPECT_EQ(EncodePassword("user", ""), "");
  const Text a = EncodePassword("alice", "same");
  const Text b = EncodePassword("bob", "same");
  EXPECT_NE(a, b);
  EXPECT_EQ(a.front(), '=');
  EXPECT_EQ(DecodePassword("alice", a), "same");
  EXPECT_EQ(DecodePassword("alice", ""), "");
  // The older form: base64 of the inverted bytes, cut at the first zero byte.
  EXPECT_EQ(DecodePassword("anyone", "np2M"), "abs");
  EXPECT_EQ(DecodePassword("anyone", "np4A/w=="), "aa");
}

}  // namespace
}  // namespace zelk::config
