// POP3 check and update: whatever a server sends, the conversation ends (no hang), without a
// crash, and holds no more than what it was sent. The input is one byte of options, then the server's bytes, played
// to a real conversation over a loopback connection while the client's commands are drained.
// Options: bit 0 APOP, bit 1 ListDownload, bit 2 an account that already lists three messages,
// bit 3 the account is shown, bit 4 login only, bit 5 a filter that keeps "Subject: s2" out,
// bit 6 an update of three listed messages (the first marked for download, the second for
// deletion) instead of a check.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "filter/filters.h"
#include "net/conversation.h"
#include "net/pop3_check.h"
#include "net/pop3_update.h"

namespace {

using namespace zelk;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "pop3 check: %s\n", what);
  std::abort();
}

struct QuietPorts final : ui::DialogPort, ui::StatusPort, ui::ListViewPort, ui::ShellPort {
  ui::Answer ShowMessage(const ui::Text&, const ui::Text&, ui::MessageIcon, ui::MessageButtons, bool) override {
    return ui::Answer::kOk;
  }
  std::optional<Password> AskPassword(const ui::Text&) override { return std::nullopt; }
  void SetStatusText(int, const ui::Text&) override {}
  void ExpectRows(int count) override { Check(count >= 0 && count <= 100'000, "absurd row count"); }
  void InsertRow(int row) override { Check(row >= 0, "negative row"); }
  void DeleteAllRows() override {}
  void DeleteRow(int row) override { Check(row >= 0, "negative row"); }
  void RedrawRow(int) override {}
  void SelectRow(int, bool) override {}
  void ScrollToRow(int) override {}
  void SuspendRedraw() override {}
  void ResumeRedraw() override {}
  void ListChanged() override {}
  void RefreshCommandStates() override {}
  void SetTrayState(ui::TrayState) override {}
  void SetWaitCursor(bool) override {}
  bool ShiftHeld() const override { return false; }
  void PlaySound(const ui::Text&) override {}
};

class FixedClock final : public platform::Clock {
 public:
  platform::CalendarTime LocalNow() const override { return {2006, 1, 2, 3, 10, 5, 9, 0}; }
  std::optional<std::int32_t> ZoneBias() const override { return -540; }
};

// One listener for the whole run; each input is one accepted connection.
int Listener(std::uint16_t& port) {
  static int fd = -1;
  static std::uint16_t bound = 0;
  if (fd < 0) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    Check(fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(fd, 4) == 0 &&
              ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0,
          "no listener");
    bound = ntohs(address.sin_port);
  }
  port = bound;
  return fd;
}

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
  QuietPorts ports;
  net::WorkHooks hooks;
  const net::ConversationLog log("/nonexistent/", false);
  const FixedClock clock;
  mime::LocalZone zone;
  net::Conversation conversation({loop, ports, ports, ports, hooks, log, clock}, settings, table);
  std::uint16_t port = 0;
  const int listener = Listener(port);
  box.Port = port;
  const net::CheckParts parts{settings, table, ports, ports, hooks, zone, clock, {}, {}};
  const net::UpdateParts updateParts{settings, table, ports, hooks, zone, clock, {}};
  Check(update ? net::StartUpdate(conversation, index, updateParts)
               : net::StartCheck(conversation, index, (options & 16) != 0, parts),
        "no connection");
  const int server = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  Check(server >= 0, "no accept");

  // Each round of the loop: write what the socket takes, drain what the client sent; after the
  // last byte the server closes its side, so every conversation comes to an end.
  std::size_t sent = 0;
  bool closed = false;
  const auto serve = [&] {
    char sink[4096];
    while (::recv(server, sink, sizeof sink, MSG_DONTWAIT) > 0) {
    }
    while (sent < bytes.size()) {
      const ssize_t n = ::send(server, bytes.data() + sent, bytes.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<std::size_t>(n);
    }
    if (!closed) {
      ::shutdown(server, SHUT_WR);
      closed = true;
    }
  };
  loop.RunUntil([&] {
    serve();
    return conversation.socket() == net::kNoSocket && !loop.HasTimer(net::kPollTimer);
  });
  ::close(server);
  Check(box.LastNo >= 0 && box.LastNo <= std::max(box.MailCnt, 3), "LastNo beyond the server's count");
  for (const auto& item : box.Items) Check(item != nullptr, "an empty slot left behind");
  return 0;
}
