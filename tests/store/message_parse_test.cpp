#include "store/message_parse.h"

#include <gtest/gtest.h>

#include "store/header_fields.h"

namespace zelk::store {
namespace {

TEST(HeaderFields, FindUnfoldAndJoinFieldsOfTheHeaderBlockOnly) {
  const std::string raw =
      "To: a@b\r\n"
      "subject: Hello\r\n  world\r\n\tagain\r\n"
      "TO: c@d\r\n"
      "X-Empty:\r\n"
      "\r\n"
      "To: not@header\r\n";
  const HeaderBlock header = HeaderBlockOf(raw);
  EXPECT_EQ(HeaderValue(header, "Subject:"), "Hello  world\tagain");  // each CR LF goes, the blanks stay
  EXPECT_EQ(HeaderValues(header, "To:"), "a@b,c@d");
  EXPECT_EQ(HeaderValue(header, "X-Empty:"), "");
  EXPECT_FALSE(HeaderValue(header, "Cc:"));
  EXPECT_FALSE(HeaderValue(HeaderBlockOf("\r\nTo: x\r\n"), "To:"));  // an empty header block
  EXPECT_EQ(DecodedHeader(HeaderBlockOf("Subject: =?ISO-8859-1?Q?caf=E9?= x\r\n\r\n"), "Subject:", false, "Windows-1252"),
            "caf\xC3\xA9 x");
}

TEST(HeaderFields, MessageKeyFallsBackFromMessageIdToUidlToDateAndFrom) {
  const std::pair<const char*, const char*> cases[] = {
      {"Message-Id: <a@b> (comment)\r\nX-UIDL: u\r\n\r\n", "<a@b>"},
      {"Message-Id: a@b\r\nX-UIDL: u1\r\n\r\n", "u1"},
      {"Message-Id: <open\r\nDate: d\r\nFrom: f\r\n\r\n", "d.f"},
      {"From: f\r\n\r\n", ".f"},
      {"\r\n", "."},
      // Keys are read as they always were, since profiles hold them: the blank after a fold goes
      // with the CR LF, and a line that is no field does not end the header block.
      {"Date: Tue,\r\n 3 Jan\r\nFrom: John\r\n Smith\r\n\r\n", "Tue,3 Jan.JohnSmith"},
      {"Date: d\r\nno field\r\nX-UIDL: u2\r\n\r\n", "u2"},
  };
  for (const auto& [raw, key] : cases) EXPECT_EQ(MessageKey(raw), key) << raw;
}

TEST(HeaderFields, HeaderBlockRunningIntoTheBodyEndsAtTheFirstLineThatIsNoField) {
  const struct {
    const char* raw;
    const char* subject;  // nullptr: absent
    const char* body;
  } cases[] = {
      {"Subject: a\r\nHello there\r\nSubject: b\r\n", "a", "Hello there\r\nSubject: b\r\n"},
      {"From x@y Mon Jan 1\r\nSubject: a\r\n\r\nBody\r\n", "a", "Body\r\n"},  // an mbox separator first
      {"Subject : a\r\n\r\nBody\r\n", nullptr, "Body\r\n"},                    // blanks before the colon
      {"Subject: a\r\n\tb\r\n\r\n.Body\r\n", "a\tb", ".Body\r\n"},
      {"no header at all\r\n", nullptr, "no header at all\r\n"},
  };
  for (const auto& c : cases) {
    MailItem item;
    ParseMessage(item, c.raw, std::nullopt, ParseContext{});
    EXPECT_EQ(item.Subject, c.subject ? OptionalText(c.subject) : std::nullopt) << c.raw;
    EXPECT_EQ(item.Body, c.body) << c.raw;
  }
}

TEST(ParseMessage, ThreadIdsKeepTheParentAndOneMoreAncestor) {
  struct Case {
    const char* headers;
    const char* inReplyTo;  // nullptr: absent
    const char* references;
  } cases[] = {
      {"References: <1> <2>\r\n <3>\r\n", "<3>", "<2>"},
      {"References: <1> <2> <3>\r\nIn-Reply-To: <3>\r\n", "<3>", "<2>"},
      {"References: <1> <2> <3>\r\nIn-Reply-To: <9> (sent by x)\r\n", "<9>", "<3>"},
      {"References: <1>\r\n", "<1>", nullptr},
      {"In-Reply-To: no group\r\n", nullptr, nullptr},
      {"In-Reply-To: <p>\r\n", "<p>", nullptr},
      {"", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    const ThreadIds ids = ThreadIdsOf(HeaderBlockOf(std::string(c.headers) + "\r\n"));
    EXPECT_EQ(ids.inReplyTo, c.inReplyTo ? OptionalText(c.inReplyTo) : std::nullopt) << c.headers;
    EXPECT_EQ(ids.references, c.references ? OptionalText(c.references) : std::nullopt) << c.headers;
  }
}

TEST(ParseMessage, FillsFieldsAndStoresATextBodyDecodedOnce) {
  MailItem item;
  const std::string raw =
      "From: =?ISO-8859-1?Q?Ren=E9?= <r@x>\r\nTo: a@b\r\nTo: c@d\r\nSubject: Hi\r\n there\r\n"
      "Date: Tue, 3 Jan 2006 10:00:00 +0900\r\nContent-Type: text/plain; charset=us-ascii\r\n"
      "Content-Transfer-Encoding: base64\r\nMessage-Id: <m@x>\r\nX-UIDL: u7\r\n\r\naGVsbG8=\r\n";
  ParseMessage(item, raw, Text("123"), ParseContext{});
  EXPECT_EQ(item.From, "Ren\xC3\xA9 <r@x>");
  EXPECT_EQ(item.To, "a@b,c@d");
  EXPECT_EQ(item.Subject, "Hi there");  // RFC 5322 unfolding keeps the continuation's blank
  EXPECT_EQ(item.Date, "03/01/2006 10:00");
  EXPECT_EQ(item.Size, "123");
  EXPECT_EQ(item.MessageId, "<m@x>");
  EXPECT_EQ(item.UIDL, "u7");
  EXPECT_EQ(item.Body, "hello");
  EXPECT_FALSE(item.Encoding);  // the stored body is decoded
  EXPECT_EQ(item.Status, kStatusUnread);
  EXPECT_EQ(item.Mark, kStatusUnread);
  EXPECT_FALSE(item.Cc);

  MailItem multipart;
  ParseMessage(multipart, "Content-Type: Multipart/mixed; boundary=x\r\nContent-Transfer-Encoding: 7bit\r\n\r\n--x\r\n",
               std::nullopt, ParseContext{});
  EXPECT_EQ(multipart.Multipart, 1);
  EXPECT_FALSE(multipart.Encoding);

  MailItem headerOnly;
  ParseMessage(headerOnly, "Subject: s\r\n\r\n", std::nullopt, ParseContext{});
  EXPECT_EQ(headerOnly.Status, 0);
  EXPECT_FALSE(headerOnly.Body);
  ParseContext keep;
  keep.keepHeader = true;
  ParseMessage(headerOnly, "Subject: s\r\n\r\n", std::nullopt, keep);
  EXPECT_EQ(headerOnly.Body, "Subject: s\r\n\r\n");
  EXPECT_EQ(headerOnly.Status, kStatusUnread);
  ParseMessage(headerOnly, "Subject: s\r\n\r\nbody", std::nullopt, keep);
  EXPECT_EQ(headerOnly.Body, "Subject: s\r\n\r\nbody");
}

}  // namespace
}  // namespace zelk::store
