#include "codec/header_words.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "support/code_page_scope.h"

namespace zelk::codec {
namespace {

using namespace std::string_literals;

// Every table gives one expectation per local code page, in this order.
const std::string kCodePages[] = {"UTF-8", "CP1252", "SHIFT_JIS"};

TEST(DecodeHeaderWords, DecodesUnderEachCodePage) {
  const std::string a = "\xE4\xBA\x9C";  // 亜
  const struct {
    std::string value;
    std::string local[3];
  } cases[] = {
      {"=?ISO-8859-1?Q?caf=E9?=", {"caf\xC3\xA9", "caf\xE9", "caf?"}},
      {"=?ISO-8859-1*en?Q?caf=E9?=", {"caf\xC3\xA9", "caf\xE9", "caf?"}},
      {"=?ISO-8859-1?B?QUJD?= =?ISO-8859-1?B?REVG?=", {"ABCDEF", "ABCDEF", "ABCDEF"}},
      {"=?ISO-8859-1?B?QUJD?= x =?ISO-8859-1?B?REVG?=", {"ABC x DEF", "ABC x DEF", "ABC x DEF"}},
      {"=?ISO-8859-1?B?QUJD?= =?broken", {"ABC =?broken", "ABC =?broken", "ABC =?broken"}},
      // A "=?" that begins no well-formed word stays text.
      {"=?ISO-8859-1?X?abc?=", {"=?ISO-8859-1?X?abc?=", "=?ISO-8859-1?X?abc?=", "=?ISO-8859-1?X?abc?="}},
      {"Is 1+1 =? really =?utf-8?q?caf=C3=A9?= ok",
       {"Is 1+1 =? really caf\xC3\xA9 ok", "Is 1+1 =? really caf\xE9 ok", "Is 1+1 =? really caf? ok"}},
      {"=?utf-8?q?a b?= =??q?x?= =?a?b?x", {"=?utf-8?q?a b?= =??q?x?= =?a?b?x", "=?utf-8?q?a b?= =??q?x?= =?a?b?x",
                                             "=?utf-8?q?a b?= =??q?x?= =?a?b?x"}},
      // Raw 8-bit text declares no charset: under UTF-8 it is read in the fallback charset.
      {"M\xFCller =?utf-8?q?caf=C3=A9?=", {"M\xC3\xBCller caf\xC3\xA9", "M\xFCller caf\xE9", "M\xFCller caf?"}},
      {"M\xC3\xBCller", {"M\xC3\xBCller", "M\xC3\xBCller", "M\xC3\xBCller"}},
      {"=?x?=", {"=?x?=", "=?x?=", "=?x?="}},
      {"a =?iso-8859-1?q?b_c?= d", {"a b c d", "a b c d", "a b c d"}},
      {"=?US-ASCII?Q?a=0D=0Ab?=", {"ab", "ab", "ab"}},
      {"=?SHIFT_JIS?Q?=88=9F=0D=0A=88=9F?=", {a + a, "??", "\x88\x9F\x88\x9F"}},
      {"=?UTF-8?B?5Lqc?=\r\n\t=?UTF-8?Q?=E4=BA=9C?=", {a + a, "??", "\x88\x9F\x88\x9F"}},
      {"=?ISO-2022-JP?B?GyRCMCEbKEI=?=", {a, "?", "\x88\x9F"}},
      {"Re: \x1B$B\x30\x21\x1B(B", {"Re: " + a, "Re: ?", "Re: \x88\x9F"}},
      // Raw JIS beside a word: only the raw part is JIS; the word's text is not read again.
      {"\x1B$B\x30\x21\x1B(B =?ISO-8859-1?Q?=E9?=", {a + " \xC3\xA9", "? \xE9", "\x88\x9F ?"}},
      // Katakana shifts of 0x8A and 0x80 would wrap round to a line feed and a zero byte.
      {"\x1B$B\x30\x21\x1B(B \x0E\x8A\x0F\x1B*I\x1BN\x80", {a + " ", "? ", "\x88\x9F "}},
      {"=?X-UNKNOWN?Q?=E9?=", {"\xC3\xA9", "\xE9", "\xE9"}},
      {"=?ISO-8859-1?Q?a=00b?=", {"a", "a", "a"}},
      {"=?UTF-16BE?B?AEEAQg==?=", {"AB", "AB", "AB"}},
      {"a\0=?US-ASCII?Q?b?="s, {"a", "a", "a"}},
  };
  for (int page = 0; page < 3; ++page) {
    test::CodePageScope scope(kCodePages[page]);
    for (const auto& c : cases) {
      EXPECT_EQ(DecodeHeaderWords(c.value, "Windows-1252"), c.local[page]) << kCodePages[page] << " " << testing::PrintToString(c.value);
    }
  }
}

struct Encoded {
  std::string value;  // as the user wrote it
  bool address;
  std::string charset;
  int form;
  std::string wire;  // the bytes that go out
};

// Compared as the bytes that go on the wire, which is what the tables mean under any code page.
std::string Encode(const Encoded& c) {
  return platform::TextToLocal(EncodeHeaderText(c.value, c.address, {c.charset, c.form}));
}

TEST(EncodeHeaderText, WritesWordsForWesternText) {
  const std::string e = "\xC3\xA9";  // é
  const Encoded cases[] = {
      {"Re: hello", false, "ISO-8859-1", 3, "Re: hello"},
      {"Re: hello", true, "ISO-8859-1", 3, "Re: hello"},
      {"", false, "ISO-8859-1", 3, ""},
      {"caf" + e + " au lait", false, "ISO-8859-1", 3, "=?ISO-8859-1?Q?caf=E9?= au lait"},
      {"caf" + e + " au lait", false, "ISO-8859-1", 2, "=?ISO-8859-1?B?Y2Fm6Q==?= au lait"},
      {"caf" + e, false, "ISO-8859-1", 0, "caf\xE9"},
      {"caf" + e + "\tx\x7F", false, "ISO-8859-1", 3, "=?ISO-8859-1?Q?caf=E9=09x=7F?="},  // no blank or control inside a word
      {"\"Caf" + e + "\" <a@b>", true, "ISO-8859-1", 3, "=?ISO-8859-1?Q?\"Caf=E9\"?= <a@b>"},
      // A folded list: neither the comma nor the line break goes into the word.
      {"a@b,\r\n Caf" + e + " <c@d>", true, "ISO-8859-1", 3, "a@b,\r\n =?ISO-8859-1?Q?Caf=E9?= <c@d>"},
      // The blank between two encoded pieces goes into the word: a reader drops blanks between words.
      {"\"" + e + "\" \"" + e + "\" <a@b>", true, "ISO-8859-1", 3, "=?ISO-8859-1?Q?\"=E9\"=20\"=E9\"?= <a@b>"},
      {"Smith, Jr. " + e + " <u@example.org>", true, "ISO-8859-1", 3, "Smith, Jr. =?ISO-8859-1?Q?=E9?= <u@example.org>"},
      {"caf" + e, false, "X-UNKNOWN", 3, ""},  // filled in per code page below
  };
  for (int page = 0; page < 2; ++page) {
    test::CodePageScope scope(kCodePages[page]);
    for (const Encoded& c : cases) {
      if (c.charset == "X-UNKNOWN") {
        // An unknown charset takes the local bytes as they are, under its own name.
        EXPECT_EQ(Encode(c), page == 0 ? "=?X-UNKNOWN?Q?caf=C3=A9?=" : "=?X-UNKNOWN?Q?caf=E9?=");
        continue;
      }
      EXPECT_EQ(Encode(c), c.wire) << kCodePages[page] << " " << c.value;
    }
  }
  // Forty bytes of 8-bit text: words of 15, 15 and 10 bytes under CP1252; under UTF-8 the cut
  // may not split an "é", so 16, 16 and 8 bytes (8, 8 and 4 letters).
  // Words share a line while it stays within 76 characters (the first line also holds the name).
  auto words = [](std::initializer_list<std::pair<const char*, int>> separatedLetters) {
    std::string out;
    for (const auto& [separator, n] : separatedLetters) {
      out += separator + "=?ISO-8859-1?Q?"s;
      for (int i = 0; i < n; ++i) out += "=E9";
      out += "?=";
    }
    return out;
  };
  std::string forty;  // forty letters: forty bytes in CP1252, eighty in UTF-8
  for (int i = 0; i < 40; ++i) forty += e;
  {
    test::CodePageScope scope("CP1252");
    EXPECT_EQ(Encode({forty, false, "ISO-8859-1", 3, ""}), words({{"", 15}, {"\r\n ", 15}, {"\r\n ", 10}}));
  }
  test::CodePageScope scope("UTF-8");
  EXPECT_EQ(Encode({forty.substr(0, 40), false, "ISO-8859-1", 3, ""}), words({{"", 8}, {"\r\n ", 8}, {" ", 4}}));
}

TEST(EncodeHeaderText, NeverMislabelsAndConvertsJapanese) {
  const std::string nihongo = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語
  const std::string kenmei = "\xE4\xBB\xB6\xE5\x90\x8D";              // 件名
  for (const std::string page : {"UTF-8", "SHIFT_JIS"}) {
    test::CodePageScope scope(page);
    EXPECT_EQ(Encode({nihongo, false, "ISO-8859-1", 3, ""}), "=?UTF-8?Q?=E6=97=A5=E6=9C=AC=E8=AA=9E?=") << page;
    EXPECT_EQ(Encode({"Re: " + nihongo, false, "ISO-8859-1", 2, ""}), "Re: =?UTF-8?B?5pel5pys6Kqe?=") << page;
    EXPECT_EQ(Encode({kenmei, false, "ISO-2022-JP", 1, ""}), "\x1B$B\x37\x6F\x4C\x3E\x1B(B") << page;
    EXPECT_EQ(Encode({kenmei, false, "ISO-2022-JP", 2, ""}), "=?ISO-2022-JP?B?GyRCN29MPhsoQg==?=") << page;
  }
}

// Long Japanese and Korean text comes back whole: the cuts fall between characters, every word
// is decodable on its own, and no line grows past the 76 characters of RFC 2047.
TEST(EncodeHeaderText, LongTextReadsBackWhole) {
  const std::string texts[] = {
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE4\xBB\xB6\xE5\x90\x8D\xE3\x81\xA7\xE3\x81\x99"
      "\xE3\x80\x82\xE9\x95\xB7\xE3\x81\x84\xE4\xBB\xB6\xE5\x90\x8D\xE3\x81\xA7\xE3\x81\x99",
      "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4\xED\x95\x9C\xEA\xB5\xAD",
      "\xC3\xA9t\xC3\xA9\xC3\xA9t\xC3\xA9\xC3\xA9t\xC3\xA9\xC3\xA9t\xC3\xA9\xC3\xA9t\xC3\xA9\xC3\xA9t\xC3\xA9",
  };
  for (const std::string& page : kCodePages) {
    test::CodePageScope scope(page);
    for (const char* charset : {"ISO-2022-JP", "ISO-2022-KR", "ISO-8859-1", "UTF-8"}) {
      for (const int form : {2, 3}) {
        for (const std::string& text : texts) {
          const std::string local = platform::TextToLocal(text);
          if (platform::LocalToText(local) != text) continue;  // the local code page cannot hold it
          const std::string wire = Encode({text, false, charset, form, ""});
          for (std::size_t start = 0, end; start < wire.size(); start = end + 2) {
            end = std::min(wire.find("\r\n", start), wire.size());
            EXPECT_LE(end - start, 76u) << page << " " << charset << " " << wire;
          }
          EXPECT_EQ(DecodeHeaderWords(wire, "Windows-1252"), local) << page << " " << charset << " " << form;
        }
      }
    }
  }
}

// What a standard reader sees: RFC 5322 unfolding (the CR LF goes, the blank stays), then RFC 2047
// decoding. Random values of blanks, runs of blanks, ASCII, accented and Japanese words and long
// words must come back exactly, in lines within 76 characters.
TEST(EncodeHeaderText, ReadersGetTheValueBack) {
  const std::vector<std::string> blanks = {"", " ", " ", "  ", "   "};
  const std::vector<std::string> pieces = {"a", "Sr.", ",", "caf\xC3\xA9", "\xC3\xBC",
                                           "\xE6\x97\xA5\xE6\x9C\xAC", "\xE3\x81\x82", "<u@example.org>",
                                           "\"Q, R\"", std::string(90, 'x'), "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"};
  std::mt19937 random(11);
  test::CodePageScope scope("UTF-8");
  for (int round = 0; round < 1500; ++round) {
    std::string value;
    const int count = 1 + static_cast<int>(random() % 12);
    // Lines fold at blanks, so values made of pieces without blanks between them may not fold;
    // in addresses "<", ">", "," and quoted strings stand next to words without one.
    bool foldable = true;
    for (int i = 0; i < count; ++i) {
      value += pieces[random() % pieces.size()];
      const std::string& blank = blanks[random() % blanks.size()];
      foldable = foldable && (!blank.empty() || i + 1 == count);
      value += blank;
    }
    const bool address = random() % 2 == 0;
    const char* charset = std::array{"ISO-8859-1", "UTF-8", "ISO-2022-JP"}[random() % 3];
    const int form = 2 + static_cast<int>(random() % 2);
    std::string wire = Encode({value, address, charset, form, ""});
    for (std::size_t start = 0, end; start < wire.size(); start = end + 2) {
      end = std::min(wire.find("\r\n", start), wire.size());
      std::string_view line = std::string_view(wire).substr(start, end - start);
      while (end == wire.size() && line.ends_with(' ')) line.remove_suffix(1);  // blanks at the end stay there
      const bool longWord = line.find(std::string(77, 'x')) != std::string_view::npos;
      if (foldable && !address && !longWord) {
        EXPECT_LE(line.size(), 76u) << wire;
      }
    }
    std::erase(wire, '\r');
    std::erase(wire, '\n');
    EXPECT_EQ(DecodeHeaderWords(wire, "Windows-1252"), value) << charset << " " << form << " " << address;
  }
}

// 128,000 unterminated "=?a?b?x " per MiB once took 7.7 s per 256 KiB: each "=?" looked for a
// "?=" through the rest of the value. Four times the input must take about four times as long.
TEST(DecodeHeaderWords, HostileValuesTakeLinearTime) {
  auto fastest = [](std::size_t size) {
    std::string value;
    while (value.size() < size) value += "=?a?b?x ";
    auto best = std::chrono::steady_clock::duration::max();
    for (int i = 0; i < 5; ++i) {
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(DecodeHeaderWords(value, "Windows-1252").size(), value.size());
      best = std::min(best, std::chrono::steady_clock::now() - start);
    }
    return std::chrono::duration<double>(best).count();
  };
  const double quarter = fastest(256u << 10);
  const double whole = fastest(1u << 20);
  EXPECT_LT(whole / quarter, 8.0) << quarter << " s for 256 KiB, " << whole << " s for 1 MiB";  // quadratic: 16
}

TEST(EncodeHeaderText, CutsPlainTextAt800Bytes) {
  const std::string x800(800, 'x');
  EXPECT_EQ(Encode({x800, false, "ISO-8859-1", 3, ""}), x800);
  EXPECT_EQ(Encode({x800 + "y", false, "ISO-8859-1", 0, ""}), x800 + "\r\n y");  // no words: only a cut
  EXPECT_EQ(DecodeHeaderWords(Encode({x800 + "y", false, "ISO-8859-1", 3, ""}), "Windows-1252"), x800 + "y");
}

TEST(EncodeFileNameParam, QuotesPlainNamesAndSplitsOthers) {
  const std::string e = "\xC3\xA9";
  const struct {
    int page;
    std::string name;
    std::string wire;
  } cases[] = {
      {0, "report.txt", "\r\n filename=\"report.txt\""},
      {1, "caf" + e + ".txt", "\r\n filename*0*=ISO-8859-1''caf%E9%2Etxt"},
      {0, "caf" + e + ".txt", "\r\n filename*0*=ISO-8859-1''caf%E9%2Etxt"},
      {1, "my caf" + e + ".txt", "\r\n filename*0*=ISO-8859-1''my%20;\r\n filename*1*=caf%E9%2Etxt"},
      {0, "a\"b\\c.txt", "\r\n filename=\"a\\\"b\\\\c.txt\""},
      {0, "a\nb.txt", "\r\n filename*0*=ISO-8859-1''a%0Ab%2Etxt"},
      {0, "=?ISO-8859-1?Q?caf=E9?=\r\n =?ISO-8859-1?Q?x?=", "\r\n filename=\"=?ISO-8859-1?Q?caf=E9?=\r\n =?ISO-8859-1?Q?x?=\""},
      {2, "\xE6\x97\xA5\xE6\x9C\xAC.txt", "\r\n filename*0*=UTF-8''%E6%97%A5%E6%9C%AC%2Etxt"},
      // One section needs UTF-8, so all of them are written in it: the charset is named once.
      {0, e + "t" + e + " \xE6\x97\xA5\xE6\x9C\xAC.txt",
       "\r\n filename*0*=UTF-8''%C3%A9t%C3%A9%20%E6%97%A5%E6%9C%AC%2Etx;\r\n filename*1*=t"},
  };
  for (const auto& c : cases) {
    test::CodePageScope scope(kCodePages[c.page]);
    EXPECT_EQ(platform::TextToLocal(EncodeFileNameParam(c.name, "ISO-8859-1")), c.wire) << kCodePages[c.page] << " " << c.name;
  }
}

}  // namespace
}  // namespace zelk::codec
