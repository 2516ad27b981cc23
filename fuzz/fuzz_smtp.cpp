// SMTP send: whatever a server sends, the conversation ends (no hang), without a crash, and each
// Outbox item ends sent, failed or untouched, in that order: no item is left as if it were still
// being sent, and nothing after a failure was sent. The input is one byte of options, then the
// server's bytes, played to a real conversation over a loopback connection while the client's
// commands are drained.
// Options: bit 0 SmtpAuth, bits 1-2 SmtpAuthType, bit 3 ESMTP, bit 4 the Outbox is shown,
// bit 5 "send now" (QUIT after one message) instead of the next marked ones, bit 6 a copy to self.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "loopback_server.h"
#include "support/fixed_clock.h"
#include "net/conversation.h"
#include "smtp/smtp_send.h"

namespace {

using namespace zelk;

using fuzz::Check;

// Only rows the Outbox has are redrawn.
struct Ports final : fuzz::QuietPorts {
  void RedrawRow(int row) override { Check(row >= 0 && row < 4, "redraw of a row the Outbox does not have"); }
};

// Three items of the account, one of another account between them.
void Queue(store::MailBox& outbox) {
  const char* accounts[] = {"Fuzz", "Other", "Fuzz", "Fuzz"};
  for (int n = 0; n < 4; ++n) {
    auto item = std::make_shared<store::MailItem>();
    item->To = "to" + std::to_string(n) + "@x.test, Name <b@x.test>";
    item->Bcc = "hidden@x.test";
    item->Subject = "s" + std::to_string(n);
    item->Body = "line\r\n..dot\r\n";
    item->MailBoxName = accounts[n];
    item->Mark = store::kMarkSend;
    store::Append(outbox, item);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned options = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  config::Settings settings;
  settings.RasCheckEndDisCon = 0;
  settings.ESMTP = (options & 8) ? 1 : 0;
  settings.AutoSave = 0;
  store::MailBoxTable table;
  store::Init(table);
  store::NoSelector selector;
  for (const char* name : {"Fuzz", "Other"}) {
    store::MailBox& box = *table.boxes[static_cast<std::size_t>(store::AddMailBox(table, selector))];
    box.Name = name;
    box.SmtpServer = "127.0.0.1";
    box.MailAddress = "me@example.org";
    box.User = "me";
    box.Pass = "secret";
    box.SmtpAuth = options & 1;
    box.SmtpAuthType = static_cast<int>((options >> 1) & 3);
    box.MyAddr2Bcc = (options & 64) ? 1 : 0;
  }
  store::MailBox& outbox = store::Outbox(table);
  Queue(outbox);
  table.selected = (options & 16) ? store::kOutboxIndex : 0;

  platform::PollEventLoop loop;
  Ports ports;
  net::WorkHooks hooks;
  const net::ConversationLog log("/nonexistent/", false);
  const test::FixedClock clock{{2006, 1, 2, 3, 10, 5, 9, 0}, -540};
  net::Conversation conversation({loop, ports, ports, ports, hooks, log, clock}, settings, table);
  std::uint16_t port = 0;
  const int listener = fuzz::Listener(port);
  for (std::size_t i = store::kFirstAccountIndex; i < table.boxes.size(); ++i) table.boxes[i]->SmtpPort = port;
  const smtp::SendParts parts{settings, table, ports, ports, clock, "/nonexistent/", {}};
  const smtp::Continuation mode = (options & 32) ? smtp::Continuation::kQuitAfter : smtp::Continuation::kNextMarked;
  Check(smtp::StartSend(conversation, outbox.Items[0], mode, parts), "no connection");
  fuzz::PlayToConversation(listener, bytes, loop, conversation);

  Check(outbox.Items[1]->Mark == store::kMarkSend, "another account's item was touched");
  Check(outbox.Items[0]->Mark != store::kMarkSend, "the first item was left as if still being sent");
  bool stopped = false;  // the run ended with the item before
  for (const std::size_t i : {0u, 2u, 3u}) {
    const store::MailItem& item = *outbox.Items[i];
    Check(!stopped || item.Mark == store::kMarkSend, "an item after the end of the run was dealt with");
    Check(item.Mark == store::kMarkSend ? item.Status == 0 : item.Mark == item.Status, "mark and status disagree");
    stopped = stopped || item.Mark != store::kStatusSent || mode == smtp::Continuation::kQuitAfter;
  }
  return 0;
}
