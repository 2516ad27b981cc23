#pragma once
#include <string_view>

#include "config/settings.h"
#include "store/mail_item.h"
#include "store/mailbox_table.h"

// How a reply is derived from the message it answers, and the body every new message starts with.
namespace zelk::compose {

// Fills the reply's MailBoxName, To, InReplyTo, References, Subject and, with replyToAll, Cc.
// shownMailbox is the table index of the mailbox the answered message is shown in: an account
// gives its name; from the Savebox or the Outbox the answered message's own MailBoxName is kept.
// To is the answered message's ReplyTo, else its From. The subject loses one leading ReSubject
// (or "Re:") before ReSubject is put in front again, so "Re: Re: x" keeps its inner "Re: ".
// The reply-to-all Cc holds the elements of the answered message's To, Cc and (when it has a
// ReplyTo) From whose address is neither the reply account's own nor the reply's first To.
void PrepareReply(store::MailItem& reply, const store::MailItem& answered, int shownMailbox, bool replyToAll,
                  const store::MailBoxTable& table, const config::Settings& settings);

// Sets the body a new message or reply starts with. With quote and an answered message that has
// a body: ReHeader expanded, then the answered message's display text quoted with
// QuotationChar; then "\r\n" and the account's Signature when it has one. Without an answered
// message (or without quote) only "\r\n" and the signature, or no body at all. The body is
// stored escaped as the Outbox keeps bodies (EscapeForSending), so that the composer, which
// shows UnescapeDots of it, shows a line beginning with "." as it was.
void BuildReplyBody(store::MailItem& reply, const store::MailItem* answered, bool quote,
                    const store::MailBoxTable& table, const config::Settings& settings);

// The reply header template with the answered message's fields put in: %f From, %t To, %c Cc,
// %b Bcc, %d Date, %s Subject, %i Message-Id (only a real one, in angle brackets), either letter
// case; %% is "%". Any other "%" pair, and a "%" at the end, is dropped; an absent field is empty.
platform::Text ExpandReplyHeader(std::string_view pattern, const store::MailItem& answered);

// Puts the quotation mark before every line of the text (empty lines too), ending with CR LF;
// trailing line ends of the text are dropped first. An empty mark returns the text unchanged.
platform::Text QuoteText(std::string_view text, std::string_view quotationMark);

}  // namespace zelk::compose
