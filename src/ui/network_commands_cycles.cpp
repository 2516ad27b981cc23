// The cycles: check all accounts (also the automatic check), update all accounts, and the Outbox
// send cycle. Each tick starts at most one conversation and does nothing while one exists.
#include "ui/network_commands.h"

namespace zelk::ui {

void NetworkCommands::CycleDone() {
  net::RunFlags& flags = conversation_.flags;
  flags.cycleBusy = flags.cycleRunning = false;
  conversation_.EndOfWork();
  NotifyNewMail(flags.newMailCount);
}

bool NetworkCommands::CheckAll() {
  if (!Idle() || conversation_.flags.messageBoxShowing) return false;
  conversation_.flags.autoCheck = false;
  StartCheckAll();
  CheckAllTick();
  return true;
}

void NetworkCommands::StartCheckAll() {
  net::RunFlags& flags = conversation_.flags;
  flags.cycleRunning = true;
  flags.updateOrSend = flags.shift = false;
  flags.newMailCount = 0;
  position_ = 1;
  ClearNewMailFlags();
  flags.cycleBusy = true;
  parts_.shell.RefreshCommandStates();
  parts_.loop.SetTimer(net::kCheckAllTimer, tick_, [this] { CheckAllTick(); });
}

void NetworkCommands::CheckAllTick() {
  if (ConversationExists()) return;
  ++position_;
  if (position_ >= BoxCount()) {
    parts_.loop.KillTimer(net::kCheckAllTimer);
    conversation_.flags.cycleBusy = false;
    if (settings_.CheckEndExec == 1 && UpdateAllAfterCheck()) return;
    CycleDone();
    conversation_.flags.autoCheck = false;
    return;
  }
  if (Box(position_).CyclicFlag == 1) return;
  (void)Check(position_, false);
}

void NetworkCommands::ArmAutoCheck() {
  if (settings_.AutoCheck == 1) {
    parts_.loop.SetTimer(net::kAutoCheckTimer, minute_, [this] { AutoCheckTick(); });
  } else {
    parts_.loop.KillTimer(net::kAutoCheckTimer);
    minutes_ = 0;
  }
}

void NetworkCommands::AutoCheckTick() {
  if (settings_.AutoCheck != 1) {
    parts_.loop.KillTimer(net::kAutoCheckTimer);
    minutes_ = 0;
    return;
  }
  if (minutes_ + 1 < settings_.AutoCheckTime) {
    ++minutes_;
    return;
  }
  minutes_ = 0;
  // Between the conversations of another cycle, or while a dial-up waits, no conversation
  // exists either; starting now would take that work's place.
  if (!Idle() || conversation_.flags.messageBoxShowing || parts_.dialUp.Dialing()) return;
  conversation_.flags.autoCheck = true;
  StartCheckAll();
}

bool NetworkCommands::Survey(bool ask, bool tell) {
  net::RunFlags& flags = conversation_.flags;
  bool positive = false;
  for (int i = store::kFirstAccountIndex; i < BoxCount(); ++i) {
    const store::MailBox& box = Box(i);
    if (box.CyclicFlag == 1 || !net::HasUpdateWork(box)) continue;
    positive = true;
    if (!ask || !net::UpdateNeedsDeletionWarning(box)) continue;
    flags.messageBoxShowing = true;
    const ports::Answer answer = parts_.dialogs.ShowMessage(box.Name.value_or(""), platform::Text(net::kDeletionWarning),
                                                         ports::MessageIcon::kQuestion, ports::MessageButtons::kYesNo);
    flags.messageBoxShowing = false;
    if (answer != ports::Answer::kYes) {
      // The user looks at what would be deleted instead.
      ShowItem(i, store::NextDeleteMarked(box, -1));
      return false;
    }
    ask = false;
  }
  if (store::NextSendMarked(table_, -1) >= 0) positive = true;
  if (!positive && tell) {
    flags.messageBoxShowing = true;
    parts_.dialogs.ShowMessage("Update all accounts", platform::Text(net::kNoMarkedMail), ports::MessageIcon::kExclamation,
                               ports::MessageButtons::kOk);
    flags.messageBoxShowing = false;
  }
  return positive;
}

bool NetworkCommands::UpdateAll() {
  if (!Idle()) return false;
  net::RunFlags& flags = conversation_.flags;
  flags.shift = parts_.shell.ShiftHeld();
  if (!Survey(true, true)) return false;
  flags.autoCheck = false;
  MarkUpdateStarted();
  StartUpdateAll();
  UpdateAllTick();
  return true;
}

bool NetworkCommands::UpdateAllAfterCheck() {
  net::RunFlags& flags = conversation_.flags;
  if (flags.newMailCount == -1 || ConversationExists()) return false;
  if (!Survey(settings_.CheckEndExecNoDelMsg == 1, false)) return false;
  flags.autoCheck = flags.updateOrSend = flags.shift = false;
  StartUpdateAll();
  return true;
}

void NetworkCommands::StartUpdateAll() {
  net::RunFlags& flags = conversation_.flags;
  flags.cycleRunning = flags.cycleBusy = true;
  position_ = 1;
  waitTicks_ = 0;
  followUpMade_ = accountGaveUp_ = false;
  parts_.shell.RefreshCommandStates();
  parts_.loop.SetTimer(net::kUpdateAllTimer, tick_, [this] { UpdateAllTick(); });
}

void NetworkCommands::UpdateAllTick() {
  if (Waiting()) return;
  if (position_ >= store::kFirstAccountIndex && position_ < BoxCount() && Box(position_).CyclicFlag == 0 &&
      !accountGaveUp_) {
    if (store::NextSendMarkedFor(table_, -1, position_) >= 0) {
      // A send that could not start keeps its mark: trying again would never end.
      if (!SendNextFor(position_, smtp::Continuation::kNextMarked)) accountGaveUp_ = true;
      return;
    }
    if (settings_.CheckAfterUpdate == 1 && !followUpMade_) {
      followUpMade_ = true;
      (void)Check(position_, false);
      return;
    }
  }
  followUpMade_ = accountGaveUp_ = false;
  ++position_;
  if (position_ >= BoxCount()) {
    parts_.loop.KillTimer(net::kUpdateAllTimer);
    if (store::NextSendMarked(table_, -1) >= 0) {
      StartSendCycle();
    } else {
      CycleDone();
    }
    return;
  }
  const store::MailBox& box = Box(position_);
  if (box.CyclicFlag == 1) return;
  bool dialled = false;
  if (net::HasUpdateWork(box) || settings_.CheckAfterUpdate == 1) {
    if (!DialOrEnd(position_)) {
      accountGaveUp_ = true;
      return;
    }
    dialled = true;
  }
  const bool updating = net::StartUpdate(conversation_, position_, ForUpdate());
  // A failed start whose error is not ignored has stopped the cycle.
  if (!conversation_.flags.cycleRunning) return;
  if (box.PopBeforeSmtp != 1 || store::NextSendMarkedFor(table_, -1, position_) < 0) return;
  if (!updating) {
    if (!dialled && !DialOrEnd(position_)) {
      accountGaveUp_ = true;
      return;
    }
    PopBeforeSmtpLogin(position_);
  }
  WaitAfterLogin();
}

void NetworkCommands::StartSendCycle() {
  net::RunFlags& flags = conversation_.flags;
  flags.cycleRunning = flags.cycleBusy = true;
  waitTicks_ = 0;
  position_ = 1;
  accountGaveUp_ = false;
  parts_.shell.RefreshCommandStates();
  parts_.loop.SetTimer(net::kSendCycleTimer, tick_, [this] { SendCycleTick(); });
}

void NetworkCommands::SendCycleTick() {
  if (Waiting()) return;
  if (position_ >= store::kFirstAccountIndex && !accountGaveUp_ &&
      store::NextSendMarkedFor(table_, -1, position_) >= 0) {
    // Sending takes the mark off every item it dealt with, so the next tick finds the next one;
    // a send that could not start keeps its mark, and the cycle moves on instead.
    if (!SendNextFor(position_, smtp::Continuation::kNextMarked)) accountGaveUp_ = true;
    return;
  }
  accountGaveUp_ = false;
  ++position_;
  if (position_ >= BoxCount()) {
    parts_.loop.KillTimer(net::kSendCycleTimer);
    CycleDone();
    return;
  }
  if (Box(position_).PopBeforeSmtp != 1 || store::NextSendMarkedFor(table_, -1, position_) < 0) return;
  if (!DialOrEnd(position_)) {
    accountGaveUp_ = true;
    return;
  }
  PopBeforeSmtpLogin(position_);
  WaitAfterLogin();
}

}  // namespace zelk::ui
