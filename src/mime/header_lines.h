#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Header blocks as messages, parts and mailbox files hold them: CR LF lines, a logical line being a
// line with the continuation lines after it (those that begin with a space or a tab).
namespace zelk::mime {

// Reads the logical line at the cursor, without its final CR LF, and moves the cursor past that
// CR LF. False at the end of the text.
[[nodiscard]] bool ReadFoldedLine(const char*& cursor, const char* end, std::string_view& line);

// A header field line: a name of printable ASCII other than ":", then ":" (blanks before it allowed,
// as RFC 5322 §4.5.3 lets obsolete mail write them).
bool IsFieldLine(std::string_view line);

// Where the header block of a message or part ends and its body begins. The block ends at the
// first empty line; a line that is neither a field nor the continuation of one ends it too, and
// then the body begins at that line, as mail readers take a header that runs into the body. A
// first line "From " (the mbox separator some servers leave in) is passed over.
struct HeaderBounds {
  std::size_t headerEnd;  // after the CR LF of the block's last line
  std::size_t bodyStart;  // headerEnd, or after the empty line
};
HeaderBounds FindHeaderBounds(std::string_view text);

// RFC 5322 §2.2.3: unfolding removes each CR LF and nothing else, so "John" CR LF " Smith" reads
// "John Smith".
std::string Unfold(std::string_view value);

// The value of a field line after its name and the blanks after that, unfolded.
std::string UnfoldedFieldValue(std::string_view line, std::size_t nameLength);

}  // namespace zelk::mime
