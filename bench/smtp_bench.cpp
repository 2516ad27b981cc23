// Sending 50 messages with a 5 MB attachment each to a local Postfix that authenticates with
// AUTH PLAIN against Dovecot, as whole processes. Zelk sends every marked Outbox item in one run,
// all on one connection, building each text (and reading the attachment) as it goes. The peer is
// msmtp, which sends one message per run: 50 processes, each with its own connection, reading its
// account from a file (no password command run for every message), and handling the message a
// line at a time (some 88,000 send() calls for each). On both sides a run ends when the last
// message has been accepted; delivering them into the Maildir, which is emptied before the next
// run, is not timed.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bench_data.h"
#include "config/password.h"
#include "mime/display_text.h"
#include "mime/outgoing_message.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "ratio.h"
#include "store/mail_item.h"
#include "store/mailbox.h"
#include "store/mailbox_file.h"
#include "support/postfix_server.h"

namespace zelk::bench {

namespace {

constexpr int kMessages = 50;
constexpr std::size_t kAttachmentBytes = 5'000'000;
constexpr const char* kMsmtp = "/usr/bin/msmtp";
constexpr const char* kUser = "u1";
constexpr const char* kPassword = "pw";

test::PostfixServer& Server() {
  static const std::unique_ptr<test::PostfixServer> server =
      std::make_unique<test::PostfixServer>(test::DovecotOptions{.users = {{kUser, kPassword}}});
  return *server;
}

// The account and the Outbox items that both senders send: each addressed to u1, with the same
// 5 MB file of random bytes attached, marked for sending through the account.
constexpr const char* kAccountName = "Bench";

store::MailBox Account() {
  store::MailBox account;
  account.Name = kAccountName;
  account.UserName = "Bench Sender";
  account.MailAddress = test::PostfixServer::Address(kUser);
  return account;
}

const std::vector<store::MailItem>& OutboxItems() {
  static const std::vector<store::MailItem> items = [] {
    std::string raw(kAttachmentBytes, '\0');
    std::mt19937_64 random(50);
    for (char& byte : raw) byte = static_cast<char>(random());
    const std::string attachment = WriteTemporaryFile("send-attachment.bin", raw);
    std::vector<store::MailItem> made;
    for (int n = 1; n <= kMessages; ++n) {
      store::MailItem& item = made.emplace_back();
      item.Mark = store::kMarkSend;
      item.Multipart = 1;
      item.To = test::PostfixServer::Address(kUser);
      item.Subject = "Archive " + std::to_string(n);
      item.Body = "Hello,\r\n\r\nthe archive is attached.\r\n.\r\nBench\r\n";
      item.MailBoxName = kAccountName;
      item.Attach = attachment;
    }
    return made;
  }();
  return items;
}

struct MessageFiles {
  std::vector<std::string> paths;
  std::size_t bytes = 0;
};

// The texts Zelk would send, built once, written as msmtp reads them: not dot-stuffed and without
// the end marker, since msmtp adds both itself.
const MessageFiles& Messages() {
  static const MessageFiles files = [] {
    MessageFiles made;
    const store::MailBox account = Account();
    const platform::SystemClock clock;
    int n = 0;
    for (store::MailItem item : OutboxItems()) {
      platform::Text error;
      const std::optional<std::string> text = mime::BuildMessageText(item, account, {}, clock, error);
      if (!text || !text->ends_with("\r\n.\r\n")) std::abort();
      const std::string plain = mime::UnescapeDots(std::string_view(*text).substr(0, text->size() - 3));
      made.paths.push_back(WriteTemporaryFile("send-" + std::to_string(++n) + ".eml", plain));
      made.bytes += plain.size();
    }
    return made;
  }();
  return files;
}

std::string MsmtpConfig() {
  const std::string path = MakeTemporaryDirectory("msmtp") + "msmtprc";
  std::ofstream(path) << "account bench\nhost 127.0.0.1\nport " << Server().port()
                      << "\nauth plain\nuser " << kUser << "\npassword " << kPassword
                      << "\ntls off\nfrom " << test::PostfixServer::Address(kUser) << "\naccount default : bench\n";
  // msmtp refuses a file holding a password that others may read.
  ::chmod(path.c_str(), 0600);
  return path;
}

bool PostfixUsable(benchmark::State& state) {
  std::string unusable;
  if (test::PostfixServer::CheckUsable(&unusable) == test::PostfixServer::Presence::kUsable) return true;
  state.SkipWithError(unusable.c_str());
  return false;
}

// Untimed on both sides (manual time): lets Postfix finish delivering, then keeps the disk from
// filling up.
bool AwaitDelivery(benchmark::State& state) {
  test::PostfixServer& server = Server();
  if (!server.WaitForMessages(kUser, kMessages, std::chrono::minutes(2))) {
    state.SkipWithError(("messages not delivered:\n" + server.LogTail()).c_str());
    return false;
  }
  server.dovecot().EmptyMailbox(kUser);
  return true;
}

void SetThroughput(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Messages().bytes));
  state.SetItemsProcessed(state.iterations() * kMessages);
}

void BM_SendMsmtp(benchmark::State& state) {
  if (!PostfixUsable(state)) return;
  if (::access(kMsmtp, X_OK) != 0) {
    state.SkipWithError("msmtp is not installed (apt-get install msmtp)");
    return;
  }
  const MessageFiles& messages = Messages();
  std::vector<std::string> command = {"sh", "-c",
                                      std::string("for f; do ") + kMsmtp + " -C " + MsmtpConfig() + " " +
                                          test::PostfixServer::Address(kUser) + " < \"$f\" || exit 1; done",
                                      "sh"};
  command.insert(command.end(), messages.paths.begin(), messages.paths.end());
  for (auto _ : state) {
    const double seconds = TimeCommand(command);
    if (seconds < 0) {
      state.SkipWithError("msmtp failed");
      break;
    }
    state.SetIterationTime(seconds);
    if (!AwaitDelivery(state)) break;
  }
  SetThroughput(state);
}
BENCHMARK(BM_SendMsmtp)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// A new home whose one account sends through the server's authenticating port with AUTH PLAIN
// (SmtpAuthType 3), as msmtp does, and whose Outbox holds every item marked for sending.
std::string SendingHome() {
  static int homes = 0;
  const std::string home = MakeTemporaryDirectory("send-home-" + std::to_string(++homes));
  const store::MailBox account = Account();
  const std::string profile = "[GENERAL]\r\nMailBoxCnt=1\r\n[MAILBOX-0]\r\nName=\"" + *account.Name +
                              "\"\r\nUser=\"" + kUser + "\"\r\nPass=\"" + config::EncodePassword(kUser, kPassword) +
                              "\"\r\nSmtpServer=\"127.0.0.1\"\r\nSmtpPort=" + std::to_string(Server().port()) +
                              "\r\nUserName=\"" + *account.UserName + "\"\r\nMailAddress=\"" + *account.MailAddress +
                              "\"\r\nSmtpAuth=1\r\nSmtpAuthType=3\r\n";
  store::MailBox outbox;
  for (const store::MailItem& item : OutboxItems()) outbox.Items.push_back(std::make_shared<store::MailItem>(item));
  if (!platform::WriteFileAtomically(home + "Zelk.ini", profile) ||
      !store::SaveMailBox(home + store::kOutboxFile, outbox, store::kSaveWithBodies)) {
    std::abort();
  }
  return home;
}

// Whether the saved Outbox marks every item sent: a run that exits 0 having sent nothing would
// otherwise look like the fastest of all.
bool AllMarkedSent(const std::string& home) {
  store::MailBox outbox;
  if (!store::LoadMailBox(home + store::kOutboxFile, outbox) || outbox.Items.size() != kMessages) return false;
  for (const store::ItemRef& item : outbox.Items) {
    if (item->Mark != store::kStatusSent || item->Status != store::kStatusSent) return false;
  }
  return true;
}

void BM_SendZelk(benchmark::State& state) {
  if (!PostfixUsable(state)) return;
  bool checked = false;
  for (auto _ : state) {
    const std::string home = SendingHome();
    const double seconds = TimeCommand({ZELK_CLI_PATH, "--home", home, "send", "--marked"});
    if (seconds < 0) {
      state.SkipWithError("zelk-cli send --marked failed");
      break;
    }
    if (!checked && !AllMarkedSent(home)) {
      state.SkipWithError(("not every item is marked sent in " + home + store::kOutboxFile).c_str());
      break;
    }
    checked = true;
    state.SetIterationTime(seconds);
    if (!AwaitDelivery(state)) break;
  }
  SetThroughput(state);
}
BENCHMARK(BM_SendZelk)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

ZELK_RATIO("Sending 50 messages with a 5 MB attachment vs msmtp (>= 1/1.2)", "BM_SendZelk", "BM_SendMsmtp", 1 / 1.2);

}  // namespace

}  // namespace zelk::bench
