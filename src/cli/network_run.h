#pragma once
#include <memory>
#include <vector>

#include "cli/interruption.h"
#include "cli/session.h"
#include "cli/terminal_ports.h"
#include "ui/network_commands.h"
#include "net/conversation_log.h"
#include "net/dial_up.h"
#include "net/nmcli_link.h"
#include "platform/event_loop.h"

namespace zelk::cli {

// A conversation that did not end with the server's close after QUIT.
struct Failure {
  int mailbox = -1;
  platform::Text error;      // what the status bar showed for it; empty when it ended quietly
  bool shown = false;  // an error box printed it already
};

// The network commands as one zelk-cli command runs them: the terminal's ports, the dial-up gate
// the profile asks for, SIGINT and SIGTERM as Stop, and each mailbox written as soon as its
// conversation is over, so a crash later in the run loses nothing fetched.
class NetworkRun {
 public:
  explicit NetworkRun(Session& session);
  NetworkRun(const NetworkRun&) = delete;
  NetworkRun& operator=(const NetworkRun&) = delete;

  TerminalPorts& ports() { return ports_; }
  ui::NetworkCommands& commands() { return commands_; }

  // Runs the loop until the started work has ended: no cycle, no conversation, no end processing.
  void Run();
  bool interrupted() const { return interruption_.interrupted(); }
  const std::vector<Failure>& failures() const { return failures_; }
  // False when a file written after a conversation could not be written.
  bool saved() const { return saved_; }
  // Prints the failures no error box printed (those a cycle went on past, and the unanswered
  // password prompts); true when there were any.
  bool ReportFailures() const;

 private:
  bool WorkEnded();
  void Finished(int mailbox);
  // Decides the last ended conversation's outcome, if it is still open.
  void Judge(bool normalEnd);

  Session& session_;
  platform::PollEventLoop loop_;
  TerminalPorts ports_;
  TerminalWindow window_;
  store::NoSelector selector_;
  net::ConversationLog log_;
  std::unique_ptr<net::NmcliLink> link_;
  std::unique_ptr<net::DialUpGate> dialUp_;
  ui::NetworkCommands commands_;
  Interruption interruption_;

  int ended_ = -1;  // the mailbox whose outcome is still open
  platform::Text endText_;
  int errorsAtEnd_ = 0;
  std::vector<Failure> failures_;
  bool saved_ = true;
};

}  // namespace zelk::cli
