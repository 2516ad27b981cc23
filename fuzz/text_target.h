#pragma once
// What the text targets share: the local code page chosen by the input's first byte (UTF-8, a
// Western and a Japanese one), and the one way a target reports a broken rule.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/code_page.h"

namespace zelk::fuzz {

[[noreturn]] inline void Fail(const char* what) {
  std::fputs(what, stderr);
  std::fputc('\n', stderr);
  std::abort();
}

inline void UseCodePage(std::uint8_t choice) {
  static const char* const kCodePages[] = {"UTF-8", "CP1252", "SHIFT_JIS"};
  static int current = -1;
  const int wanted = choice % 3;
  if (wanted == current) return;
  if (!platform::SelectLocalCodePage(kCodePages[wanted])) Fail("a code page is missing");
  current = wanted;
}

}  // namespace zelk::fuzz
