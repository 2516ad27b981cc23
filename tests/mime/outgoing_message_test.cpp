#include "mime/outgoing_message.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "codec/base64.h"
#include "codec/quoted_printable.h"
#include "mime/content_types.h"
#include "mime/display_text.h"
#include "support/fixed_clock.h"
#include "mime/multipart.h"
#include "platform/files.h"
#include "support/code_page_scope.h"
#include "support/temp_dir.h"

namespace zelk::mime {
namespace {

struct Wire {
  std::string header;  // up to and including the empty line
  std::string body;    // dot-stuffing removed, without the end marker
  std::string stuffed; // the body as it travels, as a POP3 server would hand it on
};

// Reads the text as an SMTP server reads DATA, checking the line ends and the one end marker.
Wire ReadData(const std::string& text) {
  EXPECT_TRUE(text.ends_with("\r\n.\r\n") || text == ".\r\n") << text;
  std::size_t crs = 0, lfs = 0, pairs = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    crs += text[i] == '\r';
    lfs += text[i] == '\n';
    pairs += text.compare(i, 2, "\r\n") == 0;
  }
  EXPECT_TRUE(crs == pairs && lfs == pairs) << "a lone CR or LF in " << text;
  std::string payload, stuffed;
  for (std::size_t pos = 0, end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
    std::string_view line(text.data() + pos, end - pos);
    if (line == ".") {
      EXPECT_EQ(end + 2, text.size()) << "end marker before the end";
      break;
    }
    stuffed.append(line).append("\r\n");
    if (line.starts_with(".")) line.remove_prefix(1);
    payload.append(line).append("\r\n");
  }
  const std::size_t split = payload.find("\r\n\r\n");
  return {payload.substr(0, split + 4), payload.substr(split + 4), stuffed.substr(stuffed.find("\r\n\r\n") + 4)};
}

std::size_t LongestLine(const std::string& text) {
  std::size_t longest = 0;
  for (std::size_t pos = 0, end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
    longest = std::max(longest, end - pos);
  }
  return longest;
}

struct Sender {
  store::MailItem item;
  store::MailBox account;
  OutgoingOptions options;
  test::FixedClock clock{test::kTuesday, -540};
  Text error;

  Sender() {
    account.UserName = "Jane Doe";
    account.MailAddress = "jane@example.com";
    item.To = "bob@example.com";
  }
  std::optional<std::string> Build() { return BuildMessageText(item, account, options, clock, error); }
  Wire Send() {
    const std::optional<std::string> text = Build();
    EXPECT_TRUE(text) << error;
    return ReadData(text.value_or(".\r\n"));
  }
};

TEST(OutgoingMessage, HeaderLinesInOrderAndTheItemShowsWhatWasSent) {
  Sender s;
  s.item.Cc = "carol@example.com,\r\n dan@example.com";
  s.item.Bcc = "secret@example.com";
  s.item.Subject = "Hello";
  s.item.ReplyTo = "list@example.com";
  s.account.ReplyTo = "ignored@example.com";
  s.item.InReplyTo = "<1@x>";
  s.item.References = "<0@x> <1@x>";
  s.item.MessageId = "<old@x>";
  s.item.Body = "Hi Bob,\r\n..dotted\r\n";
  const Wire wire = s.Send();
  EXPECT_EQ(wire.header,
            "From: Jane Doe <jane@example.com>\r\nTo: bob@example.com\r\n"
            "Cc: carol@example.com,\r\n dan@example.com\r\nDate: Tue, 3 Jan 2006 10:00:00 +0900\r\n"
            "Subject: Hello\r\nReply-To: list@example.com\r\nIn-Reply-To: <1@x>\r\nReferences: <0@x> <1@x>\r\n"
            "Message-Id: " + *s.item.MessageId + "\r\nMIME-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=\"US-ASCII\"\r\nContent-Transfer-Encoding: 7bit\r\n"
            "X-Mailer: Zelk Ver 1.0.1 (UK fix-1)\r\n\r\n");
  EXPECT_EQ(wire.body, "Hi Bob,\r\n.dotted\r\n");
  EXPECT_EQ(s.item.From, "Jane Doe <jane@example.com>");
  EXPECT_EQ(s.item.Date, "03/01/2006 10:00");
  EXPECT_EQ(s.item.MessageId->size(), 16u + 26u);
  EXPECT_TRUE(s.item.MessageId->ends_with(".jane@example.com>"));
}

TEST(OutgoingMessage, SettingsAndAccountShapeTheHeader) {
  Sender s;
  s.account.UserName = "Doe, John <J>";
  s.item.MessageId = "<kept@x>";
  s.options.sendDate = 0;
  s.options.sendMessageId = 2;
  std::string header = s.Send().header;
  EXPECT_TRUE(header.starts_with("From: Doe_ John _J_ <jane@example.com>\r\n")) << header;
  EXPECT_EQ(header.find("Date:"), std::string::npos);
  EXPECT_EQ(header.find("Message-Id:"), std::string::npos);
  EXPECT_EQ(s.item.Date, "03/01/2006 10:00");  // set all the same
  EXPECT_EQ(s.item.MessageId, "<kept@x>");

  s.account.ReplyTo = "team@example.com";
  s.account.UserName.reset();
  header = s.Send().header;
  EXPECT_NE(header.find("\r\nReply-To: team@example.com\r\n"), std::string::npos);
  EXPECT_TRUE(header.starts_with("From: <jane@example.com>\r\n"));

  s.account.MailAddress = "";
  s.account.ReplyTo.reset();
  header = s.Send().header;
  EXPECT_TRUE(header.starts_with("To: bob@example.com\r\n")) << header;
  EXPECT_EQ(header.find("Reply-To:"), std::string::npos);
  EXPECT_FALSE(s.item.From);
}

TEST(OutgoingMessage, LineBreaksInHeaderValuesRefuseTheMessageUnchanged) {
  const std::pair<std::string, std::string> cases[] = {
      {"To", "bob@example.com\r\nBcc: eve@example.com"},
      {"Subject", "Hi\nthere"},
      {"Cc", "a@x,\r\nb@x"},
      {"References", std::string("<1@x>\0", 6)},
      {"From", "Jane\r\nBcc: eve@example.com"},  // the account's UserName
      {"Reply-To", "a@x\rb@x"},                   // the account's ReplyTo
  };
  for (const auto& [field, value] : cases) {
    Sender s;
    s.item.Date = "earlier";
    if (field == "To") s.item.To = value;
    if (field == "Subject") s.item.Subject = value;
    if (field == "Cc") s.item.Cc = value;
    if (field == "References") s.item.References = value;
    if (field == "From") s.account.UserName = value;
    if (field == "Reply-To") s.account.ReplyTo = value;
    EXPECT_FALSE(s.Build()) << field;
    const std::string what = field == "References" ? " holds a NUL character" : " holds a line break";
    EXPECT_EQ(s.error, "Header field " + field + what);
    EXPECT_EQ(s.item.Date, "earlier");
    EXPECT_FALSE(s.item.From);
  }
  Sender s;  // a charset setting that the header encoder writes into its words
  s.options.headCharset = "X\r\nBcc: eve@example.com";
  s.item.Subject = "caf\xC3\xA9";
  EXPECT_FALSE(s.Build());
  EXPECT_EQ(s.error, "Header field Subject holds a line break");
}

TEST(OutgoingMessage, StoredDotsBecomeOneStuffingOnCanonicalLines) {
  const std::pair<std::string, std::string> cases[] = {
      {"..\r\n...\r\n>from me\r\nend", ".\r\n..\r\n>from me\r\nend\r\n"},
      {"a\nb\rc\r\r\nd\r\n", "a\r\nb\r\nc\r\n\r\nd\r\n"},
      {"x\r.y\n..z", "x\r\n.y\r\n.z\r\n"},  // a dot after a lone CR was never doubled
      {std::string("nul\0byte", 8), "nulbyte\r\n"},
      {"", ""},
  };
  for (const auto& [stored, received] : cases) {
    Sender s;
    s.item.Body = stored;
    EXPECT_EQ(s.Send().body, received) << stored;
  }
}

TEST(OutgoingMessage, EightBitBodiesAreLabelledWithTheCharsetTheyAreIn) {
  const std::string kLong(999, 'a');  // one character over the line limit
  const std::string k114 = "\xC3\xA9" + std::string(112, 'a');
  const struct {
    std::string charset;
    int encoding;
    std::string body, contentType, transfer, decoded;
  } cases[] = {
      {"ISO-8859-1", 3, "..caf\xC3\xA9", "text/plain; charset=\"ISO-8859-1\"", "quoted-printable", ".caf\xE9"},
      {"ISO-8859-1", 1, "caf\xC3\xA9\r\n", "text/plain; charset=\"ISO-8859-1\"", "8bit", "caf\xE9\r\n"},
      {"ISO-8859-1", 3, "5 \xE2\x82\xAC", "text/plain; charset=\"UTF-8\"", "quoted-printable", "5 \xE2\x82\xAC"},
      {"X-UNKNOWN", 1, "\xC3\xA9", "text/plain; charset=\"UTF-8\"", "8bit", "\xC3\xA9"},
      {"ISO-8859-1", 0, "\xE2\x82\xAC", "text/plain; charset=\"UTF-8\"", "quoted-printable", "\xE2\x82\xAC"},
      {"ISO-8859-1", 1, kLong, "text/plain; charset=\"US-ASCII\"", "quoted-printable", kLong},
      {"UTF-8", 2, k114, "text/plain; charset=\"UTF-8\"", "base64", k114},  // 152 base64 characters
  };
  for (const auto& c : cases) {
    Sender s;
    s.options.bodyCharset = c.charset;
    s.options.bodyEncoding = c.encoding;
    s.item.Body = c.body;
    const Wire wire = s.Send();
    EXPECT_NE(wire.header.find("Content-Type: " + c.contentType + "\r\nContent-Transfer-Encoding: " + c.transfer),
              std::string::npos) << wire.header;
    std::string decoded = wire.body;
    if (!c.decoded.ends_with("\r\n")) decoded.erase(decoded.size() - 2);  // the end marker's line end
    if (c.transfer == "base64") {
      EXPECT_EQ(decoded.size(), 76u + 2 + 76) << decoded;
      EXPECT_EQ(decoded.find("\r\n"), 76u);
      decoded = codec::Base64Decode(decoded);
    } else if (c.transfer == "quoted-printable") {
      EXPECT_LE(LongestLine(wire.body), 76u);
      decoded = codec::QuotedPrintableDecode(decoded);
    }
    EXPECT_EQ(decoded, c.decoded) << c.body;
  }
}

TEST(OutgoingMessage, JapaneseGoesOutInIso2022JpUnderShiftJis) {
  test::CodePageScope shiftJis("SHIFT_JIS");
  Sender s;
  s.options.bodyCharset = "ISO-2022-JP";
  s.options.bodyEncoding = 0;
  s.item.Body = "\xE6\x97\xA5\xE6\x9C\xAC";  // 日本
  const Wire wire = s.Send();
  EXPECT_NE(wire.header.find("charset=\"ISO-2022-JP\"\r\nContent-Transfer-Encoding: 7bit\r\n"), std::string::npos);
  EXPECT_EQ(wire.body, "\x1B$BF|K\\\x1B(B\r\n");
}

TEST(OutgoingMessage, AttachmentsMakeAMultipartThatReadsBack) {
  test::TempDir dir;
  const std::string binary("\0\x01\xFF.\r\n", 6);
  ASSERT_TRUE(platform::WriteFileAtomically(dir.file("photo.JPG"), binary));
  std::string large(300'000, '.');  // more than one piece read from the file
  for (std::size_t i = 0; i < large.size(); i += 7) large[i] = static_cast<char>(i);
  ASSERT_TRUE(platform::WriteFileAtomically(dir.file("report.TXT"), large));
  ASSERT_TRUE(platform::WriteFileAtomically(dir.file("empty"), ""));
  Sender s;
  s.item.Body = "..see attached";
  s.item.Attach = dir.file("photo.JPG") + "\xC2\xA0" + dir.file("report.TXT") + "\xC2\xA0" + dir.file("empty");
  const Wire wire = s.Send();
  const std::string type = "Content-Type: multipart/mixed;\r\n boundary=\"";
  const std::size_t at = wire.header.find(type);
  ASSERT_NE(at, std::string::npos) << wire.header;
  EXPECT_EQ(wire.header.find("Content-Transfer-Encoding"), std::string::npos);
  const std::string boundary = wire.header.substr(at + type.size(), 49);
  EXPECT_TRUE(wire.body.starts_with("--" + boundary + "\r\n"));
  EXPECT_TRUE(wire.body.ends_with("--" + boundary + "--\r\n"));
  EXPECT_EQ(LongestLine(wire.body), 76u);

  std::vector<MimePart> parts;
  // Four parts: exactly one boundary line before each and the closing one.
  ASSERT_EQ(ParseMultipart("multipart/mixed; boundary=\"" + boundary + "\"", wire.stuffed, parts, "Windows-1252"), 4u);
  const std::tuple<std::string, std::string, std::string> expected[] = {
      {"text/plain; charset=\"US-ASCII\"", "", ".see attached"},
      {"image/jpeg", "photo.JPG", binary},
      {"application/octet-stream", "report.TXT", large},
      {"application/octet-stream", "empty", ""},
  };
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(parts[i].contentType, std::get<0>(expected[i]));
    EXPECT_EQ(parts[i].fileName.value_or(""), std::get<1>(expected[i]));
    const std::string& data = std::get<2>(expected[i]);
    EXPECT_EQ(DecodePartData(parts[i], wire.stuffed).substr(0, data.size()), data);
  }

  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  for (const std::string& bad : {dir.path(), dir.file("missing"), dir.file("pipe")}) {
    s.item.Attach = dir.file("photo.JPG") + "\xC2\xA0" + bad;
    EXPECT_FALSE(s.Build()) << bad;
    EXPECT_EQ(s.error, "Attached file was not found");
  }
}

TEST(ContentTypes, ByExtensionAndBack) {
  EXPECT_EQ(ContentTypeForFile("my.photo.JPG"), "image/jpeg");
  EXPECT_EQ(ContentTypeForFile("report.TXT"), "application/octet-stream");
  EXPECT_EQ(ContentTypeForFile("gif"), "application/octet-stream");
  EXPECT_EQ(ExtensionForContentType("TEXT/PLAIN"), ".txt");
  EXPECT_EQ(ExtensionForContentType("application/postscript"), ".eps");
  EXPECT_EQ(ExtensionForContentType("application/pdf"), std::nullopt);
}

}  // namespace
}  // namespace zelk::mime
