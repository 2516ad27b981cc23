#include "platform/unicode_class.h"

#include <locale.h>
#include <wctype.h>

namespace zelk::platform {

namespace {

locale_t UnicodeLocale() {
  static const locale_t locale = [] {
    const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    return unicode != nullptr ? unicode : newlocale(LC_CTYPE_MASK, "C", nullptr);
  }();
  return locale;
}

}  // namespace

char32_t FoldCase(char32_t code) {
  return static_cast<char32_t>(towlower_l(static_cast<wint_t>(code), UnicodeLocale()));
}

bool IsLetterOrDigit(char32_t code) { return iswalnum_l(static_cast<wint_t>(code), UnicodeLocale()) != 0; }

}  // namespace zelk::platform
