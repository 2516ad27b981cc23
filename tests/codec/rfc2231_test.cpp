#include "codec/rfc2231.h"

#include <gtest/gtest.h>

#include <string>

#include "support/code_page_scope.h"

namespace zelk::codec {
namespace {

TEST(DecodeRfc2231Value, DecodesUnderEachCodePage) {
  const std::string pages[] = {"UTF-8", "CP1252", "SHIFT_JIS"};
  const std::string a = "\xE4\xBA\x9C";  // 亜
  const struct {
    std::string value;
    std::string text[3];
  } cases[] = {
      {"ISO-8859-1'en'caf%E9", {"caf\xC3\xA9", "caf\xC3\xA9", "caf?"}},
      {"abc", {"abc", "abc", "abc"}},
      {"utf-8''C++%20notes.txt", {"C++ notes.txt", "C++ notes.txt", "C++ notes.txt"}},  // "+" is no space here
      {"UTF-8'ja'%E6%97%A5", {"\xE6\x97\xA5", "?", "\xE6\x97\xA5"}},
      {"iso-2022-jp''%1B%24B0%21%1B%28B", {a, "?", a}},
      {"a'b'", {"a'b'", "a'b'", "a'b'"}},  // nothing after the second apostrophe: no charset
      {"''x%41", {"xA", "xA", "xA"}},
      {"ISO-8859-1''a%00b", {"a", "a", "a"}},
      {"X-UNKNOWN''%41%42", {"AB", "AB", "AB"}},
      {"UTF-16BE''%00A%00B", {"AB", "AB", "AB"}},
  };
  for (int page = 0; page < 3; ++page) {
    test::CodePageScope scope(pages[page]);
    for (const auto& c : cases) EXPECT_EQ(DecodeRfc2231Value(c.value), c.text[page]) << pages[page] << " " << c.value;
  }
}

}  // namespace
}  // namespace zelk::codec
