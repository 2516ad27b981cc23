#pragma once
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace zelk::codec {

// "%" and two hex digits give a byte, "+" gives a space. A "%" not followed by two hex digits
// is kept as it stands.
std::string PercentDecode(std::string_view text);
// Letters and digits stay; every other byte, "-", ".", "_" and "~" included, becomes "%XX".
std::string PercentEncode(std::string_view bytes);
// The text in the local code page, percent-decoded, and back to Text.
platform::Text PercentDecodeText(std::string_view text);

}  // namespace zelk::codec
