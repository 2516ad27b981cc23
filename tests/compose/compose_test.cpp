#include <gtest/gtest.h>

#include <span>

#include "compose/address_list.h"
#include "compose/command_line.h"
#include "compose/escape.h"
#include "compose/mailto.h"
#include "compose/new_message.h"
#include "compose/outbox.h"
#include "compose/reply.h"
#include "compose/wrap.h"
#include "mime/display_text.h"
#include "support/code_page_scope.h"

namespace zelk::compose {
namespace {

using store::MailItem;
using store::OptionalText;

struct WrapCase {
  const char* text;
  int width;
  const char* wrapped;
};

void ExpectWraps(std::span<const WrapCase> cases, const WrapCharacters& characters) {
  for (const WrapCase& c : cases) {
    EXPECT_EQ(WrapText(c.text, "> ", c.width, true, characters), c.wrapped) << c.text << " at width " << c.width;
  }
}

const WrapCharacters kDefaults = WrapCharactersOf(config::Settings());

TEST(WrapText, BreaksBeforeWordsTabsAndCharactersThatPassTheWidth) {
  const WrapCase cases[] = {
      {"aaaa bbbb cccc", 10, "aaaa bbbb \r\ncccc"},  // the space stays with its word
      {"aaaa bbbb\r\ncccc dddd", 10, "aaaa bbbb\r\ncccc dddd"},
      {"aaaa bbbb\ncccc dddd", 10, "aaaa bbbb\ncccc dddd"},  // a bare LF ends a line too
      {"aaaaaaaaaaaaaa bb", 10, "aaaaaaaaaaaaaa \r\nbb"},     // a long word is never cut
      {"aaaa bbbb cccc", 0, "aaaa bbbb cccc"},
      {"aaaaaaaaa,", 10, "aaaaaaaaa,"},     // fills the last column
      {"aaaaaaaaaa,", 10, "aaaaaaaaaa,"},   // hangs past it (sBura)
      {"aaaaaaaaaa-", 10, "aaaaaaaaaa\r\n-"},
      {"aaaaaaaaa(", 10, "aaaaaaaaa\r\n("},  // an opener never takes the last column (sOida)
      {"ab\tcd\tef", 10, "ab\tcd\r\n\tef"},
      {"\tx", 4, "\t\r\nx"},                       // no empty line before a tab at the start
      {"aaaaaaa Grüße", 10, "aaaaaaa \r\nGrüße"},  // letters beyond ASCII stay in their word
      {"aaaaaaaa e\u0301", 10, "aaaaaaaa \r\ne\u0301"},  // and so do combining accents
      {"ｱｲｳｴｵ", 4, "ｱｲｳｴ\r\nｵ"},                   // half-width katakana break anywhere
      {"日本語日本語", 10, "日本語日本\r\n語"},    // wide characters count two columns
      {"日本", 1, "日\r\n本"},
  };
  ExpectWraps(cases, kDefaults);
}

TEST(WrapText, WideCharacterRulesIgnoreLetterCase) {
  WrapCharacters characters = kDefaults;
  characters.Bura = "語ａ";
  characters.Oida = "本";
  const WrapCase cases[] = {
      {"日本語日本語", 10, "日本語日\r\n本語"},  // 本 would take the last column
      {"日本語日日語", 10, "日本語日日語"},      // 語 hangs
      {"日本語日日Ａ", 10, "日本語日日Ａ"},      // Ａ hangs as ａ does
  };
  ExpectWraps(cases, characters);
}

TEST(WrapText, QuotedLinesStayWholeOnlyWhenAsked) {
  const char* text = "aaaa bbbb cccc\r\n> aaaa bbbb cccc";
  EXPECT_EQ(WrapText(text, "> ", 10, true, kDefaults), "aaaa bbbb \r\ncccc\r\n> aaaa bbbb cccc");
  EXPECT_EQ(WrapText(text, "> ", 10, false, kDefaults), "aaaa bbbb \r\ncccc\r\n> aaaa \r\nbbbb cccc");
  // An empty mark begins every line.
  EXPECT_EQ(WrapText(text, "", 10, true, kDefaults), text);
}

TEST(QuoteText, MarksEveryLineAndEndsWithOneLineEnd) {
  EXPECT_EQ(QuoteText("a\r\n\r\nb\r\n\r\n", "> "), "> a\r\n> \r\n> b\r\n");
  EXPECT_EQ(QuoteText("\r\n\r\n", "> "), "> \r\n");
  EXPECT_EQ(QuoteText("", "> "), "> \r\n");
  EXPECT_EQ(QuoteText("a\r\n", ""), "a\r\n");
}

TEST(ExpandReplyHeader, PutsInFieldsAndDropsUnknownCodes) {
  MailItem answered;
  answered.From = "Ann <a@x>";
  answered.Date = "03/01/2006 10:00";
  answered.Subject = "Hi";
  answered.MessageId = "<1@x>";
  EXPECT_EQ(ExpandReplyHeader("%f wrote %x:%", answered), "Ann <a@x> wrote :");
  EXPECT_EQ(ExpandReplyHeader("%F|%t|%C|%b|%D|%s|%I|100%%|%é.", answered),
            "Ann <a@x>||||03/01/2006 10:00|Hi|<1@x>|100%|.");
  answered.MessageId = "20060103.a@x";  // a substitute key is no Message-Id
  EXPECT_EQ(ExpandReplyHeader("(%i)", answered), "()");
}

TEST(EscapeForSending, DoublesLineDotsAndGuardsFromLines) {
  const std::pair<const char*, const char*> cases[] = {
      {".\r\nfrom me", "..\r\n>from me"},
      {"From x\r\nFROMAGE\r\n.", ">From x\r\n>FROMAGE\r\n.."},
      {"a\nfrom\n.b", "a\nfrom\n..b"},  // only CR LF lines count for "from"
      {"a.b\r\n x", "a.b\r\n x"},
  };
  for (const auto& [text, escaped] : cases) EXPECT_EQ(EscapeForSending(text), escaped) << text;
  EXPECT_EQ(mime::UnescapeDots(EscapeForSending(".\r\nfrom me")), ".\r\n>from me");
  for (const char* text : {"..\r\n.\r\n\r\n.x", "\n.", "x"}) EXPECT_EQ(mime::UnescapeDots(EscapeForSending(text)), text);
}

TEST(CopyListElement, KeepsNamesAndQuotedCommas) {
  const char* list = "  \"Doe, J\" <jd@x> ,\r\n\t k\\,x\r\n y, \"open, ";
  ListElement element = CopyListElement(list, 0);
  EXPECT_EQ(element.text, "\"Doe, J\" <jd@x>");
  EXPECT_EQ(list[element.end], ',');
  element = CopyListElement(list, element.end + 1);
  EXPECT_EQ(element.text, "k\\,x y");
  element = CopyListElement(list, element.end + 1);
  EXPECT_EQ(element.text, "\"open,");
  EXPECT_EQ(element.end, std::string_view(list).size());
}

struct ReplyFixture : ::testing::Test {
  ReplyFixture() {
    store::Init(table);
    AddAccount("Home", "Ann", "me@x");
    AddAccount("Work", "", "w@x");
  }
  store::MailBox& AddAccount(const char* name, const char* userName, const char* address) {
    store::NoSelector selector;
    store::MailBox& box = *table.boxes[static_cast<std::size_t>(store::AddMailBox(table, selector))];
    box.Name = name;
    box.UserName = userName;
    box.MailAddress = address;
    return box;
  }
  store::MailBoxTable table;
  config::Settings settings;
};

TEST_F(ReplyFixture, ReplyToAllCopiesTheOthersWithTheirNames) {
  MailItem answered;
  answered.ReplyTo = "list@x";
  answered.From = "Ay <ay@x>";
  answered.To = "ME@x,\r\n \"B, W\" <bw@x>,";  // as this program joins lists
  MailItem reply;
  PrepareReply(reply, answered, 2, true, table, settings);
  EXPECT_EQ(reply.MailBoxName, "Home");
  EXPECT_EQ(reply.To, "list@x");
  EXPECT_EQ(reply.Cc, "\"B, W\" <bw@x>,\r\n Ay <ay@x>");

  // Nothing left but the own address and the one replied to: no Cc at all.
  answered.ReplyTo.reset();
  answered.To = "me@x";
  answered.Cc = "<ay@x>";
  MailItem alone;
  PrepareReply(alone, answered, 2, true, table, settings);
  EXPECT_EQ(alone.To, "Ay <ay@x>");
  EXPECT_FALSE(alone.Cc);
}

TEST_F(ReplyFixture, SubjectAndThreadFields) {
  const std::pair<OptionalText, const char*> subjects[] = {
      {"Re: hi", "Re: hi"}, {"RE:hi", "Re: hi"}, {"Re: Re: hi", "Re: Re: hi"},
      {"Fwd: x", "Re: Fwd: x"}, {std::nullopt, "Re: "},
  };
  for (const auto& [subject, expected] : subjects) {
    MailItem answered;
    answered.Subject = subject;
    MailItem reply;
    PrepareReply(reply, answered, store::kSaveboxIndex, false, table, settings);
    EXPECT_EQ(reply.Subject, expected);
    EXPECT_FALSE(reply.InReplyTo);  // no Message-Id, no thread
    EXPECT_FALSE(reply.References);
  }
  MailItem answered;
  answered.MailBoxName = "Work";
  answered.MessageId = "<2@x>";
  MailItem reply;
  PrepareReply(reply, answered, store::kSaveboxIndex, false, table, settings);
  EXPECT_EQ(reply.MailBoxName, "Work");
  EXPECT_EQ(reply.InReplyTo, "<2@x>");
  EXPECT_EQ(reply.References, "<2@x>");
  answered.InReplyTo = "<1@x>";
  PrepareReply(reply, answered, store::kSaveboxIndex, false, table, settings);
  EXPECT_EQ(reply.References, "<1@x> <2@x>");
  answered.MessageId = "substitute-key";
  MailItem unthreaded;
  PrepareReply(unthreaded, answered, store::kSaveboxIndex, false, table, settings);
  EXPECT_FALSE(unthreaded.InReplyTo);
}

TEST_F(ReplyFixture, BodyQuotesTheDisplayTextAndKeepsLineDotsThroughEditing) {
  table.boxes[2]->Signature = "-- \r\n.sig";
  MailItem answered;
  answered.From = "Bo <bo@x>";
  answered.Date = "03/01/2006 10:00";
  answered.Body = "hi\r\n..dot\r\n";  // stored form of ".dot"
  MailItem reply;
  reply.MailBoxName = "Home";
  BuildReplyBody(reply, &answered, true, table, settings);
  ASSERT_TRUE(reply.Body);
  // What the composer shows is what was built.
  EXPECT_EQ(mime::UnescapeDots(*reply.Body),
            "\r\nBo <bo@x> wrote:\r\n(03/01/2006 10:00)\r\n\r\n> hi\r\n> .dot\r\n\r\n-- \r\n.sig");

  MailItem fresh;
  fresh.MailBoxName = "Home";
  FinishStartingBody(fresh, nullptr, table, settings);
  EXPECT_EQ(fresh.Body, "\r\n-- \r\n..sig");
  MailItem withoutSignature;
  withoutSignature.MailBoxName = "Work";
  BuildReplyBody(withoutSignature, &answered, false, table, settings);
  EXPECT_FALSE(withoutSignature.Body);
}

TEST_F(ReplyFixture, OutboxStoresWrappedEscapedBodiesWithLocalSizeAndTheSender) {
  test::CodePageScope cp1252("CP1252");
  settings.WordBreakSize = 10;
  auto item = std::make_shared<MailItem>();
  item->Attach = "/tmp/a.pdf";
  EXPECT_TRUE(StoreInOutbox(item, platform::Text("Grüße\n.x aaaa bbbb\r\nc\rd"), table, 3, settings));
  EXPECT_EQ(item->Body, "Grüße\r\n..x aaaa \r\nbbbb\r\nc\r\nd");
  EXPECT_EQ(item->Size, "28");  // one byte for each ü and ß
  EXPECT_EQ(item->Multipart, 1);
  EXPECT_EQ(item->Download, 1);
  EXPECT_EQ(item->MailBoxName, "Work");
  EXPECT_EQ(item->From, "<w@x>");
  // Saved again: the same item, not a second one.
  item->Attach = "";
  EXPECT_FALSE(StoreInOutbox(item, std::nullopt, table, 3, settings));
  EXPECT_EQ(item->Multipart, 0);
  EXPECT_EQ(store::Outbox(table).Items.size(), 1u);

  auto other = std::make_shared<MailItem>();
  EXPECT_TRUE(StoreInOutbox(other, std::nullopt, table, store::kOutboxIndex, settings));
  EXPECT_EQ(other->Size, "0");
  EXPECT_EQ(other->MailBoxName, "Home");
  EXPECT_EQ(other->From, "Ann <me@x>");
}

TEST(ParseMailtoText, QueryFieldsAreDecodedAndReplaceEarlierOnes) {
  MailItem item;
  ParseMailtoText("  MailTo:a%40x?Subject = Hello+W%C3%B6rld&cc=b@x& BODY=l1%0D%0A.l2&to=c@x&tox=no&mailbox=Work",
                  item, MailtoSource::kReceivedMessage);
  EXPECT_EQ(item.To, "c@x");
  EXPECT_EQ(item.Subject, "Hello Wörld");
  EXPECT_EQ(item.Cc, "b@x");
  EXPECT_EQ(item.Body, "l1\r\n..l2");  // stored escaped, as the composer expects
  EXPECT_EQ(item.MailBoxName, "Work");
  EXPECT_FALSE(item.Bcc);

  MailItem plain;
  ParseMailtoText("  a@x, b@y", plain, MailtoSource::kCommandLine);
  EXPECT_EQ(plain.To, "a@x, b@y");
}

TEST(ParseMailtoText, ReceivedLinksAttachNothingAndSplitNoHeader) {
  const char* link = "mailto:a@x?attach=%2Fhome%2Fme%2F.ssh%2Fid_rsa&subject=Hi%0D%0ABcc:%20e@x&bcc=f%00@x";
  MailItem received;
  ParseMailtoText(link, received, MailtoSource::kReceivedMessage);
  EXPECT_FALSE(received.Attach);
  EXPECT_EQ(received.Subject, "HiBcc: e@x");
  EXPECT_EQ(received.Bcc, "f@x");
  MailItem typed;
  ParseMailtoText(link, typed, MailtoSource::kCommandLine);
  EXPECT_EQ(typed.Attach, "/home/me/.ssh/id_rsa");
}

TEST(ExpandCommandLine, CutsBeforePuttingInThePath) {
  using Args = std::vector<std::string>;
  const std::string path = "/home/me/my mail/$zelk_edit.txt";
  EXPECT_EQ(ExpandCommandLine("vi", "-n %1", path), (Args{"vi", "-n", path}));
  EXPECT_EQ(ExpandCommandLine("vi", "", path), (Args{"vi", path}));
  EXPECT_EQ(ExpandCommandLine("vi", "  ", path), (Args{"vi", path}));
  EXPECT_EQ(ExpandCommandLine("ed", "\"--file=%1\" 100%% %x \"\" a\"b c\"%", path),
            (Args{"ed", "--file=" + path, "100%", "", "ab c"}));
  EXPECT_EQ(ExpandCommandLine("ed", "-x", path), (Args{"ed", "-x"}));
}

}  // namespace
}  // namespace zelk::compose
