#pragma once
#include <string_view>

#include "platform/code_page.h"

namespace zelk::compose {

// The form in which an edited body is stored in the Outbox and later sent: every "." that begins
// a line is doubled (the SMTP transparency the stored form keeps), and ">" goes before "from"
// (any letter case, "fromage" too) at the start of the text or after CR LF, so that no line of
// the message can be read as an mbox "From " separator. mime::UnescapeDots undoes the dots only.
platform::Text EscapeForSending(std::string_view text);

}  // namespace zelk::compose
