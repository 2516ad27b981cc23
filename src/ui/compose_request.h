#pragma once
#include "store/mail_item.h"

namespace zelk::ui {

// A message the user asked to write from another window (the viewer, the address book, a
// link): what the composer is to open.
enum class ComposeKind { kNewMessage, kReply, kReplyToAll };

struct ComposeRequest {
  ComposeKind kind = ComposeKind::kNewMessage;
  // A new message as its addresses or "mailto:" link filled it, or a copy of the message answered.
  store::MailItem message;
  int shownMailbox = -1;  // a reply: the mailbox the answered message was shown from
};

}  // namespace zelk::ui
