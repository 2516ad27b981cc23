#include "codec/iso2022_jp.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "support/exact_buffer.h"

namespace zelk::codec {
namespace {

struct Case {
  std::string in;
  std::string out;
};

using test::WithExactBuffer;

// Decodes to code points with glibc iconv; empty when the charset rejects the bytes.
class Decoder {
 public:
  explicit Decoder(const char* charset) : cd_(iconv_open("UTF-32LE", charset)) {}
  ~Decoder() { iconv_close(cd_); }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  std::u32string operator()(std::string in) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char raw[64];
    char* inPtr = in.data();
    char* outPtr = raw;
    std::size_t inLeft = in.size(), outLeft = sizeof raw;
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return {};
    std::u32string text;
    for (const char* p = raw; p < outPtr; p += 4) {
      const auto* u = reinterpret_cast<const unsigned char*>(p);
      text += static_cast<char32_t>(u[0] | u[1] << 8 | u[2] << 16 | u[3] << 24);
    }
    return text;
  }

 private:
  iconv_t cd_;
};

std::string Jis(unsigned char row, unsigned char cell) {
  return std::string("\x1B$B") + char(row) + char(cell) + "\x1B(B";
}

TEST(JisToShiftJis, ConvertsEscapesAndRuns) {
  const Case cases[] = {
      {"\x1B$B\x30\x21\x1B(B", "\x88\x9F"},
      {"Plain text, caf\xE9 \xFC", "Plain text, caf\xE9 \xFC"},
      {"\x0E\x31\x0F" "A", "\xB1" "A"},
      {"\x0E\x31\x32\r\n\x33", "\xB1\xB2\r\n\x33"},  // a line ends the run
      {"\x0E\x31\x1B$B\x30\x21", "\xB1\x88\x9F"},   // so does an escape
      {"\x1B$@\x30\x21\x1B(J!", "\x88\x9F!"},
      {"\x1BK\x30\x21\x1BH!", "\x88\x9F!"},
      {"\x1B$A!", "\x1B$A!"},
      {"\x1B$B\x1B(I\x30\x21", "\x1B(I\x30\x21"},
      {"\x1B*I\x1BN\x31\x1B*B\x1BN", "\xB1\x1BN"},
      {"\x1BN\x31", "\x1BN\x31"},  // no single shift without ESC * I
      {"\x1B$B\x30\x21\r\n\x30\x21", "\x88\x9F\r\n\x30\x21"},
      {"\x1B$B\x30\x21\n!", "\x88\x9F\n!"},
      {"\x1B$B\x30\x80\x0E\x31\x0F", "\x30\x80\xB1"},  // bad cell is kept; SO works in kanji mode
      {"\x1B$B\x30\x21\x1B(B\x30\x21", "\x88\x9F\x30\x21"},
      {"x\x1B", "x"},
      {"x\x1B$", "x"},
      {"x\x1B(", "x"},
      {"x\x1B*", "x"},
      {"x\x1B*I\x1BN", "x"},
      {"x\x1B$B\x30\x21\x30", "x\x88\x9F"},
      {"x\x0E\x31", "x\xB1"},
      {"\xC0\x1BZ", "\xC0\x1BZ"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WithExactBuffer(JisToShiftJis, c.in), c.out) << testing::PrintToString(c.in);
  }
  EXPECT_EQ(JisToShiftJis(std::string_view("\x1B$B\x30\x21\0\x30\x21", 7)), "\x88\x9F");
}

TEST(ShiftJisToJis, ShiftsKanjiAndWidensKatakana) {
  const Case cases[] = {
      {"A\x88\x9F" "B", "A\x1B$B\x30\x21\x1B(BB"},
      {"\xB6\xDE", "\x1B$B\x25\x2C\x1B(B"},
      {"\xB1\xDE", "\x1B$B\x25\x22\x21\x2B\x1B(B"},
      {"\xB3\xDE\xCA\xDF\xCE\xDE\xC4\xDE\xCF\xDF", "\x1B$B\x25\x74\x25\x51\x25\x5C\x25\x49\x25\x5E\x21\x2C\x1B(B"},
      {"\xA0\xDF\xB1", "\x1B$B\x21\x21\x21\x2C\x25\x22\x1B(B"},
      {"a\x88\x9F\xB1\n", "a\x1B$B\x30\x21\x25\x22\x1B(B\n"},
      {"x\x88", "x\x88"},
      {"\x88\x9F\x88", "\x1B$B\x30\x21\x1B(B\x88"},
      {"\xB6", "\x1B$B\x25\x2B\x1B(B"},
      {"\x80\xFD", "\x80\xFD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WithExactBuffer(ShiftJisToJis, c.in), c.out) << testing::PrintToString(c.in);
  }
}

// Each half-width byte must widen to the character Unicode folds it to. The sound marks are the
// exception: JIS X 0208 holds only their spacing forms, which Unicode does not fold to.
TEST(ShiftJisToJis, KatakanaMatchesIconv) {
  const char32_t expected[] = {
      0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
      0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
      0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
      0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
      0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
      0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,
  };
  Decoder fromJis("ISO-2022-JP");
  for (int b = 0xA1; b <= 0xDF; ++b) {
    EXPECT_EQ(fromJis(ShiftJisToJis(std::string(1, char(b)))), std::u32string(1, expected[b - 0xA1]))
        << std::hex << b;
  }
  EXPECT_EQ(fromJis(ShiftJisToJis("\xA0")), U"\u3000");
}

TEST(ShiftJisToJis, WholeJisX0208RoundTripsAndMatchesIconv) {
  Decoder fromJis("ISO-2022-JP"), fromShiftJis("SHIFT_JIS");
  int agreed = 0;
  for (int row = 0x21; row <= 0x7E; ++row) {
    for (int cell = 0x21; cell <= 0x7E; ++cell) {
      const std::string jis = Jis(row, cell);
      const std::string sjis = JisToShiftJis(jis);
      ASSERT_EQ(sjis.size(), 2u);
      ASSERT_EQ(ShiftJisToJis(sjis), jis) << std::hex << row << ' ' << cell;
      const std::u32string viaJis = fromJis(jis), viaShiftJis = fromShiftJis(sjis);
      if (viaJis.empty() || viaShiftJis.empty()) continue;
      EXPECT_EQ(viaJis, viaShiftJis) << std::hex << row << ' ' << cell;
      ++agreed;
    }
  }
  EXPECT_GT(agreed, 6800);  // JIS X 0208 defines 6879 characters
}

}  // namespace
}  // namespace zelk::codec
