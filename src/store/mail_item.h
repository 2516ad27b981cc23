#pragma once
#include <memory>
#include <optional>
#include <string>

#include "platform/code_page.h"

namespace zelk::store {

using platform::Text;
// A text field that may be absent: an absent field writes no line in a mailbox file, an empty one does.
using OptionalText = std::optional<Text>;

// What is known of a message.
inline constexpr int kStatusHeaderOnly = 0;  // also: not yet sent (Outbox)
inline constexpr int kStatusUnread = 1;
inline constexpr int kStatusRead = 2;
inline constexpr int kStatusSent = 5;
inline constexpr int kStatusSendFailed = 7;

// The user's marks. Without a mark, Mark equals Status; Mark is also the list icon.
inline constexpr int kMarkDownload = 3;
inline constexpr int kMarkDelete = 4;
inline constexpr int kMarkSend = 6;
inline constexpr int kMarkRemove = -1;  // transient: chosen for removal from the list, never stored

// One message, or one address-book entry (To = address, Subject = comment).
struct MailItem {
  int No = 0;  // number on the POP3 server when the header was fetched; 0 for local mail
  int Mark = 0;
  int Status = 0;
  int ThreadOrder = 0;  // thread view scratch, never stored
  int ThreadNext = 0;   // in item 0 non-zero also means "thread order is up to date"
  int ThreadDepth = 0;
  int New = 0;       // found by the latest check of its account
  int Download = 0;  // 1 when the whole message is held, 0 when only the header and first lines
  int Multipart = 0;
  int EditWindow = 0;   // the composer editing this Outbox item, 0 for none
  int EditProcess = 0;  // the external editor's process, 0 for none

  OptionalText From;
  OptionalText To;
  OptionalText Cc;
  OptionalText Bcc;
  OptionalText Date;  // always the display form
  OptionalText Size;  // decimal text
  OptionalText Subject;
  OptionalText ReplyTo;
  OptionalText ContentType;
  OptionalText Encoding;
  OptionalText MessageId;
  OptionalText UIDL;  // the message's own X-UIDL header
  // The server's unique id (POP3 UIDL) when the check could ask for it: the one identity that
  // survives renumbering on every server, X-UIDL header or not.
  OptionalText ServerUidl;
  OptionalText InReplyTo;
  OptionalText References;
  OptionalText Body;  // CR LF lines; a line beginning with "." carries one extra "."
  OptionalText MailBoxName;
  OptionalText Attach;  // files to attach, joined by U+00A0
  // The Content-Disposition of a single-part message: a file sent alone is offered under its name.
  OptionalText Disposition;
};

// Items are shared between a mailbox and a composer that edits one: removing the item from its
// mailbox leaves it alive for as long as the composer holds it.
using ItemRef = std::shared_ptr<MailItem>;

}  // namespace zelk::store
