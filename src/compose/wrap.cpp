#include "compose/wrap.h"

#include <algorithm>
#include <vector>

#include "platform/char_width.h"
#include "platform/unicode_class.h"
#include "platform/utf8.h"

namespace zelk::compose {

namespace {

constexpr char kBreak[] = "\r\n";

// A character of the text; a byte that starts no character, or a byte escape of the code page
// layer, is a narrow character of its own that matches no set and no word.
struct Char {
  char32_t code;
  std::size_t length;
  int width;
  bool real;
};

Char CharAt(std::string_view text, std::size_t pos) {
  const platform::Utf8Char c = platform::DecodeUtf8At(text, pos);
  const bool real = c.valid && (c.code < 0xD800 || c.code > 0xDFFF);
  return {c.code, c.length, real ? platform::CharWidth(c.code) : 1, real};
}

class CharSet {
 public:
  CharSet(std::string_view text, bool ignoreCase) : ignoreCase_(ignoreCase) {
    for (std::size_t pos = 0; pos < text.size();) {
      const Char c = CharAt(text, pos);
      if (c.real) codes_.push_back(ignoreCase ? platform::FoldCase(c.code) : c.code);
      pos += c.length;
    }
    std::sort(codes_.begin(), codes_.end());
  }

  bool Has(const Char& c) const {
    return c.real && std::binary_search(codes_.begin(), codes_.end(), ignoreCase_ ? platform::FoldCase(c.code) : c.code);
  }

 private:
  std::vector<char32_t> codes_;
  bool ignoreCase_;
};

bool IsCombiningMark(char32_t code) {
  return (code >= 0x0300 && code <= 0x036F) || (code >= 0x1AB0 && code <= 0x1AFF) ||
         (code >= 0x1DC0 && code <= 0x1DFF) || (code >= 0x20D0 && code <= 0x20FF) || (code >= 0xFE20 && code <= 0xFE2F);
}

bool IsWordChar(const Char& c) {
  if (c.code < 0x80) {
    const char a = static_cast<char>(c.code);
    return (a >= 'a' && a <= 'z') || (a >= 'A' && a <= 'Z') || (a >= '0' && a <= '9') || a == '\'';
  }
  if (!c.real || c.width != 1 || (c.code >= 0xFF61 && c.code <= 0xFF9F)) return false;
  return platform::IsLetterOrDigit(c.code) || IsCombiningMark(c.code);
}

struct Word {
  std::size_t end;      // after the word and its space
  std::size_t columns;  // the space included
};

Word WordAt(std::string_view text, std::size_t pos) {
  Word word{pos, 0};
  while (word.end < text.size()) {
    const Char c = CharAt(text, word.end);
    if (!IsWordChar(c)) break;
    word.end += c.length;
    ++word.columns;
  }
  if (word.columns > 0 && word.end < text.size() && text[word.end] == ' ') {
    ++word.end;
    ++word.columns;
  }
  return word;
}

}  // namespace

WrapCharacters WrapCharactersOf(const config::Settings& settings) {
  return {settings.sBura, settings.sOida, settings.Bura, settings.Oida};
}

platform::Text WrapText(std::string_view text, std::string_view quotationMark, int width, bool keepQuoted,
                        const WrapCharacters& characters) {
  if (width < 1) return platform::Text(text);
  const auto limit = static_cast<std::size_t>(width);
  const CharSet narrowHang(characters.sBura, false);
  const CharSet narrowOpen(characters.sOida, false);
  const CharSet wideHang(characters.Bura, true);
  const CharSet wideOpen(characters.Oida, true);

  platform::Text out;
  out.reserve(text.size() + text.size() / 16 + 8);
  std::size_t n = 0;  // columns on the current output line
  bool noWrap = false;
  const auto startLine = [&](std::size_t at) {
    n = 0;
    noWrap = keepQuoted && text.substr(at).starts_with(quotationMark);
  };
  startLine(0);

  for (std::size_t pos = 0; pos < text.size();) {
    const char first = text[pos];
    if (first == '\r' || first == '\n') {
      const std::size_t length = first == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
      out.append(text.substr(pos, length));
      pos += length;
      startLine(pos);
      continue;
    }
    if (first == '\t') {
      const bool atStart = n == 0;
      n = (n / 8 + 1) * 8;
      if (!noWrap && n > limit && !atStart) {
        out += kBreak;
        n = 8;
      }
      out += first;
      ++pos;
      continue;
    }
    const Word word = WordAt(text, pos);
    if (word.columns > 0) {
      const bool atStart = n == 0;
      n += word.columns;
      if (!noWrap && n > limit) {
        if (!atStart) out += kBreak;
        n = word.columns;
      }
      out.append(text.substr(pos, word.end - pos));
      pos = word.end;
      continue;
    }
    const Char c = CharAt(text, pos);
    if (!noWrap && n > 0 && n + c.width >= limit) {
      const bool hangs = (c.width == 1 ? narrowHang : wideHang).Has(c);
      const bool opens = (c.width == 1 ? narrowOpen : wideOpen).Has(c);
      if ((n + c.width > limit && !hangs) || (n + c.width == limit && opens)) {
        out += kBreak;
        n = 0;
      }
    }
    n += static_cast<std::size_t>(c.width);
    out.append(text.substr(pos, c.length));
    pos += c.length;
  }
  return out;
}

}  // namespace zelk::compose
