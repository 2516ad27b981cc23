#pragma once
#include <string>

#include "config/settings.h"
#include "net/conversation.h"
#include "platform/clock.h"
#include "store/mailbox_table.h"
#include "ports/ports.h"

// Sending Outbox items through an account's SMTP server: greeting, HELO or EHLO, optional
// authentication (CRAM-MD5, LOGIN, PLAIN), then RSET, MAIL FROM, one RCPT TO per recipient, DATA
// and the message, and either the account's next item marked for sending or QUIT. A sent item is
// marked sent (5) and stays in the Outbox; an item whose sending failed in any way is marked
// failed (7), so that no send cycle picks it again until the user marks it anew. With SmtpTls
// STARTTLS the server must offer STARTTLS (RFC 3207) after a first EHLO; then the greeting starts
// over over TLS, and nothing is sent in clear but EHLO, STARTTLS and perhaps QUIT.
namespace zelk::smtp {

inline constexpr std::string_view kStartTlsNotOffered = "The server does not offer STARTTLS: no password was sent";
inline constexpr std::string_view kStartTlsRefused = "The server refused STARTTLS: no password was sent\n\n";

// What follows an accepted message.
enum class Continuation {
  kNextMarked,  // the account's next Outbox item marked for sending, on the same connection
  kQuitAfter,   // QUIT: the composer's "Send now" sends one message
};

// What sending needs besides the conversation. Every reference outlives the conversation.
struct SendParts {
  const config::Settings& settings;
  store::MailBoxTable& table;
  ports::ListViewPort& list;  // RedrawRow for an item marked sent or failed, while the Outbox is shown
  ports::ShellPort& shell;    // the wait cursor while a message goes out
  const platform::Clock& clock;
  // Where the Outbox file is written after each sent message with AutoSave 1 (the data
  // directory, ending in a separator: config::DataDirectoryPath).
  std::string dataDirectory;
  net::RowLocator rowOf;
};

// Opens a send conversation for an Outbox item through the SMTP server of the account its
// MailBoxName names (SmtpServer, SmtpPort, the address cached in SmtpAddr with IPCache); the
// conversation serves the Outbox. A password is asked for only with SmtpAuth 1, when the
// account's credentials hold none. False when a conversation exists already, when the prompt
// was cancelled (the item keeps its mark), or when the start failed with an error shown: "No
// account specified", "Destination not set", an address holding a control character, or an
// empty server name (the item is then marked failed). A lookup or connect that fails later ends
// the conversation, and the item is marked failed then.
[[nodiscard]] bool StartSend(net::Conversation& conversation, const store::ItemRef& item, Continuation mode,
                             const SendParts& parts);

}  // namespace zelk::smtp
