#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"

// Links in the text of a message: what a double click on a word opens. Everything here comes
// from mail, so a link is only ever a web address or a mail address, never a file or a program.
namespace zelk::viewer {

enum class LinkKind {
  kNone,
  kWeb,   // "http://", "https://" or "ftp://": opened by the browser
  kMail,  // "mailto:" or a word with exactly one at sign: a new message to it
};

struct Link {
  LinkKind kind = LinkKind::kNone;
  platform::Text text;
};

// The word a double click at `position` of a line picks, as [start, end): everything between
// blanks, so that a whole address ("http://x.org/a?b", "ann@example.org") is one word.
struct WordSpan {
  std::size_t start;
  std::size_t end;
};
WordSpan WordAround(std::u16string_view line, std::size_t position);

// The link in a selection: leading blanks, quotes, parentheses and angle brackets are skipped;
// the link starts at the first web or mailto scheme in the rest (letter case ignored), else where
// the skipping stopped, and ends before the first blank, control character, quote, parenthesis or
// angle bracket.
Link LinkInSelection(std::string_view selection);

// The program for a web link: URLApp with the link as its one argument, else the desktop's
// browser. A URLApp that cannot be found falls back to the desktop's.
std::vector<std::string> WebLinkCommand(const platform::Text& urlApp, const platform::Text& link);

}  // namespace zelk::viewer
