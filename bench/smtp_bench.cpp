// Sending 50 messages with a 5 MB attachment each to a local Postfix that authenticates with
// AUTH PLAIN against Dovecot, as whole processes. The peer is msmtp, which sends one message per
// run: 50 processes, each with its own connection, reading its account from a file (no password
// command run for every message). Each run ends when the last message has been accepted;
// delivering them into the Maildir, which is emptied before the next run, is not timed.
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
#include "mime/display_text.h"
#include "mime/outgoing_message.h"
#include "platform/clock.h"
#include "store/mail_item.h"
#include "store/mailbox.h"
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
// 5 MB file of random bytes attached.
store::MailBox Account() {
  store::MailBox account;
  account.UserName = "Bench Sender";
  account.MailAddress = test::PostfixServer::Address(kUser);
  return account;
}

std::vector<store::MailItem> OutboxItems() {
  std::string raw(kAttachmentBytes, '\0');
  std::mt19937_64 random(50);
  for (char& byte : raw) byte = static_cast<char>(random());
  const std::string attachment = WriteTemporaryFile("send-attachment.bin", raw);
  std::vector<store::MailItem> items;
  for (int n = 1; n <= kMessages; ++n) {
    store::MailItem& item = items.emplace_back();
    item.To = test::PostfixServer::Address(kUser);
    item.Subject = "Archive " + std::to_string(n);
    item.Body = "Hello,\r\n\r\nthe archive is attached.\r\n.\r\nBench\r\n";
    item.Attach = attachment;
  }
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
    for (store::MailItem& item : OutboxItems()) {
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

void BM_SendMsmtp(benchmark::State& state) {
  std::string unusable;
  if (test::PostfixServer::CheckUsable(&unusable) != test::PostfixServer::Presence::kUsable) {
    state.SkipWithError(unusable.c_str());
    return;
  }
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
  test::PostfixServer& server = Server();
  for (auto _ : state) {
    const double seconds = TimeCommand(command);
    if (seconds < 0) {
      state.SkipWithError("msmtp failed");
      break;
    }
    state.SetIterationTime(seconds);
    // Untimed (manual time): let Postfix finish delivering, then keep the disk from filling up.
    if (!server.WaitForMessages(kUser, kMessages, std::chrono::minutes(2))) {
      state.SkipWithError(("messages not delivered:\n" + server.LogTail()).c_str());
      break;
    }
    server.dovecot().EmptyMailbox(kUser);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * messages.bytes));
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_SendMsmtp)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

}  // namespace zelk::bench
