#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "config/settings.h"
#include "net/connect_attempts.h"
#include "net/conversation_log.h"
#include "net/host_lookup.h"
#include "net/tcp_connection.h"
#include "net/tls_connection.h"
#include "net/transport.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "store/mailbox_table.h"
#include "ports/ports.h"

// The one network conversation that may exist at a time: it prompts for a missing password,
// resolves and connects, hands every received line to the conversation's protocol handler, ends
// stuck conversations after the inactivity time-out, shows errors, writes the status bar and the
// log, and carries out Stop.
namespace zelk::net {

// The program's timers, by the numbers the whole program knows them under.
inline constexpr int kPollTimer = 1;  // here: the end processing after a conversation closed
inline constexpr int kSendCycleTimer = 2;
inline constexpr int kSingleSendTimer = 3;
inline constexpr int kCheckAllTimer = 4;
inline constexpr int kUpdateAllTimer = 5;
inline constexpr int kAutoCheckTimer = 6;
inline constexpr int kTimeoutTimer = 7;
inline constexpr int kDialWaitTimer = 10;

inline constexpr int kNoSocket = -1;   // no conversation
inline constexpr int kPreparing = 0;   // password prompt, lookup, connecting
inline constexpr int kQuitSent = -1;   // the step once QUIT is out: the server's close is the end

class Conversation;

// The row that shows an item in the displayed list, or -1. A front-end answers from its list
// model; left empty, rows are taken to follow mailbox order.
using RowLocator = std::function<int(const store::MailItem&)>;

// One kind of conversation (POP3 check, POP3 update, SMTP send).
class ProtocolHandler {
 public:
  virtual ~ProtocolHandler() = default;
  // One received line without its CR LF. True: go on. False: the conversation ends now, with
  // `error` shown when it is not empty. `shown` says the mailbox is the one the list shows.
  // To finish, a handler sends QUIT, sets the step to kQuitSent and answers true.
  virtual bool Line(Conversation& conversation, std::string_view line, platform::Text& error, store::MailBox& box,
                    bool shown) = 0;
  // After STLS or STARTTLS (Conversation::StartTls): the handshake is over and the certificate
  // accepted. What the server said before it counts for nothing now; the handler goes on as after
  // a greeting. As for Line, false ends the conversation with `error` shown.
  virtual bool Secured(Conversation& conversation, platform::Text& error, store::MailBox& box, bool shown) = 0;
  // The conversation is over, however it ended: QUIT answered by the close, an error, the
  // time-out, Stop, or a start that failed once the handler was installed. Called once, just
  // before the handler is dropped; `shown` as for Line.
  virtual void Ended(bool /*shown*/) {}
};

// What the command layer does when network work ends: cycles, follow-up updates and checks, the
// new-mail notice, dial-up, the list's re-sort. The defaults do nothing.
class WorkHooks {
 public:
  virtual ~WorkHooks() = default;
  // With CheckEndExec: starts an update of the account that was just checked, if it has marks.
  virtual bool UpdateAfterCheck(int /*mailbox*/) { return false; }
  // With CheckAfterUpdate: checks the account again after an update.
  virtual void CheckAgain(int /*mailbox*/) {}
  virtual void NotifyNewMail(int /*count*/) {}
  virtual bool Dialing() const { return false; }
  virtual void HangUp() {}
  virtual void ResortShownList() {}
  virtual void ShowCounts() {}
  virtual bool MainWindowInFront() const { return false; }
  // A conversation with `mailbox` is over, however it ended; its handler is gone.
  virtual void ConversationEnded(int /*mailbox*/) {}
};

// Run-wide flags that the command layer owns and the conversation reads or clears.
struct RunFlags {
  bool cycleRunning = false;
  bool cycleBusy = false;
  bool updateOrSend = false;  // the user's command updated or sent: end sound, CheckAfterUpdate
  bool autoCheck = false;
  bool shift = false;
  bool messageBoxShowing = false;
  bool newMailIconShowing = false;
  bool listChanged = false;
  int newMailCount = -1;  // -1: no check is being counted
};

enum class ConversationKind { kCheck, kUpdate, kSend };

// Where a conversation connects, and the password it may need. A check or an update talks to its
// account's POP3 server; a send serves the Outbox through the SMTP server of another account.
struct Endpoint {
  int mailbox;                    // the mailbox served: the account itself, or the Outbox
  const store::MailBox& account;  // whose name titles the password prompt
  const store::OptionalText& server;
  int port;
  std::string& cachedAddress;     // the address that last worked, as text; reused with IPCache 1
  store::TlsMode tls;
  const store::OptionalText& fingerprint;  // pinned: accepted instead of the store's authorities

  bool needsPassword;             // when false no password is ever asked for
  const store::OptionalText& savedPassword;
  store::OptionalText& typedPassword;  // typed with "Do not save password" ticked: kept for the run
};

struct ConversationParts {
  platform::EventLoop& loop;
  ports::DialogPort& dialogs;
  ports::StatusPort& status;
  ports::ShellPort& shell;
  WorkHooks& hooks;
  const ConversationLog& log;
  const platform::Clock& clock;
  Resolver resolver = SystemResolver;  // runs on a worker thread
};

class Conversation final : public LineSink, public TlsEvents {
 public:
  Conversation(ConversationParts parts, const config::Settings& settings, store::MailBoxTable& table);
  ~Conversation() override;
  Conversation(const Conversation&) = delete;
  Conversation& operator=(const Conversation&) = delete;

  // Opens a conversation: password prompt when both passwords are empty, log header, handler,
  // time-out, then the address (the cached one with IPCache 1, a literal one as it stands, else a
  // lookup on a worker thread) and the connect, both finishing later on the event loop. False when
  // a conversation exists already, the prompt was cancelled or the server name is empty (the
  // error is then shown); a lookup or connect that fails later ends the conversation with its
  // error shown. A cancelled send also ends the work it belonged to, so that a send cycle stops.
  // A send sets the update-or-send flag.
  bool Start(const Endpoint& endpoint, ConversationKind kind, std::unique_ptr<ProtocolHandler> handler,
             bool loginOnly);
  // The same with the account's own POP3 server (Server, Port, PopAddr, PopTls, PopFingerprint)
  // and password (Pass, TmpPass).
  bool Start(int mailbox, ConversationKind kind, std::unique_ptr<ProtocolHandler> handler, bool loginOnly);
  // For a start command that gives up before a conversation exists: the end processing for
  // `mailbox` (a running cycle stops unless its errors are ignored), then `error` shown, when not
  // empty. Does nothing while a conversation exists.
  void Refuse(int mailbox, const platform::Text& error);
  // The Stop command: RSET and QUIT once the server has been answered, else an immediate close.
  void Stop();
  // The end of the program: an open conversation is cut short (the cycles' timers killed, RSET
  // and QUIT sent without waiting, the connection closed); a lookup or connect under way is
  // dropped. True when a connection was open.
  bool CutShort();
  // While the dial-up request before a conversation waits, the network counts as busy (socket
  // 0): no command or cycle tick starts a conversation meanwhile.
  void MarkDialing(bool dialing);
  // Mailbox `index` has left the table: the mailbox served, if later, moved down by one.
  void MailboxDeleted(int index);

  // For handlers.
  int socket() const { return socket_; }
  int step = 0;
  bool loginOnly() const { return loginOnly_; }
  int mailbox() const { return mailbox_; }
  // The account's POP3 password: Password(Pass, TmpPass).
  const platform::Text& Password(const store::MailBox& box) const;
  // The saved password, else the one kept from an earlier prompt, else the one typed at this
  // conversation's prompt with "Do not save password" cleared.
  const platform::Text& Password(const store::OptionalText& saved, const store::OptionalText& typed) const;
  // How the account's server is to be secured, and whether TLS is in place now.
  store::TlsMode tlsMode() const { return tlsMode_; }
  bool secured() const { return tls_ == TlsPhase::kSecured; }
  // For a handler whose command to begin TLS (STLS, STARTTLS) the server has just accepted: the
  // handshake starts once the handler's Line returns, and the handler's Secured follows it. A
  // server that has sent more than its answer may be a man in the middle planting commands
  // (CVE-2011-0411): false with `error`, for the handler to end the conversation with, unsent.
  [[nodiscard]] bool StartTls(platform::Text& error);
  // 0 when the command is on its way (queued behind what the server has not taken yet), -1 when
  // the connection has failed.
  int Send(std::string_view command);
  void SetStatus(const platform::Text& text, int part);
  void LogReceived(std::string_view line);
  // What follows the last conversation of a command: hang-up, command states, tray, re-sort, end
  // sound. The conversation runs it itself except where a cycle passes its last mailbox.
  void EndOfWork();
  RunFlags flags;
  // The window is narrower than 450 pixels: status texts go without the account's name.
  bool compactLayout = false;

  // The length of a minute for the time-out, so tests need not wait minutes.
  void SetMinuteForTesting(std::chrono::milliseconds minute) { minute_ = minute; }

  // ConnectionEvents, for the connection only.
  void Readable() override;
  void SendProgressed() override;
  void SendFailed() override;
  void Secured(const std::string& description) override;
  void HandshakeFailed(const platform::Text& error) override;

 private:
  enum class TlsPhase { kPlain, kHandshaking, kSecured };

  bool LineReceived(std::string_view line) override;

  void Connect(std::vector<IpAddress> addresses);
  void OnLookedUp(LookupOutcome outcome, std::vector<IpAddress> addresses);
  void OnConnected(std::optional<ConnectAttempts::Winner> winner, const platform::Text& error);
  // The handshake over the connected socket `fd`, for implicit TLS or after STLS/STARTTLS.
  void BeginTls(int fd);
  // A lookup or connect under way.
  bool Opening() const { return lookup_ || attempts_; }
  // The server's close after QUIT: the normal end, whose processing follows at once.
  void ClosedAfterQuit(int mailbox);
  void RunEndProcessing();
  void OnTimeout();
  void ArmTimeout();
  void CloseSocket();
  void DropHandler(int index);
  void EndConversation(int index);
  // Ends the conversation with the error shown, or quietly when there is none.
  void EndWith(int mailbox, const platform::Text& error);
  void ShowConversationError(const platform::Text& text, int index);
  store::MailBox& Box(int index) { return *table_.boxes[static_cast<std::size_t>(index)]; }

  ConversationParts parts_;
  const config::Settings& settings_;
  store::MailBoxTable& table_;
  LineTransport transport_;
  std::unique_ptr<HostLookup> lookup_;
  std::unique_ptr<ConnectAttempts> attempts_;
  std::unique_ptr<Connection> connection_;  // TcpConnection while tls_ is kPlain, else TlsConnection
  std::string* cachedAddress_ = nullptr;  // where the address that connected is kept
  int port_ = 0;
  store::TlsMode tlsMode_ = store::TlsMode::kNone;
  TlsPeer peer_;
  TlsPhase tls_ = TlsPhase::kPlain;
  bool tlsAccepted_ = false;  // the handler's StartTls, carried out once its Line returns
  std::unique_ptr<ProtocolHandler> handler_;
  int socket_ = kNoSocket;
  int mailbox_ = -1;
  bool loginOnly_ = false;
  bool markedDialing_ = false;  // socket 0 stands for a dial-up request, not a conversation
  platform::Text oneTimePassword_;  // typed with "Do not save password" cleared: this conversation only
  std::chrono::milliseconds minute_{60'000};
};

// Helpers every protocol handler uses, so that all of them send, quit and fail alike.

// An error text followed by the server's line, at most 255 UTF-16 units in all.
platform::Text WithServerLine(std::string_view text, std::string_view line);
// Shows and logs `shown` where the status bar tells what the network does, then sends `command`.
// False with "Send error".
[[nodiscard]] bool SendCommand(Conversation& conversation, std::string_view command, const platform::Text& shown,
                               platform::Text& error);
// The normal end: QUIT shown, logged and sent; the server's close then ends the conversation
// quietly. False with "Send error" when it could not be sent.
[[nodiscard]] bool Quit(Conversation& conversation, platform::Text& error);
// The error end: QUIT sent without being shown, `error` := text. Always false, for the handler
// to return.
bool EndWithError(Conversation& conversation, platform::Text& error, platform::Text text);

}  // namespace zelk::net
