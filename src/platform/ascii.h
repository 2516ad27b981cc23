#pragma once
#include <string_view>

// Characters of protocol and header text, whatever the user's locale: the blanks that fold and
// separate header text, and comparisons of names that ignore the case of A-Z only.
namespace zelk::platform {

// A space or a tab: what continues a folded header line and separates its words.
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A blank, or the CR or LF of a line break.
constexpr bool IsBlankOrLineBreak(char c) { return IsBlank(c) || c == '\r' || c == '\n'; }

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
  }
  return true;
}

constexpr bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithIgnoringAsciiCase(a, b);
}

}  // namespace zelk::platform
