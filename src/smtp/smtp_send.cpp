// The SMTP send. An account with SmtpAuth 1 sending two marked items:
//   S: 220 mail.example.org ESMTP
//   C: EHLO example.org                 S: 250-mail.example.org / 250-AUTH LOGIN PLAIN / 250 8BITMIME
//   C: AUTH LOGIN bWU=                  S: 334 UGFzc3dvcmQ6
//   C: c2VjcmV0                         S: 235 Authentication successful   (shown as "Send password")
//   C: RSET                             S: 250
//   C: MAIL FROM:<me@example.org>       S: 250
//   C: RCPT TO:<you@example.net>        S: 250      (one per recipient: To, Cc, Bcc, copy to self)
//   C: DATA                             S: 354
//   C: header, body, "\r\n.\r\n"        S: 250      the item is marked sent
//   C: RSET                             S: 250      the next marked item of the same account ...
//   C: QUIT                             S: 221      (the server closes: a quiet end)
// With STARTTLS (RFC 3207) the conversation is secured first, and everything before it forgotten:
//   S: 220 mail.example.org ESMTP
//   C: EHLO example.org                 S: 250-mail.example.org / 250-STARTTLS / 250 8BITMIME
//   C: STARTTLS                         S: 220 Ready to start TLS
//   (the handshake)                     then as above from EHLO, whose answer now names AUTH
// A server that refuses EHLO gets HELO without authentication. Every reply may have "250-" lines
// before its last line; only the last one is judged.
#include "smtp/smtp_send.h"

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "codec/base64.h"
#include "compose/address_list.h"
#include "mime/outgoing_message.h"
#include "smtp/smtp_reply.h"
#include "store/mailbox_file.h"
#include "store/marks.h"

namespace zelk::smtp {

namespace {

// Conversation::step during a send, named after the reply awaited.
enum class SmtpStep : int {
  kDone = net::kQuitSent,  // QUIT is out: every further line is ignored
  kGreeting = 0,
  kEhloForAuth = 1,  // EHLO sent to learn the AUTH methods
  kCramChallenge = 2,
  kLoginPassword = 3,
  kHeloReply = 4,  // HELO or EHLO without AUTH, or the last AUTH step
  kRsetReply = 5,
  kMailFromReply = 6,
  kRcptLoop = 7,
  kDataReply = 8,
  kNextMarked = 10,  // the end of the message data, with the next marked item to follow
  kQuitAfter = 11,   // the end of the message data, with QUIT to follow
  kEhloForTls = 12,  // EHLO sent to learn whether STARTTLS is offered
  kStartTlsReply = 13,
};

mime::OutgoingOptions OptionsFrom(const config::Settings& settings) {
  mime::OutgoingOptions options;
  options.sendDate = settings.SendDate;
  options.sendMessageId = settings.SendMessageId;
  options.bodyCharset = settings.BodyCharset;
  options.bodyEncoding = settings.BodyEncoding;
  options.headCharset = settings.HeadCharset;
  options.headEncoding = settings.HeadEncoding;
  options.encodeType = settings.EncodeType;
  options.timeZone = settings.TimeZone;
  options.datePictures = {settings.DateFormat, settings.TimeFormat};
  return options;
}

// Marks the item sent or failed and redraws its row when the Outbox is the list shown.
void RecordResult(store::MailItem& item, bool sent, const SendParts& parts, bool shown) {
  store::MarkSendResult(item, sent);
  if (!shown) return;
  int row = -1;
  if (parts.rowOf) {
    row = parts.rowOf(item);
  } else {
    const std::vector<store::ItemRef>& items = store::Outbox(parts.table).Items;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i].get() == &item) row = static_cast<int>(i);
    }
  }
  if (row >= 0) parts.list.RedrawRow(row);
}

int IndexOf(const store::MailBoxTable& table, const store::MailBox& box) {
  for (std::size_t i = 0; i < table.boxes.size(); ++i) {
    if (table.boxes[i].get() == &box) return static_cast<int>(i);
  }
  return -1;
}

// The ProtocolHandler of a send. One per conversation; the item being sent is its current item
// until it has been accepted, and any end of the conversation before that marks it failed.
class SmtpSend final : public net::ProtocolHandler {
 public:
  SmtpSend(SendParts parts, store::MailBox& account, Continuation mode)
      : parts_(std::move(parts)), account_(account), mode_(mode) {}

  // Makes the item the current one and takes its sender and recipients. The error text when it
  // cannot be sent, else empty.
  platform::Text Take(store::ItemRef item);

  bool Line(net::Conversation& conversation, std::string_view line, platform::Text& error, store::MailBox& box,
            bool shown) override;
  bool Secured(net::Conversation& conversation, platform::Text& error, store::MailBox& box, bool shown) override;
  void Ended(bool shown) override;

 private:
  void Enter(net::Conversation& conversation, platform::Text& error, bool shown);
  bool Dispatch(std::string_view line, bool ok);
  bool Greeted();
  bool StartTlsOffered();
  bool Hello();
  bool Authenticate();
  bool SendPassword(std::string_view line);
  bool NextRecipient();
  bool SendMessage();
  bool Accepted();
  void Sent();

  bool Send(const platform::Text& command, SmtpStep next);
  bool Send(const platform::Text& command, const platform::Text& shown, SmtpStep next);
  // verb + ":<" + address + ">"
  bool SendPath(std::string_view verb, const platform::Text& address, SmtpStep next);
  bool Fail(platform::Text text);
  bool FailWithLine(std::string_view text, std::string_view line) { return Fail(net::WithServerLine(text, line)); }
  SmtpStep step() const { return static_cast<SmtpStep>(conversation_->step); }

  SendParts parts_;
  store::MailBox& account_;
  Continuation mode_;
  store::ItemRef item_;  // the current item; empty once it was dealt with
  bool auth_ = false;    // on the authentication path: EHLO for AUTH sent, or an AUTH exchange under way
  bool startTlsOffered_ = false;
  AuthMethod chosen_ = AuthMethod::kNone;
  // Taken with the item, so that what went through the checks is what goes out.
  platform::Text sender_;
  std::optional<platform::Text> helo_;
  std::vector<platform::Text> recipients_;
  std::size_t nextRecipient_ = 0;

  // Valid during one call of Line.
  net::Conversation* conversation_ = nullptr;
  platform::Text* error_ = nullptr;
  bool shown_ = false;
};

platform::Text SmtpSend::Take(store::ItemRef item) {
  item_ = std::move(item);
  const store::MailItem& mail = *item_;
  recipients_.clear();
  nextRecipient_ = 0;
  for (const store::OptionalText* field : {&mail.To, &mail.Cc, &mail.Bcc}) {
    // Empty elements ("a,,b", a trailing ", ") name nobody: a "RCPT TO:<>" would only be refused.
    if (field->has_value()) {
      for (platform::Text& address : compose::BareAddresses(**field)) recipients_.push_back(std::move(address));
    }
  }
  if (recipients_.empty()) return "Destination not set";
  sender_ = account_.MailAddress.value_or("");
  if (account_.MyAddr2Bcc == 1) {
    const platform::Text& self = account_.BccAddr && !account_.BccAddr->empty() ? *account_.BccAddr : sender_;
    for (platform::Text& address : compose::BareAddresses(self)) recipients_.push_back(std::move(address));
  }
  helo_ = HeloName(parts_.settings.SendHelo, sender_);
  // A line break in any of these would let the rest of the text pass as a command of its own.
  for (const platform::Text& address : recipients_) {
    if (HasControlCharacter(address)) return "Destination address holds a control character";
  }
  if (HasControlCharacter(sender_)) return "Mail address holds a control character";
  if (helo_ && HasControlCharacter(*helo_)) return "HELO name holds a control character";
  return {};
}

bool SmtpSend::Line(net::Conversation& conversation, std::string_view line, platform::Text& error, store::MailBox&,
                    bool shown) {
  if (conversation.step == net::kQuitSent) return true;
  Enter(conversation, error, shown);
  try {
    conversation.LogReceived(line);
    if (auth_ && step() == SmtpStep::kEhloForAuth) ParseAuthLine(line, chosen_);
    if (step() == SmtpStep::kEhloForTls && OffersStartTls(line)) startTlsOffered_ = true;
    const Reply reply = ReplyCode(line);
    if (reply.continuation) return true;
    return Dispatch(line, reply.ok());
  } catch (const std::bad_alloc&) {
    return Fail("Memory Allocation error");
  }
}

void SmtpSend::Enter(net::Conversation& conversation, platform::Text& error, bool shown) {
  conversation_ = &conversation;
  error_ = &error;
  shown_ = shown;
}

bool SmtpSend::Secured(net::Conversation& conversation, platform::Text& error, store::MailBox&, bool shown) {
  Enter(conversation, error, shown);
  try {
    // RFC 3207 4.2: the client MUST discard any knowledge obtained from the server before TLS.
    auth_ = false;
    return Hello();
  } catch (const std::bad_alloc&) {
    return Fail("Memory Allocation error");
  }
}

void SmtpSend::Ended(bool shown) {
  if (!item_) return;
  RecordResult(*item_, false, parts_, shown);
  item_.reset();
}

bool SmtpSend::Dispatch(std::string_view line, bool ok) {
  switch (step()) {
    case SmtpStep::kDone:
      return true;
    case SmtpStep::kGreeting:
      if (!ok) return FailWithLine("Response not analysed\n\n", line);
      return Greeted();
    case SmtpStep::kEhloForTls:
      // A server that knows no EHLO has no STARTTLS either.
      if (!ok || !startTlsOffered_) return Fail(platform::Text(kStartTlsNotOffered));
      return Send("STARTTLS\r\n", SmtpStep::kStartTlsReply);
    case SmtpStep::kStartTlsReply:
      if (ReplyCode(line).code != 220) return FailWithLine(kStartTlsRefused, line);
      // Nothing more is sent in clear, not even QUIT.
      return conversation_->StartTls(*error_);
    case SmtpStep::kEhloForAuth:
      if (ok) return Authenticate();
      // The server knows no EHLO: greet it again, without authentication this time.
      conversation_->step = static_cast<int>(SmtpStep::kGreeting);
      return Hello();
    case SmtpStep::kCramChallenge:
    case SmtpStep::kLoginPassword:
      if (!ok) {
        auth_ = false;
        return FailWithLine("Login to SMTP server failed\n\n", line);
      }
      return SendPassword(line);
    case SmtpStep::kHeloReply:
      if (ok) return Send("RSET\r\n", SmtpStep::kRsetReply);
      if (auth_) {
        auth_ = false;
        return FailWithLine("Login to SMTP server failed\n\n", line);
      }
      return FailWithLine("HELO failed\nPlease check address format\n\n", line);
    case SmtpStep::kRsetReply:
      if (!ok) return FailWithLine("RSET failed\n\n", line);
      return SendPath("MAIL FROM", sender_, SmtpStep::kMailFromReply);
    case SmtpStep::kMailFromReply:
      if (!ok) return FailWithLine("MAIL FROM failed\nPlease check address format\n\n", line);
      nextRecipient_ = 0;
      return NextRecipient();
    case SmtpStep::kRcptLoop:
      // A refused recipient stops the whole message: no partial delivery.
      if (!ok) return FailWithLine("RCPT TO failed\nPlease check destination address\n\n", line);
      return NextRecipient();
    case SmtpStep::kDataReply:
      if (!ok) return FailWithLine("DATA failed\n\n", line);
      return SendMessage();
    case SmtpStep::kNextMarked:
    case SmtpStep::kQuitAfter:
      if (!ok) return FailWithLine("Mail not sent\n\n", line);
      return Accepted();
  }
  return true;
}

bool SmtpSend::Greeted() {
  if (conversation_->tlsMode() != store::TlsMode::kStartTls) return Hello();
  if (sender_.empty() || !helo_) return Fail("Address format error");
  startTlsOffered_ = false;
  return Send("EHLO " + *helo_ + "\r\n", SmtpStep::kEhloForTls);
}

bool SmtpSend::Hello() {
  if (sender_.empty() || !helo_) return Fail("Address format error");
  platform::Text verb;
  SmtpStep next;
  if (account_.SmtpAuth == 1 && !auth_) {
    auth_ = true;
    chosen_ = AuthMethod::kNone;
    verb = "EHLO ";
    next = SmtpStep::kEhloForAuth;
  } else {
    auth_ = false;
    // RFC 3207 4.2: after STARTTLS the client SHOULD send EHLO.
    verb = parts_.settings.ESMTP == 1 || conversation_->secured() ? "EHLO " : "HELO ";
    next = SmtpStep::kHeloReply;
  }
  return Send(verb + *helo_ + "\r\n", next);
}

bool SmtpSend::Authenticate() {
  const AuthCredentials credentials = Credentials(account_);
  const platform::Text user = credentials.user.value_or("");
  // Without a user a LOGIN exchange would hand the password over where the user name belongs.
  if (user.empty()) return Fail("No username set");
  AuthMethod method = chosen_;
  switch (account_.SmtpAuthType) {
    case 0: break;
    case 2: method = AuthMethod::kLogin; break;
    case 3: method = AuthMethod::kPlain; break;
    default: method = AuthMethod::kCramMd5; break;
  }
  if (method == AuthMethod::kLogin) {
    // The user rides on the command as its initial response.
    return Send("AUTH LOGIN " + codec::Base64EncodeText(user) + "\r\n", SmtpStep::kLoginPassword);
  }
  if (method == AuthMethod::kPlain) {
    const platform::Text& password = conversation_->Password(credentials.savedPassword, credentials.typedPassword);
    if (password.empty()) return Fail("No password set");
    return Send("AUTH PLAIN " + PlainToken(user, password) + "\r\n", "AUTH PLAIN", SmtpStep::kHeloReply);
  }
  // CRAM-MD5 also when the server named no method at all.
  return Send("AUTH CRAM-MD5\r\n", "AUTH CRAM-MD5", SmtpStep::kCramChallenge);
}

bool SmtpSend::SendPassword(std::string_view line) {
  const AuthCredentials credentials = Credentials(account_);
  const platform::Text& password = conversation_->Password(credentials.savedPassword, credentials.typedPassword);
  if (password.empty()) return Fail("No password set");
  const platform::Text answer = step() == SmtpStep::kCramChallenge
                                    ? CramMd5Answer(line, credentials.user.value_or(""), password)
                                    : password;
  return Send(codec::Base64EncodeText(answer) + "\r\n", "Send password", SmtpStep::kHeloReply);
}

bool SmtpSend::NextRecipient() {
  if (nextRecipient_ < recipients_.size()) {
    return SendPath("RCPT TO", recipients_[nextRecipient_++], SmtpStep::kRcptLoop);
  }
  return Send("DATA\r\n", SmtpStep::kDataReply);
}

bool SmtpSend::SendMessage() {
  net::Conversation& conversation = *conversation_;
  conversation.SetStatus("Sending body...", 1);
  parts_.shell.SetWaitCursor(true);
  platform::Text error;
  const std::optional<std::string> text =
      mime::BuildMessageText(*item_, account_, OptionsFrom(parts_.settings), parts_.clock, error);
  // Header, body and the end marker in one call; the transport cuts it into slices.
  const bool sent = text && conversation.Send(*text) == 0;
  parts_.shell.SetWaitCursor(false);
  if (!text) return Fail(error);
  if (!sent) return Fail("Send error");
  const SmtpStep next = mode_ == Continuation::kNextMarked ? SmtpStep::kNextMarked : SmtpStep::kQuitAfter;
  conversation.step = static_cast<int>(next);
  return true;
}

bool SmtpSend::Accepted() {
  // Marked before anything else goes out, so that a failure from here on cannot mark failed a
  // message the server has taken.
  Sent();
  if (mode_ == Continuation::kQuitAfter) return net::Quit(*conversation_, *error_);
  const int next = store::NextSendMarkedFor(parts_.table, -1, IndexOf(parts_.table, account_));
  if (next < 0) return net::Quit(*conversation_, *error_);
  const platform::Text problem = Take(store::Outbox(parts_.table).Items[static_cast<std::size_t>(next)]);
  if (!problem.empty()) return Fail(problem);
  return Send("RSET\r\n", SmtpStep::kRsetReply);
}

void SmtpSend::Sent() {
  RecordResult(*item_, true, parts_, shown_);
  item_.reset();
  if (parts_.settings.AutoSave == 1) {
    // A failed write costs nothing the exit's save does not write again.
    (void)store::SaveMailBox(parts_.dataDirectory + store::kOutboxFile, store::Outbox(parts_.table), store::kSaveWithBodies);
  }
}

bool SmtpSend::Send(const platform::Text& command, SmtpStep next) { return Send(command, command, next); }

bool SmtpSend::Send(const platform::Text& command, const platform::Text& shown, SmtpStep next) {
  if (!net::SendCommand(*conversation_, platform::TextToLocal(command), shown, *error_)) return false;
  conversation_->step = static_cast<int>(next);
  return true;
}

bool SmtpSend::SendPath(std::string_view verb, const platform::Text& address, SmtpStep next) {
  return Send(platform::Text(verb) + ":<" + address + ">\r\n", next);
}

bool SmtpSend::Fail(platform::Text text) { return net::EndWithError(*conversation_, *error_, std::move(text)); }

}  // namespace

bool StartSend(net::Conversation& conversation, const store::ItemRef& item, Continuation mode, const SendParts& parts) {
  if (!item || conversation.socket() != net::kNoSocket) return false;
  const int index = store::FindMailBox(parts.table, item->MailBoxName);
  // The local folders have no server to send through.
  if (index < store::kFirstAccountIndex) {
    conversation.Refuse(store::kOutboxIndex, "No account specified");
    return false;
  }
  // The dial-up request for the account (RasCon 1) belongs here; a refusal ends the start with
  // conversation.Refuse(store::kOutboxIndex, "").
  store::MailBox& account = *parts.table.boxes[static_cast<std::size_t>(index)];
  auto handler = std::make_unique<SmtpSend>(parts, account, mode);
  if (const platform::Text problem = handler->Take(item); !problem.empty()) {
    // Before any prompt or connection: a message that cannot go needs no password.
    RecordResult(*item, false, parts, parts.table.selected == store::kOutboxIndex);
    conversation.Refuse(store::kOutboxIndex, problem);
    return false;
  }
  const AuthCredentials credentials = Credentials(account);
  const net::Endpoint endpoint{store::kOutboxIndex,   account,
                               account.SmtpServer,    account.SmtpPort,
                               account.SmtpAddr,      account.SmtpTls,
                               account.SmtpFingerprint, account.SmtpAuth == 1,
                               credentials.savedPassword, credentials.typedPassword};
  return conversation.Start(endpoint, net::ConversationKind::kSend, std::move(handler), false);
}

}  // namespace zelk::smtp
