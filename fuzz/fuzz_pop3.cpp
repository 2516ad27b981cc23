// POP3 check and update: whatever a server sends, the conversation ends (no hang), without a
// crash, and holds no more than what it was sent. The input is one byte of options, then the server's bytes, played
// to a real conversation over a loopback connection while the client's commands are drained.
// Options: bit 0 APOP, bit 1 ListDownload, bit 2 an account that already lists three messages,
// bit 3 the account is shown, bit 4 login only, bit 5 a filter that keeps "Subject: s2" out,
// bit 6 an update of three listed messages (the first marked for download, the second for
// deletion) instead of a check, bit 7 the listed messages recorded the server's unique ids ("s1"...).
// A server whose CAPA answer offers PIPELINING gets the commands sent ahead.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "filter/filters.h"
#include "loopback_server.h"
#include "support/fixed_clock.h"
#include "net/conversation.h"
#include "net/pop3_check.h"
#include "net/pop3_update.h"

namespace {

using namespace zelk;

using fuzz::Check;

// Row numbers the list could not hold are faults.
struct Ports final : fuzz::QuietPorts {
  void ExpectRows(int count) override { Check(count >= 0 && count <= 100'000, "absurd row count"); }
  void InsertRow(int row) override { Check(row >= 0, "negative row"); }
  void RemovingRow(int row) override {
    Check(row >= 0, "negative row");
    Check(!removing, "a removal begun inside another");
    removing = true;
  }
  void RowRemoved(int row) override {
    Check(row >= 0 && removing, "a removal ended that never began");
    removing = false;
  }
  bool removing = false;
};

store::ItemRef Item(int n) {
  auto item = std::make_shared<store::MailItem>();
  item->No = n;
  item->MessageId = "<" + std::to_string(n) + "@x>";
  item->UIDL = "u" + std::to_string(n);
  return item;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned options = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  config::Settings settings;
  settings.RasCheckEndDisCon = 0;
  settings.ListDownload = (options & 2) ? 1 : 0;
  store::MailBoxTable table;
  store::Init(table);
  store::NoSelector selector;
  const int index = store::AddMailBox(table, selector);
  store::MailBox& box = *table.boxes[static_cast<std::size_t>(index)];
  box.Name = "Fuzz";
  box.Server = "127.0.0.1";
  box.User = "me";
  box.Pass = "secret";
  box.APOP = options & 1;
  const bool update = (options & 64) != 0;
  if ((options & 4) || update) {
    for (int n = 1; n <= 3; ++n) store::Append(box, Item(n));
    box.LastNo = 3;
    box.LastMessageId = "<3@x>";
  }
  if (options & 128) {
    for (std::size_t i = 0; i < box.Items.size(); ++i) box.Items[i]->ServerUidl = "s" + std::to_string(i + 1);
  }
  if (update) {
    box.Items[0]->Mark = store::kMarkDownload;
    box.Items[1]->Mark = store::kMarkDelete;
    box.MailCnt = 3;
  }
  if (options & 32) {
    box.FilterEnable = 1;
    box.Filters.push_back({1, filter::kActionNotDownload, "Subject:", "s2", {}, {}});
  }
  table.selected = (options & 8) ? index : 0;

  platform::PollEventLoop loop;
  Ports ports;
  net::WorkHooks hooks;
  const net::ConversationLog log("/nonexistent/", false);
  const test::FixedClock clock{{2006, 1, 2, 3, 10, 5, 9, 0}, -540};
  mime::LocalZone zone;
  net::Conversation conversation({loop, ports, ports, ports, hooks, log, clock}, settings, table);
  std::uint16_t port = 0;
  const int listener = fuzz::Listener(port);
  box.Port = port;
  const net::CheckParts parts{settings, table, ports, ports, hooks, zone, clock, {}, {}};
  const net::UpdateParts updateParts{settings, table, ports, hooks, zone, clock, {}};
  Check(update ? net::StartUpdate(conversation, index, updateParts)
               : net::StartCheck(conversation, index, (options & 16) != 0, parts),
        "no connection");
  fuzz::PlayToConversation(listener, bytes, loop, conversation);
  Check(box.LastNo >= 0 && box.LastNo <= std::max(box.MailCnt, 3), "LastNo beyond the server's count");
  for (const auto& item : box.Items) Check(item != nullptr, "an empty slot left behind");
  return 0;
}
