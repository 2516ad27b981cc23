// Wildcard matching: the fast matcher must agree with a plain table over every pair of positions.
// The input is the pattern, a zero byte, then the text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "filter/wildcard.h"
#include "platform/utf8.h"

namespace {

std::vector<std::string_view> Characters(std::string_view text) {
  std::vector<std::string_view> chars;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = zelk::platform::DecodeUtf8At(text, pos).length;
    chars.push_back(text.substr(pos, length));
    pos += length;
  }
  return chars;
}

bool SameChar(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// matches[i][j]: pattern from character i matches text from character j. Filled from the ends.
bool Reference(std::string_view patternText, std::string_view textText) {
  const auto pattern = Characters(patternText);
  const auto text = Characters(textText);
  const std::size_t n = pattern.size();
  const std::size_t m = text.size();
  std::vector<std::vector<bool>> matches(n + 1, std::vector<bool>(m + 1, false));
  matches[n][m] = true;
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = m + 1; j-- > 0;) {
      if (pattern[i] == "*") {
        matches[i][j] = matches[i + 1][j] || (j < m && matches[i][j + 1]);
      } else if (j < m && (pattern[i] == "?" || SameChar(pattern[i], text[j]))) {
        matches[i][j] = matches[i + 1][j + 1];
      }
    }
  }
  return matches[0][0];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 2048) return 0;  // keeps the table small; long inputs add nothing new
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t zero = input.find('\0');
  const std::string_view pattern = input.substr(0, zero);
  const std::string_view text = zero == std::string_view::npos ? std::string_view() : input.substr(zero + 1);
  if (zelk::filter::WildcardMatch(pattern, text) != Reference(pattern, text)) {
    std::fputs("wildcard matcher disagrees with the reference table\n", stderr);
    std::abort();
  }
  return 0;
}
