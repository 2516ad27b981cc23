// zelk-cli compose, mark --send and send as a user runs them, through a real Postfix into the
// Dovecot it delivers to, and back with check and update.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "config/password.h"
#include "mime/display_text.h"
#include "platform/files.h"
#include "store/mailbox_file.h"
#include "support/postfix_server.h"
#include "support/temp_dir.h"
#include "support/test_authority.h"

namespace zelk {
namespace {

using test::CliRun;
using test::RunCli;
using test::ShellWord;

using CliSend = test::PostfixTest;

struct Account {
  std::string name;
  std::string user;  // a Dovecot user: the account's address is user@example.org
  std::string password;
  int popPort = 0;
  int smtpPort = 0;
  int smtpAuth = 0;
  int smtpAuthType = 0;
  std::string extra;  // more lines of the account's section
};

// An account that reads the Dovecot user's mail by POP3.
Account Reader(const std::string& name, const std::string& user, const std::string& password, int port,
               const std::string& extra = "") {
  return {name, user, password, port, 0, 0, 0, extra};
}

// An account that sends as the Dovecot user through Postfix; with smtpAuth 1 it logs in as that user.
Account Sender(const std::string& name, const std::string& user, const std::string& password, int port, int smtpAuth,
               int smtpAuthType, const std::string& extra = "") {
  return {name, user, password, 0, port, smtpAuth, smtpAuthType, extra};
}

// A home whose profile holds these accounts, in this order, and the general keys given.
void WriteProfile(const test::TempDir& home, const std::vector<Account>& accounts, const std::string& general = "") {
  std::string ini =
      "[GENERAL]\r\nMailBoxCnt=" + std::to_string(accounts.size()) + "\r\nTimeZone=\"+0000\"\r\n" + general;
  for (std::size_t n = 0; n < accounts.size(); ++n) {
    const Account& a = accounts[n];
    ini += "[MAILBOX-" + std::to_string(n) + "]\r\nName=\"" + a.name +
           "\"\r\nServer=\"127.0.0.1\"\r\nPort=" + std::to_string(a.popPort) + "\r\nUser=\"" + a.user +
           "\"\r\nMailAddress=\"" + test::PostfixServer::Address(a.user) +
           "\"\r\nSmtpServer=\"127.0.0.1\"\r\nSmtpPort=" + std::to_string(a.smtpPort) +
           "\r\nSmtpAuth=" + std::to_string(a.smtpAuth) + "\r\nSmtpAuthType=" + std::to_string(a.smtpAuthType) +
           "\r\n" + a.extra;
    if (!a.password.empty()) ini += "Pass=\"" + config::EncodePassword(a.user, a.password) + "\"\r\n";
  }
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("Zelk.ini"), ini));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The column of a `list` row (0: mark, 1: new, 2: subject, 3: from or to, 4: date, 5: size).
std::string Column(const std::string& row, int column) {
  std::size_t start = 0;
  for (int i = 0; i < column; ++i) start = row.find('\t', start) + 1;
  return row.substr(start, row.find('\t', start) - start);
}

std::vector<std::string> MarkColumn(const std::string& list) {
  std::vector<std::string> marks;
  for (const std::string& row : Lines(list)) marks.push_back(Column(row, 0));
  return marks;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The Outbox row that compose printed ("Outbox row N").
std::string OutboxRow(const CliRun& compose) {
  const std::string prefix = "Outbox row ";
  EXPECT_EQ(compose.status, 0) << compose.err;
  if (!compose.out.starts_with(prefix)) return "(none: " + compose.out + ")";
  return compose.out.substr(prefix.size(), compose.out.find('\n') - prefix.size());
}

// Random bytes with every awkward byte for a mail text in them: NUL, CR, LF, 0x80-0xFF and the
// end-of-data line.
std::string BinaryData(std::size_t size) {
  std::mt19937 random(20060103);
  std::string data = std::string("\0\r\n.\r\n\r\r\n\n\x80\xFF", 12);
  for (int byte = 0; byte < 256; ++byte) data += static_cast<char>(byte);
  while (data.size() < size) data += static_cast<char>(random() & 0xFF);
  return data;
}

TEST_F(CliSend, EveryWayOfLoggingInDeliversTextAndAttachmentIntact) {
  test::PostfixServer& server = SharedServer();
  test::TempDir home;
  // u2 sends with each AUTH method, u3 without one, once after a POP3 login; u1 reads what arrived.
  const std::string sender = "UserName=\"Zo\u00EB Sender\"\r\n";
  WriteProfile(
      home,
      {Reader("Inbox", "u1", "pw1", server.dovecot().port()),
       Sender("Cram", "u2", "pw2", server.port(), 1, 1, sender),
       Sender("Login", "u2", "pw2", server.port(), 1, 2, sender),
       Sender("Plain", "u2", "pw2", server.port(), 1, 3, sender),
       Sender("Open", "u3", "pw3", server.openPort(), 0, 0, sender),
       {"Relay", "u3", "pw3", server.dovecot().port(), server.openPort(), 0, 0, sender + "PopBeforeSmtp=1\r\n"}},
      "SocLog=1\r\nPopBeforeSmtpWait=0\r\n");
  const std::string attachment = BinaryData(200 * 1024);
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("data.bin"), attachment));
  const std::string subject = "Gr\u00FC\u00DFe \u2013 \u65E5\u672C";
  const std::string typed =
      "Gr\u00FC\u00DFe aus \u65E5\u672C\n.\n..\nfrom here\n"
      "This line is long enough to be wrapped by the composer, since it runs past the seventy columns "
      "of the default width.\nlast line\n";
  // What the reader sees: dots as typed, ">" before "from", the long line broken after a word.
  const std::string shown =
      "Gr\u00FC\u00DFe aus \u65E5\u672C\n.\n..\n>from here\n"
      "This line is long enough to be wrapped by the composer, since it runs \n"
      "past the seventy columns of the default width.\nlast line\n\n"
      "Attachment 1: data.bin\n";

  const std::vector<std::string> senders = {"Cram", "Login", "Plain", "Open", "Relay"};
  std::vector<std::string> rows;
  for (const std::string& account : senders) {
    rows.push_back(
        OutboxRow(RunCli(home,
                         "compose --account " + account + " --subject " + ShellWord(subject + " " + account) +
                             " --attach " + ShellWord(home.file("data.bin")) + " u1@example.org",
                         typed)));
  }
  // Login goes alone with "send ROW", the others together as marked.
  ASSERT_EQ(RunCli(home, "mark [Outbox] " + rows[0] + " " + rows[2] + " " + rows[3] + " " + rows[4] + " --send").status,
            0);
  EXPECT_EQ(MarkColumn(RunCli(home, "list [Outbox]").out), (std::vector<std::string>{"6", "0", "6", "6", "6"}));
  const CliRun marked = RunCli(home, "send --marked");
  EXPECT_EQ(marked.status, 0) << marked.err << server.LogTail();
  const CliRun one = RunCli(home, "send " + rows[1]);
  EXPECT_EQ(one.status, 0) << one.err << server.LogTail();
  EXPECT_EQ(MarkColumn(RunCli(home, "list [Outbox]").out), (std::vector<std::string>{"5", "5", "5", "5", "5"}));
  ASSERT_TRUE(server.WaitForMessages("u1", senders.size())) << server.LogTail();
  // The methods asked for were used (the server takes no recipient otherwise), and the log holds
  // no password in any form.
  const std::string log = platform::ReadWholeFile(home.file("Zelk.log")).value_or("");
  for (const char* command : {"AUTH CRAM-MD5\r\n", "AUTH LOGIN dTI=\r\n", "AUTH PLAIN\r\n", "[Relay] USER u3\r\n"}) {
    EXPECT_TRUE(Has(log, command)) << command << "\n" << log;
  }
  for (const char* secret : {"pw2", "cHcy" /* base64 */, "AHUyAHB3Mg" /* PLAIN token */}) {
    EXPECT_FALSE(Has(log, secret)) << secret;
  }

  const CliRun check = RunCli(home, "check Inbox");
  ASSERT_EQ(check.status, 0) << check.err;
  ASSERT_EQ(Lines(check.out).size(), senders.size()) << check.out;
  ASSERT_EQ(RunCli(home, "mark Inbox 1 2 3 4 5 --download").status, 0);
  const CliRun update = RunCli(home, "update Inbox");
  ASSERT_EQ(update.status, 0) << update.err;

  std::set<std::string> subjects;
  const std::vector<std::string> inbox = Lines(RunCli(home, "list Inbox").out);
  for (std::size_t row = 0; row < inbox.size(); ++row) {
    subjects.insert(Column(inbox[row], 2));
    const CliRun show = RunCli(home, "show Inbox " + std::to_string(row + 1));
    EXPECT_EQ(show.status, 0) << show.err;
    EXPECT_TRUE(show.out.starts_with("From: Zo\u00EB Sender <u")) << show.out.substr(0, 80);
    EXPECT_EQ(show.out.substr(show.out.find("\n\n") + 2), shown) << Column(inbox[row], 2);
  }
  std::set<std::string> sent;
  for (const std::string& account : senders) sent.insert(subject + " " + account);
  EXPECT_EQ(subjects, sent);

  // The viewer saves an attachment's decoded bytes; here they are taken from the stored message.
  store::MailBox box;
  ASSERT_TRUE(store::LoadMailBox(home.file("MailBox0.dat"), box));
  ASSERT_EQ(box.Items.size(), senders.size());
  for (const store::ItemRef& item : box.Items) {
    std::vector<mime::MimePart> parts;
    (void)mime::GetDisplayText(*item, false, parts, "Windows-1252");
    ASSERT_EQ(parts.size(), 2u) << item->Subject.value_or("");
    EXPECT_EQ(parts[1].fileName, "data.bin");
    EXPECT_TRUE(mime::DecodePartData(parts[1], item->Body.value_or("")) == attachment) << item->Subject.value_or("");
  }
}

// Every way of securing both protocols against real servers with a certificate of the test's own
// authority: sent over SMTPS and over STARTTLS (the submission port offers AUTH only after it),
// checked over STLS and over POP3S, downloaded over POP3S, the attachment's bytes intact.
TEST_F(CliSend, MailGoesAndComesBackOverEveryKindOfTls) {
  test::TestAuthority authority;
  authority.TrustInThisProcess();
  test::PostfixServer server(test::DovecotOptions{.users = {{"u1", "pw1"}, {"u2", "pw2"}},
                                                  .tls = authority.Issue(test::kLoopbackNames)});
  test::TempDir home;
  const int pop3s = server.dovecot().tlsPort();
  WriteProfile(home,
               {Reader("Inbox", "u1", "pw1", pop3s, "PopTls=1\r\n"),
                Reader("Stls", "u1", "pw1", server.dovecot().port(), "PopTls=2\r\n"),
                Sender("Smtps", "u2", "pw2", server.smtpsPort(), 1, 0, "SmtpTls=1\r\n"),
                Sender("Submission", "u2", "pw2", server.submissionPort(), 1, 0, "SmtpTls=2\r\n")},
               "SocLog=1\r\n");
  const std::string attachment = BinaryData(300 * 1024);
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("data.bin"), attachment));
  for (const char* account : {"Smtps", "Submission"}) {
    const std::string row = OutboxRow(RunCli(home,
                                             std::string("compose --account ") + account + " --subject " + account +
                                                 " --attach " + ShellWord(home.file("data.bin")) + " u1@example.org",
                                             "text\n"));
    const CliRun send = RunCli(home, "send " + row);
    ASSERT_EQ(send.status, 0) << account << ": " << send.err << server.LogTail();
  }
  ASSERT_TRUE(server.WaitForMessages("u1", 2)) << server.LogTail();

  const CliRun stls = RunCli(home, "check Stls");
  EXPECT_EQ(stls.status, 0) << stls.err << server.dovecot().LogTail();
  EXPECT_EQ(Lines(stls.out).size(), 2u);
  const CliRun check = RunCli(home, "check Inbox");
  ASSERT_EQ(check.status, 0) << check.err << server.dovecot().LogTail();
  ASSERT_EQ(RunCli(home, "mark Inbox 1 2 --download").status, 0);
  const CliRun update = RunCli(home, "update Inbox");
  ASSERT_EQ(update.status, 0) << update.err;

  store::MailBox box;
  ASSERT_TRUE(store::LoadMailBox(home.file("MailBox0.dat"), box));
  ASSERT_EQ(box.Items.size(), 2u);
  for (const store::ItemRef& item : box.Items) {
    std::vector<mime::MimePart> parts;
    (void)mime::GetDisplayText(*item, false, parts, "Windows-1252");
    ASSERT_EQ(parts.size(), 2u) << item->Subject.value_or("");
    EXPECT_TRUE(mime::DecodePartData(parts[1], item->Body.value_or("")) == attachment) << item->Subject.value_or("");
  }
  // The log names the protocol and cipher of each conversation, and no password.
  const std::string log = platform::ReadWholeFile(home.file("Zelk.log")).value_or("");
  EXPECT_TRUE(Has(log, "[Inbox] Secured with TLSv1.3, TLS_")) << log;
  EXPECT_TRUE(Has(log, "[Stls] STLS\r\n[Stls] +OK")) << log;
  EXPECT_TRUE(Has(log, "STARTTLS\r\n220 ")) << log;
  EXPECT_FALSE(Has(log, "pw1") || Has(log, "pw2")) << log;
}

TEST_F(CliSend, FailuresStopTheRunMarkTheItemFailedAndSayWhy) {
  test::PostfixServer& server = SharedServer();
  test::TempDir home;
  WriteProfile(home,
               {Sender("Bad", "u2", "wrong", server.port(), 1, 2), Sender("Refused", "u2", "pw2", server.port(), 1, 0),
                Sender("Later", "u3", "pw3", server.port(), 1, 0), Sender("Nopass", "u2", "", server.port(), 1, 0)});
  const CliRun empty = RunCli(home, "send --marked");
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, "zelk-cli: There is no marked mail\n");

  const CliRun missing =
      RunCli(home, "compose --attach " + ShellWord(home.file("gone.bin")) + " u1@example.org", "text\n");
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Has(missing.err, "Attached file was not found")) << missing.err;
  EXPECT_EQ(RunCli(home, "list [Outbox]").out, "");  // nothing half-made was stored

  // The server refuses the password: its own reply is part of the message.
  const std::string bad = OutboxRow(RunCli(home, "compose --account Bad u1@example.org", "text\n"));
  const CliRun login = RunCli(home, "send " + bad);
  EXPECT_EQ(login.status, 1);
  EXPECT_TRUE(Has(login.err, "Login to SMTP server failed")) << login.err;
  EXPECT_TRUE(Has(login.err, "535")) << login.err;
  EXPECT_EQ(MarkColumn(RunCli(home, "list [Outbox]").out), std::vector<std::string>{"7"});

  // No password stored and nobody at a terminal to type one: nothing goes out, and that is a failure.
  const std::string nopass = OutboxRow(RunCli(home, "compose --account Nopass u1@example.org", "text\n"));
  const CliRun prompt = RunCli(home, "send " + nopass);
  EXPECT_EQ(prompt.status, 1);
  EXPECT_TRUE(Has(prompt.err, "No password")) << prompt.err;
  ASSERT_EQ(RunCli(home, "mark [Outbox] " + nopass + " --cancel").status, 0);

  // A refused recipient stops the run: the next account's message is not sent, and stays marked.
  const std::string refused =
      OutboxRow(RunCli(home, "compose --account Refused u1@example.org,nobody@example.org", "x\n"));
  const std::string later = OutboxRow(RunCli(home, "compose --account Later u1@example.org", "y\n"));
  ASSERT_EQ(RunCli(home, "mark [Outbox] " + refused + " " + later + " --send").status, 0);
  const CliRun rcpt = RunCli(home, "send --marked");
  EXPECT_EQ(rcpt.status, 1);
  EXPECT_TRUE(Has(rcpt.err, "RCPT TO failed")) << rcpt.err;
  EXPECT_TRUE(Has(rcpt.err, "Please check destination address")) << rcpt.err;
  EXPECT_TRUE(Has(rcpt.err, "550")) << rcpt.err;
  EXPECT_EQ(MarkColumn(RunCli(home, "list [Outbox]").out), (std::vector<std::string>{"7", "0", "7", "6"}));

  // With SendIgnoreError the run goes on with the next account; the failure still fails the command.
  std::string profile = platform::ReadWholeFile(home.file("Zelk.ini")).value_or("");
  const std::size_t key = profile.find("SendIgnoreError=0");
  ASSERT_NE(key, std::string::npos) << profile;
  profile[key + std::string("SendIgnoreError=").size()] = '1';
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("Zelk.ini"), profile));
  ASSERT_EQ(RunCli(home, "mark [Outbox] " + refused + " --send").status, 0);
  const CliRun ignored = RunCli(home, "send --marked");
  EXPECT_EQ(ignored.status, 1);
  EXPECT_TRUE(Has(ignored.err, "RCPT TO failed")) << ignored.err;
  EXPECT_EQ(MarkColumn(RunCli(home, "list [Outbox]").out), (std::vector<std::string>{"7", "0", "7", "5"}));
  ASSERT_TRUE(server.WaitForMessages("u1", 1)) << server.LogTail();

  // A failed message is not picked again until the user marks it anew.
  EXPECT_EQ(RunCli(home, "send --marked").err, "zelk-cli: There is no marked mail\n");
  EXPECT_EQ(server.dovecot().MessageCount("u1"), 1u);  // the refused message reached nobody
}

TEST(CliSendOffline, MarkedMailOfAnAccountThatIsGoneIsReportedNotSent) {
  test::TempDir home;
  WriteProfile(home, {Sender("Work", "u2", "pw2", 0, 0, 0)});
  store::MailBox outbox;
  auto orphan = std::make_shared<store::MailItem>();
  orphan->MailBoxName = "Gone";
  orphan->To = "u1@example.org";
  orphan->Mark = store::kMarkSend;
  outbox.Items = {orphan};
  ASSERT_TRUE(store::SaveMailBox(home.file(store::kOutboxFile), outbox, store::kSaveWithBodies));
  for (const char* command : {"send --marked", "send 1"}) {
    const CliRun run = RunCli(home, command);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_TRUE(Has(run.err, "No account specified")) << command << ": " << run.err;
  }
}

TEST(CliCompose, ReplyAndMailtoFillTheMessageAsTheComposerDoes) {
  test::TempDir home;
  WriteProfile(home, {Reader("Work", "me", "", 0, "UserName=\"Me\"\r\nSignature=\"-- \\nMe\"\r\n"),
                      Reader("Home", "home", "", 0)});
  auto answered = std::make_shared<store::MailItem>();
  answered->From = "Ann <ann@example.org>";
  answered->ReplyTo = "List <list@example.org>";
  answered->To = "me@example.org, Bob <bob@example.org>";
  answered->Cc = "\"Doe, Carol\" <carol@example.org>, ME@example.org";
  answered->Subject = "RE:plans";
  answered->Date = "02/01/2006 09:00";
  answered->MessageId = "<2@example.org>";
  answered->InReplyTo = "<1@example.org>";
  answered->Body = "first line\r\n..dotted\r\nfrom here\r\n";  // as received: dots doubled
  answered->Status = answered->Mark = store::kStatusUnread;
  answered->Download = 1;
  store::MailBox work;
  work.Items = {answered};
  ASSERT_TRUE(store::SaveMailBox(home.file("MailBox0.dat"), work, store::kSaveWithBodies));

  const std::string reply = OutboxRow(RunCli(home, "compose --reply Work 1 --all --quote", "Agreed.\n"));
  // A mailto: URL from the command line: to= replaces the address part, mailbox= picks the
  // account, the body is stored escaped, and the typed text goes above it. A file it attaches
  // is kept by its full path, so that sending from elsewhere attaches the same file.
  ASSERT_TRUE(platform::WriteFileAtomically(home.file("notes.txt"), "notes"));
  const std::string notes = std::filesystem::relative(home.file("notes.txt")).string();
  const std::string url =
      "mailto:ann@example.org?to=bob@example.org&cc=carol%40example.org&subject=Caf%C3%A9+menu"
      "&body=Line+1%0D%0A.Line+2%0D%0Afrom+me&mailbox=Home&x-other=1&attach=";
  const std::string mailto = OutboxRow(RunCli(home, "compose " + ShellWord(url + notes), "Hi"));
  const CliRun missing = RunCli(home, "compose " + ShellWord(url + notes + ".gone"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Has(missing.err, "Attached file was not found")) << missing.err;
  EXPECT_EQ(OutboxRow(RunCli(home, "compose --subject " + ShellWord("Two\nlines\tand a tab") + " x@example.org")), "3");

  store::MailBox outbox;
  ASSERT_TRUE(store::LoadMailBox(home.file(store::kOutboxFile), outbox));
  ASSERT_EQ(outbox.Items.size(), 3u);
  const store::MailItem& r = *outbox.Items[0];
  EXPECT_EQ(r.MailBoxName, "Work");
  EXPECT_EQ(r.From, "Me <me@example.org>");
  EXPECT_EQ(r.To, "List <list@example.org>");
  // Everybody else the message went to, but not the reader's own address or the list replied to.
  EXPECT_EQ(r.Cc, "Bob <bob@example.org>,\r\n \"Doe, Carol\" <carol@example.org>,\r\n Ann <ann@example.org>");
  EXPECT_EQ(r.Subject, "Re: plans");
  EXPECT_EQ(r.InReplyTo, "<2@example.org>");
  EXPECT_EQ(r.References, "<1@example.org> <2@example.org>");
  EXPECT_EQ(r.Body,
            "Agreed.\r\n"
            "\r\nAnn <ann@example.org> wrote:\r\n(02/01/2006 09:00)\r\n\r\n"
            "> first line\r\n> .dotted\r\n> from here\r\n"
            "\r\n-- \r\nMe");

  const store::MailItem& m = *outbox.Items[1];
  EXPECT_EQ(m.MailBoxName, "Home");
  EXPECT_EQ(m.To, "bob@example.org");
  EXPECT_EQ(m.Cc, "carol@example.org");
  EXPECT_EQ(m.Subject, "Caf\u00E9 menu");
  EXPECT_EQ(m.Body, "Hi\r\nLine 1\r\n..Line 2\r\n>from me");
  ASSERT_TRUE(m.Attach.has_value());
  EXPECT_TRUE(m.Attach->starts_with("/")) << *m.Attach;
  std::error_code noFile;
  EXPECT_TRUE(std::filesystem::equivalent(*m.Attach, home.file("notes.txt"), noFile)) << *m.Attach;
  EXPECT_EQ(outbox.Items[2]->Subject, "Twolines and a tab");  // as the Property dialog takes a field
  EXPECT_EQ(outbox.Items[2]->Body, "\r\n-- \r\nMe");  // a new message starts with the signature

  ASSERT_EQ(RunCli(home, "mark [Outbox] " + reply + " " + mailto + " --send").status, 0);
  EXPECT_EQ(RunCli(home, "list [Outbox]").out,
            "6\t0\tRe: plans\tList <list@example.org>\t\t110\n"
            "6\t0\tCaf\u00E9 menu\tbob@example.org\t\t30\n"
            "0\t0\tTwolines and a tab\tx@example.org\t\t9\n");
}

}  // namespace
}  // namespace zelk
