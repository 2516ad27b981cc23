#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "store/mail_item.h"

// Header fields of a message as received (8-bit text, CR LF lines, the header block ending at the
// first empty line or at a line that is no field). Names include their colon ("Subject:") and
// match ignoring ASCII case.
namespace zelk::store {

// The header block of a message, found once (mime::FindHeaderBounds) so that each lookup walks
// only its lines.
struct HeaderBlock {
  std::string_view text;
};
HeaderBlock HeaderBlockOf(std::string_view raw);

// The first field of that name, unfolded as RFC 5322 unfolds: each CR LF inside is removed, the
// blank after it stays. Nothing when there is no such field.
std::optional<std::string> HeaderValue(HeaderBlock header, std::string_view name);
// Every field of that name in order, unfolded and joined with "," (no space).
std::optional<std::string> HeaderValues(HeaderBlock header, std::string_view name);
// The first (or, with all, every) field with its encoded words decoded, as Text; raw 8-bit text
// that is no UTF-8 is read in `fallbackCharset` (DecodeHeaderWords).
OptionalText DecodedHeader(HeaderBlock header, std::string_view name, bool all, std::string_view fallbackCharset);

// The first angle-bracket group of a value ("<" to the first ">" after it), or nothing.
std::optional<std::string> FirstAngleGroup(std::string_view value);

// The text by which a message is recognised on the server again: the Message-Id's angle-bracket
// group, else X-UIDL, else Date "." From. Read as it always was (the block up to the first empty
// line, each CR LF removed with the blank after it), since profiles hold keys made that way.
std::string MessageKey(std::string_view raw);

}  // namespace zelk::store
