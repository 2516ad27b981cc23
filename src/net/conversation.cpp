#include "net/conversation.h"

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

platform::Text NameOrUntitled(const store::MailBox& box) {
  return box.Name && !box.Name->empty() ? *box.Name : platform::Text(store::kUntitledName);
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
  if (socket_ != kNoSocket || mailbox < store::kOutboxIndex || mailbox >= static_cast<int>(table_.boxes.size())) {
    return false;
  }
  socket_ = kPreparing;
  store::MailBox& box = Box(mailbox);
  oneTimePassword_.clear();
  if (box.Pass.value_or("").empty() && box.TmpPass.value_or("").empty()) {
    const auto typed = parts_.dialogs.AskPassword("Zelk - [" + NameOrUntitled(box) + "]");
    if (!typed) {
      socket_ = kNoSocket;
      return false;
    }
    if (typed->doNotSave) {
      box.TmpPass = typed->password;
    } else {
      oneTimePassword_ = typed->password;
    }
  }
  parts_.log.StartConversation(KindName(kind), parts_.clock);
  mailbox_ = mailbox;
  parts_.shell.SetWaitCursor(true);

  platform::Text error;
  std::uint32_t address = settings_.IPCache == 1 ? box.PopAddr : 0;
  if (address == 0) {
    resolving_ = true;
    SetStatus("Finding Host...", 1);
    address = ResolveServer(box.Server.value_or(""), error);
    resolving_ = false;
    box.PopAddr = address;
    if (address == 0) {
      EndConversation(mailbox);
      ShowConversationError(error, mailbox);
      return false;
    }
  }
  ArmTimeout();
  handler_ = std::move(handler);
  step = 0;
  loginOnly_ = loginOnly;
  SetStatus("Connecting...", 1);
  const int fd = OpenConnection(address, box.Port, error);
  if (fd < 0) {
    EndConversation(mailbox);
    ShowConversationError(error, mailbox);
    return false;
  }
  socket_ = fd;
  // Readiness, not a timer, drives receiving, so nothing limits how fast mail arrives.
  parts_.loop.WatchReadable(fd, [this] { OnReadable(); });
  parts_.shell.RefreshCommandStates();
  parts_.shell.SetTrayState(ui::TrayState::kBusy);
  parts_.shell.SetWaitCursor(false);
  return true;
}

const platform::Text& Conversation::Password(const store::MailBox& box) const {
  if (box.Pass && !box.Pass->empty()) return *box.Pass;
  if (box.TmpPass && !box.TmpPass->empty()) return *box.TmpPass;
  return oneTimePassword_;
}

int Conversation::Send(std::string_view command) { return SendText(socket_, command); }

void Conversation::SetStatus(const platform::Text& text, int part) {
  platform::Text shown = text;
  if (mailbox_ >= store::kFirstAccountIndex) shown = "[" + Box(mailbox_).Name.value_or("") + "] " + text;
  parts_.status.SetStatusText(part, shown);
  parts_.log.Append(shown);
}

void Conversation::LogReceived(std::string_view line) { SetStatus(platform::LocalToText(line), 1); }

bool Conversation::LineReceived(std::string_view line) {
  platform::Text error;
  const int mailbox = mailbox_;
  if (handler_->Line(*this, line, error, Box(mailbox), mailbox == table_.selected)) return true;
  EndConversation(mailbox);
  if (!error.empty()) {
    ShowConversationError(error, mailbox);
  } else {
    mailbox_ = -1;
    parts_.shell.RefreshCommandStates();
  }
  return false;
}

void Conversation::OnReadable() {
  const int fd = socket_;
  const PollResult result = transport_.PollReceive(fd, *this);
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
        // The server's close after QUIT is the normal end; the end processing follows at once.
        CloseSocket();
        parts_.loop.KillTimer(kTimeoutTimer);
        parts_.hooks.ShowCounts();
        parts_.loop.SetTimer(kPollTimer, std::chrono::milliseconds(1), [this] { RunEndProcessing(); });
        return;
      }
      EndConversation(mailbox);
      ShowConversationError("Server disconnected", mailbox);
      return;
    case kPollFailed:
      EndConversation(mailbox);
      ShowConversationError("Selection error", mailbox);
      return;
    case kPollOutOfMemory:
      EndConversation(mailbox);
      ShowConversationError("Memory Allocation error", mailbox);
      return;
  }
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
  const int mailbox = mailbox_;
  EndConversation(mailbox);
  ShowConversationError("Connection timed-out", mailbox);
}

void Conversation::CloseSocket() {
  // 0 marks a conversation being prepared: there is no socket to close yet.
  if (socket_ > 0) {
    parts_.loop.Unwatch(socket_);
    CloseConnection(socket_, transport_);
  }
  socket_ = kNoSocket;
}

void Conversation::EndConversation(int index) {
  if (!resolving_) CloseSocket();
  socket_ = kNoSocket;
  parts_.loop.KillTimer(kTimeoutTimer);
  if (index == store::kOutboxIndex) parts_.hooks.SmtpCleanup();
  parts_.loop.KillTimer(kPollTimer);
  handler_.reset();
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
    parts_.shell.SetTrayState(ui::TrayState::kNormal);
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
  parts_.dialogs.ShowMessage(name.empty() ? "Error" : "Error - " + name, text, ui::MessageIcon::kError,
                             ui::MessageButtons::kOk);
  flags.messageBoxShowing = false;
}

void Conversation::Stop() {
  for (const int timer : {kSendCycleTimer, kSingleSendTimer, kCheckAllTimer, kUpdateAllTimer, kTimeoutTimer, kDialWaitTimer}) {
    parts_.loop.KillTimer(timer);
  }
  flags.cycleBusy = flags.cycleRunning = flags.autoCheck = flags.updateOrSend = flags.shift = false;
  flags.newMailCount = -1;
  if (parts_.hooks.Dialing()) parts_.hooks.HangUp();
  if (socket_ > 0 && !resolving_) {
    if (step != 0 && step != kQuitSent) {
      step = kQuitSent;
      for (const std::string_view command : {std::string_view("RSET\r\n"), std::string_view("QUIT\r\n")}) {
        LogReceived(command);
        Send(command);
      }
      return;
    }
    CloseSocket();
    handler_.reset();
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

}  // namespace zelk::net
