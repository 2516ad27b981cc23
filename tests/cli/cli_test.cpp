// zelk-cli as a user runs it: a real process over a home directory made for the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "cli/cli_run.h"
#include "config/password.h"
#include "platform/files.h"
#include "support/dovecot_server.h"
#include "store/mailbox_file.h"
#include "support/temp_dir.h"

namespace zelk {
namespace {

using test::CliRun;
using test::RunCli;

store::ItemRef Item(const char* subject, const char* date, int no, const char* body) {
  auto item = std::make_shared<store::MailItem>();
  item->No = no;
  item->From = "Ann <ann@example.org>";
  item->To = "me@example.org";
  item->Subject = subject;
  item->Date = date;
  item->Size = std::to_string(no * 1000);
  item->MessageId = "<" + std::to_string(no) + "@example.org>";
  if (body) {
    item->Body = body;
    item->Status = item->Mark = store::kStatusUnread;
    item->Download = 1;
  }
  return item;
}

void MakeAccount(const test::TempDir& home) {
  ASSERT_TRUE(platform::WriteFileAtomically(
      home.file("Zelk.ini"),
      "[GENERAL]\r\nMailBoxCnt=1\r\nTimeZone=\"+0000\"\r\n[MAILBOX-0]\r\nName=\"Work\"\r\nMailAddress=\"me@example.org\"\r\n"));
  store::MailBox box;
  box.Items = {Item("Beta", "02/01/2006 09:00", 1, "first body\r\n..dotted\r\n"), Item("alpha", "01/01/2006 09:00", 2, nullptr),
               Item("", "03/01/2006 09:00", 3, "third")};
  ASSERT_TRUE(store::SaveMailBox(home.file("MailBox0.dat"), box, store::kSaveWithBodies));
}

TEST(Cli, ListShowsRowsInListOrderAndSortsOnRequest) {
  test::TempDir home;
  MakeAccount(home);
  const CliRun plain = RunCli(home, "list");
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out,
            "1\t0\tBeta\tAnn <ann@example.org>\t02/01/2006 09:00\t1000\n"
            "0\t0\talpha\tAnn <ann@example.org>\t01/01/2006 09:00\t2000\n"
            "1\t0\t(no subject)\tAnn <ann@example.org>\t03/01/2006 09:00\t3000\n");
  const CliRun bySubject = RunCli(home, "list WORK --sort 1");
  EXPECT_EQ(bySubject.out.substr(0, bySubject.out.find('\n')), "1\t0\t(no subject)\tAnn <ann@example.org>\t03/01/2006 09:00\t3000");
  const CliRun byDateDown = RunCli(home, "list Work --sort -3");
  EXPECT_EQ(byDateDown.out.substr(0, 14), "1\t0\t(no subjec");
  EXPECT_EQ(RunCli(home, "list [savebox]").out, "");

  const CliRun unknown = RunCli(home, "list Nowhere");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.err, "zelk-cli: No such mailbox: Nowhere\n");
  for (const char* bad : {"list --sort 7", "list --sort", "frobnicate", "show Work", "show Work x", ""}) {
    const CliRun run = RunCli(home, bad);
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_NE(run.err.find("Usage: zelk-cli"), std::string::npos) << bad;
  }
}

TEST(Cli, ShowPrintsTheViewerPaneMarksReadAndSavesLikeAnExit) {
  test::TempDir home;
  MakeAccount(home);
  const CliRun shown = RunCli(home, "show Work 1");
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(shown.out, "From: Ann <ann@example.org>\nSubject: Beta\nDate: 02/01/2006 09:00\n\nfirst body\n.dotted\n");
  EXPECT_EQ(RunCli(home, "list").out.substr(0, 2), "2\t");  // read now, and saved
  EXPECT_NE(platform::ReadWholeFile(home.file("Zelk.ini")).value_or("").find("LastNo="), std::string::npos);
  EXPECT_EQ(RunCli(home, "show Work 9").status, 1);
}

TEST(Cli, MarkSetsTheUsersMarksOnRowsAndSavesThem) {
  test::TempDir home;
  MakeAccount(home);
  EXPECT_EQ(RunCli(home, "mark Work 1 3 --delete").status, 0);
  EXPECT_EQ(RunCli(home, "mark Work 2 --download").status, 0);
  const CliRun list = RunCli(home, "list");
  EXPECT_EQ(list.out.substr(0, 1) + list.out.substr(list.out.find('\n') + 1, 1), "43");
  EXPECT_EQ(RunCli(home, "mark Work 1 --cancel").status, 0);
  EXPECT_EQ(RunCli(home, "mark Work 1 --read").status, 0);
  EXPECT_EQ(RunCli(home, "list").out.substr(0, 2), "2\t");

  const CliRun savebox = RunCli(home, "mark [Savebox] 1 --delete");
  EXPECT_EQ(savebox.status, 1);
  EXPECT_EQ(savebox.err, "zelk-cli: That mark cannot be set in [Savebox]\n");
  EXPECT_EQ(RunCli(home, "mark Work 1 9 --delete").status, 1);  // a bad row changes nothing
  EXPECT_EQ(RunCli(home, "list").out.substr(0, 2), "2\t");
  EXPECT_EQ(RunCli(home, "mark Work 1 --delete --read").status, 2);
  EXPECT_EQ(RunCli(home, "mark Work --delete").status, 2);
}

TEST(Cli, ShowFileTakesAMessageAsIfDownloaded) {
  test::TempDir home;
  const std::string file = std::string(ZELK_TEST_DATA) + "/cli/report.eml";
  const CliRun shown = RunCli(home, "show --file " + file);
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(shown.out,
            "From: Ann <ann@example.org>\n"
            "Subject: Report (To: me@example.org, other@example.org)\n"
            "Date: 03/01/2006 10:00\n\n"
            "Caf\xC3\xA9 notes\n.hidden line\n"
            "Attachment 1: report.pdf\n"
            "Attachment 2: image/png\n");
  const CliRun source = RunCli(home, "show --file " + file + " --source");
  EXPECT_NE(source.out.find("\n\npreamble\n--b1\n"), std::string::npos);
  EXPECT_EQ(source.out.find("Attachment"), std::string::npos);
  EXPECT_FALSE(platform::FileSize(home.file("Zelk.ini")));  // nothing saved, not even a profile
}

TEST(Cli, ShowSavesAnAttachmentOrTheTextAndBookEditsTheAddressBook) {
  test::TempDir home;
  const std::string file = "--file " + std::string(ZELK_TEST_DATA) + "/cli/report.eml";
  const struct {
    std::string args;
    int status;
    std::string out;  // the saved file's bytes, or what is printed
  } cases[] = {
      {file + " --save-attachment 1 " + home.file("a.pdf"), 0, "%PDF-1.4\n"},
      {file + " --save-attachment 0 " + home.file("b"), 1, "zelk-cli: No attachment 0\n"},
      {file + " --save-attachment 9", 1, "zelk-cli: No attachment 9\n"},
      {file + " --save-attachment x", 2, ""},
      {file + " --save-attachment 1 --save-text", 2, ""},
      {file + " --save-text " + home.file("m.txt"), 0,
       "From: Ann <ann@example.org>\r\nTo: Me <me@example.org>, other@example.org\r\nCc: \r\nSubject: Report\r\n"
       "Date: 03/01/2006 10:00\r\nMessage-ID: <r1@example.org>\r\n\r\nCaf\xC3\xA9 notes\r\n.hidden line"},
  };
  for (const auto& c : cases) {
    const CliRun run = RunCli(home, "show " + c.args);
    EXPECT_EQ(run.status, c.status) << c.args << run.err;
    if (c.status == 0) {
      EXPECT_EQ(platform::ReadWholeFile(run.out.substr(0, run.out.size() - 1)), c.out) << c.args;
    } else if (c.status == 1) {
      EXPECT_EQ(run.err, c.out) << c.args;
    }
  }
  // Without a FILE the proposed name is used in the current directory, and never replaces a file.
  const std::string inHome = "cd " + home.path() + " && " + ZELK_CLI + " --home " + home.path() + " show " + file +
                             " --save-attachment 2 2>&1";
  EXPECT_EQ(std::system((inHome + " >/dev/null").c_str()), 0);
  EXPECT_EQ(platform::ReadWholeFile(home.file(".png")), std::string("\x89PNG\r\n\x1A\n", 8));
  EXPECT_NE(std::system((inHome + " >/dev/null").c_str()), 0);

  EXPECT_EQ(RunCli(home, "book add 'a@x' 'Ann\tA.'").status, 0);
  EXPECT_EQ(RunCli(home, "book add b@x").status, 0);
  EXPECT_EQ(RunCli(home, "book add ''").err, "zelk-cli: No mail address entered\n");
  EXPECT_EQ(RunCli(home, "book delete 3").status, 1);
  EXPECT_EQ(RunCli(home, "book list").out, "a@x\tAnn A.\nb@x\t\n");  // the tab typed became a space
  EXPECT_EQ(RunCli(home, "book delete 1").status, 0);
  EXPECT_EQ(platform::ReadWholeFile(home.file("Address.lst")), "b@x\r\n");
  for (const char* bad : {"book", "book list x", "book add", "book delete x", "book move 1"}) {
    EXPECT_EQ(RunCli(home, bad).status, 2) << bad;
  }
}

class CliAgainstDovecot : public test::DovecotTest {};

std::string Message(int n) {
  return "From: Sender <s@example.org>\r\nTo: u1@example.org\r\nSubject: Message " + std::to_string(n) +
         "\r\nDate: Tue, 3 Jan 2006 10:0" + std::to_string(n) + ":00 +0000\r\nMessage-ID: <m" + std::to_string(n) +
         "@example.org>\r\n\r\nBody " + std::to_string(n) + "\r\n";
}

void MakePopAccount(const test::TempDir& home, int port, const std::string& password) {
  ASSERT_TRUE(platform::WriteFileAtomically(
      home.file("Zelk.ini"), "[GENERAL]\r\nMailBoxCnt=1\r\nTimeZone=\"+0000\"\r\nSocLog=1\r\n[MAILBOX-0]\r\nName=\"Work\"\r\n"
                             "Server=\"127.0.0.1\"\r\nPort=" + std::to_string(port) + "\r\nUser=\"u1\"\r\nPass=\"" +
                             config::EncodePassword("u1", password) + "\"\r\n"));
}

TEST_F(CliAgainstDovecot, CheckPrintsOnlyNewMessagesAndRemembersWhereItStopped) {
  test::DovecotServer server(test::DovecotOptions{{{"u1", "pw"}}, false});
  for (int n = 1; n <= 3; ++n) server.DeliverMessage("u1", Message(n));
  test::TempDir home;
  MakePopAccount(home, server.port(), "pw");
  const CliRun first = RunCli(home, "check Work");
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out,
            "1\t1\tMessage 1\tSender <s@example.org>\t03/01/2006 10:01\t" + std::to_string(Message(1).size()) + "\n"
            "1\t1\tMessage 2\tSender <s@example.org>\t03/01/2006 10:02\t" + std::to_string(Message(2).size()) + "\n"
            "1\t1\tMessage 3\tSender <s@example.org>\t03/01/2006 10:03\t" + std::to_string(Message(3).size()) + "\n");
  server.DeliverMessage("u1", Message(4));
  const CliRun second = RunCli(home, "check Work");
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.out.substr(0, second.out.find('\t', 4)), "1\t1\tMessage 4");
  EXPECT_EQ(std::count(second.out.begin(), second.out.end(), '\n'), 1);
  const std::string all = RunCli(home, "list").out;
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 4);
  const std::string log = platform::ReadWholeFile(home.file("Zelk.log")).value_or("");
  EXPECT_NE(log.find("PASS ****"), std::string::npos);
  EXPECT_EQ(log.find("pw\r\n"), std::string::npos);
}

TEST_F(CliAgainstDovecot, AWrongPasswordFailsWithTheServersRefusal) {
  test::DovecotServer server(test::DovecotOptions{{{"u1", "pw"}}, false});
  test::TempDir home;
  MakePopAccount(home, server.port(), "wrong");
  const CliRun run = RunCli(home, "check Work");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Username or password error"), std::string::npos) << run.err;
  EXPECT_EQ(RunCli(home, "check Nowhere").status, 1);
}

TEST_F(CliAgainstDovecot, UpdateDownloadsAndDeletesTheMarkedRowsOnlyWithYes) {
  test::DovecotServer server(test::DovecotOptions{{{"u1", "pw"}}, false});
  for (int n = 1; n <= 3; ++n) server.DeliverMessage("u1", Message(n) + "More " + std::to_string(n) + "\r\n");
  test::TempDir home;
  MakePopAccount(home, server.port(), "pw");
  // Only the first line of each body comes with the check.
  std::string profile = platform::ReadWholeFile(home.file("Zelk.ini")).value_or("");
  profile.replace(profile.find("SocLog=1"), 8, "SocLog=1\r\nListGetLine=1");
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("Zelk.ini"), profile));
  ASSERT_EQ(RunCli(home, "check Work").status, 0);
  EXPECT_EQ(RunCli(home, "show Work 1").out.find("More 1"), std::string::npos);

  const CliRun nothing = RunCli(home, "update Work --yes");
  EXPECT_EQ(nothing.status, 1);
  EXPECT_EQ(nothing.err, "zelk-cli: There is no marked mail\n");
  ASSERT_EQ(RunCli(home, "mark Work 1 --download").status, 0);
  ASSERT_EQ(RunCli(home, "mark Work 3 --delete").status, 0);

  const CliRun refused = RunCli(home, "update Work");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Warning!  This will delete mail from the server"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("needs --yes"), std::string::npos) << refused.err;
  EXPECT_EQ(server.MessageCount("u1"), 3u);
  const std::string unchanged = RunCli(home, "list").out;
  EXPECT_EQ(std::count(unchanged.begin(), unchanged.end(), '\n'), 3);

  const CliRun update = RunCli(home, "update Work --yes");
  EXPECT_EQ(update.status, 0) << update.err;
  EXPECT_EQ(server.MessageCount("u1"), 2u);
  const std::string list = RunCli(home, "list").out;
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 2) << list;
  EXPECT_EQ(list.substr(0, list.find('\t', 4)), "1\t0\tMessage 1");  // unread again, its text held
  EXPECT_NE(list.find("Message 2"), std::string::npos);
  EXPECT_EQ(list.find("Message 3"), std::string::npos);
  EXPECT_NE(RunCli(home, "show Work 1").out.find("More 1"), std::string::npos);
  EXPECT_EQ(RunCli(home, "update Work extra").status, 2);
}

}  // namespace
}  // namespace zelk
