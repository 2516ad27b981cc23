#include "codec/percent.h"

#include <gtest/gtest.h>

#include "support/code_page_scope.h"
#include "support/exact_buffer.h"

namespace zelk::codec {
namespace {

using namespace std::string_literals;

TEST(Percent, DecodesEscapesAndPlus) {
  const std::pair<std::string, std::string> cases[] = {
      {"a%20b+c", "a b c"}, {"%e9%E9", "\xE9\xE9"}, {"%00x", "\x00x"s}, {"%zz", "%zz"}, {"%4g", "%4g"},
      {"50%", "50%"},       {"%4", "%4"},           {"%41%", "A%"},     {"a\0%41"s, "a"},
  };
  for (const auto& [text, bytes] : cases) EXPECT_EQ(test::WithExactBuffer(PercentDecode, text), bytes) << text;
}

TEST(Percent, EncodesAllButLettersAndDigits) {
  EXPECT_EQ(PercentEncode("a b.c"), "a%20b%2Ec");
  EXPECT_EQ(PercentEncode("-_~Az09\xE9"), "%2D%5F%7EAz09%E9");
  EXPECT_EQ(PercentDecode(PercentEncode("any \x01\xFF text")), "any \x01\xFF text");
}

TEST(Percent, DecodesTextThroughTheLocalCodePage) {
  {
    test::CodePageScope scope("UTF-8");
    EXPECT_EQ(PercentDecodeText("caf%C3%A9+ok"), "caf\xC3\xA9 ok");
  }
  test::CodePageScope scope("CP1252");
  EXPECT_EQ(PercentDecodeText("caf%E9"), "caf\xC3\xA9");
  EXPECT_EQ(PercentDecodeText("\xC3\xA9%20"), "\xC3\xA9 ");
}

}  // namespace
}  // namespace zelk::codec
