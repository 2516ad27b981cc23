#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "codec/charset.h"
#include "mime/dates.h"
#include "store/header_fields.h"
#include "store/mailbox.h"

// Turning a message as received (the reply to TOP or RETR: 8-bit text, CR LF lines, no final ".")
// into the fields of a MailItem.
namespace zelk::store {

// What parsing needs from the settings and the moment.
struct ParseContext {
  std::int32_t localOffset = 540;  // minutes east of UTC, for the display date
  mime::DatePictures pictures;
  // ShowHeader, or an update started with Shift held: the header block stays in front of the body.
  bool keepHeader = false;
  // UndeclaredCharset: what raw 8-bit header text that is no UTF-8 is read in.
  std::string fallbackCharset = std::string(codec::kDefaultUndeclaredCharset);
};

// Fills the item from the raw text: decoded header fields, display date, size, message key,
// thread ids, and the body.
void ParseMessage(MailItem& item, std::string_view raw, const OptionalText& sizeText, const ParseContext& context);

// Stores the body (a text body decoded once) and makes the item held and unread. The body begins
// after the first empty line, or at the first line that is no header field when none comes first.
void SetBody(MailItem& item, std::string_view raw, bool keepHeader);

// The parent and one more ancestor of a message from its In-Reply-To and References fields.
struct ThreadIds {
  OptionalText inReplyTo;
  OptionalText references;
};
ThreadIds ThreadIdsOf(HeaderBlock header);

enum class StoreOutcome { kListed, kNotListed, kFailed };
struct StoredHeader {
  StoreOutcome outcome;
  ItemRef item;  // when listed
};
// A header fetched by a check: judged by the account's filters, made into an item and, unless a
// filter says otherwise, appended to the account.
StoredHeader StoreHeader(MailBox& account, MailBox& savebox, std::string_view raw, const OptionalText& sizeText,
                         const ParseContext& context);

}  // namespace zelk::store
