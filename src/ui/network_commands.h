#pragma once
#include <chrono>
#include <functional>
#include <string>

#include "config/settings.h"
#include "mime/dates.h"
#include "net/conversation.h"
#include "net/dial_up.h"
#include "net/pop3_check.h"
#include "net/pop3_update.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "smtp/smtp_send.h"
#include "store/mailbox_table.h"
#include "ports/ports.h"
#include "ui/window_port.h"

// The user's network commands as conversations: check one account or all of them, update one or
// all, send the Outbox or one message from the composer, and the automatic check. Commands that
// touch several mailboxes run as cycles: a 100 ms timer visits the mailboxes in table order and
// starts one conversation at a time. When the work is done it tells the user: the new-mail
// notice, sounds, the tray icon, the selector's " *" markers and the window title.
namespace zelk::ui {

// Everything the commands work with. Every reference outlives the NetworkCommands.
struct CommandParts {
  platform::EventLoop& loop;
  ports::DialogPort& dialogs;
  ports::StatusPort& status;
  ports::ListViewPort& list;
  ports::ShellPort& shell;
  store::SelectorPort& selector;  // the " *" of accounts with unread new mail
  WindowPort& window;
  net::DialUpGate& dialUp;
  const net::ConversationLog& log;
  const platform::Clock& clock;
  mime::LocalZone& zone;
  std::string dataDirectory;  // where sending saves the Outbox (config::DataDirectoryPath)
  net::RowLocator rowOf;
};

inline constexpr std::string_view kNoNewMail = "No new mail!";

// Owns the one Conversation and the run-wide state of the cycles; it is the conversation's
// WorkHooks. Commands answer whether they started work; none starts while a conversation
// exists or a cycle holds the network.
class NetworkCommands final : public net::WorkHooks {
 public:
  NetworkCommands(CommandParts parts, const config::Settings& settings, store::MailBoxTable& table);
  ~NetworkCommands() override;
  NetworkCommands(const NetworkCommands&) = delete;
  NetworkCommands& operator=(const NetworkCommands&) = delete;

  // "Check for new mail": the selected account.
  bool CheckAccount();
  // "Check all accounts": every account without CyclicFlag, the first at once.
  bool CheckAll();
  // Arms or kills the AutoCheck minute timer after the settings were read or confirmed.
  void ArmAutoCheck();
  // "Update account": the selected account's marks, or the Outbox's sending marks.
  bool UpdateAccount();
  // "Update all accounts", after the marked-mail survey.
  bool UpdateAll();
  // The composer's "Send now", after a POP-before-SMTP login when the account wants one.
  bool SendNow(const store::ItemRef& item);
  void Stop();
  // "Dial-up connect": the dial-up request for the selected mailbox, only while the network is
  // idle. False when refused or not made.
  bool DialUpConnect();
  // The first step of the program's end: a conversation under way is cut short without waiting
  // for the server. True when one was open.
  bool CutShortForExit();
  // Mailbox `index` has been deleted from the table: what points past it moves down by one.
  void MailboxDeleted(int index);

  // The new-mail notice's Yes (show the account and its first new item) or No.
  void NoticeAnswered(bool yes);
  // No conversation and no cycle holds the network: the commands that start work may be chosen.
  bool Idle() const;
  // The mailbox a conversation serves (-1 for none), which the account commands leave alone.
  int ConversationMailbox() const;
  bool NoticeShowing() const { return noticeShowing_; }

  // Called whenever a conversation with `mailbox` (an account, or the Outbox after sending) is
  // over, however it ended, so the front-end writes that mailbox's file and the profile's
  // counters at once: a crash later in the run then loses nothing fetched. Writing needs the home
  // directory, which only the front-end knows.
  std::function<void(int mailbox)> accountFinished;

  net::Conversation& conversation() { return conversation_; }
  net::RunFlags& flags() { return conversation_.flags; }

  // The lengths of the cycle tick and of the AutoCheck minute, so tests need not wait minutes.
  void SetPeriodsForTesting(std::chrono::milliseconds tick, std::chrono::milliseconds minute);

  // WorkHooks.
  bool UpdateAfterCheck(int mailbox) override;
  void CheckAgain(int mailbox) override;
  void NotifyNewMail(int count) override;
  bool Dialing() const override { return parts_.dialUp.Dialing(); }
  void HangUp() override { parts_.dialUp.HangUp(); }
  void ResortShownList() override { parts_.window.ResortList(); }
  void ShowCounts() override { parts_.window.ShowCounts(); }
  bool MainWindowInFront() const override { return parts_.window.Visible() && parts_.window.InFront(); }
  void ConversationEnded(int mailbox) override;

 private:
  // A closed conversation exists until its end processing has run.
  bool ConversationExists() const;
  // A send tick's wait: while a conversation exists, or while wait ticks remain (one counted down).
  bool Waiting();
  store::MailBox& Box(int index) { return *table_.boxes[static_cast<std::size_t>(index)]; }
  int BoxCount() const { return static_cast<int>(table_.boxes.size()); }
  net::CheckParts ForCheck();
  net::UpdateParts ForUpdate();
  smtp::SendParts ForSend();

  // The dial-up request for `mailbox` with the network marked busy while it waits; true: go ahead.
  bool RequestDialUp(int mailbox, bool automaticCheck);
  // The dial-up request before a conversation with `mailbox` (RasCon 1); true: go ahead.
  bool Dial(int mailbox);
  // The same, a refusal ending that account's turn as a failed conversation would.
  bool DialOrEnd(int mailbox);
  // A check of `mailbox` after the dial-up request; false when it did not start.
  bool Check(int mailbox, bool loginOnly);
  // The POP-before-SMTP login: login only, or a full check that counts new mail.
  void PopBeforeSmtpLogin(int mailbox);
  bool Send(const store::ItemRef& item, smtp::Continuation mode);
  bool SendNextFor(int account, smtp::Continuation mode);
  void ClearNewMailFlags();
  // An update or send counts no new mail, unless CheckAfterUpdate checks the accounts after it.
  void MarkUpdateStarted();
  // The marked-mail survey of "Update all accounts". `ask`: the deletion question; `tell`:
  // "There is no marked mail" when nothing is to be done.
  bool Survey(bool ask, bool tell);
  void ShowItem(int mailbox, int index);
  void WaitAfterLogin();
  // The end of a cycle that passed its last mailbox.
  void CycleDone();

  void StartCheckAll();
  void CheckAllTick();
  void AutoCheckTick();
  bool UpdateAllAfterCheck();
  void StartUpdateAll();
  void UpdateAllTick();
  void StartSendCycle();
  void SendCycleTick();
  void SingleSendTick();

  // The notice's parts.
  void MarkUnreadAccounts();
  void ShowTitle();
  bool NoticeWanted() const;

  CommandParts parts_;
  const config::Settings& settings_;
  store::MailBoxTable& table_;
  net::Conversation conversation_;

  int position_ = 1;         // the mailbox a cycle is at; advanced before use, so 2 comes first
  int waitTicks_ = 0;        // ticks still to wait after a POP-before-SMTP login
  bool followUpMade_ = false;  // update all: this account's check after its update has started
  bool accountGaveUp_ = false;  // this account's turn failed to start: the cycle moves on
  store::ItemRef pending_;   // the composer's message waiting for its send
  int minutes_ = 0;          // AutoCheck minutes counted
  bool noticeShowing_ = false;
  int noticeAccount_ = -1;   // the first account with new mail when the notice was shown
  int ends_ = 0;             // conversations ended, to tell a start that failed quietly
  std::chrono::milliseconds tick_{100};
  std::chrono::milliseconds minute_{60'000};
};

}  // namespace zelk::ui
