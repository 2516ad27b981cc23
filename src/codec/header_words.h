#pragma once
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace zelk::codec {

// A received header value with its RFC 2047 encoded words decoded into the local code page.
// White space between two encoded words disappears; CR and LF inside a word are dropped; a "=?"
// that begins no well-formed word stays as text; raw ISO-2022-JP in the value is turned into text
// too, and other raw 8-bit text is undeclared text (UndeclaredToLocal with `fallbackCharset`).
// Time is linear in the value.
std::string DecodeHeaderWords(std::string_view value, std::string_view fallbackCharset);

// Settings that shape outgoing header text.
struct HeaderEncoding {
  std::string_view charset;  // HeadCharset: what encoded words are written in
  int form;                  // HeadEncoding: 2 base64 words, 3 quoted-printable words, 0 and 1 no words
};

// A header value made ready to follow "Name:": the parts that need it become encoded words, each
// on its own folded line. Address-aware (From, To, Cc, Reply-To) keeps quoted strings, comments,
// angle brackets and commas apart so that addresses stay readable. A word whose text has no place
// in the charset is written in UTF-8 and labelled so.
platform::Text EncodeHeaderText(const platform::Text& value, bool addressAware, HeaderEncoding encoding);

// The file-name parameter of a Content-Disposition line, starting with CR LF and a space: quoted
// when the name is plain ASCII, else in RFC 2231 sections.
platform::Text EncodeFileNameParam(const platform::Text& name, std::string_view headCharset);

}  // namespace zelk::codec
