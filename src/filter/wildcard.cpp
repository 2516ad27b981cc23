#include "filter/wildcard.h"

#include <cstddef>

#include "platform/utf8.h"

namespace zelk::filter {

namespace {

std::size_t CharLength(std::string_view text, std::size_t pos) { return platform::DecodeUtf8At(text, pos).length; }

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether the characters at p and t are the same; both lengths are whole characters, so equal
// bytes over equal lengths mean the same character.
bool SameChar(std::string_view pattern, std::size_t p, std::size_t pLength, std::string_view text, std::size_t t,
              std::size_t tLength) {
  if (pLength != tLength) return false;
  if (pLength == 1) return FoldAscii(pattern[p]) == FoldAscii(text[t]);
  return pattern.substr(p, pLength) == text.substr(t, tLength);
}

}  // namespace

// Greedy matching that remembers only the latest "*": when a later literal fails, that star takes
// one more character and the rest is tried again. An earlier star never needs to retry, because
// whatever it could still absorb the latest star can absorb as well; so each star start moves
// only forward and the cost stays O(pattern * text) instead of the plain recursion's exponential
// one on patterns like "*a*a*a...".
bool WildcardMatch(std::string_view pattern, std::string_view text) {
  constexpr std::size_t kNoStar = std::string_view::npos;
  std::size_t p = 0;
  std::size_t t = 0;
  std::size_t starP = kNoStar;  // just after the latest "*"
  std::size_t starT = 0;        // where that star's run of characters ends for now
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = ++p;
      starT = t;
      continue;
    }
    const std::size_t tLength = CharLength(text, t);
    if (p < pattern.size()) {
      const std::size_t pLength = CharLength(pattern, p);
      if ((pLength == 1 && pattern[p] == '?') || SameChar(pattern, p, pLength, text, t, tLength)) {
        p += pLength;
        t += tLength;
        continue;
      }
    }
    if (starP == kNoStar) return false;
    starT += CharLength(text, starT);
    p = starP;
    t = starT;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace zelk::filter
