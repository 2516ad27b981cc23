#pragma once
#include <string_view>

#include "platform/code_page.h"
#include "store/mailbox.h"

// What the settings windows' fields accept, whatever window shows them.
namespace zelk::config {

// Single-line fields of the account pages, the SMTP-AUTH dialog, the filter rule dialog and the
// quotation mark hold at most this many characters (UTF-16 units, as the user counts them).
inline constexpr std::size_t kFieldLimit = 254;

// The text cut to kFieldLimit units, never inside a character.
platform::Text CutField(std::string_view text);

// The text a field shows for a value (none shows empty).
platform::Text FieldText(const store::OptionalText& value);

}  // namespace zelk::config
