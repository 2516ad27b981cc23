#include "codec/header_params.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/code_page_scope.h"

namespace zelk::codec {
namespace {

TEST(ParamBytes, MatchesWholeNamesAndReadsQuotedStrings) {
  const struct {
    const char* value;
    const char* name;
    std::optional<std::string> bytes;
  } cases[] = {
      {"multipart/mixed; boundary-x=\"wrong\"; boundary=\"real\"", "boundary", "real"},
      {"multipart/mixed;BOUNDARY = abc ; x=y", "boundary", "abc"},
      {"multipart/mixed; boundary=\" a \"", "boundary", " a "},
      {"multipart/signed; boundary*=us-ascii''abc", "boundary", "abc"},
      {"attachment; filename=\"a;b.txt\"", "filename", "a;b.txt"},
      {"attachment; names=foo; name=bar.txt", "name", "bar.txt"},
      {"attachment; filename=\"a\\\"q\\\\.txt\"", "filename", "a\"q\\.txt"},
      {"attachment; filename=my file.txt ; size=3", "filename", "my file.txt"},
      {"attachment; filename=\"open", "filename", "open"},
      {"text/plain; charset=us-ascii", "boundary", std::nullopt},
      {"text/plain; name", "name", std::nullopt},
      {"text/plain; x=\"name=no;\"", "name", std::nullopt},
      {"a; name*1=\"two\"; name*0=\"one-\"", "name", "one-two"},      // sections in any order
      {"a; name*0*=utf-8''%41%4; name*1=%42", "name", "A%4%42"},      // only *N* sections unescape
      {"a; name=\"plain\"; name*=utf-8''ext", "name", "ext"},          // RFC 2231 wins
      {"a; name*99999=x", "name", std::nullopt},                       // no such section
  };
  for (const auto& c : cases) EXPECT_EQ(ParamBytes(c.value, c.name), c.bytes) << c.value;
}

TEST(ParamText, DecodesUnderEachCodePage) {
  const std::string pages[] = {"UTF-8", "CP1252", "SHIFT_JIS"};
  const std::string a = "\xE4\xBA\x9C";  // 亜
  const struct {
    std::string value;
    std::string text[3];
  } cases[] = {
      {"a; filename*=ISO-8859-1'en'caf%E9", {"caf\xC3\xA9", "caf\xC3\xA9", "caf?"}},
      {"a; filename*=abc", {"abc", "abc", "abc"}},
      {"a; filename*=utf-8''C++%20notes.txt", {"C++ notes.txt", "C++ notes.txt", "C++ notes.txt"}},
      {"a; filename*0*=UTF-8'ja'%E6%97; filename*1*=%A5", {"\xE6\x97\xA5", "?", "\xE6\x97\xA5"}},
      {"a; filename*=iso-2022-jp''%1B%24B0%21%1B%28B", {a, "?", a}},
      {"a; filename*=a'b'", {"a'b'", "a'b'", "a'b'"}},  // nothing after the second apostrophe
      {"a; filename*=ISO-8859-1''a%00b", {"a", "a", "a"}},
      {"a; filename*=UTF-16BE''%00A%00B", {"AB", "AB", "AB"}},
      {"a; filename=\"=?UTF-8?B?Y2Fmw6kudHh0?=\"", {"caf\xC3\xA9.txt", "caf\xC3\xA9.txt", "caf?.txt"}},
      {"a; filename=\"report (1).pdf\"", {"report (1).pdf", "report (1).pdf", "report (1).pdf"}},
      // 表 is 0x95 0x5C in Shift_JIS: its second byte is no backslash of the quoted string.
      {"a; filename=\"\xE8\xA1\xA8.txt\"", {"\xE8\xA1\xA8.txt", "?.txt", "\xE8\xA1\xA8.txt"}},
  };
  for (int page = 0; page < 3; ++page) {
    test::CodePageScope scope(pages[page]);
    for (const auto& c : cases) {
      EXPECT_EQ(ParamText(c.value, "filename", "Windows-1252"), c.text[page]) << pages[page] << " " << c.value;
    }
  }
}

}  // namespace
}  // namespace zelk::codec
