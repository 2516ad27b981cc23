#pragma once
#include <chrono>
#include <functional>
#include <memory>

#include "config/settings.h"
#include "net/dial_link.h"
#include "platform/event_loop.h"
#include "store/mailbox_table.h"
#include "ports/ports.h"

// The yes/no question asked before every conversation with an account's server: is the dial-up
// connection up (dialling it when it must be), and the hang-ups that end it.
namespace zelk::net {

class DialUpGate {
 public:
  virtual ~DialUpGate() = default;
  // True: the conversation with account `mailbox` may start. May wait (dialling) with the event
  // loop running; Stop ends such a wait with false.
  virtual bool Request(int mailbox, bool automaticCheck) = 0;
  // Hangs up the connection this program dialled, if any; ends a running wait.
  virtual void HangUp() = 0;
  // A dial or a wait is under way.
  virtual bool Dialing() const = 0;
  // The last request said no only because automatic checks never dial (RasNoCheck): the account
  // is passed over, which is no failure.
  virtual bool LastRequestSkipped() const { return false; }
};

// Where no dial-up exists: every request is answered yes.
class NoDialUp final : public DialUpGate {
 public:
  bool Request(int, bool) override { return true; }
  void HangUp() override {}
  bool Dialing() const override { return false; }
};

struct DialUpParts {
  platform::EventLoop& loop;
  ports::DialogPort& dialogs;
  ports::StatusPort& status;
  DialLink& link;
};

// The dial-up request over a link. Only a connection it dialled itself is ever hung up.
class DialUp final : public DialUpGate {
 public:
  DialUp(DialUpParts parts, const config::Settings& settings, const store::MailBoxTable& table);
  DialUp(const DialUp&) = delete;
  DialUp& operator=(const DialUp&) = delete;

  // EnableLAN, RasMode, what is up, RasReCon, RasEntry and its RASINFO login, RasNoCheck for
  // automatic checks; hangs up the own connection of another entry and waits RasWaitSec before
  // dialling. Errors go to status part 1 and, unless SocIgnoreError is 1, to a box titled "Error".
  // A request made while another one waits is refused.
  bool Request(int mailbox, bool automaticCheck) override;
  void HangUp() override;
  bool Dialing() const override { return dialing_; }
  bool LastRequestSkipped() const override { return skipped_; }

  // The length of the second RasWaitSec counts, so tests need not wait seconds.
  void SetSecondForTesting(std::chrono::milliseconds second) { second_ = second; }

 private:
  // Steps from the look at what is up onwards, with the conversation marked busy.
  bool Decide(const store::MailBox& box, bool automaticCheck);
  // Runs nested events until `over` or the wait is cancelled (hang-up, Stop): false then, and
  // when the loop can no longer run.
  bool Wait(const std::function<bool()>& over);
  void OnDialEvent(const DialEvent& event);
  // Status part 1, and a box titled "Error" when `box` and SocIgnoreError is not 1.
  void ShowError(const platform::Text& text, bool box);

  DialUpParts parts_;
  const config::Settings& settings_;
  const store::MailBoxTable& table_;
  bool ownConnection_ = false;  // the link holds a connection this program dialled
  int dialledEntry_ = -1;       // RASINFO index of the own connection once it is up
  bool dialing_ = false;
  bool connected_ = false;
  bool waitOver_ = false;
  bool requesting_ = false;
  bool skipped_ = false;
  // Reports of an earlier dial, or ones arriving after this object is gone, are dropped.
  std::shared_ptr<int> dialNumber_ = std::make_shared<int>(0);
  std::chrono::milliseconds second_{1000};
};

// "&LAN": toggles EnableLAN; the answer is whether the menu item is now ticked.
bool ToggleLan(config::Settings& settings);

}  // namespace zelk::net
