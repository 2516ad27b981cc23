#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace zelk::platform {
namespace {

TEST(Utf8, DecodesWellFormedAndReportsStrayBytesOneByOne) {
  struct Case {
    std::string text;
    char32_t code;
    int length;
    bool valid;
  } cases[] = {
      {"A", U'A', 1, true},
      {"\xC3\xA9", U'\u00E9', 2, true},
      {"\xE2\x82\xAC", U'\u20AC', 3, true},
      {"\xF0\x9F\x98\x80", U'\U0001F600', 4, true},
      {"\xED\xB2\x80", 0xDC80, 3, true},  // an encoded surrogate: the byte escape of other code pages
      {"\xC0\x80", 0xC0, 1, false},       // overlong
      {"\xE2\x82", 0xE2, 1, false},       // cut off at the end
      {"\xE2\x41\x41", 0xE2, 1, false},   // continuation missing
      {"\xF4\x90\x80\x80", 0xF4, 1, false},  // above U+10FFFF
      {"\x80", 0x80, 1, false},
  };
  for (const Case& c : cases) {
    const Utf8Char got = DecodeUtf8At(c.text, 0);
    EXPECT_EQ(got.code, c.code) << c.text;
    EXPECT_EQ(got.length, c.length) << c.text;
    EXPECT_EQ(got.valid, c.valid) << c.text;
    if (c.valid) {
      std::string back;
      AppendUtf8(back, got.code);
      EXPECT_EQ(back, c.text);
    }
  }
}

TEST(Utf8, CountsAndCutsInUtf16UnitsWithoutSplittingCharacters) {
  const std::string text = "a\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a € 😀 z: 1 + 1 + 2 + 1 units
  EXPECT_EQ(Utf16Length(text), 5u);
  EXPECT_EQ(CutToUtf16Units(text, 2), "a\xE2\x82\xAC");
  EXPECT_EQ(CutToUtf16Units(text, 3), "a\xE2\x82\xAC");  // the emoji needs two units
  EXPECT_EQ(CutToUtf16Units(text, 4), "a\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(CutToUtf16Units(text, 99), text);
  EXPECT_EQ(CutToUtf16Units(text, 0), "");
  EXPECT_EQ(Utf16Length("\xFF\xFE"), 2u);  // stray bytes count one each
}

}  // namespace
}  // namespace zelk::platform
