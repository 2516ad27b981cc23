#include "cli/network_run.h"

#include <cstdio>

#include "config/settings.h"
#include "ui/save_all.h"

namespace zelk::cli {

namespace {

// A conversation ends without an error text when the dial-up request was refused (its reason
// went to the status bar before).
constexpr char kNotStarted[] = "not started";

// NetworkManager is asked only when an account dials and dial-up is on at all.
bool WantsDialUp(const Session& session) {
  if (session.settings.RasCon != 1) return false;
  for (std::size_t i = store::kFirstAccountIndex; i < session.table.boxes.size(); ++i) {
    if (session.table.boxes[i]->RasMode == 1) return true;
  }
  return false;
}

}  // namespace

NetworkRun::NetworkRun(Session& session)
    : session_(session),
      log_(session.home, session.settings.SocLog == 1),
      link_(WantsDialUp(session) ? std::make_unique<net::NmcliLink>(loop_) : nullptr),
      dialUp_(link_ ? std::unique_ptr<net::DialUpGate>(std::make_unique<net::DialUp>(
                          net::DialUpParts{loop_, ports_, ports_, *link_}, session.settings, session.table))
                    : std::make_unique<net::NoDialUp>()),
      commands_(ui::CommandParts{loop_, ports_, ports_, ports_, ports_, selector_, window_, *dialUp_, log_,
                                  session.clock, session.zone,
                                  config::DataDirectoryPath(session.settings, session.home), {}},
                session.settings, session.table),
      interruption_(loop_, [this] { commands_.Stop(); }) {
  commands_.accountFinished = [this](int mailbox) { Finished(mailbox); };
  window_.countsShown = [this] { Judge(true); };
  // An error a conversation ends with is shown in the status bar right after its end.
  ports_.statusShown = [this](const platform::Text& text) {
    if (ended_ >= 0 && endText_.empty()) endText_ = text;
  };
}

void NetworkRun::Run() {
  // An outcome is decided once the event that ended the conversation has been dealt with: its
  // error, or the counts of a normal end, come within that same event.
  interruption_.Run([this] {
    Judge(false);
    return WorkEnded();
  });
  Judge(false);
  ports_.EndProgress();
}

bool NetworkRun::WorkEnded() {
  for (const int timer : {net::kPollTimer, net::kSendCycleTimer, net::kSingleSendTimer, net::kCheckAllTimer,
                          net::kUpdateAllTimer}) {
    if (loop_.HasTimer(timer)) return false;
  }
  return commands_.conversation().socket() == net::kNoSocket;
}

void NetworkRun::Finished(int mailbox) {
  Judge(false);
  ended_ = mailbox;
  endText_.clear();
  errorsAtEnd_ = ports_.errorsShown;
  saved_ = ui::SaveAfterConversation(session_.home, session_.settings, session_.table, mailbox) && saved_;
}

void NetworkRun::Judge(bool normalEnd) {
  if (ended_ < 0) return;
  if (!normalEnd) failures_.push_back({ended_, endText_, ports_.errorsShown > errorsAtEnd_});
  ended_ = -1;
  endText_.clear();
}

bool NetworkRun::ReportFailures() const {
  for (const Failure& failure : failures_) {
    if (failure.shown) continue;
    const store::MailBox& box = *session_.table.boxes[static_cast<std::size_t>(failure.mailbox)];
    const platform::Text name = failure.mailbox == store::kOutboxIndex ? platform::Text("Outbox") : store::NameOrUntitled(box);
    std::fprintf(stderr, "zelk-cli: %s: %s\n", name.c_str(),
                 failure.error.empty() ? kNotStarted : failure.error.c_str());
  }
  for (const platform::Text& title : ports_.passwordsRefused) {
    std::fprintf(stderr, "zelk-cli: %s: No password: not started\n", title.c_str());
  }
  return !failures_.empty() || !ports_.passwordsRefused.empty();
}

}  // namespace zelk::cli
