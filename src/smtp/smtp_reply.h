#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "store/mailbox.h"

// The parts of sending mail that depend on their input alone: how a server's reply reads, which
// AUTH method it offers, the authentication answers, whose credentials log in, and what may go
// into a command line.
namespace zelk::smtp {

struct Reply {
  bool continuation = false;  // "250-...": more lines of the same reply follow
  int code = 400;
  bool ok() const { return code >= 200 && code < 400; }
};

// "250-..." (a "-" fourth) is a continuation line. Otherwise the code is the line's first three
// characters when they are digits; a line without such a code counts as 400, a failure.
// 2xx and 3xx replies succeed.
Reply ReplyCode(std::string_view line);

// The AUTH methods, best first. kNone: the server named none of them.
enum class AuthMethod : int { kCramMd5 = 0, kLogin = 1, kPlain = 2, kNone = 99 };

// One line of the reply to EHLO. An AUTH line ("250-AUTH LOGIN PLAIN" or "250-AUTH=LOGIN PLAIN")
// lowers `chosen` to the best method it names (words are compared by their beginning, letter
// case ignored), so over all the lines of a reply the best method named anywhere wins. Other
// lines leave `chosen` alone.
void ParseAuthLine(std::string_view line, AuthMethod& chosen);

// Whether one line of the reply to EHLO offers STARTTLS ("250-STARTTLS", "250 STARTTLS").
bool OffersStartTls(std::string_view line);

// The CRAM-MD5 answer to a "334 <base64 challenge>" line: the user, a space, and the HMAC-MD5 of
// the challenge keyed with the password (local code page) in 32 lower-case hex digits. The
// caller sends it base64-encoded.
platform::Text CramMd5Answer(std::string_view challengeLine, const platform::Text& user,
                             const platform::Text& password);

// AUTH PLAIN's initial response: base64 of NUL, user, NUL, password (local code page), with no
// authorisation identity.
std::string PlainToken(const platform::Text& user, const platform::Text& password);

// Whose credentials SMTP authentication uses: SmtpUser with SmtpPass (or SmtpTmpPass) when
// AuthUserPass is 1, else the POP3 User with Pass (or TmpPass).
struct AuthCredentials {
  const store::OptionalText& user;
  const store::OptionalText& savedPassword;
  store::OptionalText& typedPassword;  // where a password typed at the prompt is kept for the run
};
AuthCredentials Credentials(store::MailBox& account);

// The name HELO and EHLO give: SendHelo when set, else what follows the first "@" of the mail
// address; nothing when neither gives one.
std::optional<platform::Text> HeloName(const platform::Text& sendHelo, const platform::Text& mailAddress);

// A byte below 0x20, or DEL: nothing a command may carry, since CR LF would end the command
// early and let the rest of the text pass as a command of its own.
bool HasControlCharacter(std::string_view text);

}  // namespace zelk::smtp
