#pragma once
#include <string_view>

#include "store/mail_item.h"

namespace zelk::compose {

// Where a "mailto:" text comes from. Only the user's own command line may name files to attach:
// a link in a received message (or an address taken from one) must not be able to send the
// user's files to a stranger.
enum class MailtoSource { kCommandLine, kReceivedMessage };

// Fills a new message from a "mailto:" URL (letter case of the scheme ignored) or, when the text
// is none, from the text taken whole as the To list. The address part before "?" sets To; the
// query's fields to, cc, bcc, replyto, subject, body, mailbox and attach (any letter case, blanks
// allowed around "=") set To, Cc, Bcc, ReplyTo, Subject, Body, MailBoxName and Attach,
// percent-decoded ("+" is a space), a later one replacing an earlier one; other fields are
// ignored, and so is attach from a received message. CR, LF and NUL are dropped from every field
// but the body, so that no value can start a header line of its own. The body is stored escaped,
// as the Outbox keeps bodies.
void ParseMailtoText(std::string_view text, store::MailItem& item, MailtoSource source);

}  // namespace zelk::compose
