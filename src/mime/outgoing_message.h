#pragma once
#include <optional>
#include <string>

#include "mime/dates.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "store/mail_item.h"
#include "store/mailbox.h"

namespace zelk::mime {

// What shapes an outgoing message, taken from the settings of the same names.
struct OutgoingOptions {
  int sendDate = 1;                            // SendDate: 1 sends "Date:"
  int sendMessageId = 1;                       // SendMessageId: 1 makes and sends "Message-Id:"
  platform::Text bodyCharset = "ISO-8859-1";   // BodyCharset
  int bodyEncoding = 3;                        // BodyEncoding: 0 7bit, 1 8bit, 2 base64, 3 quoted-printable
  platform::Text headCharset = "ISO-8859-1";   // HeadCharset
  int headEncoding = 3;                        // HeadEncoding
  int encodeType = 0;                          // EncodeType: 1 puts attachment names in encoded words
  platform::Text timeZone;                     // TimeZone, for the Date header
  DatePictures datePictures;                   // DateFormat and TimeFormat, for the item's Date
};

// The whole text that follows DATA's 354 reply: header, body, and the "\r\n.\r\n" end marker, in
// the local code page (8-bit), with CR LF line ends only and every line that begins with "."
// dot-stuffed. The stored body's own doubled dots are undone first, so encoded bodies carry the
// text as written. Fills the item's From, Date (display form) and MessageId, so that the copy
// kept shows what was sent. Nothing, with `error` set, when the message cannot be built:
//   "Header field <name> holds a line break" (or "... holds a NUL character"): a header value
//     would cut its line; checked before anything of the item changes;
//   "Attached file was not found": a file is missing, not a regular file, or unreadable;
//   "Memory Allocation error".
std::optional<std::string> BuildMessageText(store::MailItem& item, const store::MailBox& account,
                                            const OutgoingOptions& options, const platform::Clock& clock,
                                            platform::Text& error);

}  // namespace zelk::mime
