#include "net/conversation.h"

#include <new>
#include <optional>

#include "net/fingerprint.h"
#include "platform/utf8.h"

namespace zelk::net {

namespace {

const char* KindName(ConversationKind kind) {
  switch (kind) {
    case ConversationKind::kCheck: return "recv";
    case ConversationKind::kUpdate: return "exec";
    case ConversationKind::kSend: return "send";
  }
  return "recv";
}


}  // namespace

Conversation::Conversation(ConversationParts parts, const config::Settings& settings, store::MailBoxTable& table)
    : parts_(parts), settings_(settings), table_(table) {}

Conversation::~Conversation() {
  parts_.loop.KillTimer(kPollTimer);
  parts_.loop.KillTimer(kTimeoutTimer);
  CloseSocket();
}

bool Conversation::Start(int mailbox, ConversationKind kind, std::unique_ptr<ProtocolHandler> handler, bool loginOnly) {
  if (mailbox < store::kOutboxIndex || mailbox >= static_cast<int>(table_.boxes.size())) return false;
  store::MailBox& box = Box(mailbox);
  return Start({mailbox, box, box.Server, box.Port, box.PopAddr, box.PopTls, box.PopFingerprint, true, box.Pass,
                box.TmpPass},
               kind, std::move(handler), loginOnly);
}

bool Conversation::Start(const Endpoint& endpoint, ConversationKind kind, std::unique_ptr<ProtocolHandler> handler,
                         bool loginOnly) {
  const int mailbox = endpoint.mailbox;
  if (socket_ != kNoSocket || mailbox < store::kOutboxIndex || mailbox >= static_cast<int>(table_.boxes.size())) {
    return false;
  }
  socket_ = kPreparing;
  oneTimePassword_.clear();
  if (endpoint.needsPassword && endpoint.savedPassword.value_or("").empty() &&
      endpoint.typedPassword.value_or("").empty()) {
    const auto typed = parts_.dialogs.AskPassword("Zelk - [" + store::NameOrUntitled(endpoint.account) + "]");
    if (!typed) {
      socket_ = kNoSocket;
      // A send ends as after any failed start, so that a send cycle stops unless it ignores errors.
      if (kind == ConversationKind::kSend) EndConversation(mailbox);
      return false;
    }
    if (typed->doNotSave) {
      endpoint.typedPassword = typed->password;
    } else {
      oneTimePassword_ = typed->password;
    }
  }
  parts_.log.StartConversation(KindName(kind), parts_.clock);
  mailbox_ = mailbox;
  parts_.shell.SetWaitCursor(true);
  // Installed before the lookup, so that a start that fails from here on ends the handler too.
  handler_ = std::move(handler);
  step = 0;
  loginOnly_ = loginOnly;
  if (kind == ConversationKind::kSend) flags.updateOrSend = true;

  // The time-out bounds the lookup and the connect too: nothing may hold the conversation forever.
  ArmTimeout();
  cachedAddress_ = &endpoint.cachedAddress;
  port_ = endpoint.port;
  const auto fail = [&](const char* error) {
    EndWith(mailbox, error);
    return false;
  };
  const platform::Text& server = endpoint.server.value_or("");
  std::string local;
  try {
    local = platform::TextToLocal(server);
  } catch (const std::bad_alloc&) {
    return fail("Memory Allocation error");
  }
  tlsMode_ = endpoint.tls;
  tls_ = TlsPhase::kPlain;
  tlsAccepted_ = false;
  // The certificate must name the server as the account does, whatever address it was reached at.
  peer_ = {local, std::nullopt};
  if (const platform::Text& pin = endpoint.fingerprint.value_or(""); tlsMode_ != store::TlsMode::kNone && !pin.empty()) {
    peer_.pin = ReadFingerprint(pin);
    if (!peer_.pin) return fail("The pinned certificate fingerprint is not 64 hex digits");
  }
  if (const std::optional<IpAddress> cached =
          settings_.IPCache == 1 ? ParseIpLiteral(endpoint.cachedAddress) : std::nullopt) {
    Connect({*cached});
  } else {
    SetStatus("Finding Host...", 1);
    if (server.empty()) return fail("Server name not set");
    if (const std::optional<IpAddress> literal = ParseIpLiteral(local)) {
      Connect({*literal});
    } else if (local.find('\0') != std::string::npos) {
      // A zero byte would silently shorten the name to another host's.
      return fail("Unable to find email server");
    } else {
      lookup_ = std::make_unique<HostLookup>(parts_.loop, parts_.resolver, std::move(local),
                                             [this](LookupOutcome outcome, std::vector<IpAddress> addresses) {
                                               OnLookedUp(outcome, std::move(addresses));
                                             });
    }
  }
  // Stop is possible from here on, while the lookup or the connect runs.
  if (socket_ == kPreparing) parts_.shell.RefreshCommandStates();
  return socket_ != kNoSocket;
}

void Conversation::OnLookedUp(LookupOutcome outcome, std::vector<IpAddress> addresses) {
  lookup_.reset();
  if (outcome == LookupOutcome::kFound) {
    Connect(std::move(addresses));
    return;
  }
  EndWith(mailbox_, outcome == LookupOutcome::kOutOfMemory ? "Memory Allocation error" : "Unable to find email server");
}

void Conversation::Connect(std::vector<IpAddress> addresses) {
  SetStatus("Connecting...", 1);
  attempts_ = std::make_unique<ConnectAttempts>(
      parts_.loop, std::move(addresses), port_,
      [this](std::optional<ConnectAttempts::Winner> winner, const platform::Text& error) { OnConnected(winner, error); });
  attempts_->Start();
}

void Conversation::OnConnected(std::optional<ConnectAttempts::Winner> winner, const platform::Text& error) {
  attempts_.reset();
  if (!winner) {
    // An address that no longer answers (a moved server, another network) is looked up afresh
    // next time rather than tried again for the rest of the run.
    cachedAddress_->clear();
    EndWith(mailbox_, error);
    return;
  }
  *cachedAddress_ = ToText(winner->address);
  socket_ = winner->fd;
  // Readiness, not a timer, drives receiving, so nothing limits how fast mail arrives.
  if (tlsMode_ == store::TlsMode::kImplicit) {
    BeginTls(winner->fd);
    if (socket_ == kNoSocket) return;
  } else {
    connection_ = std::make_unique<TcpConnection>(parts_.loop, winner->fd, *this);
  }
  parts_.shell.RefreshCommandStates();
  parts_.shell.SetTrayState(ports::TrayState::kBusy);
  parts_.shell.SetWaitCursor(false);
}

void Conversation::BeginTls(int fd) {
  SetStatus("Starting TLS...", 1);
  auto tls = std::make_unique<TlsConnection>(parts_.loop, fd, peer_, *this);
  TlsConnection& started = *tls;
  connection_ = std::move(tls);  // the socket is the TLS connection's from here, whatever happens
  tls_ = TlsPhase::kHandshaking;
  platform::Text error;
  if (!started.Start(error)) EndWith(mailbox_, error);
}

bool Conversation::StartTls(platform::Text& error) {
  // A server may answer yes to a second STLS or STARTTLS, but TLS does not go inside TLS.
  if (tls_ != TlsPhase::kPlain) {
    error = "Response not analysed";
    return false;
  }
  if (transport_.following() > 0) {
    error = "The server sent data before the TLS handshake";
    return false;
  }
  tlsAccepted_ = true;
  return true;
}

void Conversation::Secured(const std::string& description) {
  tls_ = TlsPhase::kSecured;
  SetStatus("Secured with " + platform::LocalToText(description), 1);
  ArmTimeout();
  // With implicit TLS the greeting comes next; after STLS or STARTTLS the handler speaks first.
  if (tlsMode_ != store::TlsMode::kStartTls) return;
  platform::Text error;
  const int mailbox = mailbox_;
  if (!handler_->Secured(*this, error, Box(mailbox), mailbox == table_.selected)) EndWith(mailbox, error);
}

void Conversation::HandshakeFailed(const platform::Text& error) { EndWith(mailbox_, error); }

void Conversation::Refuse(int mailbox, const platform::Text& error) {
  if (socket_ == kNoSocket) EndWith(mailbox, error);
}

void Conversation::EndWith(int mailbox, const platform::Text& error) {
  EndConversation(mailbox);
  if (!error.empty()) {
    ShowConversationError(error, mailbox);
  } else {
    mailbox_ = -1;
    parts_.shell.RefreshCommandStates();
  }
}

const platform::Text& Conversation::Password(const store::MailBox& box) const {
  return Password(box.Pass, box.TmpPass);
}

const platform::Text& Conversation::Password(const store::OptionalText& saved, const store::OptionalText& typed) const {
  if (saved && !saved->empty()) return *saved;
  if (typed && !typed->empty()) return *typed;
  return oneTimePassword_;
}

int Conversation::Send(std::string_view command) { return connection_ && connection_->Send(command) ? 0 : -1; }

void Conversation::SetStatus(const platform::Text& text, int part) {
  platform::Text shown = text;
  // A narrow window has no room for the account's name.
  if (mailbox_ >= store::kFirstAccountIndex && !compactLayout) {
    shown = "[" + Box(mailbox_).Name.value_or("") + "] " + text;
  }
  parts_.status.SetStatusText(part, shown);
  parts_.log.Append(shown);
}

void Conversation::LogReceived(std::string_view line) { SetStatus(platform::LocalToText(line), 1); }

bool Conversation::LineReceived(std::string_view line) {
  platform::Text error;
  const int mailbox = mailbox_;
  if (!handler_->Line(*this, line, error, Box(mailbox), mailbox == table_.selected)) {
    EndWith(mailbox, error);
    return false;
  }
  if (!tlsAccepted_) return true;
  // StartTls made sure that nothing followed the answer; what arrives from here on is TLS.
  tlsAccepted_ = false;
  transport_.Reset();
  const int fd = static_cast<TcpConnection&>(*connection_).Release();
  connection_.reset();
  BeginTls(fd);
  return false;
}

void Conversation::Readable() {
  const int fd = socket_;
  const PollResult result = transport_.PollReceive(*connection_, *this);
  if (socket_ != fd) return;  // the handler ended the conversation
  const int mailbox = mailbox_;
  switch (result) {
    case kPollNothing:
      return;
    case kPollDelivered:
      ArmTimeout();
      return;
    case kPollClosed:
      if (step == kQuitSent) {
        ClosedAfterQuit(mailbox);
        return;
      }
      EndWith(mailbox, "Server disconnected");
      return;
    case kPollFailed:
      EndWith(mailbox, "Selection error");
      return;
    case kPollOutOfMemory:
      EndWith(mailbox, "Memory Allocation error");
      return;
  }
}

void Conversation::ClosedAfterQuit(int mailbox) {
  CloseSocket();
  DropHandler(mailbox);
  parts_.loop.KillTimer(kTimeoutTimer);
  parts_.hooks.ShowCounts();
  parts_.loop.SetTimer(kPollTimer, std::chrono::milliseconds(1), [this] { RunEndProcessing(); });
}

// A peer still taking what was queued is not idle: a large message on a slow line must not meet
// the inactivity time-out while it goes out.
void Conversation::SendProgressed() { ArmTimeout(); }

void Conversation::SendFailed() {
  // After QUIT the server may close before it has read everything: that is the normal end.
  if (step == kQuitSent) {
    ClosedAfterQuit(mailbox_);
    return;
  }
  EndWith(mailbox_, "Send error");
}

void Conversation::RunEndProcessing() {
  parts_.loop.KillTimer(kPollTimer);
  if (flags.cycleRunning) {
    mailbox_ = -1;
    parts_.shell.RefreshCommandStates();
  } else if (settings_.CheckEndExec == 1 && parts_.hooks.UpdateAfterCheck(mailbox_)) {
  } else if (flags.updateOrSend && settings_.CheckAfterUpdate == 1 && mailbox_ != store::kOutboxIndex) {
    flags.updateOrSend = false;
    parts_.hooks.CheckAgain(mailbox_);
  } else {
    mailbox_ = -1;
    EndOfWork();
    parts_.hooks.NotifyNewMail(flags.newMailCount);
  }
}

void Conversation::ArmTimeout() {
  parts_.loop.SetTimer(kTimeoutTimer, minute_ * std::max(settings_.TimeoutInterval, 1), [this] { OnTimeout(); });
}

void Conversation::OnTimeout() {
  if (socket_ == kNoSocket) {
    parts_.loop.KillTimer(kTimeoutTimer);
    return;
  }
  EndWith(mailbox_, "Connection timed-out");
}

void Conversation::CloseSocket() {
  // A lookup abandoned here is dropped when its worker answers; pending connects are closed.
  lookup_.reset();
  attempts_.reset();
  connection_.reset();
  transport_.Reset();
  tls_ = TlsPhase::kPlain;
  socket_ = kNoSocket;
}

void Conversation::DropHandler(int index) {
  // Out of handler_ first, so nothing Ended does can reach a handler that is going.
  const std::unique_ptr<ProtocolHandler> handler = std::move(handler_);
  if (!handler) return;
  handler->Ended(index >= 0 && index == table_.selected);
  parts_.hooks.ConversationEnded(index);
}

void Conversation::EndConversation(int index) {
  CloseSocket();
  parts_.loop.KillTimer(kTimeoutTimer);
  DropHandler(index);
  parts_.loop.KillTimer(kPollTimer);
  if (flags.cycleRunning) {
    const bool ignored = (settings_.SocIgnoreError == 1 && index > store::kOutboxIndex) ||
                         (settings_.SendIgnoreError == 1 && index == store::kOutboxIndex);
    if (ignored) return;  // the cycle goes on with its next mailbox
    for (const int timer : {kSendCycleTimer, kSingleSendTimer, kCheckAllTimer, kUpdateAllTimer, kDialWaitTimer}) {
      parts_.loop.KillTimer(timer);
    }
    flags.cycleRunning = flags.cycleBusy = flags.updateOrSend = flags.shift = false;
  }
  EndOfWork();
}

void Conversation::EndOfWork() {
  if (settings_.RasCheckEndDisCon == 1) parts_.hooks.HangUp();
  parts_.shell.RefreshCommandStates();
  if (!flags.newMailIconShowing || parts_.hooks.MainWindowInFront()) {
    flags.newMailIconShowing = false;
    parts_.shell.SetTrayState(ports::TrayState::kNormal);
  }
  if (flags.listChanged) {
    parts_.hooks.ResortShownList();
    flags.listChanged = false;
  }
  if (flags.updateOrSend && settings_.ExecEndSound == 1) parts_.shell.PlaySound(settings_.ExecEndSoundFile);
  flags.updateOrSend = false;
}

void Conversation::ShowConversationError(const platform::Text& text, int index) {
  mailbox_ = -1;
  parts_.shell.RefreshCommandStates();
  parts_.shell.SetWaitCursor(false);
  SetStatus(text, 1);
  const bool ignored = (settings_.SocIgnoreError == 1 && index > store::kOutboxIndex) ||
                       (settings_.SendIgnoreError == 1 && index == store::kOutboxIndex);
  if (ignored && flags.cycleRunning) return;
  const platform::Text name = index >= 1 && index < static_cast<int>(table_.boxes.size()) ? Box(index).Name.value_or("") : "";
  flags.messageBoxShowing = true;
  parts_.dialogs.ShowMessage(name.empty() ? "Error" : "Error - " + name, text, ports::MessageIcon::kError,
                             ports::MessageButtons::kOk);
  flags.messageBoxShowing = false;
}

bool Conversation::CutShort() {
  if (Opening()) {
    CloseSocket();
    DropHandler(mailbox_);
    mailbox_ = -1;
  }
  if (!connection_) return false;
  for (const int timer : {kPollTimer, kSendCycleTimer, kSingleSendTimer, kCheckAllTimer, kUpdateAllTimer,
                          kTimeoutTimer, kDialWaitTimer}) {
    parts_.loop.KillTimer(timer);
  }
  flags.cycleBusy = flags.updateOrSend = false;
  flags.newMailCount = -1;
  step = kQuitSent;
  for (const std::string_view command : {std::string_view("RSET\r\n"), std::string_view("QUIT\r\n")}) {
    LogReceived(command);
    Send(command);
  }
  CloseSocket();
  DropHandler(mailbox_);
  mailbox_ = -1;
  return true;
}

void Conversation::MarkDialing(bool dialing) {
  if (dialing) {
    if (socket_ != kNoSocket) return;
    socket_ = kPreparing;
    markedDialing_ = true;
    return;
  }
  // Stop may have cleared the mark already.
  if (markedDialing_ && socket_ == kPreparing && !handler_) socket_ = kNoSocket;
  markedDialing_ = false;
}

void Conversation::MailboxDeleted(int index) {
  if (mailbox_ > index) --mailbox_;
}

void Conversation::Stop() {
  for (const int timer : {kSendCycleTimer, kSingleSendTimer, kCheckAllTimer, kUpdateAllTimer, kTimeoutTimer, kDialWaitTimer}) {
    parts_.loop.KillTimer(timer);
  }
  flags.cycleBusy = flags.cycleRunning = flags.autoCheck = flags.updateOrSend = flags.shift = false;
  flags.newMailCount = -1;
  if (parts_.hooks.Dialing()) parts_.hooks.HangUp();
  if (connection_ || Opening()) {
    // RSET and QUIT would wait behind bytes the server is not taking (and inside a message's
    // DATA they would become its text): with anything still queued, the connection is dropped,
    // as it is in the middle of a TLS handshake.
    if (connection_ && tls_ != TlsPhase::kHandshaking && step != 0 && step != kQuitSent && connection_->Queued() == 0) {
      step = kQuitSent;
      for (const std::string_view command : {std::string_view("RSET\r\n"), std::string_view("QUIT\r\n")}) {
        LogReceived(command);
        Send(command);
      }
      return;
    }
    CloseSocket();
    DropHandler(mailbox_);
    mailbox_ = -1;
    parts_.hooks.ShowCounts();
    EndOfWork();
    return;
  }
  if (socket_ == kNoSocket && settings_.RasCheckEndDisCon == 1) parts_.hooks.HangUp();
  socket_ = kNoSocket;
  mailbox_ = -1;
  EndOfWork();
}

platform::Text WithServerLine(std::string_view text, std::string_view line) {
  // The driver's error buffer holds 255 characters.
  constexpr std::size_t kErrorUnits = 255;
  const platform::Text whole = platform::Text(text) + platform::LocalToText(line);
  return platform::Text(platform::CutToUtf16Units(whole, kErrorUnits));
}

bool SendCommand(Conversation& conversation, std::string_view command, const platform::Text& shown,
                 platform::Text& error) {
  conversation.SetStatus(shown, 1);
  if (conversation.Send(command) == 0) return true;
  error = "Send error";
  return false;
}

bool Quit(Conversation& conversation, platform::Text& error) {
  if (!SendCommand(conversation, "QUIT\r\n", "QUIT\r\n", error)) return false;
  conversation.step = kQuitSent;
  return true;
}

bool EndWithError(Conversation& conversation, platform::Text& error, platform::Text text) {
  // Politeness only: the driver closes the connection whatever becomes of this.
  conversation.Send("QUIT\r\n");
  error = std::move(text);
  return false;
}

}  // namespace zelk::net
