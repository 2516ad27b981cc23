#pragma once
#include <string_view>

#include "platform/code_page.h"

namespace zelk::codec {

// An RFC 2231 extended parameter value, charset'language'percent-escaped-text, as text. Without
// two apostrophes and text after them the whole value is the escaped text, in no charset. The
// value ends at an escaped zero byte.
platform::Text DecodeRfc2231Value(const platform::Text& value);

}  // namespace zelk::codec
