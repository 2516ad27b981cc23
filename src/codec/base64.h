#pragma once
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace zelk::codec {

// Base64 of RFC 2045. Decoding never rejects: every character outside the alphabet is skipped,
// and decoding stops at the first "=" (the padding) or at the end (a NUL ends the text).
// The result may hold zero bytes.
std::string Base64Decode(std::string_view text);
// One unbroken line with "=" padding; callers that need 76-character lines break it themselves.
std::string Base64Encode(std::string_view bytes);
// The text in the local code page, base64-encoded.
platform::Text Base64EncodeText(std::string_view text);

}  // namespace zelk::codec
