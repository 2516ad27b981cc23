#include "mime/display_text.h"

#include <gtest/gtest.h>

#include "codec/base64.h"
#include "mime/mime_corpus.h"
#include "support/code_page_scope.h"

namespace zelk::mime {
namespace {

TEST(DecodeStoredBody, DecodesTextBodiesOnceAndKeepsThemDotDoubled) {
  const struct {
    OptionalText contentType, encoding;
    std::string in, out;
    bool encodingKept;
  } cases[] = {
      {"text/plain", "base64", codec::Base64Encode(".a\r\nb\r\n."), "..a\r\nb\r\n..", false},
      {"TEXT/html", "Quoted-Printable", "=2Ex\r\nsoft=\r\n..dot\r\n", "..x\r\nsoft.dot\r\n", false},
      {"text/plain", "7bit", "..as is\r\n", "..as is\r\n", false},
      {"image/gif", "base64", "R0lG\r\n", "R0lG\r\n", true},
      {std::nullopt, "base64", "QQ==", "QQ==", true},
  };
  for (const auto& c : cases) {
    store::MailItem item;
    item.ContentType = c.contentType;
    item.Encoding = c.encoding;
    EXPECT_EQ(DecodeStoredBody(item, c.in), c.out) << c.in;
    EXPECT_EQ(item.Encoding.has_value(), c.encodingKept) << c.in;
  }
  EXPECT_EQ(UnescapeDots("..x\r\n.y\r\n.\r\n"), ".x\r\ny\r\n\r\n");
}

TEST(GetDisplayText, CorpusShowsTheFirstTextPartInEachCodePage) {
  const std::string image = test::ItemFromFile("image.eml").Body.value_or("?");
  const std::tuple<std::string, std::optional<std::size_t>, std::string> cases[] = {
      {"nested_alternative.eml", 0, "Hello Bob,\r\n\r\nthe minutes are below; the slides are attached.\r\nCaf\xC3\xA9 at ten, not nine."},
      {"missing_closing_boundary.eml", 0, "The notes follow."},
      {"no_content_type.eml", 0, "A part without headers is plain text."},
      {"boundary_case.eml", 0, "Lower case boundary above."},
      {"nested_without_boundary.eml", 0, "First."},
      {"base64_text.eml", 0, "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln.\r\n.profile is hidden\r\n.\r\nend\r\n"},
      {"dot_stuffed.eml", 0, ".\r\n.x\r\n..y\r\nend.\r\n"},
      {"quoted_printable_dots.eml", 0, "Soft break before a dot: one.two\r\n.hidden\r\n.visible\r\nna\xC3\xAFve"},
      {"image.eml", std::nullopt, image},  // no text part: the stored body as it is
  };
  for (const char* page : {"UTF-8", "CP1252"}) {
    test::CodePageScope scope(page);
    for (const auto& [file, selected, text] : cases) {
      std::vector<MimePart> parts;
      const DisplayText shown = GetDisplayText(test::ItemFromFile(file), false, parts, "Windows-1252");
      EXPECT_EQ(shown.selected, selected) << file << " " << page;
      EXPECT_EQ(shown.text, text) << file << " " << page;
    }
  }
}

// Whole messages as servers deliver them: a header that runs into the body, a digest whose
// messages declare no type, a file sent alone, and 8-bit text that declares no charset, read in
// the fallback charset the user set.
TEST(GetDisplayText, MalformedAndUndeclaredMessagesShowAsReadersShowThem) {
  const std::string sjisName = "\xE6\x9C\x88\xE5\xA0\xB1";  // 月報
  const std::string latinName = "\xC5\x92\xC5\xBD\xE2\x80\xA2\xC3\xB1";  // the same bytes read as Windows-1252
  const struct {
    const char* file;
    const char* fallback;
    std::string subject;
    std::string text;
    std::vector<std::string> mediaTypes;  // of the parts offered, "" for none
    std::vector<std::string> fileNames;   // of the parts offered, "" for none
  } cases[] = {
      {"header_into_body.eml", "Windows-1252", "Notes from the meeting",
       "The header above has no empty line after it.\r\nKey: value lines after the first body line stay text.\r\n",
       {"text/plain"}, {""}},
      {"digest_without_type.eml", "Windows-1252", "Digest, Vol 12, Issue 3", "Today's topics: two messages.",
       {"text/plain", "message/rfc822", "message/rfc822"}, {"", "", ""}},
      {"csv_alone.eml", "Windows-1252", "Statement", "Datum;Betrag;Text\r\n2026-12-01;12,50;Caf\xC3\xA9\r\n",
       {"text/csv", "text/csv"}, {"", "Ums\xC3\xA4tze 2026.csv"}},
      {"latin1_undeclared.eml", "Windows-1252", "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln",
       "Sch\xC3\xB6ne Gr\xC3\xBC\xC3\x9F" "e,\r\nJ\xC3\xB6rg\r\n", {""}, {""}},
      {"sjis_undeclared_name.eml", "Shift_JIS", sjisName, sjisName + "\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82",
       {"text/plain", "application/pdf"}, {"", sjisName + ".pdf"}},
      {"sjis_undeclared_name.eml", "Windows-1252", latinName, {}, {"text/plain", "application/pdf"}, {"", latinName + ".pdf"}},
  };
  test::CodePageScope scope("UTF-8");
  for (const auto& c : cases) {
    const store::MailItem item = test::ItemFromFile(c.file, c.fallback);
    EXPECT_EQ(item.Subject, c.subject) << c.file;
    std::vector<MimePart> parts;
    const std::string text = GetDisplayText(item, false, parts, c.fallback).text;
    if (!c.text.empty()) {
      EXPECT_EQ(text, c.text) << c.file;
    }
    std::vector<std::string> mediaTypes, fileNames;
    for (const MimePart& part : parts) {
      const std::string type = part.contentType.value_or("");
      mediaTypes.push_back(type.substr(0, type.find(';')));
      fileNames.push_back(part.fileName.value_or(""));
    }
    EXPECT_EQ(mediaTypes, c.mediaTypes) << c.file << " " << c.fallback;
    EXPECT_EQ(fileNames, c.fileNames) << c.file << " " << c.fallback;
  }
}

TEST(GetDisplayText, JapaneseWithAndWithoutCharset) {
  const std::string hello = "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF";  // こんにちは
  store::MailItem bare;
  bare.ContentType = "multipart/mixed; boundary=j";
  bare.Multipart = 1;
  bare.Body = "--j\r\n\r\n\x1B$B$3$s$K$A$O\x1B(B\r\n--j--\r\n";
  for (const char* page : {"UTF-8", "SHIFT_JIS"}) {
    test::CodePageScope scope(page);
    std::vector<MimePart> parts;
    const std::string text = GetDisplayText(test::ItemFromFile("iso2022jp.eml"), false, parts, "Windows-1252").text;
    EXPECT_EQ(text.substr(0, hello.size()), hello) << page;
    EXPECT_NE(text.find("\r\n\xE4\xBC\x9A\xE8\xAD\xB0"), std::string::npos) << page;  // 会議 on line two
    EXPECT_EQ(GetDisplayText(bare, false, parts, "Windows-1252").text, hello) << page;
  }
}

TEST(GetDisplayText, WholeBodyAsOnePart) {
  store::MailItem item = test::ItemFromFile("image.eml");
  std::vector<MimePart> parts(3);
  GetDisplayText(item, false, parts, "Windows-1252");
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].fileName, "dot.gif");
  EXPECT_EQ(DecodePartData(parts[0], *item.Body).substr(0, 6), "GIF89a");

  item = test::ItemFromFile("quoted_printable_dots.eml");  // source: undecoded, dots undone
  const DisplayText shown = GetDisplayText(item, true, parts, "Windows-1252");
  EXPECT_EQ(shown.selected, 0u);
  EXPECT_EQ(parts.size(), 1u);
  EXPECT_EQ(shown.text, UnescapeDots(*item.Body));
}

TEST(DecodePartData, BytesAsSent) {
  static const char kPdf[] = "%PDF-1.4\n%\xe4\xfc\xf6\xdf\n1 0 obj\n<</Type/Catalog>>\nendobj\n\x00\x01\x02trailer\n";
  const std::tuple<std::string, std::size_t, std::string> cases[] = {
      {"nested_alternative.eml", 2, std::string(kPdf, sizeof kPdf - 1)},
      {"boundary_case.eml", 1, std::string("\0\xFFx", 3)},
      {"missing_closing_boundary.eml", 1, "first line\r\nlast line\r\n"},  // to the very last byte
      {"quoted_printable_dots.eml", 1, ".config\r\n.."},
      {"quoted_printable_dots.eml", 0, "Soft break before a dot: one.two\r\n.hidden\r\n.visible\r\nna\xEFve"},
  };
  for (const char* page : {"UTF-8", "CP1252"}) {
    test::CodePageScope scope(page);
    for (const auto& [file, index, data] : cases) {
      const store::MailItem item = test::ItemFromFile(file);
      std::vector<MimePart> parts;
      ParseMultipart(*item.ContentType, *item.Body, parts, "Windows-1252");
      ASSERT_LT(index, parts.size()) << file;
      EXPECT_EQ(DecodePartData(parts[index], *item.Body), data) << file << " " << index << " " << page;
    }
  }
}

TEST(KeepFirstTextPart, CutsDownToTheTextPart) {
  store::MailItem item = test::ItemFromFile("nested_alternative.eml");
  std::vector<MimePart> parts;
  const std::string before = GetDisplayText(item, false, parts, "Windows-1252").text;
  ASSERT_TRUE(KeepFirstTextPart(item));
  EXPECT_EQ(item.Encoding, "quoted-printable");
  EXPECT_EQ(item.Attach, "_");
  EXPECT_EQ(GetDisplayText(item, false, parts, "Windows-1252").text, before);

  item.Body = "--q\r\nContent-Type: image/png\r\n\r\nAAAA\r\n--q--\r\n";
  item.ContentType = "multipart/mixed; boundary=q";
  const store::MailItem unchanged = item;
  EXPECT_FALSE(KeepFirstTextPart(item));
  EXPECT_EQ(item.Body, unchanged.Body);
  EXPECT_EQ(GetDisplayText(item, false, parts, "Windows-1252").text, *item.Body);  // nothing to show but the stored body
}

}  // namespace
}  // namespace zelk::mime
