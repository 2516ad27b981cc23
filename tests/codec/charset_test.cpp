#include "codec/charset.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "codec/model_dependent.h"
#include "platform/code_page.h"
#include "platform/iconv_converter.h"
#include "support/code_page_scope.h"

namespace zelk::codec {
namespace {

// Every table below gives one expectation per local code page, in this order.
const std::string kCodePages[] = {"UTF-8", "CP1252", "SHIFT_JIS"};

struct Received {
  std::string charset;
  std::string bytes;
  std::string local[3];
};

TEST(CharsetToLocal, ConvertsIntoEachLocalCodePage) {
  const std::string aUtf8 = "\xE4\xBA\x9C";  // 亜
  const std::string aJis = "\x1B$B\x30\x21\x1B(B";
  const Received cases[] = {
      {"ISO-8859-1", "caf\xE9", {"caf\xC3\xA9", "caf\xE9", "caf?"}},
      // Latin-1 labels are read as Windows-1252: its quotes are no control characters.
      {"iso-8859-1", "\x93ok\x94", {"\xE2\x80\x9Cok\xE2\x80\x9D", "\x93ok\x94", "\x81\x67ok\x81\x68"}},
      {"ISO-2022-JP", aJis, {aUtf8, "?", "\x88\x9F"}},
      {"iso-2022-jp-2", aJis, {aUtf8, "?", "\x88\x9F"}},
      {"ISO-2022-JP", "\x1B$B\x2D\x21\x1B(B", {"\xE2\x91\xA0", "?", "\x87\x40"}},  // NEC row 13
      {"ISO-2022-KR", "\x1B$)C\x0E\x30\x21\x0F", {"\xEA\xB0\x80", "?", "?"}},
      {"UTF-8", "caf\xC3\xA9", {"caf\xC3\xA9", "caf\xE9", "caf?"}},
      {"utf-8", "a\xFF" "b", {"a\xFF" "b", "a?b", "a?b"}},
      {"UTF-7", "+AOk-", {"\xC3\xA9", "\xE9", "?"}},
      {"Shift_JIS", "\x88\x9F\x80", {aUtf8 + "\xEF\xBF\xBD", "??", "\x88\x9F\x80"}},
      {"US-ASCII", "caf\xE9", {"caf\xE9", "caf\xE9", "caf\xE9"}},
      {"koi8-r\"; format=flowed", "\xC1", {"\xD0\xB0", "?", "\x84\x70"}},
  };
  for (int page = 0; page < 3; ++page) {
    test::CodePageScope scope(kCodePages[page]);
    for (const Received& c : cases) {
      EXPECT_EQ(CharsetToLocal(c.bytes, c.charset), c.local[page]) << kCodePages[page] << " " << c.charset;
    }
    for (const char* unknown : {"X-UNKNOWN", "", "\"", "//TRANSLIT"}) {
      EXPECT_EQ(CharsetToLocal("caf\xE9", unknown), std::nullopt) << unknown;
    }
  }
}

struct Sent {
  int page;
  std::string charset;
  std::string text;  // as the user wrote it
  std::string bytes;
  std::string label;
};

TEST(LocalToCharset, ConvertsOrFallsBackToUtf8) {
  const Sent cases[] = {
      {0, "ISO-8859-1", "caf\xC3\xA9", "caf\xE9", "ISO-8859-1"},
      {0, "ISO-8859-1", "\xE6\x97\xA5", "\xE6\x97\xA5", "UTF-8"},
      {2, "ISO-8859-1", "\xE6\x97\xA5", "\xE6\x97\xA5", "UTF-8"},
      {1, "ISO-8859-1", "\xE2\x82\xAC", "\xE2\x82\xAC", "UTF-8"},  // the euro sign of CP1252
      {0, "ISO-2022-JP", "\xE4\xBA\x9C\xE2\x91\xA0", "\x1B$B\x30\x21\x2D\x21\x1B(B", "ISO-2022-JP"},
      {2, "iso-2022-jp", "\xE4\xBA\x9C", "\x1B$B\x30\x21\x1B(B", "iso-2022-jp"},
      {0, "ISO-2022-JP", "\xEF\xBD\x9E\xE3\x80\x9C", "\x1B$B\x21\x41\x21\x41\x1B(B", "ISO-2022-JP"},  // both tildes
      {1, "ISO-2022-JP", "caf\xC3\xA9", "caf\xC3\xA9", "UTF-8"},
      {0, "ISO-2022-KR", "\xEA\xB0\x80", "\x1B$)C\x0E\x30\x21\x0F", "ISO-2022-KR"},
      {0, "UTF-7", "\xC3\xA9", "+AOk-", "UTF-7"},
      {1, "utf-8", "\xC3\xA9", "\xC3\xA9", "utf-8"},
  };
  for (const Sent& c : cases) {
    test::CodePageScope scope(kCodePages[c.page]);
    const std::optional<CharsetText> sent = LocalToCharset(platform::TextToLocal(c.text), c.charset);
    ASSERT_TRUE(sent) << c.charset;
    EXPECT_EQ(sent->bytes, c.bytes) << kCodePages[c.page] << " " << c.charset << " " << c.text;
    EXPECT_EQ(sent->charset, c.label) << kCodePages[c.page] << " " << c.charset << " " << c.text;
  }
  EXPECT_EQ(LocalToCharset("x", "X-UNKNOWN"), std::nullopt);
}

// Whatever is sent, in whatever charset it ends up labelled with, reads back as it was written.
TEST(LocalToCharset, ReadsBackUnderItsLabel) {
  const std::string texts[] = {
      "plain ascii", "caf\xC3\xA9 cr\xC3\xA8me", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\xA1\xE3\x83\xBC\xE3\x83\xAB",
      "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4", "\xE2\x91\xA0\xE2\x91\xA1 \xEF\xBD\x9E", "\xE2\x82\xAC 5",
  };
  for (const std::string& page : kCodePages) {
    test::CodePageScope scope(page);
    for (const char* charset : {"ISO-8859-1", "ISO-2022-JP", "ISO-2022-KR", "UTF-7", "UTF-8", "KOI8-R", "EUC-JP"}) {
      for (const std::string& text : texts) {
        const std::string local = platform::TextToLocal(text);
        if (platform::LocalToText(local) != text) continue;  // the local code page cannot hold it
        const std::optional<CharsetText> sent = LocalToCharset(local, charset);
        ASSERT_TRUE(sent);
        EXPECT_EQ(CharsetToLocal(sent->bytes, sent->charset), local) << page << " " << charset << " " << text;
      }
    }
  }
}

TEST(ContentCharsetToLocal, FindsTheCharsetParameter) {
  const std::string aJis = "\x1B$B\x30\x21\x1B(B";
  const struct {
    std::string contentType;
    std::string body;
    std::string local;
  } cases[] = {
      {"text/plain; charset=\"ISO-8859-1\"", "caf\xE9", "caf\xC3\xA9"},
      {"text/plain;charset=iso-2022-jp; format=flowed", aJis, "\xE4\xBA\x9C"},
      {"text/plain; name=a;\tCharSet = \" koi8-r\"", "\xC1", "\xD0\xB0"},
      {"text/plain; charset=ISO-8859-1; charset=x-unknown", "caf\xE9", "caf\xC3\xA9"},
      {"text/plain; x=\"charset=koi8-r\"; charset=ISO-8859-1", "caf\xE9", "caf\xC3\xA9"},
      {"text/plain", aJis, "\xE4\xBA\x9C"},
      {"text/plain; charset=x-unknown", "caf\xE9", "caf\xC3\xA9"},  // read as undeclared text
      {"text/plain", "caf\xC3\xA9", "caf\xC3\xA9"},
      {"text/plain; charsetx=ISO-8859-1", aJis, "\xE4\xBA\x9C"},  // not "=" after the name: no charset
  };
  test::CodePageScope scope("UTF-8");
  for (const auto& c : cases) EXPECT_EQ(ContentCharsetToLocal(c.body, c.contentType, "Windows-1252"), c.local) << c.contentType;
  test::CodePageScope shiftJis("SHIFT_JIS");
  EXPECT_EQ(ContentCharsetToLocal(aJis, "text/plain", "Windows-1252"), "\x88\x9F");
}

TEST(ConvertCharset, TellsBadInputFromMissingCharacters) {
  using platform::Conversion;
  using platform::ConvertCharset;
  using platform::Unrepresentable;
  const Conversion bad = ConvertCharset("a\x80" "b\xE6\x97", "UTF-8", "UTF-8", Unrepresentable::kFail);
  EXPECT_EQ(bad.status, Conversion::Status::kDone);
  EXPECT_EQ(bad.bytes, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  EXPECT_EQ(ConvertCharset("a\x80", "CP932", "ISO-8859-1", Unrepresentable::kFail).bytes, "a?");
  EXPECT_EQ(ConvertCharset("\xE2\x82\xAC", "UTF-8", "ISO-8859-1", Unrepresentable::kFail).status,
            Conversion::Status::kUnrepresentable);
  EXPECT_EQ(ConvertCharset("\xE2\x82\xAC!", "UTF-8", "ISO-8859-1", Unrepresentable::kReplace).bytes, "?!");
  EXPECT_EQ(ConvertCharset("x", "UTF-8", "ISO-8859-1//TRANSLIT", Unrepresentable::kFail).status,
            Conversion::Status::kUnknownCharset);
  // A stateful target is closed at the end of each text and starts afresh in the next.
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(ConvertCharset("\xE4\xBA\x9C", "UTF-8", "ISO-2022-JP", Unrepresentable::kFail).bytes, "\x1B$B\x30\x21\x1B(B");
  }
}

TEST(FindModelDependentChar, CountsUtf16UnitsUnderEveryCodePage) {
  const struct {
    std::string text;
    std::string head;
    std::string body;
    std::optional<std::size_t> index;
  } cases[] = {
      {"ab\xE2\x91\xA0", "ISO-2022-JP", "ISO-8859-1", 2},                // circled one, NEC row 13
      {"ab\xE2\x91\xA0", "ISO-8859-1", "iso-2022-jp", 2},
      {"ab\xE2\x91\xA0", "ISO-2022-JP-2", "UTF-8", std::nullopt},        // the whole name counts
      {"\xE6\x97\xA5\xE2\x88\xB5\xEF\xBF\xA2", "ISO-2022-JP", "", std::nullopt},  // 日∵￢ have JIS codes
      {"\xF0\x9D\x84\x9Ex\xE2\x85\xA0", "ISO-2022-JP", "", 3},             // a clef takes two units
      {"\xE7\xBA\x8A", "ISO-2022-JP", "", 0},                              // IBM kanji
      {"a\x87\x40", "ISO-2022-JP", "", 1},                                 // kept bytes
      {"a\xED\xB2\x87\xED\xB1\x80", "ISO-2022-JP", "", 1},                 // escaped bytes
  };
  for (const std::string& page : kCodePages) {
    test::CodePageScope scope(page);
    for (const auto& c : cases) {
      EXPECT_EQ(FindModelDependentChar(c.text, c.head, c.body), c.index) << page << " " << c.text;
    }
  }
}

}  // namespace
}  // namespace zelk::codec
