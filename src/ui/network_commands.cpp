#include "ui/network_commands.h"

namespace zelk::ui {

NetworkCommands::NetworkCommands(CommandParts parts, const config::Settings& settings, store::MailBoxTable& table)
    : parts_(std::move(parts)),
      settings_(settings),
      table_(table),
      conversation_({parts_.loop, parts_.dialogs, parts_.status, parts_.shell, *this, parts_.log, parts_.clock},
                    settings, table) {}

NetworkCommands::~NetworkCommands() {
  for (const int timer : {net::kSendCycleTimer, net::kSingleSendTimer, net::kCheckAllTimer, net::kUpdateAllTimer, net::kAutoCheckTimer}) {
    parts_.loop.KillTimer(timer);
  }
}

void NetworkCommands::SetPeriodsForTesting(std::chrono::milliseconds tick, std::chrono::milliseconds minute) {
  tick_ = tick;
  minute_ = minute;
}

bool NetworkCommands::ConversationExists() const {
  return conversation_.socket() != net::kNoSocket || parts_.loop.HasTimer(net::kPollTimer);
}

// Between the conversations of a cycle no conversation exists, yet the cycle holds the network.
bool NetworkCommands::Idle() const { return !ConversationExists() && !conversation_.flags.cycleBusy; }

int NetworkCommands::ConversationMailbox() const {
  return conversation_.socket() == net::kNoSocket ? -1 : conversation_.mailbox();
}

bool NetworkCommands::Waiting() {
  if (ConversationExists()) return true;
  if (waitTicks_ <= 0) return false;
  --waitTicks_;
  return true;
}

net::CheckParts NetworkCommands::ForCheck() {
  return {settings_, table_, parts_.list, parts_.shell, *this, parts_.zone, parts_.clock, parts_.rowOf,
          [this] { return noticeShowing_; }};
}

net::UpdateParts NetworkCommands::ForUpdate() {
  return {settings_, table_, parts_.list, *this, parts_.zone, parts_.clock, parts_.rowOf};
}

smtp::SendParts NetworkCommands::ForSend() {
  return {settings_, table_, parts_.list, parts_.shell, parts_.clock, parts_.dataDirectory, parts_.rowOf};
}

bool NetworkCommands::RequestDialUp(int mailbox, bool automaticCheck) {
  // Timers, Stop and the dial reports run while the request waits; cycle ticks and commands see
  // the network busy and leave it alone.
  conversation_.MarkDialing(true);
  parts_.shell.RefreshCommandStates();
  const bool yes = parts_.dialUp.Request(mailbox, automaticCheck);
  conversation_.MarkDialing(false);
  parts_.shell.RefreshCommandStates();
  return yes;
}

bool NetworkCommands::Dial(int mailbox) { return settings_.RasCon != 1 || RequestDialUp(mailbox, conversation_.flags.autoCheck); }

bool NetworkCommands::DialUpConnect() { return Idle() && RequestDialUp(table_.selected, false); }

bool NetworkCommands::DialOrEnd(int mailbox) {
  if (Dial(mailbox)) return true;
  // An automatic check passes over the accounts it may not dial for and goes on with the rest.
  if (!parts_.dialUp.LastRequestSkipped()) conversation_.Refuse(mailbox, "");
  return false;
}

bool NetworkCommands::Check(int mailbox, bool loginOnly) {
  return DialOrEnd(mailbox) && net::StartCheck(conversation_, mailbox, loginOnly, ForCheck());
}

void NetworkCommands::PopBeforeSmtpLogin(int mailbox) {
  const bool loginOnly = settings_.PopBeforeSmtpIsLoginOnly == 1;
  // A full check finds mail, and the user is told about it.
  if (!loginOnly && conversation_.flags.newMailCount == -1) conversation_.flags.newMailCount = 0;
  (void)net::StartCheck(conversation_, mailbox, loginOnly, ForCheck());
}

void NetworkCommands::WaitAfterLogin() { waitTicks_ = settings_.PopBeforeSmtpWait / 100; }

bool NetworkCommands::Send(const store::ItemRef& item, smtp::Continuation mode) {
  const int account = store::FindMailBox(table_, item->MailBoxName);
  if (account >= store::kFirstAccountIndex && !Dial(account)) {
    conversation_.Refuse(store::kOutboxIndex, "");
    parts_.shell.RefreshCommandStates();
    return false;
  }
  return smtp::StartSend(conversation_, item, mode, ForSend());
}

bool NetworkCommands::SendNextFor(int account, smtp::Continuation mode) {
  const int index = store::NextSendMarkedFor(table_, -1, account);
  return Send(store::Outbox(table_).Items[static_cast<std::size_t>(index)], mode);
}

void NetworkCommands::ClearNewMailFlags() {
  // The notice on screen still points at the accounts with new mail.
  if (noticeShowing_) return;
  for (int i = store::kFirstAccountIndex; i < BoxCount(); ++i) Box(i).NewMail = 0;
}

void NetworkCommands::ShowItem(int mailbox, int index) {
  if (table_.selected != mailbox) {
    table_.selected = mailbox;
    parts_.window.ShowMailBox(mailbox);
  }
  if (index < 0) return;
  const int row = parts_.rowOf ? parts_.rowOf(*Box(mailbox).Items[static_cast<std::size_t>(index)]) : index;
  if (row < 0) return;
  parts_.list.SelectRow(row, true);
  parts_.list.ScrollToRow(row);
}

bool NetworkCommands::CheckAccount() {
  const int mailbox = table_.selected;
  if (!Idle() || mailbox < store::kFirstAccountIndex || mailbox >= BoxCount()) return false;
  net::RunFlags& flags = conversation_.flags;
  flags.autoCheck = false;
  if (!Dial(mailbox)) return false;
  flags.cycleRunning = flags.updateOrSend = flags.shift = false;
  flags.newMailCount = 0;
  ClearNewMailFlags();
  return net::StartCheck(conversation_, mailbox, false, ForCheck());
}

void NetworkCommands::MarkUpdateStarted() {
  net::RunFlags& flags = conversation_.flags;
  flags.updateOrSend = true;
  flags.newMailCount = -1;
  if (settings_.CheckAfterUpdate == 1) {
    flags.newMailCount = 0;
    ClearNewMailFlags();
  }
}

bool NetworkCommands::UpdateAccount() {
  const int mailbox = table_.selected;
  if (!Idle() || mailbox < store::kSaveboxIndex || mailbox >= BoxCount()) return false;
  net::RunFlags& flags = conversation_.flags;
  flags.shift = parts_.shell.ShiftHeld();
  const bool account = mailbox >= store::kFirstAccountIndex;
  const bool marked = account ? net::HasUpdateWork(Box(mailbox))
                              : mailbox == store::kOutboxIndex && store::NextSendMarked(table_, -1) >= 0;
  if (!marked) {
    flags.messageBoxShowing = true;
    parts_.dialogs.ShowMessage("Update account", platform::Text(net::kNoMarkedMail), ports::MessageIcon::kExclamation,
                               ports::MessageButtons::kOk);
    flags.messageBoxShowing = false;
    return false;
  }
  if (account && net::UpdateNeedsDeletionWarning(Box(mailbox))) {
    flags.messageBoxShowing = true;
    const ports::Answer answer = parts_.dialogs.ShowMessage("Update account", platform::Text(net::kDeletionWarning),
                                                         ports::MessageIcon::kQuestion, ports::MessageButtons::kYesNo);
    flags.messageBoxShowing = false;
    if (answer != ports::Answer::kYes) return false;
  }
  flags.autoCheck = false;
  if (account && !Dial(mailbox)) return false;
  flags.cycleRunning = false;
  MarkUpdateStarted();
  if (!account) {
    StartSendCycle();
    return true;
  }
  return net::StartUpdate(conversation_, mailbox, ForUpdate());
}

bool NetworkCommands::SendNow(const store::ItemRef& item) {
  if (!item || !Idle()) return false;
  net::RunFlags& flags = conversation_.flags;
  pending_ = item;
  flags.newMailCount = -1;
  waitTicks_ = 0;
  const int account = store::FindMailBox(table_, item->MailBoxName);
  if (account >= store::kFirstAccountIndex && Box(account).PopBeforeSmtp == 1) {
    flags.autoCheck = false;
    if (!DialOrEnd(account)) {
      pending_.reset();
      parts_.shell.RefreshCommandStates();
      return false;
    }
    flags.cycleRunning = flags.cycleBusy = true;
    PopBeforeSmtpLogin(account);
    WaitAfterLogin();
  }
  parts_.loop.SetTimer(net::kSingleSendTimer, tick_, [this] { SingleSendTick(); });
  return true;
}

void NetworkCommands::SingleSendTick() {
  if (Waiting()) return;
  parts_.loop.KillTimer(net::kSingleSendTimer);
  net::RunFlags& flags = conversation_.flags;
  flags.autoCheck = flags.cycleRunning = flags.shift = flags.cycleBusy = false;
  flags.updateOrSend = true;
  const store::ItemRef item = std::move(pending_);
  if (item) (void)Send(item, smtp::Continuation::kQuitAfter);
}

void NetworkCommands::Stop() {
  conversation_.Stop();
  pending_.reset();
  waitTicks_ = 0;
  followUpMade_ = accountGaveUp_ = false;
}

bool NetworkCommands::CutShortForExit() {
  pending_.reset();
  waitTicks_ = 0;
  return conversation_.CutShort();
}

void NetworkCommands::MailboxDeleted(int index) {
  conversation_.MailboxDeleted(index);
  if (noticeAccount_ == index) noticeAccount_ = -1;
  if (noticeAccount_ > index) --noticeAccount_;
  // A cycle that was at the deleted mailbox goes on with the one that took its place.
  if (position_ == index) followUpMade_ = true;
  if (position_ >= index) --position_;
}

bool NetworkCommands::UpdateAfterCheck(int mailbox) {
  return net::UpdateAfterCheck(conversation_, mailbox, conversation_.flags.newMailCount, parts_.dialogs, ForUpdate());
}

void NetworkCommands::CheckAgain(int mailbox) {
  const int ends = ends_;
  if (Dial(mailbox) && net::StartCheck(conversation_, mailbox, false, ForCheck())) return;
  // Nothing ended the update's work yet (a refused dial-up, a cancelled password prompt).
  if (ends_ == ends) conversation_.Refuse(mailbox, "");
}

void NetworkCommands::ConversationEnded(int mailbox) {
  ++ends_;
  if (mailbox >= store::kOutboxIndex && accountFinished) accountFinished(mailbox);
}

}  // namespace zelk::ui
