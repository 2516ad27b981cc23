#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "store/mail_item.h"

// Header fields of a message as received (8-bit text, CR LF lines, the header block ending at the
// first empty line). Names include their colon ("Subject:") and match ignoring ASCII case.
namespace zelk::store {

// The first field of that name, unfolded: each CR LF inside is removed with the one space or tab
// after it. Nothing when there is no such field.
std::optional<std::string> HeaderValue(std::string_view raw, std::string_view name);
// Every field of that name in order, unfolded and joined with "," (no space).
std::optional<std::string> HeaderValues(std::string_view raw, std::string_view name);
// The first (or, with all, every) field with its encoded words decoded, as Text.
OptionalText DecodedHeader(std::string_view raw, std::string_view name, bool all);

// The first angle-bracket group of a value ("<" to the first ">" after it), or nothing.
std::optional<std::string> FirstAngleGroup(std::string_view value);

// The text by which a message is recognised on the server again: the Message-Id's angle-bracket
// group, else X-UIDL, else Date "." From.
std::string MessageKey(std::string_view raw);

}  // namespace zelk::store
