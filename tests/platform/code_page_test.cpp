#include "platform/code_page.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <random>

#include "platform/char_width.h"
#include "support/code_page_scope.h"

namespace zelk::platform {
namespace {

using test::CodePageScope;

// Code pages that a user may run under; CP932 and BIG5 map some byte pairs to one character.
const char* const kCodePages[] = {"UTF-8", "CP1252", "SHIFT_JIS", "EUC-KR", "CP932", "BIG5", "ISO-8859-1"};

TEST(CodePage, AnyBytesSurviveTheTripToTextAndBack) {
  std::mt19937 random(20261209);
  std::string allPairs;
  for (int pair = 0; pair < 65536; ++pair) allPairs += {static_cast<char>(pair >> 8), static_cast<char>(pair)};
  for (const char* name : kCodePages) {
    CodePageScope scope(name);
    EXPECT_EQ(TextToLocal(LocalToText(allPairs)), allPairs) << name;
    for (int round = 0; round < 3000; ++round) {
      std::string bytes(random() % 40, '\0');
      for (char& byte : bytes) byte = static_cast<char>(random());
      // Lean towards high bytes, where multi-byte code pages have their leads and gaps.
      if (round % 2) {
        for (char& byte : bytes) byte = static_cast<char>(byte | 0x80);
      }
      ASSERT_EQ(TextToLocal(LocalToText(bytes)), bytes) << name << " round " << round;
    }
  }
}

TEST(CodePage, ConvertsRealCharactersAndMarksWhatTheCodePageLacks) {
  struct Case {
    const char* codePage;
    std::string local;
    std::string text;
  } cases[] = {
      {"CP1252", "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},
      {"SHIFT_JIS", "\x88\x9F" "A\xB1", "\xE4\xBA\x9C" "A\xEF\xBD\xB1"},  // 亜 A ｱ
      {"EUC-KR", "\xB0\xA1", "\xEA\xB0\x80"},                         // 가
      {"UTF-8", "\xC3\xA9\xFF", "\xC3\xA9\xFF"},  // identity, stray bytes included
  };
  for (const Case& c : cases) {
    CodePageScope scope(c.codePage);
    EXPECT_EQ(LocalToText(c.local), c.text) << c.codePage;
    EXPECT_EQ(TextToLocal(c.text), c.local) << c.codePage;
  }
  CodePageScope cp1252("CP1252");
  EXPECT_EQ(LocalToText("\x81"), "\xED\xB2\x81");  // undefined in CP1252: kept as an escape
  EXPECT_EQ(TextToLocal("\xE6\x97\xA5\xF0\x9F\x98\x80!"), "??" "!");  // 日 and 😀 have no place in CP1252
  EXPECT_EQ(TextToLocal("a\xFF" "b"), "a?b");  // a stray byte in Text is no character either
}

TEST(CodePage, CharacterLengthsAndWidthsFollowTheCodePage) {
  struct Case {
    const char* codePage;
    std::string bytes;
    std::vector<std::pair<std::size_t, int>> lengthAndWidth;  // per character from the start
  } cases[] = {
      {"SHIFT_JIS", "a\x88\x9F\xB1\x88", {{1, 1}, {2, 2}, {1, 1}, {1, 1}}},  // a 亜 ｱ, lone lead at the end
      {"EUC-KR", "\xB0\xA1z", {{2, 2}, {1, 1}}},
      {"CP1252", "\xE9\x81", {{1, 1}, {1, 1}}},
      {"UTF-8", "\xC3\xA9\xE6\x97\xA5\xEF\xBC\xA1\xF0\x9F\x98\x80\xFF", {{2, 1}, {3, 2}, {3, 2}, {4, 2}, {1, 1}}},
  };
  for (const Case& c : cases) {
    CodePageScope scope(c.codePage);
    std::size_t pos = 0;
    for (const auto& [length, width] : c.lengthAndWidth) {
      EXPECT_EQ(LocalCharLength(c.bytes, pos), length) << c.codePage << " at " << pos;
      EXPECT_EQ(LocalCharWidth(c.bytes, pos), width) << c.codePage << " at " << pos;
      pos += length;
    }
    EXPECT_EQ(pos, c.bytes.size()) << c.codePage;
  }
}

TEST(CodePage, WideAndFullwidthCharactersTakeTwoColumns) {
  const std::pair<char32_t, int> cases[] = {
      {U'a', 1},     {0xE9, 1},     {0x10FF, 1},   {0x1100, 2},   {0x115F, 2},   {0x1160, 1},
      {0x3000, 2},   {0x303F, 1},   {0x4E9C, 2},   {0xAC00, 2},   {0xD7A3, 2},   {0xD7A4, 1},
      {0xFF01, 2},   {0xFF60, 2},   {0xFF61, 1},   {0xFFE6, 2},   {0x1F600, 2},  {0x20000, 2},
      {0x3FFFD, 2},  {0x3FFFE, 1},  {0xDC80, 1},
  };
  for (const auto& [code, width] : cases) EXPECT_EQ(CharWidth(code), width) << std::hex << static_cast<std::uint32_t>(code);
}

TEST(CodePage, IsChosenFromTheEnvironmentAndRefusesUnknownNames) {
  ASSERT_EQ(setenv("ZELK_CODEPAGE", "CP1252", 1), 0);
  EXPECT_EQ(LocalCodePageFromEnvironment(), "CP1252");
  ASSERT_EQ(unsetenv("ZELK_CODEPAGE"), 0);
  ASSERT_EQ(setenv("LC_ALL", "C", 1), 0);
  EXPECT_EQ(LocalCodePageFromEnvironment(), "UTF-8");  // plain ASCII locales get UTF-8
  ASSERT_EQ(unsetenv("LC_ALL"), 0);

  CodePageScope scope("SHIFT_JIS");
  EXPECT_FALSE(SelectLocalCodePage("NO-SUCH-CODE-PAGE"));
  EXPECT_FALSE(SelectLocalCodePage(""));
  EXPECT_EQ(LocalCodePageName(), "SHIFT_JIS");
  EXPECT_FALSE(LocalCodePageIsUtf8());
}

}  // namespace
}  // namespace zelk::platform
