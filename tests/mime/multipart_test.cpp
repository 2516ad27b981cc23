#include "mime/multipart.h"

#include <gtest/gtest.h>

#include "mime/mime_corpus.h"
#include "support/code_page_scope.h"

namespace zelk::mime {
namespace {

using Opt = std::optional<std::string>;

struct Expected {
  Opt contentType;
  std::string text;
  bool ended = true;  // has a body end
};

std::vector<MimePart> Parse(const std::string& contentType, const std::string& body) {
  std::vector<MimePart> parts;
  const std::size_t count = ParseMultipart(contentType, body, parts, "Windows-1252");
  EXPECT_EQ(count, parts.size());
  return parts;
}

TEST(ParseMultipart, FlattensLeafPartsInOrder) {
  const std::pair<std::string, std::vector<Expected>> cases[] = {
      {"preamble\r\n--b\r\nContent-Type: text/plain\r\n\r\nhi\r\n--b--\r\nepilogue\r\n--b\r\n\r\nno\r\n", {{"text/plain", "hi"}}},
      {"--b\r\nContent-Type: multipart/alternative;\r\n boundary=in\r\n\r\n--in\r\nContent-Type: text/plain\r\n\r\nP\r\n"
       "--in\r\n\r\nH\r\n--in--\r\n\r\n--b\r\nContent-Type: image/png\r\n\r\nI\r\n--b--\r\n",
       {{"text/plain", "P"}, {{}, "H"}, {"image/png", "I"}}},
      // A nested multipart without a boundary adds no part.
      {"--b\r\n\r\nA\r\n--b\r\nContent-Type: multipart/related\r\n\r\n--x\r\n\r\nskip\r\n--b\r\n\r\nC\r\n--b--\r\n",
       {{{}, "A"}, {{}, "C"}}},
      // An inner multipart never closed ends at the outer boundary instead of running to the end.
      {"--b\r\nContent-Type: multipart/alternative; boundary=in\r\n\r\n--in\r\n\r\nP\r\n--b\r\n\r\nI\r\n--b--\r\n",
       {{{}, "P"}, {{}, "I"}}},
      // A line goes to the longest boundary it matches, whether inner or outer begins with the other.
      {"--b\r\nContent-Type: multipart/mixed; boundary=b2\r\n\r\n--b2\r\n\r\nX\r\n--b2--\r\n--b\r\n\r\nZ\r\n--b--\r\n",
       {{{}, "X"}, {{}, "Z"}}},
      // An empty boundary (RFC 2046 wants 1 to 70 characters) is none.
      {"--b\r\nContent-Type: multipart/mixed; boundary=\"\"\r\n\r\n--\r\n\r\nX\r\n--b\r\n\r\nZ\r\n--b--\r\n", {{{}, "Z"}}},
      // Blanks after a boundary; a folded value keeps its blank; "--b" inside a line; a line that
      // goes on after the boundary is text.
      {"--b \t\r\nContent-Type: application/x;\r\n\tname=\"n\"\r\n\r\nQQ==\r\n x--b\r\n--bz\r\n--b-- \r\n",
       {{"application/x;\tname=\"n\"", "QQ==\r\n x--b\r\n--bz"}}},
      {"--b\r\n\r\nA\r\n--bTOP is not a boundary\r\n--b--\r\n", {{{}, "A\r\n--bTOP is not a boundary"}}},
      // A header block that runs into the body: the body starts at the first line that is no field.
      {"--b\r\nContent-Type: text/plain\r\nHello\r\n--b--\r\n", {{"text/plain", "Hello"}}},
      {"--b\r\n\r\nA\r\n--b\r\nContent-Type: text/plain\r\n\r\nrest\r\n", {{{}, "A"}, {"text/plain", "rest\r\n", false}}},
      // An empty part; header blocks cut off by a boundary and by the end of the text.
      {"--b\r\n\r\n--b\r\nContent-Type: text/plain\r\n--b\r\nContent-Type: image/gif\r\n",
       {{{}, ""}, {"text/plain", ""}, {"image/gif", "", false}}},
      {"no boundary\r\n-- \r\nsignature\r\n", {}},
  };
  for (const auto& [body, expected] : cases) {
    const std::vector<MimePart> parts = Parse("multipart/mixed; boundary=\"b\"", body);
    ASSERT_EQ(parts.size(), expected.size()) << body;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      EXPECT_EQ(parts[i].contentType, expected[i].contentType) << body << " part " << i;
      EXPECT_EQ(PartText(parts[i], body), expected[i].text) << body << " part " << i;
      EXPECT_EQ(parts[i].bodyEnd.has_value(), expected[i].ended) << body << " part " << i;
    }
  }
}

// Hostile shapes must stay linear: nesting is followed 64 levels deep, and 100,000 parts are
// found in one pass (timed in bench/display_text_bench.cpp).
TEST(ParseMultipart, DeepNestingAndManyParts) {
  for (const int depth : {10, 64, 65, 10000}) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
      const std::string b = "lvl" + std::to_string(i) + "x";
      open += "--" + b + "\r\n\r\nleaf " + std::to_string(i) + "\r\n--" + b +
              "\r\nContent-Type: multipart/mixed; boundary=lvl" + std::to_string(i + 1) + "x\r\n\r\n";
      close = "--" + b + "--\r\n" + close;
    }
    const std::string body = open + close;
    const std::vector<MimePart> parts = Parse("multipart/mixed; boundary=lvl0x", body);
    ASSERT_EQ(parts.size(), std::min<std::size_t>(static_cast<std::size_t>(depth), kMaxMultipartDepth));
    for (std::size_t i = 0; i < parts.size(); ++i) EXPECT_EQ(PartText(parts[i], body), "leaf " + std::to_string(i));
  }
  std::string body;
  for (int i = 0; i < 100000; ++i) body += "--b\r\nContent-Type: text/plain; name=p" + std::to_string(i) + "\r\n\r\nx\r\n";
  const std::vector<MimePart> parts = Parse("multipart/mixed; boundary=b", body + "--b--\r\n");
  ASSERT_EQ(parts.size(), 100000u);
  EXPECT_EQ(parts.back().fileName, "p99999");
}

TEST(ParseMultipart, CorpusFileNames) {
  const std::string hokoku = "\xE5\xA0\xB1\xE5\x91\x8A\xE6\x9B\xB8.txt";  // 報告書.txt
  const std::tuple<std::string, std::string, std::vector<Opt>> cases[] = {
      {"nested_alternative.eml", "UTF-8", {{}, {}, "slides.pdf"}},
      {"rfc2231_filename.eml", "UTF-8", {{}, "caf\xC3\xA9.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt", "a long name, part two.txt"}},
      {"rfc2231_filename.eml", "CP1252", {{}, "caf\xC3\xA9.txt", "??.txt", "a long name, part two.txt"}},
      {"rfc2047_filename.eml", "UTF-8", {{}, hokoku, "r\xC3\xA9sum\xC3\xA9.txt"}},
      {"rfc2047_filename.eml", "SHIFT_JIS", {{}, hokoku, "r?sum?.txt"}},
      {"no_content_type.eml", "UTF-8", {{}, "plain.txt"}},
      {"boundary_case.eml", "UTF-8", {{}, "x.bin"}},
      {"nested_without_boundary.eml", "UTF-8", {{}, "last.bin"}},
  };
  for (const auto& [file, page, names] : cases) {
    test::CodePageScope scope(page);
    const store::MailItem item = test::ItemFromFile(file);
    std::vector<Opt> found;
    for (const MimePart& part : Parse(*item.ContentType, *item.Body)) found.push_back(part.fileName);
    EXPECT_EQ(found, names) << file << " " << page;
  }
}

}  // namespace
}  // namespace zelk::mime
