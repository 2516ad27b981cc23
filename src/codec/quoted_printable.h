#pragma once
#include <string>
#include <string_view>

namespace zelk::codec {

// "=" CR LF and "=" LF are soft line breaks; any other "=" takes the next two characters as hex
// digits, whatever they are. An "=" with fewer than two characters after it is kept as it stands,
// except a lone "=" (or "=" CR) at the very end, which is a soft break whose line end was cut off.
std::string QuotedPrintableDecode(std::string_view text);

// Escapes everything but the printable bytes 0x21-0x7F other than "=", "?" and "_" (TAB, CR and
// LF pass too), so the result serves bodies and header words alike. With lineLimit > 0 a soft
// break "=" CR LF follows the character or escape that brings the line to the limit.
std::string QuotedPrintableEncode(std::string_view bytes, int lineLimit);

}  // namespace zelk::codec
