#include "codec/base64.h"

#include <gtest/gtest.h>

#include <random>

#include "support/code_page_scope.h"
#include "support/exact_buffer.h"

namespace zelk::codec {
namespace {

using namespace std::string_literals;

TEST(Base64, DecodesLeniently) {
  const std::pair<std::string, std::string> cases[] = {
      {"QUJD", "ABC"},
      {" \tQU JD\r\n", "ABC"},        // white space anywhere
      {"QUI=", "AB"},
      {"QQ", "A"},
      {"Q", ""},                       // one character holds no whole byte
      {"QU=JD", "A"},                  // decoding stops at the first "="
      {"QU-D", "A@"},                  // characters outside the alphabet are skipped
      {"Q*U!J\x7F" "D", "ABC"},
      {"QUJD\r\nQUI=\r\nQUJD", "ABCAB"},  // the padding of a quantum ends the data
      {"", ""},
      {"AAEC", "\x00\x01\x02"s},       // zero bytes survive
      {"QUJD\0REVG"s, "ABC"},          // NUL ends the text
      {"QUJDREVG\r\nR0hJ\r\n", "ABCDEFGHI"},
      {"Q\r\nU\r\nJ\r\nD", "ABC"},
  };
  for (const auto& [text, bytes] : cases) EXPECT_EQ(test::WithExactBuffer(Base64Decode, text), bytes) << text;
}

TEST(Base64, EncodesWithPaddingOnOneLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"A", "QQ=="}, {"AB", "QUI="}, {"ABC", "QUJD"}, {"\x00\x01\x02"s, "AAEC"}, {"", ""},
      {"\xFF\xFE\xFD\xFC", "//79/A=="},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(Base64Encode(bytes), text);
}

TEST(Base64, RoundTripsAnyBytesAlsoWhenBrokenIntoLines) {
  std::mt19937 random(7);
  for (int round = 0; round < 500; ++round) {
    std::string bytes(random() % 300, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    const std::string encoded = Base64Encode(bytes);
    ASSERT_EQ(Base64Decode(encoded), bytes);
    std::string lines;
    for (std::size_t i = 0; i < encoded.size(); i += 76) lines += encoded.substr(i, 76) + "\r\n";
    ASSERT_EQ(Base64Decode(lines), bytes);
  }
}

TEST(Base64, EncodesTextInTheLocalCodePage) {
  {
    test::CodePageScope scope("UTF-8");
    EXPECT_EQ(Base64EncodeText("\xC3\xA9"), "w6k=");
  }
  test::CodePageScope scope("CP1252");
  EXPECT_EQ(Base64EncodeText("\xC3\xA9"), "6Q==");
}

}  // namespace
}  // namespace zelk::codec
