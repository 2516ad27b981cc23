#pragma once
#include <optional>
#include <string_view>
#include <vector>

#include "store/mail_item.h"
#include "store/mailbox_table.h"

// The Property dialog of a message being written, without its widgets: the account, To, Subject,
// "Quote text", and the "Cc, Bcc", "Attach" and "Other" pages, which work on a scratch copy that
// only the dialog's OK hands back to the message.
namespace zelk::compose {

inline constexpr char kNoAddressSet[] = "No mail address set";

// A one-line header field as typed: tabs become spaces, CR and LF go (a line break would cut
// the header it ends up in).
platform::Text OneLineText(std::string_view text);

// An account as the sender: "UserName <MailAddress>", the address alone without a name, empty
// without an address.
platform::Text SenderText(const store::MailBox& account);

// A page's button caption: "Attach", or "Attach *" while its page holds something.
platform::Text PageCaption(std::string_view caption, bool holdsSomething);

// "Cc, Bcc": one row per address list element, typed Cc or Bcc.
struct CopyRow {
  bool bcc = false;
  platform::Text address;
};
std::vector<CopyRow> CopyRowsOf(const store::OptionalText& cc, const store::OptionalText& bcc);
// "Add": every element of the typed text becomes a row of the type. False when the text holds
// no element (kNoAddressSet).
bool AddCopyRows(std::vector<CopyRow>& rows, std::string_view typed, bool bcc);
// OK: the rows of one type joined by ",\r\n " in list order; absent without a row of that type.
store::OptionalText JoinCopyRows(const std::vector<CopyRow>& rows, bool bcc);

// "Attach": full paths, in the order they are sent; empty pieces of the list are passed over.
std::vector<platform::Text> AttachPaths(const store::OptionalText& attach);
// A path already in the list (letter case ignored) moves to the end.
void AddAttachPath(std::vector<platform::Text>& paths, const platform::Text& path);
store::OptionalText JoinAttachPaths(const std::vector<platform::Text>& paths);

// What the dialog edits; the pages' fields are the scratch copy.
struct PropertyValues {
  int account = 0;  // position among AccountChoices
  platform::Text to;
  platform::Text subject;
  bool quoteShown = false;  // a reply to a message with a body
  bool quote = false;
  store::OptionalText cc, bcc, attach, replyTo;
};

// The accounts in table order; an unnamed one shows as "Untitled".
std::vector<platform::Text> AccountChoices(const store::MailBoxTable& table);
// The message's account, else the account shown in the main list, else the first.
PropertyValues PropertyValuesOf(const store::MailItem& item, const store::MailBoxTable& table, bool quoteShown,
                                bool autoQuotation);
// OK: the account's Name and its SenderText as From, To and Subject as one line each, the pages' copy,
// Multipart from Attach; for a reply the quoting flag in Mark.
void ConfirmPropertyValues(store::MailItem& item, const PropertyValues& values, const store::MailBoxTable& table);

}  // namespace zelk::compose
