// The desktop program as a person uses it: a real zelk process on a real X server (Xvfb), driven
// by keys through xdotool, against Dovecot and Postfix on 127.0.0.1. What it did is read back
// from the files it writes, with zelk-cli.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "cli/cli_run.h"
#include "config/password.h"
#include "platform/files.h"
#include "support/dovecot_server.h"
#include "support/postfix_server.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace zelk::test {
namespace {

using namespace std::chrono_literals;

std::string Shell(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return {};
  std::string out;
  char buffer[256];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
  ::pclose(pipe);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// The first column (the mark) of every row `zelk-cli list` prints for the mailbox.
std::string Marks(const TempDir& home, const std::string& mailbox) {
  std::istringstream rows(RunCli(home, "list " + ShellWord(mailbox)).out);
  std::string marks;
  for (std::string row; std::getline(rows, row);) marks += row.substr(0, row.find('\t'));
  return marks;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(100ms);
  }
  return true;
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server: run under xvfb-run";
    std::string why;
    if (PostfixServer::CheckUsable(&why) != PostfixServer::Presence::kUsable) GTEST_SKIP() << why;
    server_ = std::make_unique<PostfixServer>(DovecotOptions{.users = {{"u1", "pw1"}}});
    for (int i = 1; i <= 3; ++i) {
      server_->dovecot().DeliverMessage("u1", "From: bob@example.org\r\nSubject: hello " + std::to_string(i) +
                                                  "\r\nMessage-ID: <e2e" + std::to_string(i) +
                                                  "@example.org>\r\n\r\nText " + std::to_string(i) + "\r\n");
    }
    const std::string ini =
        "[GENERAL]\r\nMailBoxCnt=1\r\nTimeZone=\"+0000\"\r\nShowTrayIcon=0\r\nShowNewMailMessage=0\r\n"
        "ShowNoMailMessage=0\r\nStartCheck=0\r\n[MAILBOX-0]\r\nName=\"Work\"\r\nServer=\"127.0.0.1\"\r\nPort=" +
        std::to_string(server_->dovecot().port()) + "\r\nUser=\"u1\"\r\nPass=\"" + config::EncodePassword("u1", "pw1") +
        "\"\r\nMailAddress=\"u1@example.org\"\r\nSmtpServer=\"127.0.0.1\"\r\nSmtpPort=" +
        std::to_string(server_->port()) + "\r\nSmtpAuth=1\r\nSmtpAuthType=3\r\n";
    ASSERT_TRUE(platform::WriteFileAtomically(home_.file("Zelk.ini"), ini));
    ASSERT_EQ(RunCli(home_, "compose --account Work --subject Outgoing u1@example.org", "from the Outbox\n").status, 0);
  }
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  // Keys to the program's main window, focused first: without a window manager the focus does
  // not come back by itself.
  void Keys(const std::string& keys) {
    ASSERT_EQ(std::system(("xdotool windowfocus --sync " + window_ + " key --delay 50 " + keys).c_str()), 0);
  }
  void KeysTo(const std::string& window, const std::string& keys) {
    ASSERT_EQ(std::system(("xdotool windowfocus --sync " + window + " key --delay 80 " + keys).c_str()), 0);
  }
  void TypeTo(const std::string& window, const std::string& text) {
    ASSERT_EQ(std::system(("xdotool windowfocus --sync " + window + " type --delay 30 " + ShellWord(text)).c_str()), 0);
  }
  // The first window whose title matches the pattern, waited for; empty when none came.
  static std::string Find(const std::string& title) {
    return Shell("timeout 15 xdotool search --sync --onlyvisible --name " + ShellWord(title) + " | head -1");
  }

  TempDir home_;
  std::unique_ptr<PostfixServer> server_;
  pid_t pid_ = -1;
  std::string window_;
};

TEST_F(EndToEnd, CheckMarkUpdateSendHandOverAndEndOnSigterm) {
  pid_ = StartProgram(ZELK_GUI, home_, {}, "zelk-stdout.txt", "zelk-stderr.txt");
  ASSERT_GT(pid_, 0);
  window_ = Shell("timeout 15 xdotool search --sync --name '^Zelk$' | head -1");
  ASSERT_FALSE(window_.empty()) << platform::ReadWholeFile(home_.file("zelk-stderr.txt")).value_or("");

  Keys("ctrl+n");  // Check for new mail: each account's file is written when its conversation ends
  ASSERT_TRUE(WaitFor([&] { return Marks(home_, "Work") == "111"; })) << Marks(home_, "Work");
  Keys("ctrl+a ctrl+d F5");  // every row marked for download, then Update account
  ASSERT_TRUE(WaitFor([&] { return RunCli(home_, "show Work 3").out.find("Text 3") != std::string::npos; }));

  Keys("alt+Up ctrl+a ctrl+d F5");  // the Outbox: marked for sending and sent
  ASSERT_TRUE(server_->WaitForMessages("u1", 4)) << server_->LogTail();
  ASSERT_TRUE(WaitFor([&] { return Marks(home_, "[Outbox]") == "5"; }));

  // A second start hands over to the first and ends.
  const pid_t second = StartProgram(ZELK_GUI, home_, {}, "second-stdout.txt", "second-stderr.txt");
  EXPECT_TRUE(WaitForExit(second, 10s));
  ::waitpid(second, nullptr, 0);

  Keys("alt+Down ctrl+a ctrl+b");  // marked read: only in memory until the program ends
  ::kill(pid_, SIGTERM);
  int status = -1;
  ASSERT_TRUE(WaitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, 15s));
  pid_ = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << platform::ReadWholeFile(home_.file("zelk-stderr.txt")).value_or("");
  EXPECT_EQ(Marks(home_, "Work"), "222");
  EXPECT_NE(platform::ReadWholeFile(home_.file("Zelk.ini")).value_or("").find("WindowWidth="), std::string::npos);
}

TEST_F(EndToEnd, WriteAttachSendReadReplyAndTakeAMailtoLinkFromASecondStart) {
  const std::string attachment = home_.file("pack.bin");
  const std::string bytes("\x00\x01\r\n.\r\nfrom \xFF\xFE", 14);
  ASSERT_TRUE(platform::WriteFileAtomically(attachment, bytes));
  pid_ = StartProgram(ZELK_GUI, home_, {}, "zelk-stdout.txt", "zelk-stderr.txt");
  ASSERT_GT(pid_, 0);
  window_ = Shell("timeout 15 xdotool search --sync --name '^Zelk$' | head -1");
  ASSERT_FALSE(window_.empty());

  // New message: To, a subject beyond ASCII, and a file through the Attach page's Open dialog.
  Keys("ctrl+w");
  const std::string property = Find("^Property$");
  ASSERT_FALSE(property.empty());
  TypeTo(property, "u1@example.org\tGr\u00fc\u00dfe aus K\u00f6ln");
  KeysTo(property, "Tab Tab space");  // past "Cc, Bcc" to "Attach"
  const std::string attach = Find("^Attach files$");
  ASSERT_FALSE(attach.empty());
  KeysTo(attach, "Tab space");  // "Add"
  const std::string open = Find("^Open$");
  ASSERT_FALSE(open.empty());
  TypeTo(open, attachment);
  KeysTo(open, "Return");
  KeysTo(attach, "Return");
  KeysTo(property, "Return");
  const std::string composer = Find("^Mail Edit - \\[Gr\u00fc\u00dfe aus K\u00f6ln\\]$");
  ASSERT_FALSE(composer.empty()) << Shell("xdotool search --onlyvisible --name . getwindowname %@");
  TypeTo(composer, "The packing list is attached.");
  KeysTo(composer, "ctrl+shift+g");  // Send now
  const std::string question = Find("^Send now$");
  ASSERT_FALSE(question.empty());
  KeysTo(question, "Return");
  ASSERT_TRUE(server_->WaitForMessages("u1", 4)) << server_->LogTail();

  // Back by POP3, fetched whole, read in the viewer; the attachment saved is the file sent. The
  // list shows the Outbox since the message went there: Work is the mailbox after it.
  Keys("alt+Down ctrl+n");
  ASSERT_TRUE(WaitFor([&] { return Marks(home_, "Work") == "1111"; })) << Marks(home_, "Work");
  Keys("ctrl+a ctrl+d F5");
  ASSERT_TRUE(WaitFor([&] { return RunCli(home_, "show Work 4").out.find("packing list") != std::string::npos; }));
  EXPECT_NE(RunCli(home_, "list Work").out.find("Gr\u00fc\u00dfe aus K\u00f6ln"), std::string::npos);
  Keys("End Return");
  const std::string viewer = Find("^Mail View");
  ASSERT_FALSE(viewer.empty());
  KeysTo(viewer, "alt+e Up Return");
  const std::string save = Find("^Save as$");
  ASSERT_FALSE(save.empty());
  const std::string saved = home_.file("saved.bin");
  KeysTo(save, "ctrl+a");
  TypeTo(save, saved);
  KeysTo(save, "Return");
  ASSERT_TRUE(WaitFor([&] { return platform::FileSize(saved).has_value(); }));
  EXPECT_EQ(platform::ReadWholeFile(saved), bytes);

  // A reply quotes it under the reply header and waits in the Outbox.
  KeysTo(viewer, "ctrl+r");
  const std::string replyProperty = Find("^Property$");
  ASSERT_FALSE(replyProperty.empty());
  KeysTo(replyProperty, "Return");
  const std::string reply = Find("^Mail Edit - \\[Re: ");
  ASSERT_FALSE(reply.empty());
  KeysTo(reply, "ctrl+g");
  ASSERT_TRUE(WaitFor([&] { return RunCli(home_, "show '[Outbox]' 3").out.find("wrote:") != std::string::npos; }))
      << RunCli(home_, "list '[Outbox]'").out;
  EXPECT_NE(RunCli(home_, "show '[Outbox]' 3").out.find("> The packing list is attached."), std::string::npos);

  // A second start with a mailto: link: the running program writes the message.
  const pid_t second = StartProgram(ZELK_GUI, home_, {"mailto:a@example.org?subject=Hi"}, "second-stdout.txt",
                                    "second-stderr.txt");
  EXPECT_TRUE(WaitForExit(second, 10s));
  ::waitpid(second, nullptr, 0);
  const std::string linked = Find("^Property$");
  ASSERT_FALSE(linked.empty());
  KeysTo(linked, "Return");
  EXPECT_FALSE(Find("^Mail Edit - \\[Hi\\]$").empty());
}

// A profile value as the file holds it, quotes and all; empty when the key is missing.
std::string ProfileValue(const std::string& profile, const std::string& key) {
  const std::size_t at = profile.find("\r\n" + key + "=");
  if (at == std::string::npos) return {};
  const std::size_t from = at + key.size() + 3;
  return profile.substr(from, profile.find("\r\n", from) - from);
}

TEST(FirstStart, TheAccountTypedIntoTheSheetChecksItsMailOverStls) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server: run under xvfb-run";
  std::string why;
  if (DovecotServer::CheckInstalled(&why) != DovecotServer::Presence::kInstalled) GTEST_SKIP() << why;
  TestAuthority authority;
  DovecotServer server(DovecotOptions{.users = {{"u1", "pw1"}}, .tls = authority.Issue(kLoopbackNames)});
  authority.TrustInThisProcess();  // and so in the program started below
  for (const char* subject : {"first", "second"}) {
    server.DeliverMessage("u1", std::string("Subject: ") + subject + "\r\n\r\nText\r\n");
  }
  TempDir home;  // nothing in it: the first start

  const pid_t pid = StartProgram(ZELK_GUI, home, {}, "zelk-stdout.txt", "zelk-stderr.txt");
  ASSERT_GT(pid, 0);
  const auto stop = [&] {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  };
  const std::string sheet = Shell("timeout 15 xdotool search --sync --name '^Account Settings$' | head -1");
  if (sheet.empty()) stop();
  ASSERT_FALSE(sheet.empty()) << platform::ReadWholeFile(home.file("zelk-stderr.txt")).value_or("");
  // Account, server, port, TLS (none, implicit, STARTTLS), user, password; Return is OK.
  const std::string typing = "xdotool windowfocus --sync " + sheet + " type --delay 20 'Work\t127.0.0.1\t'" +
                             " && xdotool key --delay 50 ctrl+a && xdotool type --delay 20 '" +
                             std::to_string(server.port()) + "\t' && xdotool key --delay 50 Down Down Tab" +
                             " && xdotool type --delay 20 'u1\tpw1' && xdotool key Return";
  EXPECT_EQ(std::system(typing.c_str()), 0);
  const std::string window = Shell("timeout 15 xdotool search --sync --name '^Zelk' | head -1");
  ASSERT_TRUE(WaitFor([&] { return ProfileValue(platform::ReadWholeFile(home.file("Zelk.ini")).value_or(""),
                                                "Name") == "\"Work\""; }));
  EXPECT_EQ(std::system(("xdotool windowfocus --sync " + window + " key ctrl+n").c_str()), 0);
  const bool listed = WaitFor([&] { return Marks(home, "Work") == "11"; });
  stop();
  EXPECT_TRUE(listed) << Marks(home, "Work") << server.LogTail();

  const std::string profile = platform::ReadWholeFile(home.file("Zelk.ini")).value_or("");
  EXPECT_EQ(ProfileValue(profile, "Server"), "\"127.0.0.1\"");
  EXPECT_EQ(ProfileValue(profile, "Port"), std::to_string(server.port()));
  EXPECT_EQ(ProfileValue(profile, "User"), "\"u1\"");
  EXPECT_EQ(ProfileValue(profile, "Pass"), "\"" + config::EncodePassword("u1", "pw1") + "\"");
  EXPECT_EQ(ProfileValue(profile, "PopTls"), "2");
  EXPECT_EQ(profile.find("pw1"), std::string::npos);
}

// Two accounts on Dovecot, read in the viewer.
class ViewerEndToEnd : public EndToEnd {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server: run under xvfb-run";
    std::string why;
    switch (DovecotServer::CheckInstalled(&why)) {
      case DovecotServer::Presence::kInstalled: break;
      case DovecotServer::Presence::kMissingSkip: GTEST_SKIP() << why;
      case DovecotServer::Presence::kMissingFail: FAIL() << why;
    }
    dovecot_ = std::make_unique<DovecotServer>(DovecotOptions{.users = {{"u1", "pw1"}, {"u2", "pw2"}}});
    dovecot_->DeliverMessage("u1", "From: Carol <carol@example.org>\r\nTo: u1@example.org\r\nSubject: data\r\n"
                                   "Message-ID: <v1@example.org>\r\nMIME-Version: 1.0\r\n"
                                   "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
                                   "Content-Type: text/plain\r\n\r\nThe data is attached.\r\n--b\r\n"
                                   "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
                                   "Content-Transfer-Encoding: base64\r\n\r\nAAEC/f7/DQouLg==\r\n--b--\r\n");
    dovecot_->DeliverMessage("u2", "From: Dave <dave@example.org>\r\nTo: u2@example.org\r\nSubject: second\r\n"
                                   "Message-ID: <v2@example.org>\r\n\r\nIn the other account.\r\n");
    std::string ini = "[GENERAL]\r\nMailBoxCnt=2\r\nTimeZone=\"+0000\"\r\nShowTrayIcon=0\r\nShowNewMailMessage=0\r\n"
                      "ShowNoMailMessage=0\r\nStartCheck=0\r\n";
    for (int i = 0; i < 2; ++i) {
      const std::string user = "u" + std::to_string(i + 1);
      ini += "[MAILBOX-" + std::to_string(i) + "]\r\nName=\"" + (i == 0 ? "Work" : "Home") +
             "\"\r\nServer=\"127.0.0.1\"\r\nPort=" + std::to_string(dovecot_->port()) + "\r\nUser=\"" + user +
             "\"\r\nPass=\"" + config::EncodePassword(user, "pw" + std::to_string(i + 1)) + "\"\r\n";
    }
    ASSERT_TRUE(platform::WriteFileAtomically(home_.file("Zelk.ini"), ini));
  }
  std::string Viewer() { return Shell("timeout 15 xdotool search --sync --name '^Mail View' | head -1"); }

  std::unique_ptr<DovecotServer> dovecot_;
};

TEST_F(ViewerEndToEnd, ReadSaveMoveOnAndKeepTheSender) {
  pid_ = StartProgram(ZELK_GUI, home_, {}, "zelk-stdout.txt", "zelk-stderr.txt");
  ASSERT_GT(pid_, 0);
  window_ = Shell("timeout 15 xdotool search --sync --name '^Zelk$' | head -1");
  ASSERT_FALSE(window_.empty());
  Keys("ctrl+j");  // both accounts checked: headers and first lines
  ASSERT_TRUE(WaitFor([&] { return Marks(home_, "Work") == "1" && Marks(home_, "Home") == "1"; }));
  // Each account's message marked and fetched whole by an update; its file says so once written.
  const auto whole = [this](const char* file) {
    return platform::ReadWholeFile(home_.file(file)).value_or("").find("X-Download: 1") != std::string::npos;
  };
  Keys("ctrl+a ctrl+d F5");
  ASSERT_TRUE(WaitFor([&] { return whole("MailBox0.dat"); }));
  Keys("alt+Down ctrl+a ctrl+d F5");
  ASSERT_TRUE(WaitFor([&] { return whole("MailBox1.dat"); }));

  Keys("alt+Up Home Return");  // the first message of Work in the viewer
  const std::string viewer = Viewer();
  ASSERT_FALSE(viewer.empty());
  EXPECT_EQ(Shell("xdotool getwindowname " + viewer), "Mail View - Work - [No.1]");

  // The attachment is the Edit menu's last entry; the Save dialog takes a path typed in.
  KeysTo(viewer, "alt+e Up Return");
  const std::string save = Shell("timeout 15 xdotool search --sync --name '^Save as$' | head -1");
  ASSERT_FALSE(save.empty());
  const std::string target = home_.file("saved.bin");
  ASSERT_EQ(std::system(("xdotool windowfocus --sync " + save + " key ctrl+a type --delay 20 '" + target + "'").c_str()), 0);
  KeysTo(save, "Return");
  ASSERT_TRUE(WaitFor([&] { return platform::FileSize(target).has_value(); }));
  EXPECT_EQ(platform::ReadWholeFile(target), std::string("\x00\x01\x02\xFD\xFE\xFF\r\n..", 10));

  KeysTo(viewer, "ctrl+Return");  // nothing unread left in Work: on to Home
  ASSERT_TRUE(WaitFor([&] { return Shell("xdotool getwindowname " + viewer) == "Mail View - Home - [No.1]"; }));

  KeysTo(viewer, "ctrl+i");
  const std::string information = Shell("timeout 15 xdotool search --sync --name '^Address information$' | head -1");
  ASSERT_FALSE(information.empty());
  KeysTo(information, "ctrl+a alt+a");  // the sender and the To address
  const std::string question = Shell("timeout 15 xdotool search --sync --onlyvisible --name '^Zelk$' | grep -v " + window_ + " | head -1");
  ASSERT_FALSE(question.empty());
  KeysTo(question, "alt+y");
  ASSERT_TRUE(WaitFor([&] { return RunCli(home_, "book list").out == "Dave <dave@example.org>\t\nu2@example.org\t\n"; }))
      << RunCli(home_, "book list").out;
  EXPECT_NE(platform::ReadWholeFile(home_.file("Address.lst")).value_or("").find("dave@example.org"), std::string::npos);
}

}  // namespace
}  // namespace zelk::test
