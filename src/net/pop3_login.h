#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "net/conversation.h"
#include "net/pop3_pipeline.h"
#include "store/mailbox.h"

// The POP3 login (USER/PASS or APOP) and the few command helpers that the check and the update
// both use, so that both log in, quit and fail in exactly the same way.
namespace zelk::net {

// The login's steps, as Conversation::step holds them in both POP3 handlers, whose own steps
// take other numbers.
enum class LoginStep : int {
  kGreeting = 0,
  kUserReply = 1,
  kPasswordReply = 2,
  kCapaReply = 20,          // CAPA sent to learn whether STLS is offered
  kCapaList = 21,           // the capabilities, STLS not among them so far
  kCapaListWithStls = 22,   // the capabilities, STLS among them
  kStlsReply = 23,
  kCapabilitiesReply = 24,  // CAPA sent after the login, for what the handler may use
  kCapabilitiesList = 25,
};
bool IsLoginStep(int step);

enum class LoginState {
  kGoingOn,   // a command went out; the next line is its reply
  kLoggedIn,  // the server accepted the password: the handler sends its first command
  kEnded,     // the conversation must end now: `error` holds the text, QUIT went out if it could
};

// One received line while Conversation::step is a LoginStep. With `socLog` the greeting and the
// replies are shown and logged.
//   S: +OK ready <1896.697170952@host>
//   C: USER me   S: +OK   C: PASS secret   S: +OK      (shown and logged as "PASS ****")
//   C: APOP me c4c9334bac560ecc979e58001b3e22fb   S: +OK   (with APOP 1, shown as "APOP ****")
// With STLS (RFC 2595) the login waits for TLS, and a server that does not take it never sees it:
//   S: +OK ready   C: CAPA   S: +OK / USER / STLS / .   C: STLS   S: +OK
//   (the handshake; then LoginSecured)   C: USER me ...
// Ends with "Response not analysed\n\n", "No username set", "No password set", "Server does not
// accept APOP", "Account was not accepted\n\n", "Username or password error\n\n", kStlsNotOffered,
// kStlsRefused (texts ending in "\n\n" carry the server's line), "Send error", or the
// conversation's refusal of data sent ahead of the handshake.
[[nodiscard]] LoginState LoginLine(Conversation& conversation, std::string_view line, const store::MailBox& box,
                                   bool socLog, platform::Text& error);
// After the STLS handshake: the login goes on with USER. The greeting's APOP timestamp came
// before TLS, where anyone could have changed it, so APOP ends with kApopNeedsImplicitTls.
[[nodiscard]] LoginState LoginSecured(Conversation& conversation, const store::MailBox& box, platform::Text& error);

inline constexpr std::string_view kStlsNotOffered = "The server does not offer STLS: no password was sent";
inline constexpr std::string_view kStlsRefused = "The server refused STLS: no password was sent\n\n";
inline constexpr std::string_view kApopNeedsImplicitTls =
    "APOP cannot follow STLS, whose greeting came unprotected: use USER/PASS or implicit TLS";

// A reply is positive when it begins with "+OK" in any case.
bool IsPositive(std::string_view line);
// A count, size or message number as POP3 gives it: plain digits within the int range. Signs,
// other characters and values that do not fit are not numbers a server could mean.
std::optional<int> PlainNumber(std::string_view word);
// The greeting's last "<" and the last ">" after it, both included; nothing without them.
std::optional<std::string_view> ApopTimestamp(std::string_view greeting);
// MD5 of the timestamp followed by the password (local code page), as 32 lower-case hex digits.
std::string ApopDigest(std::string_view timestamp, std::string_view password);

// A line after QUIT: its "+OK" or "-ERR" goes to the status bar and the log, nothing else.
void QuitSentLine(Conversation& conversation, std::string_view line);

// What the server offers after the login (RFC 2449 CAPA); a server that refuses CAPA offers nothing.
struct Pop3Capabilities {
  bool pipelining = false;
  bool uidl = false;
};

// What both POP3 conversations share: the context of the line being handled, the login steps,
// CAPA after the login (except for a login alone), the commands sent ahead with PIPELINING, and
// out of memory ending the conversation with "Memory Allocation error".
class Pop3Handler : public ProtocolHandler {
 public:
  bool Line(Conversation& conversation, std::string_view line, platform::Text& error, store::MailBox& box,
            bool shown) final;
  bool Secured(Conversation& conversation, platform::Text& error, store::MailBox& box, bool shown) final;

 protected:
  explicit Pop3Handler(bool socLog) : socLog_(socLog) {}
  // The conversation's own steps, with the context below set.
  virtual bool Dispatch(std::string_view line) = 0;
  // Ends the conversation with an error text, after the handler's own tidying.
  virtual bool Fail(platform::Text text) = 0;
  // The first step after the server accepted the password.
  virtual bool LoggedIn() = 0;

  // Valid during one call of Line.
  Conversation* conversation_ = nullptr;
  store::MailBox* box_ = nullptr;
  platform::Text* error_ = nullptr;
  bool shown_ = false;

  Pop3Capabilities capabilities_;
  // Every command after the login goes through it, sent ahead or not.
  Pop3Pipeline pipeline_;

 private:
  bool CapabilityLine(std::string_view line);
  // Sets the context above for one call from the conversation.
  void Enter(Conversation& conversation, platform::Text& error, store::MailBox& box, bool shown);
  bool GoOn(LoginState state);
  bool socLog_;
};

}  // namespace zelk::net
