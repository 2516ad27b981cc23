#include "platform/text_compare.h"

#include <locale.h>
#include <wchar.h>

#include <string>

#include "platform/unicode_class.h"
#include "platform/utf8.h"

namespace zelk::platform {

namespace {

// Case folding uses Unicode case tables whatever the user's locale; the order is the user's.
locale_t Collation() {
  static const locale_t collation = [] {
    const locale_t user = newlocale(LC_COLLATE_MASK | LC_CTYPE_MASK, "", nullptr);
    return user != nullptr ? user : newlocale(LC_COLLATE_MASK | LC_CTYPE_MASK, "C", nullptr);
  }();
  return collation;
}

std::wstring Folded(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const Utf8Char c = DecodeUtf8At(text, pos);
    // A stray byte keeps its own place (U+DC00 + byte) rather than merging with a real character.
    const char32_t code = c.valid ? c.code : 0xDC00 + c.code;
    if (code != 0) out += static_cast<wchar_t>(FoldCase(code));
    pos += c.length;
  }
  return out;
}

}  // namespace

int CompareIgnoringCase(std::string_view a, std::string_view b) {
  const int order = wcscoll_l(Folded(a).c_str(), Folded(b).c_str(), Collation());
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

void AppendCollationKeyIgnoringCase(std::string_view text, std::wstring& keys) {
  const std::wstring folded = Folded(text);
  const std::size_t start = keys.size();
  // Most locales' keys are a few times longer than the text; a short guess costs a second pass.
  std::size_t room = folded.size() * 4 + 8;
  for (;;) {
    keys.resize(start + room);
    const std::size_t length = wcsxfrm_l(keys.data() + start, folded.c_str(), room, Collation());
    if (length == static_cast<std::size_t>(-1)) {
      // A character the locale cannot transform: its code points are the only order left.
      keys.resize(start);
      keys += folded;
      return;
    }
    if (length < room) {
      keys.resize(start + length);
      return;
    }
    room = length + 1;
  }
}

}  // namespace zelk::platform
