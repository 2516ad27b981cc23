#pragma once
#include <string_view>

#include "platform/code_page.h"

// Passwords are not kept readable in the profile: they are XORed with the MD5 digest of a key
// text (the account's user name) and stored as "=" + base64. This hides them from a casual look,
// nothing more.
namespace zelk::config {

platform::Text EncodePassword(std::string_view keyText, std::string_view plain);
// Also reads the older form without "=": base64 of the inverted bytes.
platform::Text DecodePassword(std::string_view keyText, std::string_view stored);

}  // namespace zelk::config
