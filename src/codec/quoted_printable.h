#pragma once
#include <string>
#include <string_view>

namespace zelk::codec {

// "=" and two hex digits of either case is the byte they give. "=" at the end of a line, blanks
// after it allowed, is a soft line break (so is "=" at the very end: its line end was cut off).
// Any other "=" is kept as written, as RFC 2045 §6.7 (1) advises.
std::string QuotedPrintableDecode(std::string_view text);

// Escapes everything but the printable bytes 0x21-0x7F other than "=", "?" and "_" (TAB, CR and
// LF pass too), so the result serves bodies and header words alike. With lineLimit > 0 a soft
// break "=" CR LF follows the character or escape that brings the line to the limit.
std::string QuotedPrintableEncode(std::string_view bytes, int lineLimit);

}  // namespace zelk::codec
