#pragma once
#include <string>
#include <string_view>

// The lines of the text that follows SMTP's DATA: CR LF line ends only, and a line that begins
// with "." carries one more, which the receiving server removes (RFC 5321, 4.5.2).
namespace zelk::mime {

// The text with every CR or LF that is not part of a CR LF pair turned into CR LF, and its NUL
// bytes removed: text/plain has no place for either (RFC 2045, 2.7 and 2.8).
std::string CanonicalText(std::string_view text);

// Appends bytes as DATA lines: a lone CR or LF becomes CR LF, and a "." that begins a line is
// doubled. A line begins at the start of `out` or after its last LF.
void AppendDataLines(std::string& out, std::string_view bytes);

// Appends the base64 form of the bytes in lines of 76 characters (the last may be shorter)
// joined by CR LF, with no CR LF after the last line. Such lines never begin with ".".
void AppendBase64Lines(std::string& out, std::string_view bytes);

}  // namespace zelk::mime
