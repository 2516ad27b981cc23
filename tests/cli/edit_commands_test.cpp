// The account commands and the list's copy and delete, through zelk-cli as a user runs them.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/cli_run.h"
#include "platform/files.h"
#include "store/mailbox_file.h"
#include "support/temp_dir.h"

namespace zelk {
namespace {

using test::CliRun;
using test::RunCli;

store::ItemRef Item(const std::string& subject, int no, bool whole) {
  auto item = std::make_shared<store::MailItem>();
  item->No = no;
  item->From = "Ann <ann@example.org>";
  item->To = "me@example.org";
  item->Subject = subject;
  item->Date = "02/01/2006 09:0" + std::to_string(no);
  item->MessageId = "<" + std::to_string(no) + "@example.org>";
  if (whole) {
    item->Body = "body of " + subject;
    item->Status = item->Mark = store::kStatusUnread;
    item->Download = 1;
  }
  return item;
}

// Accounts named after `names`, each holding one message whose subject is "for " and its name.
void MakeAccounts(const test::TempDir& home, const std::vector<std::string>& names, const std::string& general = "") {
  std::string profile =
      "[GENERAL]\r\nMailBoxCnt=" + std::to_string(names.size()) + "\r\nTimeZone=\"+0000\"\r\n" + general;
  for (std::size_t i = 0; i < names.size(); ++i) {
    profile += "[MAILBOX-" + std::to_string(i) + "]\r\nName=\"" + names[i] + "\"\r\nLastNo=4\r\n" +
               "LastMessageId=\"<last-" + names[i] + ">\"\r\n";
    store::MailBox box;
    box.Items = {Item("for " + names[i], 1, true)};
    ASSERT_TRUE(store::SaveMailBox(home.file("MailBox" + std::to_string(i) + ".dat"), box, store::kSaveWithBodies));
  }
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("Zelk.ini"), profile));
}

// The subjects of a mailbox's rows, one a line.
std::string Subjects(const test::TempDir& home, const std::string& mailbox) {
  const CliRun run = RunCli(home, "list " + test::ShellWord(mailbox));
  std::string subjects;
  std::size_t start = 0;
  for (std::size_t end; (end = run.out.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = run.out.substr(start, end - start);
    const std::size_t from = line.find('\t', line.find('\t') + 1) + 1;
    subjects += line.substr(from, line.find('\t', from) - from) + "\n";
  }
  return subjects;
}

std::string Profile(const test::TempDir& home) { return platform::ReadWholeFile(home.file("Zelk.ini")).value_or(""); }

TEST(CliAccounts, EachAccountKeepsItsOwnMessagesAndStateThroughMovesDeletesAndAdds) {
  test::TempDir home;
  MakeAccounts(home, {"A", "B", "C"});
  EXPECT_EQ(RunCli(home, "account list").out, "A\nB\nC\n");

  EXPECT_EQ(RunCli(home, "account move-up C").status, 0);
  EXPECT_EQ(RunCli(home, "account list").out, "A\nC\nB\n");
  EXPECT_EQ(Subjects(home, "C"), "for C\n");
  EXPECT_EQ(Subjects(home, "B"), "for B\n");
  EXPECT_EQ(RunCli(home, "account move-down C").status, 0);
  EXPECT_EQ(RunCli(home, "account move-up A").err, "zelk-cli: It is the first account already\n");

  const CliRun unasked = RunCli(home, "account delete a");
  EXPECT_EQ(unasked.status, 1);
  EXPECT_NE(unasked.err.find("Delete account?"), std::string::npos);
  EXPECT_EQ(RunCli(home, "account list").out, "A\nB\nC\n");

  ASSERT_EQ(RunCli(home, "account delete A --yes").status, 0);
  EXPECT_EQ(RunCli(home, "account list").out, "B\nC\n");
  EXPECT_EQ(Subjects(home, "B"), "for B\n");
  EXPECT_EQ(Subjects(home, "C"), "for C\n");
  EXPECT_FALSE(platform::FileSize(home.file("MailBox2.dat")));  // the file of no account

  // The new account takes the deleted one's position: neither its mail nor its last message.
  const CliRun added =
      RunCli(home, "account add 'New one' --server pop.example.org --port 995 --user me --address me@example.org");
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(RunCli(home, "account list").out, "B\nC\nNew one\n");
  EXPECT_EQ(Subjects(home, "new one"), "");
  const std::string profile = Profile(home);
  const std::string added3 = profile.substr(profile.find("[MAILBOX-2]"));
  EXPECT_NE(added3.find("Server=\"pop.example.org\""), std::string::npos) << added3;
  EXPECT_NE(added3.find("Port=995"), std::string::npos);
  EXPECT_NE(added3.find("SmtpPort=25"), std::string::npos);
  EXPECT_EQ(added3.find("<last-"), std::string::npos) << added3;
  EXPECT_NE(profile.find("LastMessageId=\"<last-C>\""), std::string::npos);

  EXPECT_EQ(RunCli(home, "account add new\\ ONE").status, 1);  // names are unique, ignoring case
  EXPECT_EQ(RunCli(home, "account delete '[Outbox]' --yes").err, "zelk-cli: Not an account: [Outbox]\n");
  for (const char* bad : {"account add X --port 0", "account add --server x", "account delete B --no"}) {
    EXPECT_EQ(RunCli(home, bad).status, 2) << bad;
  }
  EXPECT_EQ(RunCli(home, "account list").out, "B\nC\nNew one\n");
}

TEST(CliAccounts, AddOnAFirstStartNamesTheEmptyAccountAndDeletingTheLastLeavesNone) {
  test::TempDir home;
  ASSERT_EQ(RunCli(home, "account add Work --address me@example.org").status, 0);
  EXPECT_EQ(RunCli(home, "account list").out, "Work\n");
  EXPECT_NE(Profile(home).find("MailBoxCnt=1"), std::string::npos);
  ASSERT_EQ(RunCli(home, "account delete Work --yes").status, 0);
  EXPECT_NE(Profile(home).find("MailBoxCnt=0"), std::string::npos);
  EXPECT_EQ(RunCli(home, "account list").out, "Untitled\n");  // what every start makes of no accounts
}

TEST(CliAccounts, InitialiseForgetsTheLastMessageAndSetsWhereTheNextCheckStarts) {
  test::TempDir home;
  MakeAccounts(home, {"A", "B"});
  ASSERT_EQ(RunCli(home, "account initialise B").status, 0);
  std::string profile = Profile(home);
  EXPECT_EQ(profile.find("<last-B>"), std::string::npos) << profile;
  EXPECT_NE(profile.find("<last-A>"), std::string::npos);
  EXPECT_NE(profile.find("LastNo=-1"), std::string::npos);
  ASSERT_EQ(RunCli(home, "account initialise A --from 3").status, 0);
  profile = Profile(home);
  EXPECT_EQ(profile.find("<last-A>"), std::string::npos);
  EXPECT_NE(profile.find("LastNo=3"), std::string::npos);
  EXPECT_EQ(Subjects(home, "A"), "for A\n");  // the list stays until the next check
}

void MakeMailboxes(const test::TempDir& home, const std::string& general) {
  MakeAccounts(home, {"Work"}, general);
  store::MailBox work;
  work.Items = {Item("whole", 1, true), Item("header only", 2, false), Item("third", 3, true)};
  ASSERT_TRUE(store::SaveMailBox(home.file("MailBox0.dat"), work, store::kSaveWithBodies));
  store::MailBox outbox;
  auto draft = std::make_shared<store::MailItem>();
  draft->To = "bob@example.org";
  draft->Subject = "draft";
  draft->MailBoxName = "Work";
  draft->Body = "text";
  draft->Status = draft->Mark = store::kMarkSend;
  outbox.Items = {draft};
  ASSERT_TRUE(store::SaveMailBox(home.file(store::kOutboxFile), outbox, store::kSaveWithBodies));
}

TEST(CliListEdits, CopyAsksWhereTheProgramAsksAndReplacesByMessageId) {
  test::TempDir home;
  MakeMailboxes(home, "");
  const CliRun unasked = RunCli(home, "copy Work 1 3");
  EXPECT_EQ(unasked.status, 1);
  EXPECT_NE(unasked.err.find("Copy 2 mail to the Savebox?"), std::string::npos) << unasked.err;
  EXPECT_EQ(Subjects(home, "[Savebox]"), "");
  ASSERT_EQ(RunCli(home, "copy Work 3 1 --yes").status, 0);
  ASSERT_EQ(RunCli(home, "copy Work 1 --yes").status, 0);  // the same message replaces its copy
  EXPECT_EQ(Subjects(home, "[Savebox]"), "whole\nthird\n");

  // A whole copy gives way to a header-only one only after the second question.
  store::MailBox savebox;
  savebox.Items = {Item("header only", 2, true)};
  ASSERT_TRUE(store::SaveMailBox(home.file(store::kSaveboxFile), savebox, store::kSaveWithBodies));
  MakeMailboxes(home, "SaveMsg=0\r\n");
  EXPECT_EQ(RunCli(home, "copy Work 2").status, 1);
  EXPECT_NE(RunCli(home, "show '[Savebox]' 1").out.find("body of header only"), std::string::npos);
  ASSERT_EQ(RunCli(home, "copy Work 2 --yes").status, 0);
  EXPECT_EQ(RunCli(home, "show '[Savebox]' 1").out.find("body of"), std::string::npos);
  EXPECT_EQ(Subjects(home, "[Savebox]"), "header only\n");

  EXPECT_EQ(RunCli(home, "copy Work 1 4 --yes").err, "zelk-cli: No row 4 in Work\n");
  EXPECT_EQ(RunCli(home, "copy Work 1 --no").status, 2);
}

TEST(CliListEdits, DeleteRemovesRowsOnlyWithYesAndCopyInTheOutboxMakesAnUnsentMessage) {
  test::TempDir home;
  MakeMailboxes(home, "");
  const CliRun unasked = RunCli(home, "delete Work 1 2");
  EXPECT_EQ(unasked.status, 1);
  EXPECT_NE(unasked.err.find("Delete 2 mail from the list?\n(Is not deleted from the server)"), std::string::npos);
  EXPECT_NE(unasked.err.find("--yes"), std::string::npos);
  EXPECT_EQ(RunCli(home, "delete Work 1 0 --yes").status, 1);  // every row checked first
  EXPECT_EQ(Subjects(home, "Work"), "whole\nheader only\nthird\n");
  ASSERT_EQ(RunCli(home, "delete Work 3 1 --yes").status, 0);
  EXPECT_EQ(Subjects(home, "Work"), "header only\n");
  EXPECT_EQ(RunCli(home, "delete Work --yes").status, 2);

  ASSERT_EQ(RunCli(home, "copy '[Outbox]' 1").status, 0);
  ASSERT_EQ(Subjects(home, "[Outbox]"), "draft\ndraft\n");
  ASSERT_EQ(RunCli(home, "delete '[Outbox]' 1 --yes").status, 0);
  EXPECT_EQ(RunCli(home, "list '[Outbox]'").out.substr(0, 2), "0\t");  // the copy, never marked for sending
}

// The value of an account key in the profile's first account section.
std::string AccountKey(const test::TempDir& home, const std::string& key) {
  const std::string profile = Profile(home);
  const std::size_t section = profile.find("[MAILBOX-0]");
  const std::size_t at = profile.find("\r\n" + key + "=", section);
  if (section == std::string::npos || at == std::string::npos) return "(none)";
  const std::size_t start = at + key.size() + 3;
  return profile.substr(start, profile.find("\r\n", start) - start);
}

TEST(CliAccounts, TlsOptionsAndTlsPortsChooseEachOther) {
  const struct {
    std::string options;
    std::string stored;  // Port PopTls SmtpPort SmtpTls
  } cases[] = {
      {"", "110 0 25 0"},
      {"--port 995 --smtp-port 465", "995 1 465 1"},
      {"--tls implicit --smtp-tls implicit", "995 1 465 1"},
      {"--tls starttls --smtp-tls starttls", "110 2 587 2"},
      {"--port 995 --tls none --smtp-port 587 --smtp-tls starttls", "995 0 587 2"},
      {"--tls implicit --port 1995 --smtp-tls implicit --smtp-port 2465", "1995 1 2465 1"},
  };
  for (const auto& c : cases) {
    test::TempDir home;
    ASSERT_EQ(RunCli(home, "account add Mail --server pop.example " + c.options).status, 0) << c.options;
    EXPECT_EQ(AccountKey(home, "Port") + " " + AccountKey(home, "PopTls") + " " + AccountKey(home, "SmtpPort") + " " +
                  AccountKey(home, "SmtpTls"),
              c.stored)
        << c.options;
  }
  test::TempDir home;
  const std::string pin(64, 'a');
  ASSERT_EQ(RunCli(home, "account add Mail --tls implicit --fingerprint " + pin + " --smtp-fingerprint '" +
                             std::string(32, 'B') + " " + std::string(32, 'c') + "'")
                .status,
            0);
  std::string stored;  // as the error text shows fingerprints
  for (int pair = 0; pair < 32; ++pair) stored += (pair == 0 ? "" : ":") + std::string(2, 'A');
  EXPECT_EQ(AccountKey(home, "PopFingerprint"), "\"" + stored + "\"");
  EXPECT_EQ(AccountKey(home, "SmtpFingerprint").substr(0, 9), "\"BB:BB:BB");
  for (const std::string& bad :
       std::vector<std::string>{"--tls ssl", "--smtp-tls STARTTLS", "--fingerprint 12:34",
                                "--smtp-fingerprint zz" + std::string(62, '0')}) {
    EXPECT_EQ(RunCli(home, "account add Other " + bad).status, 2) << bad;
  }
}

}  // namespace
}  // namespace zelk
