#include "codec/iso2022_kr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/exact_buffer.h"

namespace zelk::codec {
namespace {

struct Case {
  std::string euc;
  std::string iso;
};

using test::WithExactBuffer;

TEST(Iso2022Kr, ConvertsBothWays) {
  const Case cases[] = {
      {"a\xB0\xA1\nb", "\x1B$)Ca\x0E\x30\x21\x0F\nb"},
      {"plain\r\ntext", "plain\r\ntext"},
      {"x\n\xB0\xA1 \xB0\xA1\n\xC7\xD1.", "x\n\x1B$)C\x0E\x30\x21\x0F \x0E\x30\x21\x0F\n\x0E\x47\x51\x0F."},
      {"\xB0\xA1\xFF\xA0\n\n", "\x1B$)C\x0E\x30\x21\x0F\xFF\xA0\n\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WithExactBuffer(EucKrToIso2022Kr, c.euc), c.iso) << testing::PrintToString(c.euc);
    EXPECT_EQ(WithExactBuffer(Iso2022KrToEucKr, c.iso), c.euc) << testing::PrintToString(c.iso);
  }
}

TEST(Iso2022KrToEucKr, ReadsLooseInput) {
  const Case cases[] = {
      {"\xB0\xA1 \t\xB0\xA1", "\x1B$)c\x0E\x30\x21 \t\x30\x21"},  // lower-case c, no closing SI
      {"\xC1\xC2", "\x0E\x41\x42\x0F"},                           // no designator
      {"\x1B$)Xa", "\x1B$)Xa"},
      {"a", "a\x1B$)"},
      {"a", "a\x1B$"},
      {"a", "a\x1B"},
      {"a", "a\x0E"},
      {"\xC1", std::string("\x0E\x41\0\x42", 4)},  // NUL ends the text
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WithExactBuffer(Iso2022KrToEucKr, c.iso), c.euc) << testing::PrintToString(c.iso);
  }
}

}  // namespace
}  // namespace zelk::codec
