#include "net/dial_up.h"

#include <algorithm>

#include "net/conversation.h"

namespace zelk::net {
namespace {

// Marks a request under way however it answers.
class RequestScope {
 public:
  explicit RequestScope(bool& requesting) : requesting_(requesting) { requesting_ = true; }
  ~RequestScope() { requesting_ = false; }
  RequestScope(const RequestScope&) = delete;
  RequestScope& operator=(const RequestScope&) = delete;

 private:
  bool& requesting_;
};

}  // namespace

DialUp::DialUp(DialUpParts parts, const config::Settings& settings, const store::MailBoxTable& table)
    : parts_(std::move(parts)), settings_(settings), table_(table) {}

bool DialUp::Request(int mailbox, bool automaticCheck) {
  skipped_ = false;
  if (settings_.EnableLAN == 1) return true;
  if (mailbox < 0 || static_cast<std::size_t>(mailbox) >= table_.boxes.size()) return false;
  const store::MailBox& box = *table_.boxes[static_cast<std::size_t>(mailbox)];
  if (!parts_.link.Available() || box.RasMode == 0) return true;
  // The command layer's busy mark keeps commands from starting one; this keeps anything else
  // from nesting one.
  if (requesting_) return false;
  const RequestScope scope(requesting_);
  return Decide(box, automaticCheck);
}

bool DialUp::Decide(const store::MailBox& box, bool automaticCheck) {
  // When the link cannot tell, something is taken to be up: the request then does not dial.
  const std::optional<std::vector<platform::Text>> active = parts_.link.ActiveEntries();
  const bool up = !active || !active->empty();
  if (!up) {
    ownConnection_ = false;
    dialledEntry_ = -1;
  }
  if (up && (!ownConnection_ || box.RasReCon == 0)) return true;

  const platform::Text name = box.RasEntry.value_or("");
  if (name.empty()) {
    skipped_ = automaticCheck && settings_.RasNoCheck == 1 && !up;
    return !skipped_;
  }
  const int entry = config::FindRasInfo(settings_, name);
  if (entry < 0) {
    ShowError("No dial-up setting available", true);
    return false;
  }
  if (up && entry == dialledEntry_) return true;
  if (automaticCheck && settings_.RasNoCheck == 1) {
    skipped_ = true;
    return false;
  }

  if (ownConnection_) {
    // Our connection is up through another entry: hang it up and give the line time to drop.
    HangUp();
    const std::chrono::milliseconds wait = second_ * std::max(settings_.RasWaitSec, 0);
    parts_.loop.SetTimer(kDialWaitTimer, wait, [this] {
      parts_.loop.KillTimer(kDialWaitTimer);
      waitOver_ = true;
    });
    // Work that is stopped kills the timer: the wait then ends as cancelled instead of never.
    const bool waited = Wait([this] { return waitOver_ || !parts_.loop.HasTimer(kDialWaitTimer); });
    parts_.loop.KillTimer(kDialWaitTimer);
    if (!waited || !waitOver_) return false;
  }

  parts_.status.SetStatusText(1, "Starting Dial-up");
  const config::RasInfo& info = settings_.RasInfos[static_cast<std::size_t>(entry)];
  const int number = ++*dialNumber_;
  const std::weak_ptr<int> current = dialNumber_;
  platform::Text error;
  const bool started = parts_.link.Dial(
      info.RasEntry, info.RasUser, info.RasPass,
      [this, current, number](const DialEvent& event) {
        const std::shared_ptr<int> live = current.lock();
        if (live && *live == number) OnDialEvent(event);
      },
      error);
  if (!started) {
    ShowError(error.empty() ? "Dial-up connection failed" : error, true);
    return false;
  }
  ownConnection_ = true;
  connected_ = false;
  if (!Wait([this] { return waitOver_; })) return false;
  if (connected_) dialledEntry_ = entry;
  return connected_;
}

bool DialUp::Wait(const std::function<bool()>& over) {
  dialing_ = true;
  waitOver_ = false;
  const bool ran = parts_.loop.RunUntil([&] { return !dialing_ || over(); });
  if (!dialing_) return false;
  if (!ran) {
    // Nothing could ever end this wait: a dial under way is cancelled, not left half done.
    HangUp();
    return false;
  }
  dialing_ = false;
  return true;
}

void DialUp::OnDialEvent(const DialEvent& event) {
  if (!ownConnection_) {
    dialledEntry_ = -1;
    return;
  }
  const bool wasDialing = dialing_;
  if (!event.error.empty()) {
    HangUp();
    ShowError(event.error, wasDialing);
    return;
  }
  switch (event.state) {
    case DialState::kOpenPort:
      parts_.status.SetStatusText(1, "Opening port...");
      break;
    case DialState::kConnectDevice:
      parts_.status.SetStatusText(1, "Connecting device...");
      break;
    case DialState::kAuthenticate:
      parts_.status.SetStatusText(1, "Verifying user...");
      break;
    case DialState::kConnected:
      parts_.status.SetStatusText(1, "Dial-up connected");
      connected_ = true;
      waitOver_ = true;
      break;
    case DialState::kDisconnected:
      HangUp();
      ShowError("Dial-up disconnected", wasDialing);
      break;
  }
}

void DialUp::ShowError(const platform::Text& text, bool box) {
  parts_.status.SetStatusText(1, text);
  if (box && settings_.SocIgnoreError != 1) {
    parts_.dialogs.ShowMessage("Error", text, ports::MessageIcon::kError, ports::MessageButtons::kOk);
  }
}

void DialUp::HangUp() {
  dialledEntry_ = -1;
  dialing_ = false;
  if (!parts_.link.Available() || !ownConnection_) return;
  parts_.link.HangUp();
  ++*dialNumber_;
  ownConnection_ = false;
  connected_ = false;
  waitOver_ = true;
}

bool ToggleLan(config::Settings& settings) {
  settings.EnableLAN = settings.EnableLAN == 1 ? 0 : 1;
  return settings.EnableLAN == 1;
}

}  // namespace zelk::net
