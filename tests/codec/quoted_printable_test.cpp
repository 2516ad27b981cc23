#include "codec/quoted_printable.h"

#include <gtest/gtest.h>

#include <random>

#include "codec/base64.h"
#include "support/exact_buffer.h"

namespace zelk::codec {
namespace {

using namespace std::string_literals;

TEST(QuotedPrintable, DecodesEscapesAndSoftBreaks) {
  const std::pair<std::string, std::string> cases[] = {
      {"a=3Db=\r\nc", "a=bc"},
      {"=e9", "\xE9"},
      {"=\nx", "x"},
      {"a_b", "a_b"},            // the underscore is the header decoder's business
      {"=GG", "=GG"},            // no escape: kept as written
      {"=\rx", "=\rx"},
      {"?ie=UTF8&psc=1", "?ie=UTF8&psc=1"},
      {"a=4G=\n", "a=4G"},
      {"soft= \r\nline", "softline"},   // blanks a gateway left after a soft break
      {"soft=\t \nline", "softline"},
      {"a= b", "a= b"},
      {"end= ", "end"},
      {"=e9=E9=eF", "\xE9\xE9\xEF"},
      {"=00z", "\x00z"s},        // a decoded zero byte stays
      {"end=", "end"},           // an "=" cut off at the end is a soft break
      {"end=\r", "end"},
      {"end=4", "end=4"},        // too short to be an escape: kept
      {"a\0=41"s, "a"},
  };
  for (const auto& [text, bytes] : cases) EXPECT_EQ(test::WithExactBuffer(QuotedPrintableDecode, text), bytes) << text;
}

TEST(QuotedPrintable, EncodesSoThatBodiesAndHeaderWordsAreSafe) {
  EXPECT_EQ(QuotedPrintableEncode("a b_c?", 0), "a=20b=5Fc=3F");
  EXPECT_EQ(QuotedPrintableEncode("\xE9", 0), "=E9");
  EXPECT_EQ(QuotedPrintableEncode("\t\r\n=\x7F\x01", 0), "\t\r\n=3D\x7F=01");
  EXPECT_EQ(QuotedPrintableEncode(std::string(100, 'x'), 76), std::string(76, 'x') + "=\r\n" + std::string(24, 'x'));
  // The break follows the escape that reaches the limit, so a line may hold up to 78 characters.
  EXPECT_EQ(QuotedPrintableEncode(std::string(74, 'x') + "\xE9y", 76), std::string(74, 'x') + "=E9=\r\ny");
  // A line end starts the count again, and no break falls between CR and LF.
  EXPECT_EQ(QuotedPrintableEncode(std::string(75, 'x') + "\r\n" + std::string(75, 'x'), 76),
            std::string(75, 'x') + "\r\n" + std::string(75, 'x'));
  EXPECT_EQ(QuotedPrintableEncode(std::string(76, 'x') + "\r\n", 76), std::string(76, 'x') + "=\r\n\r\n");
}

TEST(QuotedPrintable, RoundTripsBytesWithoutZero) {
  std::mt19937 random(11);
  for (int round = 0; round < 500; ++round) {
    std::string bytes(random() % 400, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random() % 255 + 1);
    ASSERT_EQ(QuotedPrintableDecode(QuotedPrintableEncode(bytes, 76)), bytes) << Base64Encode(bytes);
    ASSERT_EQ(QuotedPrintableDecode(QuotedPrintableEncode(bytes, 0)), bytes) << Base64Encode(bytes);
  }
}

}  // namespace
}  // namespace zelk::codec
